#pragma once
// Which pixels a triangle covers, and which texel each covered pixel shows.
//
// Geometry is continuous: a vertex at whole pixel (x, y) is the top-left
// corner of that pixel, and pixel (px, py) is sampled at its centre
// (px + 0.5, py + 0.5). A pixel is covered when its centre lies inside the
// triangle; a centre exactly on an edge belongs to the triangle only when that
// edge is a left edge or a flat top edge (the top-left rule). Two triangles
// that share an edge therefore cover each pixel along it exactly once.
//
// Texture positions are continuous too: texel (tu, tv) spans [tu, tu + 1) x
// [tv, tv + 1), and a covered pixel shows the texel that holds the exact affine
// texture position of its centre. Everything is decided in exact integer
// arithmetic, never by accumulated rounding.

#include <cstdint>

#include "lib/softrender/transform/exact_division.h"

namespace velk {

// Positions and texture positions carry this many fraction bits.
inline constexpr int kSubpixelBits = 8;
inline constexpr int64_t kSubpixelScale = int64_t{1} << kSubpixelBits;
// Every coordinate of a triangle must lie strictly inside +-2^14 whole pixels
// (or texels); a triangle beyond draws nothing. The limit keeps every set-up
// product inside 64 bits and every texture numerator inside 128 bits.
inline constexpr int64_t kTriangleCoordinateLimit = int64_t{1} << 14;

// x, y: destination position; u, v: source position; both with
// kSubpixelBits fraction bits.
struct SubpixelVertex {
    int64_t x = 0;
    int64_t y = 0;
    int64_t u = 0;
    int64_t v = 0;
};

class TriangleCoverage {
public:
    // False when the triangle has no area or a coordinate is out of range.
    bool Setup(const SubpixelVertex (&vertices)[3]);

    // Rows [first_row, end_row) may hold covered pixels.
    int64_t first_row() const { return first_row_; }
    int64_t end_row() const { return end_row_; }
    // The covered columns of a row in [first_row, end_row).
    IndexRange RowSpan(int64_t row) const;

private:
    // An edge walked downwards: dy > 0.
    struct Edge {
        int64_t x0 = 0, y0 = 0, dx = 0, dy = 0;
        // First column whose centre lies at or right of the edge on the row
        // whose centre is at sample_y.
        int64_t FirstColumnAtOrRight(int64_t sample_y) const;
    };

    Edge long_edge_;    // top vertex to bottom vertex
    Edge upper_edge_;   // top vertex to middle vertex
    Edge lower_edge_;   // middle vertex to bottom vertex
    int64_t middle_y_ = 0;
    bool middle_on_left_ = false;
    int64_t first_row_ = 0;
    int64_t end_row_ = 0;
};

// The exact texture position of every pixel centre of a triangle, as a
// numerator over a common positive denominator: the texel column of pixel
// (px, py) is floor(UNumerator(px, py) / denominator()), its row likewise.
class AffineTexelMap {
public:
    // The vertices must be those of a TriangleCoverage that accepted them.
    void Setup(const SubpixelVertex (&vertices)[3]);

    Int128 UNumerator(int64_t column, int64_t row) const;
    Int128 VNumerator(int64_t column, int64_t row) const;
    int64_t denominator() const { return denominator_; }
    // Numerator change from one column to the next.
    int64_t u_step() const { return u_per_column_ * kSubpixelScale; }
    int64_t v_step() const { return v_per_column_ * kSubpixelScale; }

private:
    Int128 Numerator(Int128 origin, int64_t per_column, int64_t per_row, int64_t column, int64_t row) const;

    int64_t x0_ = 0, y0_ = 0;
    Int128 u_origin_ = 0, v_origin_ = 0;  // u0 and v0 times the doubled area
    int64_t u_per_column_ = 0, u_per_row_ = 0;
    int64_t v_per_column_ = 0, v_per_row_ = 0;
    int64_t denominator_ = 1;
};

}  // namespace velk
