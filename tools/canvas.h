// A float RGB canvas and the anti-aliased shapes the build-time pictures are drawn with (the
// title picture and the icon): each shape covers a pixel by its distance to the pixel centre.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace art {

struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

// a + (b - a) * t per channel.
Rgb mix(Rgb a, Rgb b, float t);
// 0xRRGGBB as a colour.
Rgb hex(unsigned value);

// The palette: a deep night-blue ground, warm and cool accents.
inline const Rgb INK_TOP = hex(0x141a33);
inline const Rgb INK_BOTTOM = hex(0x0b2a3a);
inline const Rgb WHITE = hex(0xf4f1ea);
inline const Rgb MUTED = hex(0xa9b8cc);
inline const Rgb CORAL = hex(0xff8a6b);
inline const Rgb MINT = hex(0x7fe0c3);
inline const Rgb SKY = hex(0x8cc8ff);

// Pixels row by row, row 0 at the top, all black at first. Painting blends with a coverage in
// 0 .. 1; pixels outside the canvas are left alone.
class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    void blend(int x, int y, Rgb colour, float alpha);
    // The pixel at (x, y), which must lie on the canvas.
    Rgb& at(int x, int y) { return pixels_[index(x, y)]; }
    const Rgb& at(int x, int y) const { return pixels_[index(x, y)]; }

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

// A channel in 0 .. 1 as a byte, rounded.
unsigned char toByte(float value);

// How much of a pixel a shape covers whose edge lies at this signed distance from the pixel
// centre (negative inside): a one-pixel ramp.
float coverage(float signedDistance);

// Calls paint(x, y) for each pixel of the box that reaches rx across and ry up and down from
// (cx, cy), with a pixel to spare for an anti-aliased edge.
template <typename Paint>
void forEachPixelAround(float cx, float cy, float rx, float ry, Paint&& paint) {
    const int left = static_cast<int>(std::floor(cx - rx - 1.0f));
    const int right = static_cast<int>(std::ceil(cx + rx + 1.0f));
    const int top = static_cast<int>(std::floor(cy - ry - 1.0f));
    const int bottom = static_cast<int>(std::ceil(cy + ry + 1.0f));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            paint(x, y);
        }
    }
}

void drawLine(Canvas& canvas, float x0, float y0, float x1, float y1, float width, Rgb colour,
              float alpha);
void fillCircle(Canvas& canvas, float cx, float cy, float radius, Rgb colour, float alpha);

// Signed distance to a rounded rectangle given by its corners and corner radius.
float roundedRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius);
void fillRoundedRect(Canvas& canvas, float x0, float y0, float x1, float y1, float radius,
                     Rgb colour, float alpha);
void strokeRoundedRect(Canvas& canvas, float x0, float y0, float x1, float y1, float radius,
                       float width, Rgb colour, float alpha);

}  // namespace art
