#pragma once
// A deliberately plain model of what the software draws do to one pixel,
// written straight from the rules with 64-bit arithmetic and direct divisions:
// no lookup tables, no packed tricks and no code shared with the draw loops.
// The differential tests compare every loop against it.

#include <cstdint>

namespace velk::reference {

enum class Family {
    kPlainBlit,   // BltMemImg
    kScaledBlit,  // BltMemImgScaled
};

struct Settings {
    int mode = 0;
    int param = 255;
    int bright_red = 255, bright_green = 255, bright_blue = 255;
    // The blend graph's border and range, from which the weight of a
    // blend-image byte follows.
    int graph_border = 128, graph_range = 255;
};

struct SourcePixel {
    uint32_t raw = 0;    // the stored value: 32-bit word, 16-bit colour word or palette index
    uint32_t color = 0;  // the colour word: raw, or the palette entry
    int alpha = -1;      // the pixel's alpha, -1 for a source without alpha
    bool paletted = false;
};

// The weight of a blend-image byte for a border and range.
int GraphWeight(int border, int range, int value);

// The destination pixel after an image blit drew `source` onto `dest`.
// blend_byte is -1 without a blend image. trans_color is compared with the
// stored value (masked to its size).
uint32_t BlitPixel(Family family, bool is16, uint32_t dest, const SourcePixel& source, int blend_byte, bool trans,
                   uint32_t trans_color, const Settings& settings);

// The destination pixel after a flat colour (box, line) was drawn onto it.
uint32_t FlatPixel(bool is16, uint32_t dest, uint32_t color, const Settings& settings);

}  // namespace velk::reference
