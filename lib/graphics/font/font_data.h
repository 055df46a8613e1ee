#pragma once
// The record behind a font handle: one platform font at one size, thickness,
// type and character set, with its glyph cache. The cache is a ring of square
// cells in memory, one column wide; each cell holds one rendered character and
// a glyph entry says where it lies and how it advances the pen.

#include <cstdint>
#include <memory>
#include <string>

#include "lib/softrender/memimg.h"
#include "platform/font/gdi_font.h"

namespace velk {

inline constexpr uint32_t kFontHandleType = 0x20000000;
inline constexpr int kFontHandleSlots = 40;
inline constexpr int kFontCheckLimit = 2048;

// Font type bits.
inline constexpr int kFontTypeEdge = 1;
inline constexpr int kFontTypeAntiAlias = 2;

// The library's character-set codes.
inline constexpr int kFontCharsetDefault = 0;
inline constexpr int kFontCharsetShiftJis = 1;
inline constexpr int kFontCharsetHangeul = 2;

inline constexpr int kMaxGlyphCells = 2024;
inline constexpr int kCodeIndexSize = 65536;
// A cell side above this is refused: such a font would need a cache of tens of
// megabytes and no game text is drawn at that size.
inline constexpr int kMaxCellSize = 1024;

struct GlyphEntry {
    uint16_t in_use = 0;
    int16_t origin_x = 0;   // left of the glyph from the pen
    int16_t top = 0;        // ascent minus the glyph's top: its top below the line's top
    int16_t advance = 0;    // pen step (twice the edge size wider for edged fonts)
    int32_t cell = -1;      // cell number, fixed at cache reset; -1 for the end entry
    int16_t width = 0;      // glyph box (twice the edge size larger for edged fonts)
    int16_t height = 0;
    int32_t code = -1;      // the code whose index pair points here, -1 for none
};

struct CodeIndexEntry {
    uint16_t in_cache = 0;
    uint16_t entry = 0;
};

struct FontData {
    uint32_t check = 0;
    int32_t handle = 0;
    int* delete_flag = nullptr;  // the owner's flag, set to 1 when the font is deleted

    GlyphEntry glyphs[kMaxGlyphCells + 1];
    CodeIndexEntry code_index[kCodeIndexSize];
    int next_cell = 0;
    int cell_count = 0;
    // Taken anew from a count shared by all fonts whenever the cache renders
    // or is emptied: no two states of any record's cache, nor of a record
    // made where a deleted one lay, share a stamp, so what was found in the
    // cache may be kept under its stamp.
    uint64_t cache_stamp = 0;

    // The memory glyph cache: one column of cells, 1 bit per pixel for font
    // type 0 and 1 byte per pixel for the other types.
    uint8_t* cache_image = nullptr;
    int cache_pitch = 0;
    int cache_bits = 0;
    int cache_width = 0;
    int cache_height = 0;
    int cells_per_column = 0;

    std::string face_name;  // as asked for; empty when the fall-back face was used
    int thickness = 0;
    int size = 0;
    int cell_height = 0;
    int italic = 0;
    int spacing = 0;
    int cell_size = 0;
    int ascent = 0;
    std::unique_ptr<platform::GdiFont> gdi_font;
    int font_type = 0;
    int charset = kFontCharsetShiftJis;
    int edge_size = 1;

    // Where blended and anti-aliased text is rendered before it is drawn: an
    // image of the screen's size and format, with alpha for anti-aliased
    // fonts. Made on first use and re-made when the screen changed.
    MEMIMG cache_screen;
    int cache_screen_lost = 1;

    // 1: the glyphs also live in a texture graph and the Direct3D path draws
    // them from there. The memory cells are kept in this mode too, so that a
    // draw made while Direct3D is switched off still finds its glyphs.
    int texture_mode = 0;
    // The texture cache: cells fill a column top to bottom, then the next
    // column; white texels whose alpha carries the coverage (4 bits for
    // anti-aliased fonts, 1 bit otherwise). Edged fonts have a cache graph
    // twice as wide whose right half (the edge graph, derived over it) holds
    // each glyph's edge at the same place.
    int cache_graph = -1;
    int edge_graph = -1;
    int cache_graph_lost = 1;  // written 1 when the cache graph is deleted
    int texture_width = 0;     // of the glyph half
    int texture_height = 0;
    int texture_cells_per_column = 0;
};

inline bool FontIsEdged(const FontData& font) { return (font.font_type & kFontTypeEdge) != 0; }
inline bool FontIsAntiAliased(const FontData& font) { return (font.font_type & kFontTypeAntiAlias) != 0; }

}  // namespace velk
