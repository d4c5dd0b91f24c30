#include "app/viewer_window.h"

#include <array>
#include <chrono>
#include <cmath>
#include <thread>

#include <GL/freeglut.h>

#include "gl_test_support.h"
#include "view/input_controller.h"

namespace gltest {
namespace {

using ViewerWindowTest = GlTest;

std::array<float, 4> floats4(GLenum name) {
    std::array<float, 4> v{};
    glGetFloatv(name, v.data());
    return v;
}

std::array<float, 4> light(GLenum lightName, GLenum parameter) {
    std::array<float, 4> v{};
    glGetLightfv(lightName, parameter, v.data());
    return v;
}

GLint integer(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

TEST_F(ViewerWindowTest, StartUpStateIsTheFixedOne) {
    EXPECT_EQ(floats4(GL_COLOR_CLEAR_VALUE), (std::array<float, 4>{0.41f, 0.61f, 0.81f, 1.0f}));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    GLint polygonMode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_FILL);
    EXPECT_EQ(integer(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
    EXPECT_EQ(integer(GL_FRONT_FACE), GL_CW);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLfloat depthClear = 0.0f;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depthClear);
    EXPECT_EQ(depthClear, 1.0f);
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewerWindowTest, ThreeLightsAreConfiguredButLightingStaysOff) {
    using V = std::array<float, 4>;
    const struct {
        GLenum name;
        V position, ambient, diffuse, specular;
    } lights[] = {
        {GL_LIGHT0,
         {1, 1, 1, 1},
         {0.5f, 0.1f, 0.4f, 1},
         {0.2f, 0.2f, 0.245f, 1},
         {0.4f, 0.5f, 0.2f, 1}},
        {GL_LIGHT1,
         {-1, 1, 1, 1},
         {0.12f, 0.3f, 0.3f, 1},
         {0.34f, 0.45f, 0.2f, 1},
         {0.1f, 0.2f, 0.3f, 1}},
        {GL_LIGHT2,
         {1, 1.5f, -1, 0.4f},
         {0.42f, 0.4f, 0.44f, 1},
         {0.46f, 0.45f, 0.5f, 1},
         {0.7f, 0.4f, 0.4f, 1}},
    };
    for (const auto& l : lights) {
        SCOPED_TRACE(l.name - GL_LIGHT0);
        EXPECT_TRUE(glIsEnabled(l.name));
        // Positions are stored in eye coordinates; the model-view matrix was the identity.
        EXPECT_EQ(light(l.name, GL_POSITION), l.position);
        EXPECT_EQ(light(l.name, GL_AMBIENT), l.ambient);
        EXPECT_EQ(light(l.name, GL_DIFFUSE), l.diffuse);
        EXPECT_EQ(light(l.name, GL_SPECULAR), l.specular);
    }
    EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
}

TEST_F(ViewerWindowTest, TitleTextureAndListAreMadeOnce) {
    const ViewerWindow& window = ViewerWindow::instance();
    EXPECT_FALSE(window.titleImage.hasPixels());
    ASSERT_NE(window.titleImage.textureId, 0u);
    EXPECT_TRUE(glIsList(window.titleList));

    glBindTexture(GL_TEXTURE_2D, window.titleImage.textureId);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 1024);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    EXPECT_EQ(value, 1024);
}

TEST_F(ViewerWindowTest, DisplayPassesLeaveTheCameraTranslation) {
    const std::array<double, 16> before = matrix(GL_MODELVIEW_MATRIX);
    EXPECT_EQ(before[14], -20.0);

    ViewerWindow& window = ViewerWindow::instance();
    for (int i = 0; i < 3; ++i)
        window.display();
    InputController::instance().titleShown = 0;
    for (int i = 0; i < 3; ++i)
        window.display();

    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(integer(GL_FRONT_FACE), GL_CW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

// The idle tick reads GLUT's clock and asks for a frame: GLUT's next event pass shows one. No
// other input asks for frames, so without the tick none would come.
TEST_F(ViewerWindowTest, IdleTickMovesTheClockOnAndAFrameFollows) {
    static int frames = 0;
    glutDisplayFunc([] { ++frames; });
    glutMainLoopEvent();  // whatever was under way before
    frames = 0;
    ViewerWindow& window = ViewerWindow::instance();
    const int before = glutGet(GLUT_ELAPSED_TIME);
    window.currentTime = -1.0f;
    window.tick();
    EXPECT_GE(window.currentTime, static_cast<float>(before));
    EXPECT_LE(window.currentTime, static_cast<float>(glutGet(GLUT_ELAPSED_TIME)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (frames == 0 && std::chrono::steady_clock::now() < deadline) {
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(frames, 1) << "no frame came within 5 s of the idle tick";
}

// Column range [first, last] of pixels in a row that differ from the clear colour.
std::pair<int, int> pictureSpan(const std::vector<Rgb8>& pixels, int width, int row) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < width; ++x) {
        if (pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)] != CLEAR_RGB) {
            if (first < 0) first = x;
            last = x;
        }
    }
    return {first, last};
}

TEST_F(ViewerWindowTest, TitleIsCentredUprightWithClearColourAtTheSides) {
    constexpr int w = 1024;
    constexpr int h = 768;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ViewerWindow::instance().drawTitle();
    const std::vector<Rgb8> pixels = readBackBuffer(w, h);
    auto at = [&](int x, int y) {
        return pixels[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)];
    };

    // The 2 x 2 quad at distance 2.5 under a 45 degree field of view: 2 / (2.5 tan 22.5)
    // of the height, about 742 pixels, square on screen, centred.
    const auto [left, right] = pictureSpan(pixels, w, h / 2);
    ASSERT_GE(left, 0) << "the title quad was culled or not drawn";
    EXPECT_NEAR(right - left + 1, 742, 3);
    EXPECT_LE(std::abs(left - (w - 1 - right)), 1);
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(at(0, y), CLEAR_RGB);
        EXPECT_EQ(at(left - 2, y), CLEAR_RGB);
        EXPECT_EQ(at(right + 2, y), CLEAR_RGB);
        EXPECT_EQ(at(w - 1, y), CLEAR_RGB);
    }
    // A thin band of clear colour above and below.
    int bottom = -1;
    int top = -1;
    for (int y = 0; y < h; ++y) {
        if (at(w / 2, y) != CLEAR_RGB) {
            if (bottom < 0) bottom = y;
            top = y;
        }
    }
    EXPECT_NEAR(top - bottom + 1, 742, 3);
    EXPECT_LE(std::abs(bottom - (h - 1 - top)), 1);

    // Upright and unmirrored: the file's first rows are at the bottom.
    EXPECT_EQ(at(w / 2 - 150, h / 2 - 150), TITLE_BOTTOM_LEFT);
    EXPECT_EQ(at(w / 2 + 150, h / 2 - 150), TITLE_BOTTOM_RIGHT);
    EXPECT_EQ(at(w / 2 - 150, h / 2 + 150), TITLE_TOP_LEFT);
    EXPECT_EQ(at(w / 2 + 150, h / 2 + 150), TITLE_TOP_RIGHT);

    // Drawing the title leaves the system's winding and no texturing behind.
    EXPECT_EQ(integer(GL_FRONT_FACE), GL_CW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

}  // namespace
}  // namespace gltest
