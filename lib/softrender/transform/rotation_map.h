#pragma once
// The inverse mapping of a rotated, scaled draw: which source position the
// centre of each destination pixel looks at.
//
// The source's centre texel corner (width / 2, height / 2, halves rounded
// down) sits on the destination corner point (cx, cy). Pixel (px, py) is
// sampled at its centre: the offset d = (px + 1/2 - cx, py + 1/2 - cy) is
// turned back by the angle and divided by the scale,
//   u = width / 2 + (d.x cos + d.y sin) / scale
//   v = height / 2 + (-d.x sin + d.y cos) / scale,
// in fixed point with kRotationFractionBits fraction bits: the four steps
// cos / scale and sin / scale are rounded to that precision once, and every
// pixel's position follows from them exactly, so a pixel's texel does not
// depend on where a clipped walk starts.

#include <cstdint>

#include "lib/softrender/transform/exact_division.h"
#include "lib/softrender/transform/texel_walk.h"

namespace velk {

class RotationMap {
public:
    // False when angle or scale is not finite, the scale is 0 or so small
    // that one pixel would step more than 2^15 texels, or the centre lies
    // outside +-16383.
    bool Setup(int64_t width, int64_t height, int64_t cx, int64_t cy, float angle, float scale);

    Int128 UAt(int64_t column, int64_t row) const;
    Int128 VAt(int64_t column, int64_t row) const;
    // Per destination column: u grows by cos / scale, v by -sin / scale.
    int64_t u_step() const { return cos_step_; }
    int64_t v_step() const { return -sin_step_; }
    // Per destination row: u grows by sin / scale, v by cos / scale. The
    // positions carry the half-pixel offset exactly, so a row's position is
    // the previous row's plus these steps, without rounding.
    int64_t u_row_step() const { return sin_step_; }
    int64_t v_row_step() const { return cos_step_; }

    // Rows [first_row, end_row) hold every pixel that can show the image
    // (computed from the image's circumscribed circle, clamped to the limits).
    int64_t FirstRow(int64_t limit) const;
    int64_t EndRow(int64_t limit) const;

    double cos_value() const { return cos_; }
    double sin_value() const { return sin_; }

private:
    Int128 At(Int128 centre, int64_t along_x, int64_t along_y, int64_t column, int64_t row) const;

    int64_t cx_ = 0, cy_ = 0;
    Int128 u_centre_ = 0, v_centre_ = 0;
    int64_t cos_step_ = 0, sin_step_ = 0;  // cos / scale, sin / scale in fixed point
    double cos_ = 1.0, sin_ = 0.0;
    double reach_ = 0.0;  // distance from (cx, cy) beyond which no pixel shows the image
};

}  // namespace velk
