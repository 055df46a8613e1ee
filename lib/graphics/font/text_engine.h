#pragma once
// The text engine behind every string draw and measure: walks a string,
// puts its new characters into the font's glyph cache in one batch, and
// either writes the glyphs into a software image or only measures.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk {

struct FontData;

struct TextExtent {
    int width = 0;
    int height = 0;
};

inline constexpr int kRenderMeasure = 0;
inline constexpr int kRenderMemory = 1;
inline constexpr int kRenderTexture = 2;

// What RenderStringToHandle returns, drawing nothing, when `as_alpha_blit`
// is asked for a string whose glyph boxes overlap along the line (a pixel
// would take ink from two glyphs, which the cache screen would not mix
// twice).
inline constexpr int kGlyphBoxesOverlap = -2;

// draw kRenderMeasure only measures; kRenderMemory writes the glyphs into a
// software image; kRenderTexture draws them from the font's texture cache
// through the graph draws (dest and clip are not used; the draw area cuts
// them), and fails for a font without one. (x, y) is the top-left of the line. The scales apply
// only to fonts whose cache is a texture (none here), otherwise they are 1.
// Colours are raw pixels of `dest`'s format, darkened by the draw bright.
// dest null draws into the font's cache screen; clip null is the whole
// image (the image's bounds always cut it). length -1 (or more than the
// string holds) takes the whole string. Vertical text runs downwards with
// every glyph turned a quarter turn clockwise, its line one cell high to the
// right of x.
// Returns -1 on failure (graphics suspended, the display device needed and
// missing, a bad handle); when measuring, the total advance; else 0. extent
// (may be null) receives the string's box: the advance (or the glyphs' right
// edge, when further) by the cell height, turned for vertical text.
// `as_alpha_blit`, `blit_weight`: see GlyphWriter::Begin and
// kGlyphBoxesOverlap.
int RenderStringToHandle(int draw, int x, int y, int scale_flag, double rate_x, double rate_y, const char* string,
                         uint32_t color, MEMIMG* dest, const Rect* clip, int font, uint32_t edge_color, int length,
                         int vertical, TextExtent* extent, bool as_alpha_blit = false, int blit_weight = 255);

// RenderStringToHandle for a draw that holds the record of the handle `font`
// and has seen that graphics are not suspended: a string's draw finds those
// once rather than at every step.
int RenderStringOfFont(FontData& record, int draw, int x, int y, int scale_flag, double rate_x, double rate_y,
                       const char* string, uint32_t color, MEMIMG* dest, const Rect* clip, int font,
                       uint32_t edge_color, int length, int vertical, TextExtent* extent, bool as_alpha_blit = false,
                       int blit_weight = 255);

}  // namespace velk
