#pragma once
// How a span loop steps through the source: one walk per frame. Each walk
// hands the loop the address of the current texel (and of its blend-image
// byte) and moves one destination pixel to the right. The frames only start a
// walk on a run of pixels whose texels all lie inside the source (and inside
// the blend image), so neither walk tests bounds.

#include <cstddef>
#include <cstdint>

namespace velk {

// The triangle walk: the texel position is kept exactly as whole texels plus
// a remainder over the triangle's common denominator, so stepping never
// drifts from the exact position of each pixel centre.
struct ExactTexelWalk {
    const uint8_t* texels = nullptr;       // source pixel (0, 0)
    const uint8_t* blend_texels = nullptr; // blend-image pixel (0, 0), or null
    ptrdiff_t texel_offset = 0;            // bytes from texels to the current texel
    ptrdiff_t blend_offset = 0;
    // Offsets added at every step for the whole-texel part of the step, and
    // when a remainder carries into the next column or row.
    ptrdiff_t texel_step = 0, blend_step = 0;
    ptrdiff_t texel_column = 0, texel_row = 0, blend_row = 0;
    int64_t u_remainder = 0, v_remainder = 0;  // 0 <= remainder < denominator
    int64_t u_remainder_step = 0, v_remainder_step = 0;
    int64_t denominator = 1;

    template <int kBytes>
    const uint8_t* Texel() const {
        return texels + texel_offset;
    }
    uint8_t BlendByte() const { return blend_texels[blend_offset]; }
    void Advance() {
        texel_offset += texel_step;
        blend_offset += blend_step;
        u_remainder += u_remainder_step;
        if (u_remainder >= denominator) {
            u_remainder -= denominator;
            texel_offset += texel_column;
            blend_offset += 1;
        }
        v_remainder += v_remainder_step;
        if (v_remainder >= denominator) {
            v_remainder -= denominator;
            texel_offset += texel_row;
            blend_offset += blend_row;
        }
    }
};

// Fraction bits of the rotated walk's texture positions.
inline constexpr int kRotationFractionBits = 32;

// The rotated walk: texture positions in fixed point with 32 fraction bits,
// stepped by a constant per pixel.
struct FixedTexelWalk {
    const uint8_t* texels = nullptr;
    const uint8_t* blend_texels = nullptr;
    ptrdiff_t pitch = 0;
    ptrdiff_t blend_pitch = 0;
    int64_t u = 0, v = 0;  // never negative while a texel is read
    int64_t u_step = 0, v_step = 0;

    template <int kBytes>
    const uint8_t* Texel() const {
        return texels + (v >> kRotationFractionBits) * pitch + (u >> kRotationFractionBits) * kBytes;
    }
    uint8_t BlendByte() const {
        return blend_texels[(v >> kRotationFractionBits) * blend_pitch + (u >> kRotationFractionBits)];
    }
    void Advance() {
        u += u_step;
        v += v_step;
    }
};

}  // namespace velk
