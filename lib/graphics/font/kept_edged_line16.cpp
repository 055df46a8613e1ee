#include "lib/graphics/font/kept_edged_line16.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELK_KEPT_LINES16 1
#endif

#include "lib/core/cpu_features.h"
#if defined(VELK_KEPT_LINES16)
#include "lib/graphics/font/edged_mix16.h"
#endif

namespace velk {

#if defined(VELK_KEPT_LINES16)

bool MachineRunsKeptEdgedLines16() { return MachineHasAvx512Vbmi2(); }

namespace {

#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

using namespace edged16;

#define VELK_TARGET_VBMI2 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2")))
#define VELK_INLINE_VBMI2 \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2"), always_inline)) inline

// The pixels one mix takes.
constexpr int kLanes = 32;

// 32 pixels of a row of the line's box from column `column`, of which those
// `covered` (a cell value other than 0) are mixed and written: the value 0
// would leave a pixel as it was.
struct Span {
    int32_t row;
    int32_t column;
    uint32_t covered;
};

// A pixel covered by a later glyph after an earlier one (glyphs whose boxes
// overlap): mixed again, in the glyphs' order, after the rest.
struct Overlap {
    int32_t row;
    int32_t column;
    uint8_t value;
};

// What the mix of a span reads besides its pixels, laid out so that each
// channel's pairs take as few steps as they can (see MixSpan): the weight
// pairs, the ink's red shifted left by 3, and its blue in the low byte and
// green in the high byte of one word.
struct alignas(64) SpanWords {
    __m512i weights;
    __m512i red;
    __m512i blue_green;
};

// (A select: bits from A where C has them, from B elsewhere.)
constexpr int kSelect = 0xE4;

// 32 pixels mixed as MixHalf mixes them, from a span's words. Red comes into
// its pairs by one funnel shift (the pixel's red from bit 11 to the low
// byte, the ink's from the word shifted in above it); green is selected
// into the low byte of the blue and green word, whose bits 6 and 7 are 0;
// blue is moved up from there. Two steps fewer a span than MixHalf, for a
// fifth more words.
VELK_INLINE_VBMI2 __m512i MixSpan(__m512i d, const SpanWords& words) {
    const __m512i red_pairs = _mm512_shrdi_epi16(d, words.red, 11);
    const __m512i green_pairs =
        _mm512_ternarylogic_epi32(_mm512_srli_epi16(d, 5), words.blue_green, _mm512_set1_epi16(0x3F), kSelect);
    const __m512i blue_pairs =
        _mm512_ternarylogic_epi32(d, _mm512_set1_epi16(0x1F), _mm512_slli_epi16(words.blue_green, 8), kAndOr);
    return MixPairs(words.weights, red_pairs, green_pairs, blue_pairs);
}

// A span where it lies in an image of the pitch the offsets were worked out
// for: its first pixel's offset from the line's box. (Eight bytes: a draw
// reads them all, beside its words and pixels.)
struct PlacedSpan {
    int32_t offset;
    uint32_t covered;
};

// Bounds on what a line may keep: a box past them is drawn box by box (no
// game redraws text of that size every frame).
constexpr int kMostWidth = 1 << 13;
constexpr int kMostHeight = 1 << 9;
constexpr size_t kMostCells = size_t{1} << 20;

struct KeptLine {
    // What the line is kept under (the clip about the line's origin).
    const uint8_t* cells = nullptr;
    ptrdiff_t cell_bytes = 0;
    int pitch = 0;
    uint64_t cache_stamp = 0;
    uint64_t tables_stamp = 0;
    Rect clip{};
    std::vector<PlacedGlyph> glyphs;
    uint64_t layout = 0;  // the glyphs' layout number, where they came with one
    uint64_t last_draw = 0;
    bool built = false;
    bool not_kept = false;  // too large, or no room: drawn box by box while in its slot

    // The line's box about its origin, and what its draw reads.
    int left = 0;
    int top = 0;
    std::vector<Span> spans;
    std::vector<SpanWords> words;
    std::vector<Overlap> overlaps;
    // The spans placed in an image of `placed_pitch` (worked out at the
    // first draw into an image of another pitch).
    std::vector<PlacedSpan> placed;
    ptrdiff_t placed_pitch = 0;
    // Draws go forward and backward in turn, so that a line drawn again
    // straight after starts on what the last draw left in the cache: a
    // line's words and pixels can be more than the first-level cache holds,
    // and a draw in the same order each time would find none of them there.
    bool backward = false;

    size_t Bytes() const {
        return spans.capacity() * sizeof(Span) + words.capacity() * sizeof(SpanWords) +
               overlaps.capacity() * sizeof(Overlap) + placed.capacity() * sizeof(PlacedSpan) +
               glyphs.capacity() * sizeof(PlacedGlyph);
    }

    // (The memory is kept for the next line built in the slot, as lines
    // come and go through the same slots; Free lets it go.)
    void Release() {
        spans.clear();
        words.clear();
        overlaps.clear();
        placed.clear();
        placed_pitch = 0;
        built = false;
    }

    void Free() {
        Release();
        spans.shrink_to_fit();
        words.shrink_to_fit();
        overlaps.shrink_to_fit();
        placed.shrink_to_fit();
    }
};

static_assert(sizeof(PlacedGlyph) == 16 && offsetof(PlacedGlyph, height) == 12,
              "SameGlyphs compares glyphs as eight words, the last of them padding");

// Whether two lists of `count` glyphs hold the same glyphs (their padding
// aside).
VELK_TARGET_VBMI bool SameGlyphs(const PlacedGlyph* a, const PlacedGlyph* b, size_t count) {
    const auto* x = reinterpret_cast<const uint8_t*>(a);
    const auto* y = reinterpret_cast<const uint8_t*>(b);
    const size_t bytes = count * sizeof(PlacedGlyph);
    constexpr __mmask32 kFields = 0x7F7F7F7F;
    for (size_t at = 0; at < bytes; at += 64) {
        const size_t rest = std::min<size_t>(64, bytes - at);
        const auto words = static_cast<__mmask32>(_bzhi_u32(~0u, static_cast<unsigned>(rest / 2)));
        const __m512i u = _mm512_maskz_loadu_epi16(words, x + at);
        const __m512i v = _mm512_maskz_loadu_epi16(words, y + at);
        if (_mm512_mask_cmpneq_epi16_mask(words & kFields, u, v) != 0) {
            return false;
        }
    }
    return true;
}

// A few well-spread bits of a line's key, which a slot is tested by before
// its glyphs are compared.
uint64_t Summary(const GlyphLine& line, uint64_t tables_stamp, const Rect& clip) {
    constexpr uint64_t kMix = 0x9E3779B97F4A7C15u;
    const PlacedGlyph& first = line.glyphs[0];
    const PlacedGlyph& last = line.glyphs[line.count - 1];
    uint64_t h = (line.stamp ^ line.count << 48) * kMix;
    h = (h ^ tables_stamp ^ reinterpret_cast<uintptr_t>(line.cells)) * kMix;
    h = (h ^ static_cast<uint64_t>(line.cell_bytes) ^ static_cast<uint64_t>(line.pitch) << 40) * kMix;
    h = (h ^ static_cast<uint32_t>(clip.left) ^ static_cast<uint64_t>(static_cast<uint32_t>(clip.top)) << 32) * kMix;
    h = (h ^ static_cast<uint32_t>(clip.right) ^ static_cast<uint64_t>(static_cast<uint32_t>(clip.bottom)) << 32) *
        kMix;
    h = (h ^ static_cast<uint32_t>(first.cell) ^ static_cast<uint64_t>(static_cast<uint32_t>(last.along)) << 32) * kMix;
    return (h ^ h >> 31) | 1;
}

// One pixel mixed by the tables as MixHalf mixes it.
uint16_t MixOne(uint16_t pixel, const uint8_t* tables, uint8_t value) {
    const int alpha = tables[value];
    const int rest = alpha == 255 ? 0 : 256 - alpha;
    const int channels[3] = {pixel >> 11, (pixel >> 5) & 0x3F, pixel & 0x1F};
    int mixed[3];
    for (int c = 0; c < 3; ++c) {
        mixed[c] = (channels[c] * rest + tables[256 * (c + 1) + value] * alpha) >> 8;
    }
    return static_cast<uint16_t>(mixed[0] << 11 | mixed[1] << 5 | mixed[2]);
}

// The line's box, its glyphs' cells laid over it row by row (the first
// glyph to cover a pixel giving its value, later ones noted as overlaps).
// False where the box is past the bounds.
VELK_TARGET_VBMI bool LayCells(KeptLine& kept, const GlyphLine& line, std::vector<uint8_t>& grid, size_t* stride,
                               int* width, int* height) {
    int left = kept.clip.right, top = kept.clip.bottom, right = kept.clip.left, bottom = kept.clip.top;
    for (size_t i = 0; i < line.count; ++i) {
        const PlacedGlyph& g = line.glyphs[i];
        left = std::min(left, g.along);
        top = std::min<int>(top, g.top);
        right = std::max(right, g.along + g.width);
        bottom = std::max(bottom, g.top + g.height);
    }
    left = std::max(left, kept.clip.left);
    top = std::max(top, kept.clip.top);
    right = std::min(right, kept.clip.right);
    bottom = std::min(bottom, kept.clip.bottom);
    *width = std::max(0, right - left);
    *height = std::max(0, bottom - top);
    // (A step of spare cells after each row: a span may start at a row's
    // last cell.)
    *stride = static_cast<size_t>(*width + kLanes - 1) / kLanes * kLanes + kLanes;
    if (*width > kMostWidth || *height > kMostHeight || *stride * static_cast<size_t>(*height) > kMostCells) {
        return false;
    }
    kept.left = left;
    kept.top = top;
    grid.assign(*stride * static_cast<size_t>(*height), 0);
    std::vector<Overlap>& overlaps = kept.overlaps;
    overlaps.clear();
    // Right of every box laid so far: a box from there on needs no test for
    // cells laid already (and so no load of what was just stored).
    int laid_right = left;
    for (size_t i = 0; i < line.count; ++i) {
        const PlacedGlyph& g = line.glyphs[i];
        const int x0 = std::max(0, left - g.along), x1 = std::min<int>(g.width, right - g.along);
        const int y0 = std::max(0, top - g.top), y1 = std::min<int>(g.height, bottom - g.top);
        if (x0 >= x1 || y0 >= y1) {
            continue;
        }
        const bool apart = g.along + x0 >= laid_right;
        laid_right = std::max(laid_right, g.along + x1);
        const uint8_t* cells = line.cells + g.cell * line.cell_bytes;
        for (int gy = y0; gy < y1; ++gy) {
            const int row = g.top + gy - top;
            uint8_t* into = grid.data() + static_cast<size_t>(row) * *stride + (g.along + x0 - left);
            const uint8_t* from = cells + static_cast<ptrdiff_t>(gy) * line.pitch + x0;
            for (int gx = 0; gx < x1 - x0; gx += 64) {
                const __mmask64 lanes = _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(std::min(64, x1 - x0 - gx)));
                const __m512i fresh = _mm512_maskz_loadu_epi8(lanes, from + gx);
                if (apart) {
                    _mm512_mask_storeu_epi8(into + gx, lanes, fresh);
                    continue;
                }
                const __m512i laid = _mm512_maskz_loadu_epi8(lanes, into + gx);
                const __mmask64 inked = _mm512_test_epi8_mask(fresh, fresh);
                const __mmask64 again = inked & _mm512_test_epi8_mask(laid, laid);
                for (uint64_t rest = again; rest != 0; rest &= rest - 1) {
                    const int lane = std::countr_zero(rest);
                    overlaps.push_back(Overlap{row, g.along - left + x0 + gx + lane, from[gx + lane]});
                }
                _mm512_mask_storeu_epi8(into + gx, inked & ~again, fresh);
            }
        }
    }
    return true;
}

// Spans laid over each row's covered cells from its first one, each the
// next from the first covered cell after the one before (gaps of 32 or more
// take none), and the words of their cells looked up two spans at a time.
VELK_TARGET_VBMI2 void Build(KeptLine& kept, const GlyphLine& line, const uint8_t* table_bytes,
                             std::vector<uint8_t>& grid) {
    size_t stride = 0;
    int width = 0, height = 0;
    if (!LayCells(kept, line, grid, &stride, &width, &height)) {
        return;
    }
    std::vector<Span>& spans = kept.spans;
    spans.clear();
    // (At most one span a column step, and one more where a span starts
    // past a step's first column.)
    spans.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) / kLanes + 2));
    for (int row = 0; row < height; ++row) {
        const uint8_t* cells = grid.data() + static_cast<size_t>(row) * stride;
        for (int column = 0; column < width;) {
            const __m256i values = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cells + column));
            const uint32_t inked = _mm256_test_epi8_mask(values, values);
            if (inked == 0) {
                column += kLanes;
                continue;
            }
            column += std::countr_zero(inked);
            const __m256i span = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cells + column));
            spans.push_back(Span{row, column, _mm256_test_epi8_mask(span, span)});
            column += kLanes;
        }
    }
    auto cells_of = [&](size_t i) VELK_TARGET_VBMI {
        return i < spans.size() ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                                      grid.data() + static_cast<size_t>(spans[i].row) * stride + spans[i].column))
                                : _mm256_setzero_si256();
    };
    Tables tables;
    LoadTables(table_bytes, tables);
    std::vector<SpanWords>& words = kept.words;
    words.clear();
    words.reserve(spans.size() + 1);
    const __m512i zero = _mm512_setzero_si512();
    for (size_t i = 0; i < spans.size(); i += 2) {
        const LookedUp bytes =
            LookUpBytes(_mm512_inserti64x4(_mm512_castsi256_si512(cells_of(i)), cells_of(i + 1), 1), tables);
        // The blue of an ink of no coverage is 64, which mixes by the
        // weights (255, 1) to the pixel as it was; 63 mixes to the same for
        // every blue a pixel can hold, and leaves bits 6 and 7 to green.
        const __m512i blue = _mm512_min_epu8(bytes.blue, _mm512_set1_epi8(63));
        words.push_back(SpanWords{WeightWords(bytes, false),
                                  _mm512_slli_epi16(_mm512_unpacklo_epi8(bytes.red, zero), 3),
                                  _mm512_unpacklo_epi8(blue, bytes.green)});
        words.push_back(SpanWords{WeightWords(bytes, true), _mm512_slli_epi16(_mm512_unpackhi_epi8(bytes.red, zero), 3),
                                  _mm512_unpackhi_epi8(blue, bytes.green)});
    }
    kept.built = true;
}

// The spans' offsets in an image of `pitch`; false where one is too far
// from the line's box to be kept in 32 bits (an image so wide is drawn box
// by box).
bool PlaceSpans(KeptLine& kept, ptrdiff_t pitch) {
    if (kept.placed_pitch == pitch) {
        return true;
    }
    kept.placed.clear();
    for (const Span& span : kept.spans) {
        const int64_t offset = int64_t{span.row} * pitch + int64_t{span.column} * 2;
        if (offset < INT32_MIN || offset > INT32_MAX) {
            kept.placed.clear();
            kept.placed_pitch = 0;
            return false;
        }
        kept.placed.push_back(PlacedSpan{static_cast<int32_t>(offset), span.covered});
    }
    kept.placed_pitch = pitch;
    return true;
}

// Each span's covered pixels mixed in place, then the overlaps. The spans
// cover no pixel twice, so their order is free: every other draw takes them
// from the last.
VELK_TARGET_VBMI2 void DrawFromKept(KeptLine& kept, const MEMIMG& dest, int x, int y, const uint8_t* tables) {
    const ptrdiff_t pitch = dest.base->pitch;
    uint8_t* const origin =
        dest.pixels + static_cast<ptrdiff_t>(y + kept.top) * pitch + static_cast<ptrdiff_t>(x + kept.left) * 2;
    auto mix = [origin](const PlacedSpan& span, const SpanWords& words) VELK_TARGET_VBMI2 {
        uint8_t* p = origin + span.offset;
        _mm512_mask_storeu_epi16(p, span.covered, MixSpan(_mm512_maskz_loadu_epi16(span.covered, p), words));
    };
    const PlacedSpan* span = kept.placed.data();
    const size_t count = kept.placed.size();
    const SpanWords* words = kept.words.data();
    kept.backward = !kept.backward;
    if (kept.backward) {
        for (size_t i = count; i-- > 0;) {
            mix(span[i], words[i]);
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            mix(span[i], words[i]);
        }
    }
    for (const Overlap& overlap : kept.overlaps) {
        uint8_t* p = origin + overlap.row * pitch + overlap.column * 2;
        uint16_t pixel;
        std::memcpy(&pixel, p, 2);
        pixel = MixOne(pixel, tables, overlap.value);
        std::memcpy(p, &pixel, 2);
    }
}

// The lines this thread drew lately. A line is kept at its second draw;
// the memory holds kSlots lines and at most kBudget bytes, lines not drawn
// lately giving way. A line that would push out lines still in use, or is
// past the bounds, is not kept while it holds its slot: it is drawn box by
// box, and not laid out again at every draw.
class KeptLines {
public:
    bool Draw(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line, const uint8_t* tables,
              uint64_t tables_stamp) {
        const Rect about{clip.left - x, clip.top - y, clip.right - x, clip.bottom - y};
        const uint64_t summary = Summary(line, tables_stamp, about);
        ++draws_;
        KeptLine* kept = Find(summary, line, tables_stamp, about);
        if (kept == nullptr) {
            Remember(summary, line, tables_stamp, about);
            return false;
        }
        kept->last_draw = draws_;
        if (!kept->built) {
            if (kept->not_kept) {
                return false;
            }
            Build(*kept, line, tables, grid_);
            if (!kept->built || kept->Bytes() > kMostLineBytes || !MakeRoomFor(kept)) {
                kept->Free();
                kept->not_kept = true;
                return false;
            }
        }
        if (!PlaceSpans(*kept, dest.base->pitch)) {
            return false;
        }
        DrawFromKept(*kept, dest, x, y, tables);
        return true;
    }

private:
    static constexpr size_t kSlots = 24;
    static constexpr size_t kBudget = size_t{2} << 20;
    static constexpr size_t kMostLineBytes = kBudget / 8;

    KeptLine* Find(uint64_t summary, const GlyphLine& line, uint64_t tables_stamp, const Rect& about) {
        for (size_t slot = 0; slot < kSlots; ++slot) {
            if (summaries_[slot] != summary) {
                continue;
            }
            KeptLine& kept = slots_[slot];
            if (kept.glyphs.size() == line.count && kept.cache_stamp == line.stamp &&
                kept.tables_stamp == tables_stamp && kept.cells == line.cells && kept.cell_bytes == line.cell_bytes &&
                kept.pitch == line.pitch && kept.clip == about &&
                ((line.layout != 0 && kept.layout == line.layout) ||
                 SameGlyphs(kept.glyphs.data(), line.glyphs, line.count))) {
                kept.layout = line.layout;
                return &kept;
            }
        }
        return nullptr;
    }

    // The line drawn for the first time, in the slot drawn longest ago.
    void Remember(uint64_t summary, const GlyphLine& line, uint64_t tables_stamp, const Rect& about) {
        KeptLine& slot = *std::min_element(slots_.begin(), slots_.end(), [](const KeptLine& a, const KeptLine& b) {
            return a.last_draw < b.last_draw;
        });
        slot.Release();
        summaries_[static_cast<size_t>(&slot - slots_.data())] = summary;
        slot.cells = line.cells;
        slot.cell_bytes = line.cell_bytes;
        slot.pitch = line.pitch;
        slot.cache_stamp = line.stamp;
        slot.tables_stamp = tables_stamp;
        slot.clip = about;
        slot.glyphs.assign(line.glyphs, line.glyphs + line.count);
        slot.layout = line.layout;
        slot.not_kept = false;
        slot.last_draw = draws_;
    }

    // The memory of slots holding no kept line, then lines drawn longest
    // ago, let go until the memory holds `kept` too; false where that would
    // take a line drawn in the last kSlots draws.
    bool MakeRoomFor(KeptLine* kept) {
        for (;;) {
            size_t bytes = 0;
            KeptLine* idle = nullptr;
            KeptLine* oldest = nullptr;
            for (KeptLine& other : slots_) {
                bytes += other.Bytes();
                if (&other == kept) {
                    continue;
                }
                if (!other.built && other.Bytes() > other.glyphs.capacity() * sizeof(PlacedGlyph)) {
                    idle = &other;
                } else if (other.built && (oldest == nullptr || other.last_draw < oldest->last_draw)) {
                    oldest = &other;
                }
            }
            if (bytes <= kBudget) {
                return true;
            }
            if (idle != nullptr) {
                idle->Free();
            } else if (oldest != nullptr && oldest->last_draw + kSlots <= draws_) {
                oldest->Free();
            } else {
                return false;
            }
        }
    }

    std::array<KeptLine, kSlots> slots_;
    // Each slot's Summary (0 for a free one), apart from the slots: a draw
    // reads them all, after its mix has filled the cache with other things.
    std::array<uint64_t, kSlots> summaries_{};
    uint64_t draws_ = 0;
    std::vector<uint8_t> grid_;  // the cells of the line being kept
};

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace

bool DrawKeptEdgedLine16(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line,
                         const uint8_t* tables, uint64_t tables_stamp) {
    // (Positions this far out would overflow the clip taken about them.)
    constexpr int kFarthest = 1 << 30;
    if (line.stamp == 0 || tables_stamp == 0 || line.count == 0 || x < -kFarthest || x > kFarthest || y < -kFarthest ||
        y > kFarthest || !MachineRunsKeptEdgedLines16()) {
        return false;
    }
    thread_local KeptLines kept;
    return kept.Draw(dest, clip, x, y, line, tables, tables_stamp);
}

#else

bool MachineRunsKeptEdgedLines16() { return false; }

bool DrawKeptEdgedLine16(const MEMIMG&, const Rect&, int, int, const GlyphLine&, const uint8_t*, uint64_t) {
    return false;
}

#endif

}  // namespace velk
