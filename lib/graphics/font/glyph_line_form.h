#pragma once
// The line form of a glyph box writer: the glyphs of a line cut to the clip
// and written by one box writer inlined into the loop, so that what the
// writer sets up from its constants is set up once a line, not a glyph.
//
// Instantiate it in a function with the box writer's own target, e.g.
//   VELK_TARGET void WriteFooLine(...) { WriteLineBoxes<&WriteFooBox>(...); }
// (a box writer of a wider target than its caller is not inlined).

#include <algorithm>

#include "lib/graphics/font/glyph_writer.h"

namespace velk {

// Calls box(gx, gy, glyph, x0, y0, x1, y1) for each glyph of the line with
// its origin at (x, y) that is not wholly outside `clip`: the glyph's box
// at (gx, gy) and its part (x0, y0)-(x1, y1) inside the clip, in the box's
// own coordinates.
template <typename Box>
__attribute__((always_inline)) inline void ForEachLineBox(const Rect& clip, int x, int y, const GlyphLine& line,
                                                          Box&& box) {
    const int left = clip.left, top = clip.top, right = clip.right, bottom = clip.bottom;
    const uint8_t* const cells = line.cells;
    const ptrdiff_t cell_bytes = line.cell_bytes;
    const int pitch = line.pitch;
    for (size_t i = 0; i < line.count; ++i) {
        const PlacedGlyph& placed = line.glyphs[i];
        const int gx = x + placed.along, gy = y + placed.top;
        const int x0 = std::max(0, left - gx), y0 = std::max(0, top - gy);
        const int x1 = std::min<int>(placed.width, right - gx), y1 = std::min<int>(placed.height, bottom - gy);
        if (x0 < x1 && y0 < y1) {
            box(gx, gy, GlyphCellView{cells + placed.cell * cell_bytes, pitch, placed.width, placed.height}, x0, y0, x1,
                y1);
        }
    }
}

template <GlyphWriter::WideBoxWriter kBox>
__attribute__((always_inline)) inline void WriteLineBoxes(const MEMIMG& dest, const Rect& clip, int x, int y,
                                                          const GlyphLine& line, const GlyphWriter::Ink* inks,
                                                          const GlyphWriter::Lookup& lookup,
                                                          const uint32_t* cover_words) {
    ForEachLineBox(
        clip, x, y, line,
        [&](int gx, int gy, const GlyphCellView& glyph, int x0, int y0, int x1, int y1)
            __attribute__((always_inline)) { kBox(dest, gx, gy, glyph, x0, y0, x1, y1, inks, lookup, cover_words); });
}

}  // namespace velk
