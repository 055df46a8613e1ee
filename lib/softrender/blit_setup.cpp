#include "lib/softrender/blit_job.h"
#include "lib/softrender/draw_settings.h"

namespace velk {

namespace {

// The largest value a stored pixel of a source without alpha can hold.
uint32_t MaxStoredPixel(const MemImgBase& src, SourceKind kind) {
    if (kind == SourceKind::kPaletted) {
        return 0xFF;
    }
    return src.format == kMemImgFormat16 ? 0xFFFF : 0xFFFFFFFF;
}

}  // namespace

bool PrepareBlitJob(const MEMIMG* dest, const MEMIMG* source, const MEMIMG* blend_image, int trans_flag,
                    BlitJob* job) {
    if (CheckValidMemImg(dest) == 0 || CheckValidMemImg(source) == 0) {
        return false;
    }
    const MemImgBase& dst = *dest->base;
    const MemImgBase& src = *source->base;
    if ((dst.format != kMemImgFormat16 && dst.format != kMemImgFormat32) || dst.use_palette != 0 ||
        dst.use_alpha != 0 || src.format != dst.format) {
        return false;
    }
    if (blend_image != nullptr &&
        (CheckValidMemImg(blend_image) == 0 || MemImgBytesPerPixel(*blend_image->base) != 1)) {
        return false;
    }
    const MemImgDrawSettings& settings = GetMemImgDrawSettings();
    job->mode = ResolveBlendMode(settings.blend_mode, settings.blend_param);
    if (job->mode < 0) {
        return false;
    }
    job->param = MakeBlendParam(settings.blend_param);
    job->bright_white = settings.BrightIsWhite();
    job->bright = MakeBrightRows(settings.bright_red, settings.bright_green, settings.bright_blue);
    job->trans = trans_flag != 0;
    if (src.use_palette != 0) {
        if (src.palette == nullptr) {
            return false;
        }
        job->kind = SourceKind::kPaletted;
        job->palette = src.palette;
    } else {
        job->kind = src.use_alpha != 0 ? SourceKind::kDirectAlpha : SourceKind::kDirect;
        job->palette = nullptr;
    }
    // The key is compared with the whole stored pixel, as the transformed
    // fills compare it: a key wider than the stored pixel (0xFFFF on a
    // paletted graph) matches no pixel, so such a draw keys nothing. Alpha
    // sources are keyed by alpha 0 and keep the flag.
    job->trans_color = src.trans_color;
    if (job->kind != SourceKind::kDirectAlpha && src.trans_color > MaxStoredPixel(src, job->kind)) {
        job->trans = false;
    }
    job->alpha16 = Alpha16Rule::kMixAlpha16;
    return true;
}

void RunBlitJobForFormat(int format, const BlitJob& job) {
    if (format == kMemImgFormat32) {
        RunBlitJob<Xrgb8888>(job);
    } else {
        RunBlitJob<Rgb565>(job);
    }
}

}  // namespace velk
