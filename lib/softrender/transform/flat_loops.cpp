#include "lib/softrender/transform/flat_loops.h"

#include <cstring>

#include "lib/softrender/memimg.h"

namespace velk {
namespace {

template <class Format, int kMode>
void FlatSpan(const FlatDraw& draw, uint8_t* dest, int64_t count) {
    using Pixel = typename Format::Pixel;
    const Channels source = Format::Unpack(draw.color);
    for (int64_t i = 0; i < count; ++i, dest += sizeof(Pixel)) {
        Pixel pixel;
        if constexpr (kMode == kBlendModePlain) {
            // The colour word is stored whole, a 32-bit pixel's fourth byte too.
            pixel = static_cast<Pixel>(draw.color);
        } else {
            std::memcpy(&pixel, dest, sizeof(Pixel));
            pixel = static_cast<Pixel>(BlendPixel<Format, kMode, 0>(pixel, source, 0, draw.param));
        }
        std::memcpy(dest, &pixel, sizeof(Pixel));
    }
}

template <class Format>
FlatSpanLoop FindForFormat(int mode) {
    switch (mode) {
        case kBlendModePlain: return &FlatSpan<Format, kBlendModePlain>;
        case kBlendModeAlpha: return &FlatSpan<Format, kBlendModeAlpha>;
        case kBlendModeAdd: return &FlatSpan<Format, kBlendModeAdd>;
        case kBlendModeSubtract: return &FlatSpan<Format, kBlendModeSubtract>;
        case kBlendModeMultiply: return &FlatSpan<Format, kBlendModeMultiply>;
        case kBlendModeInvertedAlpha: return &FlatSpan<Format, kBlendModeInvertedAlpha>;
        case kBlendModeMultiplyAlpha: return &FlatSpan<Format, kBlendModeMultiplyAlpha>;
        default: return nullptr;
    }
}

}  // namespace

FlatSpanLoop FindFlatSpanLoop(int format, int mode) {
    if (format == kMemImgFormat32) return FindForFormat<Xrgb8888>(mode);
    if (format == kMemImgFormat16) return FindForFormat<Rgb565>(mode);
    return nullptr;
}

uint32_t PrepareFlatTriangleColor(int format, uint32_t color, int mode, const BrightRows& bright) {
    if (format == kMemImgFormat16) return PrepareFlatColor<Rgb565>(color & 0xFFFF, mode, bright);
    return PrepareFlatColor<Xrgb8888>(color, mode, bright);
}

}  // namespace velk
