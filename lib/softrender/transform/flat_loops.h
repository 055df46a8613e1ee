#pragma once
// The loops of flat-colour triangles: one colour, prepared once per draw (the
// draw bright, then the inversion of mode 10), combined with each pixel by the
// blend rule of lib/softrender/blend_rules.h. The transparency flag and the
// blend image play no part.

#include <cstdint>

#include "lib/softrender/blend_rules.h"

namespace velk {

struct FlatDraw {
    uint32_t color = 0;  // prepared, in the destination's format
    BlendParam param;
};

using FlatSpanLoop = void (*)(const FlatDraw& draw, uint8_t* dest, int64_t count);

// The loop for a destination format (0 or 1) and a blend mode as
// ResolveBlendMode gives it; null for anything else.
FlatSpanLoop FindFlatSpanLoop(int format, int mode);

// The colour a flat loop draws: the raw colour (a pixel of the destination's
// format) scaled by the draw bright and, in mode 10, inverted.
uint32_t PrepareFlatTriangleColor(int format, uint32_t color, int mode, const BrightRows& bright);

}  // namespace velk
