#include "view/camera.h"

#include <array>
#include <cmath>

#include <GL/gl.h>

#include "app/viewer_window.h"
#include "gl_test_support.h"
#include "view/arcball.h"

namespace gltest {
namespace {

using CameraTest = GlTest;

std::array<GLint, 4> viewport() {
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// gluPerspective(45, aspect, 0.1, 1000) written out.
std::array<double, 16> perspective(double aspect) {
    const double f = 1.0 / std::tan(45.0 * 3.14159265358979323846 / 360.0);
    const double near = 0.1;
    const double far = 1000.0;
    std::array<double, 16> m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (far + near) / (near - far);
    m[11] = -1.0;
    m[14] = 2.0 * far * near / (near - far);
    return m;
}

std::array<double, 16> translation(double x, double y, double z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

void expectNear(const std::array<double, 16>& actual, const std::array<double, 16>& expected) {
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-5 * (1.0 + std::fabs(expected[i]))) << i;
    }
}

TEST_F(CameraTest, ReshapeSetsViewportProjectionAndSceneTranslation) {
    const Camera& camera = Camera::instance();
    EXPECT_EQ(camera.width, 1024);
    EXPECT_EQ(camera.height, 768);
    EXPECT_EQ(camera.aspect, 1.3333334f);
    EXPECT_EQ(ViewerWindow::instance().width, 1024);
    EXPECT_EQ(ViewerWindow::instance().height, 768);
    EXPECT_EQ(ArcBall::instance().adjustWidth, 1.0f / 511.5f);
    EXPECT_EQ(ArcBall::instance().adjustHeight, 1.0f / 383.5f);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 1024, 768}));

    expectNear(matrix(GL_PROJECTION_MATRIX), perspective(1024.0f / 768.0f));
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), translation(0, 0, -20));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(CameraTest, ResizeUpdatesEverySize) {
    Camera::instance().reshape(640, 480);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
    EXPECT_EQ(ViewerWindow::instance().width, 640);
    EXPECT_EQ(ViewerWindow::instance().height, 480);
    EXPECT_EQ(ArcBall::instance().adjustWidth, 1.0f / 319.5f);
    EXPECT_EQ(ArcBall::instance().mapToSphere({319.5f, 239.5f}), (Vec3{0, 0, 1}));

    Camera::instance().reshape(300, 600);
    EXPECT_EQ(Camera::instance().aspect, 0.5f);
    expectNear(matrix(GL_PROJECTION_MATRIX), perspective(0.5));
}

TEST_F(CameraTest, NonPositiveSizeChangesNothing) {
    InputController::instance().viewOffsetX = 7.0f;  // would show if the view were re-applied
    const auto projection = matrix(GL_PROJECTION_MATRIX);
    const auto modelView = matrix(GL_MODELVIEW_MATRIX);
    const ArcBall before = ArcBall::instance();

    for (const auto& [w, h] : {std::pair{0, 600}, {800, 0}, {-1, 768}, {1024, -5}, {0, 0}}) {
        Camera::instance().reshape(w, h);
        EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 1024, 768}));
        EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection);
        EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelView);
        EXPECT_EQ(Camera::instance().width, 1024);
        EXPECT_EQ(Camera::instance().height, 768);
        EXPECT_EQ(Camera::instance().aspect, 1.3333334f);
        EXPECT_EQ(ViewerWindow::instance().width, 1024);
        EXPECT_EQ(ViewerWindow::instance().height, 768);
        EXPECT_EQ(ArcBall::instance().adjustWidth, before.adjustWidth);
        EXPECT_EQ(ArcBall::instance().adjustHeight, before.adjustHeight);
    }
}

TEST_F(CameraTest, OnePixelWindowKeepsTheTrackballFinite) {
    Camera::instance().reshape(1, 1);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 1, 1}));
    const Vec3 p = ArcBall::instance().mapToSphere({0, 0});
    EXPECT_EQ(p, (Vec3{0, 0, 1}));
}

}  // namespace
}  // namespace gltest
