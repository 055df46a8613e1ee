#include "lib/softrender/transform/fill_frame.h"

#include <algorithm>

#include "lib/softrender/blend_rules.h"

namespace velk {

bool PrepareFillTarget(const MEMIMG* dest, const MemImgDrawSettings& settings, FillTarget* target) {
    if (dest == nullptr || CheckValidMemImg(dest) == 0) return false;
    const MemImgBase& base = *dest->base;
    if (base.use_palette != 0 || base.use_alpha != 0) return false;
    if (base.format != kMemImgFormat16 && base.format != kMemImgFormat32) return false;
    const Rect& area = settings.draw_area;
    Rect clip{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, dest->width),
              std::min(area.bottom, dest->height)};
    if (clip.left >= clip.right || clip.top >= clip.bottom) return false;
    target->pixels = dest->pixels;
    target->pitch = base.pitch;
    target->bytes_per_pixel = MemImgBytesPerPixel(base);
    target->format = base.format;
    target->clip = clip;
    return true;
}

bool PrepareTexturedSource(const FillTarget& target, const MEMIMG* src, int trans_flag, const MEMIMG* blend,
                           const MemImgDrawSettings& settings, TexturedSource* source) {
    if (src == nullptr || CheckValidMemImg(src) == 0) return false;
    const MemImgBase& base = *src->base;
    if (base.format != target.format || src->width <= 0 || src->height <= 0) return false;
    const bool paletted = base.use_palette != 0;
    if (paletted && base.palette == nullptr) return false;

    source->texels = src->pixels;
    source->pitch = base.pitch;
    source->bytes_per_texel = MemImgBytesPerPixel(base);
    source->width = src->width;
    source->height = src->height;
    source->image_width = src->width;
    source->image_height = src->height;
    if (blend != nullptr) {
        if (CheckValidMemImg(blend) == 0 || blend->base->format != kMemImgFormat8) return false;
        // A blend image smaller than the source leaves the pixels beyond it
        // unchanged, as texels outside the source do.
        source->blend_texels = blend->pixels;
        source->blend_pitch = blend->base->pitch;
        source->width = std::min<int64_t>(source->width, blend->width);
        source->height = std::min<int64_t>(source->height, blend->height);
        if (source->width <= 0 || source->height <= 0) return false;
    }

    const bool is16 = base.format == kMemImgFormat16;
    if (paletted) {
        source->kind = is16 ? TexelKind::kPaletted16 : TexelKind::kPaletted32;
    } else {
        source->kind = is16 ? TexelKind::kDirect16 : TexelKind::kDirect32;
    }
    source->variant.blend = blend != nullptr;
    source->variant.bright = !settings.BrightIsWhite();
    source->variant.alpha = !paletted && base.use_alpha == 1;
    source->variant.trans = trans_flag != 0;

    source->draw.trans_color = base.trans_color;
    source->draw.palette = base.palette;
    source->draw.bright = MakeBrightRows(settings.bright_red, settings.bright_green, settings.bright_blue);
    source->draw.param = MakeBlendParam(settings.blend_param);
    source->draw.transition = BlendGraphTransitionTable;
    return true;
}

int ResolvedBlendMode(const MemImgDrawSettings& settings) {
    return ResolveBlendMode(settings.blend_mode, settings.blend_param);
}

}  // namespace velk
