#include "app/glut_callbacks.h"

#include <GL/freeglut.h>

#include "app/viewer_window.h"
#include "view/camera.h"
#include "view/input_controller.h"

namespace {

// The callbacks pass GLUT's arguments on unchanged.
void onReshape(int width, int height) {
    Camera::instance().reshape(width, height);
}
void onDisplay() {
    ViewerWindow::instance().display();
}
void onIdle() {
    ViewerWindow::instance().tick();
}
void onMotion(int x, int y) {
    InputController::instance().onMotion(x, y);
}
void onPassiveMotion(int x, int y) {
    InputController::instance().onPassiveMotion(x, y);
}
void onMouse(int button, int state, int x, int y) {
    InputController::instance().onMouseButton(button, state, x, y);
}
void onKeyboard(unsigned char key, int x, int y) {
    InputController::instance().onKey(key, x, y);
}
void onKeyboardUp(unsigned char key, int x, int y) {
    InputController::instance().onOtherKey(key, x, y);
}
void onSpecial(int key, int x, int y) {
    InputController::instance().onOtherKey(key, x, y);
}

}  // namespace

void openGlutWindow(int* argc, char** argv) {
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(1024, 768);
    glutCreateWindow("Subdivision Surfaces");
}

void openViewerWindow(int* argc, char** argv) {
    openGlutWindow(argc, argv);
    ViewerWindow::instance().init(1024, 768);
}

void registerCallbacks() {
    glutReshapeFunc(onReshape);
    glutDisplayFunc(onDisplay);
    glutIdleFunc(onIdle);
    glutMotionFunc(onMotion);
    glutPassiveMotionFunc(onPassiveMotion);
    glutMouseFunc(onMouse);
    glutKeyboardFunc(onKeyboard);
    glutKeyboardUpFunc(onKeyboardUp);
    glutSpecialFunc(onSpecial);
    glutSpecialUpFunc(onSpecial);
}
