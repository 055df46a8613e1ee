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

// The fixed formats the loaders and makers produce (format kind 0, widths 8,
// red at 16, green at 8, blue at 0, alpha at 24 where there is one).
void CreatePaletteColorData(ColorData* out);      // 8-bit indices; palette untouched
void CreateGreyPaletteColorData(ColorData* out);  // 8-bit indices into entries (i, i, i, 0)
void CreateXRGB32ColorData(ColorData* out);
void CreateARGB32ColorData(ColorData* out);
void CreateRGB24ColorData(ColorData* out);

// 1 when depth and the four masks are equal (and, for two formats without
// plain pixels, the format kinds too), else 0.
int IsSameColorData(const ColorData* a, const ColorData* b);
// Recomputes the unused mask (and its location and width) from the depth and
// the channel masks; 0 when the channels fill the whole pixel.
int NormalizeUnusedMask(ColorData* data);
// A paletted descriptor: one byte per pixel whose channel masks lie beyond the
// byte (the 8-bit palette makers), as opposed to a one-channel 8-bit format.
bool IsPaletteColorData(const ColorData* data);

// Packs 8-bit channels into a pixel value of the format, unused bits set. For
// paletted formats: the index of the nearest palette entry (first on a tie).
uint32_t GetColorByColorData(const ColorData* data, int red, int green, int blue, int alpha);
// Unpacks a pixel value to 8-bit channels; each pointer may be null. A channel
// the format lacks reads 0.
int GetColorRGBAByColorData(const ColorData* data, uint32_t value, int* red, int* green, int* blue,
                            int* alpha);
// Re-packs a pixel value of one format into another (no palette lookups).
uint32_t ConvertColorCode(const ColorData* dest, const ColorData* source, uint32_t value);
// The palette index nearest to a colour by the sum of squared differences.
int FindNearestPaletteIndex(const PaletteEntry* palette, int red, int green, int blue);

}  // namespace velk
