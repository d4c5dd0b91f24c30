// Entry point of the GL tests: opens the window and initialises the viewer window once per
// process, inside a scratch working directory with a synthetic title picture.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <system_error>
#include <thread>

#include <GL/freeglut.h>

#include "app/viewer_window.h"
#include "gl_test_support.h"
#include "view/arcball.h"
#include "view/camera.h"

namespace gltest {
namespace {

std::filesystem::path& scratchPath() {
    static std::filesystem::path path;
    return path;
}

InputController& initialInputCopy() {
    static InputController* copy = new InputController(InputController::instance());
    return *copy;
}

void removeScratch() {
    std::error_code ignored;
    if (!scratchPath().empty()) std::filesystem::remove_all(scratchPath(), ignored);
}

// file row 0 is the bottom of the picture: bottom half first.
std::vector<unsigned char> quadrantTitle() {
    const int size = TITLE_IMAGE_SIZE;
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<std::size_t>(size) * size * 3);
    for (int row = 0; row < size; ++row) {
        for (int col = 0; col < size; ++col) {
            const bool top = row >= size / 2;
            const bool right = col >= size / 2;
            const Rgb8 c = top ? (right ? TITLE_TOP_RIGHT : TITLE_TOP_LEFT)
                               : (right ? TITLE_BOTTOM_RIGHT : TITLE_BOTTOM_LEFT);
            bytes.insert(bytes.end(), {c.r, c.g, c.b});
        }
    }
    return bytes;
}

// GLUT asks for the first display once the window is shown at its size.
bool g_shown = false;
void noteDisplay() {
    g_shown = true;
}

class GlEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "creatures-gl-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(3);
        }
        scratchPath() = pattern;
        std::atexit(removeScratch);
        std::filesystem::create_directories(scratchPath() / "image_data");
        writeFile(scratchPath() / "image_data" / "title.raw", quadrantTitle());
        std::filesystem::copy(std::filesystem::path(CREATURES_SOURCE_DIR) / "model_data",
                              scratchPath() / "model_data");
        std::filesystem::current_path(scratchPath());

        int argc = 1;
        char name[] = "creatures_gl_tests";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
        glutInitWindowSize(1024, 768);
        glutCreateWindow("Subdivision Surfaces");
        glutDisplayFunc(noteDisplay);
        // The window's first events, handled until it is shown (a busy server takes its time).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!g_shown && std::chrono::steady_clock::now() < deadline) {
            glutMainLoopEvent();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!g_shown) {
            std::fputs("the test window was not shown\n", stderr);
            std::exit(3);
        }

        (void)initialInputCopy();
        ViewerWindow::instance().init(1024, 768);
    }
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const Rgb8& c) {
    return out << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
}

const std::filesystem::path& scratchDir() {
    return scratchPath();
}

const InputController& initialInput() {
    return initialInputCopy();
}

void writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

std::vector<Rgb8> readBackBuffer(int width, int height) {
    std::vector<Rgb8> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::array<double, 16> matrix(unsigned int which) {
    std::array<double, 16> m{};
    glGetDoublev(which, m.data());
    return m;
}

World& startWorld() {
    World& world = World::instance();
    static const World* const loaded = new World(world);
    world = *loaded;
    return world;
}

void GlTest::SetUp() {
    InputController::instance() = initialInput();
    ArcBall::instance() = ArcBall(1024, 768);
    Camera::instance().reshape(1024, 768);
}

}  // namespace gltest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests run in a fresh process: a forked child would share the X connection.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::AddGlobalTestEnvironment(new gltest::GlEnvironment);
    return RUN_ALL_TESTS();
}
