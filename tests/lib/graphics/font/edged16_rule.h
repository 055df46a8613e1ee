#pragma once
// The 16-bit anti-aliased edged text rule worked out by hand, pixel by
// pixel, as the tests of its writers check them against it.

#include <cstdint>
#include <cstring>

#include "lib/softrender/memimg.h"

namespace velk::edged16_rule {

struct Rgb {
    int r, g, b;
};

inline Rgb Split(uint32_t v) {
    return {static_cast<int>((v >> 11) & 31), static_cast<int>((v >> 5) & 63), static_cast<int>(v & 31)};
}

inline uint32_t Join(const Rgb& c) { return static_cast<uint32_t>((c.r << 11) | (c.g << 5) | c.b); }

// What an anti-aliased edged cell value does to a 16-bit pixel written as
// the alpha blit would write it: the low four bits the text's coverage in
// fifteenths, the high four the edge's in sixteenths.
inline uint32_t Expected(int value, uint32_t text, uint32_t edge, uint32_t old) {
    const int g = value & 15, e = value >> 4;
    int alpha = 0, weight = 256;
    if (g == 0 && e == 0) return old;
    if (g == 0) {
        alpha = 16 * e;
        weight = 0;
    } else if (g == 15) {
        alpha = 255;
    } else {
        alpha = 16 * g + (15 - g) * e;
        weight = 4096 * g / alpha;
    }
    const Rgb t = Split(text), d = Split(edge);
    const Rgb c{d.r + (t.r - d.r) * weight / 256, d.g + (t.g - d.g) * weight / 256, d.b + (t.b - d.b) * weight / 256};
    if (alpha == 255) return Join(c);
    const Rgb o = Split(old);
    auto mix = [alpha](int dc, int sc) { return (dc * (256 - alpha) + sc * alpha) >> 8; };
    return Join({mix(o.r, c.r), mix(o.g, c.g), mix(o.b, c.b)});
}

inline uint32_t Load(const MEMIMG& image, int x, int y) {
    uint16_t v;
    std::memcpy(&v, MemImgPixelAddress(image, x, y), 2);
    return v;
}

inline void Store(const MEMIMG& image, int x, int y, uint32_t v) {
    const auto word = static_cast<uint16_t>(v);
    std::memcpy(MemImgPixelAddress(image, x, y), &word, 2);
}

}  // namespace velk::edged16_rule
