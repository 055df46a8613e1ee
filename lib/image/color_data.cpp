#include "lib/image/color_data.h"

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

uint32_t DepthBits(int bit_depth) {
    if (bit_depth >= 32) {
        return 0xFFFFFFFFu;
    }
    if (bit_depth <= 0) {
        return 0;
    }
    return (1u << bit_depth) - 1u;
}

uint32_t WidthMax(int width) {
    return width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1u);
}

// An 8-bit channel value placed into a channel of the given width.
uint32_t PackChannel(int value, int width, int location) {
    if (width == 0) {
        return 0;
    }
    const uint32_t v = static_cast<uint32_t>(value) & 0xFFu;
    uint32_t packed;
    if (width <= 8) {
        packed = v >> (8 - width);
    } else {
        packed = static_cast<uint32_t>((static_cast<uint64_t>(v) * WidthMax(width) + 127) / 255);
    }
    return packed << location;
}

int UnpackChannel(uint32_t value, uint32_t mask, int width, int location) {
    if (width == 0) {
        return 0;
    }
    const uint64_t v = (value & mask) >> location;
    return static_cast<int>(v * 255 / WidthMax(width));
}

void FixedFormat(ColorData* out, int depth, uint32_t alpha_mask) {
    CreateColorDataFromMasks(out, depth, 0xFF0000u, 0xFF00u, 0xFFu, alpha_mask);
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
    out->no_use_mask = DepthBits(bit_depth) & ~(red_mask | green_mask | blue_mask | alpha_mask);
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

void CreatePaletteColorData(ColorData* out) {
    FixedFormat(out, 8, 0);
    // The channel masks describe the palette entries, not the index byte.
    out->no_use_mask = 0xFF000000u;
    out->no_use_loc = 24;
    out->no_use_width = 8;
}

void CreateGreyPaletteColorData(ColorData* out) {
    CreatePaletteColorData(out);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        out->palette[i] = PaletteEntry{v, v, v, 0};
    }
}

void CreateXRGB32ColorData(ColorData* out) { FixedFormat(out, 32, 0); }
void CreateARGB32ColorData(ColorData* out) { FixedFormat(out, 32, 0xFF000000u); }
void CreateRGB24ColorData(ColorData* out) { FixedFormat(out, 24, 0); }

int IsSameColorData(const ColorData* a, const ColorData* b) {
    if (a->color_bit_depth == 0 && b->color_bit_depth == 0 && a->format_kind != b->format_kind) {
        return 0;
    }
    return a->color_bit_depth == b->color_bit_depth && a->red_mask == b->red_mask &&
                   a->green_mask == b->green_mask && a->blue_mask == b->blue_mask &&
                   a->alpha_mask == b->alpha_mask
               ? 1
               : 0;
}

int NormalizeUnusedMask(ColorData* data) {
    const int used = data->red_width + data->green_width + data->blue_width + data->alpha_width;
    if (used == data->color_bit_depth) {
        data->no_use_mask = 0;
    } else {
        data->no_use_mask = DepthBits(data->color_bit_depth) &
                            ~(data->red_mask | data->green_mask | data->blue_mask | data->alpha_mask);
    }
    ChannelFromMask(data->no_use_mask, &data->no_use_loc, &data->no_use_width);
    return 0;
}

bool IsPaletteColorData(const ColorData* data) {
    return data->pixel_byte == 1 && ((data->red_mask | data->green_mask | data->blue_mask) & ~0xFFu) != 0;
}

int FindNearestPaletteIndex(const PaletteEntry* palette, int red, int green, int blue) {
    int best = 0;
    int best_distance = 0xFFFFFF;
    for (int i = 0; i < 256; ++i) {
        const int dr = palette[i].red - red;
        const int dg = palette[i].green - green;
        const int db = palette[i].blue - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return best;
}

uint32_t GetColorByColorData(const ColorData* data, int red, int green, int blue, int alpha) {
    if (IsPaletteColorData(data)) {
        return static_cast<uint32_t>(FindNearestPaletteIndex(data->palette, red, green, blue));
    }
    uint32_t value = PackChannel(red, data->red_width, data->red_loc) |
                     PackChannel(green, data->green_width, data->green_loc) |
                     PackChannel(blue, data->blue_width, data->blue_loc) | data->no_use_mask;
    if (data->alpha_width != 0) {
        value |= PackChannel(alpha, data->alpha_width, data->alpha_loc);
    }
    return value;
}

int GetColorRGBAByColorData(const ColorData* data, uint32_t value, int* red, int* green, int* blue,
                            int* alpha) {
    if (red != nullptr) {
        *red = UnpackChannel(value, data->red_mask, data->red_width, data->red_loc);
    }
    if (green != nullptr) {
        *green = UnpackChannel(value, data->green_mask, data->green_width, data->green_loc);
    }
    if (blue != nullptr) {
        *blue = UnpackChannel(value, data->blue_mask, data->blue_width, data->blue_loc);
    }
    if (alpha != nullptr) {
        *alpha = UnpackChannel(value, data->alpha_mask, data->alpha_width, data->alpha_loc);
    }
    return 0;
}

namespace {

uint32_t MoveChannel(uint32_t value, uint32_t src_mask, int src_width, int src_loc, int dst_width,
                     int dst_loc, uint32_t dst_mask) {
    if (src_width == 0 || dst_width == 0) {
        return 0;
    }
    uint32_t v = (value & src_mask) >> src_loc;
    if (dst_width > src_width) {
        v <<= (dst_width - src_width);
    } else {
        v >>= (src_width - dst_width);
    }
    return (v << dst_loc) & dst_mask;
}

}  // namespace

uint32_t ConvertColorCode(const ColorData* dest, const ColorData* source, uint32_t value) {
    uint32_t result =
        MoveChannel(value, source->red_mask, source->red_width, source->red_loc, dest->red_width,
                    dest->red_loc, dest->red_mask) |
        MoveChannel(value, source->green_mask, source->green_width, source->green_loc, dest->green_width,
                    dest->green_loc, dest->green_mask) |
        MoveChannel(value, source->blue_mask, source->blue_width, source->blue_loc, dest->blue_width,
                    dest->blue_loc, dest->blue_mask);
    if (source->alpha_width == 0) {
        result |= dest->alpha_mask;
    } else {
        result |= MoveChannel(value, source->alpha_mask, source->alpha_width, source->alpha_loc,
                              dest->alpha_width, dest->alpha_loc, dest->alpha_mask);
    }
    return result | dest->no_use_mask;
}

}  // namespace velk
