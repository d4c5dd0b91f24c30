#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>

#include "mesh/ring_walk.h"
#include "mesh/topology_check.h"
#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"
#include "tests/fixtures.h"
#include "tests/literal_scans.h"
#include "tests/literal_subdivision.h"

namespace {

const std::string kStart = "Starting Subdivision...";
const std::string kBoundary = "BOUNDARY\n\n\n";

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::vector<int32_t> indices(const Polygon& polygon) {
    std::vector<int32_t> out;
    for (const Corner& c : polygon)
        out.push_back(c.positionIndex);
    return out;
}

using fixtures::deepCopy;
using fixtures::sameBits;

class LoopStep : public ::testing::Test {
protected:
    static void build(Model& m) { fixtures::buildQuietly(m); }

    // One step; its console output goes to *printed.
    static Model step(Model& m, std::string* printed = nullptr) {
        ::testing::internal::CaptureStdout();
        Model out = subdivide(m);
        const std::string text = ::testing::internal::GetCapturedStdout();
        if (printed) *printed = text;
        return out;
    }

    fixtures::RingFaultCount faults_;
};

TEST_F(LoopStep, SingleTriangleGivesSixPointsAndFourChildren) {
    Model m = fixtures::singleTriangle();
    build(m);
    std::string printed;
    const Model r = step(m, &printed);
    EXPECT_EQ(printed, kStart + repeat(kBoundary, 6));  // three edges, three corners

    // e0, e1, e2, then c0, c1, c2.
    const std::vector<Vec3> expected = {{0.5f, 0, 0},       {0.5f, 0.5f, 0},
                                        {0, 0.5f, 0},       {0.125f, 0.125f, 0},
                                        {0.75f, 0.125f, 0}, {0.125f, 0.75f, 0}};
    EXPECT_EQ(r.positions, expected);
    EXPECT_EQ(r.normals, std::vector<Vec3>(6, Vec3{}));  // the source has no normals

    ASSERT_EQ(r.parts.size(), 1u);
    const BodyPart& part = r.parts[0];
    ASSERT_EQ(part.polygons.size(), 4u);
    EXPECT_EQ(indices(part.polygons[0]), (std::vector<int32_t>{3, 0, 2}));
    EXPECT_EQ(indices(part.polygons[1]), (std::vector<int32_t>{0, 4, 1}));
    EXPECT_EQ(indices(part.polygons[2]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(indices(part.polygons[3]), (std::vector<int32_t>{2, 1, 5}));
    // Old vertices are flagged 0, edge points 1; normalSlot names the point itself.
    const uint8_t flags[4][3] = {{0, 1, 1}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}};
    for (size_t g = 0; g < 4; ++g) {
        for (size_t k = 0; k < 3; ++k) {
            const Corner& c = part.polygons[g][k];
            EXPECT_EQ(c.flagA, flags[g][k]);
            EXPECT_EQ(c.normalSlot, c.positionIndex);
            EXPECT_EQ(c.flagB, 0);
            EXPECT_EQ(c.reserved, 0);
            EXPECT_EQ(c.flagC, 1);
        }
    }

    // Four face records, twelve blank half-edges, no vertex records yet.
    ASSERT_EQ(part.faces.size(), 4u);
    ASSERT_EQ(part.halfEdges.size(), 12u);
    EXPECT_TRUE(part.vertices.empty());
    EXPECT_TRUE(part.faceNormals.empty());
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(part.face(part.faces[k]).index, static_cast<int32_t>(k));
        EXPECT_EQ(part.face(part.faces[k]).edge, NONE_INDEX);
    }
    for (RecordIndex h : part.halfEdges) {
        const HalfEdge& e = part.halfEdge(h);
        EXPECT_EQ(e.origin, NONE_INDEX);
        EXPECT_EQ(e.twin, NONE_INDEX);
        EXPECT_EQ(e.next, NONE_INDEX);
        EXPECT_EQ(e.boundary, 1);
        EXPECT_EQ(e.paired, 0);
        EXPECT_EQ(e.hasMidpoint, 0);
        EXPECT_EQ(e.sharpness, 0);
        EXPECT_EQ(e.midpointIndex, NONE_INDEX);
    }

    // The source keeps the edge point indices; its scratch flags are clear again.
    const BodyPart& src = m.parts[0];
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(src.halfEdge(src.halfEdges[i]).midpointIndex, static_cast<int32_t>(i));
        EXPECT_EQ(src.halfEdge(src.halfEdges[i]).hasMidpoint, 0);
        EXPECT_EQ(src.vertex(src.vertices[i]).updated, 0);
    }

    Model relinked = r;
    relinked.relinkHalfEdges();
    EXPECT_EQ(checkHalfEdges(relinked.parts[0]), "");
    EXPECT_EQ(faults_.count(), 0);
}

TEST_F(LoopStep, SharedEdgeGetsOnePointMadeAtTheFirstTriangle) {
    Model m = fixtures::twoTriangles();  // (0 1 2) and (2 1 3)
    build(m);
    std::string printed;
    const Model r = step(m, &printed);
    // 4 vertices + 5 edges. Face 0 makes e(0-1), e(1-2), e(2-0) = 0, 1, 2 and its corners 3, 4, 5;
    // face 1 reuses e(2-1) = 1, makes e(1-3), e(3-2) = 6, 7 and corner 3 (index 8).
    ASSERT_EQ(r.positions.size(), 9u);
    const BodyPart& part = r.parts[0];
    EXPECT_EQ(indices(part.polygons[4]), (std::vector<int32_t>{5, 1, 7}));
    EXPECT_EQ(indices(part.polygons[5]), (std::vector<int32_t>{1, 4, 6}));
    EXPECT_EQ(indices(part.polygons[6]), (std::vector<int32_t>{1, 6, 7}));
    EXPECT_EQ(indices(part.polygons[7]), (std::vector<int32_t>{7, 6, 8}));
    // Four boundary edges and the six corners that sit on the boundary.
    EXPECT_EQ(printed, kStart + repeat(kBoundary, 2) + repeat(kBoundary, 3) + repeat(kBoundary, 2) +
                           repeat(kBoundary, 3));
    // The smooth interior edge: 3/8 of each end and 1/8 of each opposite corner.
    EXPECT_EQ(r.positions[1], (Vec3{0.5f, 0.5f, 0.0f}));

    Model relinked = r;
    relinked.relinkHalfEdges();
    EXPECT_EQ(checkHalfEdges(relinked.parts[0]), "");
}

TEST_F(LoopStep, CreaseLowersOnlyTheHalfEdgeThatMakesThePoint) {
    Model m = fixtures::twoTriangles();
    build(m);
    BodyPart& src = m.parts[0];
    HalfEdge& first = src.halfEdge(src.halfEdges[1]);  // 1 -> 2 in face 0, makes the point
    HalfEdge& twin = src.halfEdge(src.halfEdges[3]);   // 2 -> 1 in face 1
    ASSERT_EQ(first.twin, src.halfEdges[3]);
    first.sharpness = 2;
    twin.sharpness = 2;
    const Model r = step(m);
    EXPECT_EQ(first.sharpness, 1);
    EXPECT_EQ(twin.sharpness, 2);
    EXPECT_EQ(r.positions[1], (Vec3{0.5f, 0.5f, 0.0f}));  // the midpoint

    const BodyPart& part = r.parts[0];
    const auto sharpness = [&](size_t i) { return part.halfEdge(part.halfEdges[i]).sharpness; };
    // Face 0: its half-edge 1 lies under children 4 and 10. Face 1: its half-edge 0 under 12, 15.
    for (size_t i = 0; i < 24; ++i) {
        const int expected = (i == 4 || i == 10) ? 1 : (i == 12 || i == 15) ? 2 : 0;
        EXPECT_EQ(sharpness(i), expected) << "half-edge " << i;
    }
}

TEST_F(LoopStep, ClosedMeshesGiveVPlusEPointsAndFourChildrenPerFace) {
    for (Model m : {fixtures::tetrahedron(), fixtures::octahedron(), fixtures::icosahedron(),
                    fixtures::uvSphere(6, 9)}) {
        build(m);
        const size_t v = m.parts[0].vertices.size();
        const size_t f = m.parts[0].polygons.size();
        const size_t e = 3 * f / 2;
        std::string printed;
        Model r = step(m, &printed);
        EXPECT_EQ(printed, kStart);
        EXPECT_EQ(r.positions.size(), v + e);
        EXPECT_EQ(r.normals.size(), v + e);
        EXPECT_EQ(r.parts[0].polygons.size(), 4 * f);
        EXPECT_EQ(r.parts[0].faces.size(), 4 * f);
        EXPECT_EQ(r.parts[0].halfEdges.size(), 12 * f);

        // A relinked step is a closed mesh again, and can be refined once more.
        r.relinkHalfEdges();
        EXPECT_EQ(checkHalfEdges(r.parts[0]), "");
        for (RecordIndex h : r.parts[0].halfEdges)
            EXPECT_EQ(r.parts[0].halfEdge(h).paired, 1);
        Model again = step(r);
        EXPECT_EQ(again.positions.size(), (v + e) + 3 * 4 * f / 2);
        again.relinkHalfEdges();
        EXPECT_EQ(checkHalfEdges(again.parts[0]), "");
    }
    EXPECT_EQ(faults_.count(), 0);
}

TEST_F(LoopStep, TiltedPlanarPatchStaysInItsPlane) {
    Model m = fixtures::planarGrid(4);
    for (Vec3& p : m.positions)
        p.z = 0.25f * p.x - 0.5f * p.y + 1.0f;
    build(m);
    Model r = step(m);
    r.relinkHalfEdges();
    for (const Vec3& p : r.positions)
        EXPECT_NEAR(p.z, 0.25f * p.x - 0.5f * p.y + 1.0f, 1e-5f);
}

TEST_F(LoopStep, HeaderAndPartsAreCarriedOver) {
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                  {{"head", {{0, 1, 2}}}, {"tail", {}}});
    m.id = 7;
    m.generation = 3;
    m.childSlot = 2;
    m.firstChild = true;
    m.firstChildId = 11;
    m.branchAngle = 30.0f;
    m.rotationAngle = 45.0f;
    m.rotationAxis = {0, 1, 0};
    m.position = {10, 0, 0};
    m.scale = 2.0f;
    m.scaleSquared = 4.0f;
    m.pulseRate = 0.003f;
    m.auxFactor = 0.1f;
    m.pulsePhase = 1.5f;
    m.centre = {0.25f, 0.5f, 0};
    m.subdivisionLevel = 4;
    m.sourcePath = "./model_data/bird1.obj";
    m.parts[1].partOffset = {1, 2, 3};
    m.parts[1].partScale = {2, 2, 2};
    m.parts[1].partAngle = 90.0f;
    m.parts[1].partAxis = {1, 0, 0};
    m.parts[1].colour = {0.5f, 0.25f, 0.125f};
    build(m);
    const Model r = step(m);
    EXPECT_EQ(r.id, 7);
    EXPECT_EQ(r.generation, 3);
    EXPECT_EQ(r.childSlot, 2);
    EXPECT_TRUE(r.firstChild);
    EXPECT_FALSE(r.secondChild);
    EXPECT_EQ(r.firstChildId, 11);
    EXPECT_EQ(r.secondChildId, NONE_INDEX);
    EXPECT_EQ(r.branchAngle, 30.0f);
    EXPECT_EQ(r.rotationAngle, 45.0f);
    EXPECT_EQ(r.rotationAxis, (Vec3{0, 1, 0}));
    EXPECT_EQ(r.position, (Vec3{10, 0, 0}));
    EXPECT_EQ(r.scale, 2.0f);
    EXPECT_EQ(r.scaleSquared, 4.0f);
    EXPECT_EQ(r.pulseRate, 0.003f);
    EXPECT_EQ(r.auxFactor, 0.1f);
    EXPECT_EQ(r.pulsePhase, 1.5f);
    EXPECT_EQ(r.centre, (Vec3{0.25f, 0.5f, 0}));
    EXPECT_EQ(r.subdivisionLevel, 0);
    EXPECT_TRUE(r.sourcePath.empty());
    EXPECT_TRUE(r.texCoords.empty());

    ASSERT_EQ(r.parts.size(), 2u);
    const BodyPart& tail = r.parts[1];
    EXPECT_EQ(tail.name, "tail");
    EXPECT_EQ(tail.partOffset, (Vec3{1, 2, 3}));
    EXPECT_EQ(tail.partScale, (Vec3{2, 2, 2}));
    EXPECT_EQ(tail.partAngle, 90.0f);
    EXPECT_EQ(tail.partAxis, (Vec3{1, 0, 0}));
    EXPECT_EQ(tail.colour, (Colour{0.5f, 0.25f, 0.125f}));
    EXPECT_TRUE(tail.polygons.empty() && tail.faces.empty() && tail.halfEdges.empty() &&
                tail.vertices.empty());

    // Assigned back into the model, the model keeps its own level and path.
    m = r;
    EXPECT_EQ(m.subdivisionLevel, 4);
    EXPECT_EQ(m.sourcePath, "./model_data/bird1.obj");
}

TEST_F(LoopStep, NormalsAreRefinedByTheSameRules) {
    Model m = fixtures::icosahedron();
    build(m);
    m.normals = m.positions;  // the same values: each normal must come out as its point
    const Model r = step(m);
    EXPECT_TRUE(sameBits(r.positions, r.normals));
}

TEST_F(LoopStep, PositionSharedByPartsTakesTheFirstEqualPoint) {
    // Both parts hold the same two triangles, so every vertex point of the second part equals,
    // bit for bit, the one made in the first part.
    const std::vector<fixtures::Triangle> tris = {{0, 1, 2}, {2, 1, 3}};
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                                  {{"head", tris}, {"torso", tris}});
    build(m);
    const Model r = step(m);
    ASSERT_EQ(r.positions.size(), 18u);  // each part makes its own 9 points
    // Part 0 made vertex 1's point (corner 1 of face 0) at index 4, vertex 2's at 5. Part 1 makes
    // them at 13 and 14 at their first corners; their second corners (face 1) take 5 and 4.
    const BodyPart& second = r.parts[1];
    EXPECT_EQ(second.polygons[1][1].positionIndex, 13);  // first corner at vertex 1
    EXPECT_EQ(second.polygons[0][0].positionIndex, 12);  // first corner at vertex 0
    EXPECT_EQ(second.polygons[4][0].positionIndex, 5);   // vertex 2 again: part 0's point
    EXPECT_EQ(second.polygons[5][1].positionIndex, 4);   // vertex 1 again: part 0's point
    EXPECT_EQ(second.polygons[4][0].normalSlot, 5);
    EXPECT_EQ(r.positions[5], r.positions[14]);

    // A third part whose vertex 1 has its flag left set takes the first equal point there is,
    // part 0's, whether the search for it begins there or a flag left in part 0 began it.
    for (const bool headFlag : {false, true}) {
        Model n =
            fixtures::makeModel(m.positions, {{"head", tris}, {"torso", tris}, {"tail", tris}});
        build(n);
        n.parts[2].vertex(n.parts[2].vertices[1]).updated = 1;
        if (headFlag) n.parts[0].vertex(n.parts[0].vertices[1]).updated = 1;
        const Model t = step(n);
        EXPECT_EQ(t.positions.size(), 26u);  // none made for the tail's vertex 1
        EXPECT_EQ(t.parts[0].polygons[1][1].positionIndex, 4);
        EXPECT_EQ(t.parts[2].polygons[1][1].positionIndex, 4) << "head flag " << headFlag;
        EXPECT_EQ(t.parts[2].polygons[5][1].positionIndex, 4) << "head flag " << headFlag;
    }
}

TEST_F(LoopStep, VertexPointEqualToAnEarlierEdgePointTakesItsIndex) {
    // Face 0's boundary edge A-B has its point at (1, 0, 0), index 0. Vertex V sits at (1, 0, 0)
    // between its boundary neighbours (1, 1, 0) and (1, -1, 0), so its point is (1, 0, 0) too:
    // its first corner (face 1) keeps the point made for it, its second (face 2) takes index 0.
    Model m = fixtures::makeModel(
        {{0, 0, 0}, {2, 0, 0}, {1, 2, 0}, {1, 0, 0}, {1, -1, 0}, {2, 0, 0}, {1, 1, 0}},
        {{"head", {{0, 1, 2}, {3, 4, 5}, {3, 5, 6}}}});
    build(m);
    const Model r = step(m);
    const BodyPart& part = r.parts[0];
    EXPECT_EQ(r.positions[0], (Vec3{1, 0, 0}));
    EXPECT_EQ(part.polygons[4][0].positionIndex, 9);  // V's first corner: its own point
    EXPECT_EQ(r.positions[9], (Vec3{1, 0, 0}));
    EXPECT_EQ(part.polygons[8][0].positionIndex, 0);  // V's second corner: the edge point
    EXPECT_EQ(part.polygons[8][0].normalSlot, 0);
}

TEST_F(LoopStep, NaNPointIsTakenFromItsOwnVertex) {
    // A NaN equals nothing, so no search could find the centre's point again: its later corners
    // take the point made for it.
    Model m = fixtures::makeModel(
        {{std::numeric_limits<float>::quiet_NaN(), 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}},
        {{"head", {{0, 1, 2}, {0, 2, 3}}}});
    build(m);
    const Model r = step(m);
    const BodyPart& part = r.parts[0];
    const int32_t first = part.polygons[0][0].positionIndex;  // corner c0 of face 0: vertex 0
    EXPECT_TRUE(std::isnan(r.positions[static_cast<size_t>(first)].x));
    EXPECT_EQ(part.polygons[4][0].positionIndex, first);  // corner c0 of face 1: vertex 0 again
    for (const Polygon& polygon : part.polygons) {
        for (const Corner& c : polygon)
            EXPECT_LT(static_cast<size_t>(c.positionIndex), r.positions.size());
    }
}

TEST_F(LoopStep, BrokenFaceCycleIsReportedAndLeftOut) {
    Model m = fixtures::twoTriangles();
    build(m);
    BodyPart& src = m.parts[0];
    src.halfEdge(src.halfEdges[4]).next = NONE_INDEX;  // face 1 loses a link
    const Model r = step(m);
    EXPECT_EQ(faults_.count(), 1);
    EXPECT_EQ(r.parts[0].polygons.size(), 4u);  // face 0 only
    EXPECT_EQ(r.parts[0].faces.size(), 4u);
    EXPECT_EQ(r.parts[0].halfEdges.size(), 12u);

    // Face 0 broken instead: face 1's children come first in the lists, numbered from 0.
    Model n = fixtures::twoTriangles();
    build(n);
    n.parts[0].halfEdge(n.parts[0].halfEdges[0]).next = NONE_INDEX;
    Model second = step(n);
    EXPECT_EQ(indices(second.parts[0].polygons[0]), (std::vector<int32_t>{3, 0, 2}));  // c0 e0 e2
    second.relinkHalfEdges();
    EXPECT_EQ(checkHalfEdges(second.parts[0]), "");
}

TEST_F(LoopStep, MidpointFlagLeftSetWithAForeignIndexMakesThePoint) {
    Model m = fixtures::singleTriangle();
    build(m);
    HalfEdge& h = m.parts[0].halfEdge(m.parts[0].halfEdges[0]);
    h.hasMidpoint = 1;
    h.midpointIndex = 500;  // not a point of this step
    const Model r = step(m);
    EXPECT_EQ(r.positions.size(), 6u);
    for (const Polygon& polygon : r.parts[0].polygons) {
        for (const Corner& c : polygon)
            EXPECT_LT(static_cast<size_t>(c.positionIndex), r.positions.size());
    }
}

TEST_F(LoopStep, FaceWithFourHalfEdgesEndsTheProgram) {
    Model m = fixtures::twoTriangles();
    build(m);
    BodyPart& src = m.parts[0];
    src.halfEdge(src.halfEdges[2]).next = src.halfEdges[3];  // face 0: h0 h1 h2 h3 ...
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);  // so that the death test can read the message
            subdivide(m);
        },
        ::testing::ExitedWithCode(1), "Face cannot have more than three edges!!\n");
}

// ---- Indexed step against the literal step ----------------------------------------------------

// Positions drawn from a few values (with -0 beside 0), so that points often coincide exactly.
Model coincidentMesh(std::mt19937& rng) {
    Model m = fixtures::randomMesh(rng);
    const float values[] = {-1.0f, -0.0f, 0.0f, 0.5f, 1.0f};
    std::uniform_int_distribution<int> pick(0, 4);
    for (Vec3& p : m.positions)
        p = {values[pick(rng)], values[pick(rng)], values[pick(rng)]};
    return m;
}

void expectSameStep(Model& fast, Model& slow, const std::string& where) {
    ::testing::internal::CaptureStdout();
    Model a = subdivide(fast);
    const std::string fastOut = ::testing::internal::GetCapturedStdout();
    ::testing::internal::CaptureStdout();
    Model b = literal::subdivide(slow);
    const std::string slowOut = ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(fastOut, slowOut) << where;
    ASSERT_EQ(a.positions.size(), b.positions.size()) << where;
    for (size_t i = 0; i < a.positions.size(); ++i) {
        ASSERT_EQ(std::memcmp(&a.positions[i], &b.positions[i], sizeof(Vec3)), 0)
            << where << ": point " << i << " (" << a.positions[i].x << ", " << a.positions[i].y
            << ", " << a.positions[i].z << ") against (" << b.positions[i].x << ", "
            << b.positions[i].y << ", " << b.positions[i].z << ")";
    }
    ASSERT_TRUE(sameBits(a.normals, b.normals)) << where;
    ASSERT_EQ(a.parts.size(), b.parts.size()) << where;
    for (size_t i = 0; i < a.parts.size(); ++i) {
        ASSERT_EQ(a.parts[i].polygons, b.parts[i].polygons) << where << ", part " << i;
        ASSERT_EQ(a.parts[i].name, b.parts[i].name) << where;
    }
    ASSERT_EQ(fixtures::compareTopology(a, b), "") << where << ": result records";
    ASSERT_EQ(fixtures::compareTopology(fast, slow), "") << where << ": source records";

    // Relinked (fast relink against the literal one), the results agree again.
    a.relinkHalfEdges();
    literal::relink(b);
    ASSERT_EQ(fixtures::compareTopology(a, b), "") << where << ": relinked records";
    fast = std::move(a);
    slow = std::move(b);
}

TEST_F(LoopStep, IndexedStepMatchesLiteralStepBitForBit) {
    std::mt19937 rng(5150);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int round = 0; round < 300; ++round) {
        Model m = round % 3 == 0 ? coincidentMesh(rng) : fixtures::randomMesh(rng);
        if (round % 17 == 5) m.positions[0].y = std::numeric_limits<float>::quiet_NaN();
        build(m);
        if (round % 2 == 0) {
            std::uniform_real_distribution<float> n(-1.0f, 1.0f);
            m.normals.clear();
            for (size_t i = 0; i < m.positions.size(); ++i)
                m.normals.push_back({n(rng), n(rng), n(rng)});
        }
        // Creases and corners here and there.
        for (BodyPart& part : m.parts) {
            for (RecordIndex h : part.halfEdges) {
                if (percent(rng) < 15) part.halfEdge(h).sharpness = percent(rng) % 3;
            }
            for (RecordIndex v : part.vertices) {
                if (percent(rng) < 10) part.vertex(v).sharpness = 1;
            }
        }
        // Now and then scratch flags left set, and a part listed twice (sharing its records).
        if (round % 5 == 1) {
            for (BodyPart& part : m.parts) {
                for (RecordIndex v : part.vertices) {
                    if (percent(rng) < 20) part.vertex(v).updated = 1;
                }
                for (RecordIndex h : part.halfEdges) {
                    if (percent(rng) < 10) {
                        part.halfEdge(h).hasMidpoint = 1;
                        part.halfEdge(h).midpointIndex = percent(rng) - 20;
                    }
                }
            }
        }
        if (round % 7 == 3 && !m.parts.empty()) m.parts.push_back(m.parts[0]);
        // Now and then a part's first face loses a link, with the part's good faces after it.
        for (BodyPart& part : m.parts) {
            if (round % 4 == 2 && part.halfEdges.size() > 3)
                part.halfEdge(part.halfEdges[static_cast<size_t>(round) % 3]).next = NONE_INDEX;
        }
        Model slow = deepCopy(m);
        expectSameStep(m, slow, "round " + std::to_string(round) + ", step 1");
        // A second step on the relinked results.
        expectSameStep(m, slow, "round " + std::to_string(round) + ", step 2");
    }
}

// The relink of records that do not lie in one ascending run of their arena (and of a part
// with a polygon it cannot link) takes its general way; it must agree with the literal relink.
TEST_F(LoopStep, RelinkOfScatteredRecordsMatchesLiteralRelink) {
    std::mt19937 rng(77);
    for (int round = 0; round < 60; ++round) {
        Model m = fixtures::randomMesh(rng);
        build(m);
        Model fast = step(m);
        for (BodyPart& part : fast.parts) {
            if (round % 2 == 0) {
                std::reverse(part.halfEdges.begin(), part.halfEdges.end());
            } else if (!part.polygons.empty()) {
                part.polygons[0].resize(2);  // no longer linkable
            }
        }
        Model slow = deepCopy(fast);
        fast.relinkHalfEdges();
        literal::relink(slow);
        ASSERT_EQ(fixtures::compareTopology(fast, slow), "") << "round " << round;
    }
}

TEST_F(LoopStep, StepIsBitIdenticalAcrossRuns) {
    Model m = fixtures::uvSphere(8, 12);
    build(m);
    m.computeNormals();
    Model copy = deepCopy(m);
    const Model a = step(m);
    const Model b = step(copy);
    EXPECT_TRUE(sameBits(a.positions, b.positions));
    EXPECT_TRUE(sameBits(a.normals, b.normals));
}

}  // namespace

// ---- The display refinement's linked step against subdivide, assignment, relink, limit pass ----

namespace linked {

// A surface patch as a build leaves it: a closed sphere or a grid, its positions numbered at
// random, its faces in random order with their corners turned, some faces left out (holes, open
// rims, vertices where two fans touch), spread over one to three parts that share positions, and
// now and then a pair of faces with all three edges in common.
Model cleanMesh(std::mt19937& rng) {
    std::uniform_int_distribution<int> percent(0, 99), sides(3, 9), segments(4, 24);
    // Poles of up to 24 neighbours: rings longer than a new vertex's walk holds in place.
    Model base = percent(rng) < 50 ? fixtures::uvSphere(sides(rng), segments(rng))
                                   : fixtures::planarGrid(sides(rng));
    if (percent(rng) < 30) {  // bumps, so that rules do not coincide everywhere
        std::uniform_real_distribution<float> bump(-0.2f, 0.2f);
        for (Vec3& p : base.positions)
            p = p + Vec3{bump(rng), bump(rng), bump(rng)};
    }
    std::vector<int32_t> label(base.positions.size());
    std::iota(label.begin(), label.end(), 0);
    std::shuffle(label.begin(), label.end(), rng);
    std::vector<Vec3> positions(base.positions.size());
    for (size_t i = 0; i < label.size(); ++i)
        positions[static_cast<size_t>(label[i])] = base.positions[i];

    std::vector<fixtures::Triangle> faces;
    for (const Polygon& polygon : base.parts[0].polygons) {
        if (percent(rng) < 12) continue;
        fixtures::Triangle t;
        for (const Corner& corner : polygon)
            t.push_back(label[static_cast<size_t>(corner.positionIndex)]);
        std::rotate(t.begin(), t.begin() + percent(rng) % 3, t.end());
        faces.push_back(t);
    }
    if (percent(rng) < 10 && !faces.empty()) {
        const fixtures::Triangle& t = faces.front();
        faces.push_back({t[0], t[2], t[1]});  // a pillow over the first face
    }
    std::shuffle(faces.begin(), faces.end(), rng);
    std::vector<fixtures::PartLayout> parts(1 + static_cast<size_t>(percent(rng) % 3));
    for (size_t k = 0; k < parts.size(); ++k)
        parts[k].name = "part" + std::to_string(k);
    for (const fixtures::Triangle& t : faces)
        parts[static_cast<size_t>(percent(rng)) % parts.size()].polygons.push_back(t);
    return fixtures::makeModel(positions, parts);
}

// Random creases, corners and normals (or none), and now and then scratch flags, on a built
// model.
void decorate(Model& m, std::mt19937& rng) {
    std::uniform_int_distribution<int> percent(0, 99);
    for (BodyPart& part : m.parts) {
        for (RecordIndex h : part.halfEdges) {
            if (percent(rng) < 15) part.halfEdge(h).sharpness = percent(rng) % 3;
        }
        for (RecordIndex v : part.vertices) {
            if (percent(rng) < 10) part.vertex(v).sharpness = 1;
        }
    }
    m.normals.clear();
    if (percent(rng) < 50) {
        std::uniform_real_distribution<float> n(-1.0f, 1.0f);
        for (size_t i = 0; i < m.positions.size(); ++i)
            m.normals.push_back({n(rng), n(rng), n(rng)});
    }
    // Now and then scratch flags left set by someone else, which a step must not take for its own.
    if (percent(rng) < 15) {
        for (BodyPart& part : m.parts) {
            for (RecordIndex h : part.halfEdges) {
                if (percent(rng) < 10) {
                    part.halfEdge(h).hasMidpoint = 1;
                    part.halfEdge(h).midpointIndex = percent(rng) - 20;
                }
            }
            for (RecordIndex v : part.vertices) {
                if (percent(rng) < 10) part.vertex(v).updated = 1;
            }
        }
    }
}

// One step both ways from copies of m (with their own records) into targets that already hold
// something; everything must agree, bit for bit, and the sources' records too.
void expectSameRefinement(const Model& m, Model& previous, const std::string& where) {
    Model slow = deepCopy(m);
    Model fast = deepCopy(m);
    Model slowTarget = previous;  // shares previous's records: they must not be reused
    Model fastTarget = previous;
    slowTarget.subdivisionLevel = fastTarget.subdivisionLevel = 7;
    slowTarget.sourcePath = fastTarget.sourcePath = "kept";

    ::testing::internal::CaptureStdout();
    slowTarget = subdivide(slow);
    slowTarget.relinkHalfEdges();
    computeLimitNormals(slowTarget);
    const std::string slowOut = ::testing::internal::GetCapturedStdout();
    ::testing::internal::CaptureStdout();
    subdivideLinked(fast, fastTarget);
    const std::string fastOut = ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(fastOut, slowOut) << where;
    ASSERT_TRUE(sameBits(fastTarget.positions, slowTarget.positions)) << where;
    ASSERT_TRUE(sameBits(fastTarget.normals, slowTarget.normals)) << where;
    ASSERT_EQ(fastTarget.parts.size(), slowTarget.parts.size()) << where;
    for (size_t i = 0; i < fastTarget.parts.size(); ++i) {
        const BodyPart& a = fastTarget.parts[i];
        const BodyPart& b = slowTarget.parts[i];
        ASSERT_EQ(a.polygons, b.polygons) << where << ", part " << i;
        ASSERT_EQ(a.name, b.name) << where;
        ASSERT_TRUE(a.faceNormals.empty() && b.faceNormals.empty()) << where;
    }
    ASSERT_EQ(fixtures::compareTopology(fastTarget, slowTarget), "") << where << ": result";
    ASSERT_EQ(fixtures::compareTopology(fast, slow), "") << where << ": source records";
    ASSERT_EQ(fastTarget.subdivisionLevel, 7);
    ASSERT_EQ(fastTarget.sourcePath, "kept");
    ASSERT_EQ(fastTarget.id, slowTarget.id);
    ASSERT_EQ(fastTarget.centre, slowTarget.centre);
    previous = std::move(fastTarget);
}

}  // namespace linked

TEST_F(LoopStep, LinkedStepMatchesStepRelinkAndLimitPassBitForBit) {
    std::mt19937 rng(90210);
    std::uniform_int_distribution<int> percent(0, 99);
    Model previous;
    // Two faces with all three edges in common, alone in their part and beside a tetrahedron.
    for (const bool beside : {false, true}) {
        std::vector<fixtures::PartLayout> parts = {{"pillow", {{0, 1, 2}, {0, 2, 1}}}};
        if (beside) parts.push_back({"tetrahedron", {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}, {0, 2, 1}}});
        Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.3f, 0.3f, 1}}, parts);
        build(m);
        linked::expectSameRefinement(m, previous, beside ? "pillow and tetrahedron" : "pillow");
    }
    for (int round = 0; round < 400; ++round) {
        // Mostly clean patches, which take the linked way; random broken meshes, which do not.
        Model m = round % 4 == 3 ? fixtures::randomMesh(rng) : linked::cleanMesh(rng);
        build(m);
        linked::decorate(m, rng);
        if (round % 9 == 4) {  // points that coincide exactly across parts
            for (Vec3& p : m.positions)
                p = {std::round(p.x), std::round(p.y), 0.0f};
        }
        const std::string where = "round " + std::to_string(round);
        linked::expectSameRefinement(m, previous, where + ", step 1");
        // A second step from the first one's result.
        Model again = previous;
        linked::expectSameRefinement(again, previous, where + ", step 2");
    }
}
