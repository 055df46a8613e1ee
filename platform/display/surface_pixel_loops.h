#pragma once
// The pixel loops behind the display surfaces' fills and copies. Each
// operation picks its loop once, by pixel size and by whether a colour key
// applies, so the per-pixel work is a load, a compare and a store.

#include <cstddef>
#include <cstdint>
#include <span>

namespace velk::platform {

// A source colour key: a pixel is skipped when low <= (pixel & mask) <= high.
// An empty range (low above high) keys nothing.
struct PixelKey {
    uint32_t mask = 0;
    uint32_t low = 0;
    uint32_t high = 0;
};

// The rectangles of one copy, as addresses: `dest` is the first pixel of the
// first destination row, `source` that of the first source row.
struct PixelRows {
    uint8_t* dest = nullptr;
    ptrdiff_t dest_pitch = 0;
    const uint8_t* source = nullptr;
    ptrdiff_t source_pitch = 0;
    int width = 0;
    int height = 0;
};

// Fills width x height pixels of `bytes` (1, 2 or 4) with the value's low bits.
void FillPixels(int bytes, uint8_t* dest, ptrdiff_t pitch, int width, int height, uint32_t value);

// An unscaled copy, row for row; key null copies every pixel.
void CopyPixels(int bytes, const PixelRows& rows, const PixelKey* key);

// A scaled copy: destination row y shows source row source_rows[y] and
// destination column x source column source_columns[x], both counted from
// rows.source (whose height and width are ignored).
void CopyPixelsScaled(int bytes, const PixelRows& rows, std::span<const int32_t> source_rows,
                      std::span<const int32_t> source_columns, const PixelKey* key);

// The widest instructions the keyed copies use: the machine's widest,
// unless lowered (tests run every form against a plain loop).
enum class PixelLoopWidth { kSse2, kAvx2, kAvx512 };
PixelLoopWidth MachinePixelLoopWidth();
// Lowers the width used to at most `width` (the machine's widest again with
// kAvx512).
void LimitPixelLoopWidth(PixelLoopWidth width);

}  // namespace velk::platform
