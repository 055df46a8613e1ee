#pragma once
// Drawing onto software images: the plain and the scaled blit, filled boxes
// and lines. Every draw reads the blend mode, its parameter, the draw bright and
// the draw area from the draw settings (draw_settings.h), clips to the draw area
// cut to the destination, and silently draws nothing when it cannot draw:
// invalid images, a destination that is paletted, has alpha or is not 16- or
// 32-bit, a source of another format, a mode without software loops (5 to 9,
// outside 0..11), or parameter 0 in modes 1, 2 and 3.
//
// Colours are raw pixels of the destination's format. A blend image is a
// one-byte-per-pixel image addressed in the source's coordinates; where it is
// smaller than the source, the source counts as transparent.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk {

// Draws the whole source with its top-left pixel at (x, y). A non-zero
// trans_flag skips source pixels in the transparent colour, or, for a source
// with alpha, pixels of alpha 0 (and treats alpha 255 as opaque); with the
// flag clear, a source with alpha is weighted by its alpha everywhere.
void BltMemImg(MEMIMG* dest, const MEMIMG* source, int x, int y, int trans_flag, const MEMIMG* blend_image);

// Draws the whole source stretched or shrunk into `rect` by nearest-neighbour
// sampling; a rectangle given right-to-left or bottom-to-top mirrors that
// axis. Same size and not mirrored: exactly BltMemImg at the top-left corner.
void BltMemImgScaled(MEMIMG* dest, const MEMIMG* source, const Rect* rect, int trans_flag,
                     const MEMIMG* blend_image);

// Fills `rect` (null: the whole destination; corners in either order, right
// and bottom exclusive) with the colour in the current blend mode.
void DrawMemImgFilledBox(MEMIMG* dest, const Rect* rect, uint32_t color);

// Draws from (x1, y1), which is drawn, towards (x2, y2), which is not, so a
// closed outline drawn corner to corner sets every pixel once.
void DrawMemImgLine(MEMIMG* dest, int x1, int y1, int x2, int y2, uint32_t color);

// One line of a line list. blend_param records the parameter when the record
// was made; drawing uses the current one.
struct LineRecord {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    uint32_t color = 0;
    int32_t blend_param = 0;
};

// DrawMemImgLine for each record in order; a count of 0 or less draws nothing.
void DrawMemImgLines(MEMIMG* dest, const LineRecord* lines, int count);

}  // namespace velk
