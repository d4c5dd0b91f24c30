// Walks around one vertex follow twin and next/prev links. On a mesh that is not a surface (an
// edge shared by three triangles, a fan that never meets the boundary) such a walk may never come
// back to where it started, so every walk is bounded: a proper ring takes at most as many steps
// as its part has half-edges. A walk that exceeds its bound, or meets a link that is missing,
// stops and is reported here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
