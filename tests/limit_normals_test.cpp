#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"
#include "tests/fixtures.h"

namespace {

const Vec3 kUnset{7, 7, 7};

using fixtures::buildQuietly;

std::string limitNormals(Model& m) {
    ::testing::internal::CaptureStdout();
    computeLimitNormals(m);
    return ::testing::internal::GetCapturedStdout();
}

TEST(LimitNormals, RegularInteriorVertexPointsOut) {
    // Valence 6 at the origin in z = 0, triangles counter-clockwise seen from +z.
    std::vector<Vec3> p = {{0, 0, 0}};
    std::vector<fixtures::Triangle> tris;
    for (int i = 0; i < 6; ++i) {
        const double a = 2.0 * std::numbers::pi * i / 6;
        p.push_back({static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f});
        tris.push_back({0, 1 + i, 1 + (i + 1) % 6});
    }
    Model m = fixtures::makeModel(p, {{"head", tris}});
    buildQuietly(m);
    m.normals.assign(m.positions.size(), kUnset);
    EXPECT_EQ(limitNormals(m), "");
    EXPECT_NEAR(m.normals[0].x, 0.0f, 1e-6f);
    EXPECT_NEAR(m.normals[0].y, 0.0f, 1e-6f);
    EXPECT_NEAR(m.normals[0].z, 1.0f, 1e-6f);
}

TEST(LimitNormals, BoundaryVertexUsesItsTwoBoundaryNeighbours) {
    // P = (0,0,0), B1 = (1,1,0), B2 = (-1,1,0): (B2 - P) x (B1 - B2) = (0, 0, -2).
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 1, 0}, {-1, 1, 0}}, {{"head", {{0, 1, 2}}}});
    buildQuietly(m);
    m.normals.assign(3, kUnset);
    limitNormals(m);
    EXPECT_EQ(m.normals[0], (Vec3{0, 0, -1}));
}

TEST(LimitNormals, NoDirectionLeavesTheEntry) {
    // P on a straight boundary between B1 = (1,0,0) and B2 = (-1,0,0): a zero cross product.
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {5, 5, 5}},
                                  {{"head", {{0, 1, 2}, {0, 2, 3}}}, {"tail", {}}});
    buildQuietly(m);
    m.normals.assign(5, kUnset);
    limitNormals(m);
    EXPECT_EQ(m.normals[0], kUnset);  // no direction
    EXPECT_EQ(m.normals[4], kUnset);  // used by no polygon
    EXPECT_NE(m.normals[2], kUnset);
    EXPECT_NEAR(std::sqrt(dot(m.normals[2], m.normals[2])), 1.0f, 1e-6f);
}

TEST(LimitNormals, StrayBoundaryEdgePrintsOncePerCorner) {
    Model m = fixtures::twoTriangles();  // (0 1 2) (2 1 3)
    buildQuietly(m);
    BodyPart& part = m.parts[0];
    const RecordIndex v = part.vertices[1];  // position 1: a boundary vertex with two corners
    ASSERT_EQ(part.vertex(v).boundary, 1);
    part.vertex(v).edge = part.halfEdges[1];  // 1 -> 2, an interior half-edge
    m.normals.assign(4, kUnset);
    EXPECT_EQ(limitNormals(m), "bLAHbLAH");
}

TEST(LimitNormals, LaterPartWins) {
    // The same triangle, once each way round: the shared corners take the second part's normal.
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                  {{"head", {{0, 1, 2}}}, {"torso", {{0, 2, 1}}}});
    buildQuietly(m);
    m.normals.assign(3, kUnset);
    limitNormals(m);
    Model second = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{"torso", {{0, 2, 1}}}});
    buildQuietly(second);
    second.normals.assign(3, kUnset);
    limitNormals(second);
    EXPECT_EQ(m.normals, second.normals);
}

TEST(LimitNormals, RefinedSphereHasUnitOutwardNormalsEveryRun) {
    Model m = fixtures::uvSphere(10, 14);
    buildQuietly(m);
    ::testing::internal::CaptureStdout();
    Model r = subdivide(m);
    ::testing::internal::GetCapturedStdout();
    r.relinkHalfEdges();
    limitNormals(r);
    const std::vector<Vec3> first = r.normals;
    for (size_t i = 0; i < r.positions.size(); ++i) {
        EXPECT_NEAR(std::sqrt(dot(r.normals[i], r.normals[i])), 1.0f, 1e-5f) << i;
        EXPECT_GT(dot(r.normals[i], r.positions[i]),
                  0.9f * std::sqrt(dot(r.positions[i], r.positions[i])))
            << i;
    }
    limitNormals(r);
    EXPECT_EQ(r.normals, first);
}

}  // namespace
