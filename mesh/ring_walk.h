// Walks around one vertex of a part: from one of its half-edges to the next across the twin
// links. Every algorithm that goes round a vertex (valence, vertex normals, the point rules, the
// limit normals) walks with a RingWalk.
//
// On a mesh that is not a surface (an edge shared by three triangles, a fan that never meets the
// boundary) such a walk may never come back to where it started, so every walk is bounded: a
// proper ring takes at most as many steps as its part has half-edges. A walk that exceeds its
// bound, or meets a link that is missing, stops and is reported through reportRingFault.
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

// The most half-edges a walk around a vertex of a part with halfEdgeCount half-edges may visit.
inline size_t ringStepLimit(size_t halfEdgeCount) {
    return halfEdgeCount + 1;
}

// Which way a walk turns from half-edge h to the next one round its vertex:
//   kOutgoing   h.twin.next: the vertex's outgoing half-edges
//   kBackward   h.prev.twin: its outgoing half-edges the other way round
//   kIncoming   h.twin.prev: its incoming half-edges
enum class RingTurn : uint8_t { kOutgoing, kBackward, kIncoming };

// Where a ring is closed: back at the half-edge it started from (a walk once round the vertex),
// or never (a search for a boundary half-edge, which the caller ends).
enum class RingEnd : uint8_t { kBackAtStart, kNever };

// A bounded walk round one vertex of a part: visits start, then the turn of each half-edge in
// turn, until it is back at start (with RingEnd::kBackAtStart), the caller stops, or it breaks.
// It breaks at a missing link, a record that does not exist, or when it would visit more than
// `limit` half-edges; it then reports the ring fault once, with `operation`, the part's name and
// the vertex's position index, and ends.
//
//   for (RingWalk walk(part, v, start, RingTurn::kOutgoing, "valence"); !walk.atEnd();
//        walk.advance()) { ... walk.edge() ... }
class RingWalk {
public:
    RingWalk(const BodyPart& part, RecordIndex vertex, RecordIndex start, RingTurn turn,
             const char* operation, RingEnd end = RingEnd::kBackAtStart)
        : RingWalk(part, vertex, start, turn, operation, end,
                   ringStepLimit(part.halfEdges.size())) {}

    RingWalk(const BodyPart& part, RecordIndex vertex, RecordIndex start, RingTurn turn,
             const char* operation, RingEnd end, size_t limit)
        : part_(part),
          halfEdges_(part.arena->halfEdges.data()),
          count_(static_cast<uint32_t>(part.arena->halfEdges.size())),
          start_(start),
          current_(start),
          limit_(limit),
          vertex_(vertex),
          operation_(operation),
          turn_(turn),
          end_(end) {
        if (!valid(start) || limit == 0) {
            visited_ = 0;
            breakOff();
        }
    }

    bool atEnd() const { return current_ == NONE_INDEX; }
    // The half-edge visited now, and its record.
    RecordIndex current() const { return current_; }
    const HalfEdge& edge() const { return halfEdges_[current_]; }
    // Half-edges visited so far, the current one included: 1 at the start.
    size_t visited() const { return visited_; }
    // Whether the walk ended back at its start.
    bool closed() const { return closed_; }
    // Whether it ended at a missing link or its bound (and was reported).
    bool broken() const { return atEnd() && !closed_; }

    void advance() {
        const HalfEdge& e = halfEdges_[current_];
        RecordIndex next;
        if (turn_ == RingTurn::kBackward) {
            next = valid(e.prev) ? halfEdges_[e.prev].twin : NONE_INDEX;
        } else if (valid(e.twin)) {
            const HalfEdge& twin = halfEdges_[e.twin];
            next = turn_ == RingTurn::kOutgoing ? twin.next : twin.prev;
        } else {
            next = NONE_INDEX;
        }
        if (next == start_ && end_ == RingEnd::kBackAtStart) {
            closed_ = true;
            current_ = NONE_INDEX;
            return;
        }
        if (!valid(next) || visited_ == limit_) {
            breakOff();
            return;
        }
        current_ = next;
        ++visited_;
    }

private:
    bool valid(RecordIndex r) const { return static_cast<uint32_t>(r) < count_; }
    // Ends the walk and reports it; the report itself is out of line and is not given the walk,
    // so that a walk's state can stay in registers.
    void breakOff() {
        current_ = NONE_INDEX;
        reportBrokenRing(part_, vertex_, operation_);
    }
    static void reportBrokenRing(const BodyPart& part, RecordIndex vertex, const char* operation);

    const BodyPart& part_;
    const HalfEdge* halfEdges_;
    uint32_t count_;
    RecordIndex start_;
    RecordIndex current_;
    size_t visited_ = 1;
    size_t limit_;
    RecordIndex vertex_;
    const char* operation_;
    RingTurn turn_;
    RingEnd end_;
    bool closed_ = false;
};
