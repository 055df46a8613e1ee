#include "lib/softrender/memimg_convert.h"

#include "lib/image/color_convert.h"

namespace velk {

namespace {

// True when (x, y, width, height) lies inside an image of that size; an empty
// rectangle counts as inside (the converter reports it).
bool FitsInside(int64_t x, int64_t y, int64_t width, int64_t height, int64_t image_width, int64_t image_height) {
    if (width <= 0 || height <= 0) {
        return x >= 0 && y >= 0;
    }
    return x >= 0 && y >= 0 && x + width <= image_width && y + height <= image_height;
}

// The image's transparent colour as the converter's 0x00RRGGBB key: for the
// 16-bit format each channel widened by repeating its top bits, so that
// narrowing it again gives the stored channel.
uint32_t TransparentColorKey(const MemImgBase& base) {
    if (base.format != kMemImgFormat16) {
        return base.trans_color & 0x00FFFFFF;
    }
    const uint32_t r = (base.trans_color >> 11) & 0x1F;
    const uint32_t g = (base.trans_color >> 5) & 0x3F;
    const uint32_t b = base.trans_color & 0x1F;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

void ConvertPalette(const GraphImage& image, MemImgBase* base) {
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = image.color_data.palette[i];
        if (base->format == kMemImgFormat16) {
            base->palette[i] = static_cast<uint32_t>((e.red & 0xF8) << 8 | (e.green & 0xFC) << 3 | e.blue >> 3);
        } else {
            base->palette[i] = static_cast<uint32_t>(e.red) << 16 | static_cast<uint32_t>(e.green) << 8 | e.blue;
        }
    }
}

}  // namespace

void BltGraphImageToMemImg(const GraphImage* image, const GraphImage* alpha_image, MEMIMG* target, int src_x,
                           int src_y, int width, int height, int dest_x, int dest_y, int transparent_to_alpha) {
    if (image == nullptr || image->pixels == nullptr || CheckValidMemImg(target) == 0 ||
        !FitsInside(src_x, src_y, width, height, image->width, image->height) ||
        !FitsInside(dest_x, dest_y, width, height, target->width, target->height)) {
        return;
    }
    MemImgBase* base = target->base;
    const Rect rect{src_x, src_y, src_x + width, src_y + height};
    if (base->format == kMemImgFormat8 || base->format == kMemImgFormatDepth) {
        // One channel: the colour channels cleared and red taken as the value.
        BltColorConvert(target->pixels, base->pitch, base->color_data, image->pixels, image->pitch,
                        &image->color_data, nullptr, 0, nullptr, dest_x, dest_y, &rect, 0, 0, 0, 0, 1, 1, 0, 0);
        return;
    }
    // A paletted image has no alpha, so an alpha image means nothing to it.
    const bool use_alpha_image = alpha_image != nullptr && alpha_image->pixels != nullptr &&
                                 base->use_palette == 0 &&
                                 FitsInside(src_x, src_y, width, height, alpha_image->width, alpha_image->height);
    const int result = BltColorConvert(
        target->pixels, base->pitch, base->color_data, image->pixels, image->pitch, &image->color_data,
        use_alpha_image ? alpha_image->pixels : nullptr, use_alpha_image ? alpha_image->pitch : 0,
        use_alpha_image ? &alpha_image->color_data : nullptr, dest_x, dest_y, &rect, 0, transparent_to_alpha,
        TransparentColorKey(*base), 0, 0, 0, 0, 0);
    if (result < 0) {
        return;
    }
    if (base->use_palette != 0) {
        base->color_num = result + 1;
        ConvertPalette(*image, base);
    }
}

void BltMemImgToGraphImage(GraphImage* image, const MEMIMG* source, int src_x, int src_y, int width, int height,
                           int dest_x, int dest_y, uint32_t transparent_color, int transparent_copy) {
    if (image == nullptr || image->pixels == nullptr || CheckValidMemImg(source) == 0) {
        return;
    }
    const MemImgBase& base = *source->base;
    if ((base.format != kMemImgFormat16 && base.format != kMemImgFormat32) || base.use_palette == 1 ||
        base.use_alpha == 1) {
        return;
    }
    if (!FitsInside(src_x, src_y, width, height, source->width, source->height) ||
        !FitsInside(dest_x, dest_y, width, height, image->width, image->height)) {
        return;
    }
    const Rect rect{src_x, src_y, src_x + width, src_y + height};
    BltColorConvert(image->pixels, image->pitch, &image->color_data, source->pixels, base.pitch, base.color_data,
                    nullptr, 0, nullptr, dest_x, dest_y, &rect, 0, 0, transparent_color, 0, 0, 0, transparent_copy, 0);
}

int BltMemImgToMemImg(MEMIMG* target, const MEMIMG* source, const Rect* source_rect, int dest_x, int dest_y) {
    if (CheckValidMemImg(target) == 0 || CheckValidMemImg(source) == 0) {
        return -1;
    }
    const Rect rect = source_rect != nullptr ? *source_rect : Rect{0, 0, source->width, source->height};
    const int64_t width = int64_t{rect.right} - rect.left;
    const int64_t height = int64_t{rect.bottom} - rect.top;
    if (!FitsInside(rect.left, rect.top, width, height, source->width, source->height) ||
        !FitsInside(dest_x, dest_y, width, height, target->width, target->height)) {
        return -1;
    }
    return BltColorConvert(target->pixels, target->base->pitch, target->base->color_data, source->pixels,
                           source->base->pitch, source->base->color_data, nullptr, 0, nullptr, dest_x, dest_y, &rect,
                           0, 0, 0, 0, 0, 0, 0, 0);
}

}  // namespace velk
