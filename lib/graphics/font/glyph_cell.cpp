#include "lib/graphics/font/glyph_cell.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "lib/graphics/font/edge_brush.h"
#include "lib/graphics/font/font_data.h"

namespace velk {

namespace {

bool BitAt(const RenderedGlyph& glyph, int x, int y) {
    return (glyph.bits[y * glyph.pitch + (x >> 3)] & (0x80 >> (x & 7))) != 0;
}

// Levels 0..16 to the stored 0..15 (levels 0 and 1 both mean nothing).
uint8_t StoredLevel(uint8_t level) {
    level = std::min<uint8_t>(level, 16);
    return level > 1 ? static_cast<uint8_t>(level - 1) : 0;
}

// The platform's rows hold the leftmost pixel in the highest bit; cells in
// the lowest.
constexpr std::array<uint8_t, 256> kReversedBits = [] {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        int r = 0;
        for (int bit = 0; bit < 8; ++bit) r |= ((v >> bit) & 1) << (7 - bit);
        table[static_cast<size_t>(v)] = static_cast<uint8_t>(r);
    }
    return table;
}();

void WriteBitCell(const GlyphCellLayout& cell, const RenderedGlyph& glyph, int width, int height) {
    const int bytes = (width + 7) / 8;
    const uint8_t last_mask = static_cast<uint8_t>(0xFF >> ((8 - (width & 7)) & 7));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = cell.pixels + y * cell.pitch;
        const uint8_t* source = glyph.bits + y * glyph.pitch;
        for (int b = 0; b < bytes; ++b) {
            row[b] = kReversedBits[source[b]];
        }
        row[bytes - 1] &= last_mask;
    }
}

// Marks every brush position around a glyph pixel that is not a glyph pixel
// itself as edge (value 2).
void StampBinaryEdge(const GlyphCellLayout& cell, int box_width, int box_height) {
    const auto& brush = EdgeBrushOffsets(cell.edge_size);
    for (int y = 0; y < box_height; ++y) {
        for (int x = 0; x < box_width; ++x) {
            if (cell.pixels[y * cell.pitch + x] != 1) {
                continue;
            }
            for (const BrushOffset& o : brush) {
                uint8_t& p = cell.pixels[(y + o.dy) * cell.pitch + x + o.dx];
                if (p == 0) {
                    p = 2;
                }
            }
        }
    }
}

// Raises the edge level (high 4 bits) of every brush position to the glyph
// value (low 4 bits) around it.
void StampGreyEdge(const GlyphCellLayout& cell, int box_width, int box_height) {
    const auto& brush = EdgeBrushOffsets(cell.edge_size);
    for (int y = 0; y < box_height; ++y) {
        for (int x = 0; x < box_width; ++x) {
            const uint8_t glyph = cell.pixels[y * cell.pitch + x] & 0x0F;
            if (glyph == 0) {
                continue;
            }
            const uint8_t raised = static_cast<uint8_t>(glyph << 4);
            for (const BrushOffset& o : brush) {
                uint8_t& p = cell.pixels[(y + o.dy) * cell.pitch + x + o.dx];
                if ((p & 0xF0) < raised) {
                    p = static_cast<uint8_t>((p & 0x0F) | raised);
                }
            }
        }
    }
}

}  // namespace

void ClearGlyphCell(const GlyphCellLayout& cell) {
    const int row_bytes = cell.font_type == 0 ? (cell.size + 7) / 8 : cell.size;
    for (int y = 0; y < cell.size; ++y) {
        std::memset(cell.pixels + y * cell.pitch, 0, static_cast<size_t>(row_bytes));
    }
}

GlyphBox WriteGlyphCell(const GlyphCellLayout& cell, const RenderedGlyph& glyph) {
    const bool edged = (cell.font_type & kFontTypeEdge) != 0;
    const int offset = edged ? std::max(cell.edge_size, 1) : 0;
    const int width = std::min(glyph.width, cell.size - 2 * offset);
    const int height = std::min(glyph.height, cell.size - 2 * offset);
    if (width <= 0 || height <= 0 || glyph.bits == nullptr) {
        return GlyphBox{};
    }
    if (cell.font_type == 0) {
        WriteBitCell(cell, glyph, width, height);
        return GlyphBox{width, height};
    }
    const bool grey = (cell.font_type & kFontTypeAntiAlias) != 0;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = cell.pixels + (y + offset) * cell.pitch + offset;
        for (int x = 0; x < width; ++x) {
            row[x] = grey ? StoredLevel(glyph.bits[y * glyph.pitch + x]) : (BitAt(glyph, x, y) ? 1 : 0);
        }
    }
    const GlyphBox box{width + 2 * offset, height + 2 * offset};
    if (cell.font_type == 1) {
        StampBinaryEdge(cell, box.width, box.height);
    } else if (cell.font_type == 3) {
        StampGreyEdge(cell, box.width, box.height);
    }
    return box;
}

}  // namespace velk
