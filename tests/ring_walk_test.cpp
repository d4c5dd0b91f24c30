// The one walk round a vertex: where it goes, where it ends, and that a ring that does not close
// is reported once and never followed past its bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "mesh/ring_walk.h"
#include "tests/fixtures.h"

namespace {

class RingWalkTest : public ::testing::Test {
protected:
    fixtures::RingFaultCount faults_;
};

std::vector<RecordIndex> walked(const BodyPart& part, RecordIndex v, RecordIndex start,
                                RingTurn turn, RingEnd end, size_t stopAfter = 100) {
    std::vector<RecordIndex> out;
    for (RingWalk walk(part, v, start, turn, "test", end); !walk.atEnd() && out.size() < stopAfter;
         walk.advance()) {
        out.push_back(walk.current());
    }
    return out;
}

// The vertex record of position index p in the first part.
RecordIndex vertexAt(const BodyPart& part, int32_t p) {
    for (RecordIndex v : part.vertices) {
        if (part.vertex(v).positionIndex == p) return v;
    }
    return NONE_INDEX;
}

TEST_F(RingWalkTest, ClosedRingVisitsEachOutgoingHalfEdgeOnceEitherWay) {
    Model m = fixtures::octahedron();
    fixtures::buildQuietly(m);
    const BodyPart& part = m.parts[0];
    for (RecordIndex v : part.vertices) {
        const RecordIndex start = part.vertex(v).edge;
        for (const RingTurn turn : {RingTurn::kOutgoing, RingTurn::kBackward}) {
            RingWalk walk(part, v, start, turn, "test");
            std::vector<RecordIndex> seen;
            for (; !walk.atEnd(); walk.advance()) {
                EXPECT_EQ(walk.edge().origin, v);
                seen.push_back(walk.current());
                EXPECT_EQ(walk.visited(), seen.size());
            }
            EXPECT_TRUE(walk.closed());
            EXPECT_EQ(seen.size(), 4u);
        }
        // Both ways round meet the same half-edges, in opposite orders after the start.
        std::vector<RecordIndex> one =
            walked(part, v, start, RingTurn::kOutgoing, RingEnd::kBackAtStart);
        std::vector<RecordIndex> other =
            walked(part, v, start, RingTurn::kBackward, RingEnd::kBackAtStart);
        std::reverse(other.begin() + 1, other.end());
        EXPECT_EQ(one, other);
        // Incoming: each half-edge ends at the vertex.
        for (RecordIndex h : walked(part, v, part.halfEdge(start).prev, RingTurn::kIncoming,
                                    RingEnd::kBackAtStart)) {
            EXPECT_EQ(part.halfEdge(h).target, v);
        }
    }
    EXPECT_EQ(faults_.count(), 0);
}

TEST_F(RingWalkTest, OpenFanEndsAtAMissingLinkAndReportsItOnce) {
    Model m = fixtures::openFan(5);  // four triangles round the centre, open between 1 and 5
    fixtures::buildQuietly(m);
    const BodyPart& part = m.parts[0];
    const RecordIndex centre = vertexAt(part, 0);
    const RecordIndex edge = part.vertex(centre).edge;
    ASSERT_NE(part.halfEdge(edge).boundary, 0);
    // Back across the fan from the boundary edge: all four triangles, then the open side, where
    // a walk the caller does not stop breaks and is reported once.
    const std::vector<RecordIndex> back =
        walked(part, centre, edge, RingTurn::kBackward, RingEnd::kNever);
    EXPECT_EQ(back.size(), 4u);
    EXPECT_EQ(faults_.count(), 1);
    faults_.reset();
    RingWalk walk(part, centre, edge, RingTurn::kOutgoing, "test");
    EXPECT_EQ(walk.current(), edge);
    walk.advance();  // the boundary half-edge has no twin
    EXPECT_TRUE(walk.broken());
    EXPECT_EQ(walk.visited(), 1u);
    EXPECT_EQ(faults_.count(), 1);
}

TEST_F(RingWalkTest, RingThatNeverClosesStopsAtItsBound) {
    Model m = fixtures::octahedron();
    fixtures::buildQuietly(m);
    const BodyPart& part = m.parts[0];
    const RecordIndex v = part.vertices[0];
    // A walk that never comes back to its start: it starts from a half-edge of another ring.
    RecordIndex off = NONE_INDEX;
    for (RecordIndex h : part.halfEdges) {
        if (part.halfEdge(h).origin != v) off = h;
    }
    RingWalk walk(part, v, off, RingTurn::kOutgoing, "test", RingEnd::kNever, 7);
    size_t steps = 0;
    for (; !walk.atEnd(); walk.advance())
        ++steps;
    EXPECT_EQ(steps, 7u);
    EXPECT_TRUE(walk.broken());
    EXPECT_EQ(faults_.count(), 1);

    // A start that does not exist visits nothing.
    faults_.reset();
    RingWalk none(part, v, NONE_INDEX, RingTurn::kOutgoing, "test");
    EXPECT_TRUE(none.atEnd());
    EXPECT_EQ(none.visited(), 0u);
    EXPECT_EQ(faults_.count(), 1);
}

void firstHandler(const char*, const std::string&, int32_t) {}
void secondHandler(const char*, const std::string&, int32_t) {}

// Setting a handler gives back the one it replaced, for the caller to put back; none at all
// stands for the default one.
TEST(RingFaultHandler, SettingOneGivesBackTheOneItReplaced) {
    const RingFaultHandler outer = setRingFaultHandler(&firstHandler);
    EXPECT_NE(outer, nullptr);
    EXPECT_EQ(setRingFaultHandler(&secondHandler), &firstHandler);
    EXPECT_EQ(setRingFaultHandler(nullptr), &secondHandler);
    const RingFaultHandler standard = setRingFaultHandler(outer);
    EXPECT_NE(standard, nullptr);
    EXPECT_NE(standard, outer);
    EXPECT_EQ(setRingFaultHandler(outer), outer);
}

}  // namespace
