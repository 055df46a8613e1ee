#include "lib/softrender/blit_wide_loops.h"

#include <array>
#include <cstring>

#include "lib/core/cpu_features.h"
#include "lib/softrender/blit_loops.h"
#include "lib/softrender/vector_weights.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELK_WIDE_BLITS 1
#endif

namespace velk {

#if defined(VELK_WIDE_BLITS)

namespace {

// Per channel floor((d x 2^16 + (s - d) x w) / 2^16) in 16-bit lanes, w of
// 0..65280, from the 16-bit halves of s x w and d x w:
// d + high(s w) - high(d w) - (low(s w) < low(d w) ? 1 : 0).
__attribute__((target("avx2"))) inline __m256i MixHalfByWeight(__m256i d16, __m256i s16, __m256i w16) {
    const __m256i bias = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
    const __m256i high_s = _mm256_mulhi_epu16(s16, w16);
    const __m256i high_d = _mm256_mulhi_epu16(d16, w16);
    const __m256i low_s = _mm256_xor_si256(_mm256_mullo_epi16(s16, w16), bias);
    const __m256i low_d = _mm256_xor_si256(_mm256_mullo_epi16(d16, w16), bias);
    const __m256i borrow = _mm256_cmpgt_epi16(low_d, low_s);
    return _mm256_add_epi16(_mm256_sub_epi16(_mm256_add_epi16(d16, high_s), high_d), borrow);
}

// The same for weights k of 0..255 over 2^8 (mode 0 by one weight, mode 1 by
// P): per channel (d x (256 - k) + s x k) >> 8, which stays within 16 bits.
__attribute__((target("avx2"))) inline __m256i MixHalfByByteWeight(__m256i d16, __m256i s16, __m256i k) {
    const __m256i rest = _mm256_sub_epi16(_mm256_set1_epi16(256), k);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d16, rest), _mm256_mullo_epi16(s16, k)), 8);
}

// Eight pixels mixed by their weights (pixel i's weight in 32-bit lane i)
// through one of the channel mixes above, the destination's X kept.
template <__m256i (*kMixHalf)(__m256i, __m256i, __m256i)>
__attribute__((target("avx2"))) inline __m256i MixPixels(__m256i d, __m256i s, __m256i weights) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i doubled = _mm256_or_si256(weights, _mm256_slli_epi32(weights, 16));
    // unpacklo_epi8 takes pixels 0, 1 (4, 5 in the upper half), unpackhi
    // pixels 2, 3 (6, 7): the weights spread the same way.
    const __m256i lo =
        kMixHalf(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi32(doubled, doubled));
    const __m256i hi =
        kMixHalf(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi32(doubled, doubled));
    return _mm256_blendv_epi8(d, _mm256_packus_epi16(lo, hi), _mm256_set1_epi32(0x00FFFFFF));
}

// A full-screen layer drawn with alpha is limited as much by fetching its
// rows as by the arithmetic: each vector step asks for the cache line a row
// further down, in the source and in the destination, so that both arrive
// before the next row needs them.
struct RowsAhead {
    RowsAhead(const BlitJob& job, int y)
        : src(y + 1 < job.height ? job.src_pitch : 0), dst(y + 1 < job.height ? job.dst_pitch : 0) {}
    void Fetch(const uint8_t* dp, const uint8_t* sp) const {
        FetchSource(sp);
        _mm_prefetch(reinterpret_cast<const char*>(dp + dst), _MM_HINT_T0);
    }
    void FetchSource(const uint8_t* sp) const { _mm_prefetch(reinterpret_cast<const char*>(sp + src), _MM_HINT_T0); }
    ptrdiff_t src, dst;
};

template <bool kAlpha, bool kGraph, int kMode, bool kTrans>
__attribute__((target("avx2"))) void WideWeightedRows(const BlitJob& job) {
    static_assert(kMode == kBlendModePlain || kMode == kBlendModeAlpha);
    static_assert(kAlpha || kGraph);
    // Mode 0 by the alpha alone copies an opaque pixel whole under the flag.
    constexpr bool kOpaqueCopies = kTrans && kAlpha && !kGraph && kMode == kBlendModePlain;
    // Mode 0 by one weight mixes over 2^8; the other forms over 2^16.
    constexpr bool kByteWeight = kMode == kBlendModePlain && !(kAlpha && kGraph);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i param = _mm256_set1_epi32(job.param.value);
    const __m256i full_param = _mm256_set1_epi32(job.param.value << 8);
    const __m256i opaque = _mm256_set1_epi32(255);
    const __m256i key = _mm256_set1_epi32(static_cast<int>(job.trans_color));
    const uint8_t* table = BlendGraphTransitionTable;
    const int vector_count = job.width & ~7;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        const uint8_t* bp = kGraph ? job.blend + job.blend_pitch * y : nullptr;
        const RowsAhead ahead(job, y);
        for (int x = 0; x < vector_count; x += 8, dp += 32, sp += 32) {
            ahead.Fetch(dp, sp);
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            __m256i graph = zero, alpha = zero, skip = zero, weights;
            if constexpr (kGraph) {
                graph = _mm256_setr_epi32(table[bp[0]], table[bp[1]], table[bp[2]], table[bp[3]], table[bp[4]],
                                          table[bp[5]], table[bp[6]], table[bp[7]]);
                bp += 8;
            }
            if constexpr (kAlpha) {
                alpha = _mm256_srli_epi32(s, 24);
            }
            if constexpr (kTrans) {
                skip = kAlpha ? _mm256_cmpeq_epi32(alpha, zero) : _mm256_cmpeq_epi32(s, key);
                const int skipped = _mm256_movemask_epi8(skip);
                if (skipped == -1) {
                    continue;
                }
                if constexpr (kOpaqueCopies) {
                    if (skipped == 0 && _mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, opaque)) == -1) {
                        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), s);
                        continue;
                    }
                }
            }
            // Weights below 2^16 multiply exactly in the low 16-bit lanes.
            if constexpr (kAlpha && kGraph) {
                weights = _mm256_mullo_epi16(graph, alpha);
                if constexpr (kTrans) {
                    // An opaque pixel under the flag counts the graph alone.
                    weights = _mm256_blendv_epi8(weights, _mm256_slli_epi32(graph, 8), _mm256_cmpeq_epi32(alpha, opaque));
                }
            } else if constexpr (kAlpha) {
                if constexpr (kMode == kBlendModePlain) {
                    weights = alpha;
                } else {
                    weights = _mm256_mullo_epi16(alpha, param);
                    if constexpr (kTrans) {
                        weights = _mm256_blendv_epi8(weights, full_param, _mm256_cmpeq_epi32(alpha, opaque));
                    }
                }
            } else {
                weights = kMode == kBlendModePlain ? graph : _mm256_mullo_epi16(graph, param);
            }
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
            __m256i r;
            if constexpr (kByteWeight) {
                r = MixPixels<MixHalfByByteWeight>(d, s, weights);
            } else {
                r = MixPixels<MixHalfByWeight>(d, s, weights);
            }
            if constexpr (kOpaqueCopies) {
                r = _mm256_blendv_epi8(r, s, _mm256_cmpeq_epi32(alpha, opaque));
            }
            if constexpr (kTrans) {
                r = _mm256_blendv_epi8(r, d, skip);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
        }
        constexpr SourceKind kKind = kAlpha ? SourceKind::kDirectAlpha : SourceKind::kDirect;
        blit_loops::BlitRestOfRow<Xrgb8888, kKind, kMode, kGraph, kTrans, Alpha16Rule::kMixAlpha16>(dp, sp, bp,
                                                                                                    vector_count, job);
    }
}

// A 32-bit source with alpha in mode 0, the draw's most common form: per
// channel (d x (256 - a) + s x a) >> 8 with the X byte's weight 0, so that
// X stays the destination's and an alpha of 0 leaves the pixel as it is;
// under the transparency flag an alpha of 255 copies the source word whole.
//
// Each channel is worked in place rather than widened: the result,
// d + floor((s - d) x a / 256), lies in 0..255, so adding the step's low byte
// to d byte by byte, with no carry, gives it exactly. That low byte is the
// high word of ((s - d) mod 2^16) x (a x 2^8): a negative difference only
// adds a multiple of 256. Blue and red are stepped in the low bytes of the
// 16-bit lanes, green in the high; X gets no step.
template <bool kTrans>
__attribute__((target("avx2"))) void WideAlphaSourceRows32(const BlitJob& job) {
    const __m256i alpha_bytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i color_bytes = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i low_bytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i ones = _mm256_set1_epi32(-1);
    // The alpha byte to the high byte of both words of its pixel; of the
    // green word only for green.
    const __m256i spread = _mm256_setr_epi32(0x03FF03FF, 0x07FF07FF, 0x0BFF0BFF, 0x0FFF0FFF, 0x03FF03FF,
                                             0x07FF07FF, 0x0BFF0BFF, 0x0FFF0FFF);
    const __m256i spread_green =
        _mm256_setr_epi32(static_cast<int>(0xFFFF03FFu), static_cast<int>(0xFFFF07FFu), static_cast<int>(0xFFFF0BFFu),
                          static_cast<int>(0xFFFF0FFFu), static_cast<int>(0xFFFF03FFu), static_cast<int>(0xFFFF07FFu),
                          static_cast<int>(0xFFFF0BFFu), static_cast<int>(0xFFFF0FFFu));
    const int vector_count = job.width & ~7;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        const RowsAhead ahead(job, y);
        for (int x = 0; x < vector_count; x += 8, dp += 32, sp += 32) {
            ahead.Fetch(dp, sp);
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            if (_mm256_testz_si256(s, alpha_bytes)) {
                continue;
            }
            if constexpr (kTrans) {
                if (_mm256_testc_si256(s, alpha_bytes)) {
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), s);
                    continue;
                }
            }
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
            const __m256i diff_low =
                _mm256_sub_epi16(_mm256_and_si256(s, low_bytes), _mm256_and_si256(d, low_bytes));
            const __m256i step_low = _mm256_mulhi_epu16(diff_low, _mm256_shuffle_epi8(s, spread));
            const __m256i diff_high = _mm256_sub_epi16(_mm256_srli_epi16(s, 8), _mm256_srli_epi16(d, 8));
            const __m256i step_high = _mm256_mulhi_epu16(diff_high, _mm256_shuffle_epi8(s, spread_green));
            const __m256i steps =
                _mm256_or_si256(_mm256_and_si256(step_low, low_bytes), _mm256_slli_epi16(step_high, 8));
            __m256i r = _mm256_add_epi8(d, steps);
            if constexpr (kTrans) {
                r = _mm256_blendv_epi8(r, s, _mm256_cmpeq_epi32(_mm256_or_si256(s, color_bytes), ones));
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
        }
        blit_loops::BlitRestOfRow<Xrgb8888, SourceKind::kDirectAlpha, kBlendModePlain, false, kTrans,
                                  Alpha16Rule::kMixAlpha16>(dp, sp, nullptr, vector_count, job);
    }
}

// A 32-bit source with alpha in add, subtract or multiply, eight pixels a
// step, worked as the SSE2 form works it (blit_fast_paths.cpp): the channels
// in place, each word multiplied by its pixel's weight over 2^16, a x P for
// add and subtract, a for multiply, OpaqueSourceWeight for an alpha of 255
// under the transparency flag.
template <int kMode, bool kTrans, bool kFull>
__attribute__((target("avx2"))) void WideAlphaSourceBlendRows32(const BlitJob& job) {
    constexpr bool kMultiply = kMode == kBlendModeMultiply;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi32(-1);
    const __m256i alpha_bytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i color_bytes = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i low_bytes = _mm256_set1_epi32(0x00FF00FF);
    // The alpha byte to the low byte of both words of its pixel.
    const __m256i spread =
        _mm256_setr_epi32(static_cast<int>(0x80038003u), static_cast<int>(0x80078007u), static_cast<int>(0x800B800Bu),
                          static_cast<int>(0x800F800Fu), static_cast<int>(0x80038003u), static_cast<int>(0x80078007u),
                          static_cast<int>(0x800B800Bu), static_cast<int>(0x800F800Fu));
    const __m256i param = _mm256_set1_epi16(static_cast<int16_t>(job.param.value));
    const __m256i opaque_extra = _mm256_set1_epi16(static_cast<int16_t>(OpaqueWeightExtra(kMode, job.param.value)));
    const int vector_count = job.width & ~7;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        const RowsAhead ahead(job, y);
        for (int x = 0; x < vector_count; x += 8, dp += 32, sp += 32) {
            ahead.Fetch(dp, sp);
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            __m256i clear = zero, opaque = zero;
            if constexpr (kTrans) {
                if (_mm256_testz_si256(s, alpha_bytes)) {
                    continue;
                }
                clear = _mm256_cmpeq_epi32(_mm256_and_si256(s, alpha_bytes), zero);
                opaque = _mm256_cmpeq_epi32(_mm256_or_si256(s, color_bytes), ones);
            }
            __m256i weight = _mm256_shuffle_epi8(s, spread);
            if constexpr (!kMultiply) {
                weight = _mm256_mullo_epi16(weight, param);
            }
            if constexpr (kTrans) {
                weight = _mm256_add_epi16(weight, _mm256_and_si256(opaque, opaque_extra));
            }
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
            __m256i r;
            if constexpr (kMultiply) {
                const __m256i low = _mm256_mulhi_epu16(
                    _mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), _mm256_and_si256(s, low_bytes)), weight);
                const __m256i high =
                    _mm256_mulhi_epu16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), _mm256_srli_epi16(s, 8)), weight);
                r = _mm256_blendv_epi8(d, _mm256_or_si256(low, _mm256_slli_epi16(high, 8)),
                                       _mm256_andnot_si256(clear, color_bytes));
            } else {
                __m256i amount =
                    _mm256_or_si256(_mm256_mulhi_epu16(_mm256_and_si256(s, low_bytes), weight),
                                    _mm256_slli_epi16(_mm256_mulhi_epu16(_mm256_srli_epi16(s, 8), weight), 8));
                if constexpr (kTrans && kFull) {
                    amount = _mm256_or_si256(amount, _mm256_and_si256(opaque, s));
                }
                const __m256i kept = _mm256_or_si256(clear, color_bytes);
                if constexpr (kMode == kBlendModeAdd) {
                    r = _mm256_and_si256(_mm256_adds_epu8(d, amount), kept);
                } else {
                    r = _mm256_and_si256(_mm256_subs_epu8(d, amount), kept);
                }
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
        }
        blit_loops::BlitRestOfRow<Xrgb8888, SourceKind::kDirectAlpha, kMode, false, kTrans, Alpha16Rule::kMixAlpha16>(
            dp, sp, nullptr, vector_count, job);
    }
}

// Runs kStepFunction over every row of the job, kStep pixels a call and the
// row's last pixels through a lane mask, asking for the next rows' lines
// ahead (a step writes one 64-byte line and reads kStep x kSourceBytes).
template <int kStep, int kSourceBytes, int kDestBytes, class Mask,
          void (*kStepFunction)(uint8_t*, const uint8_t*, Mask)>
__attribute__((target("avx512f,avx512bw"))) void MaskedRows(const BlitJob& job) {
    static_assert(kStep * kDestBytes == 64 && kStep * kSourceBytes % 64 == 0);
    const int vector_count = job.width & ~(kStep - 1);
    const Mask tail = static_cast<Mask>((uint64_t{1} << (job.width & (kStep - 1))) - 1);
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        const RowsAhead ahead(job, y);
        for (int x = 0; x < vector_count; x += kStep, dp += kStep * kDestBytes, sp += kStep * kSourceBytes) {
            ahead.Fetch(dp, sp);
            for (int line = 64; line < kStep * kSourceBytes; line += 64) {
                ahead.FetchSource(sp + line);
            }
            kStepFunction(dp, sp, static_cast<Mask>(~Mask{0}));
        }
        if (tail != 0) {
            kStepFunction(dp, sp, tail);
        }
    }
}

// The same sixteen pixels a step with AVX-512.
template <bool kTrans>
__attribute__((target("avx512f,avx512bw"))) inline void MixOwnAlpha16(uint8_t* dp, const uint8_t* sp,
                                                                      __mmask16 lanes) {
    const __m512i alpha_bytes = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    const __m512i low_bytes = _mm512_set1_epi32(0x00FF00FF);
    // The alpha byte to the high byte of both words of its pixel.
    const __m512i spread = _mm512_set4_epi32(0x0FFF0FFF, 0x0BFF0BFF, 0x07FF07FF, 0x03FF03FF);
    const __m512i s = _mm512_maskz_loadu_epi32(lanes, sp);
    // Lanes outside the mask load as alpha 0.
    if (_mm512_test_epi32_mask(s, alpha_bytes) == 0) {
        return;
    }
    __mmask16 opaque = 0;
    if constexpr (kTrans) {
        opaque = _mm512_cmpge_epu32_mask(s, alpha_bytes);
        if (opaque == lanes) {
            _mm512_mask_storeu_epi32(dp, lanes, s);
            return;
        }
    }
    const __m512i d = _mm512_maskz_loadu_epi32(lanes, dp);
    const __m512i weight = _mm512_shuffle_epi8(s, spread);
    const __m512i diff_low = _mm512_sub_epi16(_mm512_and_si512(s, low_bytes), _mm512_and_si512(d, low_bytes));
    const __m512i step_low = _mm512_mulhi_epu16(diff_low, weight);
    const __m512i diff_high = _mm512_sub_epi16(_mm512_srli_epi16(s, 8), _mm512_srli_epi16(d, 8));
    // Green only: the words holding X get no step.
    const __m512i step_high = _mm512_maskz_mulhi_epu16(static_cast<__mmask32>(0x55555555u), diff_high, weight);
    // Blue and red from the low bytes of step_low, green from step_high.
    const __m512i steps = _mm512_ternarylogic_epi32(step_low, _mm512_slli_epi16(step_high, 8), low_bytes, 0xE4);
    __m512i r = _mm512_add_epi8(d, steps);
    if constexpr (kTrans) {
        r = _mm512_mask_mov_epi32(r, opaque, s);
    }
    _mm512_mask_storeu_epi32(dp, lanes, r);
}


// The flat colour by P, as the alpha source above with one colour and one
// weight.
__attribute__((target("avx512f,avx512bw"))) void WideAlphaFill32Avx512(uint8_t* dp, size_t count, uint32_t color,
                                                                       int param) {
    const __m512i low_bytes = _mm512_set1_epi32(0x00FF00FF);
    const __m512i colors = _mm512_set1_epi32(static_cast<int>(color));
    const __m512i color_low = _mm512_and_si512(colors, low_bytes);
    const __m512i color_high = _mm512_srli_epi16(colors, 8);
    const __m512i weight = _mm512_set1_epi16(static_cast<int16_t>(param << 8));
    for (size_t done = 0; done < count; done += 16, dp += 64) {
        const __mmask16 lanes =
            count - done >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << (count - done)) - 1);
        const __m512i d = _mm512_maskz_loadu_epi32(lanes, dp);
        const __m512i step_low = _mm512_mulhi_epu16(_mm512_sub_epi16(color_low, _mm512_and_si512(d, low_bytes)), weight);
        const __m512i step_high = _mm512_maskz_mulhi_epu16(static_cast<__mmask32>(0x55555555u),
                                                           _mm512_sub_epi16(color_high, _mm512_srli_epi16(d, 8)), weight);
        const __m512i steps = _mm512_ternarylogic_epi32(step_low, _mm512_slli_epi16(step_high, 8), low_bytes, 0xE4);
        _mm512_mask_storeu_epi32(dp, lanes, _mm512_add_epi8(d, steps));
    }
}

// R5G6B5 sources with their alpha byte in mode 0, sixteen pixels a step:
// per channel d + floor((s - d) x a / 256), as the SSE2 form and the general
// loop write it.
__attribute__((target("avx2"))) inline __m256i MixChannel16(__m256i d, __m256i s, __m256i a) {
    return _mm256_add_epi16(d, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(s, d), a), 8));
}

// Sixteen 32-bit lanes to sixteen words in pixel order.
__attribute__((target("avx2"))) inline __m256i Words(__m256i a, __m256i b) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}

template <bool kTrans>
__attribute__((target("avx2"))) void WideAlphaSourceRows16(const BlitJob& job) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi16(255);
    const __m256i low_byte = _mm256_set1_epi32(0xFF);
    const __m256i six = _mm256_set1_epi16(0x3F), five = _mm256_set1_epi16(0x1F);
    const int vector_count = job.width & ~15;
    const __m256i word_mask = _mm256_set1_epi32(0xFFFF);
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 16, dp += 32, sp += 64) {
            const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp + 32));
            const __m256i color = Words(_mm256_and_si256(s0, word_mask), _mm256_and_si256(s1, word_mask));
            const __m256i alpha = Words(_mm256_and_si256(_mm256_srli_epi32(s0, 16), low_byte),
                                        _mm256_and_si256(_mm256_srli_epi32(s1, 16), low_byte));
            __m256i whole = zero, clear = zero;
            if constexpr (kTrans) {
                whole = _mm256_cmpeq_epi16(alpha, opaque);
                clear = _mm256_cmpeq_epi16(alpha, zero);
                if (_mm256_movemask_epi8(whole) == -1) {
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), color);
                    continue;
                }
                if (_mm256_movemask_epi8(clear) == -1) {
                    continue;
                }
            }
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
            const __m256i red = MixChannel16(_mm256_srli_epi16(d, 11), _mm256_srli_epi16(color, 11), alpha);
            const __m256i green = MixChannel16(_mm256_and_si256(_mm256_srli_epi16(d, 5), six),
                                               _mm256_and_si256(_mm256_srli_epi16(color, 5), six), alpha);
            const __m256i blue = MixChannel16(_mm256_and_si256(d, five), _mm256_and_si256(color, five), alpha);
            __m256i r = _mm256_or_si256(_mm256_slli_epi16(red, 11), _mm256_or_si256(_mm256_slli_epi16(green, 5), blue));
            if constexpr (kTrans) {
                r = _mm256_blendv_epi8(_mm256_blendv_epi8(r, color, whole), d, clear);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
        }
        blit_loops::BlitRestOfRow<Rgb565, SourceKind::kDirectAlpha, kBlendModePlain, false, kTrans,
                                  Alpha16Rule::kMixAlpha16>(dp, sp, nullptr, vector_count, job);
    }
}

// R5G6B5 sources with their alpha byte in add, subtract or multiply, sixteen
// pixels a step, each channel in lanes of its own, worked as the SSE2 form
// works it: add and subtract scale the source channel by a / 256, then by
// P / 255 unless kFull, and saturate; multiply is (d x s x a) >> (width + 8)
// as a high half; a = 256 for an alpha of 255 under the transparency flag.
template <int kMode, bool kTrans, bool kFull>
__attribute__((target("avx2"))) void WideAlphaSourceBlendRows16(const BlitJob& job) {
    constexpr bool kMultiply = kMode == kBlendModeMultiply;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque_alpha = _mm256_set1_epi16(255);
    const __m256i param_weight = _mm256_set1_epi16(static_cast<int16_t>(UnsignedWeight255(job.param.value)));
    const __m256i low_byte = _mm256_set1_epi32(0xFF);
    const __m256i word_mask = _mm256_set1_epi32(0xFFFF);
    const __m256i six = _mm256_set1_epi16(0x3F), five = _mm256_set1_epi16(0x1F);
    const __m256i red_up8 = _mm256_set1_epi16(0x1F00), green_field = _mm256_set1_epi16(0x07E0);
    const int vector_count = job.width & ~15;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 16, dp += 32, sp += 64) {
            const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp + 32));
            const __m256i alpha = Words(_mm256_and_si256(_mm256_srli_epi32(s0, 16), low_byte),
                                        _mm256_and_si256(_mm256_srli_epi32(s1, 16), low_byte));
            const __m256i clear = _mm256_cmpeq_epi16(alpha, zero);
            // Add and subtract leave a pixel of alpha 0 as it is; multiply
            // does under the flag.
            if ((!kMultiply || kTrans) && _mm256_movemask_epi8(clear) == -1) {
                continue;
            }
            __m256i weight = alpha;
            if constexpr (kTrans) {
                weight = _mm256_sub_epi16(alpha, _mm256_cmpeq_epi16(alpha, opaque_alpha));
            }
            const __m256i color = Words(_mm256_and_si256(s0, word_mask), _mm256_and_si256(s1, word_mask));
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
            const __m256i d_red = _mm256_srli_epi16(d, 11);
            const __m256i d_green = _mm256_and_si256(_mm256_srli_epi16(d, 5), six);
            const __m256i d_blue = _mm256_and_si256(d, five);
            __m256i red, green, blue;
            if constexpr (kMultiply) {
                const __m256i weight5 = _mm256_slli_epi16(weight, 3), weight6 = _mm256_slli_epi16(weight, 2);
                red = _mm256_mulhi_epu16(_mm256_mullo_epi16(d_red, _mm256_srli_epi16(color, 11)), weight5);
                green = _mm256_mulhi_epu16(
                    _mm256_mullo_epi16(d_green, _mm256_and_si256(_mm256_srli_epi16(color, 5), six)), weight6);
                blue = _mm256_mulhi_epu16(_mm256_mullo_epi16(d_blue, _mm256_and_si256(color, five)), weight5);
            } else {
                __m256i s_red = _mm256_mulhi_epu16(_mm256_and_si256(_mm256_srli_epi16(color, 3), red_up8), weight);
                __m256i s_green =
                    _mm256_mulhi_epu16(_mm256_and_si256(color, green_field), _mm256_slli_epi16(weight, 3));
                __m256i s_blue = _mm256_mulhi_epu16(_mm256_slli_epi16(_mm256_and_si256(color, five), 8), weight);
                if constexpr (!kFull) {
                    s_red = _mm256_mulhi_epu16(s_red, param_weight);
                    s_green = _mm256_mulhi_epu16(s_green, param_weight);
                    s_blue = _mm256_mulhi_epu16(s_blue, param_weight);
                }
                if constexpr (kMode == kBlendModeAdd) {
                    red = _mm256_min_epi16(_mm256_add_epi16(d_red, s_red), five);
                    green = _mm256_min_epi16(_mm256_add_epi16(d_green, s_green), six);
                    blue = _mm256_min_epi16(_mm256_add_epi16(d_blue, s_blue), five);
                } else {
                    red = _mm256_subs_epu16(d_red, s_red);
                    green = _mm256_subs_epu16(d_green, s_green);
                    blue = _mm256_subs_epu16(d_blue, s_blue);
                }
            }
            __m256i r = _mm256_or_si256(_mm256_slli_epi16(red, 11), _mm256_or_si256(_mm256_slli_epi16(green, 5), blue));
            if constexpr (kMultiply && kTrans) {
                r = _mm256_blendv_epi8(r, d, clear);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
        }
        blit_loops::BlitRestOfRow<Rgb565, SourceKind::kDirectAlpha, kMode, false, kTrans, Alpha16Rule::kMixAlpha16>(
            dp, sp, nullptr, vector_count, job);
    }
}

// One channel's move under MixAlpha16 by P, for the doubled channel values
// of the flat colour and of sixteen destination pixels:
// trunc((c - d) x P / 255) through SignedWeight255.
__attribute__((target("avx2"))) inline __m256i AlphaStep16(__m256i color2, __m256i d2, __m256i weight) {
    const __m256i diff = _mm256_sub_epi16(color2, d2);
    return _mm256_sub_epi16(_mm256_mulhi_epi16(diff, weight), _mm256_srai_epi16(diff, 15));
}

// The 16-bit filled box in mode 1, sixteen pixels a step: the three moves are
// added to the pixel where it lies, since each keeps its channel inside its
// field and nothing carries into the next.
__attribute__((target("avx2"))) size_t WideAlphaFill16(uint8_t* dp, size_t count, uint32_t color, int param) {
    const Channels c = Rgb565::Unpack(color);
    const __m256i red2 = _mm256_set1_epi16(static_cast<int16_t>(2 * c.red));
    const __m256i green2 = _mm256_set1_epi16(static_cast<int16_t>(2 * c.green));
    const __m256i blue2 = _mm256_set1_epi16(static_cast<int16_t>(2 * c.blue));
    const __m256i weight = _mm256_set1_epi16(SignedWeight255(param));
    const __m256i even5 = _mm256_set1_epi16(0x3E), even6 = _mm256_set1_epi16(0x7E);
    size_t done = 0;
    for (; done + 16 <= count; done += 16, dp += 32) {
        auto* at = reinterpret_cast<__m256i*>(dp);
        const __m256i d = _mm256_loadu_si256(at);
        const __m256i red = AlphaStep16(red2, _mm256_and_si256(_mm256_srli_epi16(d, 10), even5), weight);
        const __m256i green = AlphaStep16(green2, _mm256_and_si256(_mm256_srli_epi16(d, 4), even6), weight);
        const __m256i blue = AlphaStep16(blue2, _mm256_srli_epi16(_mm256_slli_epi16(d, 11), 10), weight);
        const __m256i moves =
            _mm256_add_epi16(_mm256_slli_epi16(red, 11), _mm256_add_epi16(_mm256_slli_epi16(green, 5), blue));
        _mm256_storeu_si256(at, _mm256_add_epi16(d, moves));
    }
    return done;
}

// The same 32 pixels a step with AVX-512: the colour and the alpha words are
// gathered from the two source registers by one word permutation each.
template <bool kTrans>
__attribute__((target("avx512f,avx512bw"))) inline void MixOwnAlpha565x32(uint8_t* dp, const uint8_t* sp,
                                                                          __mmask32 lanes) {
    alignas(64) static constexpr auto kWords = [] {
        std::array<std::array<uint16_t, 32>, 2> words{};
        for (int i = 0; i < 32; ++i) {
            words[0][i] = static_cast<uint16_t>(2 * i);
            words[1][i] = static_cast<uint16_t>(2 * i + 1);
        }
        return words;
    }();
    const __m512i low_words = _mm512_load_si512(kWords[0].data());
    const __m512i high_words = _mm512_load_si512(kWords[1].data());
    const __m512i s0 = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(lanes), sp);
    const __m512i s1 = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(lanes >> 16), sp + 64);
    const __m512i color = _mm512_permutex2var_epi16(s0, low_words, s1);
    const __m512i alpha = _mm512_and_si512(_mm512_permutex2var_epi16(s0, high_words, s1), _mm512_set1_epi16(0xFF));
    __mmask32 opaque = 0;
    if constexpr (kTrans) {
        opaque = _mm512_cmpeq_epi16_mask(alpha, _mm512_set1_epi16(255));
        if (opaque == lanes) {
            _mm512_mask_storeu_epi16(dp, lanes, color);
            return;
        }
        // Lanes outside the mask load as alpha 0. (An alpha of 0 mixes to d
        // in any case.)
        if (_mm512_test_epi16_mask(alpha, alpha) == 0) {
            return;
        }
    }
    const __m512i d = _mm512_maskz_loadu_epi16(lanes, dp);
    auto mix = [&](__m512i dc, __m512i sc) __attribute__((target("avx512f,avx512bw"))) {
        return _mm512_add_epi16(dc, _mm512_srai_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(sc, dc), alpha), 8));
    };
    const __m512i six = _mm512_set1_epi16(0x3F), five = _mm512_set1_epi16(0x1F);
    const __m512i red = mix(_mm512_srli_epi16(d, 11), _mm512_srli_epi16(color, 11));
    const __m512i green =
        mix(_mm512_and_si512(_mm512_srli_epi16(d, 5), six), _mm512_and_si512(_mm512_srli_epi16(color, 5), six));
    const __m512i blue = mix(_mm512_and_si512(d, five), _mm512_and_si512(color, five));
    // Each mixed channel lies between d's and s's, inside its field: OR
    // puts them together.
    __m512i r = _mm512_ternarylogic_epi32(_mm512_slli_epi16(red, 11), _mm512_slli_epi16(green, 5), blue, 0xFE);
    if constexpr (kTrans) {
        r = _mm512_mask_mov_epi16(r, opaque, color);
    }
    _mm512_mask_storeu_epi16(dp, lanes, r);
}

// A source without alpha in mode 1 by P alone (colour-keyed sprites and the
// font's cache screen drawn blended): per channel (d x (256 - P) + s x P) >> 8
// with the destination's X, as the SSE2 form; eight keyed pixels cost no
// multiply.
template <bool kTrans>
__attribute__((target("avx2"))) void WideParamAlphaRows32(const BlitJob& job) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i param = _mm256_set1_epi32(job.param.value);
    const __m256i key = _mm256_set1_epi32(static_cast<int>(job.trans_color));
    const int vector_count = job.width & ~7;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 8, dp += 32, sp += 32) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            __m256i keyed = zero;
            if constexpr (kTrans) {
                keyed = _mm256_cmpeq_epi32(s, key);
                if (_mm256_movemask_epi8(keyed) == -1) {
                    continue;
                }
            }
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
            __m256i r = MixPixels<MixHalfByByteWeight>(d, s, param);
            if constexpr (kTrans) {
                r = _mm256_blendv_epi8(r, d, keyed);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
        }
        blit_loops::BlitRestOfRow<Xrgb8888, SourceKind::kDirect, kBlendModeAlpha, false, kTrans, Alpha16Rule::kHalving>(
            dp, sp, nullptr, vector_count, job);
    }
}

// The plain keyed copy (mode 0 under the transparency flag, no weights):
// a pixel equal to the key leaves the destination as it was. The map's tiles
// are most of an idle frame's drawing.
__attribute__((target("avx2"))) void WideKeyedCopyRows32(const BlitJob& job) {
    const __m256i key = _mm256_set1_epi32(static_cast<int>(job.trans_color));
    const int vector_count = job.width & ~7;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 8, dp += 32, sp += 32) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sp));
            const __m256i keyed = _mm256_cmpeq_epi32(s, key);
            const int mask = _mm256_movemask_epi8(keyed);
            auto* out = reinterpret_cast<__m256i*>(dp);
            if (mask == 0) {
                _mm256_storeu_si256(out, s);
            } else if (mask != -1) {
                _mm256_storeu_si256(out, _mm256_blendv_epi8(s, _mm256_loadu_si256(out), keyed));
            }
        }
        for (int x = vector_count; x < job.width; ++x, dp += 4, sp += 4) {
            uint32_t value;
            std::memcpy(&value, sp, 4);
            if (value != job.trans_color) std::memcpy(dp, &value, 4);
        }
    }
}

// The same sixteen pixels a step: the key compare gives the lane mask of the
// store, so a step neither branches nor reads the destination, and the row's
// last pixels are one more step under the mask of the pixels left (lanes
// outside it are neither read nor written).
__attribute__((target("avx512f,avx512bw"))) void WideKeyedCopyRows32Avx512(const BlitJob& job) {
    const __m512i key = _mm512_set1_epi32(static_cast<int>(job.trans_color));
    const int vector_count = job.width & ~15;
    const auto tail = static_cast<__mmask16>((1u << (job.width & 15)) - 1);
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 16, dp += 64, sp += 64) {
            const __m512i s = _mm512_loadu_si512(sp);
            _mm512_mask_storeu_epi32(dp, _mm512_cmpneq_epi32_mask(s, key), s);
        }
        if (tail != 0) {
            const __m512i s = _mm512_maskz_loadu_epi32(tail, sp);
            _mm512_mask_storeu_epi32(dp, _mm512_mask_cmpneq_epi32_mask(tail, s, key), s);
        }
    }
}

bool g_wide_allowed = true;
bool g_avx512_allowed = true;

}  // namespace

bool RunWideBlitJob32(const BlitJob& job) {
    if (!g_wide_allowed || !MachineHasAvx2() || job.columns != nullptr || !job.bright_white) {
        return false;
    }
    const bool graph = job.blend != nullptr;
    if (job.kind == SourceKind::kDirect && !graph && job.mode == kBlendModePlain && job.trans) {
        g_avx512_allowed&& MachineHasAvx512Bw() ? WideKeyedCopyRows32Avx512(job) : WideKeyedCopyRows32(job);
        return true;
    }
    if (job.kind == SourceKind::kDirect && !graph && job.mode == kBlendModeAlpha) {
        job.trans ? WideParamAlphaRows32<true>(job) : WideParamAlphaRows32<false>(job);
        return true;
    }
    if (job.kind == SourceKind::kDirectAlpha && !graph && job.mode == kBlendModePlain) {
        if (g_avx512_allowed && MachineHasAvx512Bw()) {
            job.trans ? MaskedRows<16, 4, 4, __mmask16, MixOwnAlpha16<true>>(job)
                      : MaskedRows<16, 4, 4, __mmask16, MixOwnAlpha16<false>>(job);
            return true;
        }
        job.trans ? WideAlphaSourceRows32<true>(job) : WideAlphaSourceRows32<false>(job);
        return true;
    }
    if (blit_loops::RunAlphaSourceBlendForm(job, [&]<int kMode, bool kTrans, bool kFull>() {
            WideAlphaSourceBlendRows32<kMode, kTrans, kFull>(job);
        })) {
        return true;
    }
    return blit_loops::RunWeightedForm(job, [&]<bool kAlpha, bool kGraph, int kMode, bool kTrans>() {
        WideWeightedRows<kAlpha, kGraph, kMode, kTrans>(job);
    });
}

bool RunWideAlphaFill32(uint8_t* dp, size_t count, uint32_t color, int param) {
    if (!g_wide_allowed || !g_avx512_allowed || !MachineHasAvx512Bw()) {
        return false;
    }
    WideAlphaFill32Avx512(dp, count, color, param);
    return true;
}

size_t RunWideAlphaFill16(uint8_t* dp, size_t count, uint32_t color, int param) {
    if (!g_wide_allowed || !MachineHasAvx2()) {
        return 0;
    }
    return WideAlphaFill16(dp, count, color, param);
}

bool RunWideBlitJob16(const BlitJob& job) {
    if (!g_wide_allowed || !MachineHasAvx2()) {
        return false;
    }
    if (job.columns != nullptr || !job.bright_white) {
        return false;
    }
    if (blit_loops::RunAlphaSourceBlendForm(job, [&]<int kMode, bool kTrans, bool kFull>() {
            WideAlphaSourceBlendRows16<kMode, kTrans, kFull>(job);
        })) {
        return true;
    }
    if (job.kind != SourceKind::kDirectAlpha || job.blend != nullptr || job.mode != kBlendModePlain) {
        return false;
    }
    if (g_avx512_allowed && MachineHasAvx512Bw()) {
        job.trans ? MaskedRows<32, 4, 2, __mmask32, MixOwnAlpha565x32<true>>(job)
                  : MaskedRows<32, 4, 2, __mmask32, MixOwnAlpha565x32<false>>(job);
        return true;
    }
    job.trans ? WideAlphaSourceRows16<true>(job) : WideAlphaSourceRows16<false>(job);
    return true;
}

#else

bool RunWideBlitJob32(const BlitJob&) { return false; }
bool RunWideBlitJob16(const BlitJob&) { return false; }
bool RunWideAlphaFill32(uint8_t*, size_t, uint32_t, int) { return false; }
size_t RunWideAlphaFill16(uint8_t*, size_t, uint32_t, int) { return 0; }

#endif

void UseWideBlitLoops(bool allowed) {
#if defined(VELK_WIDE_BLITS)
    g_wide_allowed = allowed;
#else
    (void)allowed;
#endif
}

void UseAvx512BlitLoops(bool allowed) {
#if defined(VELK_WIDE_BLITS)
    g_avx512_allowed = allowed;
#else
    (void)allowed;
#endif
}

}  // namespace velk
