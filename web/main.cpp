// Entry point of the browser build: the same window, start-up state and callback table as on the
// desktop, on the browser's GLUT (web/glut.cpp). The page routes standard output to its text
// panel byte by byte, and sends its input through the functions glut.cpp exports.
//
// In the browser glutMainLoop does not return: it hands control back to the page, and the display
// pass runs once per animation frame. What the display pass draws is shown when control goes back
// to the browser, so the redraw that breeding asks for in the middle of a mouse handler could
// never be seen: it makes the random draws of the desktop's pass but computes and sends no
// creature (gl_compat.h), and the next frame shows the new picture.
#include <cstdint>
#include <cstdio>

#include <GL/freeglut.h>
#include <emscripten/emscripten.h>

#include "app/glut_callbacks.h"
#include "app/viewer_window.h"
#include "creature/world.h"
#include "view/input_controller.h"
#include "web/creature_marks.h"
#include "web/glut.h"
#include "web/program_events.h"

namespace {

// The mouse callback: the input controller's, as on the desktop, with the page told of a breeding
// it caused. A breeding can follow only a left or right press made while a creature is the first
// pick; the creature it picks is found first, as the controller will find it (the pick reads the
// matrices and the trackball and changes nothing). The breeding has happened when the press
// clears the first pick.
void onMouse(int button, int state, int x, int y) {
    InputController& input = InputController::instance();
    const int32_t first = input.firstPick;
    const bool picks =
        state == GLUT_DOWN && (button == GLUT_LEFT_BUTTON || button == GLUT_RIGHT_BUTTON);
    const int32_t hit = picks && first >= 0 ? input.pickCreature(x, y) : NONE_INDEX;
    const size_t creatures = hit != NONE_INDEX ? World::instance().genomes.size() : 0;
    input.onMouseButton(button, state, x, y);
    if (hit != NONE_INDEX && input.firstPick == -1) {
        tellBreeding(first, hit, World::instance().genomes.size() > creatures);
    }
}

// The start after the window: the steps of the desktop's main, each in a task of its own, so
// that the page paints and answers input in between.
void startLoop(void*) {
    registerCallbacks();
    glutMouseFunc(onMouse);
    onFrameShown(tellFrameShown);
    // What the page knows of the creatures, now and after every input.
    onInputTaken(tellCreatureMarks);
    tellCreatureMarks();
    tellProgramStarted();
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
