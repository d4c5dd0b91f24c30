#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "mesh/obj_reader.h"
#include "mesh/ring_walk.h"
#include "tests/fixtures.h"
#include "tests/literal_scans.h"

namespace {

std::string built(Model& m) {
    ::testing::internal::CaptureStdout();
    m.buildHalfEdges();
    m.computeNormals();
    return ::testing::internal::GetCapturedStdout();
}

TEST(Normals, SingleTriangleFacesUp) {
    Model m = fixtures::singleTriangle();
    EXPECT_EQ(built(m), "Building 0th Set of Half Edges...Done\nCalculating Normals...Done\n");
    EXPECT_EQ(m.parts[0].faceNormals, (std::vector<Vec3>{{0, 0, 1}}));
    // normalSlot -1: one appended entry per corner.
    EXPECT_EQ(m.normals, (std::vector<Vec3>{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));
}

TEST(Normals, VerticesAverageTheirTrianglesUnweighted) {
    Model m = fixtures::tetrahedron();
    built(m);
    const BodyPart& part = m.parts[0];
    // Vertex 0 is in faces 0, 1, 2 (not 3); its normal is their normalised sum.
    const Vec3 s = part.faceNormals[0] + part.faceNormals[1] + part.faceNormals[2];
    const Vec3 expected = normalize(s);
    EXPECT_NEAR(m.normals[0].x, expected.x, 1e-6f);
    EXPECT_NEAR(m.normals[0].y, expected.y, 1e-6f);
    EXPECT_NEAR(m.normals[0].z, expected.z, 1e-6f);

    // Two triangles folded along a shared edge: the fold gets both, the tips their own.
    Model fold = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}},
                                     {{"head", {{0, 1, 2}, {2, 1, 3}}}}, true);
    built(fold);
    const Vec3 both = normalize(fold.parts[0].faceNormals[0] + fold.parts[0].faceNormals[1]);
    EXPECT_EQ(fold.normals.size(), 4u);  // written at position indices
    EXPECT_EQ(fold.normals[0], fold.parts[0].faceNormals[0]);
    EXPECT_EQ(fold.normals[3], fold.parts[0].faceNormals[1]);
    EXPECT_NEAR(fold.normals[1].x, both.x, 1e-6f);
    EXPECT_NEAR(fold.normals[2].z, both.z, 1e-6f);
}

TEST(Normals, SlotsWriteAtPositionIndexAndGrowAShortList) {
    // A file whose normal and texture numbers differ from its position numbers, and whose
    // normal list is shorter than its positions: each vertex normal is written at its position
    // index, growing the list, whatever slot the corner names (negative ones too, but for -1).
    Model m;
    ::testing::internal::CaptureStdout();
    const ObjReadResult read = readObjText(
        "v 1 1 1\nv -1 -1 1\nv -1 1 -1\nv 1 -1 -1\nvn 0 0 1\nvn 0 1 0\n"
        "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvt 0.5 0\nvt 0 0.5\ng head\n"
        "f 1/2/3 2/1/6 4/2/5\nf 1/1/2 3/2/4 2/2/1\nf 1/2/6 4/1/3 3/1/2\nf 2/-1/4 3/-2/5 4/-1/6\n",
        "tetra.obj", Vec3{}, m);
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(m.normals.size(), 2u);
    built(m);
    ASSERT_EQ(m.normals.size(), 4u);
    const BodyPart& part = m.parts[0];
    for (int32_t p = 0; p < 4; ++p) {
        Vec3 sum{};
        for (size_t f = 0; f < part.polygons.size(); ++f) {
            for (const Corner& c : part.polygons[f])
                if (c.positionIndex == p) sum += part.faceNormals[f];
        }
        const Vec3 expected = normalize(sum);
        EXPECT_NEAR(m.normals[static_cast<size_t>(p)].x, expected.x, 1e-6f) << p;
        EXPECT_NEAR(m.normals[static_cast<size_t>(p)].y, expected.y, 1e-6f) << p;
        EXPECT_NEAR(m.normals[static_cast<size_t>(p)].z, expected.z, 1e-6f) << p;
    }

    Model f =
        fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{"head", {{0, 1, 2}, {0, 2, 1}}}});
    built(f);
    EXPECT_EQ(f.normals.size(), 6u);  // 3F appended entries, in polygon and corner order
}

TEST(Normals, DegenerateTrianglesGiveZeroNotNaN) {
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{"head", {{0, 1, 2}}}}, true);
    built(m);
    EXPECT_EQ(m.parts[0].faceNormals[0], (Vec3{0, 0, 0}));
    for (const Vec3& n : m.normals)
        EXPECT_EQ(n, (Vec3{0, 0, 0}));

    // Two opposite triangles on the same corners: their normals cancel.
    Model c = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                  {{"head", {{0, 1, 2}, {0, 2, 1}}}}, true);
    built(c);
    for (const Vec3& n : c.normals) {
        EXPECT_FALSE(std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z));
    }
}

TEST(Normals, InconsistentOrientationSaysSo) {
    // The third triangle pairs its edge 1 -> 0 with both earlier 0 -> 1 edges, so every edge
    // leaving vertex 0 has a twin while 3 -> 0 has none: vertex 0 is a boundary vertex whose
    // edge is not a boundary half-edge.
    Model m = fixtures::makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}},
                                  {{"head", {{0, 1, 2}, {0, 1, 3}, {1, 0, 2}}}});
    const fixtures::RingFaultCount faults;
    const std::string out = built(m);
    EXPECT_NE(out.find("This should never happen!\n"), std::string::npos);
}

TEST(Normals, IndexedVersionMatchesLiteralScans) {
    const fixtures::RingFaultCount faults;
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        Model fast = fixtures::randomMesh(rng);
        for (BodyPart& part : fast.parts) {
            for (Polygon& p : part.polygons) {
                // Appended, written through a slot numbered apart from the positions, or
                // both in one model.
                for (Corner& c : p) {
                    const bool appended = round % 3 == 0 || (round % 3 == 2 && c.positionIndex % 2);
                    c.normalSlot = appended ? -1 : (c.positionIndex * 5 + 3) % 11;
                }
            }
        }
        Model slow = fast;
        ::testing::internal::CaptureStdout();
        fast.buildHalfEdges();
        literal::build(slow);
        ::testing::internal::GetCapturedStdout();
        ::testing::internal::CaptureStdout();
        fast.computeNormals();
        const std::string fastOut = ::testing::internal::GetCapturedStdout();
        ::testing::internal::CaptureStdout();
        literal::normals(slow);
        const std::string slowOut = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(fastOut, "Calculating Normals..." + slowOut + "Done\n") << round;
        ASSERT_TRUE(fixtures::sameBits(fast.normals, slow.normals)) << round;
        for (size_t p = 0; p < fast.parts.size(); ++p) {
            ASSERT_TRUE(fixtures::sameBits(fast.parts[p].faceNormals, slow.parts[p].faceNormals))
                << round;
        }
    }
}

}  // namespace
