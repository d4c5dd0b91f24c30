// Entry point of the browser build: the same window, start-up state and callback table as on the
// desktop. The page's script routes standard output to its text panel byte by byte.
//
// In the browser glutMainLoop does not return: it hands control back to the page, and GLUT's
// handlers then run from the browser's event loop, the display pass once per animation frame.
// What the display pass draws is shown when control goes back to the browser, so the redraw that
// breeding asks for in the middle of a mouse handler could never be seen: it makes the random draws
// of the desktop's pass but computes and sends no creature (gl_compat.h), and the next frame shows
// the new picture.
#include <cstdio>

#include <GL/glut.h>
#include <emscripten/emscripten.h>

#include "app/glut_callbacks.h"
#include "app/viewer_window.h"
#include "web/gl_compat.h"

namespace {

// The frame loop: GLUT's idle handler advances the frame clock (the creatures' breathing) and
// asks for the next frame, each display pass drawing the shimmer afresh. The page may pause it
// and let it run again; once the program has ended, it stays stopped.
bool motionPaused = false;
bool loopStopped = false;

// The idle handler registerCallbacks sets, put back when the motion runs again.
void idleTick() {
    ViewerWindow::instance().tick();
}

void restoreIdle(void*) {
    if (!motionPaused && !loopStopped) glutIdleFunc(idleTick);
}

// GLUT's idle loop is a chain of timeouts of this many milliseconds.
constexpr int IDLE_STEP_MS = 4;

}  // namespace

// Called by the page when the program has ended (Escape): the idle handler is dropped, so no
// more frames are asked for. The browser keeps the page, and with it the program's memory.
extern "C" EMSCRIPTEN_KEEPALIVE void stopFrameLoop() {
    loopStopped = true;
    glutIdleFunc(nullptr);
}

// Called by the page to pause the motion (running 0) or let it run again (running 1). Paused,
// the idle handler is dropped: the frame clock stands still and a frame is drawn only after an
// input (frameAfterInput), so the picture keeps still between inputs. The handler is put back a
// step of the idle loop later: the dropped loop's last timeout, which finds no handler and ends
// the chain, was set before and runs first (timeouts of the same delay run in the order they were
// set), so one chain runs, never two.
extern "C" EMSCRIPTEN_KEEPALIVE void setMotion(int running) {
    if (loopStopped || motionPaused == (running == 0)) return;
    motionPaused = running == 0;
    if (motionPaused) {
        glutIdleFunc(nullptr);
    } else {
        emscripten_async_call(restoreIdle, nullptr, IDLE_STEP_MS);
    }
}

// Called by the page's GLUT handlers after each input they pass to the program: while the motion
// is paused, the frame that shows what the input changed (a creature under the pointer, a pick, a
// breeding, a move or a turn of the view). While it runs, the next frame is coming anyway.
extern "C" EMSCRIPTEN_KEEPALIVE void frameAfterInput() {
    if (motionPaused && !loopStopped) glutPostRedisplay();
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
