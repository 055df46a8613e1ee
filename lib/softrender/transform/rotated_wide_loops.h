#pragma once
// Eight-pixel loops of the rotated draw for the commonest sources: direct
// 32- and 16-bit texels without blend image or draw bright, copied or mixed
// by the blend parameter, with or without the transparent colour, and copied
// by their own alpha. They read eight texels with one AVX2 gather (a 16-bit
// texel from the aligned 32-bit word that holds it) and write exactly what
// the generic loops of textured_loops.h write; they are chosen at run time
// where the machine has AVX2.

#include <cstdint>

#include "lib/softrender/transform/textured_loops.h"

namespace velk {

// The wide loop for the draw, or null when the generic loop is to be used (no
// AVX2, a variant the wide loops do not cover, or a source so large that its
// byte offsets do not fit 31 bits).
TexturedSpanLoop<FixedTexelWalk> FindWideRotatedLoop(TexelKind kind, int mode, LoopVariant variant, ptrdiff_t pitch,
                                                     int64_t width, int64_t height);

// Whether FindWideRotatedLoop may choose wide loops at all (the default where
// the machine has AVX2). Tests run the rotated draws both ways.
void UseWideRotatedLoops(bool allowed);

}  // namespace velk
