// The installed viewer: `cmake --install` into a prefix, or the Debian package unpacked into a
// scratch root (named by CREATURES_INSTALL_PREFIX, the root's usr/; the tests skip without it),
// puts the launcher at bin/creatures, the executable under libexec, the data under share and a
// desktop entry under share/applications. The launcher must start the viewer where its data is from
// any working directory, also after the whole prefix has moved elsewhere, and so must the desktop
// entry's Exec command.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

    static fs::path launcher(const fs::path& prefix) { return prefix / "bin" / "creatures"; }

    // Runs the launcher from an empty working directory: the title shows, the first
    // mouse movement reads the three start files from the installed data, a left release shows
    // the population, and Escape ends it with status 1.
    void runInstalled(const fs::path& prefix) {
        EXPECT_TRUE(fs::is_regular_file(launcher(prefix))) << launcher(prefix);
        for (const char* file :
             {"libexec/creatures/creatures", "share/creatures/model_data/bird1.obj",
              "share/creatures/model_data/squant1.obj", "share/creatures/model_data/rabbit.obj",
              "share/creatures/image_data/title.raw"}) {
            EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
        }
        ChildProcess viewer(launcher(prefix).string(), elsewhere.string());
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

// The command line of the desktop entry's Exec key, split into words, the field codes (%f, %U,
// ...) left out. Empty when the file or the key is missing. The entry quotes nothing.
std::vector<std::string> desktopExec(const fs::path& entry) {
    std::ifstream in(entry);
    std::string line;
    bool inMainGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
        } else if (inMainGroup && line.rfind("Exec=", 0) == 0) {
            std::vector<std::string> words;
            std::istringstream split(line.substr(5));
            for (std::string word; split >> word;) {
                if (word.size() != 2 || word.front() != '%') words.push_back(word);
            }
            return words;
        }
    }
    return {};
}

// What a desktop would run for the Exec command with the installed tree's bin/ on PATH: a bare
// name from there, an absolute path inside the tree the prefix is the usr/ of.
fs::path resolveInTree(const fs::path& prefix, const std::string& command) {
    const fs::path path(command);
    if (path.is_absolute()) return prefix.parent_path() / path.relative_path();
    return prefix / "bin" / path;
}

TEST_F(InstalledViewer, DesktopEntryExecStartsTheViewer) {
    const fs::path entry = installed / "share" / "applications" / "org.example.creatures.desktop";
    const std::vector<std::string> exec = desktopExec(entry);
    ASSERT_FALSE(exec.empty()) << "no Exec line in " << entry;
    const fs::path program = resolveInTree(installed, exec.front());
    ASSERT_TRUE(fs::is_regular_file(program)) << program;

    ChildProcess viewer(program.string(), elsewhere.string(),
                        std::vector<std::string>(exec.begin() + 1, exec.end()));
    const unsigned long window = x.findWindow(TITLE, viewer.pid(), 30s);
    ASSERT_NE(window, 0u) << "no window; console: " << viewer.transcript();
    EXPECT_TRUE(waitUntil([&] { return showsTitle(x.grab(window)); }, 30s));
    x.tapKey(window, "Escape");
    const std::optional<ExitStatus> ended = viewer.waitForExit(20s);
    ASSERT_TRUE(ended) << "Escape did not end the viewer";
    EXPECT_TRUE(ended->exited);
    EXPECT_EQ(ended->status, 1);
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
