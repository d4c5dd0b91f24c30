#include "view/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/viewer_window.h"
#include "view/arcball.h"
#include "view/input_controller.h"

Camera& Camera::instance() {
    static Camera* camera = new Camera();
    return *camera;
}

void Camera::reshape(int w, int h) {
    if (w <= 0 || h <= 0) return;

    width = w;
    height = h;
    ViewerWindow& window = ViewerWindow::instance();
    window.height = h;
    window.width = w;
    aspect = static_cast<float>(w) / static_cast<float>(h);

    glViewport(0, 0, w, h);
    ArcBall::instance().setBounds(w, h);

    const InputController& input = InputController::instance();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(input.fieldOfView, aspect, 0.1, 1000.0);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(input.viewOffsetX, input.viewOffsetY, input.viewOffsetZ);
}
