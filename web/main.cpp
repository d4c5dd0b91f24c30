// Entry point of the browser build: the same window, start-up state and callback table as on the
// desktop. The page's script routes standard output to its text panel byte by byte.
//
// In the browser glutMainLoop does not return: it hands control back to the page, and GLUT's
// handlers then run from the browser's event loop, the display pass once per animation frame.
// What the display pass draws is shown when control goes back to the browser, so the redraw that
// breeding asks for in the middle of a mouse handler could never be seen: it makes the random draws
// of the desktop's pass but computes and sends no creature (gl_compat.h), and the next frame shows
// the new picture.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include <GL/glut.h>
#include <emscripten/emscripten.h>

#include "app/glut_callbacks.h"
#include "app/viewer_window.h"
#include "creature/world.h"
#include "view/arcball.h"
#include "web/gl_compat.h"

// Called by the page when the program has ended (Escape): the idle handler is dropped, so no
// more frames are asked for. The browser keeps the page, and with it the program's memory.
extern "C" EMSCRIPTEN_KEEPALIVE void stopFrameLoop() {
    glutIdleFunc(nullptr);
}

namespace {

// p through the trackball rotation and the model-view and projection matrices as they are
// between display passes, to window pixels from the top left; false behind the eye.
bool toWindow(const Vec3& p, float& x, float& y) {
    float point[4] = {p.x, p.y, p.z, 1.0f};
    float matrices[3][16];
    const Mat4& turn = ArcBall::instance().transform;
    std::copy(turn.data(), turn.data() + 16, matrices[0]);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrices[1]);
    glGetFloatv(GL_PROJECTION_MATRIX, matrices[2]);
    for (const float* m : matrices) {
        float out[4];
        for (int row = 0; row < 4; ++row) {
            out[row] = m[row] * point[0] + m[4 + row] * point[1] + m[8 + row] * point[2] +
                       m[12 + row] * point[3];
        }
        std::copy(out, out + 4, point);
    }
    if (point[3] <= 0.0f) return false;
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    x = static_cast<float>(viewport[0]) +
        (point[0] / point[3] + 1.0f) * 0.5f * static_cast<float>(viewport[2]);
    y = static_cast<float>(viewport[3]) -
        (point[1] / point[3] + 1.0f) * 0.5f * static_cast<float>(viewport[3]);
    return true;
}

}  // namespace

// Where creature `index`'s pick sphere stands in the window: its centre (x, y) in pixels from
// the top left and about how far its edge lies from it, for the page's benchmark, which clicks
// on creatures. Null when there is no such creature or it is behind the eye. Makes the World if
// it is not made yet.
extern "C" EMSCRIPTEN_KEEPALIVE const float* creatureWindowCircle(int index) {
    static float circle[3];
    const World& world = World::instance();
    if (index < 0 || static_cast<size_t>(index) >= world.creatures.size()) return nullptr;
    const Model& genome = world.genomes[static_cast<size_t>(index)];
    const Vec3 centre = genome.position + genome.centre;
    const Vec3 top = centre + Vec3{0.0f, std::sqrt(genome.scaleSquared + 5.0f), 0.0f};
    float x = 0, y = 0;
    if (!toWindow(centre, circle[0], circle[1]) || !toWindow(top, x, y)) return nullptr;
    circle[2] = std::hypot(x - circle[0], y - circle[1]);
    return circle;
}

namespace {

// The display pass of an animation frame, which the browser shows once it returns.
void displayFrame() {
    webFrameShown = true;
    ViewerWindow::instance().display();
    webFrameShown = false;
}

// The start after the window: the steps of the desktop's main, each in a task of its own, so
// that the page paints and answers input in between. The page is told once the program takes
// input and its first frame is on its way (Module.programStarted).
void startLoop(void*) {
    registerCallbacks();
    glutDisplayFunc(displayFrame);
    EM_ASM({
        if (Module.programStarted) Module.programStarted();
    });
    glutMainLoop();
}

void initWindow(void*) {
    ViewerWindow::instance().init(1024, 768);
    emscripten_async_call(startLoop, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    // Unbuffered, as on the desktop: a message without a line end shows at once.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    openGlutWindow(&argc, argv);
    emscripten_async_call(initWindow, nullptr, 0);
    emscripten_exit_with_live_runtime();
}
