#include "tools/canvas.h"

#include <algorithm>
#include <cmath>

namespace art {

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb hex(unsigned value) {
    return {static_cast<float>((value >> 16) & 0xff) / 255.0f,
            static_cast<float>((value >> 8) & 0xff) / 255.0f,
            static_cast<float>(value & 0xff) / 255.0f};
}

Canvas::Canvas(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {}

void Canvas::blend(int x, int y, Rgb colour, float alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0.0f) return;
    Rgb& p = at(x, y);
    p = mix(p, colour, std::min(alpha, 1.0f));
}

unsigned char toByte(float value) {
    return static_cast<unsigned char>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

float coverage(float signedDistance) {
    return std::clamp(0.5f - signedDistance, 0.0f, 1.0f);
}

void drawLine(Canvas& canvas, float x0, float y0, float x1, float y1, float width, Rgb colour,
              float alpha) {
    const float half = width * 0.5f;
    const int left = static_cast<int>(std::floor(std::min(x0, x1) - half - 1.0f));
    const int right = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1.0f));
    const int top = static_cast<int>(std::floor(std::min(y0, y1) - half - 1.0f));
    const int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1.0f));
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float lengthSquared = dx * dx + dy * dy;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const float px = static_cast<float>(x) + 0.5f;
            const float py = static_cast<float>(y) + 0.5f;
            float t = 0.0f;
            if (lengthSquared > 0.0f) {
                t = std::clamp(((px - x0) * dx + (py - y0) * dy) / lengthSquared, 0.0f, 1.0f);
            }
            const float ex = px - (x0 + t * dx);
            const float ey = py - (y0 + t * dy);
            canvas.blend(x, y, colour, alpha * coverage(std::sqrt(ex * ex + ey * ey) - half));
        }
    }
}

void fillCircle(Canvas& canvas, float cx, float cy, float radius, Rgb colour, float alpha) {
    forEachPixelAround(cx, cy, radius, radius, [&](int x, int y) {
        const float ex = static_cast<float>(x) + 0.5f - cx;
        const float ey = static_cast<float>(y) + 0.5f - cy;
        canvas.blend(x, y, colour, alpha * coverage(std::sqrt(ex * ex + ey * ey) - radius));
    });
}

float roundedRectDistance(float px, float py, float x0, float y0, float x1, float y1,
                          float radius) {
    const float cx = (x0 + x1) * 0.5f;
    const float cy = (y0 + y1) * 0.5f;
    const float qx = std::fabs(px - cx) - ((x1 - x0) * 0.5f - radius);
    const float qy = std::fabs(py - cy) - ((y1 - y0) * 0.5f - radius);
    const float ox = std::max(qx, 0.0f);
    const float oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

void fillRoundedRect(Canvas& canvas, float x0, float y0, float x1, float y1, float radius,
                     Rgb colour, float alpha) {
    for (int y = static_cast<int>(y0) - 1; y <= static_cast<int>(y1) + 1; ++y) {
        for (int x = static_cast<int>(x0) - 1; x <= static_cast<int>(x1) + 1; ++x) {
            const float d = roundedRectDistance(
                static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, x0, y0, x1, y1, radius);
            canvas.blend(x, y, colour, alpha * coverage(d));
        }
    }
}

void strokeRoundedRect(Canvas& canvas, float x0, float y0, float x1, float y1, float radius,
                       float width, Rgb colour, float alpha) {
    for (int y = static_cast<int>(y0) - 2; y <= static_cast<int>(y1) + 2; ++y) {
        for (int x = static_cast<int>(x0) - 2; x <= static_cast<int>(x1) + 2; ++x) {
            const float d = roundedRectDistance(
                static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, x0, y0, x1, y1, radius);
            canvas.blend(x, y, colour, alpha * coverage(std::fabs(d) - width * 0.5f));
        }
    }
}

}  // namespace art
