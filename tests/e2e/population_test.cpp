// The real executable with its population: loading on the first mouse movement, hovering,
// picking, turning, panning and zooming, and breeding through the mouse. Screenshots of each
// step are saved as PNG next to the test's build directory.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"
#include "scene.h"

namespace e2e {
namespace {

// Regions of the start view: the centre creature, and the rabbit on the left.
constexpr Rect CENTRE_CREATURE{362, 400, 300, 368};
constexpr Rect LEFT_CREATURE{0, 400, 300, 368};
constexpr Rect LOWER_HALF{0, 384, 1024, 384};

std::string file(const std::string& name) {
    return std::string(CREATURES_SOURCE_DIR) + "/model_data/" + name;
}

Point3 plus(Point3 a, Point3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

class PopulationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.connected()) << "no X display in DISPLAY";
        viewer = std::make_unique<ChildProcess>(CREATURES_EXECUTABLE, CREATURES_SOURCE_DIR);
        window = x.findWindow(TITLE, viewer->pid(), 30s);
        ASSERT_NE(window, 0u) << "no window; console: " << viewer->transcript();
        ASSERT_TRUE(showsTitle(waitFor([](const Image& i) { return showsTitle(i); }, 30s)));
        centres[0] = objCentre(file("bird1.obj"));
        centres[1] = objCentre(file("squant1.obj"));
        centres[2] = objCentre(file("rabbit.obj"));
    }

    void TearDown() override {
        if (viewer && viewer->running()) {
            x.tapKey(window, "Escape");
            const std::optional<ExitStatus> ended = viewer->waitForExit(20s);
            ASSERT_TRUE(ended) << "Escape did not end the program";
            EXPECT_TRUE(ended->exited);
            EXPECT_EQ(ended->status, 1);
        }
    }

    // Once the viewer has shown no frame after an input, waits end at their first look.
    Image waitFor(const std::function<bool(const Image&)>& check, Millis timeout) {
        return x.grabWhen(window, check, drawing ? timeout : Millis{0});
    }

    // Frames taken over about half a second, so that the breathing goes through some of its
    // swing.
    std::vector<Image> frames(int count = 6) {
        std::vector<Image> shots;
        for (int i = 0; i < count; ++i) {
            shots.push_back(x.grab(window));
            std::this_thread::sleep_for(80ms);
        }
        return shots;
    }

    // Where to click on creature i standing at position (its pick sphere's centre).
    WindowPoint creaturePoint(Point3 position, int startCreature, ViewOffsets view = {}) const {
        return project(plus(position, centres[startCreature]), view);
    }

    void moveTo(WindowPoint p) { x.movePointer(window, p.x, p.y); }
    // Waits until the window shows what the input sent so far makes of the population.
    void settle() {
        EXPECT_TRUE(drawing && x.waitForFrames(window, 2, 30s)) << "the viewer stopped drawing";
    }
    void clickAt(WindowPoint p, int button = LEFT) { x.click(window, p.x, p.y, button); }

    // Moves the mouse (which loads the World), waits for the load's report, dismisses the title
    // with a left click on empty sky and waits until all three creatures show.
    Image enterPopulation() {
        std::string problem;
        const std::string load = expectedLoadTranscript(CREATURES_SOURCE_DIR, problem);
        EXPECT_EQ(problem, "");
        moveTo(EMPTY_SKY);
        EXPECT_TRUE(waitUntil([&] { return viewer->transcript().size() >= load.size(); }, 60s));
        clickAt(EMPTY_SKY);
        // The viewer draws frame after frame from here on: the first comes within seconds.
        drawing = x.waitForFrames(window, 1, 10s);
        EXPECT_TRUE(drawing) << "no frame came within 10 s of the click that ends the title";
        return waitFor(
            [](const Image& i) {
                return !showsTitle(i) && silhouette(i, {0, 384, 300, 384}).pixels > 2000 &&
                       silhouette(i, CENTRE_CREATURE).pixels > 2000 &&
                       silhouette(i, {724, 384, 300, 384}).pixels > 2000;
            },
            30s);
    }

    // Waits until the console has grown by at least the length of text and then holds still.
    std::string consoleAfter(size_t from, const std::string& text, Millis timeout = 60s) {
        waitUntil([&] { return viewer->transcript().size() >= from + text.size(); }, timeout);
        std::this_thread::sleep_for(300ms);
        const std::string all = viewer->transcript();
        return all.size() > from ? all.substr(from) : std::string();
    }

    XSession x;
    std::unique_ptr<ChildProcess> viewer;
    unsigned long window = 0;
    Point3 centres[3];
    bool drawing = true;  // false once no frame came after the title
};

TEST_F(PopulationTest, FirstMouseMovementLoadsTheWorldAndPrintsTheReadersReport) {
    // Display passes alone, with the title up, load nothing.
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(viewer->transcript(), "");

    std::string problem;
    const std::string expected = expectedLoadTranscript(CREATURES_SOURCE_DIR, problem);
    ASSERT_EQ(problem, "");
    moveTo({300, 200});
    EXPECT_EQ(consoleAfter(0, expected), expected);
    // The title stays until a left release.
    const Image still = x.grab(window);
    EXPECT_TRUE(showsTitle(still));
}

TEST_F(PopulationTest, LeftReleaseShowsThePopulationAndTheHoveredCreatureGrows) {
    const Image population = enterPopulation();
    population.savePng(shotPath("population.png"));
    ASSERT_FALSE(showsTitle(population)) << "see " << shotPath("population.png");

    // The pointer rests on empty sky: nothing hovered. The breathing scales a creature about
    // its feet; the hover scales it about the scene origin, which moves the feet down.
    int lowestBefore = 0, widestBefore = 0;
    for (const Image& f : frames()) {
        const Silhouette s = silhouette(f, CENTRE_CREATURE);
        lowestBefore = std::max(lowestBefore, s.maxY);
        widestBefore = std::max(widestBefore, s.maxX - s.minX);
    }
    moveTo(creaturePoint(startPosition(1), 1));
    const Image grown = waitFor(
        [&](const Image& i) { return silhouette(i, CENTRE_CREATURE).maxY >= lowestBefore + 6; },
        10s);
    grown.savePng(shotPath("hover.png"));
    int lowestHovered = 10000, narrowestHovered = 10000;
    for (const Image& f : frames()) {
        const Silhouette s = silhouette(f, CENTRE_CREATURE);
        lowestHovered = std::min(lowestHovered, s.maxY);
        narrowestHovered = std::min(narrowestHovered, s.maxX - s.minX);
    }
    EXPECT_GE(lowestHovered - lowestBefore, 6) << "see " << shotPath("hover.png");
    EXPECT_GT(narrowestHovered, widestBefore - 2);

    // Hovering elsewhere puts it back.
    moveTo(EMPTY_SKY);
    const Image back = waitFor(
        [&](const Image& i) { return silhouette(i, CENTRE_CREATURE).maxY <= lowestBefore + 1; },
        10s);
    EXPECT_LE(silhouette(back, CENTRE_CREATURE).maxY, lowestBefore + 1);
}

TEST_F(PopulationTest, FirstPickTintsTheCreatureRed) {
    enterPopulation();
    const Silhouette before = silhouette(x.grab(window), CENTRE_CREATURE);
    const size_t console = viewer->transcript().size();
    clickAt(creaturePoint(startPosition(1), 1));
    const Image picked = waitFor(
        [&](const Image& i) {
            const Silhouette s = silhouette(i, CENTRE_CREATURE);
            return s.meanRed - s.meanBlue > before.meanRed - before.meanBlue + 80;
        },
        10s);
    picked.savePng(shotPath("first-pick.png"));
    const Silhouette tinted = silhouette(picked, CENTRE_CREATURE);
    EXPECT_GT(tinted.meanRed - tinted.meanBlue, before.meanRed - before.meanBlue + 80)
        << "see " << shotPath("first-pick.png");
    // The other creatures keep their colours, and a first pick prints nothing.
    const Silhouette left = silhouette(picked, LEFT_CREATURE);
    EXPECT_LT(left.meanRed, left.meanBlue);
    EXPECT_EQ(viewer->transcript().size(), console);
}

TEST_F(PopulationTest, MiddleDragTurnsThePopulationAndDraggingBackRestoresIt) {
    enterPopulation();
    moveTo({512, 384});
    settle();
    const std::vector<Image> before = frames(2);
    const double noise = silhouetteDifference(before[0], before[1], LOWER_HALF);
    x.pressButton(MIDDLE);
    for (int step = 1; step <= 10; ++step)
        moveTo({512 + 15 * step, 384});
    const Image turned = waitFor(
        [&](const Image& i) { return silhouetteDifference(before[0], i, LOWER_HALF) > 0.02; }, 10s);
    turned.savePng(shotPath("turned.png"));
    for (int step = 9; step >= 0; --step)
        moveTo({512 + 15 * step, 384});
    const Image restored = waitFor(
        [&](const Image& i) {
            return silhouetteDifference(before[0], i, LOWER_HALF) < 2 * noise + 0.003;
        },
        10s);
    x.releaseButton(MIDDLE);
    restored.savePng(shotPath("turned-back.png"));

    const double turnedAway = silhouetteDifference(before[0], turned, LOWER_HALF);
    const double back = silhouetteDifference(before[0], restored, LOWER_HALF);
    EXPECT_GT(turnedAway, 0.02) << "see " << shotPath("turned.png");
    EXPECT_GT(turnedAway, 4 * std::max(noise, back));
    EXPECT_LT(back, 2 * noise + 0.003) << "see " << shotPath("turned-back.png");
}

TEST_F(PopulationTest, KeysPanAndZoomTheView) {
    enterPopulation();
    const Rect all{0, 0, 1024, 768};
    const Silhouette start = silhouette(x.grab(window), all);

    struct Step {
        const char* key;
        double dx, dy, growth;  // expected centre shift in pixels, area factor
    };
    // 2 units at depth 20 are about 93 pixels, at depth 25 about 74. Coming nearer enlarges the
    // scene about the middle of the window, so the creatures below it spread downwards.
    const Step steps[] = {{"l", 84, 0, 1}, {"j", 0, 0, 1},     {"i", 0, -84, 1},
                          {"k", 0, 0, 1},  {"u", 0, 20, 1.25}, {"o", 0, 0, 1}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key);
        x.tapKey(window, step.key);
        const auto arrived = [&](const Image& i) {
            const Silhouette s = silhouette(i, all);
            return std::abs(s.centreX - start.centreX - step.dx) < 14 &&
                   std::abs(s.centreY - start.centreY - step.dy) < 14 &&
                   std::abs(static_cast<double>(s.pixels) / static_cast<double>(start.pixels) -
                            step.growth) < 0.08;
        };
        const Image shot = waitFor(arrived, 10s);
        shot.savePng(shotPath(std::string("key-") + step.key + ".png"));
        const Silhouette s = silhouette(shot, all);
        EXPECT_NEAR(s.centreX - start.centreX, step.dx, 14);
        EXPECT_NEAR(s.centreY - start.centreY, step.dy, 14);
        EXPECT_NEAR(static_cast<double>(s.pixels) / static_cast<double>(start.pixels), step.growth,
                    0.08);
    }
}

// ---- Breeding through the mouse ----------------------------------------------------------------

TEST_F(PopulationTest, CentreCreaturePickedTwiceSelfBreedsIntoIdsThreeAndFour) {
    const Image before = enterPopulation();
    const size_t console = viewer->transcript().size();
    const Point3 parent = startPosition(1);
    clickAt(creaturePoint(parent, 1));
    clickAt(creaturePoint(parent, 1));

    const std::string expected =
        "Sending -999 -999"
        "SB MYSELF:1\n"
        "Self Breeding a Leaf\n"
        "First Kid ID: 3"
        "Second Kid ID: 4"
        "Just Assigned 4\n"
        "Done with Second Kid\n"
        "X:0.000000 Y:-6.500000 Z:0.000000 \n"
        "Starting Subdivision...Starting Subdivision..."
        "Created:3 4\n";
    EXPECT_EQ(consoleAfter(console, expected), expected);

    // The two children stand in the fan above their parent, at 50 and 130 degrees, joined to it
    // by grey links; the view does not move.
    moveTo(EMPTY_SKY);
    settle();
    const Image after = x.grab(window);
    after.savePng(shotPath("self-bred.png"));
    // Self-bred children are always mutated: every part's scale is drawn anew between 0.5 and
    // 1.5 on each axis, so a child may fill as little as a quarter of the box around its place.
    for (double angle : {50.0, 130.0}) {
        const WindowPoint c = creaturePoint(fanChild(parent, angle), 1);
        const Rect around{c.x - 25, c.y - 25, 50, 50};
        EXPECT_LT(silhouette(before, around).pixels, 200) << angle;
        EXPECT_GT(silhouette(after, around).pixels, 600)
            << angle << ", see " << shotPath("self-bred.png");
    }
    EXPECT_FALSE(showsFamilyLinks(before, LOWER_HALF));
    EXPECT_TRUE(showsFamilyLinks(after, after.whole())) << "see " << shotPath("self-bred.png");
    EXPECT_LT(
        std::abs(silhouette(after, LEFT_CREATURE).maxY - silhouette(before, LEFT_CREATURE).maxY),
        3);
}

TEST_F(PopulationTest, TwoCreaturesBreedAboveTheFirstAndBreedingAParentAgainChangesItInPlace) {
    const Image before = enterPopulation();
    size_t console = viewer->transcript().size();
    const Point3 parent = startPosition(1);
    clickAt(creaturePoint(parent, 1));
    clickAt(creaturePoint(startPosition(0), 0));
    const std::string bred = "Breeding 0 and 1\nStarting Subdivision...Starting Subdivision...";
    EXPECT_EQ(consoleAfter(console, bred), bred);

    // The first child moved the view one unit farther away: the scene shrinks towards the
    // middle, so the rabbit's feet rise a few pixels.
    moveTo(EMPTY_SKY);
    settle();
    const Image after = x.grab(window);
    after.savePng(shotPath("bred.png"));
    const ViewOffsets back{0, 0, -21};
    const int rise = silhouette(before, LEFT_CREATURE).maxY - silhouette(after, LEFT_CREATURE).maxY;
    EXPECT_GE(rise, 5) << "see " << shotPath("bred.png");
    EXPECT_LE(rise, 14);
    for (double angle : {60.0, 120.0}) {
        const WindowPoint c = creaturePoint(fanChild(parent, angle), 1, back);
        const Rect around{c.x - 25, c.y - 25, 50, 50};
        EXPECT_LT(silhouette(before, around).pixels, 200) << angle;
        // A child is mutated by chance (see above): a quarter of the box at least.
        EXPECT_GT(silhouette(after, around).pixels, 600) << angle;
    }
    EXPECT_TRUE(showsFamilyLinks(after, after.whole())) << "see " << shotPath("bred.png");

    // Breeding the parent again, now with the rabbit: it and its two children change in place
    // (three refinements), no creature is added and the view stays.
    console = viewer->transcript().size();
    clickAt(creaturePoint(parent, 1, back));
    clickAt(creaturePoint(startPosition(2), 2, back));
    const std::string again =
        "Breeding 2 and 1\nStarting Subdivision...Starting Subdivision...Starting Subdivision...";
    EXPECT_EQ(consoleAfter(console, again), again);
    moveTo(EMPTY_SKY);
    settle();
    const Image rebred = x.grab(window);
    rebred.savePng(shotPath("bred-again.png"));
    EXPECT_LT(
        std::abs(silhouette(rebred, LEFT_CREATURE).maxY - silhouette(after, LEFT_CREATURE).maxY),
        3);
    // Nothing new above the children.
    for (double angle : {60.0, 120.0}) {
        for (double grandchild : {45.0, 135.0}) {
            const Point3 child = fanChild(parent, angle);
            const WindowPoint c = creaturePoint(fanChild(child, grandchild), 1, back);
            EXPECT_LT(silhouette(rebred, {c.x - 10, c.y - 10, 20, 20}).pixels,
                      silhouette(after, {c.x - 10, c.y - 10, 20, 20}).pixels + 60);
        }
    }
    EXPECT_GT(silhouetteDifference(after, rebred, CENTRE_CREATURE), 0.003)
        << "see " << shotPath("bred-again.png");
}

}  // namespace
}  // namespace e2e
