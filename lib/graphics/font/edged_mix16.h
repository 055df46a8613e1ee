#pragma once
// The 16-bit mix of anti-aliased edged cells shared by the box writer and
// the kept lines: each cell value's weights and ink channels looked up from
// the four byte tables MakeEdgedOver16Tables fills, and 32 pixels mixed by
// them as the alpha blit mixes (see edged_glyph_writer16.cpp for the rule).
// Only for x86 builds, called where the machine has the byte permutes.

#include <cstdint>

#include <immintrin.h>

// GCC 12's 512-bit intrinsics start from a register left undefined on
// purpose, which its flow analysis then reports as used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace velk::edged16 {

#define VELK_TARGET_VBMI __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2")))
#define VELK_INLINE_VBMI __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2"), always_inline)) inline

// (A & B) | C and A | (B & C), as ternary logic immediates.
constexpr int kAndOr = 0xEA;
constexpr int kOrAnd = 0xF8;

// The words a step's mix reads besides the pixels: for each half, the
// weight pairs, the red and green channels, the blue (see LookUpWords).
constexpr int kWords = 6;

// The four tables, each in four registers of 64 values.
struct Tables {
    __m512i t[4][4];
};

// Table c's byte of each of 64 values, `high` the values from 128 on: the
// second permute leaves those the first found in place.
VELK_INLINE_VBMI __m512i LookUp(const __m512i* t, __m512i values, __mmask64 high) {
    const __m512i upper = _mm512_mask2_permutex2var_epi8(t[2], values, high, t[3]);
    return _mm512_mask2_permutex2var_epi8(t[0], upper, ~high, t[1]);
}

// Each channel's pairs (the pixel's in the low byte, the ink's in the high)
// mixed by the weight pairs (256 - a, a), and the sums put together as a
// pixel.
VELK_INLINE_VBMI __m512i MixPairs(__m512i weights, __m512i red_pairs, __m512i green_pairs, __m512i blue_pairs) {
    const __m512i r = _mm512_maddubs_epi16(weights, red_pairs);
    const __m512i g = _mm512_maddubs_epi16(weights, green_pairs);
    const __m512i b = _mm512_maddubs_epi16(weights, blue_pairs);
    // Each sum's bits from 8 on are the channel: red's below 2^13 and
    // green's below 2^14 are shifted so that those bits land in their
    // fields.
    const __m512i green_blue =
        _mm512_ternarylogic_epi32(_mm512_srli_epi16(g, 3), _mm512_set1_epi16(0x07E0), _mm512_srli_epi16(b, 8), kAndOr);
    return _mm512_ternarylogic_epi32(_mm512_slli_epi16(r, 3), _mm512_set1_epi16(static_cast<int16_t>(0xF800)),
                                     green_blue, kAndOr);
}

// 32 pixels `d` mixed by their weight pairs (256 - a, a) and the ink's
// channels: red in the high byte and green in the low byte of `red_green`,
// blue in the high byte of `blue`.
VELK_INLINE_VBMI __m512i MixHalf(__m512i d, __m512i weights, __m512i red_green, __m512i blue) {
    const __m512i red_pairs = _mm512_ternarylogic_epi32(_mm512_srli_epi16(d, 11), red_green,
                                                        _mm512_set1_epi16(static_cast<int16_t>(0xFF00)), kOrAnd);
    const __m512i green_pairs = _mm512_ternarylogic_epi32(_mm512_srli_epi16(d, 5), _mm512_set1_epi16(0x3F),
                                                          _mm512_slli_epi16(red_green, 8), kAndOr);
    const __m512i blue_pairs = _mm512_ternarylogic_epi32(d, _mm512_set1_epi16(0x1F), blue, kAndOr);
    return MixPairs(weights, red_pairs, green_pairs, blue_pairs);
}

// The bytes the mix of 64 cells (lane i the step's pixel i) reads besides
// the pixels, before they are paired into words: the pixels' weights, the
// inks' coverage and channels. Unpacking bytes takes the low eight of each
// 128 bits, then the high eight: the bytes are in an order in which the
// first unpack holds lanes 0 to 31 in order and the second 32 to 63.
struct LookedUp {
    __m512i rest;  // 256 - a in a byte (255 for the 1 of no coverage), 0 for a whole ink
    __m512i alpha;
    __m512i red;
    __m512i green;
    __m512i blue;
};

VELK_INLINE_VBMI LookedUp LookUpBytes(__m512i cells, const Tables& tables) {
    const __m512i values = _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 4, 1, 5, 2, 6, 3, 7), cells);
    const __mmask64 high = _mm512_movepi8_mask(values);
    LookedUp bytes;
    bytes.alpha = LookUp(tables.t[0], values, high);
    bytes.red = LookUp(tables.t[1], values, high);
    bytes.green = LookUp(tables.t[2], values, high);
    bytes.blue = LookUp(tables.t[3], values, high);
    const __mmask64 whole = _mm512_cmpeq_epi8_mask(bytes.alpha, _mm512_set1_epi8(-1));
    bytes.rest = _mm512_maskz_sub_epi8(~whole, _mm512_setzero_si512(), bytes.alpha);
    return bytes;
}

// The words of the first 32 lanes (`second` false) or the others, as
// MixHalf takes them.
VELK_INLINE_VBMI __m512i WeightWords(const LookedUp& bytes, bool second) {
    return second ? _mm512_unpackhi_epi8(bytes.rest, bytes.alpha) : _mm512_unpacklo_epi8(bytes.rest, bytes.alpha);
}

VELK_INLINE_VBMI __m512i RedGreenWords(const LookedUp& bytes, bool second) {
    return second ? _mm512_unpackhi_epi8(bytes.green, bytes.red) : _mm512_unpacklo_epi8(bytes.green, bytes.red);
}

VELK_INLINE_VBMI __m512i BlueWords(__m512i blue_bytes, bool second) {
    const __m512i zero = _mm512_setzero_si512();
    return second ? _mm512_unpackhi_epi8(zero, blue_bytes) : _mm512_unpacklo_epi8(zero, blue_bytes);
}

// What the mix of 64 cells reads besides the pixels: for the first 32 and
// then the others, the weight pairs, red and green, and blue (as MixHalf
// takes them).
VELK_INLINE_VBMI void LookUpWords(__m512i cells, const Tables& tables, __m512i words[kWords]) {
    const LookedUp bytes = LookUpBytes(cells, tables);
    for (int half = 0; half < 2; ++half) {
        words[3 * half] = WeightWords(bytes, half == 1);
        words[3 * half + 1] = RedGreenWords(bytes, half == 1);
        words[3 * half + 2] = BlueWords(bytes.blue, half == 1);
    }
}

VELK_INLINE_VBMI void LoadTables(const uint8_t* table_bytes, Tables& tables) {
    for (int c = 0; c < 4; ++c) {
        for (int h = 0; h < 4; ++h) {
            tables.t[c][h] = _mm512_loadu_si512(table_bytes + 256 * c + 64 * h);
        }
    }
}

}  // namespace velk::edged16

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
