#include "creature/picking.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

// A genome whose only fields the pick test reads are set.
Model genomeAt(Vec3 position, Vec3 centre, float scale) {
    Model m;
    m.position = position;
    m.centre = centre;
    m.scale = scale;
    m.scaleSquared = scale * scale;
    return m;
}

// m times p, as a point.
Vec3 apply(const Mat4& m, Vec3 p) {
    Vec3 out;
    float* o[3] = {&out.x, &out.y, &out.z};
    for (int r = 0; r < 3; ++r)
        *o[r] = m(r, 0) * p.x + m(r, 1) * p.y + m(r, 2) * p.z + m(r, 3);
    return out;
}

constexpr Vec3 AXES[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

// Scale 2 gives a squared radius of 4 + 5 = 9: radius 3, about the sphere centre
// position + centre = (1.5, -7.25, -4.75). Rays along each axis pass that centre at 2.9, 3 (the
// sphere's very edge: a tangent counts) and 3.1 on either side along the other two axes, first
// as given and then with the scene turned a quarter about y (the rays come in unturned, as
// unprojected, and the pick turns them back).
TEST(Picking, HitsInsideTheSphereAtPositionPlusCentreAndMissesJustOutside) {
    const std::vector<Model> genomes = {genomeAt({1, -6.5f, -5}, {0.5f, -0.75f, 0.25f}, 2.0f)};
    const Vec3 centre{1.5f, -7.25f, -4.75f};
    Mat4 quarter;
    quarter(0, 0) = 0.0f;
    quarter(0, 2) = 1.0f;
    quarter(2, 0) = -1.0f;
    quarter(2, 2) = 0.0f;
    for (const Mat4& turn : {Mat4::identity(), quarter}) {
        for (int along = 0; along < 3; ++along) {
            for (int side = 0; side < 3; ++side) {
                if (side == along) continue;
                for (float distance : {2.9f, -2.9f, 3.0f, -3.0f, 3.1f, -3.1f}) {
                    const Vec3 passing = centre + AXES[side] * distance;
                    const Vec3 nearPoint = apply(turn, passing - AXES[along] * 50.0f);
                    const Vec3 farPoint = apply(turn, passing + AXES[along] * 50.0f);
                    const bool inside = distance >= -3.0f && distance <= 3.0f;
                    EXPECT_EQ(pickCreature(genomes, 1, turn, nearPoint, farPoint),
                              inside ? 0 : NONE_INDEX)
                        << "along " << along << ", passing at " << distance << " along " << side
                        << (turn == quarter ? ", turned" : "");
                }
            }
        }
    }
}

TEST(Picking, TheLowestIndexWinsAndOnlyCountedGenomesAreTried) {
    // Two overlapping spheres on the z axis; creature 1 is nearer to the eye.
    const std::vector<Model> genomes = {genomeAt({0, 0, -10}, {}, 1.0f),
                                        genomeAt({0, 0, -7}, {}, 1.0f)};
    const Vec3 eye{0, 0, 0};
    const auto pick = [&](Vec3 through, size_t count) {
        return pickCreature(genomes, count, Mat4::identity(), eye, through);
    };
    EXPECT_EQ(pick({0, 0, -1}, 2), 0);
    // Through creature 1 only (2.2 beside its centre at 7 units is 3.3 beside at 10).
    const Vec3 besideNear{2.2f / 7.0f, 0, -1};
    EXPECT_EQ(pick(besideNear, 2), 1);
    EXPECT_EQ(pick(besideNear, 1), NONE_INDEX);
    EXPECT_EQ(pick(besideNear, 5), 1);    // a count beyond the genomes reads no further
    EXPECT_EQ(pick(eye, 2), NONE_INDEX);  // a ray of no length meets nothing

    // Creatures whose centre is not a number are never hit, and the search goes on past them.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<Model> odd = {genomeAt({0, 0, -10}, {nan, 0, 0}, 1.0f),
                                    genomeAt({0, 0, -10}, {0, -inf, 0}, 1.0f), genomes[1]};
    EXPECT_EQ(pickCreature(odd, 3, Mat4::identity(), eye, {0, 0, -1}), 2);
}

}  // namespace
