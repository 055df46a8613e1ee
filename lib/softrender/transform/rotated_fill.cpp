// The rotated frame: every row of the draw area that can show the image is
// mapped back into the source (rotation_map.h), and the run of pixels whose
// texels lie inside the source goes to one loop. A mirrored draw goes through
// the four-corner draw.
#include <algorithm>
#include <cmath>

#include "lib/softrender/transform/fill_frame.h"
#include "lib/softrender/transform/rotated_wide_loops.h"
#include "lib/softrender/transform/rotation_map.h"
#include "lib/softrender/transform/transformed_fill.h"

namespace velk {
namespace {

// The mirrored image is the unmirrored one with each texture column u read as
// width - u: corner 1 of the four-corner draw (the source's top-left) lands
// where the unmirrored draw puts the source's top-right. The corners keep
// their sub-pixel positions.
void DrawMirrored(const FillTarget& target, const TexturedSource& source, const RotationMap& map, int64_t cx,
                  int64_t cy, float scale, int mode) {
    const TexturedSpanLoop<ExactTexelWalk> loop =
        FindTexturedSpanLoop<ExactTexelWalk>(source.kind, mode, source.variant);
    if (loop == nullptr) return;
    const int64_t w = source.image_width;
    const int64_t h = source.image_height;
    const int64_t texture[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
    const double limit = static_cast<double>(kTriangleCoordinateLimit);
    int64_t corners[8];
    for (int i = 0; i < 4; ++i) {
        const double ox = static_cast<double>((w - texture[i][0]) - w / 2) * scale;
        const double oy = static_cast<double>(texture[i][1] - h / 2) * scale;
        const double x = static_cast<double>(cx) + ox * map.cos_value() - oy * map.sin_value();
        const double y = static_cast<double>(cy) + ox * map.sin_value() + oy * map.cos_value();
        if (!(std::fabs(x) < limit && std::fabs(y) < limit)) return;
        corners[2 * i] = std::llround(x * static_cast<double>(kSubpixelScale));
        corners[2 * i + 1] = std::llround(y * static_cast<double>(kSubpixelScale));
    }
    FillTexturedQuad(target, source, loop, corners);
}

}  // namespace

void DrawMemImgRotated(MEMIMG* dest, const MEMIMG* src, int centre_x, int centre_y, float angle, float scale,
                       int trans_flag, int mirror_flag, const MEMIMG* blend) {
    const MemImgDrawSettings& settings = GetMemImgDrawSettings();
    FillTarget target;
    if (!PrepareFillTarget(dest, settings, &target)) return;
    const int mode = ResolvedBlendMode(settings);
    if (mode < 0) return;
    TexturedSource source;
    if (!PrepareTexturedSource(target, src, trans_flag, blend, settings, &source)) return;
    RotationMap map;
    if (!map.Setup(source.image_width, source.image_height, centre_x, centre_y, angle, scale)) return;
    if (mirror_flag != 0) {
        DrawMirrored(target, source, map, centre_x, centre_y, scale, mode);
        return;
    }

    TexturedSpanLoop<FixedTexelWalk> loop = FindWideRotatedLoop(source.kind, mode, source.variant, source.pitch,
                                                                source.width, source.height);
    if (loop == nullptr) loop = FindTexturedSpanLoop<FixedTexelWalk>(source.kind, mode, source.variant);
    if (loop == nullptr) return;
    const Int128 u_limit = static_cast<Int128>(source.width) << kRotationFractionBits;
    const Int128 v_limit = static_cast<Int128>(source.height) << kRotationFractionBits;
    const Rect& clip = target.clip;
    const int64_t count = int64_t{clip.right} - clip.left;

    FixedTexelWalk walk;
    walk.texels = source.texels;
    walk.blend_texels = source.blend_texels;
    walk.pitch = source.pitch;
    walk.blend_pitch = source.blend_pitch;
    walk.u_step = map.u_step();
    walk.v_step = map.v_step();

    const int64_t first_row = map.FirstRow(clip.top);
    const int64_t end_row = map.EndRow(clip.bottom);
    // Row by row the positions grow by exactly the row steps (see UAt).
    Int128 u = map.UAt(clip.left, first_row) - map.u_row_step();
    Int128 v = map.VAt(clip.left, first_row) - map.v_row_step();
    for (int64_t row = first_row; row < end_row; ++row) {
        u += map.u_row_step();
        v += map.v_row_step();
        const IndexRange inside_u = SolveLinearRange(u, map.u_step(), 0, u_limit, count);
        const IndexRange inside_v = SolveLinearRange(v, map.v_step(), 0, v_limit, count);
        const int64_t first = std::max(inside_u.begin, inside_v.begin);
        const int64_t end = std::min(inside_u.end, inside_v.end);
        if (first >= end) continue;
        walk.u = static_cast<int64_t>(u + Int128{first} * map.u_step());
        walk.v = static_cast<int64_t>(v + Int128{first} * map.v_step());
        uint8_t* pixel = target.pixels + row * target.pitch + (clip.left + first) * target.bytes_per_pixel;
        loop(source.draw, pixel, end - first, walk);
    }
}

}  // namespace velk
