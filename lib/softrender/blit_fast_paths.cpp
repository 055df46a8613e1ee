// Vector forms of the blits games use most: unweighted copies, colour-keyed
// copies, alpha by the blend parameter, add, subtract and multiply without
// other weights, and images with an alpha channel copied, added, subtracted
// and multiplied. Each computes exactly what the general loops compute (the
// differential tests run both through the same reference); a row's last
// pixels that do not fill a vector take the general per-pixel rule.

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "lib/softrender/blit_job.h"
#include "lib/softrender/blit_loops.h"
#include "lib/softrender/blit_wide_loops.h"
#include "lib/softrender/vector_weights.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velk {

namespace {

#if defined(__SSE2__)

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i mask, __m128i if_set, __m128i if_clear) {
    return _mm_or_si128(_mm_and_si128(mask, if_set), _mm_andnot_si128(mask, if_clear));
}

// floor(x / 255) for 16-bit lanes holding 0..65025.
inline __m128i DivideBy255(__m128i x) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
}

// Four X8R8G8B8 pixels of one blend mode weighted by P alone.
struct Vector32 {
    __m128i param;         // P in every 16-bit lane
    __m128i inverse;       // 256 - P
    __m128i color_mask = _mm_set1_epi32(0x00FFFFFF);
    __m128i alpha_mask = _mm_set1_epi32(static_cast<int>(0xFF000000u));

    explicit Vector32(int p) : param(_mm_set1_epi16(static_cast<int16_t>(p))), inverse(_mm_set1_epi16(static_cast<int16_t>(256 - p))) {}

    // (d x (256 - P) + s x P) >> 8 per channel, the destination's X kept.
    __m128i Alpha(__m128i d, __m128i s) const {
        const __m128i zero = _mm_setzero_si128();
        auto half = [&](__m128i dh, __m128i sh) {
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dh, inverse), _mm_mullo_epi16(sh, param)), 8);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero));
        const __m128i hi = half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero));
        return Select(color_mask, _mm_packus_epi16(lo, hi), d);
    }
    // floor(s x P / 255) per channel.
    __m128i Scale(__m128i s) const {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = DivideBy255(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), param));
        const __m128i hi = DivideBy255(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), param));
        return _mm_packus_epi16(lo, hi);
    }
    __m128i Multiply(__m128i d, __m128i s) const {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)), 8);
        const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)), 8);
        return Select(color_mask, _mm_packus_epi16(lo, hi), d);
    }
};

template <int kMode>
inline __m128i Blend32(__m128i d, __m128i s, const Vector32& v, bool full_param) {
    if constexpr (kMode == kBlendModeAlpha) {
        return v.Alpha(d, s);
    } else if constexpr (kMode == kBlendModeAdd) {
        return _mm_and_si128(_mm_adds_epu8(d, full_param ? s : v.Scale(s)), v.color_mask);
    } else if constexpr (kMode == kBlendModeSubtract) {
        return _mm_and_si128(_mm_subs_epu8(d, full_param ? s : v.Scale(s)), v.color_mask);
    } else {
        static_assert(kMode == kBlendModeMultiply);
        return v.Multiply(d, s);
    }
}

// R5G6B5 in 16-bit lanes: exact per-channel saturating add and subtract,
// and the exact halving average.
template <int kMode>
inline __m128i Blend16(__m128i d, __m128i s) {
    const __m128i red = _mm_set1_epi16(static_cast<int16_t>(0xF800));
    const __m128i green = _mm_set1_epi16(0x07E0);
    const __m128i blue = _mm_set1_epi16(0x001F);
    if constexpr (kMode == kBlendModeAdd) {
        // Each channel moved to the top of its lane so the lane's saturation
        // is the channel's.
        const __m128i top6 = _mm_set1_epi16(static_cast<int16_t>(0xFC00));
        const __m128i r = _mm_and_si128(_mm_adds_epu16(_mm_and_si128(d, red), _mm_and_si128(s, red)), red);
        const __m128i g = _mm_srli_epi16(
            _mm_and_si128(_mm_adds_epu16(_mm_and_si128(_mm_slli_epi16(d, 5), top6), _mm_and_si128(_mm_slli_epi16(s, 5), top6)), top6), 5);
        const __m128i b = _mm_srli_epi16(_mm_adds_epu16(_mm_slli_epi16(d, 11), _mm_slli_epi16(s, 11)), 11);
        return _mm_or_si128(r, _mm_or_si128(g, b));
    } else if constexpr (kMode == kBlendModeSubtract) {
        const __m128i r = _mm_subs_epu16(_mm_and_si128(d, red), _mm_and_si128(s, red));
        const __m128i g = _mm_subs_epu16(_mm_and_si128(d, green), _mm_and_si128(s, green));
        const __m128i b = _mm_subs_epu16(_mm_and_si128(d, blue), _mm_and_si128(s, blue));
        return _mm_or_si128(r, _mm_or_si128(g, b));
    } else {
        static_assert(kMode == kBlendModeAlpha);
        const __m128i halves = _mm_set1_epi16(0x7BEF);
        const __m128i lows = _mm_set1_epi16(0x0821);
        return _mm_add_epi16(_mm_add_epi16(_mm_and_si128(_mm_srli_epi16(d, 1), halves), _mm_and_si128(_mm_srli_epi16(s, 1), halves)),
                             _mm_and_si128(_mm_and_si128(d, s), lows));
    }
}

// The unweighted forms, a vector of pixels a step; under the transparency
// flag a keyed pixel keeps the destination.
template <class Format, int kMode, bool kTrans>
void UnweightedRows(const BlitJob& job) {
    constexpr bool k16 = Format::kIs16Bit;
    constexpr int kPerVector = k16 ? 8 : 4;
    const Vector32 v(job.param.value);
    const bool full_param = job.param.value == 255;
    const __m128i key =
        k16 ? _mm_set1_epi16(static_cast<int16_t>(job.trans_color)) : _mm_set1_epi32(static_cast<int>(job.trans_color));
    const int vector_count = job.width & ~(kPerVector - 1);
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += kPerVector, dp += 16, sp += 16) {
            const __m128i s = Load(sp);
            const __m128i d = Load(dp);
            __m128i r;
            if constexpr (k16) {
                r = Blend16<kMode>(d, s);
            } else {
                r = Blend32<kMode>(d, s, v, full_param);
            }
            if constexpr (kTrans) {
                r = Select(k16 ? _mm_cmpeq_epi16(s, key) : _mm_cmpeq_epi32(s, key), d, r);
            }
            Store(dp, r);
        }
        blit_loops::BlitRestOfRow<Format, SourceKind::kDirect, kMode, false, kTrans, Alpha16Rule::kHalving>(
            dp, sp, nullptr, vector_count, job);
    }
}

// 16-bit alpha by P through the 64-level table, computed: each channel is
// (s x b + d x (63 - b)) / 63 with b = P / 4, the division exact for every
// numerator up to 63 x 63 as ((n + 1) x 1040) >> 16.
template <bool kTrans>
void LerpRows16(const BlitJob& job) {
    const int b = job.param.value >> 2;
    const __m128i weight = _mm_set1_epi16(static_cast<int16_t>(b));
    const __m128i rest = _mm_set1_epi16(static_cast<int16_t>(63 - b));
    const __m128i one = _mm_set1_epi16(1);
    const __m128i divide = _mm_set1_epi16(1040);
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    const __m128i key = _mm_set1_epi16(static_cast<int16_t>(job.trans_color));
    auto lerp = [&](__m128i s, __m128i d) {
        const __m128i n = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(s, weight), _mm_mullo_epi16(d, rest)), one);
        return _mm_mulhi_epu16(n, divide);
    };
    const int vector_count = job.width & ~7;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 8, dp += 16, sp += 16) {
            const __m128i s = Load(sp);
            const __m128i d = Load(dp);
            const __m128i red = lerp(_mm_srli_epi16(s, 11), _mm_srli_epi16(d, 11));
            const __m128i green = lerp(_mm_and_si128(_mm_srli_epi16(s, 5), six), _mm_and_si128(_mm_srli_epi16(d, 5), six));
            const __m128i blue = lerp(_mm_and_si128(s, five), _mm_and_si128(d, five));
            __m128i r = _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
            if constexpr (kTrans) {
                r = Select(_mm_cmpeq_epi16(s, key), d, r);
            }
            Store(dp, r);
        }
        blit_loops::BlitRestOfRow<Rgb565, SourceKind::kDirect, kBlendModeAlpha, false, kTrans,
                                  Alpha16Rule::kLerpTable6>(dp, sp, nullptr, vector_count, job);
    }
}

template <class Format>
void KeyedCopyRows(const BlitJob& job) {
    constexpr bool k16 = Format::kIs16Bit;
    const __m128i key = k16 ? _mm_set1_epi16(static_cast<int16_t>(job.trans_color))
                            : _mm_set1_epi32(static_cast<int>(job.trans_color));
    const int per_vector = k16 ? 8 : 4;
    const int vector_count = job.width - job.width % per_vector;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += per_vector, dp += 16, sp += 16) {
            const __m128i s = Load(sp);
            const __m128i keyed = k16 ? _mm_cmpeq_epi16(s, key) : _mm_cmpeq_epi32(s, key);
            const int mask = _mm_movemask_epi8(keyed);
            if (mask == 0) {
                Store(dp, s);
            } else if (mask != 0xFFFF) {
                Store(dp, Select(keyed, Load(dp), s));
            }
        }
        blit_loops::BlitRestOfRow<Format, SourceKind::kDirect, kBlendModePlain, false, true, Alpha16Rule::kHalving>(
            dp, sp, nullptr, vector_count, job);
    }
}

// A32-bit source with alpha in mode 0: weighted by its alpha, or under the
// transparency flag skipped at 0 and copied whole at 255.
template <bool kTrans>
void AlphaSourceRows32(const BlitJob& job) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i color_mask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i full = _mm_set1_epi16(256);
    const int vector_count = job.width & ~3;
    auto mix = [&](__m128i d, __m128i s) {
        // The alpha of each pixel spread over its four 16-bit lanes.
        auto weights = [&](__m128i s16) {
            return _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
        };
        auto half = [&](__m128i dh, __m128i sh) {
            const __m128i a = weights(sh);
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dh, _mm_sub_epi16(full, a)), _mm_mullo_epi16(sh, a)), 8);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero));
        const __m128i hi = half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero));
        return Select(color_mask, _mm_packus_epi16(lo, hi), d);
    };
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 4, dp += 16, sp += 16) {
            const __m128i s = Load(sp);
            const __m128i alpha = _mm_srli_epi32(s, 24);
            if constexpr (kTrans) {
                const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255)));
                const __m128i clear = _mm_cmpeq_epi32(alpha, zero);
                const int transparent = _mm_movemask_epi8(clear);
                if (opaque == 0xFFFF) {
                    Store(dp, s);
                    continue;
                }
                if (transparent == 0xFFFF) {
                    continue;
                }
                const __m128i d = Load(dp);
                __m128i r = mix(d, s);
                r = Select(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255)), s, r);
                Store(dp, Select(clear, d, r));
            } else {
                Store(dp, mix(Load(dp), s));
            }
        }
        blit_loops::BlitRestOfRow<Xrgb8888, SourceKind::kDirectAlpha, kBlendModePlain, false, kTrans,
                                  Alpha16Rule::kMixAlpha16>(dp, sp, nullptr, vector_count, job);
    }
}

// The same for R5G6B5 sources with their alpha byte (four bytes a pixel):
// per channel (d x (256 - a) + s x a) >> 8, which is d + floor((s - d) x a /
// 256) with (s - d) x a inside 16 signed bits. Eight pixels a step.
// The colour words of eight R5G6B5 pixels with their alpha bytes (four
// bytes a pixel, in two registers): the low word of each 32-bit lane.
inline __m128i ColorWords565(__m128i s0, __m128i s1) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(s0, 16), 16), _mm_srai_epi32(_mm_slli_epi32(s1, 16), 16));
}

// Their alpha bytes, one a word.
inline __m128i AlphaWords565(__m128i s0, __m128i s1) {
    const __m128i low_byte = _mm_set1_epi32(0xFF);
    return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(s0, 16), low_byte),
                           _mm_and_si128(_mm_srli_epi32(s1, 16), low_byte));
}

template <bool kTrans>
void AlphaSourceRows16(const BlitJob& job) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi16(255);
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    const int vector_count = job.width & ~7;
    auto mix = [](__m128i d, __m128i s, __m128i a) {
        return _mm_add_epi16(d, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(s, d), a), 8));
    };
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 8, dp += 16, sp += 32) {
            const __m128i s0 = Load(sp), s1 = Load(sp + 16);
            const __m128i color = ColorWords565(s0, s1);
            const __m128i alpha = AlphaWords565(s0, s1);
            __m128i whole = zero, clear = zero;
            if constexpr (kTrans) {
                whole = _mm_cmpeq_epi16(alpha, opaque);
                clear = _mm_cmpeq_epi16(alpha, zero);
                if (_mm_movemask_epi8(whole) == 0xFFFF) {
                    Store(dp, color);
                    continue;
                }
                if (_mm_movemask_epi8(clear) == 0xFFFF) {
                    continue;
                }
            }
            const __m128i d = Load(dp);
            const __m128i red = mix(_mm_srli_epi16(d, 11), _mm_srli_epi16(color, 11), alpha);
            const __m128i green =
                mix(_mm_and_si128(_mm_srli_epi16(d, 5), six), _mm_and_si128(_mm_srli_epi16(color, 5), six), alpha);
            const __m128i blue = mix(_mm_and_si128(d, five), _mm_and_si128(color, five), alpha);
            __m128i r = _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
            if constexpr (kTrans) {
                r = Select(clear, d, Select(whole, color, r));
            }
            Store(dp, r);
        }
        blit_loops::BlitRestOfRow<Rgb565, SourceKind::kDirectAlpha, kBlendModePlain, false, kTrans,
                                  Alpha16Rule::kMixAlpha16>(dp, sp, nullptr, vector_count, job);
    }
}

// A 32-bit source with alpha in add, subtract or multiply, four pixels a
// step. Every product fits a 16-bit lane, so the channels are worked in
// place: blue and red in the low bytes of a pixel's two words, green (and the
// alpha byte, whose result is dropped) in the high bytes, each word
// multiplied by the pixel's weight over 2^16, which both its words hold. Add
// and subtract scale the source by a x P (floor(s x a x P / 2^16)) and
// saturate each byte; multiply scales d x s by a. Under the transparency flag
// a pixel of alpha 0 keeps the destination and one of alpha 255 takes
// OpaqueSourceWeight (the source whole when kFull).
template <int kMode, bool kTrans, bool kFull>
void AlphaSourceBlendRows32(const BlitJob& job) {
    constexpr bool kMultiply = kMode == kBlendModeMultiply;
    const __m128i zero = _mm_setzero_si128();
    const __m128i low_bytes = _mm_set1_epi32(0x00FF00FF);
    const __m128i color_mask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i opaque_alpha = _mm_set1_epi32(255);
    const __m128i param = _mm_set1_epi32(job.param.value);
    const __m128i opaque_extra = _mm_set1_epi16(static_cast<int16_t>(OpaqueWeightExtra(kMode, job.param.value)));
    const int vector_count = job.width & ~3;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 4, dp += 16, sp += 16) {
            const __m128i s = Load(sp);
            const __m128i alpha = _mm_srli_epi32(s, 24);
            __m128i clear = zero, opaque = zero;
            if constexpr (kTrans) {
                clear = _mm_cmpeq_epi32(alpha, zero);
                if (_mm_movemask_epi8(clear) == 0xFFFF) {
                    continue;
                }
                opaque = _mm_cmpeq_epi32(alpha, opaque_alpha);
            }
            // a x P fits the low word of the pixel's lane.
            __m128i weight = kMultiply ? alpha : _mm_mullo_epi16(alpha, param);
            weight = _mm_or_si128(weight, _mm_slli_epi32(weight, 16));
            if constexpr (kTrans) {
                weight = _mm_add_epi16(weight, _mm_and_si128(opaque, opaque_extra));
            }
            const __m128i d = Load(dp);
            __m128i r;
            if constexpr (kMultiply) {
                const __m128i low =
                    _mm_mulhi_epu16(_mm_mullo_epi16(_mm_and_si128(d, low_bytes), _mm_and_si128(s, low_bytes)), weight);
                const __m128i high =
                    _mm_mulhi_epu16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), _mm_srli_epi16(s, 8)), weight);
                // A pixel skipped under the flag keeps its colour too.
                r = Select(_mm_andnot_si128(clear, color_mask), _mm_or_si128(low, _mm_slli_epi16(high, 8)), d);
            } else {
                __m128i amount = _mm_or_si128(_mm_mulhi_epu16(_mm_and_si128(s, low_bytes), weight),
                                              _mm_slli_epi16(_mm_mulhi_epu16(_mm_srli_epi16(s, 8), weight), 8));
                if constexpr (kTrans && kFull) {
                    amount = _mm_or_si128(amount, _mm_and_si128(opaque, s));
                }
                // A skipped pixel (weight 0) comes out as it was; it keeps
                // its X byte, which every drawn pixel loses.
                const __m128i kept = _mm_or_si128(clear, color_mask);
                if constexpr (kMode == kBlendModeAdd) {
                    r = _mm_and_si128(_mm_adds_epu8(d, amount), kept);
                } else {
                    r = _mm_and_si128(_mm_subs_epu8(d, amount), kept);
                }
            }
            Store(dp, r);
        }
        blit_loops::BlitRestOfRow<Xrgb8888, SourceKind::kDirectAlpha, kMode, false, kTrans, Alpha16Rule::kMixAlpha16>(
            dp, sp, nullptr, vector_count, job);
    }
}

// The same for R5G6B5 sources with their alpha byte, eight pixels a step,
// each channel in lanes of its own. Add and subtract scale the source
// channel by a / 256 (the channel 8 bits up times a, high half), then by
// P / 255 (UnsignedWeight255) unless kFull, and saturate at the channel's
// maximum or 0; multiply takes the high half of d x s times a x 2^(8 - width),
// that is (d x s x a) >> (width + 8). A pixel the flag leaves unweighted
// counts a = 256, which scales by one exactly.
template <int kMode, bool kTrans, bool kFull>
void AlphaSourceBlendRows16(const BlitJob& job) {
    constexpr bool kMultiply = kMode == kBlendModeMultiply;
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque_alpha = _mm_set1_epi16(255);
    const __m128i param_weight = _mm_set1_epi16(static_cast<int16_t>(UnsignedWeight255(job.param.value)));
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    const __m128i red_up8 = _mm_set1_epi16(0x1F00), green_field = _mm_set1_epi16(0x07E0);
    const int vector_count = job.width & ~7;
    auto by_param = [&](__m128i scaled) { return kFull ? scaled : _mm_mulhi_epu16(scaled, param_weight); };
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        for (int x = 0; x < vector_count; x += 8, dp += 16, sp += 32) {
            const __m128i s0 = Load(sp), s1 = Load(sp + 16);
            const __m128i alpha = AlphaWords565(s0, s1);
            const __m128i clear = _mm_cmpeq_epi16(alpha, zero);
            // Add and subtract leave a pixel of alpha 0 as it is; multiply
            // does under the flag.
            if ((!kMultiply || kTrans) && _mm_movemask_epi8(clear) == 0xFFFF) {
                continue;
            }
            __m128i weight = alpha;
            if constexpr (kTrans) {
                weight = _mm_sub_epi16(alpha, _mm_cmpeq_epi16(alpha, opaque_alpha));
            }
            const __m128i color = ColorWords565(s0, s1);
            const __m128i d = Load(dp);
            const __m128i d_red = _mm_srli_epi16(d, 11);
            const __m128i d_green = _mm_and_si128(_mm_srli_epi16(d, 5), six);
            const __m128i d_blue = _mm_and_si128(d, five);
            __m128i red, green, blue;
            if constexpr (kMultiply) {
                const __m128i weight5 = _mm_slli_epi16(weight, 3), weight6 = _mm_slli_epi16(weight, 2);
                red = _mm_mulhi_epu16(_mm_mullo_epi16(d_red, _mm_srli_epi16(color, 11)), weight5);
                green =
                    _mm_mulhi_epu16(_mm_mullo_epi16(d_green, _mm_and_si128(_mm_srli_epi16(color, 5), six)), weight6);
                blue = _mm_mulhi_epu16(_mm_mullo_epi16(d_blue, _mm_and_si128(color, five)), weight5);
            } else {
                // Green lies 5 bits up where it is: a x 8 makes up the rest.
                const __m128i s_red =
                    by_param(_mm_mulhi_epu16(_mm_and_si128(_mm_srli_epi16(color, 3), red_up8), weight));
                const __m128i s_green =
                    by_param(_mm_mulhi_epu16(_mm_and_si128(color, green_field), _mm_slli_epi16(weight, 3)));
                const __m128i s_blue = by_param(_mm_mulhi_epu16(_mm_slli_epi16(_mm_and_si128(color, five), 8), weight));
                if constexpr (kMode == kBlendModeAdd) {
                    red = _mm_min_epi16(_mm_add_epi16(d_red, s_red), five);
                    green = _mm_min_epi16(_mm_add_epi16(d_green, s_green), six);
                    blue = _mm_min_epi16(_mm_add_epi16(d_blue, s_blue), five);
                } else {
                    red = _mm_subs_epu16(d_red, s_red);
                    green = _mm_subs_epu16(d_green, s_green);
                    blue = _mm_subs_epu16(d_blue, s_blue);
                }
            }
            __m128i r = _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
            if constexpr (kMultiply && kTrans) {
                r = Select(clear, d, r);
            }
            Store(dp, r);
        }
        blit_loops::BlitRestOfRow<Rgb565, SourceKind::kDirectAlpha, kMode, false, kTrans, Alpha16Rule::kMixAlpha16>(
            dp, sp, nullptr, vector_count, job);
    }
}

// X8R8G8B8 mixed by a per-pixel weight w of 0..65280 over 2^16: per channel
// floor((d x 2^16 + (s - d) x w) / 2^16), the destination's X kept. Every
// weighted alpha rule whose weight product stays under 2^16 has this form (a
// weight k over 2^8 is k x 256 over 2^16, the same fraction). With s x w and
// d x w split in 16-bit halves, the floor is
// d + high(s w) - high(d w) - (low(s w) < low(d w) ? 1 : 0).
inline __m128i MixHalfByWeight(__m128i d16, __m128i s16, __m128i w16) {
    const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    const __m128i high_s = _mm_mulhi_epu16(s16, w16);
    const __m128i high_d = _mm_mulhi_epu16(d16, w16);
    const __m128i low_s = _mm_xor_si128(_mm_mullo_epi16(s16, w16), bias);
    const __m128i low_d = _mm_xor_si128(_mm_mullo_epi16(d16, w16), bias);
    const __m128i borrow = _mm_cmpgt_epi16(low_d, low_s);  // -1 where the low halves borrow
    return _mm_add_epi16(_mm_sub_epi16(_mm_add_epi16(d16, high_s), high_d), borrow);
}

// Four pixels; `weights` holds pixel i's weight in 16-bit lane i.
inline __m128i MixByWeight32(__m128i d, __m128i s, __m128i weights) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i pairs = _mm_unpacklo_epi16(weights, weights);
    const __m128i lo = MixHalfByWeight(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero),
                                       _mm_unpacklo_epi32(pairs, pairs));
    const __m128i hi = MixHalfByWeight(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero),
                                       _mm_unpackhi_epi32(pairs, pairs));
    return Select(_mm_set1_epi32(0x00FFFFFF), _mm_packus_epi16(lo, hi), d);
}

// Mode 0 or 1 on X8R8G8B8 weighted by the blend graph, the source alpha or
// both (mode 1 with both has a three-factor weight and is not handled here).
// Transparent pixels (keyed, or alpha 0 under the flag) keep the destination.
template <bool kAlpha, bool kGraph, int kMode, bool kTrans>
void WeightedRows32(const BlitJob& job) {
    static_assert(kMode == kBlendModePlain || kMode == kBlendModeAlpha);
    static_assert(kAlpha || kGraph);
    const __m128i zero = _mm_setzero_si128();
    const __m128i param = _mm_set1_epi16(static_cast<int16_t>(job.param.value));
    const __m128i full_param = _mm_set1_epi16(static_cast<int16_t>(job.param.value << 8));
    const __m128i opaque = _mm_set1_epi16(255);
    const __m128i key = _mm_set1_epi32(static_cast<int>(job.trans_color));
    const int vector_count = job.width & ~3;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const uint8_t* sp = job.src + job.src_pitch * y;
        const uint8_t* bp = kGraph ? job.blend + job.blend_pitch * y : nullptr;
        for (int x = 0; x < vector_count; x += 4, dp += 16, sp += 16) {
            const __m128i s = Load(sp);
            __m128i graph = zero, alpha = zero, weights;
            if constexpr (kGraph) {
                const uint8_t* table = BlendGraphTransitionTable;
                graph = _mm_set_epi16(0, 0, 0, 0, table[bp[3]], table[bp[2]], table[bp[1]], table[bp[0]]);
                bp += 4;
            }
            if constexpr (kAlpha) {
                alpha = _mm_packs_epi32(_mm_srli_epi32(s, 24), zero);
            }
            if constexpr (kAlpha && kGraph) {
                weights = _mm_mullo_epi16(graph, alpha);
                if constexpr (kTrans) {
                    // An opaque pixel under the flag counts the graph alone.
                    weights = Select(_mm_cmpeq_epi16(alpha, opaque), _mm_slli_epi16(graph, 8), weights);
                }
            } else if constexpr (kAlpha) {
                weights = _mm_mullo_epi16(alpha, param);
                if constexpr (kTrans) {
                    weights = Select(_mm_cmpeq_epi16(alpha, opaque), full_param, weights);
                }
            } else {
                weights = kMode == kBlendModePlain ? _mm_slli_epi16(graph, 8) : _mm_mullo_epi16(graph, param);
            }
            const __m128i d = Load(dp);
            __m128i r = MixByWeight32(d, s, weights);
            if constexpr (kTrans) {
                const __m128i skip = kAlpha ? _mm_cmpeq_epi32(_mm_srli_epi32(s, 24), zero) : _mm_cmpeq_epi32(s, key);
                r = Select(skip, d, r);
            }
            Store(dp, r);
        }
        constexpr SourceKind kKind = kAlpha ? SourceKind::kDirectAlpha : SourceKind::kDirect;
        blit_loops::BlitRestOfRow<Xrgb8888, kKind, kMode, kGraph, kTrans, Alpha16Rule::kMixAlpha16>(dp, sp, bp,
                                                                                                    vector_count, job);
    }
}

// The weighted 32-bit forms above for the job, or false when it is not one.
// A source with alpha alone in mode 0 has its own form.
bool RunWeightedRows32(const BlitJob& job) {
    if (job.kind == SourceKind::kDirectAlpha && job.blend == nullptr && job.mode == kBlendModePlain) {
        return false;
    }
    return blit_loops::RunWeightedForm(job, [&]<bool kAlpha, bool kGraph, int kMode, bool kTrans>() {
        WeightedRows32<kAlpha, kGraph, kMode, kTrans>(job);
    });
}

#endif  // __SSE2__

// One row copied with aligned vector stores; rows that overlap (a source and
// destination of one base) go through memmove.
void CopyRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
    if (dst < src + bytes && src < dst + bytes) {
        std::memmove(dst, src, bytes);
        return;
    }
#if defined(__SSE2__)
    // The small head and tail copies are skipped when empty: a library call
    // per row costs more than it seems on a 640-pixel row.
    const size_t head = std::min(bytes, static_cast<size_t>(-reinterpret_cast<uintptr_t>(dst) & 15));
    if (head != 0) {
        std::memcpy(dst, src, head);
    }
    dst += head;
    src += head;
    bytes -= head;
    for (; bytes >= 64; bytes -= 64, dst += 64, src += 64) {
        const __m128i a = Load(src), b = Load(src + 16), c = Load(src + 32), d = Load(src + 48);
        auto* out = reinterpret_cast<__m128i*>(dst);
        _mm_store_si128(out, a);
        _mm_store_si128(out + 1, b);
        _mm_store_si128(out + 2, c);
        _mm_store_si128(out + 3, d);
    }
    for (; bytes >= 16; bytes -= 16, dst += 16, src += 16) {
        _mm_store_si128(reinterpret_cast<__m128i*>(dst), Load(src));
    }
#endif
    if (bytes != 0) {
        std::memcpy(dst, src, bytes);
    }
}

template <class Format>
void CopyRows(const BlitJob& job) {
    const size_t row_bytes = static_cast<size_t>(job.width) * PixelBytes<Format>();
    const size_t total = row_bytes * static_cast<size_t>(job.height);
    if (job.src_pitch == job.dst_pitch && static_cast<size_t>(job.dst_pitch) == row_bytes &&
        (job.dst >= job.src + total || job.src >= job.dst + total)) {
        // Whole images whose rows follow each other: one block. (Overlapping
        // images keep the row-by-row order.)
        CopyRow(job.dst, job.src, total);
        return;
    }
    for (int y = 0; y < job.height; ++y) {
        CopyRow(job.dst + job.dst_pitch * y, job.src + job.src_pitch * y, row_bytes);
    }
}

// The scaled unweighted copy: each row gathered through the column table,
// and a row that repeats the previous source row copied from the row above.
template <class Format>
void ScaledCopyRows(const BlitJob& job) {
    constexpr int kBytes = PixelBytes<Format>();
    const size_t row_bytes = static_cast<size_t>(job.width) * kBytes;
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        if (y > 0 && job.rows[y] == job.rows[y - 1]) {
            std::memcpy(dp, dp - job.dst_pitch, row_bytes);
            continue;
        }
        const uint8_t* srow = job.src + job.src_pitch * job.rows[y];
        for (int x = 0; x < job.width; ++x) {
            std::memcpy(dp + x * kBytes, srow + static_cast<ptrdiff_t>(job.columns[x]) * kBytes, kBytes);
        }
    }
}

// Whether any source pixel a scaled job reads lies in the destination block
// it writes (one image drawn onto itself).
bool ScaledSourceMeetsDestination(const BlitJob& job, int source_bytes, int dest_bytes) {
    const auto [row_min, row_max] = std::minmax_element(job.rows, job.rows + job.height);
    const auto [column_min, column_max] = std::minmax_element(job.columns, job.columns + job.width);
    const ptrdiff_t first_row = job.src_pitch * *row_min, last_row = job.src_pitch * *row_max;
    const uintptr_t source_lo = reinterpret_cast<uintptr_t>(job.src) + std::min(first_row, last_row) +
                                static_cast<ptrdiff_t>(*column_min) * source_bytes;
    const uintptr_t source_hi = reinterpret_cast<uintptr_t>(job.src) + std::max(first_row, last_row) +
                                (static_cast<ptrdiff_t>(*column_max) + 1) * source_bytes;
    const ptrdiff_t last_dest_row = job.dst_pitch * (job.height - 1);
    const uintptr_t dest_lo = reinterpret_cast<uintptr_t>(job.dst) + std::min<ptrdiff_t>(0, last_dest_row);
    const uintptr_t dest_hi = reinterpret_cast<uintptr_t>(job.dst) + std::max<ptrdiff_t>(0, last_dest_row) +
                              static_cast<ptrdiff_t>(job.width) * dest_bytes;
    return source_lo < dest_hi && dest_lo < source_hi;
}

// One source row through the column table, in pixels of `Bytes` bytes.
template <int Bytes>
void GatherRow(uint8_t* gathered, const uint8_t* srow, const int32_t* columns, int width) {
    for (int x = 0; x < width; ++x)
        std::memcpy(gathered + static_cast<size_t>(x) * Bytes, srow + static_cast<ptrdiff_t>(columns[x]) * Bytes,
                    Bytes);
}

// A scaled job without blend image as unscaled jobs, one for each run of
// destination rows that show the same source row: the run reads that row
// over and over (a source pitch of zero). The row is gathered through the
// column table once, or read where it lies when the columns are the source's
// own, one after another (a piece stretched only downwards). Only for images
// that do not overlap, since the gathered row is read after earlier pixels of
// the row are written.
template <class Format>
bool RunScaledAsRows(const BlitJob& job) {
    if (job.blend != nullptr || job.kind == SourceKind::kPaletted) {
        return false;
    }
    const int source_bytes = job.kind == SourceKind::kDirectAlpha ? 4 : PixelBytes<Format>();
    if (ScaledSourceMeetsDestination(job, source_bytes, PixelBytes<Format>())) {
        return false;
    }
    bool straight = true;
    for (int x = 1; x < job.width && straight; ++x) {
        straight = job.columns[x] == job.columns[0] + x;
    }
    std::vector<uint8_t> gathered(straight ? 0 : static_cast<size_t>(job.width) * source_bytes);
    BlitJob run_job = job;
    run_job.columns = nullptr;
    run_job.rows = nullptr;
    run_job.src_pitch = 0;
    for (int y = 0; y < job.height;) {
        int end = y + 1;
        while (end < job.height && job.rows[end] == job.rows[y]) {
            ++end;
        }
        const uint8_t* srow = job.src + job.src_pitch * job.rows[y];
        if (straight) {
            run_job.src = srow + static_cast<ptrdiff_t>(job.columns[0]) * source_bytes;
        } else {
            source_bytes == 4 ? GatherRow<4>(gathered.data(), srow, job.columns, job.width)
                              : GatherRow<2>(gathered.data(), srow, job.columns, job.width);
            run_job.src = gathered.data();
        }
        run_job.dst = job.dst + job.dst_pitch * y;
        run_job.height = end - y;
        // Every run makes the same choice; only the first can decline, before
        // anything is drawn.
        if (!RunFastBlitJob<Format>(run_job)) {
            return false;
        }
        y = end;
    }
    return true;
}

}  // namespace

template <class Format>
bool RunFastBlitJob(const BlitJob& job) {
    if (!job.bright_white) {
        return false;
    }
    if (job.columns != nullptr) {
        if (job.blend == nullptr && job.kind == SourceKind::kDirect && job.mode == kBlendModePlain && !job.trans) {
            ScaledCopyRows<Format>(job);
            return true;
        }
        return RunScaledAsRows<Format>(job);
    }
    if constexpr (!Format::kIs16Bit) {
        if (RunWideBlitJob32(job)) {
            return true;
        }
    } else {
        if (RunWideBlitJob16(job)) {
            return true;
        }
    }
#if defined(__SSE2__)
    if constexpr (!Format::kIs16Bit) {
        if (RunWeightedRows32(job)) {
            return true;
        }
    }
#endif
    if (job.blend != nullptr) {
        return false;
    }
    if (job.kind == SourceKind::kDirectAlpha) {
#if defined(__SSE2__)
        if (job.mode == kBlendModePlain) {
            if constexpr (Format::kIs16Bit) {
                job.trans ? AlphaSourceRows16<true>(job) : AlphaSourceRows16<false>(job);
            } else {
                job.trans ? AlphaSourceRows32<true>(job) : AlphaSourceRows32<false>(job);
            }
            return true;
        }
        return blit_loops::RunAlphaSourceBlendForm(job, [&]<int kMode, bool kTrans, bool kFull>() {
            if constexpr (Format::kIs16Bit) {
                AlphaSourceBlendRows16<kMode, kTrans, kFull>(job);
            } else {
                AlphaSourceBlendRows32<kMode, kTrans, kFull>(job);
            }
        });
#endif
        return false;
    }
    if (job.kind != SourceKind::kDirect) {
        return false;
    }
    if (job.mode == kBlendModePlain && !job.trans) {
        CopyRows<Format>(job);
        return true;
    }
#if defined(__SSE2__)
    auto run = [&](auto mode_tag) {
        constexpr int kMode = decltype(mode_tag)::value;
        job.trans ? UnweightedRows<Format, kMode, true>(job) : UnweightedRows<Format, kMode, false>(job);
    };
    if (job.mode == kBlendModePlain) {
        KeyedCopyRows<Format>(job);
        return true;
    }
    if constexpr (Format::kIs16Bit) {
        // 16-bit: the unweighted forms (the halving average, full-strength
        // add and subtract) and alpha by P through the 64-level table.
        if (job.mode == kBlendModeAlpha && job.alpha16 == Alpha16Rule::kHalving) {
            run(std::integral_constant<int, kBlendModeAlpha>{});
            return true;
        }
        if (job.mode == kBlendModeAlpha && job.alpha16 == Alpha16Rule::kLerpTable6) {
            job.trans ? LerpRows16<true>(job) : LerpRows16<false>(job);
            return true;
        }
        if (job.param.value == 255 && (job.mode == kBlendModeAdd || job.mode == kBlendModeSubtract)) {
            job.mode == kBlendModeAdd ? run(std::integral_constant<int, kBlendModeAdd>{})
                                      : run(std::integral_constant<int, kBlendModeSubtract>{});
            return true;
        }
    } else {
        switch (job.mode) {
            case kBlendModeAlpha: run(std::integral_constant<int, kBlendModeAlpha>{}); return true;
            case kBlendModeAdd: run(std::integral_constant<int, kBlendModeAdd>{}); return true;
            case kBlendModeSubtract: run(std::integral_constant<int, kBlendModeSubtract>{}); return true;
            case kBlendModeMultiply: run(std::integral_constant<int, kBlendModeMultiply>{}); return true;
            default: break;
        }
    }
#endif
    return false;
}

template bool RunFastBlitJob<Xrgb8888>(const BlitJob& job);
template bool RunFastBlitJob<Rgb565>(const BlitJob& job);

}  // namespace velk
