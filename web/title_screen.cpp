// The title screen in the browser. WebGL has no display lists and takes only the named texture
// formats, so the quad is drawn from client arrays and the picture is uploaded as GL_RGB; the
// pixels are those of the desktop's display list and texture. (The quad's normal is left out:
// lighting is off, and the emulation takes normals only between glBegin and glEnd.)
#include <cstdlib>

#include <GL/gl.h>

#include "app/viewer_window.h"

namespace {

// The desktop's quad, corner by corner: texture coordinate, then position.
struct TitleCorner {
    GLfloat s, t;
    GLfloat x, y, z;
};
constexpr TitleCorner TITLE_QUAD[4] = {
    {0.0f, 0.0f, -1.0f, -1.0f, 0.0f},
    {1.0f, 0.0f, 1.0f, -1.0f, 0.0f},
    {1.0f, 1.0f, 1.0f, 1.0f, 0.0f},
    {0.0f, 1.0f, -1.0f, 1.0f, 0.0f},
};

}  // namespace

void ViewerWindow::setUpTitle() {
    if (!titleImage.load(TITLE_IMAGE_PATH, TITLE_IMAGE_SIZE, TITLE_IMAGE_SIZE, 3)) {
        std::exit(TITLE_EXIT_STATUS);
    }
    glGenTextures(1, &titleImage.textureId);
    glBindTexture(GL_TEXTURE_2D, titleImage.textureId);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, TITLE_IMAGE_SIZE, TITLE_IMAGE_SIZE, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, titleImage.pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    titleImage.pixels.clear();
    titleImage.pixels.shrink_to_fit();
}

void ViewerWindow::drawTitleQuad() {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(TitleCorner), &TITLE_QUAD[0].s);
    glVertexPointer(3, GL_FLOAT, sizeof(TitleCorner), &TITLE_QUAD[0].x);
    // A fan of the four corners: the two triangles a quad is split into.
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
