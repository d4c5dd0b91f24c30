// Entry point: one GLUT window, the viewer window's start-up state, the callback table, and the
// GLUT main loop, which runs every handler on this thread.
#include <malloc.h>

#include <cstdio>

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

int main(int argc, char** argv) {
    // Unbuffered console, so that whoever reads it sees each message as soon as it is written.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // Keep freed blocks in the heap: every breeding makes display copies of the same size again,
    // and the software renderer allocates and frees large buffers every frame. Handing them back
    // to the system would have them faulted in again, page by page, each time.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(1024, 768);
    glutCreateWindow("Subdivision Surfaces");

    ViewerWindow::instance().init(1024, 768);

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

    glutMainLoop();
    return 0;
}
