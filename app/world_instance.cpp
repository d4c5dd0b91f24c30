// The program's one World, and what breeding may ask of the window through it.
#include "creature/world.h"

#include "app/viewer_window.h"
#include "view/camera.h"
#include "view/input_controller.h"

namespace {

// How far breeding moves the view away, along z, when a first child appears.
constexpr float STEP_BACK = 1.0f;

// Shows the population as it is now, without waiting for the GLUT loop.
void showNow() {
    ViewerWindow::instance().display();
}

// Moves the scene one unit farther away and re-applies the camera with the window's size.
void moveViewBack() {
    InputController::instance().viewOffsetZ -= STEP_BACK;
    const ViewerWindow& window = ViewerWindow::instance();
    Camera::instance().reshape(window.width, window.height);
}

}  // namespace

World& World::instance() {
    // The first call loads the start creatures; the World is never destroyed.
    static World* const world = [] {
        auto* loaded = new World(startCreatures());
        loaded->screen.redrawNow = showNow;
        loaded->screen.stepViewBack = moveViewBack;
        return loaded;
    }();
    return *world;
}
