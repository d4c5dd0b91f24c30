#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mesh/ring_walk.h"
#include "subdiv/point_rules.h"
#include "tests/fixtures.h"

namespace {

// A centre above the plane z = 0 closed all round by n triangles, its ring on the unit circle.
Model closedFan(int n, float centreHeight) {
    std::vector<Vec3> p = {{0, 0, centreHeight}};
    std::vector<fixtures::Triangle> tris;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        p.push_back({static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f});
        tris.push_back({0, 1 + i, 1 + (i + 1) % n});
    }
    return fixtures::makeModel(p, {{"head", tris}});
}

class PointRulesTest : public ::testing::Test {
protected:
    static void build(Model& m) { fixtures::buildQuietly(m); }

    fixtures::RingFaultCount faults_;
};

TEST(LoopBeta, CommonValences) {
    EXPECT_EQ(loopBeta(3), 0.1875f);
    EXPECT_EQ(loopBeta(4), 0.12109375f);
    EXPECT_EQ(loopBeta(6), 0.0625f);
    EXPECT_EQ(loopBeta(0), 0.0f);
    EXPECT_EQ(loopBeta(-3), 0.0f);
    // Every valence to the bit, the table's last (64) and those beyond it included:
    // (1/n) (5/8 - (3/8 + cos(2 pi / n) / 4)^2) in double, rounded to a float once. From valence
    // 16 on, a cosine taken in single precision changes the last bit now and then.
    for (int32_t n = 1; n <= 300; ++n) {
        const double c = 0.375 + std::cos(2.0 * std::numbers::pi / n) / 4.0;
        EXPECT_EQ(loopBeta(n), static_cast<float>((0.625 - c * c) / n)) << "valence " << n;
    }
}

TEST_F(PointRulesTest, SmoothInteriorVertexKeepsOneMinusNBeta) {
    // The ring sums to about 0 in x and y and to 0 in z, so the point's height is exactly the
    // weight the vertex keeps.
    for (auto [n, keep] : {std::pair{3, 0.4375f}, std::pair{4, 0.515625f}, std::pair{6, 0.625f}}) {
        Model m = closedFan(n, 1.0f);
        build(m);
        const PointRules rules(m.parts[0], m.positions, m.normals);
        const RefinedPoint point = rules.vertexPoint(m.parts[0].vertices[0]);
        EXPECT_EQ(point.position.z, keep) << "valence " << n;
        EXPECT_NEAR(point.position.x, 0.0f, 1e-6f);
        EXPECT_NEAR(point.position.y, 0.0f, 1e-6f);
        EXPECT_EQ(point.normal, Vec3{});  // no normals in the model
    }
    EXPECT_EQ(faults_.count(), 0);
}

TEST_F(PointRulesTest, CornerVertexStaysExactly) {
    Model m = closedFan(5, 0.3f);
    build(m);
    m.parts[0].vertex(m.parts[0].vertices[0]).sharpness = 1;
    m.normals = m.positions;
    const PointRules rules(m.parts[0], m.positions, m.normals);
    const RefinedPoint point = rules.vertexPoint(m.parts[0].vertices[0]);
    EXPECT_EQ(point.position, (Vec3{0, 0, 0.3f}));
    EXPECT_EQ(point.normal, (Vec3{0, 0, 0.3f}));
}

TEST_F(PointRulesTest, InteriorEdgeSmoothAndCreased) {
    // Edge (0,0,0)-(1,0,0) between the corners (0,1,0) and (0,-1,0).
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}},
                                  {{"head", {{0, 1, 2}, {1, 0, 3}}}});
    build(m);
    BodyPart& part = m.parts[0];
    const RecordIndex h = part.halfEdges[0];
    ASSERT_EQ(part.halfEdge(h).twin, part.halfEdges[3]);
    PointRules rules(part, m.positions, m.normals);
    EXPECT_EQ(rules.edgePoint(h).position, (Vec3{0.375f, 0, 0}));
    EXPECT_EQ(part.halfEdge(h).sharpness, 0);

    part.halfEdge(h).sharpness = 1;
    part.halfEdge(part.halfEdges[3]).sharpness = 1;
    EXPECT_EQ(rules.edgePoint(h).position, (Vec3{0.5f, 0, 0}));
    EXPECT_EQ(part.halfEdge(h).sharpness, 0);                      // lowered once
    EXPECT_EQ(part.halfEdge(part.halfEdges[3]).sharpness, 1);      // the twin keeps its own
    EXPECT_EQ(rules.edgePoint(h).position, (Vec3{0.375f, 0, 0}));  // smooth again
    EXPECT_EQ(faults_.count(), 0);
}

TEST_F(PointRulesTest, BoundaryEdgeIsTheMidpointWhateverItsSharpness) {
    Model m = fixtures::makeModel({{0, 0, 0}, {2, 0, 0}, {0, 1, 0}}, {{"head", {{0, 1, 2}}}});
    build(m);
    m.normals = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    BodyPart& part = m.parts[0];
    const RecordIndex h = part.halfEdges[0];
    PointRules rules(part, m.positions, m.normals);
    for (int sharpness : {0, 3}) {
        part.halfEdge(h).sharpness = sharpness;
        const RefinedPoint point = rules.edgePoint(h);
        EXPECT_EQ(point.position, (Vec3{1, 0, 0}));
        EXPECT_EQ(point.normal, (Vec3{0, 0.5f, 0.5f}));
        EXPECT_EQ(part.halfEdge(h).sharpness, sharpness);
    }
}

TEST_F(PointRulesTest, BoundaryVertexTakesThreeQuartersOfItself) {
    Model m = fixtures::singleTriangle();  // (0,0,0) (1,0,0) (0,1,0)
    build(m);
    const PointRules rules(m.parts[0], m.positions, m.normals);
    EXPECT_EQ(rules.vertexPoint(m.parts[0].vertices[0]).position, (Vec3{0.125f, 0.125f, 0}));
    EXPECT_EQ(rules.vertexPoint(m.parts[0].vertices[1]).position, (Vec3{0.75f, 0.125f, 0}));
}

TEST_F(PointRulesTest, MissingLinksAreReportedNotFollowed) {
    Model m = closedFan(6, 1.0f);
    build(m);
    BodyPart& part = m.parts[0];
    // An interior half-edge out of the centre loses its twin: the ring cannot close, and the
    // edge has no opposite corner across it.
    const RecordIndex spoke = part.halfEdges[0];
    ASSERT_EQ(part.halfEdge(spoke).boundary, 0);
    part.halfEdge(spoke).twin = NONE_INDEX;
    PointRules rules(part, m.positions, m.normals);
    const RefinedPoint centre = rules.vertexPoint(part.vertices[0]);
    EXPECT_GE(faults_.count(), 1);
    EXPECT_TRUE(std::isfinite(centre.position.x) && std::isfinite(centre.position.z));
    faults_.reset();
    const RefinedPoint mid = rules.edgePoint(spoke);
    EXPECT_EQ(faults_.count(), 1);
    EXPECT_EQ(mid.position, (m.positions[0] + m.positions[1]) * 0.5f);
}

}  // namespace
