#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>

#include "mesh/ring_walk.h"
#include "mesh/topology_check.h"
#include "tests/fixtures.h"
#include "tests/literal_scans.h"

namespace {

// Ring faults are counted instead of failing the test.
class HalfEdges : public ::testing::Test {
protected:
    static void build(Model& m) {
        ::testing::internal::CaptureStdout();
        m.buildHalfEdges();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "Building 0th Set of Half Edges...Done\n");
    }

    fixtures::RingFaultCount faults_;
};

const HalfEdge& edge(const BodyPart& part, size_t i) {
    return part.halfEdge(part.halfEdges[i]);
}
const MeshVertex& vertex(const BodyPart& part, size_t i) {
    return part.vertex(part.vertices[i]);
}

TEST_F(HalfEdges, SingleTriangleIsAllBoundary) {
    Model m = fixtures::singleTriangle();
    build(m);
    const BodyPart& part = m.parts[0];
    ASSERT_EQ(part.halfEdges.size(), 3u);
    ASSERT_EQ(part.vertices.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(edge(part, i).boundary, 1);
        EXPECT_EQ(edge(part, i).twin, NONE_INDEX);
        EXPECT_EQ(vertex(part, i).boundary, 1);
        EXPECT_EQ(vertex(part, i).valence, 0);
        EXPECT_EQ(part.halfEdge(vertex(part, i).edge).origin, part.vertices[i]);
        EXPECT_EQ(edge(part, i).midpointIndex, NONE_INDEX);
    }
    EXPECT_EQ(checkHalfEdges(part), "");
}

TEST_F(HalfEdges, TwoTrianglesShareOneEdge) {
    Model m = fixtures::twoTriangles();
    build(m);
    const BodyPart& part = m.parts[0];
    // Half-edge 1 runs 1 -> 2 in the first triangle, half-edge 3 runs 2 -> 1 in the second.
    EXPECT_EQ(edge(part, 1).twin, part.halfEdges[3]);
    EXPECT_EQ(edge(part, 3).twin, part.halfEdges[1]);
    int boundaries = 0;
    for (size_t i = 0; i < 6; ++i)
        boundaries += edge(part, i).boundary;
    EXPECT_EQ(boundaries, 4);
    std::vector<int32_t> order;
    for (size_t i = 0; i < part.vertices.size(); ++i)
        order.push_back(vertex(part, i).positionIndex);
    EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(checkHalfEdges(part), "");
}

TEST_F(HalfEdges, ClosedMeshesHaveNoBoundaryAndTheirValences) {
    struct Case {
        Model model;
        int valence;
    };
    for (Case c : {Case{fixtures::tetrahedron(), 3}, Case{fixtures::octahedron(), 4},
                   Case{fixtures::icosahedron(), 5}}) {
        build(c.model);
        const BodyPart& part = c.model.parts[0];
        EXPECT_EQ(checkHalfEdges(part), "");
        for (size_t i = 0; i < part.halfEdges.size(); ++i)
            EXPECT_EQ(edge(part, i).paired, 1);
        for (size_t i = 0; i < part.vertices.size(); ++i) {
            EXPECT_EQ(vertex(part, i).boundary, 0);
            EXPECT_EQ(vertex(part, i).valence, c.valence);
        }
    }
}

TEST_F(HalfEdges, SameDirectionEdgesDoNotPair) {
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                                  {{"head", {{0, 1, 2}, {1, 2, 3}}}});
    build(m);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(edge(m.parts[0], i).boundary, 1);
}

TEST_F(HalfEdges, PartsNeverShareRecords) {
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                  {{"head", {{0, 1, 2}}}, {"torso", {{2, 1, 0}}}, {"tail", {}}});
    build(m);
    const BodyPart& a = m.parts[0];
    const BodyPart& b = m.parts[1];
    ASSERT_EQ(a.vertices.size(), 3u);
    ASSERT_EQ(b.vertices.size(), 3u);
    for (RecordIndex v : a.vertices)
        EXPECT_EQ(std::count(b.vertices.begin(), b.vertices.end(), v), 0);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(edge(a, i).twin, NONE_INDEX);
    EXPECT_TRUE(m.parts[2].halfEdges.empty() && m.parts[2].faces.empty() &&
                m.parts[2].vertices.empty());
}

TEST_F(HalfEdges, QuadsUseTheirFirstThreeCorners) {
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                                  {{"head", {{0, 1, 2, 3}}}});
    build(m);
    EXPECT_EQ(m.parts[0].vertices.size(), 3u);
    EXPECT_EQ(checkHalfEdges(m.parts[0]), "");
}

TEST_F(HalfEdges, CopiesShareRecordsUntilRebuilt) {
    Model a = fixtures::tetrahedron();
    build(a);
    Model b = a;
    EXPECT_EQ(b.parts[0].arena, a.parts[0].arena);
    EXPECT_EQ(b.parts[0].vertices, a.parts[0].vertices);
    b.parts[0].halfEdge(b.parts[0].halfEdges[0]).sharpness = 7;
    EXPECT_EQ(edge(a.parts[0], 0).sharpness, 7);  // written through the copy, seen through a

    const std::weak_ptr<TopologyArena> old = a.parts[0].arena;
    build(b);
    EXPECT_NE(b.parts[0].arena, a.parts[0].arena);
    EXPECT_EQ(edge(a.parts[0], 0).sharpness, 7);
    EXPECT_EQ(edge(b.parts[0], 0).sharpness, 0);
    a = Model();
    EXPECT_TRUE(old.expired());  // nothing refers to the old records any more
}

// Indexed build and relink against the literal scans, on random and often broken meshes.
TEST_F(HalfEdges, IndexedScansMatchLiteralScans) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 400; ++round) {
        Model fast = fixtures::randomMesh(rng);
        Model slow = fast;
        faults_.reset();
        build(fast);
        const int fastFaults = faults_.count();
        faults_.reset();
        literal::build(slow);
        ASSERT_EQ(fixtures::compareTopology(fast, slow), "") << "build, round " << round;
        ASSERT_EQ(faults_.count(), fastFaults) << "round " << round;

        // A relink of blank records (the state a subdivision step leaves), some of them already
        // paired, and of a part that already lists vertices. Some rounds spoil one face halfway
        // through a part: a polygon cut to two corners, or two faces' half-edges swapped in the
        // list, so that the relink meets them after linking the faces before.
        const int spoil = round % 5;
        for (Model* m : {&fast, &slow}) {
            for (BodyPart& part : m->parts) {
                const size_t middle = part.polygons.size() / 2;
                if (spoil == 1 && middle > 0) part.polygons[middle].resize(2);
                if (spoil == 2 && middle > 0 && 3 * middle + 3 < part.halfEdges.size())
                    std::swap(part.halfEdges[3 * middle], part.halfEdges[3 * middle + 3]);
                auto arena = std::make_shared<TopologyArena>(*part.arena);
                part.arena = arena;
                for (RecordIndex h : part.halfEdges) {
                    HalfEdge& e = part.halfEdge(h);
                    const bool keepPaired = (h % 7) == 0 && e.paired;
                    e = HalfEdge{};
                    if (keepPaired) {
                        e.paired = 1;
                        e.boundary = 0;
                    }
                }
                if (round % 2 == 0) part.vertices.clear();
            }
        }
        faults_.reset();
        fast.relinkHalfEdges();
        const int fastRelinkFaults = faults_.count();
        faults_.reset();
        literal::relink(slow);
        ASSERT_EQ(fixtures::compareTopology(fast, slow), "") << "relink, round " << round;
        ASSERT_EQ(faults_.count(), fastRelinkFaults) << "round " << round;
    }
}

TEST_F(HalfEdges, RelinkOfFreshRecordsPassesTheCheck) {
    Model m = fixtures::icosahedron();
    build(m);
    for (BodyPart& part : m.parts) {
        for (RecordIndex h : part.halfEdges)
            part.halfEdge(h) = HalfEdge{};
        part.vertices.clear();
    }
    m.relinkHalfEdges();
    EXPECT_EQ(checkHalfEdges(m.parts[0]), "");
    // Each relink lowers a vertex's sharpness once per half-edge starting or ending there.
    for (RecordIndex v : m.parts[0].vertices)
        EXPECT_EQ(m.parts[0].vertex(v).sharpness, -10);
}

// The check itself, shown each invariant broken on its own in a mesh that passes it, names each.
TEST_F(HalfEdges, TheCheckNamesEachBrokenInvariant) {
    Model grid = fixtures::planarGrid(2);
    build(grid);
    ASSERT_EQ(checkHalfEdges(grid.parts[0]), "");
    const auto he = [](BodyPart& p, size_t i) -> HalfEdge& { return p.halfEdge(p.halfEdges[i]); };
    const auto vx = [](BodyPart& p, size_t i) -> MeshVertex& { return p.vertex(p.vertices[i]); };
    // Half-edge 0 runs 0 -> 1 on the boundary, 1 runs 1 -> 4 inside (its twin is 11), 3 runs
    // 0 -> 4 and 4 runs 4 -> 3; vertex 0 is position 0 on the boundary, vertex 2 the middle.
    ASSERT_EQ(he(grid.parts[0], 1).twin, grid.parts[0].halfEdges[11]);
    ASSERT_EQ(vx(grid.parts[0], 2).positionIndex, 4);
    const std::pair<const char*, std::function<void(BodyPart&)>> cases[] = {
        {"a part without polygons has", [](BodyPart& p) { p.polygons.clear(); }},
        {"no arena", [](BodyPart& p) { p.arena = nullptr; }},
        {"face record count", [](BodyPart& p) { p.faces.pop_back(); }},
        {"half-edge count", [](BodyPart& p) { p.halfEdges.pop_back(); }},
        {"half-edge reference", [](BodyPart& p) { p.halfEdges[0] = 999; }},
        {"vertex reference", [](BodyPart& p) { p.vertices.push_back(999); }},
        {"face edge", [](BodyPart& p) { p.face(p.faces[1]).edge = p.halfEdges[4]; }},
        {"face index", [](BodyPart& p) { p.face(p.faces[1]).index = 0; }},
        {"polygon with fewer", [](BodyPart& p) { p.polygons[1].resize(2); }},
        {"next breaks", [&](BodyPart& p) { he(p, 0).next = p.halfEdges[2]; }},
        {"prev breaks", [&](BodyPart& p) { he(p, 0).prev = p.halfEdges[1]; }},
        {"half-edge names another face", [&](BodyPart& p) { he(p, 2).face = p.faces[1]; }},
        {"half-edge ends are not", [&](BodyPart& p) { he(p, 0).origin = 999; }},
        {"half-edge does not run", [&](BodyPart& p) { he(p, 0).origin = he(p, 0).target; }},
        {"twin outside", [&](BodyPart& p) { he(p, 0).twin = 999; }},
        {"twin is not symmetric", [&](BodyPart& p) { he(p, 11).twin = p.halfEdges[0]; }},
        {"twin does not run the other way",
         [&](BodyPart& p) {
             he(p, 0).twin = p.halfEdges[4];
             he(p, 4).twin = p.halfEdges[0];
         }},
        {"boundary flags wrong with twin", [&](BodyPart& p) { he(p, 1).boundary = 1; }},
        {"boundary flags wrong without twin", [&](BodyPart& p) { he(p, 0).paired = 1; }},
        {"two vertex records share",
         [&](BodyPart& p) {
             const MeshVertex copy = vx(p, 0);
             p.vertices.push_back(static_cast<RecordIndex>(p.arena->vertices.size()));
             p.arena->vertices.push_back(copy);
         }},
        {"vertex edge does not start", [&](BodyPart& p) { vx(p, 0).edge = p.halfEdges[1]; }},
        {"vertex boundary flag", [&](BodyPart& p) { vx(p, 0).boundary = 0; }},
        {"vertex boundary flag", [&](BodyPart& p) { vx(p, 2).boundary = 1; }},
        {"boundary vertex's edge", [&](BodyPart& p) { vx(p, 0).edge = p.halfEdges[3]; }},
    };
    for (const auto& [named, spoil] : cases) {
        Model broken = fixtures::deepCopy(grid);
        spoil(broken.parts[0]);
        const std::string found = checkHalfEdges(broken.parts[0]);
        EXPECT_EQ(found.rfind(named, 0), 0u) << named << ", found: " << found;
    }
}

TEST_F(HalfEdges, NonClosingRingIsReportedNotLooped) {
    // Three triangles on one edge in the same direction: the build pairs the later half-edge
    // with both earlier ones, so twins stop being symmetric and a walk may never come back.
    Model m =
        fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}},
                            {{"head", {{0, 1, 2}, {0, 1, 3}, {1, 0, 4}, {2, 1, 4}, {4, 0, 2}}}});
    build(m);  // terminates
    Model n = m;
    literal::build(n);
    EXPECT_EQ(fixtures::compareTopology(m, n), "");
}

}  // namespace
