// A scripted session with the real viewer on the current X display, saving a screenshot of each
// step as PNG (and a half-size copy of each): the title screen, the population, a first pick,
// a self-breeding, a breeding of a child with the bird, a self-breeding of a grandchild (a
// family tree of four generations), the tree turned with the middle button, then quitting with
// Escape. Prints where the pictures are; exits non-zero if a step fails.
//
// Usage: creatures_session VIEWER REPOSITORY_ROOT OUTPUT_DIRECTORY
#include <cstdio>
#include <filesystem>
#include <string>

#include "harness.h"
#include "scene.h"

using namespace e2e;

namespace {

class Session {
public:
    Session(XSession& x, ChildProcess& viewer, unsigned long window,
            const std::filesystem::path& outDir, const std::string& root)
        : x_(x), viewer_(viewer), window_(window), outDir_(outDir) {
        // Children copy (or blend) the centre creature's centre; near enough for a pick.
        centre_ = objCentre(root + "/model_data/squant1.obj");
    }

    bool ok() const { return ok_; }

    void fail(const std::string& why) {
        std::fprintf(stderr, "step failed: %s\n", why.c_str());
        ok_ = false;
    }

    Image waitForScreen(bool (*check)(const Image&)) {
        Image last;
        waitUntil(
            [&] {
                last = x_.grab(window_);
                return check(last);
            },
            30s, 50ms);
        return last;
    }

    // Saves the window as it is now, full and half size.
    void shot(const char* name) {
        std::this_thread::sleep_for(400ms);
        const Image image = x_.grab(window_);
        const std::string full = (outDir_ / (std::string(name) + ".png")).string();
        const std::string half = (outDir_ / (std::string(name) + "-small.png")).string();
        if (!image.savePng(full) || !halfSize(image).savePng(half)) {
            fail("could not save " + full);
            return;
        }
        std::printf("  %s\n", full.c_str());
    }

    // Clicks creature standing at position; waits until the console has printed expected.
    void pick(Point3 position, const char* expected = nullptr) {
        const WindowPoint p = project(
            {position.x + centre_.x, position.y + centre_.y, position.z + centre_.z}, view_);
        const size_t before = viewer_.transcript().size();
        x_.click(window_, p.x, p.y, 1);
        if (expected != nullptr &&
            !waitUntil(
                [&] { return viewer_.transcript().find(expected, before) != std::string::npos; },
                60s)) {
            fail(std::string("no \"") + expected + "\" on the console");
        }
    }

    void stepBack() { view_.z -= 1.0; }
    void moveAway() { x_.movePointer(window_, 512, 40); }

private:
    XSession& x_;
    ChildProcess& viewer_;
    unsigned long window_;
    std::filesystem::path outDir_;
    Point3 centre_;
    ViewOffsets view_;
    bool ok_ = true;
};

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
    Session s(x, viewer, window, outDir, argv[2]);
    if (!showsTitle(s.waitForScreen(showsTitle))) s.fail("no title screen");
    s.shot("01-title");

    // The first movement loads the start creatures; a left click on empty sky shows them.
    s.moveAway();
    if (!viewer.waitForOutput("Opening ./model_data/rabbit.obj", 60s)) s.fail("no start-up load");
    x.click(window, 512, 40, 1);
    if (!showsPopulation(s.waitForScreen(showsPopulation))) s.fail("no population");
    s.shot("02-population");

    // The centre creature, picked once (red), then again: it has two mutated children.
    const Point3 squant = startPosition(1);
    s.pick(squant);
    s.shot("03-first-pick");
    s.pick(squant, "Created:3 4\n");
    s.moveAway();
    s.shot("04-self-bred");

    // Its first child (id 3) bred with the bird: two grandchildren, the view one unit back.
    const Point3 child = fanChild(squant, 50);
    s.pick(child);
    s.pick(startPosition(0), "Breeding 0 and 3\n");
    s.stepBack();
    s.moveAway();
    s.shot("05-bred");

    // The second grandchild (id 6) bred with itself: a fourth generation.
    const Point3 grandchild = fanChild(child, 90);
    s.pick(grandchild);
    s.pick(grandchild, "Created:7 8\n");
    s.moveAway();
    s.shot("06-family-tree");

    // A middle drag turns the whole tree.
    x.movePointer(window, 512, 384);
    x.pressButton(2);
    for (int step = 1; step <= 12; ++step)
        x.movePointer(window, 512 + 14 * step, 384 - 4 * step);
    s.shot("07-turned");
    x.releaseButton(2);

    x.tapKey(window, "Escape");
    const std::optional<ExitStatus> ended = viewer.waitForExit(30s);
    if (!ended || !ended->exited || ended->status != 1) {
        s.fail("the viewer did not quit with status 1 on Escape");
    }
    const std::string console = viewer.transcript();
    if (!console.empty()) std::printf("Console:\n%s\n", console.c_str());
    return s.ok() ? 0 : 1;
}
