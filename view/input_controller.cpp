#include "view/input_controller.h"

#include <cstdlib>

#include <GL/freeglut.h>

#include "app/viewer_window.h"
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
            pickPress(x, y);
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
            if (titleShown) titleShown = 0;
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
    hover(x, y);
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

// There are no creatures to pick yet.
void InputController::pickPress(int /*x*/, int /*y*/) {}

// There are no creatures to hover over yet.
void InputController::hover(int /*x*/, int /*y*/) {}
