#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"
#include "tests/fixtures.h"

namespace {

const Vec3 kUnset{7, 7, 7};

using fixtures::buildQuietly;

// The limit normals as plainly as they can be written: corner by corner, the vertex record by a
// scan of the part's list, the normal computed and stored at the first corner of each vertex,
// "bLAH" at every corner of a vertex whose edge strays, faults reported as they happen.
namespace plain {

struct Walker {
    const BodyPart& part;
    const std::vector<Vec3>& positions;

    bool validEdge(RecordIndex h) const {
        return h >= 0 && static_cast<size_t>(h) < part.arena->halfEdges.size();
    }
    Vec3 at(RecordIndex v) const {
        if (v < 0 || static_cast<size_t>(v) >= part.arena->vertices.size()) return {};
        const int32_t p = part.vertex(v).positionIndex;
        if (p < 0 || static_cast<size_t>(p) >= positions.size()) return {};
        return positions[static_cast<size_t>(p)];
    }
    void fault(RecordIndex v) const {
        reportRingFault("limit normal", part.name, part.vertex(v).positionIndex);
    }

    Vec3 cross(RecordIndex v) const {
        const MeshVertex& vertex = part.vertex(v);
        const size_t limit = part.halfEdges.size() + 1;
        if (vertex.boundary != 0) {
            if (!validEdge(vertex.edge)) {
                fault(v);
                return {};
            }
            const Vec3 p = at(v);
            const Vec3 b1 = at(part.halfEdge(vertex.edge).target);
            Vec3 b2 = p;
            RecordIndex h = part.halfEdge(vertex.edge).prev;
            bool found = false;
            for (size_t step = 0; step < limit && validEdge(h); ++step) {
                if (part.halfEdge(h).boundary != 0) {
                    b2 = at(part.halfEdge(h).origin);
                    found = true;
                    break;
                }
                const RecordIndex twin = part.halfEdge(h).twin;
                h = validEdge(twin) ? part.halfEdge(twin).prev : NONE_INDEX;
            }
            if (!found) fault(v);
            return ::cross(b2 - p, b1 - b2);
        }
        const int32_t n = vertex.valence;
        Vec3 tcos{};
        Vec3 tsin{};
        RecordIndex h = vertex.edge;
        bool closed = false;
        for (size_t step = 0; step < limit && validEdge(h); ++step) {
            const float a = static_cast<float>(2.0 * std::numbers::pi) * static_cast<float>(step) /
                            static_cast<float>(n);
            const Vec3 q = at(part.halfEdge(h).target);
            tcos += std::cos(a) * q;
            tsin += std::sin(a) * q;
            const RecordIndex twin = part.halfEdge(h).twin;
            h = validEdge(twin) ? part.halfEdge(twin).next : NONE_INDEX;
            if (h == vertex.edge) {
                closed = true;
                break;
            }
        }
        if (!closed) fault(v);
        return ::cross(tsin, tcos);
    }
};

void limitNormals(Model& m) {
    for (const BodyPart& part : m.parts) {
        if (part.polygons.empty() || !part.arena) continue;
        const Walker walker{part, m.positions};
        std::vector<bool> done(m.normals.size(), false);
        for (const Polygon& polygon : part.polygons) {
            for (size_t k = 0; k < polygon.size() && k < 3; ++k) {
                const int32_t g = polygon[k].positionIndex;
                if (g < 0 || static_cast<size_t>(g) >= m.normals.size()) continue;
                RecordIndex v = NONE_INDEX;
                for (RecordIndex w : part.vertices) {
                    if (w >= 0 && static_cast<size_t>(w) < part.arena->vertices.size() &&
                        part.vertex(w).positionIndex == g) {
                        v = w;
                        break;
                    }
                }
                if (v == NONE_INDEX) continue;
                const MeshVertex& vertex = part.vertex(v);
                if (vertex.boundary != 0 && walker.validEdge(vertex.edge) &&
                    part.halfEdge(vertex.edge).boundary == 0) {
                    std::printf("bLAH");
                }
                if (done[static_cast<size_t>(g)]) continue;
                done[static_cast<size_t>(g)] = true;
                if (vertex.boundary == 0 && vertex.valence <= 0) continue;
                const Vec3 n = walker.cross(v);
                const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
                if (!(len > 0.0f) || !std::isfinite(len)) continue;
                m.normals[static_cast<size_t>(g)] = {n.x / len, n.y / len, n.z / len};
            }
        }
    }
}

}  // namespace plain

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

    // Interior rings without a direction: all on one line, or too large to measure.
    const Vec3 line[4] = {{1, 0, 0}, {2, 0, 0}, {-1, 0, 0}, {3, 0, 0}};
    const Vec3 huge[4] = {{2e19f, 0, 0}, {0, 2e19f, 0}, {-2e19f, 0, 0}, {0, -2e19f, 0}};
    for (const Vec3* ring : {line, huge}) {
        Vec3 out = kUnset;
        EXPECT_FALSE(interiorLimitNormal(ring, 4, 4, out));
        EXPECT_EQ(out, kUnset);
    }
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

// Faults go into the transcript, so that their place among the "bLAH"s is compared too.
void printFault(const char*, const std::string&, int32_t positionIndex) {
    std::printf("[fault %d]", positionIndex);
}

// Against the plain version, bit for bit and print for print, on random meshes (broken ones
// with rings that do not close and stray edges included) and on their refinements.
TEST(LimitNormals, MatchPlainCornerByCornerVersion) {
    const RingFaultHandler previous = setRingFaultHandler(&printFault);
    std::mt19937 rng(7071);
    for (int round = 0; round < 300; ++round) {
        Model m = fixtures::randomMesh(rng);
        ::testing::internal::CaptureStdout();
        m.buildHalfEdges();
        if (round % 2 == 1) {
            m = subdivide(m);
            m.relinkHalfEdges();
        }
        // Now and then a boundary vertex whose edge strays inside.
        for (BodyPart& part : m.parts) {
            if (round % 3 != 0 || part.halfEdges.empty()) continue;
            for (RecordIndex v : part.vertices) {
                if (part.vertex(v).boundary != 0) {
                    part.vertex(v).edge =
                        part.halfEdges[static_cast<size_t>(v) % part.halfEdges.size()];
                    break;
                }
            }
        }
        ::testing::internal::GetCapturedStdout();
        m.normals.assign(m.positions.size(), kUnset);
        Model reference = m;
        const std::string ours = limitNormals(m);
        ::testing::internal::CaptureStdout();
        plain::limitNormals(reference);
        const std::string expected = ::testing::internal::GetCapturedStdout();
        ASSERT_EQ(ours, expected) << "round " << round;
        ASSERT_TRUE(fixtures::sameBits(m.normals, reference.normals)) << "round " << round;
    }
    // Valences at the end of the table of ring directions and beyond it: the tip of a cone
    // whose rim wanders in and out, up and down.
    for (int n : {63, 64, 65, 97}) {
        std::vector<Vec3> p = {{0, 0, 1}};
        std::vector<fixtures::Triangle> tris;
        for (int i = 0; i < n; ++i) {
            const double a = 2.0 * std::numbers::pi * i / n;
            const double r = 1.0 + 0.3 * std::sin(5.0 * a);
            p.push_back({static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)),
                         static_cast<float>(0.2 * std::cos(3.0 * a))});
            tris.push_back({0, 1 + i, 1 + (i + 1) % n});
        }
        Model m = fixtures::makeModel(p, {{"head", tris}});
        buildQuietly(m);
        m.normals.assign(m.positions.size(), kUnset);
        Model reference = m;
        limitNormals(m);
        plain::limitNormals(reference);
        EXPECT_TRUE(fixtures::sameBits(m.normals, reference.normals)) << "valence " << n;
    }
    setRingFaultHandler(previous);
}

}  // namespace
