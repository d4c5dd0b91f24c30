// A soak of the real viewer (meant for its AddressSanitizer + UndefinedBehaviorSanitizer build) on
// the current X display: for a bounded time, random but seeded mouse and key input — hovers,
// left and right picks on creatures and on empty space, self-breedings, middle-button drags,
// pans and zooms, keys without a binding — and at the end Escape.
//
// It checks that
//  - the viewer never crashes and no sanitizer report appears on its standard error (the
//    sanitizers are told to print any report and end the process with a status of their own);
//  - every event is answered: the window keeps redrawing itself (the breathing and the jitter
//    change every frame), so after each event the driver waits for two new frames after the last
//    console output; a window that stays frozen longer than the hang timeout is a hang;
//  - memory grows with the population only: the resident set (VmRSS) is sampled after every
//    event and the population counted from the console (each breeding of a creature without
//    children, and each self-breeding of a leaf, adds two); the growth beyond the start-up
//    resident set stays within a fixed allowance plus a bound per new creature, the growth
//    while the population stays the same stays within an allowance, and a final stretch of
//    input that breeds nothing leaves the resident set where it was;
//  - Escape ends the viewer with exit status 1.
// It prints the figures: events, population reached, peak memory, longest event.
//
// Usage: creatures_gui_soak VIEWER DATA_DIRECTORY SECONDS [SEED]
// Exit status 0 when every check holds, 1 otherwise.
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "harness.h"
#include "scene.h"

using namespace e2e;

namespace {

constexpr int WIDTH = 1024;
constexpr int HEIGHT = 768;

// A breeding refines every descendant of the parent inside the mouse handler; under the
// sanitizers a big family takes many seconds. A window frozen for this long is hung.
constexpr Millis HANG_TIMEOUT = 300s;

// Memory bounds (resident set, in MiB), generous against what the sanitizer build shows: the
// quarantine of freed blocks and the allocator's caches fill up early and then hold, so they are
// an allowance of their own; beyond it each new creature (its genome and its display copy, both
// with their topology records) may add at most PER_CREATURE_MIB.
constexpr double ALLOWANCE_MIB = 96.0;
constexpr double PER_CREATURE_MIB = 6.0;
// The net growth (last sample minus first) of every stretch in which the population did not
// change, summed: the resident set swings by a few MiB from frame to frame, which cancels out
// here, while memory kept by events that add no creature would add up. Breedings in place free
// whole display copies into the quarantine (16 MiB) while they allocate new ones, so the sum
// reaches some tens of MiB before the quarantine is full and then holds.
constexpr double STEADY_GROWTH_MIB = 64.0;
// Over the final stretch of input that breeds nothing.
constexpr double QUIET_GROWTH_MIB = 16.0;

// The sanitizers' settings for the viewer: every report is printed and ends the process with a
// status that Escape (1) never gives; freed blocks are held back in a bounded quarantine, so that
// it fills early and then stays the same size.
//
// The leak check runs at exit, after Mesa has unloaded its driver: the blocks the driver still
// holds would lose their roots in its unmapped globals and show as leaks of an unknown module.
// The viewer therefore runs with a library preloaded that keeps loaded libraries loaded, so that
// whatever the leak check reports is the program's own.
void setSanitizerOptions() {
    setenv("LD_PRELOAD", CREATURES_KEEP_LOADED_LIBRARY, 1);
    setenv("ASAN_OPTIONS",
           "exitcode=86:halt_on_error=1:detect_leaks=1:quarantine_size_mb=16:"
           "malloc_context_size=20",
           1);
    setenv("UBSAN_OPTIONS", "exitcode=86:halt_on_error=1:print_stacktrace=1", 1);
    setenv("LSAN_OPTIONS", "exitcode=86:suppressions=" CREATURES_LSAN_SUPPRESSIONS, 1);
}

// The words that begin every sanitizer report.
bool hasSanitizerReport(const std::string& errors) {
    return errors.find("Sanitizer") != std::string::npos ||
           errors.find("runtime error:") != std::string::npos;
}

long residentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

double mib(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

enum class Action { Hover, PickCreature, PickEmpty, SelfBreed, MiddleDrag, Key, UnboundKey };

const char* name(Action a) {
    switch (a) {
        case Action::Hover:
            return "hover";
        case Action::PickCreature:
            return "pick on a creature";
        case Action::PickEmpty:
            return "pick on empty space";
        case Action::SelfBreed:
            return "self-breed";
        case Action::MiddleDrag:
            return "middle drag";
        case Action::Key:
            return "pan or zoom key";
        case Action::UnboundKey:
            return "key without a binding";
    }
    return "?";
}

// The population as the console tells it. A breeding "Breeding <partner> and <parent>" of a
// parent without children adds two creatures (unless it is refused); of a parent with children
// it changes the family in place. A self-breeding of a leaf prints its children's ids.
class PopulationCount {
public:
    int count() const { return count_; }
    int breedingsWithChildren() const { return breedingsWithChildren_; }
    int breedingsInPlace() const { return breedingsInPlace_; }
    int selfBreedings() const { return selfBreedings_; }
    int refusals() const { return refusals_; }
    const std::string& problem() const { return problem_; }

    // Reads the console from where the last call stopped, up to its last complete line.
    void read(const std::string& transcript) {
        const size_t end = transcript.rfind('\n');
        if (end == std::string::npos || end + 1 <= done_) return;
        const std::string chunk = transcript.substr(done_, end + 1 - done_);
        done_ = end + 1;
        static const std::regex event(
            "Breeding (\\d+) and (\\d+)\\n|Error! Cannot breed creature (\\d+)|"
            "SB MYSELF:(\\d+)\\nSelf Breeding a Leaf\\n|First Kid ID: (\\d+)|"
            "Second Kid ID: (\\d+)");
        for (auto it = std::sregex_iterator(chunk.begin(), chunk.end(), event);
             it != std::sregex_iterator(); ++it) {
            const std::smatch& m = *it;
            if (m[1].matched) {
                settleBreeding();
                pendingParent_ = std::stoi(m[2]);
            } else if (m[3].matched) {
                if (pendingParent_ == std::stoi(m[3])) {
                    ++refusals_;
                    pendingParent_ = -1;
                }
            } else if (m[4].matched) {
                settleBreeding();
                parents_.insert(std::stoi(m[4]));
                ++selfBreedings_;
            } else if (m[5].matched || m[6].matched) {
                settleBreeding();
                const int id = std::stoi(m[5].matched ? m[5].str() : m[6].str());
                // Children are numbered on from the creatures there are.
                if (id != count_) {
                    problem_ += "a child got id " + std::to_string(id) + " where " +
                                std::to_string(count_) + " was expected\n";
                }
                count_ = std::max(count_, id + 1);
            }
        }
        settleBreeding();
    }

    // Breedings that moved the view one unit farther away.
    int viewStepsBack() const { return breedingsWithChildren_; }

private:
    void settleBreeding() {
        if (pendingParent_ < 0) return;
        if (parents_.insert(pendingParent_).second) {
            count_ += 2;
            ++breedingsWithChildren_;
        } else {
            ++breedingsInPlace_;
        }
        pendingParent_ = -1;
    }

    int count_ = 3;
    size_t done_ = 0;
    int pendingParent_ = -1;
    std::set<int> parents_;
    int breedingsWithChildren_ = 0;
    int breedingsInPlace_ = 0;
    int selfBreedings_ = 0;
    int refusals_ = 0;
    std::string problem_;
};

struct Sample {
    double seconds;
    long rssKib;
    int population;
};

class Soak {
public:
    Soak(XSession& x, ChildProcess& viewer, unsigned long window, unsigned seed)
        : x_(x), viewer_(viewer), window_(window), rng_(seed) {}

    bool failed() const { return !failures_.empty(); }
    const std::vector<std::string>& failures() const { return failures_; }
    void fail(const std::string& why) { failures_.push_back(why); }

    // Moves the pointer (which loads the World), waits for the load, dismisses the title.
    bool enterPopulation() {
        x_.movePointer(window_, 512, 40);
        if (!waitUntil(
                [&] {
                    const std::string t = viewer_.transcript();
                    size_t steps = 0;
                    for (size_t at = t.find("Starting Subdivision..."); at != std::string::npos;
                         at = t.find("Starting Subdivision...", at + 1)) {
                        ++steps;
                    }
                    return steps >= 4 || !viewer_.running();
                },
                HANG_TIMEOUT)) {
            fail("the start creatures did not load");
            return false;
        }
        if (!viewer_.running()) {
            fail("the viewer ended while it loaded the start creatures");
            return false;
        }
        x_.click(window_, 512, 40, LEFT);
        if (!waitUntil([&] { return showsPopulation(x_.grab(window_)); }, 60s)) {
            fail("the population did not show after the title");
            return false;
        }
        awaitAnswer(Action::Hover);
        // Two seconds of redrawing settle the first frames' allocations.
        const auto settle = std::chrono::steady_clock::now() + 2s;
        while (std::chrono::steady_clock::now() < settle && !failed())
            awaitAnswer(Action::Hover);
        start_ = std::chrono::steady_clock::now();
        baselineKib_ = residentKib(viewer_.pid());
        sample();
        return !failed();
    }

    // Random input until the deadline; the last share of the time breeds nothing.
    void run(std::chrono::seconds duration, double quietShare) {
        const auto begin = std::chrono::steady_clock::now();
        const auto quietFrom =
            begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        duration * (1.0 - quietShare));
        const auto end = begin + duration;
        bool quiet = false;
        while (!failed() && std::chrono::steady_clock::now() < end) {
            if (!quiet && std::chrono::steady_clock::now() >= quietFrom) {
                quiet = true;
                quietStartKib_ = samples_.back().rssKib;
                quietStartPopulation_ = population_.count();
            }
            step(quiet);
        }
        if (quiet) quietEndKib_ = samples_.back().rssKib;
    }

    // Escape, then the exit status and the sanitizers' silence.
    void quit() {
        x_.tapKey(window_, "Escape");
        const std::optional<ExitStatus> ended = viewer_.waitForExit(120s);
        if (!ended) {
            fail("Escape did not end the viewer within 120 s");
            return;
        }
        exit_ = *ended;
        if (!ended->exited) {
            fail("the viewer ended by signal " + std::to_string(ended->signal));
        } else if (ended->status != 1) {
            fail("the viewer exited with status " + std::to_string(ended->status) +
                 " after Escape, not 1");
        }
    }

    void checkMemory() {
        peakKib_ = baselineKib_;
        for (size_t i = 0; i < samples_.size(); ++i) {
            const Sample& s = samples_[i];
            peakKib_ = std::max(peakKib_, s.rssKib);
            const double allowed =
                ALLOWANCE_MIB + PER_CREATURE_MIB * static_cast<double>(s.population - 3);
            const double grown = mib(s.rssKib - baselineKib_);
            if (grown > allowed) {
                char why[200];
                std::snprintf(why, sizeof why,
                              "resident set grew by %.1f MiB with %d creatures (allowed %.1f)",
                              grown, s.population, allowed);
                fail(why);
            }
            if (i > 0 && s.population == samples_[i - 1].population) {
                steadyGrowthKib_ += s.rssKib - samples_[i - 1].rssKib;
            }
        }
        const double steady = mib(steadyGrowthKib_);
        if (steady > STEADY_GROWTH_MIB) {
            char why[200];
            std::snprintf(why, sizeof why,
                          "resident set grew by %.1f MiB net while the population stayed the "
                          "same (allowed %.1f)",
                          steady, STEADY_GROWTH_MIB);
            fail(why);
        }
        if (quietStartKib_ > 0 && mib(quietEndKib_ - quietStartKib_) > QUIET_GROWTH_MIB) {
            char why[200];
            std::snprintf(why, sizeof why,
                          "resident set grew by %.1f MiB over the final input that bred nothing "
                          "(allowed %.1f)",
                          mib(quietEndKib_ - quietStartKib_), QUIET_GROWTH_MIB);
            fail(why);
        }
        if (quietStartKib_ > 0 && population_.count() != quietStartPopulation_) {
            fail("the population changed during the final input that breeds nothing");
        }
        if (!population_.problem().empty()) fail(population_.problem());
    }

    void report(unsigned seed, long seconds) const {
        std::printf("GUI soak: %ld s of seeded input (seed %u)\n", seconds, seed);
        std::printf("  events: %d", events_);
        for (const auto& [action, n] : counts_)
            std::printf(", %s %d", name(action), n);
        std::printf("\n");
        std::printf(
            "  breedings: %d with new children, %d in place, %d self-breedings of a leaf, "
            "%d refused\n",
            population_.breedingsWithChildren(), population_.breedingsInPlace(),
            population_.selfBreedings(), population_.refusals());
        std::printf("  population reached: %d creatures\n", population_.count());
        const double perCreature =
            population_.count() > 3
                ? mib(peakKib_ - baselineKib_) / static_cast<double>(population_.count() - 3)
                : 0.0;
        std::printf(
            "  memory (VmRSS): %.1f MiB after the start-up load, peak %.1f MiB, "
            "%.2f MiB per new creature (bound %.1f beyond an allowance of %.0f)\n",
            mib(baselineKib_), mib(peakKib_), perCreature, PER_CREATURE_MIB, ALLOWANCE_MIB);
        std::printf(
            "  net growth while the population stayed the same: %.1f MiB (bound %.0f); "
            "over the final %d s that bred nothing: %.1f MiB (bound %.0f)\n",
            mib(steadyGrowthKib_), STEADY_GROWTH_MIB, quietSeconds_,
            mib(quietEndKib_ - quietStartKib_), QUIET_GROWTH_MIB);
        std::printf(
            "  longest event: %.2f s (%s, with %d creatures); frames answered every "
            "event within the hang timeout of %lld s\n",
            longestMs_ / 1000.0, name(longestAction_), longestPopulation_,
            static_cast<long long>(HANG_TIMEOUT.count() / 1000));
        std::printf("  figures: population %d, peak memory %.0f MiB, longest event %.1f s\n",
                    population_.count(), mib(peakKib_), longestMs_ / 1000.0);
        if (exit_) {
            std::printf("  after Escape: exit status %d%s\n", exit_->status,
                        exit_->exited ? "" : " (killed by a signal)");
        }
    }

    void setQuietSeconds(int s) { quietSeconds_ = s; }

    // Every sample as "seconds,rss_kib,population" lines.
    void writeSamples(const std::string& path) const {
        std::ofstream out(path);
        out << "seconds,rss_kib,population\n";
        for (const Sample& s : samples_)
            out << s.seconds << ',' << s.rssKib << ',' << s.population << '\n';
    }

private:
    // One random event and its answer.
    void step(bool quiet) {
        std::discrete_distribution<int> pickAction({25, 22, 8, 12, 10, 17, 6});
        Action action = static_cast<Action>(pickAction(rng_));
        // The final stretch breeds nothing: a pick might complete a breeding.
        if (quiet && (action == Action::PickCreature || action == Action::SelfBreed ||
                      action == Action::PickEmpty)) {
            action = Action::Hover;
        }
        switch (action) {
            case Action::Hover:
                hover();
                break;
            case Action::PickCreature:
                pick(creaturePixel(), randomPickButton());
                break;
            case Action::PickEmpty:
                pick(emptyPixel(), randomPickButton());
                break;
            case Action::SelfBreed:
                selfBreed();
                break;
            case Action::MiddleDrag:
                middleDrag();
                break;
            case Action::Key:
                panOrZoom();
                break;
            case Action::UnboundKey:
                unboundKey();
                break;
        }
        ++events_;
        ++counts_[action];
        awaitAnswer(action);
        population_.read(viewer_.transcript());
        sample();
    }

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    int randomPickButton() { return uniform(0, 1) == 0 ? LEFT : RIGHT; }

    void hover() {
        const int moves = uniform(1, 4);
        for (int i = 0; i < moves; ++i) {
            x_.movePointer(window_, uniform(0, WIDTH - 1), uniform(0, HEIGHT - 1));
        }
    }

    // A pixel that shows a creature in the last frame (not the clear colour, not a link's grey),
    // or any pixel when none shows.
    WindowPoint creaturePixel() {
        const Image image = x_.grab(window_);
        std::vector<WindowPoint> candidates;
        for (int y = 4; y < image.height() - 4; y += 6) {
            for (int x = 4; x < image.width() - 4; x += 6) {
                const Rgb p = image.at(x, y);
                if (!isNear(p, CLEAR_COLOUR, 8) && !isNear(p, {51, 51, 51}, 4))
                    candidates.push_back({x, y});
            }
        }
        if (candidates.empty()) return {uniform(0, WIDTH - 1), uniform(0, HEIGHT - 1)};
        return candidates[static_cast<size_t>(uniform(0, static_cast<int>(candidates.size()) - 1))];
    }

    // A pixel of the clear colour, or any pixel when there is none.
    WindowPoint emptyPixel() {
        const Image image = x_.grab(window_);
        for (int attempt = 0; attempt < 200; ++attempt) {
            const WindowPoint p{uniform(0, WIDTH - 1), uniform(0, HEIGHT - 1)};
            const Rgb c = image.empty() ? Rgb{} : image.at(p.x, p.y);
            if (c == CLEAR_COLOUR) return p;
        }
        return {uniform(0, WIDTH - 1), uniform(0, HEIGHT - 1)};
    }

    void pick(WindowPoint p, int button) { x_.click(window_, p.x, p.y, button); }

    // The same creature twice: a first pick, then a second at the same spot.
    void selfBreed() {
        const WindowPoint p = creaturePixel();
        const int button = randomPickButton();
        x_.click(window_, p.x, p.y, button);
        x_.click(window_, p.x, p.y, button);
    }

    // A press, a few moves and a release of the middle button. The sum of all drags stays within
    // a bound, so that the turn of the population does too and the creatures stay in view.
    void middleDrag() {
        const int startX = uniform(300, 724);
        const int startY = uniform(200, 568);
        int dx = uniform(-80, 80);
        int dy = uniform(-80, 80);
        if (std::abs(dragX_ + dx) > 160 || std::abs(dragY_ + dy) > 160) {
            dx = -dragX_ / 2;
            dy = -dragY_ / 2;
        }
        dragX_ += dx;
        dragY_ += dy;
        x_.movePointer(window_, startX, startY);
        x_.pressButton(MIDDLE);
        const int steps = uniform(2, 8);
        for (int i = 1; i <= steps; ++i) {
            x_.movePointer(window_, startX + dx * i / steps, startY + dy * i / steps);
        }
        x_.releaseButton(MIDDLE);
    }

    // A pan or zoom key whose result keeps the view offsets within bounds (the breedings move
    // the view back by one each, which the zoom keys then bring forward again).
    void panOrZoom() {
        struct Key {
            const char* name;
            double dx, dy, dz;
        };
        static const Key keys[] = {{"i", 0, 2, 0},  {"k", 0, -2, 0}, {"l", 2, 0, 0},
                                   {"j", -2, 0, 0}, {"u", 0, 0, 2},  {"o", 0, 0, -2}};
        const double z = viewZ_ - population_.viewStepsBack();
        std::vector<const Key*> allowed;
        for (const Key& k : keys) {
            const double nx = viewX_ + k.dx, ny = viewY_ + k.dy, nz = z + k.dz;
            const bool xOk = std::abs(nx) <= 6 || k.dx == 0;
            const bool yOk = (ny >= -4 && ny <= 6) || k.dy == 0;
            const bool zOk = (nz >= -40 && nz <= -14) || (k.dz == 0) || (nz < -40 && k.dz > 0) ||
                             (nz > -14 && k.dz < 0);
            if (xOk && yOk && zOk) allowed.push_back(&k);
        }
        if (allowed.empty()) return;
        const Key& k =
            *allowed[static_cast<size_t>(uniform(0, static_cast<int>(allowed.size()) - 1))];
        viewX_ += k.dx;
        viewY_ += k.dy;
        viewZ_ += k.dz;
        x_.tapKey(window_, k.name);
    }

    void unboundKey() {
        static const char* const names[] = {"a", "x", "F1", "Up", "space"};
        x_.tapKey(window_, names[uniform(0, 4)], uniform(0, 3) == 0);
    }

    // Waits until the window has shown two new frames since the last console output: the event
    // has been handled (with whatever it printed) and the loop is redrawing again.
    void awaitAnswer(Action action) {
        const auto begin = std::chrono::steady_clock::now();
        std::uint64_t last = x_.digest(window_);
        size_t console = viewer_.transcriptSize();
        int newFrames = 0;
        while (newFrames < 2) {
            std::this_thread::sleep_for(10ms);
            if (!viewer_.running()) {
                fail(std::string("the viewer ended during the answer to a ") + name(action));
                return;
            }
            const std::uint64_t now = x_.digest(window_);
            const size_t grown = viewer_.transcriptSize();
            if (grown != console) {
                console = grown;
                newFrames = 0;
            }
            if (now != last) {
                ++newFrames;
                last = now;
            }
            if (std::chrono::steady_clock::now() - begin > HANG_TIMEOUT) {
                fail(std::string("no answer to a ") + name(action) + " within " +
                     std::to_string(HANG_TIMEOUT.count() / 1000) + " s: the viewer hangs");
                return;
            }
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count();
        if (ms > longestMs_) {
            longestMs_ = ms;
            longestAction_ = action;
            population_.read(viewer_.transcript());
            longestPopulation_ = population_.count();
        }
    }

    void sample() {
        const long rss = residentKib(viewer_.pid());
        if (rss < 0) return;
        samples_.push_back(
            {std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(), rss,
             population_.count()});
    }

    XSession& x_;
    ChildProcess& viewer_;
    unsigned long window_;
    std::mt19937 rng_;
    std::vector<std::string> failures_;
    PopulationCount population_;
    std::vector<Sample> samples_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    long baselineKib_ = 0;
    long peakKib_ = 0;
    long steadyGrowthKib_ = 0;
    long quietStartKib_ = 0;
    long quietEndKib_ = 0;
    int quietStartPopulation_ = 0;
    int quietSeconds_ = 0;
    int events_ = 0;
    std::map<Action, int> counts_;
    double longestMs_ = 0.0;
    Action longestAction_ = Action::Hover;
    int longestPopulation_ = 3;
    double viewX_ = 0, viewY_ = 0, viewZ_ = -20;
    int dragX_ = 0, dragY_ = 0;
    std::optional<ExitStatus> exit_;
};

}  // namespace

int main(int argc, char** argv) try {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s VIEWER DATA_DIRECTORY SECONDS [SEED]\n", argv[0]);
        return 2;
    }
    const std::string viewerPath = argv[1];
    const std::string dataDir = argv[2];
    const long seconds = std::strtol(argv[3], nullptr, 10);
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : 1;
    if (seconds <= 0) {
        std::fprintf(stderr, "SECONDS must be positive\n");
        return 2;
    }

    XSession x;
    if (!x.connected()) {
        std::fprintf(stderr, "no X display in DISPLAY\n");
        return 1;
    }
    setSanitizerOptions();
    ChildProcess viewer(viewerPath, dataDir, {}, Capture::OutputAndErrors);
    const unsigned long window = x.findWindow(TITLE, viewer.pid(), 60s);
    if (window == 0) {
        std::fprintf(stderr, "no viewer window; its errors:\n%s\n", viewer.errors().c_str());
        return 1;
    }

    Soak soak(x, viewer, window, seed);
    // The last tenth of the time (at least 5 s) is input that breeds nothing.
    const long quiet = std::max(5L, seconds / 10);
    soak.setQuietSeconds(static_cast<int>(quiet));
    if (soak.enterPopulation()) {
        soak.run(std::chrono::seconds(seconds), static_cast<double>(quiet) / seconds);
    }
    if (viewer.running() && !soak.failed()) soak.quit();
    soak.checkMemory();

    // Whatever else happened, a sanitizer report fails the soak and is shown.
    viewer.waitForExit(10s);
    const std::string errors = viewer.errors();
    if (hasSanitizerReport(errors)) soak.fail("a sanitizer report on the viewer's standard error");

    soak.report(seed, seconds);
    if (const char* samples = std::getenv("SOAK_SAMPLES")) soak.writeSamples(samples);
    if (!errors.empty()) {
        std::printf("--- the viewer's standard error ---\n%s\n--- end ---\n", errors.c_str());
    }
    if (soak.failed()) {
        for (const std::string& why : soak.failures())
            std::printf("GUI soak FAILED: %s\n", why.c_str());
        const std::string console = viewer.transcript();
        std::printf("--- the end of the viewer's console ---\n%s\n--- end ---\n",
                    console.substr(console.size() > 3000 ? console.size() - 3000 : 0).c_str());
        return 1;
    }
    std::printf("GUI soak passed\n");
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "gui soak: %s\n", e.what());
    return 2;
}
