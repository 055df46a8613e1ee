#pragma once
// Anti-aliased text of one colour over a plain 16-bit image, mixed as the
// alpha blit mixes it, with the machine's 512-bit byte forms.

#include <cstdint>

#include "lib/graphics/font/glyph_writer.h"

namespace velk {

// Writes the part (x0, y0)-(x1, y1) of a glyph box placed at (x, y), cells
// of value v = 1 to 14 mixing `lookup.level_color` over the pixel by v/16,
// 15 storing it whole and every other value leaving the pixel. Call it only
// where the machine has AVX-512 BW (a glyph writer's wide box form).
void WriteLevelsOver16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                       const GlyphWriter::Ink* inks, const GlyphWriter::Lookup& lookup, const uint32_t* cover_words);
// The line form of WriteLevelsOver16 (as GlyphWriter::WriteLine).
void WriteLevelsLineOver16(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line,
                           const GlyphWriter::Ink* inks, const GlyphWriter::Lookup& lookup,
                           const uint32_t* cover_words);

}  // namespace velk
