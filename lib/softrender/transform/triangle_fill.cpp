// The triangle frame: coverage and texture mapping from triangle_raster.h,
// clipped to the draw area, each row's run of drawable pixels handed to one
// loop.
#include <algorithm>

#include "lib/softrender/transform/fill_frame.h"
#include "lib/softrender/flat_color.h"
#include "lib/softrender/transform/transformed_fill.h"

namespace velk {
namespace {

// The parts of an exact walk that stay the same for a whole triangle.
struct ExactWalkSteps {
    ptrdiff_t texel_step = 0, blend_step = 0;
    int64_t u_remainder_step = 0, v_remainder_step = 0;
};

// A whole-texel step larger than any source is never taken: a run of two or
// more pixels stays inside the source, so its step is smaller than the
// source. The bound only keeps the offset arithmetic of one-pixel runs in
// range.
int64_t BoundedStep(Int128 quotient) {
    constexpr Int128 kBound = Int128{1} << 31;
    return static_cast<int64_t>(std::clamp(quotient, -kBound, kBound));
}

ExactWalkSteps MakeExactWalkSteps(const TexturedSource& source, const AffineTexelMap& map) {
    const int64_t denominator = map.denominator();
    const int64_t u_whole = BoundedStep(FloorDiv(map.u_step(), denominator));
    const int64_t v_whole = BoundedStep(FloorDiv(map.v_step(), denominator));
    ExactWalkSteps steps;
    steps.u_remainder_step = static_cast<int64_t>(map.u_step() - FloorDiv(map.u_step(), denominator) * denominator);
    steps.v_remainder_step = static_cast<int64_t>(map.v_step() - FloorDiv(map.v_step(), denominator) * denominator);
    steps.texel_step = v_whole * source.pitch + u_whole * source.bytes_per_texel;
    steps.blend_step = v_whole * source.blend_pitch + u_whole;
    return steps;
}

// The walk from a pixel whose texture numerators are u and v (their texel
// lies inside the source).
ExactTexelWalk StartExactWalk(const TexturedSource& source, const ExactWalkSteps& steps, int64_t denominator,
                              Int128 u, Int128 v) {
    const Int128 column = FloorDiv(u, denominator);
    const Int128 row = FloorDiv(v, denominator);
    ExactTexelWalk walk;
    walk.texels = source.texels;
    walk.blend_texels = source.blend_texels;
    walk.texel_offset = static_cast<ptrdiff_t>(row) * source.pitch +
                        static_cast<ptrdiff_t>(column) * source.bytes_per_texel;
    walk.blend_offset = static_cast<ptrdiff_t>(row) * source.blend_pitch + static_cast<ptrdiff_t>(column);
    walk.texel_step = steps.texel_step;
    walk.blend_step = steps.blend_step;
    walk.texel_column = source.bytes_per_texel;
    walk.texel_row = source.pitch;
    walk.blend_row = source.blend_pitch;
    walk.u_remainder = static_cast<int64_t>(u - column * denominator);
    walk.v_remainder = static_cast<int64_t>(v - row * denominator);
    walk.u_remainder_step = steps.u_remainder_step;
    walk.v_remainder_step = steps.v_remainder_step;
    walk.denominator = denominator;
    return walk;
}

// The covered columns of a row, cut to the clip rectangle.
IndexRange ClippedSpan(const TriangleCoverage& coverage, const Rect& clip, int64_t row) {
    const IndexRange span = coverage.RowSpan(row);
    return {std::max<int64_t>(span.begin, clip.left), std::min<int64_t>(span.end, clip.right)};
}

uint8_t* PixelAddress(const FillTarget& target, int64_t column, int64_t row) {
    return target.pixels + row * target.pitch + column * target.bytes_per_pixel;
}

// A flat colour through the shared flat-colour step of boxes and lines.
template <class Format>
void FillFlatTriangle(const FillTarget& target, const SubpixelVertex (&vertices)[3], uint32_t color) {
    TriangleCoverage coverage;
    if (!coverage.Setup(vertices)) return;
    const int64_t first_row = std::max<int64_t>(coverage.first_row(), target.clip.top);
    const int64_t end_row = std::min<int64_t>(coverage.end_row(), target.clip.bottom);
    WithFlatColorOp<Format>(color, [&](const auto& op) {
        for (int64_t row = first_row; row < end_row; ++row) {
            const IndexRange span = ClippedSpan(coverage, target.clip, row);
            for (int64_t column = span.begin; column < span.end; ++column) op(PixelAddress(target, column, row));
        }
    });
}

}  // namespace

void FillTexturedTriangle(const FillTarget& target, const TexturedSource& source,
                          TexturedSpanLoop<ExactTexelWalk> loop, const SubpixelVertex (&vertices)[3]) {
    TriangleCoverage coverage;
    if (!coverage.Setup(vertices)) return;
    AffineTexelMap map;
    map.Setup(vertices);
    const int64_t denominator = map.denominator();
    const Int128 u_limit = static_cast<Int128>(source.width) * denominator;
    const Int128 v_limit = static_cast<Int128>(source.height) * denominator;
    const ExactWalkSteps steps = MakeExactWalkSteps(source, map);

    const int64_t first_row = std::max<int64_t>(coverage.first_row(), target.clip.top);
    const int64_t end_row = std::min<int64_t>(coverage.end_row(), target.clip.bottom);
    for (int64_t row = first_row; row < end_row; ++row) {
        const IndexRange span = ClippedSpan(coverage, target.clip, row);
        if (span.empty()) continue;
        const int64_t count = span.end - span.begin;
        const Int128 u = map.UNumerator(span.begin, row);
        const Int128 v = map.VNumerator(span.begin, row);
        // Only the pixels whose texel lies inside the source are handed over.
        const IndexRange inside_u = SolveLinearRange(u, map.u_step(), 0, u_limit, count);
        const IndexRange inside_v = SolveLinearRange(v, map.v_step(), 0, v_limit, count);
        const int64_t first = std::max(inside_u.begin, inside_v.begin);
        const int64_t end = std::min(inside_u.end, inside_v.end);
        if (first >= end) continue;
        const ExactTexelWalk walk = StartExactWalk(source, steps, denominator, u + Int128{first} * map.u_step(),
                                                   v + Int128{first} * map.v_step());
        loop(source.draw, PixelAddress(target, span.begin + first, row), end - first, walk);
    }
}

void DrawMemImgTriangle(MEMIMG* dest, const MEMIMG* src, const int32_t vertices[12], int trans_flag,
                        const MEMIMG* blend, uint32_t flat_color) {
    if (vertices == nullptr) return;
    const MemImgDrawSettings& settings = GetMemImgDrawSettings();
    FillTarget target;
    if (!PrepareFillTarget(dest, settings, &target)) return;
    const int mode = ResolvedBlendMode(settings);
    if (mode < 0) return;

    SubpixelVertex subpixel[3];
    for (int i = 0; i < 3; ++i) {
        subpixel[i] = {int64_t{vertices[4 * i]} * kSubpixelScale, int64_t{vertices[4 * i + 1]} * kSubpixelScale,
                       int64_t{vertices[4 * i + 2]} * kSubpixelScale, int64_t{vertices[4 * i + 3]} * kSubpixelScale};
    }

    if (src == nullptr) {
        if (target.format == kMemImgFormat32) {
            FillFlatTriangle<Xrgb8888>(target, subpixel, flat_color);
        } else {
            FillFlatTriangle<Rgb565>(target, subpixel, flat_color);
        }
        return;
    }

    TexturedSource source;
    if (!PrepareTexturedSource(target, src, trans_flag, blend, settings, &source)) return;
    const TexturedSpanLoop<ExactTexelWalk> loop =
        FindTexturedSpanLoop<ExactTexelWalk>(source.kind, mode, source.variant);
    if (loop == nullptr) return;
    FillTexturedTriangle(target, source, loop, subpixel);
}

}  // namespace velk
