// The title screen as the desktop draws it: the picture in a texture, the quad in a display list.
#include <cstdlib>

#include <GL/gl.h>

#include "app/viewer_window.h"

void ViewerWindow::setUpTitle() {
    if (!titleImage.load(TITLE_IMAGE_PATH, TITLE_IMAGE_SIZE, TITLE_IMAGE_SIZE, 3)) {
        std::exit(TITLE_EXIT_STATUS);
    }
    titleImage.makeTexture(TITLE_IMAGE_SIZE, TITLE_IMAGE_SIZE, 3);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);

    // A 2 x 2 square in the z = 0 plane, counter-clockwise seen from +z, the picture upright.
    titleList = glGenLists(1);
    glNewList(titleList, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
    glEndList();
}

void ViewerWindow::drawTitleQuad() {
    glCallList(titleList);
}
