// The desktop half of the browser tests: runs the real viewer on the current X display through a
// fixed script of mouse and key actions and records, after each step, the window (PNG) and the
// console so far (text), then the exit status. Writes the script itself as script.json, with the
// window points worked out from the scene, so that the browser tests replay the very same
// actions on the web build's canvas and compare what it shows and prints with these records.
//
// Three scripts: "desktop", the session of a mouse and keyboard; "touch", the session the browser
// tests play with fingers and the page's buttons on a phone-sized page (each click a tap, the
// middle-button drag two fingers, u and o a spread and a pinch, l a button of the page); and
// "keyboard", the session they play from the keyboard alone (each click at a creature's centre a
// pick by Enter, the first movement and the click on empty sky Enter on the title).
//
// Usage: creatures_web_reference VIEWER REPOSITORY_ROOT OUTPUT_DIRECTORY [desktop | touch |
//        keyboard]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "harness.h"
#include "scene.h"

using namespace e2e;

namespace {

struct Action {
    // Move the pointer to (x, y); then click the left button, press or release the middle one.
    enum Kind { Move, Click, Press, Release, Key } kind = Move;
    int x = 0;
    int y = 0;
    std::string key;  // X keysym name, which is also the browser's key name for these keys
};

struct Step {
    std::string name;
    std::vector<Action> actions;
    std::string expect;                 // console text the step waits for; empty: none
    std::vector<WindowPoint> children;  // where the children the step makes stand
    std::vector<WindowPoint> start;     // where the three start creatures stand after the step
};

Action move(WindowPoint p) {
    return {Action::Move, p.x, p.y, {}};
}
Action click(WindowPoint p) {
    return {Action::Click, p.x, p.y, {}};
}
Action pressMiddle(WindowPoint p) {
    return {Action::Press, p.x, p.y, {}};
}
Action releaseMiddle(WindowPoint p) {
    return {Action::Release, p.x, p.y, {}};
}
Action key(const std::string& name) {
    return {Action::Key, 0, 0, name};
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonPoints(const std::vector<WindowPoint>& points) {
    std::string out = "[";
    for (size_t k = 0; k < points.size(); ++k) {
        if (k > 0) out += ", ";
        out += "[" + std::to_string(points[k].x) + ", " + std::to_string(points[k].y) + "]";
    }
    return out + "]";
}

std::string scriptJson(const std::vector<Step>& steps) {
    std::string out = "{\"steps\": [\n";
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        out += "  {\"name\": " + jsonString(step.name) +
               ", \"expect\": " + jsonString(step.expect) +
               ", \"children\": " + jsonPoints(step.children) +
               ", \"start\": " + jsonPoints(step.start) + ", \"actions\": [";
        for (size_t k = 0; k < step.actions.size(); ++k) {
            const Action& a = step.actions[k];
            if (k > 0) out += ", ";
            if (a.kind == Action::Key) {
                out += "{\"key\": " + jsonString(a.key) + "}";
            } else {
                static const char* const names[] = {"move", "click", "press", "release"};
                out += std::string("{\"") + names[a.kind] + "\": [" + std::to_string(a.x) + ", " +
                       std::to_string(a.y) + "]}";
            }
        }
        out += i + 1 < steps.size() ? "]},\n" : "]}\n";
    }
    return out + "]}\n";
}

bool writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    return static_cast<bool>(file);
}

// The desktop script: the title; the first movement (the start-up load); a left click on empty sky
// (the population); the centre creature picked twice (self-bred); its first child bred with the
// bird; the scene moved right; the trackball turned with the middle button; Escape.
std::vector<Step> desktopScript(const std::string& root, std::string& problem) {
    // Children copy or blend the centre creature's centre: near enough for a pick.
    const Point3 centre = objCentre(root + "/model_data/squant1.obj");
    auto at = [&centre](Point3 p, ViewOffsets view = {}) {
        return project({p.x + centre.x, p.y + centre.y, p.z + centre.z}, view);
    };
    const Point3 squant = startPosition(1);
    const Point3 child = fanChild(squant, 50);
    const std::string load = expectedLoadTranscript(root, problem);
    // Children stand in the fan above their parent: at 50 and 130 degrees for the centre
    // creature's self-breeding, at 33 and 90 degrees for its first child's breeding (a parent of
    // generation 1). The first breeding of two creatures steps the view one unit back.
    const ViewOffsets back{0, 0, -21};
    return {
        {"title", {}, "", {}, {}},
        {"loaded", {move(EMPTY_SKY)}, load, {}, {}},
        {"population", {click(EMPTY_SKY)}, "", {}, {}},
        {"self-bred",
         {click(at(squant)), click(at(squant)), move(EMPTY_SKY)},
         "Created:3 4\n",
         {at(child), at(fanChild(squant, 130))},
         {}},
        {"bred",
         {click(at(child)), click(at(startPosition(0))), move(EMPTY_SKY)},
         "Breeding 0 and 3\nStarting Subdivision...Starting Subdivision...",
         {at(fanChild(child, 33), back), at(fanChild(child, 90), back)},
         {at(startPosition(0), back), at(squant, back), at(startPosition(2), back)}},
        {"moved", {key("l")}, "", {}, {}},
        {"turned", {pressMiddle({462, 300}), releaseMiddle({542, 300})}, "", {}, {}},
        {"ended", {key("Escape")}, "", {}, {}},
    };
}

// The touch script: the title; a click on empty sky (the start-up load and the population); the
// centre creature picked twice (self-bred); the scene nearer, with the pointer first moved where
// a pinch's midpoint lands; the rabbit picked once (the first pick of a breeding, which prints
// nothing: had the pinch, whose first finger lands on the centre creature, picked that creature,
// this pick would breed the two); the scene farther; the trackball turned by a middle-button drag
// from where a two-finger drag's midpoint lands; the scene moved right.
std::vector<Step> touchScript(const std::string& root, std::string& problem) {
    const Point3 centre = objCentre(root + "/model_data/squant1.obj");
    auto at = [&centre](Point3 p, ViewOffsets view = {}) {
        return project({p.x + centre.x, p.y + centre.y, p.z + centre.z}, view);
    };
    const Point3 squant = startPosition(1);
    auto startAt = [&at](ViewOffsets view) {
        return std::vector<WindowPoint>{at(startPosition(0), view), at(startPosition(1), view),
                                        at(startPosition(2), view)};
    };
    const std::vector<WindowPoint> start = startAt({});
    const std::vector<WindowPoint> nearer = startAt({0, 0, -18});
    const WindowPoint pinch{512, 486};
    return {
        {"title", {}, "", {}, start},
        {"population", {click(EMPTY_SKY)}, expectedLoadTranscript(root, problem), {}, start},
        {"self-bred", {click(at(squant)), click(at(squant))}, "Created:3 4\n", {}, start},
        {"nearer", {move(pinch), key("u")}, "", {}, nearer},
        {"picked", {click(nearer[2])}, "", {}, nearer},
        {"farther", {move(pinch), key("o")}, "", {}, start},
        {"turned", {pressMiddle({412, 330}), releaseMiddle({532, 330})}, "", {}, {}},
        {"moved", {key("l")}, "", {}, {}},
    };
}

// The keyboard script: the desktop script up to its breeding (the start-up load and the click on
// empty sky together make the population), then the centre creature, which has children and
// grandchildren by then, bred with the rabbit: no creature is added, the centre creature and its
// four descendants change. Its first line follows the breeding's last message, which has no line
// end. Then Escape.
std::vector<Step> keyboardScript(const std::string& root, std::string& problem) {
    const std::vector<Step> desktop = desktopScript(root, problem);
    std::vector<Step> steps;
    for (const Step& step : desktop) {
        if (step.name == "loaded") continue;
        steps.push_back(step);
        if (step.name == "bred") break;
    }
    steps[1].actions.insert(steps[1].actions.begin(), move(EMPTY_SKY));
    steps[1].expect = desktop[1].expect;
    const Point3 centre = objCentre(root + "/model_data/squant1.obj");
    auto at = [&centre](Point3 p, ViewOffsets view) {
        return project({p.x + centre.x, p.y + centre.y, p.z + centre.z}, view);
    };
    const ViewOffsets back{0, 0, -21};
    steps.push_back(
        {"rebred",
         {click(at(startPosition(1), back)), click(at(startPosition(2), back)), move(EMPTY_SKY)},
         "Breeding 2 and 1\n",
         {},
         {}});
    steps.push_back(desktop.back());
    return steps;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc == 5 ? argv[4] : "desktop";
    if ((argc != 4 && argc != 5) ||
        (which != "desktop" && which != "touch" && which != "keyboard")) {
        std::fprintf(stderr,
                     "usage: %s VIEWER REPOSITORY_ROOT OUTPUT_DIRECTORY [desktop | touch | "
                     "keyboard]\n",
                     argv[0]);
        return 2;
    }
    const std::string root = argv[2];
    const std::filesystem::path outDir = std::filesystem::absolute(argv[3]);
    std::filesystem::create_directories(outDir);

    std::string problem;
    const std::vector<Step> steps = which == "desktop" ? desktopScript(root, problem)
                                    : which == "touch" ? touchScript(root, problem)
                                                       : keyboardScript(root, problem);
    if (!problem.empty()) {
        std::fprintf(stderr, "the expected start-up report is not known: %s\n", problem.c_str());
        return 1;
    }
    if (!writeFile(outDir / "script.json", scriptJson(steps))) {
        std::fprintf(stderr, "cannot write %s\n", (outDir / "script.json").c_str());
        return 1;
    }

    XSession x;
    if (!x.connected()) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    ChildProcess viewer(argv[1], root);
    const unsigned long window = x.findWindow(TITLE, viewer.pid(), 30s);
    if (window == 0) {
        std::fprintf(stderr, "the viewer's window did not appear; console:\n%s\n",
                     viewer.transcript().c_str());
        return 1;
    }
    if (!showsTitle(x.grabWhen(window, showsTitle, 30s))) {
        std::fprintf(stderr, "no title screen\n");
        return 1;
    }

    int failures = 0;
    for (const Step& step : steps) {
        const size_t before = viewer.transcriptSize();
        for (const Action& a : step.actions) {
            switch (a.kind) {
                case Action::Move:
                    x.movePointer(window, a.x, a.y);
                    break;
                case Action::Click:
                    x.click(window, a.x, a.y, LEFT);
                    break;
                case Action::Press:
                    x.movePointer(window, a.x, a.y);
                    x.pressButton(MIDDLE);
                    break;
                case Action::Release:
                    x.movePointer(window, a.x, a.y);
                    x.releaseButton(MIDDLE);
                    break;
                case Action::Key:
                    x.tapKey(window, a.key);
                    break;
            }
        }
        if (step.name == "ended") break;
        if (!step.expect.empty() &&
            !waitUntil(
                [&] { return viewer.transcript().find(step.expect, before) != std::string::npos; },
                60s)) {
            std::fprintf(stderr, "%s: no \"%s\" on the console\n", step.name.c_str(),
                         step.expect.c_str());
            ++failures;
        }
        if (step.name == "population") x.grabWhen(window, showsPopulation, 30s);
        // The state once the step's input has been handled: the title, which never changes, at
        // once; the population, which changes every frame, two new frames later (the first after
        // a breeding may come from inside its click, before the movement after it).
        if (!showsTitle(x.grab(window)) && !x.waitForFrames(window, 2, 30s)) {
            std::fprintf(stderr, "%s: the viewer stopped drawing\n", step.name.c_str());
            ++failures;
        }
        const Image image = x.grab(window);
        if (!image.savePng((outDir / (step.name + ".png")).string()) ||
            !writeFile(outDir / (step.name + ".txt"), viewer.transcript())) {
            std::fprintf(stderr, "%s: cannot save the records\n", step.name.c_str());
            ++failures;
        }
    }

    if (steps.back().name != "ended") {
        std::printf("desktop records of %zu steps in %s\n", steps.size(), outDir.c_str());
        return failures == 0 ? 0 : 1;
    }
    const std::optional<ExitStatus> status = viewer.waitForExit(30s);
    if (!status || !status->exited) {
        std::fprintf(stderr, "the viewer did not exit after Escape\n");
        return 1;
    }
    if (!writeFile(outDir / "ended.txt", viewer.transcript()) ||
        !writeFile(outDir / "exit-status.txt", std::to_string(status->status) + "\n")) {
        ++failures;
    }
    std::printf("desktop records of %zu steps in %s\n", steps.size(), outDir.c_str());
    return failures == 0 ? 0 : 1;
}
