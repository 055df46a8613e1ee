// The four-corner draw: the whole source as the triangles 1-2-3 and 2-3-4.
#include <algorithm>

#include "lib/softrender/transform/fill_frame.h"
#include "lib/softrender/transform/transformed_fill.h"

namespace velk {
namespace {

// Whether the corners' bounding box, one pixel wider on every side, reaches
// the clip rectangle at all: a cheap refusal before any triangle set-up.
bool BoxReachesClip(const int64_t (&corners)[8], const Rect& clip) {
    int64_t min_x = corners[0], max_x = corners[0], min_y = corners[1], max_y = corners[1];
    for (int i = 1; i < 4; ++i) {
        min_x = std::min(min_x, corners[2 * i]);
        max_x = std::max(max_x, corners[2 * i]);
        min_y = std::min(min_y, corners[2 * i + 1]);
        max_y = std::max(max_y, corners[2 * i + 1]);
    }
    const int64_t left = static_cast<int64_t>(FloorDiv(min_x, kSubpixelScale)) - 1;
    const int64_t top = static_cast<int64_t>(FloorDiv(min_y, kSubpixelScale)) - 1;
    const int64_t right = static_cast<int64_t>(CeilDiv(max_x, kSubpixelScale)) + 1;
    const int64_t bottom = static_cast<int64_t>(CeilDiv(max_y, kSubpixelScale)) + 1;
    return left < clip.right && right > clip.left && top < clip.bottom && bottom > clip.top;
}

}  // namespace

void FillTexturedQuad(const FillTarget& target, const TexturedSource& source,
                      TexturedSpanLoop<ExactTexelWalk> loop, const int64_t (&corners)[8]) {
    if (!BoxReachesClip(corners, target.clip)) return;
    const int64_t w = source.image_width * kSubpixelScale;
    const int64_t h = source.image_height * kSubpixelScale;
    const SubpixelVertex vertex[4] = {{corners[0], corners[1], 0, 0},
                                      {corners[2], corners[3], w, 0},
                                      {corners[4], corners[5], 0, h},
                                      {corners[6], corners[7], w, h}};
    const SubpixelVertex first[3] = {vertex[0], vertex[1], vertex[2]};
    const SubpixelVertex second[3] = {vertex[1], vertex[2], vertex[3]};
    FillTexturedTriangle(target, source, loop, first);
    FillTexturedTriangle(target, source, loop, second);
}

void DrawMemImgQuad(MEMIMG* dest, const MEMIMG* src, const int32_t corners[8], int trans_flag, const MEMIMG* blend) {
    if (corners == nullptr) return;
    const MemImgDrawSettings& settings = GetMemImgDrawSettings();
    FillTarget target;
    if (!PrepareFillTarget(dest, settings, &target)) return;
    const int mode = ResolvedBlendMode(settings);
    if (mode < 0) return;
    TexturedSource source;
    if (!PrepareTexturedSource(target, src, trans_flag, blend, settings, &source)) return;
    const TexturedSpanLoop<ExactTexelWalk> loop =
        FindTexturedSpanLoop<ExactTexelWalk>(source.kind, mode, source.variant);
    if (loop == nullptr) return;
    int64_t subpixel[8];
    for (int i = 0; i < 8; ++i) subpixel[i] = int64_t{corners[i]} * kSubpixelScale;
    FillTexturedQuad(target, source, loop, subpixel);
}

}  // namespace velk
