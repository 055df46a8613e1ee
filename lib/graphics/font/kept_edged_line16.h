#pragma once
// Lines of anti-aliased edged text drawn again over a plain 16-bit image, as
// games draw their text every frame: what the mix of each covered pixel
// reads besides the pixel is kept once for the whole line, in spans of 32
// pixels laid over its rows, so that a line drawn again mixes each span in
// place with one load and one store, whatever glyph boxes the span crosses.

#include <cstdint>

#include "lib/graphics/font/glyph_writer.h"

namespace velk {

// Whether the machine runs DrawKeptEdgedLine16 (which needs the byte
// permutes, as WriteEdgedOver16 does, and the word funnel shifts).
bool MachineRunsKeptEdgedLines16();

// Draws `line` at (x, y) cut to `clip`, as WriteEdgedLineOver16 draws it by
// the tables MakeEdgedOver16Tables made under `tables_stamp`, from what this
// thread kept of it: a line is kept at its second draw with the same cells
// under the same cache stamp, the same tables, the same glyphs and the same
// clip about its origin. False, with nothing drawn, where the line is not
// (or cannot be) kept: drawn once so far, a stamp of 0, too large, or a
// machine without those instructions; the caller then draws it box by box.
bool DrawKeptEdgedLine16(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line,
                         const uint8_t* tables, uint64_t tables_stamp);

}  // namespace velk
