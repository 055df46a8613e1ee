#include "lib/softrender/transform/rotated_wide_loops.h"

#include <immintrin.h>

#include "lib/core/cpu_features.h"

namespace velk {
namespace {

// The high dwords of the 64-bit lanes of a (pixels 0-3) and b (pixels 4-7),
// in pixel order: the whole-texel parts of eight positions.
__attribute__((target("avx2"))) inline __m256i WholeParts(__m256i a, __m256i b) {
    const __m256 mixed = _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(mixed), _MM_SHUFFLE(3, 1, 2, 0));
}

// The texel positions of eight pixels at a time along a rotated walk, in
// 64-bit lanes (pixels 0-3 and 4-7).
struct EightPositions {
    __m256i u_low, v_low, u_high, v_high, u_step8, v_step8;

    __attribute__((target("avx2"))) explicit EightPositions(const FixedTexelWalk& walk) {
        const int64_t us = walk.u_step, vs = walk.v_step;
        u_low = _mm256_setr_epi64x(walk.u, walk.u + us, walk.u + 2 * us, walk.u + 3 * us);
        v_low = _mm256_setr_epi64x(walk.v, walk.v + vs, walk.v + 2 * vs, walk.v + 3 * vs);
        u_high = _mm256_add_epi64(u_low, _mm256_set1_epi64x(4 * us));
        v_high = _mm256_add_epi64(v_low, _mm256_set1_epi64x(4 * vs));
        u_step8 = _mm256_set1_epi64x(8 * us);
        v_step8 = _mm256_set1_epi64x(8 * vs);
    }

    // The byte offsets of the eight texels (2^shift bytes each) from texel
    // (0, 0), then eight pixels on.
    __attribute__((target("avx2"))) __m256i NextOffsets(__m256i pitch, int shift) {
        const __m256i offsets = _mm256_add_epi32(_mm256_mullo_epi32(WholeParts(v_low, v_high), pitch),
                                                 _mm256_sll_epi32(WholeParts(u_low, u_high), _mm_cvtsi32_si128(shift)));
        u_low = _mm256_add_epi64(u_low, u_step8);
        u_high = _mm256_add_epi64(u_high, u_step8);
        v_low = _mm256_add_epi64(v_low, v_step8);
        v_high = _mm256_add_epi64(v_high, v_step8);
        return offsets;
    }
};

// MixAlphaByParam32 on eight pixels, each channel in a 16-bit lane.
__attribute__((target("avx2"))) inline __m256i MixAlphaByParam32x8(__m256i d, __m256i s, __m256i p, __m256i q) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), q),
                                                           _mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), p)),
                                          8);
    const __m256i high = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), q),
                                                            _mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), p)),
                                           8);
    const __m256i color = _mm256_set1_epi32(0x00FFFFFF);
    return _mm256_or_si256(_mm256_and_si256(_mm256_packus_epi16(low, high), color), _mm256_andnot_si256(color, d));
}

template <int kMode, bool kTrans>
__attribute__((target("avx2"))) void WideSpan(const TexturedDraw& draw, uint8_t* dest, int64_t count,
                                              const FixedTexelWalk& start) {
    FixedTexelWalk walk = start;
    constexpr bool kMix = kMode != kBlendModePlain;
    const int32_t* texels = reinterpret_cast<const int32_t*>(walk.texels);
    const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(walk.pitch));
    const __m256i p = _mm256_set1_epi16(static_cast<int16_t>(draw.param.value));
    const __m256i q = _mm256_set1_epi16(static_cast<int16_t>(256 - draw.param.value));
    const __m256i key = _mm256_set1_epi32(static_cast<int32_t>(draw.trans_color));
    const __m256i flip = _mm256_set1_epi32(kMode == kBlendModeInvertedAlpha ? -1 : 0);
    EightPositions positions(walk);
    int64_t i = 0;
    for (; i + 8 <= count; i += 8, dest += 32) {
        const __m256i offsets = positions.NextOffsets(pitch, 2);
        const __m256i raw = _mm256_i32gather_epi32(texels, offsets, 1);
        const __m256i source = _mm256_xor_si256(raw, flip);
        __m256i* at = reinterpret_cast<__m256i*>(dest);
        if constexpr (kTrans) {
            const __m256i keep = _mm256_cmpeq_epi32(raw, key);
            const uint32_t kept = static_cast<uint32_t>(_mm256_movemask_epi8(keep));
            if (kept == 0xFFFFFFFFu) continue;
            const __m256i before = _mm256_loadu_si256(at);
            const __m256i after = kMix ? MixAlphaByParam32x8(before, source, p, q) : source;
            _mm256_storeu_si256(at, _mm256_blendv_epi8(after, before, keep));
        } else if constexpr (kMix) {
            _mm256_storeu_si256(at, MixAlphaByParam32x8(_mm256_loadu_si256(at), source, p, q));
        } else {
            _mm256_storeu_si256(at, source);
        }
    }
    if (i < count) {
        walk.u += i * walk.u_step;
        walk.v += i * walk.v_step;
        textured_loops::TexturedSpan<textured_loops::Direct32, kMode, false, false, false, kTrans, FixedTexelWalk>(
            draw, dest, count - i, walk);
    }
}

// Channels in 16-bit lanes mixed by the alpha in each pixel's fourth lane:
// (d x (256 - a) + s x a) >> 8, at most 255 x 256.
__attribute__((target("avx2"))) inline __m256i MixByOwnAlpha(__m256i d16, __m256i s16) {
    const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, 0xFF), 0xFF);
    const __m256i rest = _mm256_sub_epi16(_mm256_set1_epi16(256), a);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d16, rest), _mm256_mullo_epi16(s16, a)), 8);
}

// Mode 0 from a source with alpha: each texel weighted by its alpha,
// (d x (256 - a) + s x a) >> 8 per channel with the destination's fourth byte
// kept; with transparency alpha 0 leaves the pixel and alpha 255 stores the
// texel whole.
template <bool kTrans>
__attribute__((target("avx2"))) void WideAlphaSourceSpan(const TexturedDraw& draw, uint8_t* dest, int64_t count,
                                                         const FixedTexelWalk& start) {
    FixedTexelWalk walk = start;
    const int32_t* texels = reinterpret_cast<const int32_t*>(walk.texels);
    const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(walk.pitch));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(255);
    const __m256i color = _mm256_set1_epi32(0x00FFFFFF);
    EightPositions positions(walk);
    int64_t i = 0;
    for (; i + 8 <= count; i += 8, dest += 32) {
        const __m256i offsets = positions.NextOffsets(pitch, 2);
        const __m256i s = _mm256_i32gather_epi32(texels, offsets, 1);
        const __m256i alpha = _mm256_srli_epi32(s, 24);
        __m256i* at = reinterpret_cast<__m256i*>(dest);
        __m256i clear = zero, whole = zero;
        if constexpr (kTrans) {
            clear = _mm256_cmpeq_epi32(alpha, zero);
            whole = _mm256_cmpeq_epi32(alpha, opaque);
            if (static_cast<uint32_t>(_mm256_movemask_epi8(clear)) == 0xFFFFFFFFu) continue;
            if (static_cast<uint32_t>(_mm256_movemask_epi8(whole)) == 0xFFFFFFFFu) {
                _mm256_storeu_si256(at, s);
                continue;
            }
        }
        const __m256i d = _mm256_loadu_si256(at);
        const __m256i low = MixByOwnAlpha(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero));
        const __m256i high = MixByOwnAlpha(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero));
        __m256i after = _mm256_blendv_epi8(d, _mm256_packus_epi16(low, high), color);
        if constexpr (kTrans) {
            after = _mm256_blendv_epi8(_mm256_blendv_epi8(after, s, whole), d, clear);
        }
        _mm256_storeu_si256(at, after);
    }
    if (i < count) {
        walk.u += i * walk.u_step;
        walk.v += i * walk.v_step;
        textured_loops::TexturedSpan<textured_loops::Direct32, kBlendModePlain, false, false, true, kTrans,
                                     FixedTexelWalk>(draw, dest, count - i, walk);
    }
}

// d + (s - d) x P / 255 rounded toward zero (MixAlpha16) per 16-bit lane,
// with |s - d| x P inside 16 signed bits.
__attribute__((target("avx2"))) inline __m128i MixAlpha16x8(__m128i d, __m128i s, __m128i p) {
    const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(s, d), p);
    const __m128i sign = _mm_srai_epi16(product, 15);
    const __m128i size = _mm_abs_epi16(product);
    // floor(x / 255) for 0 <= x < 65535.
    const __m128i quotient =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(size, _mm_set1_epi16(1)), _mm_srli_epi16(size, 8)), 8);
    return _mm_add_epi16(d, _mm_sub_epi16(_mm_xor_si128(quotient, sign), sign));
}

// Eight 32-bit lanes holding words to eight words in pixel order.
__attribute__((target("avx2"))) inline __m128i EightWords(__m256i v) {
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0xD8));
}

// Direct 16-bit texels without alpha: copied (mode 0) or mixed by P (modes 1
// and 10, the latter from the inverted texel). Each texel is read from the
// aligned 32-bit word that holds it, which never reaches past the memory the
// texel's own row lies in.
template <int kMode, bool kTrans>
__attribute__((target("avx2"))) void WideSpan16(const TexturedDraw& draw, uint8_t* dest, int64_t count,
                                                const FixedTexelWalk& start) {
    FixedTexelWalk walk = start;
    const uintptr_t base = reinterpret_cast<uintptr_t>(walk.texels);
    if ((base & 1) != 0 || (walk.pitch & 1) != 0) {
        textured_loops::TexturedSpan<textured_loops::Direct16, kMode, false, false, false, kTrans, FixedTexelWalk>(
            draw, dest, count, walk);
        return;
    }
    constexpr bool kMix = kMode != kBlendModePlain;
    const int32_t* texels = reinterpret_cast<const int32_t*>(walk.texels);
    const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(walk.pitch));
    const __m256i base_low = _mm256_set1_epi32(static_cast<int32_t>(base & 3));
    const __m256i two = _mm256_set1_epi32(2), word = _mm256_set1_epi32(0xFFFF);
    const __m128i p = _mm_set1_epi16(static_cast<int16_t>(draw.param.value));
    const __m128i key = _mm_set1_epi16(static_cast<int16_t>(draw.trans_color));
    const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(kMode == kBlendModeInvertedAlpha ? 0xFFFF : 0));
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    EightPositions positions(walk);
    int64_t i = 0;
    for (; i + 8 <= count; i += 8, dest += 16) {
        const __m256i offsets = positions.NextOffsets(pitch, 1);
        // 2 where the texel is the upper half of its aligned word.
        const __m256i upper = _mm256_and_si256(_mm256_add_epi32(offsets, base_low), two);
        const __m256i words = _mm256_i32gather_epi32(texels, _mm256_sub_epi32(offsets, upper), 1);
        const __m256i texel32 = _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_slli_epi32(upper, 3)), word);
        const __m128i raw = EightWords(texel32);
        __m128i* at = reinterpret_cast<__m128i*>(dest);
        __m128i keep = _mm_setzero_si128();
        if constexpr (kTrans) {
            keep = _mm_cmpeq_epi16(raw, key);
            if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
        }
        const __m128i before = _mm_loadu_si128(at);
        __m128i after = raw;
        if constexpr (kMix) {
            const __m128i s = _mm_xor_si128(raw, flip);
            const __m128i red = MixAlpha16x8(_mm_srli_epi16(before, 11), _mm_srli_epi16(s, 11), p);
            const __m128i green = MixAlpha16x8(_mm_and_si128(_mm_srli_epi16(before, 5), six),
                                               _mm_and_si128(_mm_srli_epi16(s, 5), six), p);
            const __m128i blue = MixAlpha16x8(_mm_and_si128(before, five), _mm_and_si128(s, five), p);
            after = _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
        }
        if constexpr (kTrans) after = _mm_blendv_epi8(after, before, keep);
        _mm_storeu_si128(at, after);
    }
    if (i < count) {
        walk.u += i * walk.u_step;
        walk.v += i * walk.v_step;
        textured_loops::TexturedSpan<textured_loops::Direct16, kMode, false, false, false, kTrans, FixedTexelWalk>(
            draw, dest, count - i, walk);
    }
}

// d + floor((s - d) x a / 256) per 16-bit lane (the 16-bit mix by a
// texel's own alpha), with |s - d| x a inside 16 signed bits.
__attribute__((target("avx2"))) inline __m128i MixByAlpha16x8(__m128i d, __m128i s, __m128i a) {
    return _mm_add_epi16(d, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(s, d), a), 8));
}

// Mode 0 from 16-bit texels with alpha (the colour word, the alpha byte, one
// unused byte): each weighted by its alpha; with transparency alpha 0 leaves
// the pixel and alpha 255 stores the colour word.
template <bool kTrans>
__attribute__((target("avx2"))) void WideAlphaSourceSpan16(const TexturedDraw& draw, uint8_t* dest, int64_t count,
                                                           const FixedTexelWalk& start) {
    FixedTexelWalk walk = start;
    const int32_t* texels = reinterpret_cast<const int32_t*>(walk.texels);
    const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(walk.pitch));
    const __m256i word = _mm256_set1_epi32(0xFFFF), low_byte = _mm256_set1_epi32(0xFF);
    const __m128i zero = _mm_setzero_si128(), opaque = _mm_set1_epi16(255);
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    EightPositions positions(walk);
    int64_t i = 0;
    for (; i + 8 <= count; i += 8, dest += 16) {
        const __m256i offsets = positions.NextOffsets(pitch, 2);
        const __m256i texel = _mm256_i32gather_epi32(texels, offsets, 1);
        const __m128i color = EightWords(_mm256_and_si256(texel, word));
        const __m128i alpha = EightWords(_mm256_and_si256(_mm256_srli_epi32(texel, 16), low_byte));
        __m128i* at = reinterpret_cast<__m128i*>(dest);
        __m128i clear = zero, whole = zero;
        if constexpr (kTrans) {
            clear = _mm_cmpeq_epi16(alpha, zero);
            whole = _mm_cmpeq_epi16(alpha, opaque);
            if (_mm_movemask_epi8(clear) == 0xFFFF) continue;
            if (_mm_movemask_epi8(whole) == 0xFFFF) {
                _mm_storeu_si128(at, color);
                continue;
            }
        }
        const __m128i d = _mm_loadu_si128(at);
        const __m128i red = MixByAlpha16x8(_mm_srli_epi16(d, 11), _mm_srli_epi16(color, 11), alpha);
        const __m128i green = MixByAlpha16x8(_mm_and_si128(_mm_srli_epi16(d, 5), six),
                                             _mm_and_si128(_mm_srli_epi16(color, 5), six), alpha);
        const __m128i blue = MixByAlpha16x8(_mm_and_si128(d, five), _mm_and_si128(color, five), alpha);
        __m128i after = _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
        if constexpr (kTrans) {
            after = _mm_blendv_epi8(_mm_blendv_epi8(after, color, whole), d, clear);
        }
        _mm_storeu_si128(at, after);
    }
    if (i < count) {
        walk.u += i * walk.u_step;
        walk.v += i * walk.v_step;
        textured_loops::TexturedSpan<textured_loops::Direct16, kBlendModePlain, false, false, true, kTrans,
                                     FixedTexelWalk>(draw, dest, count - i, walk);
    }
}

bool g_wide_allowed = true;

}  // namespace

TexturedSpanLoop<FixedTexelWalk> FindWideRotatedLoop(TexelKind kind, int mode, LoopVariant variant, ptrdiff_t pitch,
                                                     int64_t width, int64_t height) {
    if (!g_wide_allowed || !MachineHasAvx2()) return nullptr;
    if (variant.blend || variant.bright) return nullptr;
    if (kind == TexelKind::kDirect16) {
        // (The offsets fit: a 16-bit texel's are half a 32-bit one's.)
        const int64_t size = pitch < 0 ? -int64_t{pitch} : int64_t{pitch};
        if ((variant.alpha && mode != kBlendModePlain) || width <= 0 || height <= 0 ||
            size > (int64_t{1} << 30) / height || width * 4 > (int64_t{1} << 30)) {
            return nullptr;
        }
        if (variant.alpha) return variant.trans ? WideAlphaSourceSpan16<true> : WideAlphaSourceSpan16<false>;
        switch (mode) {
            case kBlendModePlain:
                return variant.trans ? WideSpan16<kBlendModePlain, true> : WideSpan16<kBlendModePlain, false>;
            case kBlendModeAlpha:
                return variant.trans ? WideSpan16<kBlendModeAlpha, true> : WideSpan16<kBlendModeAlpha, false>;
            case kBlendModeInvertedAlpha:
                return variant.trans ? WideSpan16<kBlendModeInvertedAlpha, true>
                                     : WideSpan16<kBlendModeInvertedAlpha, false>;
            default: return nullptr;
        }
    }
    if (kind != TexelKind::kDirect32) return nullptr;
    if (variant.alpha && mode != kBlendModePlain) return nullptr;
    // Every texel's byte offset must fit a signed 32-bit gather index.
    const int64_t magnitude = pitch < 0 ? -int64_t{pitch} : int64_t{pitch};
    if (width <= 0 || height <= 0 || magnitude > (int64_t{1} << 30) / height || width * 4 > (int64_t{1} << 30)) {
        return nullptr;
    }
    switch (mode) {
        case kBlendModePlain:
            if (variant.alpha) return variant.trans ? WideAlphaSourceSpan<true> : WideAlphaSourceSpan<false>;
            return variant.trans ? WideSpan<kBlendModePlain, true> : WideSpan<kBlendModePlain, false>;
        case kBlendModeAlpha: return variant.trans ? WideSpan<kBlendModeAlpha, true> : WideSpan<kBlendModeAlpha, false>;
        case kBlendModeInvertedAlpha:
            return variant.trans ? WideSpan<kBlendModeInvertedAlpha, true> : WideSpan<kBlendModeInvertedAlpha, false>;
        default: return nullptr;
    }
}

void UseWideRotatedLoops(bool allowed) { g_wide_allowed = allowed; }

}  // namespace velk
