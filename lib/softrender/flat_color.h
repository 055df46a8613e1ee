#pragma once
// One flat colour drawn onto destination pixels in a blend mode: the shared
// per-pixel step of the filled box and the lines. The colour is prepared once
// per call (draw bright, then inversion for mode 10); each pixel then takes the
// mode's rule with P as its only weight.

#include <type_traits>

#include "lib/softrender/blit_job.h"
#include "lib/softrender/draw_settings.h"

namespace velk {

template <class Format, int kMode>
struct FlatColorOp {
    uint32_t color;     // prepared; mode 0 stores it whole (a 32-bit X byte included)
    Channels channels;  // the prepared colour's channels
    BlendParam param;

    void operator()(uint8_t* dp) const {
        if constexpr (kMode == kBlendModePlain) {
            StorePixel<Format>(dp, color);
        } else {
            StorePixel<Format>(dp, BlendPixel<Format, kMode, 0>(LoadPixel<Format>(dp), channels, 1, param));
        }
    }
};

// Calls f with the FlatColorOp of the current blend mode for `color`; does
// nothing when the mode and parameter draw nothing.
template <class Format, class F>
void WithFlatColorOp(uint32_t color, F&& f) {
    const MemImgDrawSettings& settings = GetMemImgDrawSettings();
    const int mode = ResolveBlendMode(settings.blend_mode, settings.blend_param);
    if (mode < 0) {
        return;
    }
    const BrightRows bright = MakeBrightRows(settings.bright_red, settings.bright_green, settings.bright_blue);
    if constexpr (Format::kIs16Bit) {
        color &= 0xFFFF;
    }
    const uint32_t prepared = PrepareFlatColor<Format>(color, mode, bright);
    const Channels channels = Format::Unpack(prepared);
    const BlendParam param = MakeBlendParam(settings.blend_param);
    auto run = [&](auto mode_tag) {
        f(FlatColorOp<Format, decltype(mode_tag)::value>{prepared, channels, param});
    };
    switch (mode) {
        case kBlendModePlain: run(std::integral_constant<int, kBlendModePlain>{}); break;
        case kBlendModeAlpha: run(std::integral_constant<int, kBlendModeAlpha>{}); break;
        case kBlendModeAdd: run(std::integral_constant<int, kBlendModeAdd>{}); break;
        case kBlendModeSubtract: run(std::integral_constant<int, kBlendModeSubtract>{}); break;
        case kBlendModeMultiply: run(std::integral_constant<int, kBlendModeMultiply>{}); break;
        case kBlendModeInvertedAlpha: run(std::integral_constant<int, kBlendModeInvertedAlpha>{}); break;
        case kBlendModeMultiplyAlpha: run(std::integral_constant<int, kBlendModeMultiplyAlpha>{}); break;
        default: break;
    }
}

// True when flat colours can be drawn on the image: a valid 16- or 32-bit
// image without palette or alpha.
inline bool AcceptsFlatColor(const MEMIMG* dest) {
    return CheckValidMemImg(dest) != 0 &&
           (dest->base->format == kMemImgFormat16 || dest->base->format == kMemImgFormat32) &&
           dest->base->use_palette == 0 && dest->base->use_alpha == 0;
}

}  // namespace velk
