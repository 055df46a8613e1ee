#pragma once
// What every transformed fill settles before it walks: the destination and its
// clip rectangle, the source with its texel limits, the per-draw values and the
// loop. Shared by the triangle, four-corner and rotated frames.

#include <cstddef>
#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg.h"
#include "lib/softrender/transform/exact_division.h"
#include "lib/softrender/transform/textured_loops.h"
#include "lib/softrender/transform/triangle_raster.h"

namespace velk {

struct FillTarget {
    uint8_t* pixels = nullptr;  // pixel (0, 0) of the destination view
    ptrdiff_t pitch = 0;
    int bytes_per_pixel = 0;
    int format = 0;
    Rect clip;  // the draw area within the view; never empty
};

// False (draw nothing) for an invalid, paletted or alpha destination, a
// format other than 0 or 1, or a draw area that misses the view.
bool PrepareFillTarget(const MEMIMG* dest, const MemImgDrawSettings& settings, FillTarget* target);

struct TexturedSource {
    const uint8_t* texels = nullptr;  // pixel (0, 0) of the source view
    ptrdiff_t pitch = 0;
    int bytes_per_texel = 0;
    const uint8_t* blend_texels = nullptr;
    ptrdiff_t blend_pitch = 0;
    // Texels at columns [0, width) and rows [0, height) are drawn: the source
    // view, cut to the blend image's extent when there is one.
    int64_t width = 0;
    int64_t height = 0;
    // The source view's own size: the texture positions of its corners.
    int64_t image_width = 0;
    int64_t image_height = 0;
    TexelKind kind = TexelKind::kDirect32;
    LoopVariant variant;
    TexturedDraw draw;
};

// False (draw nothing) for an invalid source, one whose format differs from
// the destination's, a paletted source without palette, or a blend image that
// is invalid or not a format-2 image.
bool PrepareTexturedSource(const FillTarget& target, const MEMIMG* src, int trans_flag, const MEMIMG* blend,
                           const MemImgDrawSettings& settings, TexturedSource* source);

// The blend mode the loops run for the settings, or -1 when nothing is drawn.
int ResolvedBlendMode(const MemImgDrawSettings& settings);

// Textured triangles with sub-pixel vertices, through one loop chosen by the
// caller. Both clip to target.clip.
void FillTexturedTriangle(const FillTarget& target, const TexturedSource& source,
                          TexturedSpanLoop<ExactTexelWalk> loop, const SubpixelVertex (&vertices)[3]);

// Corners 1 to 4 as in DrawMemImgQuad, with sub-pixel positions; their texture
// positions are the source's corners.
void FillTexturedQuad(const FillTarget& target, const TexturedSource& source,
                      TexturedSpanLoop<ExactTexelWalk> loop, const int64_t (&corners)[8]);

}  // namespace velk
