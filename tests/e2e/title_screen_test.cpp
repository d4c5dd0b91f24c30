// The real executable on an X display: the title screen, its dismissal, quitting, and the
// start-up failures of the title picture.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace e2e {
namespace {

class TitleScreenTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.connected()) << "no X display in DISPLAY"; }

    // Waits until the viewer's window shows something for which check holds; returns the last
    // grab either way.
    Image waitForScreen(unsigned long window, bool (*check)(const Image&), Millis timeout) {
        return x.grabWhen(window, check, timeout);
    }

    XSession x;
};

TEST_F(TitleScreenTest, LeftReleaseDismissesTheTitleRightReleaseDoesNotEscapeQuits) {
    ChildProcess viewer(CREATURES_EXECUTABLE, CREATURES_SOURCE_DIR);
    const unsigned long window = x.findWindow(TITLE, viewer.pid(), 30s);
    ASSERT_NE(window, 0u) << "no window; console: " << viewer.transcript();

    Image screen = waitForScreen(window, showsTitle, 30s);
    screen.savePng(shotPath("title.png"));
    ASSERT_TRUE(showsTitle(screen)) << "see " << shotPath("title.png");

    // A right click (and a middle one) leaves the title where it is.
    x.click(window, 512, 384, RIGHT);
    x.click(window, 512, 384, 2);
    EXPECT_FALSE(waitUntil([&] { return !showsTitle(x.grab(window)); }, 600ms));

    x.click(window, 512, 700, LEFT);
    screen = waitForScreen(window, showsPopulation, 20s);
    screen.savePng(shotPath("after-title.png"));
    EXPECT_TRUE(showsPopulation(screen)) << "see " << shotPath("after-title.png");

    // Pan and zoom keys and an upper-case Escape look-alike do not end the program.
    x.tapKey(window, "u");
    x.tapKey(window, "I", true);
    EXPECT_FALSE(viewer.waitForExit(300ms));

    x.tapKey(window, "Escape");
    const std::optional<ExitStatus> ended = viewer.waitForExit(20s);
    ASSERT_TRUE(ended) << "Escape did not end the program";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 1);
}

TEST_F(TitleScreenTest, EscapeOnTheTitleQuitsWithStatusOne) {
    ChildProcess viewer(CREATURES_EXECUTABLE, CREATURES_SOURCE_DIR);
    const unsigned long window = x.findWindow(TITLE, viewer.pid(), 30s);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(showsTitle(waitForScreen(window, showsTitle, 30s)));
    x.movePointer(window, 500, 300);
    x.tapKey(window, "Escape");
    const std::optional<ExitStatus> ended = viewer.waitForExit(20s);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 1);
}

class StartUpFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "creatures-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
};

TEST_F(StartUpFailureTest, MissingTitlePictureEndsWithItsMessage) {
    ChildProcess viewer(CREATURES_EXECUTABLE, dir.string());
    const std::optional<ExitStatus> ended = viewer.waitForExit(30s);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 255);
    EXPECT_EQ(viewer.transcript(), "Texture file not found: ./image_data/title.raw...Quitting.");
}

TEST_F(StartUpFailureTest, ShortTitlePictureEndsTheSameWay) {
    std::filesystem::create_directories(dir / "image_data");
    std::ofstream(dir / "image_data" / "title.raw", std::ios::binary) << std::string(1000, 'x');
    ChildProcess viewer(CREATURES_EXECUTABLE, dir.string());
    const std::optional<ExitStatus> ended = viewer.waitForExit(30s);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 255);
    EXPECT_EQ(viewer.transcript(),
              "Texture file too short: ./image_data/title.raw holds 1000 of the 3145728 bytes "
              "needed...Quitting.\n");
}

}  // namespace
}  // namespace e2e
