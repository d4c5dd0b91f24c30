// The installed viewer: `cmake --install` into a prefix (named by CREATURES_INSTALL_PREFIX; the
// tests skip without it) puts the launcher at bin/creatures, the executable under libexec and the
// data under share. The launcher must start the viewer where its data is from any working
// directory, also after the whole prefix has moved elsewhere.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"
#include "scene.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class InstalledViewer : public ::testing::Test {
protected:
    void SetUp() override {
        const char* prefix = std::getenv("CREATURES_INSTALL_PREFIX");
        if (prefix == nullptr || *prefix == '\0') {
            GTEST_SKIP() << "CREATURES_INSTALL_PREFIX names no installed tree";
        }
        installed = fs::path(prefix);
        ASSERT_TRUE(x.connected()) << "no X display in DISPLAY";
        std::string pattern = (fs::temp_directory_path() / "creatures-elsewhere-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        elsewhere = pattern;
    }

    void TearDown() override {
        if (!elsewhere.empty()) fs::remove_all(elsewhere);
    }

    // Runs prefix/bin/creatures from an empty working directory: the title shows, the first
    // mouse movement reads the three start files from the installed data, a left release shows
    // the population, and Escape ends it with status 1.
    void runInstalled(const fs::path& prefix) {
        for (const char* file :
             {"bin/creatures", "libexec/creatures/creatures",
              "share/creatures/model_data/bird1.obj", "share/creatures/model_data/squant1.obj",
              "share/creatures/model_data/rabbit.obj", "share/creatures/image_data/title.raw"}) {
            EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
        }
        ChildProcess viewer((prefix / "bin" / "creatures").string(), elsewhere.string());
        const unsigned long window = x.findWindow(TITLE, viewer.pid(), 30s);
        ASSERT_NE(window, 0u) << "no window; console: " << viewer.transcript();
        ASSERT_TRUE(waitUntil([&] { return showsTitle(x.grab(window)); }, 30s));

        std::string problem;
        const std::string load =
            expectedLoadTranscript((prefix / "share" / "creatures").string(), problem);
        EXPECT_EQ(problem, "");
        x.movePointer(window, EMPTY_SKY.x, EMPTY_SKY.y);
        ASSERT_TRUE(waitUntil([&] { return viewer.transcript().size() >= load.size(); }, 60s))
            << viewer.transcript();
        EXPECT_EQ(viewer.transcript().substr(0, load.size()), load);
        for (const char* name : {"bird1", "squant1", "rabbit"}) {
            EXPECT_NE(viewer.transcript().find(std::string("Parsed obj file ./model_data/") + name +
                                               ".obj\n"),
                      std::string::npos)
                << name;
        }

        x.click(window, EMPTY_SKY.x, EMPTY_SKY.y, 1);
        Image shown;
        waitUntil(
            [&] {
                shown = x.grab(window);
                return showsPopulation(shown);
            },
            30s);
        EXPECT_TRUE(showsPopulation(shown));

        x.tapKey(window, "Escape");
        const std::optional<ExitStatus> ended = viewer.waitForExit(20s);
        ASSERT_TRUE(ended) << "Escape did not end the viewer";
        EXPECT_TRUE(ended->exited);
        EXPECT_EQ(ended->status, 1);
    }

    XSession x;
    fs::path installed;
    fs::path elsewhere;
};

TEST_F(InstalledViewer, RunsFromAnotherWorkingDirectory) {
    runInstalled(installed);
}

TEST_F(InstalledViewer, RunsAfterThePrefixHasMoved) {
    const fs::path moved = installed.parent_path() / (installed.filename().string() + "-moved");
    fs::rename(installed, moved);
    // Put back however the test ends.
    struct MoveBack {
        fs::path from, to;
        ~MoveBack() {
            std::error_code ignored;
            fs::rename(from, to, ignored);
        }
    } back{moved, installed};
    runInstalled(moved);
}

}  // namespace
}  // namespace e2e
