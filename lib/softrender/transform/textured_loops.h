#pragma once
// The pixel loops of the transformed fills: one loop per source kind, blend
// mode and variant (blend image, draw bright not white, source alpha,
// transparency), generated from one template over those axes. What a loop
// writes into a pixel is the blend rule of lib/softrender/blend_rules.h, the
// same rule the blits use; this file only reads texels, applies the skip tests
// and chooses the weights.
//
// Skip tests and weights, for every mode:
// - transparency on, source without alpha: a texel whose raw value (the whole
//   32-bit texel, the 16-bit word, or a palette index) equals the source's
//   transparent colour leaves the pixel unchanged;
// - transparency on, source with alpha: alpha 0 leaves the pixel unchanged;
//   alpha 255 is drawn as if the source had no alpha;
// - transparency off: nothing is skipped, and a source with alpha weights
//   every texel by its alpha;
// - the blend image's byte, through BlendGraphTransitionTable, is one more
//   weight.
// A plain copy without weights and with the draw bright white stores the
// source's whole colour word: a 32-bit destination takes its fourth byte from
// the texel (or the palette entry).

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lib/softrender/blend_rules.h"
#include "lib/softrender/transform/texel_walk.h"

namespace velk {

// The per-draw values a textured loop reads.
struct TexturedDraw {
    uint32_t trans_color = 0;
    const uint32_t* palette = nullptr;  // one entry per 32-bit slot
    BrightRows bright;
    BlendParam param;
    const uint8_t* transition = BlendGraphTransitionTable;
};

enum class TexelKind { kDirect32, kDirect16, kPaletted32, kPaletted16 };

// Variant axes of a loop.
struct LoopVariant {
    bool blend = false;   // a blend image is given
    bool bright = false;  // the draw bright is not white
    bool alpha = false;   // the source carries alpha (direct kinds only)
    bool trans = false;   // the transparency flag is set
};

template <class Walk>
using TexturedSpanLoop = void (*)(const TexturedDraw& draw, uint8_t* dest, int64_t count, const Walk& start);

// The loop for a blend mode as ResolveBlendMode gives it (0, 1, 2, 3, 4, 10,
// 11); null for any other mode.
template <class Walk>
TexturedSpanLoop<Walk> FindTexturedSpanLoop(TexelKind kind, int mode, LoopVariant variant);

// ---- the generated loops (used by the per-mode translation units) -----------

namespace textured_loops {

inline uint32_t Load32(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}
inline uint32_t Load16(const uint8_t* p) {
    uint16_t value;
    std::memcpy(&value, p, 2);
    return value;
}

struct Direct32 {
    using Format = Xrgb8888;
    static constexpr bool kPaletted = false;
    static constexpr int Bytes(bool) { return 4; }
    static constexpr int kAlphaByte = 3;
    static uint32_t Raw(const uint8_t* texel) { return Load32(texel); }
    static uint32_t Color(uint32_t raw, const uint32_t*) { return raw; }
};

struct Direct16 {
    using Format = Rgb565;
    static constexpr bool kPaletted = false;
    // With alpha: the colour word, the alpha byte, one unused byte.
    static constexpr int Bytes(bool alpha) { return alpha ? 4 : 2; }
    static constexpr int kAlphaByte = 2;
    static uint32_t Raw(const uint8_t* texel) { return Load16(texel); }
    static uint32_t Color(uint32_t raw, const uint32_t*) { return raw; }
};

template <class PixelFormat>
struct Paletted {
    using Format = PixelFormat;
    static constexpr bool kPaletted = true;
    static constexpr int Bytes(bool) { return 1; }
    static constexpr int kAlphaByte = 0;
    static uint32_t Raw(const uint8_t* texel) { return *texel; }
    static uint32_t Color(uint32_t raw, const uint32_t* palette) {
        return palette[raw] & (PixelFormat::kIs16Bit ? 0xFFFFu : 0xFFFFFFFFu);
    }
};

template <class Format>
inline uint32_t LoadPixel(const uint8_t* p) {
    return Format::kIs16Bit ? Load16(p) : Load32(p);
}

template <class Format>
inline void StorePixel(uint8_t* p, uint32_t value) {
    if constexpr (Format::kIs16Bit) {
        const uint16_t word = static_cast<uint16_t>(value);
        std::memcpy(p, &word, 2);
    } else {
        std::memcpy(p, &value, 4);
    }
}

// BlendPixel<Xrgb8888, kBlendModeAlpha, 0> on whole pixels: red and blue in
// one multiply, green in another. Each channel's d x (256 - P) + s x P stays
// below 2^16, so no channel spills into the next; the X byte is kept.
inline uint32_t MixAlphaByParam32(uint32_t d, uint32_t s, uint32_t p) {
    const uint32_t q = 256 - p;
    const uint32_t red_blue = (((d & 0xFF00FF) * q + (s & 0xFF00FF) * p) >> 8) & 0xFF00FF;
    const uint32_t green = (((d & 0xFF00) * q + (s & 0xFF00) * p) >> 8) & 0xFF00;
    return (d & 0xFF000000) | red_blue | green;
}

#if defined(__SSE2__)
// MixAlphaByParam32 on four pixels, each channel in a 16-bit lane.
inline __m128i MixAlphaByParam32x4(__m128i d, __m128i s, __m128i p, __m128i q) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), q), _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), p)), 8);
    const __m128i high = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), q), _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), p)), 8);
    const __m128i color = _mm_set1_epi32(0x00FFFFFF);
    return _mm_or_si128(_mm_and_si128(_mm_packus_epi16(low, high), color), _mm_andnot_si128(color, d));
}
#endif

template <class Kind, int kMode, bool kBlend, bool kBright, bool kAlpha, bool kTrans, class Walk>
void TexturedSpan(const TexturedDraw& draw, uint8_t* dest, int64_t count, const Walk& start) {
    Walk walk = start;  // a copy of its own, kept in registers
    using Format = typename Kind::Format;
    constexpr int kTexelBytes = Kind::Bytes(kAlpha);
    constexpr int kPixelBytes = Format::kIs16Bit ? 2 : 4;
    constexpr int kFixedWeights = kBlend ? 1 : 0;
    // A copy without weights and without bright stores the colour word whole.
    constexpr bool kWholeWordCopy = kMode == kBlendModePlain && !kBright && !kBlend;
    // Alpha by P alone on 32-bit pixels, the commonest blend, mixes whole
    // pixels at once.
    constexpr bool kPackedAlpha = !Format::kIs16Bit && !kBright && !kBlend &&
                                  (kMode == kBlendModeAlpha || kMode == kBlendModeInvertedAlpha);
    const TexturedDraw local = draw;  // kept in registers: the stores below cannot change it

    int64_t i = 0;
#if defined(__SSE2__)
    if constexpr ((kPackedAlpha || (kWholeWordCopy && !Format::kIs16Bit)) && !kAlpha) {
        // Four texels at a time, written with one store; with transparency a
        // texel that matches the key leaves its pixel's old value in the
        // store, and four such texels leave the pixels untouched.
        const __m128i p = _mm_set1_epi16(static_cast<int16_t>(local.param.value));
        const __m128i q = _mm_set1_epi16(static_cast<int16_t>(256 - local.param.value));
        const __m128i key = _mm_set1_epi32(static_cast<int>(local.trans_color));
        const uint32_t flip = kMode == kBlendModeInvertedAlpha ? 0xFFFFFFFFu : 0;
        for (; i + 4 <= count; i += 4, dest += 16) {
            int raws[4], colors[4];
            for (int lane = 0; lane < 4; ++lane) {
                raws[lane] = static_cast<int>(Kind::Raw(walk.template Texel<kTexelBytes>()));
                colors[lane] = static_cast<int>(Kind::Color(static_cast<uint32_t>(raws[lane]), local.palette) ^ flip);
                walk.Advance();
            }
            // Built in registers: four narrow stores read back as one wide
            // load would stall.
            const __m128i source = _mm_set_epi32(colors[3], colors[2], colors[1], colors[0]);
            if constexpr (kTrans) {
                const __m128i raw = _mm_set_epi32(raws[3], raws[2], raws[1], raws[0]);
                const __m128i keep = _mm_cmpeq_epi32(raw, key);
                if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
                const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest));
                __m128i after = source;
                if constexpr (kPackedAlpha) after = MixAlphaByParam32x4(before, source, p, q);
                after = _mm_or_si128(_mm_and_si128(keep, before), _mm_andnot_si128(keep, after));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), after);
            } else if constexpr (kPackedAlpha) {
                const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), MixAlphaByParam32x4(before, source, p, q));
            } else {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), source);
            }
        }
    }
#endif
    for (; i < count; ++i, dest += kPixelBytes, walk.Advance()) {
        const uint8_t* texel = walk.template Texel<kTexelBytes>();
        const uint32_t raw = Kind::Raw(texel);
        if constexpr (kTrans && !kAlpha) {
            if (raw == local.trans_color) continue;
        }
        uint32_t alpha = 255;
        if constexpr (kAlpha) {
            alpha = texel[Kind::kAlphaByte];
            if constexpr (kTrans) {
                if (alpha == 0) continue;
            }
        }
        const uint32_t color = Kind::Color(raw, local.palette);
        // Whether this texel takes its alpha as a weight.
        bool alpha_weight = kAlpha;
        if constexpr (kAlpha && kTrans) alpha_weight = alpha != 255;

        if constexpr (kWholeWordCopy) {
            if (!alpha_weight) {
                StorePixel<Format>(dest, color);
                continue;
            }
        }
        const uint32_t before = LoadPixel<Format>(dest);
        if constexpr (kPackedAlpha) {
            if (!alpha_weight) {
                const uint32_t target = kMode == kBlendModeInvertedAlpha ? ~color : color;
                StorePixel<Format>(dest, MixAlphaByParam32(before, target, static_cast<uint32_t>(local.param.value)));
                continue;
            }
        }
        const Channels source = PrepareSource<Format, kMode, kBright>(Format::Unpack(color), local.bright);
        const uint32_t graph_weight = kBlend ? local.transition[walk.BlendByte()] : 1;
        uint32_t after;
        if (alpha_weight) {
            after = BlendPixel<Format, kMode, kFixedWeights + 1>(before, source, graph_weight * alpha, local.param);
        } else {
            after = BlendPixel<Format, kMode, kFixedWeights>(before, source, graph_weight, local.param);
        }
        StorePixel<Format>(dest, after);
    }
}

// The 16 loops of one kind and mode, indexed by blend * 8 + bright * 4 +
// alpha * 2 + trans. A paletted kind has no alpha: its alpha slots repeat the
// loops without.
template <class Kind, int kMode, class Walk, size_t... kIndex>
constexpr std::array<TexturedSpanLoop<Walk>, 16> MakeVariantTable(std::index_sequence<kIndex...>) {
    return {&TexturedSpan<Kind, kMode, (kIndex & 8) != 0, (kIndex & 4) != 0, !Kind::kPaletted && (kIndex & 2) != 0,
                          (kIndex & 1) != 0, Walk>...};
}

template <class Kind, int kMode, class Walk>
TexturedSpanLoop<Walk> SelectVariant(LoopVariant v) {
    static constexpr auto kTable = MakeVariantTable<Kind, kMode, Walk>(std::make_index_sequence<16>());
    return kTable[(v.blend ? 8 : 0) | (v.bright ? 4 : 0) | (v.alpha ? 2 : 0) | (v.trans ? 1 : 0)];
}

template <int kMode, class Walk>
TexturedSpanLoop<Walk> SelectModeLoop(TexelKind kind, LoopVariant variant) {
    switch (kind) {
        case TexelKind::kDirect32: return SelectVariant<Direct32, kMode, Walk>(variant);
        case TexelKind::kDirect16: return SelectVariant<Direct16, kMode, Walk>(variant);
        case TexelKind::kPaletted32: return SelectVariant<Paletted<Xrgb8888>, kMode, Walk>(variant);
        case TexelKind::kPaletted16: return SelectVariant<Paletted<Rgb565>, kMode, Walk>(variant);
    }
    return nullptr;
}

// Each blend mode's loops live in their own translation unit.
template <class Walk> TexturedSpanLoop<Walk> SelectCopyLoop(TexelKind, LoopVariant);
template <class Walk> TexturedSpanLoop<Walk> SelectAlphaLoop(TexelKind, LoopVariant);
template <class Walk> TexturedSpanLoop<Walk> SelectAddLoop(TexelKind, LoopVariant);
template <class Walk> TexturedSpanLoop<Walk> SelectSubtractLoop(TexelKind, LoopVariant);
template <class Walk> TexturedSpanLoop<Walk> SelectMultiplyLoop(TexelKind, LoopVariant);
template <class Walk> TexturedSpanLoop<Walk> SelectInvertedAlphaLoop(TexelKind, LoopVariant);
template <class Walk> TexturedSpanLoop<Walk> SelectMultiplyAlphaLoop(TexelKind, LoopVariant);

}  // namespace textured_loops

}  // namespace velk
