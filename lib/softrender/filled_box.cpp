#include <algorithm>

#include "lib/softrender/flat_color.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {

namespace {

template <class Format>
void FillBox(MEMIMG* dest, int left, int top, int width, int height, uint32_t color) {
    WithFlatColorOp<Format>(color, [&](const auto& op) {
        constexpr int kBytes = PixelBytes<Format>();
        for (int y = 0; y < height; ++y) {
            uint8_t* dp = MemImgPixelAddress(*dest, left, top + y);
            for (int x = 0; x < width; ++x, dp += kBytes) {
                op(dp);
            }
        }
    });
}

}  // namespace

void DrawMemImgFilledBox(MEMIMG* dest, const Rect* rect, uint32_t color) {
    if (!AcceptsFlatColor(dest)) {
        return;
    }
    Rect box{0, 0, dest->width, dest->height};
    if (rect != nullptr) {
        box = {std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
               std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
    }
    const Rect clip = MemImgDrawClip(*dest);
    const int left = std::max(box.left, clip.left);
    const int top = std::max(box.top, clip.top);
    const int right = std::min(box.right, clip.right);
    const int bottom = std::min(box.bottom, clip.bottom);
    if (right <= left || bottom <= top) {
        return;
    }
    if (dest->base->format == kMemImgFormat32) {
        FillBox<Xrgb8888>(dest, left, top, right - left, bottom - top, color);
    } else {
        FillBox<Rgb565>(dest, left, top, right - left, bottom - top, color);
    }
}

}  // namespace velk
