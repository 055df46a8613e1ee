#pragma once
// One cell of a glyph cache and how a rendered glyph is stored in it:
//   font type 0: 1 bit per pixel, set for glyph pixels, pixel x in bit
//                x mod 8 of byte x / 8 (the leftmost pixel lowest, so that a
//                row loads as one little-endian word);
//   font type 1: 1 byte per pixel, 1 glyph, 2 edge, 0 nothing;
//   font type 2: 1 byte per pixel, the grey level minus 1 (levels 0 and 1 give 0);
//   font type 3: as type 2 in the low 4 bits, the edge level in the high 4
//                bits: the largest glyph value under the edge brush.
// Edged fonts store the glyph at (edge size, edge size) so that its edge fits
// around it.

#include <cstdint>

namespace velk {

struct GlyphCellLayout {
    uint8_t* pixels = nullptr;  // the cell's top-left pixel (row 0 starts a byte)
    int pitch = 0;
    int size = 0;               // cells are size x size pixels
    int font_type = 0;
    int edge_size = 1;
};

// The platform's glyph bitmap: 1-bit rows (most significant bit first) for
// font types 0 and 1, rows of levels 0..16 for types 2 and 3.
struct RenderedGlyph {
    int width = 0;
    int height = 0;
    int pitch = 0;
    const uint8_t* bits = nullptr;
};

struct GlyphBox {
    int width = 0;
    int height = 0;
};

// Whether pixel x of a 1-bit cell row is set.
inline bool CellBit(const uint8_t* row, int x) { return ((row[x >> 3] >> (x & 7)) & 1) != 0; }

void ClearGlyphCell(const GlyphCellLayout& cell);
// Stores the glyph into a cleared cell; a glyph larger than the cell is cut.
// Returns the box written, the edge included (0 x 0 for an empty glyph).
GlyphBox WriteGlyphCell(const GlyphCellLayout& cell, const RenderedGlyph& glyph);

}  // namespace velk
