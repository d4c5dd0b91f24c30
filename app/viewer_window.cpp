#include "app/viewer_window.h"

#include <GL/freeglut.h>

#include "app/population_pass.h"
#include "mesh/gl_calls.h"
#include "view/input_controller.h"

ViewerWindow& ViewerWindow::instance() {
    static ViewerWindow* window = new ViewerWindow();
    return *window;
}

ViewerWindow::ViewerWindow() : currentTime(static_cast<float>(glutGet(GLUT_ELAPSED_TIME))) {}

void ViewerWindow::init(int windowWidth, int windowHeight) {
    width = windowWidth;
    height = windowHeight;

    glClearColor(0.41f, 0.61f, 0.81f, 1.0f);
    gl::shadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT, GL_FILL);
    gl::hint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    // Every mesh is wound clockwise seen from its front; only the title quad differs.
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // Three lights are configured, but lighting itself stays off: surfaces show their glColor.
    // Light 0 is positional (w = 1) like light 1; light 2 has w = 0.4.
    struct Light {
        GLenum name;
        GLfloat position[4], ambient[4], diffuse[4], specular[4];
    };
    static const Light lights[] = {
        {GL_LIGHT0,
         {1.0f, 1.0f, 1.0f, 1.0f},
         {0.5f, 0.1f, 0.4f, 1.0f},
         {0.2f, 0.2f, 0.245f, 1.0f},
         {0.4f, 0.5f, 0.2f, 1.0f}},
        {GL_LIGHT1,
         {-1.0f, 1.0f, 1.0f, 1.0f},
         {0.12f, 0.3f, 0.3f, 1.0f},
         {0.34f, 0.45f, 0.2f, 1.0f},
         {0.1f, 0.2f, 0.3f, 1.0f}},
        {GL_LIGHT2,
         {1.0f, 1.5f, -1.0f, 0.4f},
         {0.42f, 0.4f, 0.44f, 1.0f},
         {0.46f, 0.45f, 0.5f, 1.0f},
         {0.7f, 0.4f, 0.4f, 1.0f}},
    };
    for (const Light& light : lights) {
        glLightfv(light.name, GL_POSITION, light.position);
        glLightfv(light.name, GL_AMBIENT, light.ambient);
        glLightfv(light.name, GL_DIFFUSE, light.diffuse);
        glLightfv(light.name, GL_SPECULAR, light.specular);
        glEnable(light.name);
    }

    setUpTitle();
}

void ViewerWindow::tick() {
    currentTime = static_cast<float>(glutGet(GLUT_ELAPSED_TIME));
    glutPostRedisplay();
}

void ViewerWindow::display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    if (InputController::instance().titleShown) {
        drawTitle();
    } else {
        drawPopulationPass();
    }
    glutSwapBuffers();
    glPopMatrix();
}

void ViewerWindow::drawTitle() {
    glEnable(GL_TEXTURE_2D);
    glFrontFace(GL_CCW);
    glPushMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
    // In front of the eye, ignoring the camera translation and the trackball.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.5f);
    glBindTexture(GL_TEXTURE_2D, titleImage.textureId);
    drawTitleQuad();
    glPopMatrix();
    glFrontFace(GL_CW);
    glDisable(GL_TEXTURE_2D);
}
