#pragma once
// The string draws of the 2D path (display surfaces or software rendering).
// A plain draw of a font without anti-aliasing writes its glyphs straight
// into the draw screen; every other draw renders the string into the font's
// cache screen first and draws that like a graph part, so that the blend
// mode, the anti-aliasing alpha and scaling apply; anti-aliased software
// text in mode 0 onto a plain 32- or 16-bit image skips the cache when its glyphs
// lie apart, writing what the cache's draw would. The caller has checked the
// font handle.

#include <cstdint>

namespace velk {

struct FontData;
class TextDrawScreen;

// 0; -1 when the display device is missing, the cache screen cannot be had,
// the render into the cache fails or the draw screen cannot be locked. The
// caller has found the draw screen, the record of the handle `font`, and
// that graphics are not suspended.
int DrawStringToHandle2D(TextDrawScreen& screen, FontData& record, int x, int y, const char* string, uint32_t color,
                         int font, uint32_t edge_color, int vertical);
// Always through the cache screen, which is stretched by the rates.
int DrawStringScaledToHandle2D(int x, int y, double rate_x, double rate_y, const char* string, uint32_t color,
                               int font, uint32_t edge_color, int vertical);

// Makes the font's cache screen when it was never made, was lost, or no
// longer matches the screen's size and depth. 0, -1 (logged).
int RefreshFontCacheScreen(int font);
// The screen was lost or changed: every font makes its cache screen again
// before its next use.
void MarkFontCacheScreensLost();

// Whether anti-aliased text, and blended text without anti-aliasing, may
// skip the cache screen where they can (on by default); tests compare both
// ways.
void UseStraightText(bool allowed);

}  // namespace velk
