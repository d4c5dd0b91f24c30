// Draws the title picture: 1024 x 1024 RGB, headerless, the file's first row being the bottom of
// the picture. It names the program and lists the controls, set with FreeType in DejaVu fonts
// over a small illustration of a sphere refined by repeated subdivision.
//
// Usage: make_title --regular SANS.ttf --bold SANS-BOLD.ttf --mono MONO-BOLD.ttf --out FILE
//
// The output depends only on the fonts and the FreeType version: no clock, no chance.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

constexpr int SIZE = 1024;

struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb hex(unsigned value) {
    return {static_cast<float>((value >> 16) & 0xff) / 255.0f,
            static_cast<float>((value >> 8) & 0xff) / 255.0f,
            static_cast<float>(value & 0xff) / 255.0f};
}

// The palette: a deep night-blue ground, warm and cool accents.
const Rgb INK_TOP = hex(0x141a33);
const Rgb INK_BOTTOM = hex(0x0b2a3a);
const Rgb WHITE = hex(0xf4f1ea);
const Rgb MUTED = hex(0xa9b8cc);
const Rgb CORAL = hex(0xff8a6b);
const Rgb MINT = hex(0x7fe0c3);
const Rgb SKY = hex(0x8cc8ff);
const Rgb PANEL = hex(0x1e2a48);
const Rgb KEYCAP = hex(0x2d3c62);
const Rgb KEYCAP_EDGE = hex(0x5d74a8);

// A float RGB canvas, row 0 at the top; painting blends with a coverage in 0 .. 1.
class Canvas {
public:
    Canvas() : pixels_(static_cast<std::size_t>(SIZE) * SIZE) {}

    void blend(int x, int y, Rgb colour, float alpha) {
        if (x < 0 || y < 0 || x >= SIZE || y >= SIZE || alpha <= 0.0f) return;
        Rgb& p = at(x, y);
        p = mix(p, colour, std::min(alpha, 1.0f));
    }

    Rgb& at(int x, int y) { return pixels_[index(x, y)]; }

    // Rows bottom first, 8 bits per channel.
    bool write(const char* path) const {
        std::FILE* file = std::fopen(path, "wb");
        if (file == nullptr) return false;
        std::vector<unsigned char> row(static_cast<std::size_t>(SIZE) * 3);
        bool ok = true;
        for (int y = SIZE - 1; y >= 0 && ok; --y) {
            for (int x = 0; x < SIZE; ++x) {
                const Rgb& p = pixels_[index(x, y)];
                const std::size_t i = static_cast<std::size_t>(x) * 3;
                row[i] = toByte(p.r);
                row[i + 1] = toByte(p.g);
                row[i + 2] = toByte(p.b);
            }
            ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
        }
        return std::fclose(file) == 0 && ok;
    }

private:
    static std::size_t index(int x, int y) {
        return static_cast<std::size_t>(y) * SIZE + static_cast<std::size_t>(x);
    }

    static unsigned char toByte(float v) {
        return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }

    std::vector<Rgb> pixels_;
};

// ---- Shapes, anti-aliased by their distance to the pixel centre --------------------------------

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
    const int left = static_cast<int>(std::floor(cx - radius - 1.0f));
    const int right = static_cast<int>(std::ceil(cx + radius + 1.0f));
    const int top = static_cast<int>(std::floor(cy - radius - 1.0f));
    const int bottom = static_cast<int>(std::ceil(cy + radius + 1.0f));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const float ex = static_cast<float>(x) + 0.5f - cx;
            const float ey = static_cast<float>(y) + 0.5f - cy;
            canvas.blend(x, y, colour, alpha * coverage(std::sqrt(ex * ex + ey * ey) - radius));
        }
    }
}

// Signed distance to a rounded rectangle given by its corners and corner radius.
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

// ---- Text -------------------------------------------------------------------------------------

class Font {
public:
    Font(FT_Library library, const char* path) {
        if (FT_New_Face(library, path, 0, &face_) != 0) {
            std::fprintf(stderr, "make_title: cannot read the font %s\n", path);
            std::exit(2);
        }
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font() { FT_Done_Face(face_); }

    // Width in pixels of text at the pixel size, with extra spacing between letters.
    float measure(const std::string& text, int pixelSize, float tracking = 0.0f) {
        return layout(nullptr, text, 0.0f, 0.0f, pixelSize, {}, 1.0f, tracking);
    }

    // Draws text with its baseline at y, starting at x; returns the width.
    float draw(Canvas& canvas, const std::string& text, float x, float y, int pixelSize, Rgb colour,
               float alpha = 1.0f, float tracking = 0.0f) {
        return layout(&canvas, text, x, y, pixelSize, colour, alpha, tracking);
    }

    float drawCentred(Canvas& canvas, const std::string& text, float centreX, float y,
                      int pixelSize, Rgb colour, float alpha = 1.0f, float tracking = 0.0f) {
        const float width = measure(text, pixelSize, tracking);
        return draw(canvas, text, std::round(centreX - width * 0.5f), y, pixelSize, colour, alpha,
                    tracking);
    }

private:
    // The text is ASCII (with U+2013 and U+2014 written as their UTF-8 bytes).
    static std::vector<FT_ULong> codepoints(const std::string& text) {
        std::vector<FT_ULong> result;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x80) {
                result.push_back(c);
            } else if ((c & 0xf0) == 0xe0 && i + 2 < text.size()) {
                const auto c1 = static_cast<unsigned char>(text[i + 1]);
                const auto c2 = static_cast<unsigned char>(text[i + 2]);
                result.push_back(((c & 0x0fu) << 12) | ((c1 & 0x3fu) << 6) | (c2 & 0x3fu));
                i += 2;
            }
        }
        return result;
    }

    float layout(Canvas* canvas, const std::string& text, float x, float y, int pixelSize,
                 Rgb colour, float alpha, float tracking) {
        FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize));
        const bool kerning = FT_HAS_KERNING(face_);
        float penX = x;
        FT_UInt previous = 0;
        const std::vector<FT_ULong> chars = codepoints(text);
        for (std::size_t i = 0; i < chars.size(); ++i) {
            const FT_UInt glyph = FT_Get_Char_Index(face_, chars[i]);
            if (kerning && previous != 0 && glyph != 0) {
                FT_Vector delta;
                FT_Get_Kerning(face_, previous, glyph, FT_KERNING_DEFAULT, &delta);
                penX += static_cast<float>(delta.x) / 64.0f;
            }
            if (FT_Load_Glyph(face_, glyph, FT_LOAD_RENDER) != 0) continue;
            const FT_GlyphSlot slot = face_->glyph;
            if (canvas != nullptr) {
                const FT_Bitmap& bitmap = slot->bitmap;
                const int left = static_cast<int>(std::round(penX)) + slot->bitmap_left;
                const int top = static_cast<int>(std::round(y)) - slot->bitmap_top;
                for (unsigned row = 0; row < bitmap.rows; ++row) {
                    for (unsigned col = 0; col < bitmap.width; ++col) {
                        const unsigned char value =
                            bitmap.buffer[static_cast<std::ptrdiff_t>(row) * bitmap.pitch +
                                          static_cast<std::ptrdiff_t>(col)];
                        canvas->blend(left + static_cast<int>(col), top + static_cast<int>(row),
                                      colour, alpha * static_cast<float>(value) / 255.0f);
                    }
                }
            }
            penX += static_cast<float>(slot->advance.x) / 64.0f;
            if (i + 1 < chars.size()) penX += tracking;
            previous = glyph;
        }
        return penX - x;
    }

    FT_Face face_ = nullptr;
};

// ---- The illustration: an icosahedron and two refinements of it ------------------------------

struct P3 {
    float x, y, z;
};

P3 normalised(P3 p) {
    const float len = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    return {p.x / len, p.y / len, p.z / len};
}

struct Sphere {
    std::vector<P3> points;
    std::vector<std::array<int, 3>> triangles;
};

Sphere icosahedron() {
    const float t = (1.0f + std::sqrt(5.0f)) * 0.5f;
    Sphere s;
    const P3 raw[12] = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                        {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (const P3& p : raw)
        s.points.push_back(normalised(p));
    s.triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                   {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                   {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                   {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    return s;
}

// Splits every triangle in four at its edge midpoints, pushed out onto the sphere.
Sphere refine(const Sphere& coarse) {
    Sphere fine;
    fine.points = coarse.points;
    std::map<std::pair<int, int>, int> midpoints;
    auto midpoint = [&](int a, int b) {
        const std::pair<int, int> key{std::min(a, b), std::max(a, b)};
        const auto found = midpoints.find(key);
        if (found != midpoints.end()) return found->second;
        const P3& pa = fine.points[static_cast<std::size_t>(a)];
        const P3& pb = fine.points[static_cast<std::size_t>(b)];
        fine.points.push_back(normalised({pa.x + pb.x, pa.y + pb.y, pa.z + pb.z}));
        const int index = static_cast<int>(fine.points.size()) - 1;
        midpoints.emplace(key, index);
        return index;
    };
    for (const auto& tri : coarse.triangles) {
        const int ab = midpoint(tri[0], tri[1]);
        const int bc = midpoint(tri[1], tri[2]);
        const int ca = midpoint(tri[2], tri[0]);
        fine.triangles.push_back({tri[0], ab, ca});
        fine.triangles.push_back({tri[1], bc, ab});
        fine.triangles.push_back({tri[2], ca, bc});
        fine.triangles.push_back({ab, bc, ca});
    }
    return fine;
}

// Draws the sphere's edges as a wireframe, turned for a three-quarter view, centred at (cx, cy)
// with the given radius. Edges at the back are faint, at the front bright.
void drawSphere(Canvas& canvas, const Sphere& sphere, float cx, float cy, float radius, Rgb colour,
                float lineWidth) {
    const float yaw = 0.5f;
    const float pitch = 0.35f;
    std::vector<P3> turned;
    for (const P3& p : sphere.points) {
        const float x1 = p.x * std::cos(yaw) + p.z * std::sin(yaw);
        const float z1 = -p.x * std::sin(yaw) + p.z * std::cos(yaw);
        const float y2 = p.y * std::cos(pitch) - z1 * std::sin(pitch);
        const float z2 = p.y * std::sin(pitch) + z1 * std::cos(pitch);
        turned.push_back({x1, y2, z2});
    }
    std::map<std::pair<int, int>, bool> drawn;
    // Back edges first, so the front ones lie on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& tri : sphere.triangles) {
            for (int k = 0; k < 3; ++k) {
                const int a = tri[static_cast<std::size_t>(k)];
                const int b = tri[static_cast<std::size_t>((k + 1) % 3)];
                const std::pair<int, int> key{std::min(a, b), std::max(a, b)};
                const P3& pa = turned[static_cast<std::size_t>(a)];
                const P3& pb = turned[static_cast<std::size_t>(b)];
                const float depth = (pa.z + pb.z) * 0.5f;  // -1 back .. 1 front
                if ((pass == 0) != (depth < 0.0f)) continue;
                if (!drawn.emplace(key, true).second) continue;
                const float alpha = 0.12f + 0.78f * std::clamp((depth + 1.0f) * 0.5f, 0.0f, 1.0f);
                drawLine(canvas, cx + pa.x * radius, cy - pa.y * radius, cx + pb.x * radius,
                         cy - pb.y * radius, lineWidth, colour, alpha);
            }
        }
    }
    for (const P3& p : turned) {
        if (p.z < 0.0f) continue;
        fillCircle(canvas, cx + p.x * radius, cy - p.y * radius, lineWidth * 1.1f, WHITE,
                   0.35f + 0.5f * p.z);
    }
}

void drawArrow(Canvas& canvas, float x0, float x1, float y, Rgb colour) {
    drawLine(canvas, x0, y, x1, y, 3.0f, colour, 0.8f);
    drawLine(canvas, x1, y, x1 - 10.0f, y - 8.0f, 3.0f, colour, 0.8f);
    drawLine(canvas, x1, y, x1 - 10.0f, y + 8.0f, 3.0f, colour, 0.8f);
}

// ---- The picture ------------------------------------------------------------------------------

struct Fonts {
    Font& regular;
    Font& bold;
    Font& mono;
};

// A key cap with its label centred; returns its width.
float drawKey(Canvas& canvas, Font& mono, const std::string& label, float x, float baseline) {
    const int size = 26;
    const float textWidth = mono.measure(label, size);
    const float width = std::max(44.0f, textWidth + 24.0f);
    const float top = baseline - 30.0f;
    const float bottom = baseline + 11.0f;
    fillRoundedRect(canvas, x, top + 3.0f, x + width, bottom + 3.0f, 8.0f, hex(0x0a0f1f), 0.6f);
    fillRoundedRect(canvas, x, top, x + width, bottom, 8.0f, KEYCAP, 1.0f);
    strokeRoundedRect(canvas, x, top, x + width, bottom, 8.0f, 1.5f, KEYCAP_EDGE, 1.0f);
    mono.draw(canvas, label, std::round(x + (width - textWidth) * 0.5f), baseline, size, WHITE);
    return width;
}

void paint(Canvas& canvas, Fonts fonts) {
    // Ground: a vertical gradient with a soft glow behind the illustration.
    for (int y = 0; y < SIZE; ++y) {
        const Rgb row = mix(INK_TOP, INK_BOTTOM, static_cast<float>(y) / (SIZE - 1));
        for (int x = 0; x < SIZE; ++x) {
            const float dx = (static_cast<float>(x) - 512.0f) / 460.0f;
            const float dy = (static_cast<float>(y) - 300.0f) / 260.0f;
            const float glow = std::exp(-(dx * dx + dy * dy) * 1.6f);
            canvas.at(x, y) = mix(row, hex(0x2a4a7a), 0.45f * glow);
        }
    }

    // Title and subtitle.
    const int titleSize = 74;
    fonts.bold.drawCentred(canvas, "Subdivision Surfaces", 514.0f, 131.0f, titleSize, hex(0x05070f),
                           0.55f);
    fonts.bold.drawCentred(canvas, "Subdivision Surfaces", 512.0f, 128.0f, titleSize, WHITE);
    fonts.regular.drawCentred(canvas, "Breed creatures with smooth, subdivided bodies", 512.0f,
                              178.0f, 28, MUTED);

    // Illustration: an icosahedron refined twice, with arrows between the steps.
    const Sphere level0 = icosahedron();
    const Sphere level1 = refine(level0);
    const Sphere level2 = refine(level1);
    const float sphereY = 298.0f;
    drawSphere(canvas, level0, 232.0f, sphereY, 80.0f, CORAL, 2.6f);
    drawArrow(canvas, 346.0f, 398.0f, sphereY, MUTED);
    drawSphere(canvas, level1, 512.0f, sphereY, 80.0f, SKY, 2.0f);
    drawArrow(canvas, 626.0f, 678.0f, sphereY, MUTED);
    drawSphere(canvas, level2, 792.0f, sphereY, 80.0f, MINT, 1.5f);

    // The controls, in a panel.
    const float panelTop = 416.0f;
    const float panelBottom = 902.0f;
    fillRoundedRect(canvas, 70.0f, panelTop + 6.0f, 954.0f, panelBottom + 6.0f, 26.0f,
                    hex(0x05070f), 0.35f);
    fillRoundedRect(canvas, 70.0f, panelTop, 954.0f, panelBottom, 26.0f, PANEL, 0.92f);
    strokeRoundedRect(canvas, 70.0f, panelTop, 954.0f, panelBottom, 26.0f, 1.5f, KEYCAP_EDGE, 0.6f);

    const float labelX = 112.0f;
    const float textX = 262.0f;
    const int labelSize = 22;
    const int textSize = 29;
    const float tracking = 3.0f;
    float y = panelTop + 64.0f;
    const float rowStep = 62.0f;

    fonts.bold.draw(canvas, "BREED", labelX, y, labelSize, CORAL, 1.0f, tracking);
    fonts.regular.draw(canvas, "Left- or right-click two creatures", textX, y, textSize, WHITE);
    y += 38.0f;
    fonts.regular.draw(canvas, "to breed them into two children.", textX, y, textSize, MUTED);
    y += 54.0f;
    fonts.regular.draw(canvas, "Click the same one twice to breed", textX, y, textSize, WHITE);
    y += 38.0f;
    fonts.regular.draw(canvas, "it with itself.", textX, y, textSize, MUTED);

    y += rowStep;
    fonts.bold.draw(canvas, "TURN", labelX, y, labelSize, SKY, 1.0f, tracking);
    fonts.regular.draw(canvas, "Drag with the middle button.", textX, y, textSize, WHITE);

    y += rowStep;
    fonts.bold.draw(canvas, "PAN", labelX, y, labelSize, MINT, 1.0f, tracking);
    float x = textX;
    for (const char* key : {"i", "k", "j", "l"}) {
        x += drawKey(canvas, fonts.mono, key, x, y) + 10.0f;
    }
    fonts.regular.draw(canvas, "up, down, left, right", x + 14.0f, y, textSize, WHITE);

    y += rowStep;
    fonts.bold.draw(canvas, "ZOOM", labelX, y, labelSize, MINT, 1.0f, tracking);
    x = textX;
    for (const char* key : {"u", "o"}) {
        x += drawKey(canvas, fonts.mono, key, x, y) + 10.0f;
    }
    fonts.regular.draw(canvas, "nearer, farther", x + 14.0f, y, textSize, WHITE);

    y += rowStep;
    fonts.bold.draw(canvas, "QUIT", labelX, y, labelSize, CORAL, 1.0f, tracking);
    x = textX + drawKey(canvas, fonts.mono, "Esc", textX, y);
    fonts.regular.draw(canvas, "close the viewer", x + 24.0f, y, textSize, WHITE);

    // The way in.
    fonts.bold.drawCentred(canvas, "Left-click to begin", 512.0f, 966.0f, 32, CORAL);
}

const char* argument(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == name) return argv[i + 1];
    }
    std::fprintf(stderr,
                 "usage: make_title --regular SANS.ttf --bold SANS-BOLD.ttf "
                 "--mono MONO-BOLD.ttf --out FILE (missing %s)\n",
                 name);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    const char* regularPath = argument(argc, argv, "--regular");
    const char* boldPath = argument(argc, argv, "--bold");
    const char* monoPath = argument(argc, argv, "--mono");
    const char* outPath = argument(argc, argv, "--out");

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "make_title: cannot start FreeType\n");
        return 2;
    }
    int status = 0;
    {
        Font regular(library, regularPath);
        Font bold(library, boldPath);
        Font mono(library, monoPath);
        Canvas canvas;
        paint(canvas, {regular, bold, mono});
        if (!canvas.write(outPath)) {
            std::fprintf(stderr, "make_title: cannot write %s\n", outPath);
            status = 1;
        }
    }
    FT_Done_FreeType(library);
    return status;
}
