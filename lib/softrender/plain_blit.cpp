#include <algorithm>

#include "lib/softrender/blit_job.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {

void BltMemImg(MEMIMG* dest, const MEMIMG* source, int x, int y, int trans_flag, const MEMIMG* blend_image) {
    BlitJob job;
    if (!PrepareBlitJob(dest, source, blend_image, trans_flag, &job)) {
        return;
    }
    // The source's extent, cut to the blend image's (outside it the source
    // counts as transparent), placed at (x, y) and clipped; in 64 bits so no
    // game coordinate can overflow.
    int64_t width = source->width;
    int64_t height = source->height;
    if (blend_image != nullptr) {
        width = std::min<int64_t>(width, blend_image->width);
        height = std::min<int64_t>(height, blend_image->height);
    }
    const Rect clip = MemImgDrawClip(*dest);
    const int64_t left = std::max<int64_t>(x, clip.left);
    const int64_t top = std::max<int64_t>(y, clip.top);
    const int64_t right = std::min<int64_t>(int64_t{x} + width, clip.right);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + height, clip.bottom);
    if (right <= left || bottom <= top) {
        return;
    }
    const int sx = static_cast<int>(left - x);
    const int sy = static_cast<int>(top - y);
    const int source_bytes = MemImgBytesPerPixel(*source->base);
    job.dst = MemImgPixelAddress(*dest, static_cast<int>(left), static_cast<int>(top));
    job.dst_pitch = dest->base->pitch;
    job.src = source->pixels + static_cast<ptrdiff_t>(sy) * source->base->pitch +
              static_cast<ptrdiff_t>(sx) * source_bytes;
    job.src_pitch = source->base->pitch;
    if (blend_image != nullptr) {
        job.blend = blend_image->pixels + static_cast<ptrdiff_t>(sy) * blend_image->base->pitch + sx;
        job.blend_pitch = blend_image->base->pitch;
    }
    job.width = static_cast<int>(right - left);
    job.height = static_cast<int>(bottom - top);
    // The plain blit's 16-bit alpha by P alone: the exact halving at 128,
    // otherwise the 64-level table.
    if (job.kind != SourceKind::kDirectAlpha && blend_image == nullptr && job.bright_white) {
        job.alpha16 = job.param.value == 128 ? Alpha16Rule::kHalving : Alpha16Rule::kLerpTable6;
    }
    RunBlitJobForFormat(dest->base->format, job);
}

}  // namespace velk
