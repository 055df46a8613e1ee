#pragma once
// The 32-byte pixel-format record of the display interface: how a surface
// packs red, green, blue and alpha into a pixel.

#include <cstdint>

namespace velk::platform {

constexpr uint32_t kPixelFormatRgb = 0x40;

struct DdPixelFormat {
    uint32_t size = 0;
    uint32_t flags = 0;
    uint32_t four_cc = 0;
    uint32_t rgb_bit_count = 0;
    uint32_t red_mask = 0;
    uint32_t green_mask = 0;
    uint32_t blue_mask = 0;
    uint32_t alpha_mask = 0;
};
static_assert(sizeof(DdPixelFormat) == 32);

}  // namespace velk::platform
