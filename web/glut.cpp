// GLUT in the browser, on documented Emscripten interfaces only: the window is an EGL context on
// the page's canvas, the main loop is emscripten_set_main_loop (one frame per animation frame), and
// input comes from the page, which calls the exported functions below with what GLUT would have
// passed. Nothing listens to the page here: the page decides what reaches the program.
#include "web/glut.h"

#include <EGL/egl.h>
#include <GL/freeglut.h>
#include <emscripten/emscripten.h>

#include "web/gl_compat.h"

namespace {

struct Callbacks {
    void (*reshape)(int, int) = nullptr;
    void (*display)() = nullptr;
    void (*idle)() = nullptr;
    void (*motion)(int, int) = nullptr;
    void (*passiveMotion)(int, int) = nullptr;
    void (*mouse)(int, int, int, int) = nullptr;
    void (*keyboard)(unsigned char, int, int) = nullptr;
    void (*keyboardUp)(unsigned char, int, int) = nullptr;
    void (*special)(int, int, int) = nullptr;
    void (*specialUp)(int, int, int) = nullptr;
};

Callbacks callbacks;
double startTime = 0.0;  // emscripten_get_now() at glutInit
int windowWidth = 300;   // GLUT's default size
int windowHeight = 300;
bool redisplayPosted = false;
unsigned heldButtons = 0;  // bit b: button b is down
int pointerX = 0;          // where the pointer was last, for the key callbacks
int pointerY = 0;

// The frame loop's state: the page may pause the motion and let it run again; once stopped (the
// program has ended), no frame is drawn again.
bool motionPaused = false;
bool loopStopped = false;
FrameShown frameShown = nullptr;
InputTaken inputTakenCallback = nullptr;

// One frame: the idle callback, then the display pass if one has been asked for. The browser shows
// what the pass drew once the task that ran it has ended.
bool frameQueued = false;
double lastFrameMs = 0.0;  // how long the last frame took

void runFrame() {
    if (loopStopped) return;
    const double start = emscripten_get_now();
    if (!motionPaused && callbacks.idle) callbacks.idle();
    if (redisplayPosted && callbacks.display) {
        redisplayPosted = false;
        webFrameShown = true;
        callbacks.display();
        webFrameShown = false;
        if (frameShown) frameShown();
    }
    lastFrameMs = emscripten_get_now() - start;
}

void queuedFrame(void*) {
    frameQueued = false;
    runFrame();
}

// One turn of the main loop, in an animation frame. In a worker an animation frame is a task like
// the page's messages, and Firefox queues it when it is due: after a frame longer than an
// animation frame (60 a second), the next one is queued already, and input that came during that
// frame would wait for it too. Then the frame runs in a task of its own queued now, after that
// input, which is shown one frame sooner; a short frame runs here, at once.
constexpr double ANIMATION_FRAME_MS = 1000.0 / 60.0;

void animationFrame() {
    if (loopStopped || frameQueued) return;
    if (lastFrameMs <= ANIMATION_FRAME_MS) {
        runFrame();
        return;
    }
    frameQueued = true;
    emscripten_async_call(queuedFrame, nullptr, 0);
}

// After each input: while the motion is paused nothing else asks for a frame, so this one shows
// what the input changed (a creature under the pointer, a pick, a breeding, a move or a turn).
void inputTaken() {
    if (motionPaused) redisplayPosted = true;
    if (inputTakenCallback) inputTakenCallback();
}

}  // namespace

void glutInit(int* /*argc*/, char** /*argv*/) {
    startTime = emscripten_get_now();
}

void glutInitDisplayMode(unsigned int /*mode*/) {
    // The page makes the context with a depth buffer and double buffering, as WebGL always is.
}

void glutInitWindowSize(int width, int height) {
    windowWidth = width;
    windowHeight = height;
}

int glutCreateWindow(const char* /*title*/) {
    // WebGL 1 is OpenGL ES 2, which EGL makes on Module.canvas (or takes as the page made it).
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    eglInitialize(display, nullptr, nullptr);
    const EGLint configAttributes[] = {EGL_RED_SIZE,   8,  EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                       EGL_DEPTH_SIZE, 16, EGL_NONE,       0};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    eglChooseConfig(display, configAttributes, &config, 1, &configs);
    EGLSurface surface = eglCreateWindowSurface(display, config, 0, nullptr);
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    eglMakeCurrent(display, surface, surface, context);
    return 1;
}

void glutReshapeFunc(void (*callback)(int, int)) {
    callbacks.reshape = callback;
}
void glutDisplayFunc(void (*callback)()) {
    callbacks.display = callback;
}
void glutIdleFunc(void (*callback)()) {
    callbacks.idle = callback;
}
void glutMotionFunc(void (*callback)(int, int)) {
    callbacks.motion = callback;
}
void glutPassiveMotionFunc(void (*callback)(int, int)) {
    callbacks.passiveMotion = callback;
}
void glutMouseFunc(void (*callback)(int, int, int, int)) {
    callbacks.mouse = callback;
}
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
    callbacks.keyboard = callback;
}
void glutKeyboardUpFunc(void (*callback)(unsigned char, int, int)) {
    callbacks.keyboardUp = callback;
}
void glutSpecialFunc(void (*callback)(int, int, int)) {
    callbacks.special = callback;
}
void glutSpecialUpFunc(void (*callback)(int, int, int)) {
    callbacks.specialUp = callback;
}

void glutMainLoop() {
    // The window appears at its size, as freeglut reports it before the first display.
    if (callbacks.reshape) callbacks.reshape(windowWidth, windowHeight);
    redisplayPosted = true;
    // 0 frames per second: the browser's animation frames. Throws to leave the caller's stack.
    emscripten_set_main_loop(animationFrame, 0, 1);
}

int glutGet(GLenum what) {
    if (what != GLUT_ELAPSED_TIME) return 0;
    return static_cast<int>(emscripten_get_now() - startTime);
}

void glutPostRedisplay() {
    redisplayPosted = true;
}

void glutSwapBuffers() {}

void onFrameShown(FrameShown callback) {
    frameShown = callback;
}

void onInputTaken(InputTaken callback) {
    inputTakenCallback = callback;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE void pointerButton(int button, int state, int x, int y) {
    if (loopStopped || button < 0 || (state != GLUT_DOWN && state != GLUT_UP)) return;
    // The three buttons are held between press and release, and a release reaches the program
    // only when it had the press, as on the desktop. The wheel's steps (buttons 3 and 4) are
    // presses that hold nothing.
    if (button <= GLUT_RIGHT_BUTTON) {
        const unsigned bit = 1u << button;
        if (state == GLUT_UP && (heldButtons & bit) == 0) return;
        heldButtons = state == GLUT_DOWN ? heldButtons | bit : heldButtons & ~bit;
    }
    pointerX = x;
    pointerY = y;
    if (callbacks.mouse) callbacks.mouse(button, state, x, y);
    inputTaken();
}

EMSCRIPTEN_KEEPALIVE void pointerMoved(int x, int y) {
    if (loopStopped || (x == pointerX && y == pointerY)) return;
    pointerX = x;
    pointerY = y;
    void (*callback)(int, int) = heldButtons != 0 ? callbacks.motion : callbacks.passiveMotion;
    if (callback) callback(x, y);
    inputTaken();
}

EMSCRIPTEN_KEEPALIVE void keyPressed(int key) {
    if (loopStopped || key < 0 || key > 255) return;
    if (callbacks.keyboard) callbacks.keyboard(static_cast<unsigned char>(key), pointerX, pointerY);
    inputTaken();
}

EMSCRIPTEN_KEEPALIVE void keyReleased(int key) {
    if (loopStopped || key < 0 || key > 255) return;
    if (callbacks.keyboardUp) {
        callbacks.keyboardUp(static_cast<unsigned char>(key), pointerX, pointerY);
    }
    inputTaken();
}

EMSCRIPTEN_KEEPALIVE void setMotion(int running) {
    if (loopStopped) return;
    motionPaused = running == 0;
}

EMSCRIPTEN_KEEPALIVE void requestFrame() {
    if (!loopStopped) redisplayPosted = true;
}

EMSCRIPTEN_KEEPALIVE void stopFrameLoop() {
    loopStopped = true;
    emscripten_cancel_main_loop();
}

}  // extern "C"
