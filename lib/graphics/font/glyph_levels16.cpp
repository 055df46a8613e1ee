#include "lib/graphics/font/glyph_levels16.h"

#if defined(__x86_64__) || defined(__i386__)

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

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

// The masks and tables of the mix, a register each.
struct alignas(64) LevelMasks {
    // For each cell value (those above 15 read as 16), the byte pair
    // (16 - w, w) that weighs the pixel and the ink: w is the value's
    // sixteenths of the ink, 16 for 15 (the ink whole) and 0 for 0 and
    // values above 15.
    std::array<uint16_t, 32> pairs;
    std::array<uint16_t, 32> blue_bits;
    std::array<uint16_t, 32> green_bits;  // (doubled)
    std::array<uint16_t, 32> red_bits;    // (the high byte moved down)
    std::array<uint16_t, 32> green_place;
    std::array<uint16_t, 32> red_place;
    // Byte shuffles moving each word's high byte to its low byte.
    std::array<uint8_t, 64> high_byte;
    std::array<uint8_t, 32> sixteen;
};

constexpr LevelMasks MakeLevelMasks() {
    LevelMasks m{};
    for (size_t i = 0; i < 32; ++i) {
        const int v = static_cast<int>(i);
        const int w = v == 15 ? 16 : (v < 15 ? v : 0);
        m.pairs[i] = static_cast<uint16_t>((16 - w) | (w << 8));
        m.blue_bits[i] = 0x1F;
        m.green_bits[i] = 0x7E;
        m.red_bits[i] = 0xF8;
        m.green_place[i] = 0x07E0;
        m.red_place[i] = 0xF800;
        m.high_byte[2 * i] = static_cast<uint8_t>((2 * i + 1) % 16);
        m.high_byte[2 * i + 1] = 0x80;
        m.sixteen[i] = 16;
    }
    return m;
}

constexpr LevelMasks kLevelMasks = MakeLevelMasks();

// The ink's channels, each in the high byte of every word where the mix
// pairs it with the pixel's (green doubled, red times 8, as the pixel's are
// read), and the masks, made once a glyph.
struct LevelInk {
    __m512i blue;
    __m512i green;
    __m512i red;
    __m512i pairs;
    __m512i blue_bits;
    __m512i green_bits;
    __m512i red_bits;
    __m512i green_place;
    __m512i red_place;
    __m512i high_byte;
    __m256i sixteen;
};

VELK_TARGET_LEVELS inline LevelInk MakeLevelInk(uint32_t color) {
    LevelInk ink;
    ink.blue = _mm512_set1_epi16(static_cast<int16_t>((color & 0x1F) << 8));
    ink.green = _mm512_set1_epi16(static_cast<int16_t>(((color >> 5) & 0x3F) << 9));
    ink.red = _mm512_set1_epi16(static_cast<int16_t>(((color >> 11) & 0x1F) << 11));
    ink.pairs = _mm512_load_si512(kLevelMasks.pairs.data());
    ink.blue_bits = _mm512_load_si512(kLevelMasks.blue_bits.data());
    ink.green_bits = _mm512_load_si512(kLevelMasks.green_bits.data());
    ink.red_bits = _mm512_load_si512(kLevelMasks.red_bits.data());
    ink.green_place = _mm512_load_si512(kLevelMasks.green_place.data());
    ink.red_place = _mm512_load_si512(kLevelMasks.red_place.data());
    ink.high_byte = _mm512_load_si512(kLevelMasks.high_byte.data());
    ink.sixteen = _mm256_load_si256(reinterpret_cast<const __m256i*>(kLevelMasks.sixteen.data()));
    // Held as values the compiler cannot remake: it would otherwise remake
    // the masks from immediates before every glyph's rows.
    for (__m512i* held : {&ink.blue_bits, &ink.green_bits, &ink.red_bits, &ink.green_place, &ink.red_place,
                          &ink.high_byte, &ink.pairs}) {
        __asm__("" : "+v"(*held));
    }
    return ink;
}

// The byte pairs (16 - w, w) of 32 cells, w the cell's sixteenths of the
// ink (see LevelMasks::pairs).
VELK_TARGET_LEVELS inline __m512i LevelPairs(__m256i cells, const LevelInk& ink) {
    return _mm512_permutexvar_epi16(_mm512_cvtepu8_epi16(_mm256_min_epu8(cells, ink.sixteen)), ink.pairs);
}

// 32 pixels `d` under the byte pairs of their cells. The alpha blit's
// channel (pixel x (256 - 16 w) + ink x 16 w) >> 8 is (pixel x (16 - w) +
// ink x w) >> 4, and the sum is one multiply of byte pairs: (pixel, ink) by
// (16 - w, w). Green enters doubled so that its sum, cut to green's bits,
// is already shifted down by 4; red enters times 8, so that its sum moved
// up by 4 has its top five bits on red's.
VELK_TARGET_LEVELS inline __m512i MixLevelPairs(__m512i d, __m512i pairs, const LevelInk& ink) {
    constexpr int kAAndBOrC = 0xEA;  // (a & b) | c
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

// One step of kRows rows of 32 / kRows lanes each, `mask` the lanes of a
// row, of which the first `rows` are the box's. The cells of row q are loaded
// from q x (32 / kRows) bytes before its start, which stays at or after
// the first row's start (the cell pitch is at least a row's lanes).
// Pixels are loaded and stored at the rows' own starts, but for the second
// of two rows a step, loaded and stored whole from 16 pixels before its
// start (the pitch is at least 16 pixels): inserting it costs more. Wider
// accesses that reach the pixels after a row would reach those of the next
// glyph, whose loads would wait for these stores.
//
// With `kKept`, `cells` are instead the byte pairs of the cells (LevelPairs),
// kRows rows of 32 / kRows pairs in a row, read whole.
template <int kRows, bool kKept = false>
VELK_TARGET_LEVELS inline void PutRows(uint8_t* p, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                       __mmask32 mask, int rows, const LevelInk& ink) {
    constexpr int kLanes = 32 / kRows;
    // Rows past the box's last have no lanes and point at the first,
    // chosen without a branch: where glyphs end within a step follows no
    // pattern.
    ptrdiff_t drawn[kRows];
    for (int q = 0; q < kRows; ++q) {
        drawn[q] = static_cast<ptrdiff_t>(0) - static_cast<ptrdiff_t>(q < rows);
    }
    __m512i pairs;
    if constexpr (kKept) {
        pairs = _mm512_loadu_si512(cells);
    } else {
        __m256i c = _mm256_maskz_loadu_epi8(mask, cells);
        for (int q = 1; q < kRows; ++q) {
            c = _mm256_mask_loadu_epi8(c, (mask << (kLanes * q)) & static_cast<uint32_t>(drawn[q]),
                                       cells + (q * (cell_pitch - kLanes) & drawn[q]));
        }
        pairs = LevelPairs(c, ink);
    }
    if constexpr (kRows == 1) {
        const __m512i out = MixLevelPairs(_mm512_maskz_loadu_epi16(mask, p), pairs, ink);
        _mm512_mask_storeu_epi16(p, mask, out);
    } else if constexpr (kRows == 2) {
        const auto second_mask = static_cast<__mmask32>((mask << 16) & static_cast<uint32_t>(drawn[1]));
        uint8_t* second = p + ((pitch - 32) & drawn[1]);
        const __m512i d =
            _mm512_mask_loadu_epi16(_mm512_castsi256_si512(_mm256_maskz_loadu_epi16(mask, p)), second_mask, second);
        const __m512i out = MixLevelPairs(d, pairs, ink);
        _mm256_mask_storeu_epi16(p, mask, _mm512_castsi512_si256(out));
        _mm512_mask_storeu_epi16(second, second_mask, out);
    } else {
        static_assert(kRows == 4);
        // Row q at lanes 8 q, loaded whole from 8 q pixels before its start
        // (the pitch is at least 8 pixels); the stores end where the rows
        // end.
        uint8_t* at[kRows];
        __mmask32 masks[kRows];
        for (int q = 0; q < kRows; ++q) {
            at[q] = p + ((q * (pitch - 16)) & drawn[q]);
            masks[q] = (mask << (8 * q)) & static_cast<uint32_t>(drawn[q]);
        }
        __m512i d = _mm512_castsi128_si512(_mm_maskz_loadu_epi16(static_cast<__mmask8>(mask), p));
        for (int q = 1; q < kRows; ++q) {
            d = _mm512_mask_loadu_epi16(d, masks[q], at[q]);
        }
        const __m512i out = MixLevelPairs(d, pairs, ink);
        _mm_mask_storeu_epi16(p, static_cast<__mmask8>(mask), _mm512_castsi512_si128(out));
        _mm256_mask_storeu_epi16(at[1], static_cast<__mmask16>(masks[1]), _mm512_castsi512_si256(out));
        _mm_mask_storeu_epi16(at[2] + 32, static_cast<__mmask8>(masks[2] >> 16), _mm512_extracti32x4_epi32(out, 2));
        _mm512_mask_storeu_epi16(at[3], masks[3], out);
    }
}

// A box of at most 32 / kRows columns, kRows rows a step.
template <int kRows>
VELK_TARGET_LEVELS inline void PutNarrowBox(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                            int width, int height, const LevelInk& ink) {
    const auto mask = static_cast<__mmask32>((1u << width) - 1);
    for (int left = height; left > 0; left -= kRows, row += kRows * pitch, cells += kRows * cell_pitch) {
        PutRows<kRows>(row, pitch, cells, cell_pitch, mask, left, ink);
    }
}

// A box of at most 32 / kRows columns from its kept pairs (KeptLevelPairs).
template <int kRows>
VELK_TARGET_LEVELS inline void PutKeptBox(uint8_t* row, ptrdiff_t pitch, const uint8_t* pairs, int width, int height,
                                          const LevelInk& ink) {
    const auto mask = static_cast<__mmask32>((1u << width) - 1);
    int left = height;
    for (; left >= kRows; left -= kRows, row += kRows * pitch, pairs += 64) {
        PutRows<kRows, true>(row, pitch, pairs, 0, mask, kRows, ink);
    }
    if (left > 0) {
        PutRows<kRows, true>(row, pitch, pairs, 0, mask, left, ink);
    }
}

// Glyphs of very narrow images or cells, and wider than 16 pixels, a row a
// step.
__attribute__((noinline)) VELK_TARGET_LEVELS void PutWideBox(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells,
                                                             ptrdiff_t cell_pitch, int width, int height,
                                                             uint32_t color) {
    const LevelInk ink = MakeLevelInk(color);
    for (int gy = 0; gy < height; ++gy, row += pitch, cells += cell_pitch) {
        for (int gx = 0; gx < width; gx += 32) {
            const int count = width - gx;
            const auto mask = static_cast<__mmask32>(count >= 32 ? ~0u : (1u << count) - 1);
            PutRows<1>(row + 2 * gx, pitch, cells + gx, cell_pitch, mask, 1, ink);
        }
    }
}

__attribute__((noinline)) VELK_TARGET_LEVELS void PutNarrowestBox(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells,
                                                                  ptrdiff_t cell_pitch, int width, int height,
                                                                  uint32_t color) {
    PutNarrowBox<4>(row, pitch, cells, cell_pitch, width, height, MakeLevelInk(color));
}

// The byte pairs of glyphs' cells (LevelPairs), kept per thread under
// their cache's stamp: games draw the same lines frame after frame, and a
// glyph drawn again reads its pairs, a register's worth in one load, instead
// of making them from its cells at every step. A glyph's rows are kept
// `lanes` pairs each (those past its box leave the pixel), one after the
// other from a register's start, so that a step of 32 / lanes rows from any
// of its rows reads them in one load.
class KeptLevelPairs {
public:
    // What is kept of one cache's glyphs under one stamp.
    struct Cache;

    // What is kept of the line's cache, emptied for it when nothing is (in
    // place of the cache kept longest): a stamp is never given twice, so
    // what is kept under a stamp holds as long as its cells.
    Cache& CacheOf(const GlyphLine& line) {
        for (Cache& cache : caches_) {
            if (cache.stamp == line.stamp && cache.cells == line.cells) {
                return cache;
            }
        }
        Cache& cache = caches_[next_];
        next_ = (next_ + 1) % kCaches;
        cache.stamp = line.stamp;
        cache.cells = line.cells;
        cache.glyphs.clear();
        cache.blocks.clear();
        return cache;
    }

    // Whether the glyph's pairs are kept: boxes at most 16 wide, as of
    // text (so that a cache's pairs stay within a few times its cells).
    static bool Keeps(const PlacedGlyph& glyph) {
        return glyph.cell >= 0 && glyph.width <= 16 && glyph.height <= kMostRows;
    }

    // Where the rows of pairs of the line's glyph (one it Keeps) start
    // in its cache's Pairs, kept now when they are not: 8 pairs a row for
    // glyphs at most 8 wide, else 16.
    static size_t Find(Cache& cache, const GlyphLine& line, const PlacedGlyph& glyph) {
        const auto cell = static_cast<size_t>(glyph.cell);
        if (cell < cache.glyphs.size()) {
            const Glyph& kept = cache.glyphs[cell];
            if (kept.width == glyph.width && kept.height == glyph.height) {
                return kept.first;
            }
        }
        return Keep(cache, line, glyph);
    }

    // The cache's pairs (null while it keeps none), until it keeps more.
    static const uint8_t* Pairs(const Cache& cache) { return reinterpret_cast<const uint8_t*>(cache.blocks.data()); }

private:
    static constexpr int kBlockBytes = 64;
    static constexpr size_t kCaches = 8;
    static constexpr int kMostRows = 64;

    struct alignas(kBlockBytes) Block {
        uint8_t bytes[kBlockBytes];
    };
    struct Glyph {
        int16_t width = 0;  // the box the pairs were kept for; 0 none
        int16_t height = 0;
        size_t first = 0;  // its first block
    };

public:
    struct Cache {
        uint64_t stamp = 0;
        const uint8_t* cells = nullptr;
        std::vector<Glyph> glyphs;  // by cell
        std::vector<Block> blocks;
    };

private:
    __attribute__((noinline)) VELK_TARGET_LEVELS static size_t Keep(Cache& cache, const GlyphLine& line,
                                                                    const PlacedGlyph& glyph) {
        const auto cell = static_cast<size_t>(glyph.cell);
        if (cell >= cache.glyphs.size()) {
            cache.glyphs.resize(cell + 1);
        }
        Glyph& kept = cache.glyphs[cell];
        kept.width = glyph.width;
        kept.height = glyph.height;
        const int lanes = glyph.width <= 8 ? 8 : 16;
        const int rows_a_block = kBlockBytes / (2 * lanes);
        // The blocks end in one to spare, where a step from a row within a
        // glyph's last block reads the rows past its last: a glyph kept now
        // starts there.
        kept.first = cache.blocks.empty() ? 0 : cache.blocks.size() - 1;
        cache.blocks.resize(kept.first + static_cast<size_t>((glyph.height + rows_a_block - 1) / rows_a_block) + 1);
        const uint8_t* cells = line.cells + glyph.cell * line.cell_bytes;
        uint8_t* pairs = cache.blocks[kept.first].bytes;
        const LevelInk ink = MakeLevelInk(0);
        const auto mask = static_cast<__mmask32>((1u << glyph.width) - 1);
        for (int y = 0; y < glyph.height; ++y, cells += line.pitch, pairs += 2 * lanes) {
            const __m512i row = LevelPairs(_mm256_maskz_loadu_epi8(mask, cells), ink);
            if (lanes == 8) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs), _mm512_castsi512_si128(row));
            } else {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs), _mm512_castsi512_si256(row));
            }
        }
        return kept.first;
    }

    std::array<Cache, kCaches> caches_;
    size_t next_ = 0;
};

// A box of the line whose pairs are not kept, as WriteLevelsOver16 writes it.
__attribute__((noinline)) VELK_TARGET_LEVELS void PutCellBox(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells,
                                                             ptrdiff_t cell_pitch, int width, int height,
                                                             const LevelInk& ink, uint32_t color) {
    if (width <= 8 && pitch >= 16 && cell_pitch >= 8) {
        PutNarrowBox<4>(row, pitch, cells, cell_pitch, width, height, ink);
    } else if (width <= 16 && pitch >= 32 && cell_pitch >= 16) {
        PutNarrowBox<2>(row, pitch, cells, cell_pitch, width, height, ink);
    } else {
        PutWideBox(row, pitch, cells, cell_pitch, width, height, color);
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
    // Glyphs are mostly at most 16 pixels wide: one register takes two
    // of their rows, or four of those at most 8 wide.
    if (width <= 8 && pitch >= 16 && cell_pitch >= 8) {
        PutNarrowestBox(row, pitch, cells, cell_pitch, width, height, lookup.level_color);
    } else if (width <= 16 && pitch >= 32 && cell_pitch >= 16) {
        PutNarrowBox<2>(row, pitch, cells, cell_pitch, width, height, MakeLevelInk(lookup.level_color));
    } else {
        PutWideBox(row, pitch, cells, cell_pitch, width, height, lookup.level_color);
    }
}

// As WriteLevelsOver16 for each glyph, the ink's registers made once a line.
VELK_TARGET_LEVELS void WriteLevelsLineOver16(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line,
                                              const GlyphWriter::Ink* /*inks*/, const GlyphWriter::Lookup& lookup,
                                              const uint32_t* /*cover_words*/) {
    const LevelInk ink = MakeLevelInk(lookup.level_color);
    const ptrdiff_t pitch = dest.base->pitch;
    const ptrdiff_t cell_pitch = line.pitch;
    uint8_t* const pixels = dest.pixels;
    // Kept pairs are read by steps of whole rows of 8 or 16 pixels.
    thread_local KeptLevelPairs kept;
    KeptLevelPairs::Cache* const cache = line.stamp != 0 && pitch >= 32 ? &kept.CacheOf(line) : nullptr;
    constexpr size_t kBatch = 64;
    constexpr size_t kNone = ~static_cast<size_t>(0);
    size_t kept_at[kBatch];
    for (size_t first = 0; first < line.count; first += kBatch) {
        const size_t count = std::min(kBatch, line.count - first);
        const PlacedGlyph* const glyphs = line.glyphs + first;
        // Found (or kept) first, a batch of glyphs at a time: keeping calls
        // out, and the glyphs' loop then holds the masks in registers.
        for (size_t i = 0; i < count; ++i) {
            kept_at[i] = cache != nullptr && KeptLevelPairs::Keeps(glyphs[i])
                             ? KeptLevelPairs::Find(*cache, line, glyphs[i])
                             : kNone;
        }
        const uint8_t* const pairs = cache != nullptr ? KeptLevelPairs::Pairs(*cache) : nullptr;
        for (size_t i = 0; i < count; ++i) {
            const PlacedGlyph& placed = glyphs[i];
            const int gx = x + placed.along, gy = y + placed.top;
            const int x0 = std::max(0, clip.left - gx), y0 = std::max(0, clip.top - gy);
            const int x1 = std::min<int>(placed.width, clip.right - gx),
                      y1 = std::min<int>(placed.height, clip.bottom - gy);
            if (x0 >= x1 || y0 >= y1) {
                continue;
            }
            uint8_t* row = pixels + (gy + y0) * pitch + static_cast<ptrdiff_t>(gx + x0) * 2;
            const int width = x1 - x0, height = y1 - y0;
            if (kept_at[i] != kNone && x0 == 0) {
                const uint8_t* rows = pairs + kept_at[i] * 64;
                if (placed.width <= 8) {
                    PutKeptBox<4>(row, pitch, rows + static_cast<ptrdiff_t>(y0) * 16, width, height, ink);
                } else {
                    PutKeptBox<2>(row, pitch, rows + static_cast<ptrdiff_t>(y0) * 32, width, height, ink);
                }
            } else {
                PutCellBox(row, pitch,
                           line.cells + placed.cell * line.cell_bytes + static_cast<ptrdiff_t>(y0) * cell_pitch + x0,
                           cell_pitch, width, height, ink, lookup.level_color);
            }
        }
    }
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace velk

#endif
