#pragma once
// How a colour is packed into a pixel.

#include <cstdint>

#include "platform/display/pixel_format.h"

namespace velk {

struct PaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t alpha = 0;
};

struct ColorData {
    uint16_t color_bit_depth = 0;  // 8, 15, 16, 24, 32; 0 for formats without plain pixels
    uint16_t pixel_byte = 0;       // bytes per pixel
    uint8_t red_width = 0, green_width = 0, blue_width = 0, alpha_width = 0;
    uint8_t red_loc = 0, green_loc = 0, blue_loc = 0, alpha_loc = 0;
    uint32_t red_mask = 0, green_mask = 0, blue_mask = 0, alpha_mask = 0;
    uint32_t no_use_mask = 0;  // bits no channel uses; set to 1 in every packed value
    PaletteEntry palette[256] = {};
    uint8_t no_use_loc = 0, no_use_width = 0;
    uint32_t format_kind = 0;  // 0 for every plain pixel format
};

int CreateColorDataFromMasks(ColorData* out, int bit_depth, uint32_t red_mask, uint32_t green_mask,
                             uint32_t blue_mask, uint32_t alpha_mask);
int CreateColorDataFromPixelFormat(const platform::DdPixelFormat* format, ColorData* out);
int CreatePixelFormat(platform::DdPixelFormat* out, int bit_depth, uint32_t red_mask, uint32_t green_mask,
                      uint32_t blue_mask, uint32_t alpha_mask);

}  // namespace velk
