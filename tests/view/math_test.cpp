#include "view/math.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

Vec3 apply(const Mat3& m, const Vec3& v) {
    return {m(0, 0) * v.x + m(0, 1) * v.y + m(0, 2) * v.z,
            m(1, 0) * v.x + m(1, 1) * v.y + m(1, 2) * v.z,
            m(2, 0) * v.x + m(2, 1) * v.y + m(2, 2) * v.z};
}

void expectNear(const Mat3& a, const Mat3& b, float tolerance = 1e-6f) {
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}

void expectNear(const Vec3& a, const Vec3& b, float tolerance = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(Vec3Test, CrossIsRightHandedAndNormalizeGuards) {
    EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}), (Vec3{0, 0, 1}));
    EXPECT_EQ(cross({0, 1, 0}, {1, 0, 0}), (Vec3{0, 0, -1}));
    EXPECT_FLOAT_EQ(length({3, 4, 12}), 13.0f);
    expectNear(normalize({0, 3, 4}), {0, 0.6f, 0.8f});
    EXPECT_FALSE(std::isfinite(normalize({0, 0, 0}).x));
    // No direction: zero, infinite, not a number, or too long to measure in a float.
    const float inf = std::numeric_limits<float>::infinity();
    for (const Vec3& v :
         {Vec3{0, 0, 0}, Vec3{inf, 0, 0}, Vec3{0, std::nanf(""), 1}, Vec3{3e38f, 3e38f, 0}})
        EXPECT_EQ(normalizedOrZero(v), (Vec3{0, 0, 0}));
    EXPECT_EQ(normalizedOrZero({0, -2, 0}), (Vec3{0, -1, 0}));
}

TEST(QuatToMat3Test, ZeroAndScalarOnlyQuaternionsGiveIdentity) {
    EXPECT_EQ(quatToMat3({0, 0, 0, 0}), Mat3::identity());
    EXPECT_EQ(quatToMat3({0, 0, 0, 5}), Mat3::identity());
    EXPECT_EQ(quatToMat3({0, 0, 0, -0.25f}), Mat3::identity());
}

TEST(QuatToMat3Test, UnnormalisedQuaternionGivesPureRotation) {
    // (0, 0, 1, 1) is a quarter turn about z, whatever its length.
    const Mat3 quarter = quatToMat3({0, 0, 1, 1});
    expectNear(apply(quarter, {1, 0, 0}), {0, 1, 0});
    expectNear(apply(quarter, {0, 1, 0}), {-1, 0, 0});
    expectNear(quatToMat3({0, 0, 7, 7}), quarter);
    expectNear(quatToMat3({0, 0, 0.01f, 0.01f}), quarter);

    // A general quaternion and its multiples: orthonormal columns, determinant 1.
    const Quaternion q{0.3f, -1.2f, 0.5f, 2.0f};
    const Mat3 r = quatToMat3(q);
    expectNear(quatToMat3({q.x * 40, q.y * 40, q.z * 40, q.w * 40}), r, 1e-5f);
    const Vec3 c0{r(0, 0), r(1, 0), r(2, 0)};
    const Vec3 c1{r(0, 1), r(1, 1), r(2, 1)};
    const Vec3 c2{r(0, 2), r(1, 2), r(2, 2)};
    EXPECT_NEAR(dot(c0, c0), 1.0f, 1e-5f);
    EXPECT_NEAR(dot(c1, c1), 1.0f, 1e-5f);
    EXPECT_NEAR(dot(c0, c1), 0.0f, 1e-5f);
    EXPECT_NEAR(dot(cross(c0, c1), c2), 1.0f, 1e-5f);
    // The axis (x, y, z) stays fixed.
    expectNear(apply(r, {0.3f, -1.2f, 0.5f}), {0.3f, -1.2f, 0.5f}, 1e-5f);
}

TEST(Mat3MultiplyTest, ComposesRightToLeft) {
    const Mat3 aboutZ = quatToMat3({0, 0, 1, 1});  // x -> y
    const Mat3 aboutX = quatToMat3({1, 0, 0, 1});  // y -> z
    // aboutX . aboutZ: first z, then x: x -> y -> z.
    expectNear(apply(mat3Multiply(aboutX, aboutZ), {1, 0, 0}), {0, 0, 1});
    // The other order: x -> x -> y.
    expectNear(apply(mat3Multiply(aboutZ, aboutX), {1, 0, 0}), {0, 1, 0});

    Mat3 a = aboutZ;
    a = mat3Multiply(a, a);  // the result may replace an argument
    expectNear(apply(a, {1, 0, 0}), {-1, 0, 0});
}

TEST(SetRotationKeepScaleTest, KeepsUniformScaleAndFourthRowAndColumn) {
    Mat4 t;
    for (int i = 0; i < 3; ++i)
        t(i, i) = 2.0f;
    t(0, 3) = 5.0f;  // translation column
    t(1, 3) = 6.0f;
    t(2, 3) = 7.0f;
    t(3, 0) = 0.5f;  // fourth row
    const Mat3 r = quatToMat3({0, 0, 1, 1});

    setRotationKeepScale(t, r);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_NEAR(t(row, col), 2.0f * r(row, col), 1e-6f) << row << "," << col;
        }
    }
    EXPECT_EQ(t(0, 3), 5.0f);
    EXPECT_EQ(t(1, 3), 6.0f);
    EXPECT_EQ(t(2, 3), 7.0f);
    EXPECT_EQ(t(3, 0), 0.5f);
    EXPECT_EQ(t(3, 3), 1.0f);

    // Applied again to a block that is now a scaled rotation, the scale is still 2.
    setRotationKeepScale(t, Mat3::identity());
    EXPECT_NEAR(t(0, 0), 2.0f, 1e-6f);
    EXPECT_NEAR(t(1, 0), 0.0f, 1e-6f);

    Mat4 pure;
    setRotationKeepScale(pure, r);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col)
            EXPECT_NEAR(pure(row, col), r(row, col), 1e-6f);
    }
}

TEST(TransposeTransformTest, ReadsColumnsOfTheOpenGLMatrix) {
    Mat4 m;
    for (int i = 0; i < 16; ++i)
        m.m[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
    // Component i is column i of m dotted with v: x alone picks row 0 of m.
    EXPECT_EQ(transposeTransform(m, {1, 0, 0, 0}), (Vec4{1, 5, 9, 13}));
    EXPECT_EQ(transposeTransform(m, {0, 0, 0, 1}), (Vec4{4, 8, 12, 16}));

    // For a rotation it undoes the rotation.
    Mat4 rotation;
    setRotationKeepScale(rotation, quatToMat3({0.2f, 0.7f, -0.4f, 1.0f}));
    const Vec4 p{0.5f, -2.0f, 3.0f, 1.0f};
    Vec4 turned{};
    for (int row = 0; row < 4; ++row) {
        const float value = rotation(row, 0) * p.x + rotation(row, 1) * p.y +
                            rotation(row, 2) * p.z + rotation(row, 3) * p.w;
        (row == 0 ? turned.x : row == 1 ? turned.y : row == 2 ? turned.z : turned.w) = value;
    }
    const Vec4 back = transposeTransform(rotation, turned);
    EXPECT_NEAR(back.x, p.x, 1e-5f);
    EXPECT_NEAR(back.y, p.y, 1e-5f);
    EXPECT_NEAR(back.z, p.z, 1e-5f);
    EXPECT_NEAR(back.w, p.w, 1e-5f);
}

class RayHitsSphereTest : public ::testing::Test {
protected:
    const Vec3 origin{0, 0, 0};
    const Vec3 down{0, 0, -1};
    Vec3 hit{99, 99, 99};
};

TEST_F(RayHitsSphereTest, SphereInFrontGivesNearCrossing) {
    ASSERT_TRUE(rayHitsSphere(origin, down, {0, 0, -10}, 4.0f, hit));
    EXPECT_EQ(hit, (Vec3{0, 0, -8}));
}

TEST_F(RayHitsSphereTest, SphereBehindOriginStillHitsBehind) {
    ASSERT_TRUE(rayHitsSphere(origin, down, {0, 0, 10}, 4.0f, hit));
    EXPECT_EQ(hit, (Vec3{0, 0, 8}));  // t = -8
}

TEST_F(RayHitsSphereTest, OriginInsideSphereGivesCrossingInFront) {
    ASSERT_TRUE(rayHitsSphere(origin, down, {0, 0, -1}, 4.0f, hit));
    EXPECT_EQ(hit, (Vec3{0, 0, -3}));
    // An origin on the sphere heading in: the crossing in front is the far side, not the origin.
    ASSERT_TRUE(rayHitsSphere(origin, down, {0, 0, -2}, 4.0f, hit));
    EXPECT_EQ(hit, (Vec3{0, 0, -4}));
}

TEST_F(RayHitsSphereTest, TangentLineCountsAsHit) {
    // Distance from the line to the centre equals the radius: the discriminant is exactly 0.
    ASSERT_TRUE(rayHitsSphere(origin, down, {2, 0, -10}, 4.0f, hit));
    EXPECT_EQ(hit, (Vec3{0, 0, -10}));
}

TEST_F(RayHitsSphereTest, MissLeavesHitUntouched) {
    EXPECT_FALSE(rayHitsSphere(origin, down, {5, 0, -10}, 4.0f, hit));
    EXPECT_FALSE(rayHitsSphere(origin, down, {2.001f, 0, -10}, 4.0f, hit));
    EXPECT_EQ(hit, (Vec3{99, 99, 99}));
}

}  // namespace
