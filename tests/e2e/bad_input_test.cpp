// The real executable on bad input files, each run in a scratch working directory that holds a
// copy of ./model_data and ./image_data with one file replaced: what the program prints, and how
// it ends (or that it goes on running). The start creatures are read at the first mouse
// movement, so the tests move the pointer over the title.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"
#include "scene.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// A closed sphere of radius 2 with rings x segments quads split in two, as OBJ text: one body
// part, clockwise seen from outside like the shipped creatures.
std::string sphereObj(int rings, int segments) {
    constexpr double PI = 3.14159265358979323846;
    std::ostringstream out;
    out << "v 0 2 0\n";
    for (int r = 1; r < rings; ++r) {
        const double theta = PI * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double phi = 2.0 * PI * s / segments;
            out << "v " << 2.0 * std::sin(theta) * std::cos(phi) << ' ' << 2.0 * std::cos(theta)
                << ' ' << 2.0 * std::sin(theta) * std::sin(phi) << '\n';
        }
    }
    out << "v 0 -2 0\ng head\n";
    const int south = 2 + (rings - 1) * segments;
    const auto at = [segments](int r, int s) { return 2 + (r - 1) * segments + s % segments; };
    for (int s = 0; s < segments; ++s)
        out << "f 1 " << at(1, s + 1) << ' ' << at(1, s) << '\n';
    for (int r = 1; r < rings - 1; ++r) {
        for (int s = 0; s < segments; ++s) {
            out << "f " << at(r, s) << ' ' << at(r, s + 1) << ' ' << at(r + 1, s + 1) << '\n';
            out << "f " << at(r, s) << ' ' << at(r + 1, s + 1) << ' ' << at(r + 1, s) << '\n';
        }
    }
    for (int s = 0; s < segments; ++s) {
        out << "f " << south << ' ' << at(rings - 1, s) << ' ' << at(rings - 1, s + 1) << '\n';
    }
    return out.str();
}

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.connected()) << "no X display in DISPLAY";
        std::string pattern = (fs::temp_directory_path() / "creatures-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        const fs::path source(CREATURES_SOURCE_DIR);
        fs::create_directories(dir / "model_data");
        fs::create_directories(dir / "image_data");
        for (const char* name : {"bird1.obj", "squant1.obj", "rabbit.obj"}) {
            fs::copy_file(source / "model_data" / name, dir / "model_data" / name);
        }
        fs::copy_file(source / "image_data" / "title.raw", dir / "image_data" / "title.raw");
    }

    void TearDown() override {
        viewer.reset();
        fs::remove_all(dir);
    }

    void write(const fs::path& relative, const std::string& bytes) const {
        fs::remove_all(dir / relative);
        std::ofstream(dir / relative, std::ios::binary) << bytes;
    }

    // Starts the viewer in the scratch directory and waits for its title screen.
    void start() {
        viewer = std::make_unique<ChildProcess>(CREATURES_EXECUTABLE, dir.string());
        window = x.findWindow(TITLE, viewer->pid(), 30s);
        ASSERT_NE(window, 0u) << "no window; console: " << viewer->transcript();
        ASSERT_TRUE(showsTitle(waitFor(showsTitle, 30s)));
    }

    // Moves the pointer, which makes the viewer read its start creatures.
    void load() { x.movePointer(window, EMPTY_SKY.x, EMPTY_SKY.y); }

    Image waitFor(bool (*check)(const Image&), Millis timeout) {
        return x.grabWhen(window, check, timeout);
    }

    // The viewer ends within timeout with the given exit status.
    void expectExit(int status, Millis timeout = 60s) {
        const std::optional<ExitStatus> ended = viewer->waitForExit(timeout);
        ASSERT_TRUE(ended) << "still running; console: " << viewer->transcript();
        EXPECT_TRUE(ended->exited) << "signal " << ended->signal;
        EXPECT_EQ(ended->status, status);
    }

    void quit() {
        x.tapKey(window, "Escape");
        expectExit(1, 20s);
    }

    // Ends of the console, for messages that follow the long start-up reports.
    std::string tail(size_t length) const {
        const std::string all = viewer->transcript();
        return all.size() > length ? all.substr(all.size() - length) : all;
    }

    XSession x;
    fs::path dir;
    std::unique_ptr<ChildProcess> viewer;
    unsigned long window = 0;
};

// ---- Start creature files ----------------------------------------------------------------------

TEST_F(BadInputTest, MissingModelFileEndsWithStatus255) {
    fs::remove(dir / "model_data" / "bird1.obj");
    start();
    load();
    expectExit(255);
    EXPECT_EQ(viewer->transcript(),
              "Opening ./model_data/bird1.obj\nCannot Open ./model_data/bird1.obj... Quitting!\n");
}

TEST_F(BadInputTest, MalformedLineEndsWithStatusOne) {
    write("model_data/rabbit.obj", "v 0 0 0\nvn 0 1\n");
    start();
    load();
    expectExit(1);
    const std::string expected =
        "Opening ./model_data/rabbit.obj\nError! Normal vector count not 3\n";
    EXPECT_EQ(tail(expected.size()), expected);
}

TEST_F(BadInputTest, RingThatDoesNotCloseEndsWithStatusOne) {
    write("model_data/bird1.obj",
          "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 0 0 1\ng head\n"
          "f 1 2 3\nf 1 2 4\nf 2 1 5\nf 3 2 5\n");
    start();
    load();
    expectExit(1);
    const std::string expected =
        "Calculating Normals...Error! The triangles around vertex 2 of part \"head\" do not close "
        "(vertex normal): the mesh is not a surface\n";
    EXPECT_EQ(tail(expected.size()), expected);
}

TEST_F(BadInputTest, DifferentTopologyRunsAndRefusesToBreedAcross) {
    // A tetrahedron for the rabbit.
    write("model_data/rabbit.obj",
          "v 1 1 1\nv -1 -1 1\nv -1 1 -1\nv 1 -1 -1\ng head\n"
          "f 1 2 4\nf 1 3 2\nf 1 4 3\nf 2 3 4\n");
    start();
    load();
    ASSERT_TRUE(viewer->waitForOutput("Parsed obj file ./model_data/rabbit.obj", 60s));
    x.click(window, EMPTY_SKY.x, EMPTY_SKY.y, LEFT);
    const Image before = waitFor(showsPopulation, 30s);
    ASSERT_TRUE(showsPopulation(before));
    std::this_thread::sleep_for(300ms);

    // Pick the squant (the first parent), then the rabbit.
    const size_t console = viewer->transcript().size();
    const Point3 squant = objCentre(std::string(CREATURES_SOURCE_DIR) + "/model_data/squant1.obj");
    const WindowPoint parent = project({squant.x, -6.5 + squant.y, squant.z});
    const WindowPoint partner = project({-10, -6.5, -5});
    x.click(window, parent.x, parent.y, LEFT);
    x.click(window, partner.x, partner.y, LEFT);
    const std::string refused =
        "Breeding 2 and 1\n"
        "Error! Cannot breed creature 1: the two meshes differ (different numbers of body parts)\n";
    ASSERT_TRUE(
        waitUntil([&] { return viewer->transcript().size() >= console + refused.size(); }, 30s));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(viewer->transcript().substr(console), refused);

    // Nothing appeared above the squant, and the view did not move back.
    x.movePointer(window, EMPTY_SKY.x, EMPTY_SKY.y);
    ASSERT_TRUE(x.waitForFrames(window, 2, 30s)) << "the viewer stopped drawing";
    const Image after = x.grab(window);
    after.savePng(shotPath("refused.png"));
    for (double angle : {60.0, 120.0}) {
        const Point3 child = fanChild(startPosition(1), angle);
        const WindowPoint c = project({child.x + squant.x, child.y + squant.y, child.z + squant.z});
        EXPECT_LT(silhouette(after, {c.x - 25, c.y - 25, 50, 50}).pixels, 200)
            << angle << ", see " << shotPath("refused.png");
    }
    EXPECT_FALSE(showsFamilyLinks(after, after.whole()))
        << linkGreyPixels(after, after.whole()) << " link-grey pixels, see "
        << shotPath("refused.png");
    quit();
}

TEST_F(BadInputTest, OversizedModelFileLoadsAndShows) {
    // 180,000 triangles for the bird, about 150 times the shipped size.
    write("model_data/bird1.obj", sphereObj(301, 300));
    start();
    load();
    ASSERT_TRUE(viewer->waitForOutput("Parsed obj file ./model_data/rabbit.obj", 120s))
        << tail(400);
    EXPECT_NE(viewer->transcript().find("Faces:180000\n"), std::string::npos);
    x.click(window, EMPTY_SKY.x, EMPTY_SKY.y, LEFT);
    const Image shown = waitFor(showsPopulation, 60s);
    shown.savePng(shotPath("oversized-bird.png"));
    EXPECT_TRUE(showsPopulation(shown)) << "see " << shotPath("oversized-bird.png");
    // The sphere stands where the bird would.
    const WindowPoint bird = project({10, -6.5, -5});
    EXPECT_GT(silhouette(shown, {bird.x - 30, bird.y - 30, 60, 60}).pixels, 2000);
    quit();
}

// ---- The title picture -------------------------------------------------------------------------

TEST_F(BadInputTest, UnreadableOrEmptyTitleEndsWithStatus255) {
    // A directory in the file's place opens, but cannot be read.
    fs::remove(dir / "image_data" / "title.raw");
    fs::create_directory(dir / "image_data" / "title.raw");
    viewer = std::make_unique<ChildProcess>(CREATURES_EXECUTABLE, dir.string());
    expectExit(255, 30s);
    EXPECT_EQ(viewer->transcript(), "Texture file not found: ./image_data/title.raw...Quitting.");

    write("image_data/title.raw", "");
    viewer = std::make_unique<ChildProcess>(CREATURES_EXECUTABLE, dir.string());
    expectExit(255, 30s);
    EXPECT_EQ(viewer->transcript(),
              "Texture file too short: ./image_data/title.raw holds 0 of the 3145728 bytes "
              "needed...Quitting.\n");
}

TEST_F(BadInputTest, OversizedTitleShowsItsFirstBytes) {
    // Four times the size: the picture is the first 1024 x 1024 x 3 bytes.
    std::ifstream in(dir / "image_data" / "title.raw", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ASSERT_EQ(bytes.size(), 3145728u);
    write("image_data/title.raw", bytes + std::string(3 * bytes.size(), '\x7f'));
    start();
    EXPECT_EQ(viewer->transcript(), "");
    quit();
}

}  // namespace
}  // namespace e2e
