#include "web/program_events.h"

#include <emscripten/emscripten.h>

#include "web/glut.h"

// clang-format off
EM_JS(void, sendProgramStarted, (), { Module['onProgramStarted'](); });
// clang-format on

void tellProgramStarted() {
    sendProgramStarted();
}

// clang-format off
EM_JS(void, sendFrameShown, (), { Module['onFrameShown'](); });
// clang-format on

void tellFrameShown() {
    sendFrameShown();
}

// clang-format off
EM_JS(void, sendBreeding, (int creature, int partner, int newChildren), {
    Module['onBreeding']({creature: creature, partner: partner, newChildren: newChildren !== 0});
});
// clang-format on

void tellBreeding(int creature, int partner, bool newChildren) {
    sendBreeding(creature, partner, newChildren ? 1 : 0);
}

// clang-format off
EM_JS(void, sendProgramEnd, (int status), { Module['onProgramEnd'](status); });
// clang-format on

// The link is made with --wrap=exit: the program's calls of exit() come here, and __real_exit is
// the C library's. The frame loop stops first, so that no frame runs after the end.
extern "C" [[noreturn]] void __real_exit(int status);
extern "C" [[noreturn]] void __wrap_exit(int status) {
    stopFrameLoop();
    sendProgramEnd(status);
    __real_exit(status);
}
