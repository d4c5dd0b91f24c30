// Draws the viewer's icon: a round mint creature with a subdivided wireframe skin, two eyes and a
// smile, on a night-blue rounded tile, at each of the usual icon sizes. Every size is drawn
// afresh, not scaled, so the small ones stay sharp; below 64 pixels the wireframe is left out,
// and below 32 the smile, as they would only blur.
//
// Usage: make_icon --out DIR
// writes DIR/<size>x<size>/apps/creatures.png (RGBA, transparent around the tile) for the sizes
// 16, 22, 24, 32, 48, 64, 128, 192, 256 and 512: the layout of an icon theme (the two largest
// are also the web page's, for a phone's home screen).
//
// The output depends only on libpng and zlib: no clock, no chance, no text chunks.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <png.h>

#include "tools/canvas.h"
#include "tools/wire_sphere.h"

namespace {

using art::Canvas;
using art::hex;
using art::mix;
using art::Rgb;

constexpr int SIZES[] = {16, 22, 24, 32, 48, 64, 128, 192, 256, 512};

const Rgb GLOW = hex(0x2a4a7a);
const Rgb EDGE = hex(0x5d74a8);
const Rgb BODY_DARK = hex(0x1f6f66);
const Rgb WIRE = hex(0xc4f5e6);
const Rgb PUPIL = hex(0x10162b);

// The icon is laid out on a 256-unit square; Layout turns units into pixels of one size.
struct Layout {
    float scale;
    float operator()(float units) const { return units * scale; }
};

// The tile's outline in units: a rounded square with a margin, as icon themes expect.
constexpr float TILE_MIN = 10.0f;
constexpr float TILE_MAX = 246.0f;
constexpr float TILE_RADIUS = 52.0f;

float tileDistance(const Layout& at, int x, int y) {
    return art::roundedRectDistance(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f,
                                    at(TILE_MIN), at(TILE_MIN), at(TILE_MAX), at(TILE_MAX),
                                    at(TILE_RADIUS));
}

// Ground: the title picture's vertical gradient with a soft glow behind the creature, over the
// whole canvas, so the tile's anti-aliased edge keeps its colour and only its alpha fades.
void paintGround(Canvas& canvas, const Layout& at) {
    for (int y = 0; y < canvas.height(); ++y) {
        const float v = static_cast<float>(y) / static_cast<float>(canvas.height() - 1);
        const Rgb row = mix(art::INK_TOP, art::INK_BOTTOM, v);
        for (int x = 0; x < canvas.width(); ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - at(128.0f)) / at(120.0f);
            const float dy = (static_cast<float>(y) + 0.5f - at(120.0f)) / at(120.0f);
            const float glow = std::exp(-(dx * dx + dy * dy) * 1.4f);
            canvas.at(x, y) = mix(row, GLOW, 0.55f * glow);
        }
    }
}

// A filled ellipse with the given half-axes, faded by alpha.
void fillEllipse(Canvas& canvas, float cx, float cy, float rx, float ry, Rgb colour, float alpha) {
    const float radius = std::min(rx, ry);
    art::forEachPixelAround(cx, cy, rx, ry, [&](int x, int y) {
        const float ex = (static_cast<float>(x) + 0.5f - cx) / rx;
        const float ey = (static_cast<float>(y) + 0.5f - cy) / ry;
        // Distance in pixels along the shorter half-axis: close enough at the edge.
        const float d = (std::sqrt(ex * ex + ey * ey) - 1.0f) * radius;
        canvas.blend(x, y, colour, alpha * art::coverage(d));
    });
}

// The body: a sphere lit from the upper left, dark at its rim, with a small highlight.
void paintBody(Canvas& canvas, float cx, float cy, float radius) {
    const float lx = -0.45f;
    const float ly = 0.6f;
    const float lz = 0.66f;
    art::forEachPixelAround(cx, cy, radius, radius, [&](int x, int y) {
        const float nx = (static_cast<float>(x) + 0.5f - cx) / radius;
        const float ny = (cy - static_cast<float>(y) - 0.5f) / radius;
        const float r2 = nx * nx + ny * ny;
        const float nz = std::sqrt(std::max(0.0f, 1.0f - r2));
        const float lit = std::max(0.0f, nx * lx + ny * ly + nz * lz);
        const float shine = std::pow(lit, 24.0f);
        const Rgb colour =
            mix(mix(BODY_DARK, art::MINT, 0.2f + 0.8f * lit), art::WHITE, 0.6f * shine);
        const float d = (std::sqrt(r2) - 1.0f) * radius;
        canvas.blend(x, y, colour, art::coverage(d));
    });
}

// An eye: white, a pupil looking up and to the right, and a glint.
void paintEye(Canvas& canvas, const Layout& at, float cx, float cy, float radius) {
    art::fillCircle(canvas, at(cx), at(cy), at(radius), art::WHITE, 1.0f);
    const float pupil = radius * 0.55f;
    art::fillCircle(canvas, at(cx + radius * 0.22f), at(cy - radius * 0.12f), at(pupil), PUPIL,
                    1.0f);
    if (at.scale >= 0.25f) {
        art::fillCircle(canvas, at(cx + radius * 0.05f), at(cy - radius * 0.32f), at(pupil * 0.35f),
                        art::WHITE, 0.9f);
    }
}

// A smile: an arc below the eyes, as short straight strokes.
void paintSmile(Canvas& canvas, const Layout& at) {
    const int steps = 16;
    const float cx = 128.0f;
    const float cy = 150.0f;
    const float radius = 26.0f;
    for (int i = 0; i < steps; ++i) {
        const float a0 = 0.55f + 2.04f * static_cast<float>(i) / steps;
        const float a1 = 0.55f + 2.04f * static_cast<float>(i + 1) / steps;
        art::drawLine(canvas, at(cx + radius * std::cos(a0)), at(cy + radius * std::sin(a0)),
                      at(cx + radius * std::cos(a1)), at(cy + radius * std::sin(a1)), at(7.0f),
                      PUPIL, 0.85f);
    }
}

void paint(Canvas& canvas, int size) {
    const Layout at{static_cast<float>(size) / 256.0f};
    const bool wireframe = size >= 64;
    const bool smile = size >= 32;
    paintGround(canvas, at);

    // Ears behind the body, a shadow under it, then the body itself.
    art::fillCircle(canvas, at(70.0f), at(70.0f), at(24.0f), art::CORAL, 1.0f);
    art::fillCircle(canvas, at(186.0f), at(70.0f), at(24.0f), art::CORAL, 1.0f);
    fillEllipse(canvas, at(128.0f), at(214.0f), at(72.0f), at(14.0f), hex(0x05070f), 0.5f);
    paintBody(canvas, at(128.0f), at(134.0f), at(84.0f));
    if (wireframe) {
        const art::Sphere skin = art::refine(art::icosahedron());
        art::drawSphere(canvas, skin, at(128.0f), at(134.0f), at(84.0f), WIRE,
                        std::max(1.0f, at(2.2f)), WIRE);
    }

    const float eye = smile ? 22.0f : 28.0f;
    paintEye(canvas, at, 98.0f, 112.0f, eye);
    paintEye(canvas, at, 158.0f, 112.0f, eye);
    if (smile) paintSmile(canvas, at);

    art::strokeRoundedRect(canvas, at(TILE_MIN), at(TILE_MIN), at(TILE_MAX), at(TILE_MAX),
                           at(TILE_RADIUS), std::max(1.0f, at(3.0f)), EDGE, 0.7f);
}

// Writes the canvas as an 8-bit RGBA PNG whose alpha is the tile's coverage.
bool writePng(const Canvas& canvas, const Layout& at, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr;
    std::vector<png_byte> row(static_cast<std::size_t>(canvas.width()) * 4);
    // libpng reports its errors by longjmp to here; nothing with a destructor is made below.
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()),
                     static_cast<png_uint_32>(canvas.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                const Rgb& p = canvas.at(x, y);
                png_byte* out = &row[static_cast<std::size_t>(x) * 4];
                out[0] = art::toByte(p.r);
                out[1] = art::toByte(p.g);
                out[2] = art::toByte(p.b);
                out[3] = art::toByte(art::coverage(tileDistance(at, x, y)));
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "--out") {
        std::fprintf(stderr, "usage: make_icon --out DIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    for (const int size : SIZES) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const fs::path dir = fs::path(argv[2]) / name / "apps";
        std::error_code error;
        fs::create_directories(dir, error);
        const fs::path path = dir / "creatures.png";
        Canvas canvas(size, size);
        paint(canvas, size);
        if (error || !writePng(canvas, Layout{static_cast<float>(size) / 256.0f}, path.string())) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
