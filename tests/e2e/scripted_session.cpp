// A short scripted session with the real viewer on the current X display, saving a screenshot
// of each step as PNG: the title screen, then the view after a left click dismisses it, then
// quitting with Escape. Prints where the pictures are; exits non-zero if a step fails.
//
// Usage: creatures_session VIEWER REPOSITORY_ROOT OUTPUT_DIRECTORY
#include <cstdio>
#include <filesystem>
#include <string>

#include "harness.h"

using namespace e2e;

namespace {

bool saveStep(const Image& image, const std::filesystem::path& dir, const char* name) {
    const std::string path = (dir / name).string();
    if (!image.savePng(path)) {
        std::fprintf(stderr, "could not save %s\n", path.c_str());
        return false;
    }
    std::printf("  %s\n", path.c_str());
    return true;
}

Image waitForScreen(XSession& x, unsigned long window, bool (*check)(const Image&)) {
    Image last;
    waitUntil(
        [&] {
            last = x.grab(window);
            return check(last);
        },
        30s, 50ms);
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s VIEWER REPOSITORY_ROOT OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::filesystem::path outDir = std::filesystem::absolute(argv[3]);
    std::filesystem::create_directories(outDir);

    XSession x;
    if (!x.connected()) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    ChildProcess viewer(argv[1], argv[2]);
    const unsigned long window = x.findWindow("Subdivision Surfaces", viewer.pid(), 30s);
    if (window == 0) {
        std::fprintf(stderr, "the viewer's window did not appear; console:\n%s\n",
                     viewer.transcript().c_str());
        return 1;
    }

    std::printf("Screenshots:\n");
    bool ok = true;
    const Image title = waitForScreen(x, window, showsTitle);
    ok = saveStep(title, outDir, "01-title.png") && showsTitle(title) && ok;

    x.click(window, 512, 700, 1);
    const Image after = waitForScreen(x, window, showsOnlyClearColour);
    ok = saveStep(after, outDir, "02-after-title.png") && ok;

    x.tapKey(window, "Escape");
    const std::optional<ExitStatus> ended = viewer.waitForExit(30s);
    if (!ended || !ended->exited || ended->status != 1) {
        std::fprintf(stderr, "the viewer did not quit with status 1 on Escape\n");
        ok = false;
    }
    const std::string console = viewer.transcript();
    if (!console.empty()) std::printf("Console:\n%s\n", console.c_str());
    return ok ? 0 : 1;
}
