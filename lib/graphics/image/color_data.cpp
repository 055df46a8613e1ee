#include "lib/graphics/image/color_data.h"


namespace velk {

namespace {

// The lowest set bit and the run of set bits from there up.
void ChannelFromMask(uint32_t mask, uint8_t* location, uint8_t* width) {
    *location = 0;
    *width = 0;
    if (mask == 0) {
        return;
    }
    uint8_t loc = 0;
    while ((mask & (1u << loc)) == 0) {
        ++loc;
    }
    uint8_t run = 0;
    while (loc + run < 32 && (mask & (1u << (loc + run))) != 0) {
        ++run;
    }
    *location = loc;
    *width = run;
}

}  // namespace

int CreateColorDataFromMasks(ColorData* out, int bit_depth, uint32_t red_mask, uint32_t green_mask,
                             uint32_t blue_mask, uint32_t alpha_mask) {
    out->color_bit_depth = static_cast<uint16_t>(bit_depth);
    out->pixel_byte = static_cast<uint16_t>(bit_depth / 8);
    out->red_mask = red_mask;
    out->green_mask = green_mask;
    out->blue_mask = blue_mask;
    out->alpha_mask = alpha_mask;
    ChannelFromMask(red_mask, &out->red_loc, &out->red_width);
    ChannelFromMask(green_mask, &out->green_loc, &out->green_width);
    ChannelFromMask(blue_mask, &out->blue_loc, &out->blue_width);
    ChannelFromMask(alpha_mask, &out->alpha_loc, &out->alpha_width);
    const uint32_t depth_bits = bit_depth >= 32 ? 0xFFFFFFFFu : ((1u << bit_depth) - 1u);
    out->no_use_mask = depth_bits & ~(red_mask | green_mask | blue_mask | alpha_mask);
    ChannelFromMask(out->no_use_mask, &out->no_use_loc, &out->no_use_width);
    out->format_kind = 0;
    return 0;
}

int CreateColorDataFromPixelFormat(const platform::DdPixelFormat* format, ColorData* out) {
    return CreateColorDataFromMasks(out, static_cast<int>(format->rgb_bit_count), format->red_mask,
                                    format->green_mask, format->blue_mask, format->alpha_mask);
}

int CreatePixelFormat(platform::DdPixelFormat* out, int bit_depth, uint32_t red_mask, uint32_t green_mask,
                      uint32_t blue_mask, uint32_t alpha_mask) {
    *out = platform::DdPixelFormat{};
    out->size = sizeof *out;
    out->flags = platform::kPixelFormatRgb;
    out->rgb_bit_count = static_cast<uint32_t>(bit_depth);
    out->red_mask = red_mask;
    out->green_mask = green_mask;
    out->blue_mask = blue_mask;
    out->alpha_mask = alpha_mask;
    return 0;
}

}  // namespace velk
