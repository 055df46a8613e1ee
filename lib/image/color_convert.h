#pragma once
// The one routine that moves a rectangle of pixels between two images whose
// pixel formats may differ.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/image/color_data.h"

namespace velk {

enum ColorDitherMode : int {
    kDitherNone = 0,
    kDitherOrdered = 1,  // 4 x 4 threshold matrix
    kDitherCarry = 2,    // dropped bits carried to the next pixel of the row
};

// Copies `source_rect` (right and bottom exclusive) of the source image so that
// its top-left pixel lands at (dest_x, dest_y). Every pixel pointer points at
// pixel (0, 0) of its image; the alpha image (null for none) is addressed with
// the source's coordinates. Nothing is clipped: callers keep both rectangles
// inside their images.
//
//  mirror               rows are written right to left
//  transparent_to_alpha destination pixels whose colour equals the transparent
//                       colour (0x00RRGGBB) get alpha 0, others full alpha; only
//                       for a destination with alpha and a source without
//                       alpha, alpha image or red-as-alpha
//  dither_mode          ColorDitherMode, used where a channel loses bits
//  color_clear          red, green and blue become 0
//  red_as_alpha         the source's red channel becomes the alpha
//  skip_transparent     source pixels whose raw value equals the transparent
//                       colour (in the source's pixel width) are not written;
//                       not applied when the destination has alpha and the
//                       source has alpha of its own or an alpha image
//  palette_remap        between two 8-bit images with different palettes,
//                       each index becomes the nearest destination entry
//
// Returns -1 when the rectangle has no width or height; for a plain 8-bit to
// 8-bit index copy the highest index copied; else 0.
int BltColorConvert(void* dest, int dest_pitch, const ColorData* dest_color, const void* source,
                    int source_pitch, const ColorData* source_color, const void* alpha_image,
                    int alpha_pitch, const ColorData* alpha_color, int dest_x, int dest_y,
                    const Rect* source_rect, int mirror, int transparent_to_alpha,
                    uint32_t transparent_color, int dither_mode, int color_clear, int red_as_alpha,
                    int skip_transparent, int palette_remap);

}  // namespace velk
