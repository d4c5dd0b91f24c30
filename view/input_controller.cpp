#include "view/input_controller.h"

#include <cstdio>
#include <cstdlib>

#include <GL/freeglut.h>
#include <GL/glu.h>

#include "app/viewer_window.h"
#include "creature/picking.h"
#include "creature/world.h"
#include "view/arcball.h"
#include "view/camera.h"

namespace {

constexpr unsigned char KEY_ESCAPE = 27;
constexpr float VIEW_STEP = 2.0f;

ArcBall::Point windowPoint(int x, int y) {
    return {static_cast<float>(x), static_cast<float>(y)};
}

}  // namespace

InputController& InputController::instance() {
    static InputController* controller = new InputController();
    return *controller;
}

void InputController::onMouseButton(int button, int state, int x, int y) {
    if (state == GLUT_DOWN) {
        if (button == GLUT_LEFT_BUTTON || button == GLUT_RIGHT_BUTTON) {
            const int32_t hit = pickCreature(x, y);
            if (hit != NONE_INDEX) breedingFlow(hit);
        } else if (button == GLUT_MIDDLE_BUTTON) {
            // Start a trackball drag relative to the rotation held now.
            rotating = true;
            ArcBall& arcBall = ArcBall::instance();
            arcBall.mousePoint = windowPoint(x, y);
            arcBall.click(arcBall.mousePoint);
            arcBall.lastRotation = arcBall.thisRotation;
        }
    } else if (state == GLUT_UP) {
        if (button == GLUT_MIDDLE_BUTTON) {
            rotating = false;
        } else if (button == GLUT_LEFT_BUTTON) {
            titleShown = 0;
        }
        // A right release does nothing.
    }
}

void InputController::onMotion(int x, int y) {
    // Holding the left or right button neither turns the view nor hovers.
    if (!rotating) return;
    ArcBall& arcBall = ArcBall::instance();
    arcBall.mousePoint = windowPoint(x, y);
    arcBall.update();
}

void InputController::onPassiveMotion(int x, int y) {
    ArcBall::instance().mousePoint = windowPoint(x, y);
    if (World::instance().creatures.empty()) return;
    hoverIndex = pickCreature(x, y);
}

void InputController::onKey(unsigned char key, int /*x*/, int /*y*/) {
    switch (key) {
        case KEY_ESCAPE:
            std::exit(1);
        case 'i':
            viewOffsetY += VIEW_STEP;
            break;
        case 'k':
            viewOffsetY -= VIEW_STEP;
            break;
        case 'l':
            viewOffsetX += VIEW_STEP;
            break;
        case 'j':
            viewOffsetX -= VIEW_STEP;
            break;
        case 'u':
            viewOffsetZ += VIEW_STEP;
            break;
        case 'o':
            viewOffsetZ -= VIEW_STEP;
            break;
        default:
            return;
    }
    const ViewerWindow& window = ViewerWindow::instance();
    Camera::instance().reshape(window.width, window.height);
}

void InputController::onOtherKey(int /*key*/, int /*x*/, int /*y*/) {}

int32_t InputController::pickCreature(int x, int y) const {
    GLint viewport[4] = {0, 0, 0, 0};
    GLdouble modelView[16];
    GLdouble projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);

    // GLUT counts y downwards from the top, OpenGL upwards from the bottom row.
    const double winX = x;
    const double winY = static_cast<double>(viewport[3]) - y - 1.0;
    GLdouble nearX = 0, nearY = 0, nearZ = 0, farX = 0, farY = 0, farZ = 0;
    // A singular matrix has no ray to give: nothing is under the mouse.
    if (gluUnProject(winX, winY, 0.0, modelView, projection, viewport, &nearX, &nearY, &nearZ) ==
            GL_FALSE ||
        gluUnProject(winX, winY, 1.0, modelView, projection, viewport, &farX, &farY, &farZ) ==
            GL_FALSE) {
        return NONE_INDEX;
    }
    const Vec3 nearPoint{static_cast<float>(nearX), static_cast<float>(nearY),
                         static_cast<float>(nearZ)};
    const Vec3 farPoint{static_cast<float>(farX), static_cast<float>(farY),
                        static_cast<float>(farZ)};
    const World& world = World::instance();
    return ::pickCreature(world.genomes, world.creatures.size(), ArcBall::instance().transform,
                          nearPoint, farPoint);
}

void InputController::breedingFlow(int32_t i) {
    World& world = World::instance();
    // Picks come from the pick test, so they index existing creatures; anything else is ignored.
    if (i < 0 || static_cast<size_t>(i) >= world.genomes.size()) return;

    if (firstPick < 0) {
        firstPick = i;
        return;
    }
    if (firstPick != i) {
        std::printf("Breeding %d and %d\n", i, firstPick);
        // The partner is copied into the call before breeding appends to the genomes.
        world.breed(firstPick, world.genomes[static_cast<size_t>(i)], RANDOM_WEIGHT, MakeChildren);
        firstPick = -1;
        return;
    }

    int32_t firstChild = NONE_INDEX;
    int32_t secondChild = NONE_INDEX;
    {
        const Model& genome = world.genomes[static_cast<size_t>(i)];
        if (genome.firstChild) {
            firstChild = genome.firstChildId;
            std::printf("The First Child Exists\n");
        }
        if (genome.secondChild) {
            secondChild = genome.secondChildId;
            std::printf("The Second Child Exists\n");
        }
    }
    std::printf("Sending %d %d", firstChild, secondChild);
    world.selfBreed(i, firstChild, secondChild);
    // The genomes may have grown (and moved) during the call: look the creature up again.
    const Model& after = world.genomes[static_cast<size_t>(i)];
    std::printf("Created:%d %d\n", after.firstChildId, after.secondChildId);
    firstPick = -1;
}
