#pragma once
// The 16-bit multipliers by which the vector forms of the blits and fills
// reach the blend rules' divisions by 255 exactly: a vector has a high-half
// multiply (x w / 2^16) but no division. Each identity below holds for every
// value it is used on (a channel of up to 8 bits, a 5- or 6-bit difference);
// the reference tests compare the forms that rely on them pixel by pixel.

#include <cstdint>

#include "lib/softrender/blend_rules.h"

namespace velk {

// floor(v x P / 255) = (v x w) >> 16 for v of 0..255 and P of 0..254 (the
// table row MulDiv255Table[P]): w = 257 P + 1 lies a little above
// P x 2^16 / 255, by less than the gap between v x P / 255 and the next whole
// number. P = 255 (v itself) has no such w; its callers take v.
constexpr uint16_t UnsignedWeight255(int param) { return static_cast<uint16_t>(257 * param + 1); }

// trunc(diff x P / 255) = ((2 diff x w) >> 16) + (diff < 0 ? 1 : 0), the
// shift arithmetic, for diff of -63..63 and P of 1..254 (MixAlpha16's step):
// w = ceil(P x 2^15 / 255) fits a signed 16-bit lane and lies above
// P x 2^15 / 255 by less than the gap to the next whole number, never on it,
// so the shift floors a negative product one below its truncation.
constexpr int16_t SignedWeight255(int param) { return static_cast<int16_t>((param * 32768 + 254) / 255); }

// The weight over 2^16 of a source pixel with alpha that the transparency
// flag leaves unweighted (alpha 255): add and subtract scale the source by
// P / 255 alone (UnsignedWeight255, or the source whole at P = 255, weight 0
// here), multiply scales d x s by 256 / 2^16, the same as (d x s) >> 8.
constexpr uint16_t OpaqueSourceWeight(int mode, int param) {
    if (mode == kBlendModeMultiply) {
        return 256;
    }
    return param >= 255 ? 0 : UnsignedWeight255(param);
}

// What turns the weight such a pixel would have with its alpha taking part
// (255 x P for add and subtract, 255 for multiply) into OpaqueSourceWeight,
// added in 16-bit lanes (wrapping at P = 255).
constexpr uint16_t OpaqueWeightExtra(int mode, int param) {
    const int weighted = mode == kBlendModeMultiply ? 255 : 255 * param;
    return static_cast<uint16_t>(OpaqueSourceWeight(mode, param) - weighted);
}

}  // namespace velk
