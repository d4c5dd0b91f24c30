#include "view/input_controller.h"

#include <array>

#include <GL/freeglut.h>

#include "app/viewer_window.h"
#include "gl_test_support.h"
#include "view/arcball.h"

namespace gltest {
namespace {

using InputControllerTest = GlTest;
using InputControllerDeathTest = GlTest;

std::array<double, 3> sceneTranslation() {
    const auto m = matrix(GL_MODELVIEW_MATRIX);
    return {m[12], m[13], m[14]};
}

TEST_F(InputControllerTest, StartValues) {
    const InputController& start = initialInput();
    EXPECT_EQ(start.fieldOfView, 45.0f);
    EXPECT_EQ(start.viewOffsetZ, -20.0f);
    EXPECT_EQ(start.viewOffsetX, 0.0f);
    EXPECT_EQ(start.viewOffsetY, 0.0f);
    EXPECT_FALSE(start.rotating);
    EXPECT_EQ(start.firstPick, -1);
    EXPECT_EQ(start.hoverIndex, -999);
    EXPECT_EQ(start.titleShown, 1);
}

TEST_F(InputControllerTest, ViewKeysMoveTheSceneByTwoAndReapplyTheCamera) {
    InputController& input = InputController::instance();
    const struct {
        unsigned char key;
        std::array<double, 3> translation;
    } steps[] = {
        {'u', {0, 0, -18}}, {'o', {0, 0, -20}}, {'o', {0, 0, -22}},
        {'i', {0, 2, -22}}, {'i', {0, 4, -22}}, {'k', {0, 2, -22}},
        {'l', {2, 2, -22}}, {'j', {0, 2, -22}}, {'j', {-2, 2, -22}},
    };
    for (const auto& step : steps) {
        input.onKey(step.key, 100, 100);
        EXPECT_EQ(sceneTranslation(), step.translation) << "after " << step.key;
    }
    EXPECT_EQ(input.viewOffsetX, -2.0f);
    EXPECT_EQ(input.viewOffsetY, 2.0f);
    EXPECT_EQ(input.viewOffsetZ, -22.0f);
}

TEST_F(InputControllerTest, OtherKeysAndKeyEventsDoNothing) {
    InputController& input = InputController::instance();
    // A re-applied camera would bring the translation back; it must stay the identity.
    glLoadIdentity();
    for (unsigned char key : {'I', 'K', 'L', 'J', 'U', 'O', 'a', ' ', '\r', '\0', '\x7f'}) {
        input.onKey(key, 0, 0);
    }
    for (int key : {int{'i'}, int{'u'}, 27, GLUT_KEY_UP, GLUT_KEY_F1, GLUT_KEY_LEFT}) {
        input.onOtherKey(key, 0, 0);
    }
    EXPECT_EQ(sceneTranslation(), (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(input.viewOffsetX, 0.0f);
    EXPECT_EQ(input.viewOffsetY, 0.0f);
    EXPECT_EQ(input.viewOffsetZ, -20.0f);
    EXPECT_EQ(input.titleShown, 1);
}

TEST_F(InputControllerDeathTest, EscapeExitsWithStatusOne) {
    EXPECT_EXIT(InputController::instance().onKey(27, 10, 10), ::testing::ExitedWithCode(1), "");
}

TEST_F(InputControllerTest, MiddleDragTurnsTheTrackballUntilRelease) {
    InputController& input = InputController::instance();
    ArcBall& ball = ArcBall::instance();

    input.onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 511, 383);
    EXPECT_TRUE(input.rotating);
    EXPECT_EQ(ball.mousePoint.x, 511.0f);
    EXPECT_EQ(ball.mousePoint.y, 383.0f);
    EXPECT_EQ(ball.startVector, ball.mapToSphere({511, 383}));

    input.onMotion(700, 383);
    EXPECT_EQ(ball.mousePoint.x, 700.0f);
    const Mat4 turned = ball.transform;
    EXPECT_NE(turned, Mat4::identity());
    EXPECT_LT(turned(0, 0), 1.0f);  // about the vertical axis: x leans towards z
    EXPECT_NEAR(turned(1, 1), 1.0f, 1e-4f);

    input.onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_UP, 700, 383);
    EXPECT_FALSE(input.rotating);
    input.onMotion(100, 100);
    EXPECT_EQ(ball.transform, turned);

    // The next drag starts from the orientation the first one left.
    input.onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 300, 300);
    EXPECT_EQ(ball.lastRotation, ball.thisRotation);
    input.onMotion(300, 300);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_NEAR(ball.transform.m[i], turned.m[i], 1e-6f);
    input.onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_UP, 300, 300);
}

TEST_F(InputControllerTest, LeftOrRightHeldMotionNeitherTurnsNorHovers) {
    InputController& input = InputController::instance();
    for (int button : {GLUT_LEFT_BUTTON, GLUT_RIGHT_BUTTON}) {
        input.onMouseButton(button, GLUT_DOWN, 500, 400);
        input.onMotion(800, 100);
        EXPECT_FALSE(input.rotating);
        EXPECT_EQ(ArcBall::instance().transform, Mat4::identity());
        EXPECT_EQ(input.hoverIndex, -999);
        input.onMouseButton(button, GLUT_UP, 800, 100);
    }
}

TEST_F(InputControllerTest, OnlyALeftReleaseDismissesTheTitleForGood) {
    InputController& input = InputController::instance();
    input.onMouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, 10, 10);
    input.onMouseButton(GLUT_RIGHT_BUTTON, GLUT_UP, 10, 10);
    input.onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 10, 10);
    input.onMouseButton(GLUT_MIDDLE_BUTTON, GLUT_UP, 10, 10);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_EQ(input.titleShown, 1);

    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 10, 10);
    EXPECT_EQ(input.titleShown, 0);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 10, 10);
    input.onKey('u', 0, 0);
    EXPECT_EQ(input.titleShown, 0);
    EXPECT_EQ(input.firstPick, -1);
}

}  // namespace
}  // namespace gltest
