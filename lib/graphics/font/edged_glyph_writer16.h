#pragma once
// Anti-aliased edged glyphs written over a plain 16-bit image as the alpha
// blit would write them, by byte tables looked up with the 512-bit byte
// permutes where the machine has them.

#include <cstdint>

#include "lib/graphics/font/glyph_writer.h"

namespace velk {

// Bytes of the tables WriteEdgedOver16 reads: four tables of 256, one byte
// per cell value each.
inline constexpr int kEdgedOver16TableBytes = 1024;

// Fills the tables from the inks of the 256 cell values (each as Put writes
// it over a plain 16-bit image: whole when its coverage is 255, nothing at
// 0, mixed otherwise).
void MakeEdgedOver16Tables(const GlyphWriter::Ink* inks, uint8_t* tables);

// Whether the machine runs WriteEdgedOver16.
bool MachineRunsEdgedOver16();

// The part (x0, y0)-(x1, y1) of a glyph box of anti-aliased edged cells, in
// the box's own coordinates, placed with its top-left at (x, y) in a plain
// 16-bit image, by the tables MakeEdgedOver16Tables made.
void WriteEdgedOver16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                      const uint8_t* tables);

}  // namespace velk
