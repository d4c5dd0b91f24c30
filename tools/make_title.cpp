// Draws the title picture: 1024 x 1024 RGB, headerless, the file's first row being the bottom of
// the picture. It names the program and lists the controls, set with FreeType in DejaVu fonts
// over a small illustration of a sphere refined by repeated subdivision.
//
// Usage: make_title --regular SANS.ttf --bold SANS-BOLD.ttf --mono MONO-BOLD.ttf --out FILE
//
// The output depends only on the fonts and the FreeType version: no clock, no chance.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "tools/canvas.h"
#include "tools/wire_sphere.h"

namespace {

using art::Canvas;
using art::CORAL;
using art::drawLine;
using art::fillRoundedRect;
using art::hex;
using art::MINT;
using art::mix;
using art::MUTED;
using art::Rgb;
using art::SKY;
using art::strokeRoundedRect;
using art::WHITE;

constexpr int SIZE = 1024;

const Rgb PANEL = hex(0x1e2a48);
const Rgb KEYCAP = hex(0x2d3c62);
const Rgb KEYCAP_EDGE = hex(0x5d74a8);

// The picture as the viewer reads it: rows bottom first, 8 bits per channel.
bool writeRaw(const Canvas& canvas, const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    std::vector<unsigned char> row(static_cast<std::size_t>(canvas.width()) * 3);
    bool ok = true;
    for (int y = canvas.height() - 1; y >= 0 && ok; --y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const Rgb& p = canvas.at(x, y);
            const std::size_t i = static_cast<std::size_t>(x) * 3;
            row[i] = art::toByte(p.r);
            row[i + 1] = art::toByte(p.g);
            row[i + 2] = art::toByte(p.b);
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && ok;
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
        const Rgb row = mix(art::INK_TOP, art::INK_BOTTOM, static_cast<float>(y) / (SIZE - 1));
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
    const art::Sphere level0 = art::icosahedron();
    const art::Sphere level1 = art::refine(level0);
    const art::Sphere level2 = art::refine(level1);
    const float sphereY = 298.0f;
    art::drawSphere(canvas, level0, 232.0f, sphereY, 80.0f, CORAL, 2.6f, WHITE);
    drawArrow(canvas, 346.0f, 398.0f, sphereY, MUTED);
    art::drawSphere(canvas, level1, 512.0f, sphereY, 80.0f, SKY, 2.0f, WHITE);
    drawArrow(canvas, 626.0f, 678.0f, sphereY, MUTED);
    art::drawSphere(canvas, level2, 792.0f, sphereY, 80.0f, MINT, 1.5f, WHITE);

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
        Canvas canvas(SIZE, SIZE);
        paint(canvas, {regular, bold, mono});
        if (!writeRaw(canvas, outPath)) {
            std::fprintf(stderr, "make_title: cannot write %s\n", outPath);
            status = 1;
        }
    }
    FT_Done_FreeType(library);
    return status;
}
