#include "view/arcball.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

void expectNear(const Vec3& a, const Vec3& b, float tolerance = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

void expectFinite(const ArcBall& ball) {
    for (float v : ball.transform.m)
        EXPECT_TRUE(std::isfinite(v));
    for (float v : ball.thisRotation.m)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(ball.endVector.x) && std::isfinite(ball.endVector.y) &&
                std::isfinite(ball.endVector.z));
}

Mat3 block(const Mat4& t) {
    Mat3 r;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col)
            r(row, col) = t(row, col);
    }
    return r;
}

Vec3 apply(const Mat3& m, const Vec3& v) {
    return {m(0, 0) * v.x + m(0, 1) * v.y + m(0, 2) * v.z,
            m(1, 0) * v.x + m(1, 1) * v.y + m(1, 2) * v.z,
            m(2, 0) * v.x + m(2, 1) * v.y + m(2, 2) * v.z};
}

// One middle-button drag as the input handlers run it: press, then motion to each point.
void dragFromTo(ArcBall& ball, ArcBall::Point from, ArcBall::Point to) {
    ball.mousePoint = from;
    ball.click(ball.mousePoint);
    ball.lastRotation = ball.thisRotation;
    ball.mousePoint = to;
    ball.update();
}

TEST(ArcBallTest, StartsAtRestWithBoundsFromTheWindow) {
    const ArcBall ball(1024, 768);
    EXPECT_EQ(ball.transform, Mat4::identity());
    EXPECT_EQ(ball.lastRotation, Mat3::identity());
    EXPECT_EQ(ball.thisRotation, Mat3::identity());
    EXPECT_EQ(ball.startVector, (Vec3{0, 0, 0}));
    EXPECT_EQ(ball.endVector, (Vec3{0, 0, 0}));
    EXPECT_EQ(ball.adjustWidth, 1.0f / 511.5f);
    EXPECT_EQ(ball.adjustHeight, 1.0f / 383.5f);
}

TEST(ArcBallTest, MapsCentreToFrontPoleAndCornersToRim) {
    const ArcBall ball(1024, 768);
    EXPECT_EQ(ball.mapToSphere({511.5f, 383.5f}), (Vec3{0, 0, 1}));
    expectNear(ball.mapToSphere({512, 384}), {0, 0, 1}, 2e-3f);

    // Window y grows downwards, sphere y upwards.
    expectNear(ball.mapToSphere({0, 383.5f}), {-1, 0, 0});
    expectNear(ball.mapToSphere({511.5f, 0}), {0, 1, 0});

    const float half = std::sqrt(0.5f);
    const struct {
        ArcBall::Point point;
        Vec3 expected;
    } corners[] = {{{0, 0}, {-half, half, 0}},
                   {{1023, 0}, {half, half, 0}},
                   {{0, 767}, {-half, -half, 0}},
                   {{1023, 767}, {half, -half, 0}}};
    for (const auto& corner : corners) {
        const Vec3 p = ball.mapToSphere(corner.point);
        EXPECT_EQ(p.z, 0.0f);
        EXPECT_NEAR(length(p), 1.0f, 1e-6f);
        expectNear(p, corner.expected);
    }
    // Far outside the window the point still lands on the rim.
    EXPECT_NEAR(length(ball.mapToSphere({-5000, 9000})), 1.0f, 1e-6f);
}

TEST(ArcBallTest, SetBoundsFollowsResize) {
    ArcBall ball(1024, 768);
    ball.setBounds(201, 101);
    EXPECT_EQ(ball.mapToSphere({100, 50}), (Vec3{0, 0, 1}));
    expectNear(ball.mapToSphere({200, 50}), {1, 0, 0});
}

TEST(ArcBallTest, DragBackToPressPointRestoresPressOrientation) {
    ArcBall ball(1024, 768);
    dragFromTo(ball, {511.5f, 383.5f}, {700, 300});  // some orientation
    const Mat3 atPress = ball.thisRotation;

    dragFromTo(ball, {300, 500}, {300, 500});
    EXPECT_EQ(ball.drag({300, 500}), (Quaternion{0, 0, 0, 0}));
    EXPECT_EQ(ball.thisRotation, atPress);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(block(ball.transform).m[i], atPress.m[i], 1e-6f);
}

TEST(ArcBallTest, DragTurnsByTwiceTheAngleAboutThePerpendicular) {
    ArcBall ball(1025, 769);                      // centre at (512, 384)
    ball.click({512, 384});                       // front pole (0, 0, 1)
    const Quaternion q = ball.drag({1024, 384});  // right rim (1, 0, 0)
    expectNear(ball.endVector, {1, 0, 0});
    EXPECT_EQ(q, (Quaternion{0, 1, 0, 0}));  // half a turn about y

    ball.mousePoint = {1024, 384};
    ball.update();
    expectNear(apply(block(ball.transform), {0, 0, 1}), {0, 0, -1});
    expectNear(apply(block(ball.transform), {0, 1, 0}), {0, 1, 0});
}

TEST(ArcBallTest, ConsecutiveDragsCompose) {
    const ArcBall::Point centre{511.5f, 383.5f};
    const ArcBall::Point right{650, 383.5f};
    const ArcBall::Point up{511.5f, 250};

    ArcBall first(1024, 768);
    dragFromTo(first, centre, right);
    ArcBall second(1024, 768);
    dragFromTo(second, centre, up);

    ArcBall both(1024, 768);
    dragFromTo(both, centre, right);
    dragFromTo(both, centre, up);

    // The second drag applies after the first.
    const Mat3 expected = mat3Multiply(second.thisRotation, first.thisRotation);
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(both.thisRotation.m[i], expected.m[i], 1e-6f);
        EXPECT_NEAR(block(both.transform).m[i], expected.m[i], 1e-6f);
    }
    // Dragging further within one drag does not accumulate: it is relative to the press.
    ArcBall once(1024, 768);
    dragFromTo(once, centre, up);
    once.mousePoint = {511.5f, 300};
    once.update();
    once.mousePoint = up;
    once.update();
    EXPECT_EQ(once.thisRotation, second.thisRotation);
}

TEST(ArcBallTest, OnePixelWideWindowTurnsOnlyAboutTheHorizontalAxis) {
    ArcBall ball(1, 768);
    EXPECT_EQ(ball.adjustWidth, 0.0f);
    EXPECT_EQ(ball.mapToSphere({0, 383.5f}), (Vec3{0, 0, 1}));
    EXPECT_EQ(ball.mapToSphere({37, 383.5f}).x, 0.0f);

    dragFromTo(ball, {0, 383.5f}, {0, 200});
    expectFinite(ball);
    // A vertical drag turns about x: the x axis stays put.
    expectNear(apply(ball.thisRotation, {1, 0, 0}), {1, 0, 0});
    EXPECT_NE(ball.thisRotation, Mat3::identity());
}

TEST(ArcBallTest, OnePixelWindowStaysAtRest) {
    ArcBall ball(1, 1);
    EXPECT_EQ(ball.mapToSphere({0, 0}), (Vec3{0, 0, 1}));
    dragFromTo(ball, {0, 0}, {500, -40});
    expectFinite(ball);
    EXPECT_EQ(ball.thisRotation, Mat3::identity());

    // A shrink to nothing (or less) behaves the same; growing back restores the mapping.
    ball.setBounds(0, -3);
    EXPECT_EQ(ball.mapToSphere({10, 10}), (Vec3{0, 0, 1}));
    ball.setBounds(3, 3);
    expectNear(ball.mapToSphere({2, 1}), {1, 0, 0});
}

}  // namespace
