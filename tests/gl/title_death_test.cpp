// The title picture is read at start-up; without a usable one the program ends before its main
// loop, saying why.
#include <unistd.h>

#include <filesystem>

#include "app/viewer_window.h"
#include "gl_test_support.h"

namespace gltest {
namespace {

using TitleDeathTest = GlTest;

// Sets up the title in dir, with the console sent to stderr where the death test reads it.
void setUpTitleIn(const std::filesystem::path& dir) {
    std::filesystem::current_path(dir);
    dup2(2, 1);
    ViewerWindow::instance().setUpTitle();
}

TEST_F(TitleDeathTest, MissingTitleEndsTheProgram) {
    const std::filesystem::path dir = scratchDir() / "missing";
    std::filesystem::create_directories(dir);
    EXPECT_EXIT(setUpTitleIn(dir), ::testing::ExitedWithCode(255),
                "^Texture file not found: \\./image_data/title\\.raw\\.\\.\\.Quitting\\.$");
}

TEST_F(TitleDeathTest, ShortTitleEndsTheProgramTheSameWay) {
    const std::filesystem::path dir = scratchDir() / "short";
    std::filesystem::create_directories(dir / "image_data");
    writeFile(dir / "image_data" / "title.raw", std::vector<unsigned char>(3145727, 7));
    EXPECT_EXIT(setUpTitleIn(dir), ::testing::ExitedWithCode(255),
                "Texture file too short: \\./image_data/title\\.raw holds 3145727 of the "
                "3145728 bytes needed");
}

}  // namespace
}  // namespace gltest
