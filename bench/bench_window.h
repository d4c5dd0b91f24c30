// The viewer's window for the benchmarks that draw: opened as the viewer opens it, with the
// population already showing (the title picture dismissed).
#pragma once

#include <unistd.h>

#include <cstdio>

#include <GL/freeglut.h>

#include "app/viewer_window.h"
#include "view/camera.h"
#include "view/input_controller.h"

namespace bench {

// Works in the source tree, where the start creatures and the title picture are, and opens the
// window. False (with the reason printed) when the source tree cannot be entered.
inline bool openViewerWindow(int& argc, char** argv, const char* sourceDir) {
    if (::chdir(sourceDir) != 0) {
        std::perror(sourceDir);
        return false;
    }
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(1024, 768);
    glutCreateWindow("Subdivision Surfaces");
    ViewerWindow::instance().init(1024, 768);
    Camera::instance().reshape(1024, 768);
    InputController::instance().titleShown = 0;
    return true;
}

}  // namespace bench
