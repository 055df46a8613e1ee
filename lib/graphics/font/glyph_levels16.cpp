#include "lib/graphics/font/glyph_levels16.h"

#if defined(__x86_64__) || defined(__i386__)

#include <array>
#include <cstddef>

#include <immintrin.h>

namespace velk {

namespace {

// GCC 12's 512-bit intrinsics start from a register left undefined on
// purpose, which its flow analysis then reports as used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define VELK_TARGET_LEVELS __attribute__((target("avx512f,avx512bw,avx512vl")))

// For each cell value (those above 15 read as 16), the byte pair
// (16 - w, w) that weighs the pixel and the ink: w is the value's sixteenths
// of the ink, 16 for 15 (the ink whole) and 0 for 0 and values above 15.
constexpr std::array<uint16_t, 32> MakeWeightPairs() {
    std::array<uint16_t, 32> pairs{};
    for (int v = 0; v < 32; ++v) {
        const int w = v == 15 ? 16 : (v < 15 ? v : 0);
        pairs[static_cast<size_t>(v)] = static_cast<uint16_t>((16 - w) | (w << 8));
    }
    return pairs;
}

alignas(64) constexpr std::array<uint16_t, 32> kWeightPairs = MakeWeightPairs();

// The ink's channels, each in the high byte of every word where the mix
// pairs it with the pixel's (green doubled, red times 8, as the pixel's are
// read), and the masks of the mix, made once a glyph.
struct LevelInk {
    __m512i pairs;
    __m512i blue;
    __m512i green;
    __m512i red;
    __m512i blue_bits;
    __m512i green_bits;  // (doubled)
    __m512i red_bits;    // (in the high byte moved down)
    __m512i high_byte;   // each word's high byte moved to its low byte
    __m512i green_place;
    __m512i red_place;
};

// Byte shuffles of each 128 bits' words 0 to 3 and 4 to 7: a word's high
// byte to its low byte, its high byte cleared.
constexpr long long kHighBytesLow = static_cast<long long>(0x8007800580038001ull);
constexpr long long kHighBytesUp = static_cast<long long>(0x800F800D800B8009ull);

VELK_TARGET_LEVELS LevelInk MakeLevelInk(uint32_t color) {
    LevelInk ink;
    ink.pairs = _mm512_load_si512(kWeightPairs.data());
    ink.blue = _mm512_set1_epi16(static_cast<int16_t>((color & 0x1F) << 8));
    ink.green = _mm512_set1_epi16(static_cast<int16_t>(((color >> 5) & 0x3F) << 9));
    ink.red = _mm512_set1_epi16(static_cast<int16_t>(((color >> 11) & 0x1F) << 11));
    ink.blue_bits = _mm512_set1_epi16(0x1F);
    ink.green_bits = _mm512_set1_epi16(0x7E);
    ink.red_bits = _mm512_set1_epi16(0xF8);
    ink.high_byte = _mm512_set4_epi64(kHighBytesUp, kHighBytesLow, kHighBytesUp, kHighBytesLow);
    ink.green_place = _mm512_set1_epi16(0x07E0);
    ink.red_place = _mm512_set1_epi16(static_cast<int16_t>(0xF800));
    return ink;
}

// 32 pixels `d` under their cells. The alpha blit's channel
// (pixel x (256 - 16 w) + ink x 16 w) >> 8 is (pixel x (16 - w) + ink x w)
// >> 4, and the sum is one multiply of byte pairs: (pixel, ink) by
// (16 - w, w). Green enters doubled so that its sum, cut to green's bits,
// is already shifted down by 4; red enters times 8, so that its sum moved
// up by 4 has its top five bits on red's.
VELK_TARGET_LEVELS inline __m512i MixLevels(__m512i d, __m256i cells, const LevelInk& ink) {
    constexpr int kAAndBOrC = 0xEA;  // (a & b) | c
    const __m512i values = _mm512_cvtepu8_epi16(_mm256_min_epu8(cells, _mm256_set1_epi8(16)));
    const __m512i pairs = _mm512_permutexvar_epi16(values, ink.pairs);
    const __m512i blue = _mm512_srli_epi16(
        _mm512_maddubs_epi16(_mm512_ternarylogic_epi32(d, ink.blue_bits, ink.blue, kAAndBOrC), pairs), 4);
    const __m512i green = _mm512_maddubs_epi16(
        _mm512_ternarylogic_epi32(_mm512_srli_epi16(d, 4), ink.green_bits, ink.green, kAAndBOrC), pairs);
    const __m512i red = _mm512_slli_epi16(
        _mm512_maddubs_epi16(
            _mm512_ternarylogic_epi32(_mm512_shuffle_epi8(d, ink.high_byte), ink.red_bits, ink.red, kAAndBOrC), pairs),
        4);
    const __m512i low = _mm512_ternarylogic_epi32(green, ink.green_place, blue, kAAndBOrC);
    return _mm512_ternarylogic_epi32(red, ink.red_place, low, kAAndBOrC);
}

// One step of kRows rows (`rows` of them drawn) of 32 / kRows lanes each,
// `mask` the lanes of a row. Row q's lanes are loaded and stored from
// q x (32 / kRows) pixels before its start, which stays at or after the
// first row's start: both pitches are at least a row's lanes.
template <int kRows>
VELK_TARGET_LEVELS inline void PutRows(uint8_t* p, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                       __mmask32 mask, int rows, const LevelInk& ink) {
    constexpr int kLanes = 32 / kRows;
    __m256i c = _mm256_maskz_loadu_epi8(mask, cells);
    for (int q = 1; q < kRows; ++q) {
        if (q < rows) {
            c = _mm256_mask_loadu_epi8(c, mask << (kLanes * q), cells + q * (cell_pitch - kLanes));
        }
    }
    __m512i d = _mm512_maskz_loadu_epi16(mask, p);
    for (int q = 1; q < kRows; ++q) {
        if (q < rows) {
            d = _mm512_mask_loadu_epi16(d, mask << (kLanes * q), p + q * (pitch - 2 * kLanes));
        }
    }
    const __m512i out = MixLevels(d, c, ink);
    _mm512_mask_storeu_epi16(p, mask, out);
    for (int q = 1; q < kRows; ++q) {
        if (q < rows) {
            _mm512_mask_storeu_epi16(p + q * (pitch - 2 * kLanes), mask << (kLanes * q), out);
        }
    }
}

// A box of at most 32 / kRows columns, kRows rows a step.
template <int kRows>
VELK_TARGET_LEVELS void PutNarrowBox(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                     int width, int height, const LevelInk& ink) {
    const auto mask = static_cast<__mmask32>((1u << width) - 1);
    int gy = 0;
    for (; gy + kRows <= height; gy += kRows, row += kRows * pitch, cells += kRows * cell_pitch) {
        PutRows<kRows>(row, pitch, cells, cell_pitch, mask, kRows, ink);
    }
    if (gy < height) {
        PutRows<kRows>(row, pitch, cells, cell_pitch, mask, height - gy, ink);
    }
}

}  // namespace

VELK_TARGET_LEVELS void WriteLevelsOver16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                          int x1, int y1, const GlyphWriter::Ink* /*inks*/,
                                          const GlyphWriter::Lookup& lookup, const uint32_t* /*cover_words*/) {
    const ptrdiff_t pitch = dest.base->pitch;
    const ptrdiff_t cell_pitch = glyph.pitch;
    const uint8_t* cells = glyph.pixels + static_cast<ptrdiff_t>(y0) * cell_pitch + x0;
    uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x + x0) * 2;
    const int width = x1 - x0, height = y1 - y0;
    const LevelInk ink = MakeLevelInk(lookup.level_color);
    // Glyphs are mostly narrower than 16 pixels: one register takes two or
    // four of their rows.
    if (width <= 8 && pitch >= 16 && cell_pitch >= 8) {
        PutNarrowBox<4>(row, pitch, cells, cell_pitch, width, height, ink);
    } else if (width <= 16 && pitch >= 32 && cell_pitch >= 16) {
        PutNarrowBox<2>(row, pitch, cells, cell_pitch, width, height, ink);
    } else {
        for (int gy = 0; gy < height; ++gy, row += pitch, cells += cell_pitch) {
            for (int gx = 0; gx < width; gx += 32) {
                const int count = width - gx;
                const auto mask = static_cast<__mmask32>(count >= 32 ? ~0u : (1u << count) - 1);
                PutRows<1>(row + 2 * gx, pitch, cells + gx, cell_pitch, mask, 1, ink);
            }
        }
    }
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace velk

#endif
