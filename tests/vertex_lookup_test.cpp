#include "mesh/vertex_lookup.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A part whose vertex list holds records with the given position indices, in that order.
BodyPart partWith(const std::vector<int32_t>& indices) {
    BodyPart part("head");
    part.arena = std::make_shared<TopologyArena>();
    for (int32_t p : indices) {
        part.vertices.push_back(static_cast<RecordIndex>(part.arena->vertices.size()));
        part.arena->vertices.push_back(MeshVertex{});
        part.arena->vertices.back().positionIndex = p;
    }
    return part;
}

// Indices inside the table (0 .. 3) and outside it (-5, 9) alike: the first place that holds
// an index answers, what a scan of the list from its start finds; a part cleared is forgotten.
TEST(VertexLookup, AnswersWithTheFirstPlaceInsideAndOutsideTheTable) {
    VertexLookup lookup(4);
    BodyPart part = partWith({2, -5, 9, 2, 9, -5});
    lookup.addPart(part);
    for (const auto& [index, place] : {std::pair{2, 0}, {-5, 1}, {9, 2}, {0, -1}, {10, -1}})
        EXPECT_EQ(lookup.find(index), place) << index;

    // A new record is appended only for an index not yet there.
    EXPECT_EQ(lookup.findOrMake(part, 9), 2);
    EXPECT_EQ(lookup.findOrMake(part, 0), 6);
    EXPECT_EQ(lookup.findOrMake(part, 12), 7);
    EXPECT_EQ(lookup.findOrMake(part, 12), 7);
    ASSERT_EQ(part.vertices.size(), 8u);
    const MeshVertex& made = part.vertex(part.vertices[7]);
    EXPECT_EQ(made.positionIndex, 12);
    EXPECT_EQ(made.edge, NONE_INDEX);
    EXPECT_EQ(made.valence, 0);

    lookup.clear(part);
    const BodyPart next = partWith({9, 1});
    lookup.addPart(next);
    for (const auto& [index, place] : {std::pair{9, 0}, {1, 1}, {2, -1}, {-5, -1}, {12, -1}})
        EXPECT_EQ(lookup.find(index), place) << index;
}

}  // namespace
