#pragma once
// A slow, straight model of the transformed fills, written from their rules
// and sharing no code with them: every pixel of the draw area is tested on its
// own (edge functions with the top-left rule for triangles, the closed-form
// inverse mapping for rotated draws), its texel found by exact rational
// arithmetic, and its new value computed by the one-pixel model of the blits
// (tests/lib/softrender/reference_model.h). The draw settings and the
// blend-graph table are read as inputs.

#include <cstdint>

#include "lib/softrender/memimg.h"

namespace velk::testing {

// A triangle vertex in 1/256 pixel (and 1/256 texel) units.
struct ReferenceVertex {
    int64_t x, y, u, v;
};

// Whether the centre of pixel (px, py) is covered by the triangle.
bool ReferenceCovers(const ReferenceVertex (&t)[3], int64_t px, int64_t py);
// The texel column and row holding the exact texture position of the centre
// of pixel (px, py).
void ReferenceTexel(const ReferenceVertex (&t)[3], int64_t px, int64_t py, int64_t* column, int64_t* row);

// The same draws as the library's, into dest. Vertices and corners are in
// 1/256 pixel units (whole pixels times 256 for the public entry points).
void ReferenceTriangle(MEMIMG* dest, const MEMIMG* src, const ReferenceVertex (&t)[3], int trans_flag,
                       const MEMIMG* blend, uint32_t flat_color);
void ReferenceQuad(MEMIMG* dest, const MEMIMG* src, const int64_t (&corners)[8], int trans_flag, const MEMIMG* blend);
void ReferenceRotated(MEMIMG* dest, const MEMIMG* src, int cx, int cy, float angle, float scale, int trans_flag,
                      int mirror_flag, const MEMIMG* blend);

}  // namespace velk::testing
