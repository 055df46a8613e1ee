#pragma once
// Drawing and measuring strings with font handles or the default font.
// Strings are Shift-JIS; colours are colour values in the screen's format.

#include <cstdint>

namespace velk {

// Draws the string with its top-left at (x, y), cut to the draw area, with the
// blend mode and draw bright. Nothing (0) for a null or empty string; -1 on a
// bad handle (logged).
int DrawStringToHandle(int x, int y, const char* string, uint32_t color, int font, uint32_t edge_color = 0,
                       int vertical = 0);
// The same, stretched by the rates.
int DrawStringScaledToHandle(int x, int y, double rate_x, double rate_y, const char* string, uint32_t color,
                             int font, uint32_t edge_color = 0, int vertical = 0);
// With the default font, horizontal.
int DrawString(int x, int y, const char* string, uint32_t color, uint32_t edge_color = 0);
// printf-style text of any length with the default font, without edge.
int DrawFormattedString(int x, int y, uint32_t color, const char* format, ...) __attribute__((format(printf, 4, 5)));

// The width of `length` bytes of the string (the whole string when it is
// shorter); -1 on a bad handle.
int GetStringWidthToHandle(const char* string, int length, int font, int vertical = 0);
int GetStringWidth(const char* string, int length, int vertical = 0);

}  // namespace velk
