#include "view/input_controller.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include <GL/freeglut.h>
#include <GL/glu.h>

#include "app/viewer_window.h"
#include "creature/world.h"
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

// ---- Picking, hovering and the breeding flow, on the start population ------------------------

struct WindowXY {
    int x = 0;
    int y = 0;
};

// Where scene point p of the trackball-rotated frame appears, in GLUT's window pixels (y down).
WindowXY windowPointOf(Vec3 p) {
    const Mat4& t = ArcBall::instance().transform;
    const double x = t(0, 0) * p.x + t(0, 1) * p.y + t(0, 2) * p.z + t(0, 3);
    const double y = t(1, 0) * p.x + t(1, 1) * p.y + t(1, 2) * p.z + t(1, 3);
    const double z = t(2, 0) * p.x + t(2, 1) * p.y + t(2, 2) * p.z + t(2, 3);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const auto modelView = matrix(GL_MODELVIEW_MATRIX);
    const auto projection = matrix(GL_PROJECTION_MATRIX);
    double wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, modelView.data(), projection.data(), viewport, &wx, &wy, &wz);
    return {static_cast<int>(std::lround(wx)), static_cast<int>(std::lround(viewport[3] - 1 - wy))};
}

WindowXY creatureOnScreen(const World& world, int i) {
    const Model& g = world.genomes[static_cast<size_t>(i)];
    return windowPointOf(g.position + g.centre);
}

constexpr WindowXY SKY{512, 40};

TEST_F(InputControllerTest, PickTestFindsTheCreatureUnderTheMouseInTheTurnedScene) {
    const World& world = startWorld();
    const InputController& input = InputController::instance();
    for (int i = 0; i < 3; ++i) {
        const WindowXY p = creatureOnScreen(world, i);
        EXPECT_EQ(input.pickCreature(p.x, p.y), i) << "creature " << i;
    }
    EXPECT_EQ(input.pickCreature(SKY.x, SKY.y), NONE_INDEX);

    // Up to the very edge row of the squant's pick sphere, and not one row beyond it, worked out
    // from the camera alone: the ray of window pixel (x, y) leaves the eye for the point
    // (x, 767 - y) of the viewport, and meets the sphere when it passes its centre (the scene
    // 20 units away) within its radius.
    const Model& squant = world.genomes[1];
    const double c[3] = {squant.position.x + squant.centre.x, squant.position.y + squant.centre.y,
                         squant.position.z + squant.centre.z - 20.0};
    const double tangent = std::tan(22.5 * std::numbers::pi / 180.0);
    const auto beyondEdge = [&](int x, int y) {  // squared distance to the centre less radius^2
        const double d[3] = {(2.0 * x / 1024.0 - 1.0) * tangent * 1024.0 / 768.0,
                             (2.0 * (767 - y) / 768.0 - 1.0) * tangent, -1.0};
        const double cd = c[0] * d[0] + c[1] * d[1] + c[2] * d[2];
        const double cc = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
        return cc - cd * cd / (d[0] * d[0] + d[1] * d[1] + 1.0) - (squant.scaleSquared + 5.0);
    };
    const int x = creatureOnScreen(world, 1).x;
    int top = creatureOnScreen(world, 1).y;
    while (beyondEdge(x, top - 1) <= 0.0)
        --top;
    ASSERT_GT(std::min(-beyondEdge(x, top), beyondEdge(x, top - 1)), 0.01);  // no near tie
    EXPECT_EQ(input.pickCreature(x, top), 1);
    EXPECT_EQ(input.pickCreature(x, top - 1), NONE_INDEX);

    // A quarter turn about the vertical axis: the bird (x = 10, z = -5) now stands in front.
    const WindowXY birdBefore = creatureOnScreen(world, 0);
    Mat4 quarter;
    quarter(0, 0) = 0.0f;
    quarter(0, 2) = 1.0f;
    quarter(2, 0) = -1.0f;
    quarter(2, 2) = 0.0f;
    ArcBall::instance().transform = quarter;
    for (int i = 0; i < 3; ++i) {
        const WindowXY p = creatureOnScreen(world, i);
        EXPECT_EQ(input.pickCreature(p.x, p.y), i) << "turned, creature " << i;
    }
    EXPECT_EQ(input.pickCreature(birdBefore.x, birdBefore.y), NONE_INDEX);
}

TEST_F(InputControllerTest, PickTestTakesTheLowestIndexAndOnlyDisplayedCreatures) {
    World& world = startWorld();
    const InputController& input = InputController::instance();
    const WindowXY rabbit = creatureOnScreen(world, 2);
    world.genomes[1].position = world.genomes[2].position;
    world.genomes[1].centre = world.genomes[2].centre;
    EXPECT_EQ(input.pickCreature(rabbit.x, rabbit.y), 1);
    world.genomes[0].position = world.genomes[2].position;
    world.genomes[0].centre = world.genomes[2].centre;
    EXPECT_EQ(input.pickCreature(rabbit.x, rabbit.y), 0);

    // The count comes from the display copies.
    startWorld();
    world.creatures.resize(2);
    EXPECT_EQ(input.pickCreature(rabbit.x, rabbit.y), NONE_INDEX);

    // A projection that cannot be inverted gives no ray, hence no pick.
    startWorld();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(input.pickCreature(rabbit.x, rabbit.y), NONE_INDEX);
}

TEST_F(InputControllerTest, HoverFollowsThePassiveMouseAndStaysWhenThereAreNoCreatures) {
    World& world = startWorld();
    InputController& input = InputController::instance();
    const WindowXY squant = creatureOnScreen(world, 1);
    input.onPassiveMotion(squant.x, squant.y);
    EXPECT_EQ(input.hoverIndex, 1);
    EXPECT_EQ(ArcBall::instance().mousePoint.x, static_cast<float>(squant.x));
    input.onPassiveMotion(SKY.x, SKY.y);
    EXPECT_EQ(input.hoverIndex, -999);
    input.onPassiveMotion(squant.x, squant.y);

    world.creatures.clear();
    input.onPassiveMotion(SKY.x, SKY.y);
    EXPECT_EQ(input.hoverIndex, 1);
    EXPECT_EQ(ArcBall::instance().mousePoint.x, static_cast<float>(SKY.x));
}

TEST_F(InputControllerTest, PressesOnTheTitlePickAndAMissKeepsTheFirstPick) {
    const World& world = startWorld();
    InputController& input = InputController::instance();
    const WindowXY squant = creatureOnScreen(world, 1);
    input.onMouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, squant.x, squant.y);
    EXPECT_EQ(input.firstPick, 1);
    EXPECT_EQ(input.titleShown, 1);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, SKY.x, SKY.y);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_UP, SKY.x, SKY.y);
    EXPECT_EQ(input.firstPick, 1);
    EXPECT_EQ(input.titleShown, 0);
    EXPECT_EQ(world.genomes.size(), 3u);
}

TEST_F(InputControllerTest, PickingTwoCreaturesBreedsTheFirstWithTheSecondAndStepsBack) {
    World& world = startWorld();
    InputController& input = InputController::instance();
    const WindowXY squant = creatureOnScreen(world, 1);
    const WindowXY bird = creatureOnScreen(world, 0);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, squant.x, squant.y);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, SKY.x, SKY.y);  // a miss in between
    ::testing::internal::CaptureStdout();
    input.onMouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, bird.x, bird.y);
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(out, "Breeding 0 and 1\nStarting Subdivision...Starting Subdivision...");
    EXPECT_EQ(input.firstPick, -1);
    ASSERT_EQ(world.genomes.size(), 5u);
    ASSERT_EQ(world.creatures.size(), 5u);
    EXPECT_EQ(world.genomes[1].firstChildId, 3);
    EXPECT_EQ(world.genomes[1].secondChildId, 4);
    EXPECT_EQ(world.genomes[0].firstChildId, NONE_INDEX);
    EXPECT_EQ(world.familyLinks.size(), 2u);
    // The first child moved the view one unit back, and the camera was re-applied.
    EXPECT_EQ(input.viewOffsetZ, -21.0f);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[14], -21.0);
}

TEST_F(InputControllerTest, PickingOneCreatureTwiceSelfBreedsAndSaysWhichChildrenExist) {
    World& world = startWorld();
    InputController& input = InputController::instance();
    const WindowXY squant = creatureOnScreen(world, 1);
    ::testing::internal::CaptureStdout();
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, squant.x, squant.y);
    input.onMouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, squant.x, squant.y);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "Sending -999 -999SB MYSELF:1\nSelf Breeding a Leaf\nFirst Kid ID: 3Second Kid ID: "
              "4Just Assigned 4\nDone with Second Kid\nX:0.000000 Y:-6.500000 Z:0.000000 \n"
              "Starting Subdivision...Starting Subdivision...Created:3 4\n");
    EXPECT_EQ(input.firstPick, -1);
    EXPECT_EQ(world.creatures.size(), 5u);
    EXPECT_EQ(input.viewOffsetZ, -20.0f);

    // Again: the creature now has both children, and a mutation ripples down to them.
    ::testing::internal::CaptureStdout();
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, squant.x, squant.y);
    input.onMouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, squant.x, squant.y);
    out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "The First Child Exists\nThe Second Child Exists\nSending 3 4SB MYSELF:1\n"
              "Starting Subdivision...Starting Subdivision...Starting Subdivision..."
              "Created:3 4\n");
    EXPECT_EQ(world.creatures.size(), 5u);
    EXPECT_EQ(input.firstPick, -1);
}

TEST_F(InputControllerTest, DisplayPassDrawsThePopulationOnlyOnceTheTitleIsGone) {
    startWorld();
    InputController& input = InputController::instance();
    const auto cameraMatrix = matrix(GL_MODELVIEW_MATRIX);
    ViewerWindow::instance().display();
    const std::vector<Rgb8> title = readBackBuffer(1024, 768);
    input.titleShown = 0;
    ViewerWindow::instance().display();
    const std::vector<Rgb8> population = readBackBuffer(1024, 768);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), cameraMatrix);

    // Lower middle: the centre creature's feet, title colour before, creature colours after.
    const auto at = [](const std::vector<Rgb8>& image, int x, int yFromTop) {
        return image[static_cast<size_t>(767 - yFromTop) * 1024 + static_cast<size_t>(x)];
    };
    EXPECT_EQ(at(title, 20, 20), CLEAR_RGB);
    long creaturePixels = 0;
    for (int y = 450; y < 700; ++y) {
        for (int x = 400; x < 624; ++x)
            creaturePixels += at(population, x, y) == CLEAR_RGB ? 0 : 1;
    }
    EXPECT_GT(creaturePixels, 5000);
    EXPECT_EQ(at(population, 20, 20), CLEAR_RGB);
}

}  // namespace
}  // namespace gltest
