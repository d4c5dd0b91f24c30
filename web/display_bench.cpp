// Times the display pass of the population in the browser, as bench/display_bench.cpp does on
// the desktop: the start population (3 creatures, the centre one refined twice) and 31 creatures
// (the start population and 14 breedings of leaves), at a fixed frame time. Each timed pass is
// the window's display pass followed by a read of one pixel, which waits until the browser's
// OpenGL has drawn the frame. Prints one line per population; the page's script collects them.
#include <emscripten/emscripten.h>

#include <GL/glut.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <vector>

#include "app/glut_callbacks.h"
#include "app/viewer_window.h"
#include "creature/world.h"
#include "view/camera.h"
#include "view/chance.h"
#include "view/input_controller.h"
#include "web/gl_compat.h"

namespace {

constexpr float FRAME_TIME = 5000.0f;  // milliseconds: the middle of a breath
constexpr int WARM_UP_PASSES = 3;
constexpr int TIMED_PASSES = 15;

void timePasses(const char* what, const World& world) {
    ViewerWindow& window = ViewerWindow::instance();
    window.currentTime = FRAME_TIME;
    webFrameShown = true;
    std::vector<double> times;
    unsigned char pixel[4];
    for (int i = 0; i < WARM_UP_PASSES + TIMED_PASSES; ++i) {
        const double start = emscripten_get_now();
        window.display();
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        if (i >= WARM_UP_PASSES) times.push_back(emscripten_get_now() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("display pass, %s (%zu creatures): median %.2f ms, fastest %.2f ms\n", what,
                world.creatures.size(), times[times.size() / 2], times.front());
}

}  // namespace

int main(int argc, char** argv) {
    openViewerWindow(&argc, argv);
    Camera::instance().reshape(1024, 768);
    InputController::instance().titleShown = 0;

    // The same creatures every run; no redraw in the middle of a breeding.
    chance::setClock([] { return std::time_t{1700000000}; });
    World& world = World::instance();
    world.screen.redrawNow = nullptr;
    timePasses("the start population", world);

    std::deque<int> leaves{1};
    while (world.creatures.size() < 31) {
        const int leaf = leaves.front();
        leaves.pop_front();
        world.breed(leaf, world.genomes[2], RANDOM_WEIGHT, MakeChildren);
        leaves.push_back(world.genomes[static_cast<size_t>(leaf)].firstChildId);
        leaves.push_back(world.genomes[static_cast<size_t>(leaf)].secondChildId);
    }
    timePasses("31 creatures", world);
    std::printf("benchmark done\n");
    return 0;
}
