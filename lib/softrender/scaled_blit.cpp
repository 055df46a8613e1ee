#include <algorithm>
#include <vector>

#include "lib/softrender/blit_job.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {

namespace {

// The source index sampled by destination pixels first .. first + count - 1,
// counted from the unclipped edge: floor(j x 65536 / step) in 16.16 fixed
// point, mirrored when asked. The indices are clamped to the source, because a
// step truncated on a strong reduction could otherwise pass its end. Written
// over `indices`, whose memory is kept from one draw to the next: a window's
// frame is nine scaled draws a frame.
void SampleIndices(int64_t first, int64_t count, int64_t step, int64_t source_size, bool mirrored,
                   std::vector<int32_t>& indices) {
    indices.resize(static_cast<size_t>(count));
    int64_t index = (first << 16) / step;
    int64_t remainder = (first << 16) % step;
    for (int64_t j = 0; j < count; ++j) {
        const int64_t clamped = std::min(index, source_size - 1);
        indices[static_cast<size_t>(j)] = static_cast<int32_t>(mirrored ? source_size - 1 - clamped : clamped);
        remainder += 65536;
        if (remainder >= step) {
            index += remainder / step;
            remainder %= step;
        }
    }
}

// The run of samples that lie inside `limit` (the blend image's extent when
// it is smaller than the source). Samples are monotonic, so the run is
// contiguous. Returns false when there is none.
bool TrimToLimit(const std::vector<int32_t>& indices, int64_t limit, size_t* first, size_t* count) {
    size_t begin = 0;
    size_t end = indices.size();
    while (begin < end && indices[begin] >= limit) {
        ++begin;
    }
    while (end > begin && indices[end - 1] >= limit) {
        --end;
    }
    *first = begin;
    *count = end - begin;
    return end > begin;
}

}  // namespace

void BltMemImgScaled(MEMIMG* dest, const MEMIMG* source, const Rect* rect, int trans_flag,
                     const MEMIMG* blend_image) {
    if (rect == nullptr || CheckValidMemImg(source) == 0) {
        return;
    }
    const bool mirror_x = rect->left > rect->right;
    const bool mirror_y = rect->top > rect->bottom;
    const int64_t left = std::min(rect->left, rect->right);
    const int64_t right = std::max(rect->left, rect->right);
    const int64_t top = std::min(rect->top, rect->bottom);
    const int64_t bottom = std::max(rect->top, rect->bottom);
    const int64_t width = right - left;
    const int64_t height = bottom - top;
    if (width == 0 || height == 0) {
        return;
    }
    if (width == source->width && height == source->height && !mirror_x && !mirror_y) {
        BltMemImg(dest, source, static_cast<int>(left), static_cast<int>(top), trans_flag, blend_image);
        return;
    }
    BlitJob job;
    if (!PrepareBlitJob(dest, source, blend_image, trans_flag, &job)) {
        return;
    }
    // Destination pixels per source pixel in 16.16; a source more than 65536
    // times larger than the destination has no step and draws nothing.
    const int64_t step_x = (width << 16) / source->width;
    const int64_t step_y = (height << 16) / source->height;
    if (step_x == 0 || step_y == 0) {
        return;
    }
    const Rect clip = MemImgDrawClip(*dest);
    const int64_t clip_left = std::max<int64_t>(left, clip.left);
    const int64_t clip_top = std::max<int64_t>(top, clip.top);
    const int64_t clip_right = std::min<int64_t>(right, clip.right);
    const int64_t clip_bottom = std::min<int64_t>(bottom, clip.bottom);
    if (clip_right <= clip_left || clip_bottom <= clip_top) {
        return;
    }
    // Drawing happens on one thread; each thread that draws keeps its own.
    thread_local std::vector<int32_t> columns;
    thread_local std::vector<int32_t> rows;
    SampleIndices(clip_left - left, clip_right - clip_left, step_x, source->width, mirror_x, columns);
    SampleIndices(clip_top - top, clip_bottom - clip_top, step_y, source->height, mirror_y, rows);
    const int64_t column_limit = blend_image != nullptr ? blend_image->width : source->width;
    const int64_t row_limit = blend_image != nullptr ? blend_image->height : source->height;
    size_t first_column = 0, column_count = 0, first_row = 0, row_count = 0;
    if (!TrimToLimit(columns, column_limit, &first_column, &column_count) ||
        !TrimToLimit(rows, row_limit, &first_row, &row_count)) {
        return;
    }
    job.dst = MemImgPixelAddress(*dest, static_cast<int>(clip_left + static_cast<int64_t>(first_column)),
                                 static_cast<int>(clip_top + static_cast<int64_t>(first_row)));
    job.dst_pitch = dest->base->pitch;
    job.src = source->pixels;
    job.src_pitch = source->base->pitch;
    if (blend_image != nullptr) {
        job.blend = blend_image->pixels;
        job.blend_pitch = blend_image->base->pitch;
    }
    job.width = static_cast<int>(column_count);
    job.height = static_cast<int>(row_count);
    job.columns = columns.data() + first_column;
    job.rows = rows.data() + first_row;
    RunBlitJobForFormat(dest->base->format, job);
}

}  // namespace velk
