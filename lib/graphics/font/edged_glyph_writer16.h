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
// 0, mixed otherwise). Returns the tables' stamp: a number no other tables
// made in this process take.
uint64_t MakeEdgedOver16Tables(const GlyphWriter::Ink* inks, uint8_t* tables);

// Whether the machine runs WriteEdgedOver16.
bool MachineRunsEdgedOver16();

// Whether the writer may keep the looked-up steps of the glyph boxes it
// wrote lately and mix a box drawn again from them (on by default); tests
// compare both.
void KeepEdgedOver16Steps(bool allowed);

// The part (x0, y0)-(x1, y1) of a glyph box of anti-aliased edged cells, in
// the box's own coordinates, placed with its top-left at (x, y) in a plain
// 16-bit image, by the tables MakeEdgedOver16Tables made and their stamp
// (0: tables whose steps are not to be kept).
void WriteEdgedOver16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                      const uint8_t* tables, uint64_t stamp);

// A line's glyphs by WriteEdgedOver16 (as GlyphWriter::WriteLine), the
// tables and their stamp those after `cover_words` and in `lookup`.
void WriteEdgedLineOver16(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line,
                          const GlyphWriter::Ink* inks, const GlyphWriter::Lookup& lookup, const uint32_t* cover_words);

}  // namespace velk
