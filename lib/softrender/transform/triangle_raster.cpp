#include "lib/softrender/transform/triangle_raster.h"

#include <utility>

namespace velk {
namespace {

constexpr int64_t kHalfPixel = kSubpixelScale / 2;

bool InRange(int64_t value) {
    return value > -kTriangleCoordinateLimit * kSubpixelScale && value < kTriangleCoordinateLimit * kSubpixelScale;
}

// The centre of a pixel row or column, in subpixel units.
int64_t CentreOf(int64_t index) { return index * kSubpixelScale + kHalfPixel; }

// Twice the signed area: positive when the vertices run clockwise on the
// screen (y grows downwards).
int64_t DoubledArea(const SubpixelVertex& a, const SubpixelVertex& b, const SubpixelVertex& c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

}  // namespace

int64_t TriangleCoverage::Edge::FirstColumnAtOrRight(int64_t sample_y) const {
    // The edge crosses the row at x = x0 + (sample_y - y0) dx / dy; the first
    // column whose centre is at or right of it is ceil((x - 1/2) / 1).
    const Int128 numerator = static_cast<Int128>(x0 - kHalfPixel) * dy + static_cast<Int128>(sample_y - y0) * dx;
    return static_cast<int64_t>(CeilDiv(numerator, static_cast<Int128>(dy) * kSubpixelScale));
}

bool TriangleCoverage::Setup(const SubpixelVertex (&vertices)[3]) {
    for (const SubpixelVertex& vertex : vertices) {
        if (!InRange(vertex.x) || !InRange(vertex.y) || !InRange(vertex.u) || !InRange(vertex.v)) return false;
    }
    if (DoubledArea(vertices[0], vertices[1], vertices[2]) == 0) return false;

    const SubpixelVertex* top = &vertices[0];
    const SubpixelVertex* middle = &vertices[1];
    const SubpixelVertex* bottom = &vertices[2];
    if (middle->y < top->y) std::swap(top, middle);
    if (bottom->y < middle->y) std::swap(middle, bottom);
    if (middle->y < top->y) std::swap(top, middle);

    auto make_edge = [](const SubpixelVertex& from, const SubpixelVertex& to) {
        return Edge{from.x, from.y, to.x - from.x, to.y - from.y};
    };
    long_edge_ = make_edge(*top, *bottom);
    upper_edge_ = make_edge(*top, *middle);
    lower_edge_ = make_edge(*middle, *bottom);
    middle_y_ = middle->y;
    // The middle vertex lies left of the long edge when top, middle, bottom
    // run counter-clockwise.
    middle_on_left_ = DoubledArea(*top, *middle, *bottom) < 0;

    // Rows whose centre lies in [top y, bottom y): a flat top edge keeps its
    // centres, a flat bottom edge loses them.
    first_row_ = static_cast<int64_t>(CeilDiv(top->y - kHalfPixel, kSubpixelScale));
    end_row_ = static_cast<int64_t>(CeilDiv(bottom->y - kHalfPixel, kSubpixelScale));
    return true;
}

IndexRange TriangleCoverage::RowSpan(int64_t row) const {
    const int64_t sample_y = CentreOf(row);
    const Edge& short_edge = sample_y < middle_y_ ? upper_edge_ : lower_edge_;
    const Edge& left = middle_on_left_ ? short_edge : long_edge_;
    const Edge& right = middle_on_left_ ? long_edge_ : short_edge;
    // Centres on the left edge are inside, centres on the right edge are not.
    return {left.FirstColumnAtOrRight(sample_y), right.FirstColumnAtOrRight(sample_y)};
}

void AffineTexelMap::Setup(const SubpixelVertex (&vertices)[3]) {
    const SubpixelVertex& a = vertices[0];
    const SubpixelVertex& b = vertices[1];
    const SubpixelVertex& c = vertices[2];
    const int64_t dx1 = b.x - a.x, dy1 = b.y - a.y;
    const int64_t dx2 = c.x - a.x, dy2 = c.y - a.y;
    int64_t area = dx1 * dy2 - dx2 * dy1;
    // Cramer's rule: the texture gradients times the doubled area.
    int64_t u_per_column = (b.u - a.u) * dy2 - (c.u - a.u) * dy1;
    int64_t u_per_row = (c.u - a.u) * dx1 - (b.u - a.u) * dx2;
    int64_t v_per_column = (b.v - a.v) * dy2 - (c.v - a.v) * dy1;
    int64_t v_per_row = (c.v - a.v) * dx1 - (b.v - a.v) * dx2;
    if (area < 0) {
        area = -area;
        u_per_column = -u_per_column;
        u_per_row = -u_per_row;
        v_per_column = -v_per_column;
        v_per_row = -v_per_row;
    }
    x0_ = a.x;
    y0_ = a.y;
    u_origin_ = static_cast<Int128>(a.u) * area;
    v_origin_ = static_cast<Int128>(a.v) * area;
    u_per_column_ = u_per_column;
    u_per_row_ = u_per_row;
    v_per_column_ = v_per_column;
    v_per_row_ = v_per_row;
    // u = numerator / area in subpixel units; the texel is that over the
    // subpixel scale.
    denominator_ = area * kSubpixelScale;
}

Int128 AffineTexelMap::Numerator(Int128 origin, int64_t per_column, int64_t per_row, int64_t column,
                                 int64_t row) const {
    return origin + static_cast<Int128>(per_column) * (CentreOf(column) - x0_) +
           static_cast<Int128>(per_row) * (CentreOf(row) - y0_);
}

Int128 AffineTexelMap::UNumerator(int64_t column, int64_t row) const {
    return Numerator(u_origin_, u_per_column_, u_per_row_, column, row);
}

Int128 AffineTexelMap::VNumerator(int64_t column, int64_t row) const {
    return Numerator(v_origin_, v_per_column_, v_per_row_, column, row);
}

}  // namespace velk
