#pragma once
// A deliberately plain model of what the software draws do to one pixel,
// written straight from the rules with 64-bit arithmetic and direct divisions:
// no lookup tables, no packed tricks and no code shared with the draw loops.
// The differential tests of the blits, flat draws and transformed fills
// compare every loop against it.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velk::reference {

enum class Family {
    kPlainBlit,        // BltMemImg
    kScaledBlit,       // BltMemImgScaled
    kTransformedFill,  // the triangle, four-corner and rotated fills
};

struct Settings {
    int mode = 0;
    int param = 255;
    int bright_red = 255, bright_green = 255, bright_blue = 255;
};

struct SourcePixel {
    uint32_t raw = 0;    // the stored value: 32-bit word, 16-bit colour word or palette index
    uint32_t color = 0;  // the colour word: raw, or the palette entry
    int alpha = -1;      // the pixel's alpha, -1 for a source without alpha
    bool paletted = false;
};

namespace detail {

struct Layout {
    int shift[3];  // red, green, blue
    int bits[3];
};

inline constexpr Layout kLayout32{{16, 8, 0}, {8, 8, 8}};
inline constexpr Layout kLayout16{{11, 5, 0}, {5, 6, 5}};

inline int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

inline int64_t TruncDiv(int64_t a, int64_t b) { return a / b; }

inline int64_t Pow2(int bits) { return int64_t{1} << bits; }

inline bool Drawable(int mode, int param) {
    switch (mode) {
        case 0: case 4: case 10: case 11: return true;
        case 1: case 2: case 3: return param != 0;
        default: return false;
    }
}

// 16-bit alpha by P alone in the plain blit without blend image, without
// source alpha and with the bright white: halving at 128, else the 64-level
// mix of block P / 4.
inline int SixtyFourLevelMix(int d, int s, int param) {
    if (param == 128) {
        return (d + s) / 2;
    }
    const int b = param / 4;
    return (s * b + d * (63 - b)) / 63;
}

inline int MixBy255(int d, int s, int w) { return static_cast<int>(d + TruncDiv(int64_t{s - d} * w, 255)); }

// d + (s - d) x K / 2^shift, floored.
inline int WeightedMix(int d, int s, int64_t k, int shift) {
    return static_cast<int>(FloorDiv(int64_t{d} * Pow2(shift) + int64_t{s - d} * k, Pow2(shift)));
}

}  // namespace detail

using namespace detail;

// The weight of a blend-image byte for a border and range.
inline int GraphWeight(int border, int range, int value) {
    const int q = range + 1;
    const int offset = 256 - ((65536 / q + 256) * border) / 256;
    return std::clamp(value * 256 / q + offset, 0, 255);
}

// The destination pixel after an image blit or textured fill drew `source`
// onto `dest`. blend_weight is the blend-image byte's weight, -1 without a
// blend image. trans_color is compared
// with the whole stored value (index, 16-bit word or 32-bit word, zero-extended),
// so a key wider than the stored pixel matches nothing.
inline uint32_t BlitPixel(Family family, bool is16, uint32_t dest, const SourcePixel& source, int blend_weight,
                                 bool trans, uint32_t trans_color, const Settings& settings) {
    int mode = settings.mode;
    const int p = settings.param;
    if (!Drawable(mode, p)) {
        return dest;
    }
    if (mode == 1 && p == 255) {
        mode = 0;
    }
    const bool has_alpha = source.alpha >= 0;
    if (trans) {
        if (has_alpha) {
            if (source.alpha == 0) {
                return dest;
            }
        } else {
            if (source.raw == trans_color) {
                return dest;
            }
        }
    }
    const Layout& layout = is16 ? kLayout16 : kLayout32;
    const int bright[3] = {settings.bright_red, settings.bright_green, settings.bright_blue};
    const bool white = bright[0] == 255 && bright[1] == 255 && bright[2] == 255;

    std::vector<int64_t> weights;
    if (blend_weight >= 0) {
        weights.push_back(blend_weight);
    }
    if (has_alpha && !(trans && source.alpha == 255)) {
        weights.push_back(source.alpha);
    }
    const int n = static_cast<int>(weights.size());
    int64_t product = 1;
    for (int64_t w : weights) {
        product *= w;
    }

    if (mode == 0 && n == 0 && white) {
        return is16 ? (source.color & 0xFFFF) : source.color;
    }

    uint32_t result = 0;
    for (int c = 0; c < 3; ++c) {
        const int bits = layout.bits[c];
        const int max = (1 << bits) - 1;
        const int d = static_cast<int>((dest >> layout.shift[c]) & max);
        int s = static_cast<int>((source.color >> layout.shift[c]) & max);
        if (mode == 10) {
            s = max - s;
        }
        if (!white) {
            s = static_cast<int>(int64_t{s} * bright[c] / 255);
        }
        int out = d;
        switch (mode) {
            case 0:
                out = n == 0 ? s : WeightedMix(d, s, product, 8 * n);
                break;
            case 1:
            case 10:
            case 11: {
                int target = s;
                if (mode == 11) {
                    target = static_cast<int>(int64_t{d} * s / Pow2(bits));
                }
                if (n > 0) {
                    out = WeightedMix(d, target, product * p, 8 * (n + 1));
                } else if (!is16) {
                    out = WeightedMix(d, target, p, 8);
                } else if (mode == 1 && family == Family::kPlainBlit && blend_weight < 0 && !has_alpha && white) {
                    out = SixtyFourLevelMix(d, target, p);
                } else {
                    out = MixBy255(d, target, p);
                }
                break;
            }
            case 2:
            case 3: {
                int64_t amount;
                if (is16) {
                    amount = (int64_t{s} * product / Pow2(8 * n)) * p / 255;
                } else if (n == 0) {
                    amount = int64_t{s} * p / 255;
                } else {
                    amount = int64_t{s} * product * p / Pow2(8 * (n + 1));
                }
                out = mode == 2 ? static_cast<int>(std::min<int64_t>(max, d + amount))
                                : static_cast<int>(std::max<int64_t>(0, d - amount));
                break;
            }
            case 4:
                out = static_cast<int>(int64_t{d} * s * product / Pow2(bits + 8 * n));
                break;
        }
        result |= static_cast<uint32_t>(out) << layout.shift[c];
    }
    if (!is16 && mode != 2 && mode != 3) {
        result |= dest & 0xFF000000u;
    }
    return result;
}

// The destination pixel after a flat colour (box, line, flat triangle) was
// drawn onto it: the colour is scaled by the bright first (its X byte kept),
// then drawn like an unweighted texel of a scaled blit with the bright white.
inline uint32_t FlatPixel(bool is16, uint32_t dest, uint32_t color, const Settings& settings) {
    const Layout& layout = is16 ? kLayout16 : kLayout32;
    const int bright[3] = {settings.bright_red, settings.bright_green, settings.bright_blue};
    SourcePixel prepared;
    prepared.color = is16 ? 0 : (color & 0xFF000000u);
    for (int c = 0; c < 3; ++c) {
        const int max = (1 << layout.bits[c]) - 1;
        const int s = static_cast<int>((color >> layout.shift[c]) & max) * bright[c] / 255;
        prepared.color |= static_cast<uint32_t>(s) << layout.shift[c];
    }
    prepared.raw = prepared.color;
    Settings white = settings;
    white.bright_red = white.bright_green = white.bright_blue = 255;
    return BlitPixel(Family::kScaledBlit, is16, dest, prepared, -1, false, 0, white);
}

}  // namespace velk::reference
