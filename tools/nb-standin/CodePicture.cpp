#include "CodePicture.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "PngEncoder.h"
#include "RandomText.h"

namespace nbstandin {

namespace {

// 5 x 7 digit glyphs, one byte per row, the low five bits from left (bit 4) to right (bit 0).
constexpr std::array<std::array<uint8_t, 7>, 10> kDigitGlyphs = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
}};

constexpr int kScale = 3;     // each glyph cell becomes a 3 x 3 block: 15 x 21 pixels a digit
constexpr int kAdvance = 16;  // four digits fit in 68 pixels with a pixel to spare for jitter

struct Canvas {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(CodePicture::kWidth * CodePicture::kHeight * 4);

    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        if (x < 0 || y < 0 || x >= static_cast<int>(CodePicture::kWidth) ||
            y >= static_cast<int>(CodePicture::kHeight)) {
            return;
        }
        uint8_t* p = &pixels[(static_cast<size_t>(y) * CodePicture::kWidth + static_cast<size_t>(x)) * 4];
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = 255;
    }

    void Line(int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
        int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
        int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            Set(x0, y0, r, g, b);
            if (x0 == x1 && y0 == y1) break;
            int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
};

uint8_t Between(int low, int high) {
    return static_cast<uint8_t>(low + static_cast<int>(RandomBelow(high - low + 1)));
}

}  // namespace

std::string CodePicture::RenderPng(std::string_view digits) {
    const int width = static_cast<int>(kWidth);
    const int height = static_cast<int>(kHeight);
    Canvas canvas;

    // A pale diagonal gradient with speckles, so the picture does not look like plain text.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int t = (x + y) * 255 / (width + height);
            canvas.Set(x, y, static_cast<uint8_t>(226 + t / 12), static_cast<uint8_t>(238 - t / 20),
                       static_cast<uint8_t>(252 - t / 8));
        }
    }
    for (int i = 0; i < 70; ++i) {
        canvas.Set(static_cast<int>(RandomBelow(kWidth)), static_cast<int>(RandomBelow(kHeight)),
                   Between(120, 220), Between(120, 220), Between(120, 220));
    }
    for (int i = 0; i < 2; ++i) {
        canvas.Line(0, static_cast<int>(RandomBelow(kHeight)), width - 1,
                    static_cast<int>(RandomBelow(kHeight)), Between(150, 210), Between(150, 210),
                    Between(150, 210));
    }

    for (size_t i = 0; i < digits.size() && i < 4; ++i) {
        char c = digits[i];
        if (c < '0' || c > '9') continue;
        const auto& glyph = kDigitGlyphs[static_cast<size_t>(c - '0')];
        int left = 3 + static_cast<int>(i) * kAdvance + static_cast<int>(RandomBelow(2));
        int top = 1 + static_cast<int>(RandomBelow(height - 7 * kScale - 1));
        uint8_t r = Between(10, 140), g = Between(10, 110), b = Between(40, 160);
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (!(glyph[row] & (0x10 >> col))) continue;
                for (int dy = 0; dy < kScale; ++dy) {
                    for (int dx = 0; dx < kScale; ++dx) {
                        canvas.Set(left + col * kScale + dx, top + row * kScale + dy, r, g, b);
                    }
                }
            }
        }
    }

    // One thin line across the digits, light enough to leave them readable.
    canvas.Line(0, Between(8, 20), width - 1, Between(8, 20), Between(170, 220), Between(170, 220),
                Between(170, 220));
    return EncodePngRgba(kWidth, kHeight, canvas.pixels);
}

}  // namespace nbstandin
