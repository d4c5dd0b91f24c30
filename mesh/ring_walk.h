// Walks around one vertex follow twin and next/prev links. On a mesh that is not a surface (an
// edge shared by three triangles, a fan that never meets the boundary) such a walk may never come
// back to where it started, so every walk is bounded: a proper ring takes at most as many steps
// as its part has half-edges. A walk that exceeds its bound, or meets a link that is missing,
// stops and is reported here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mesh/model.h"

// operation: the step that walked ("valence", "vertex normal", ...); partName and
// positionIndex: where the ring failed to close.
using RingFaultHandler = void (*)(const char* operation, const std::string& partName,
                                  int32_t positionIndex);

// The default handler prints
//   "Error! The triangles around vertex %d of part \"%s\" do not close (%s): the mesh is not a
//    surface\n"
// and ends the program with status 1. Tests and fuzzers install one that returns; the walk then
// stops where it is and the operation goes on with what it has.
RingFaultHandler setRingFaultHandler(RingFaultHandler handler);

void reportRingFault(const char* operation, const std::string& partName, int32_t positionIndex);

// The most steps a walk around a vertex of a part with halfEdgeCount half-edges may take.
inline size_t ringStepLimit(size_t halfEdgeCount) {
    return halfEdgeCount + 1;
}

// Which way a walk around a vertex goes from half-edge to half-edge: across the twin to its next
// (the vertex's outgoing half-edges) or to its prev (the incoming ones).
enum class RingDirection { kOutgoing, kIncoming };

// The first boundary half-edge met on the walk from h (h itself first) across twins in the given
// direction, looking at no more than `limit` half-edges of the count in halfEdges; NONE_INDEX when
// the walk meets a missing link or reaches the limit first.
RecordIndex firstBoundaryHalfEdge(const HalfEdge* halfEdges, size_t count, RecordIndex h,
                                  RingDirection direction, size_t limit);
