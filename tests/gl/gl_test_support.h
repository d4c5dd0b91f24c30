// Shared set-up of the GL tests: one GLUT window as the program opens it (1024 x 768,
// double-buffered with depth), the viewer window initialised in a scratch working directory
// that holds a synthetic title picture, and helpers to read pixels and matrices back.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "creature/world.h"
#include "view/input_controller.h"

namespace gltest {

struct Rgb8 {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Rgb8&, const Rgb8&) = default;
};
std::ostream& operator<<(std::ostream& out, const Rgb8& c);

// The clear colour (0.41, 0.61, 0.81) in an 8-bit framebuffer.
inline constexpr Rgb8 CLEAR_RGB{105, 156, 207};

// The synthetic title picture: one colour per quadrant, as seen on screen.
inline constexpr Rgb8 TITLE_BOTTOM_LEFT{230, 40, 40};
inline constexpr Rgb8 TITLE_BOTTOM_RIGHT{40, 200, 60};
inline constexpr Rgb8 TITLE_TOP_LEFT{30, 30, 160};
inline constexpr Rgb8 TITLE_TOP_RIGHT{250, 250, 250};

// The scratch working directory of this test process (removed at exit). It holds a synthetic
// title picture and a copy of the start creature files.
const std::filesystem::path& scratchDir();

// The input controller as it was when it was created, before any test touched it.
const InputController& initialInput();

void writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// The back buffer of the window, rows bottom first.
std::vector<Rgb8> readBackBuffer(int width, int height);

std::array<double, 16> matrix(unsigned int which);  // GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX

// The program's World as the start-up load made it (loaded on the first call, from the start
// creature files copied into the scratch directory): every call puts the start population back.
World& startWorld();

// Every GL test starts from the program's start values: input controller as created, title
// shown, a fresh trackball, and the camera reshaped to 1024 x 768.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
};

}  // namespace gltest
