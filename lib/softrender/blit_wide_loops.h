#pragma once
// Eight-pixel AVX2 forms of the weighted 32-bit blits: mode 0 and 1 draws
// weighted by the source alpha, the blend graph or both, add, subtract and
// multiply of sources with alpha, and the plain keyed copy, unscaled, without
// draw bright; the same sixteen pixels a step for 16-bit sources with alpha
// and the 16-bit alpha box; a sixteen-pixel AVX-512 form of the mode 0
// alpha-source draw. They write exactly what the general loops write and are
// chosen at run time by what the machine has.

#include <cstddef>
#include <cstdint>

#include "lib/softrender/blit_job.h"

namespace velk {

// Runs the job when a wide form covers it and the machine has AVX2; false
// otherwise (nothing drawn).
bool RunWideBlitJob32(const BlitJob& job);
// The same for 16-bit images: sources with alpha in modes 0, 2, 3 and 4.
bool RunWideBlitJob16(const BlitJob& job);

// Mode 1's flat colour over `count` 32-bit pixels from dp on (the filled
// box's rows): per channel (d x (256 - P) + c x P) >> 8, X kept. False
// (nothing drawn) where the AVX-512 forms may not run.
bool RunWideAlphaFill32(uint8_t* dp, size_t count, uint32_t color, int param);
// Mode 1's flat colour over 16-bit pixels, P of 1..254: each channel
// MixAlpha16(d, c, P). Draws the first pixels of the `count`, a multiple of
// sixteen, and returns how many (0 where the AVX2 forms may not run).
size_t RunWideAlphaFill16(uint8_t* dp, size_t count, uint32_t color, int param);

// Whether the wide forms above may run at all (the default where the machine
// has AVX2). Tests run the blits and fills both ways.
void UseWideBlitLoops(bool allowed);
// Whether the AVX-512 forms (the blits' and the fill's) may run where the
// wide forms may (the default where the machine has AVX-512 F and BW); false
// leaves the AVX2 forms.
void UseAvx512BlitLoops(bool allowed);

}  // namespace velk
