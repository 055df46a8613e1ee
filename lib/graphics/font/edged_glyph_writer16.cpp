#include "lib/graphics/font/edged_glyph_writer16.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELK_EDGED16_PERMUTES 1
#endif

#include "lib/core/cpu_features.h"
#if defined(VELK_EDGED16_PERMUTES)
#include "lib/graphics/font/edged_mix16.h"
#include "lib/graphics/font/kept_edged_line16.h"
#endif
#include "lib/graphics/font/glyph_entry_records.h"
#include "lib/graphics/font/glyph_line_form.h"

namespace velk {

// Each pixel's channel c comes out of one multiply-add of byte pairs:
// (d_c, s_c) . (256 - a, a) = d_c (256 - a) + s_c a, whose top bits are the
// blit's mix (d_c (256 - a) + s_c a) >> 8. The tables hold, per cell value,
// the coverage a and the ink's three channels s_c (the pixel's weight
// 256 - a is worked out from a). Both weights fit bytes only for a part
// coverage; the two other cases take weights and channels whose
// multiply-add comes out as the blit's result too:
// - no coverage: weights (255, 1) and s_c = 64 give (255 d + 64) >> 8 = d
//   for every channel value d up to 63;
// - whole (a = 255): weights (0, 255) and s_c + 1 give
//   (256 s + 255 - s) >> 8 = s.
// (The channels stay below 65, so the multiply-add's signed bytes and its
// sums below 2^15 take them.)
uint64_t MakeEdgedOver16Tables(const GlyphWriter::Ink* inks, uint8_t* tables) {
    for (int v = 0; v < 256; ++v) {
        const GlyphWriter::Ink& ink = inks[v];
        const uint32_t s = ink.pixel;
        const int channels[3] = {static_cast<int>((s >> 11) & 0x1F), static_cast<int>((s >> 5) & 0x3F),
                                 static_cast<int>(s & 0x1F)};
        tables[v] = static_cast<uint8_t>(ink.alpha == 0 ? 1 : ink.alpha);
        for (int c = 0; c < 3; ++c) {
            const int byte = ink.alpha == 0 ? 64 : (ink.alpha == 255 ? channels[c] + 1 : channels[c]);
            tables[256 * (c + 1) + v] = static_cast<uint8_t>(byte);
        }
    }
    // (The stamps of the 32-bit writer's entries come from the same count:
    // one stamp never stands for two makings, whichever writer made them.)
    return NewEntriesMaking();
}

#if defined(VELK_EDGED16_PERMUTES)

bool MachineRunsEdgedOver16() { return MachineHasAvx512Vbmi(); }

namespace {
bool g_memo_allowed = true;
}  // namespace

void KeepEdgedOver16Steps(bool allowed) { g_memo_allowed = allowed; }

namespace {

// GCC 12's 512-bit intrinsics start from a register left undefined on
// purpose, which its flow analysis then reports as used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

using namespace edged16;

// A step of a glyph box as last written: its cells as loaded (lanes
// outside the box 0) and what their mix reads besides the pixels.
struct alignas(64) MemoStep {
    __m512i cells;
    __m512i words[kWords];
};

VELK_INLINE_VBMI void Mix(__m512i d[2], const __m512i words[kWords]) {
    d[0] = MixHalf(d[0], words[0], words[1], words[2]);
    d[1] = MixHalf(d[1], words[3], words[4], words[5]);
}

// 64 cells over their pixels, d[0] the first 32 and d[1] the others.
VELK_INLINE_VBMI void MixStep(__m512i cells, __m512i d[2], const Tables& tables) {
    __m512i words[kWords];
    LookUpWords(cells, tables, words);
    Mix(d, words);
}

// (Out of line: most steps of a box drawn again are kept already.)
VELK_TARGET_VBMI __attribute__((noinline)) void LookUpAndKeep(__m512i cells, const uint8_t* table_bytes,
                                                              MemoStep* memo) {
    Tables tables;
    LoadTables(table_bytes, tables);
    __m512i words[kWords];
    LookUpWords(cells, tables, words);
    memo->cells = cells;
    for (int i = 0; i < kWords; ++i) {
        memo->words[i] = words[i];
    }
}

// MixStep, the words kept in `memo` as well.
VELK_INLINE_VBMI void MixAndKeepStep(__m512i cells, __m512i d[2], const Tables& tables, MemoStep* memo) {
    __m512i words[kWords];
    LookUpWords(cells, tables, words);
    memo->cells = cells;
    for (int i = 0; i < kWords; ++i) {
        memo->words[i] = words[i];
    }
    Mix(d, words);
}

// MixStep by the words `memo` keeps for the step where its cells are these
// (looked up and kept otherwise).
VELK_INLINE_VBMI void MixKeptStep(__m512i cells, __m512i d[2], const uint8_t* table_bytes, MemoStep* memo) {
    if (_mm512_cmpneq_epi8_mask(cells, memo->cells) != 0) {
        LookUpAndKeep(cells, table_bytes, memo);
    }
    Mix(d, memo->words);
}

// How a box's steps find their words: looked up, looked up and kept (the
// box's steps are kept from this draw on), or kept already.
enum class Mode { kLookUp, kKeep, kKept };

// A step of nothing but 0 leaves its pixels: skipped where steps are only
// looked up. Where they are kept such a step is kept like any other (the
// words of 0 leave each pixel as it is): a box's kept steps then take no
// test of their cells but the one against those kept.
template <Mode kMode>
VELK_INLINE_VBMI bool LeavesAll(__m512i cells) {
    if constexpr (kMode == Mode::kLookUp) {
        return _mm512_test_epi8_mask(cells, cells) == 0;
    }
    return false;
}

// A step's 64 cells over their pixels as the box's mode finds their words.
template <Mode kMode>
VELK_INLINE_VBMI void MixStepBy(__m512i values, __m512i d[2], const Tables& tables, const uint8_t* table_bytes,
                                MemoStep* kept) {
    if constexpr (kMode == Mode::kKept) {
        MixKeptStep(values, d, table_bytes, kept);
    } else if constexpr (kMode == Mode::kKeep) {
        MixAndKeepStep(values, d, tables, kept);
    } else {
        MixStep(values, d, tables);
    }
}

// The tables, where a box's steps are looked up (kept steps read none).
template <Mode kMode>
VELK_INLINE_VBMI Tables TablesFor(const uint8_t* table_bytes) {
    Tables tables;
    if constexpr (kMode != Mode::kKept) {
        LoadTables(table_bytes, tables);
    }
    return tables;
}

// Calls `step` for each kRows rows of a box of `height` rows, the last
// with the rows left, each with its own kept step when `memo` is given.
template <int kRows, class Step>
VELK_INLINE_VBMI void StepRows(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch, int height,
                               MemoStep* memo, Step&& step) {
    int gy = 0;
    for (; gy + kRows <= height; gy += kRows, memo = memo != nullptr ? memo + 1 : nullptr) {
        step(row + gy * pitch, cells + gy * cell_pitch, kRows, memo);
    }
    if (gy < height) {
        step(row + gy * pitch, cells + gy * cell_pitch, height - gy, memo);
    }
}

// Rows of at most sixteen pixels, four a step: row q at lanes 16 q, each
// loaded and stored at its own width.
template <Mode kMode>
VELK_INLINE_VBMI void WriteRowsOf16(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                    int width, int height, const uint8_t* table_bytes, MemoStep* memo) {
    const Tables tables = TablesFor<kMode>(table_bytes);
    const auto columns = static_cast<__mmask16>(_bzhi_u32(~0u, static_cast<unsigned>(width)));
    auto step = [&](uint8_t* p, const uint8_t* c, int rows, MemoStep* kept) VELK_TARGET_VBMI {
        __mmask16 masks[4];
        for (int q = 0; q < 4; ++q) {
            masks[q] = q < rows ? columns : 0;
        }
        __m512i values = _mm512_castsi128_si512(_mm_maskz_loadu_epi8(masks[0], c));
        values = _mm512_inserti32x4(values, _mm_maskz_loadu_epi8(masks[1], c + cell_pitch), 1);
        values = _mm512_inserti32x4(values, _mm_maskz_loadu_epi8(masks[2], c + 2 * cell_pitch), 2);
        values = _mm512_inserti32x4(values, _mm_maskz_loadu_epi8(masks[3], c + 3 * cell_pitch), 3);
        if (LeavesAll<kMode>(values)) {
            return;
        }
        __m512i d[2];
        for (int h = 0; h < 2; ++h) {
            uint8_t* at = p + 2 * h * pitch;
            d[h] = _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_maskz_loadu_epi16(masks[2 * h], at)),
                                      _mm256_maskz_loadu_epi16(masks[2 * h + 1], at + pitch), 1);
        }
        MixStepBy<kMode>(values, d, tables, table_bytes, kept);
        for (int h = 0; h < 2; ++h) {
            uint8_t* at = p + 2 * h * pitch;
            _mm256_mask_storeu_epi16(at, masks[2 * h], _mm512_castsi512_si256(d[h]));
            _mm256_mask_storeu_epi16(at + pitch, masks[2 * h + 1], _mm512_extracti64x4_epi64(d[h], 1));
        }
    };
    StepRows<4>(row, pitch, cells, cell_pitch, height, memo, step);
}

// Rows of at most 32 pixels, two a step: row q at lanes 32 q.
template <Mode kMode>
VELK_INLINE_VBMI void WriteRowsOf32(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                    int width, int height, const uint8_t* table_bytes, MemoStep* memo) {
    const Tables tables = TablesFor<kMode>(table_bytes);
    const auto columns = static_cast<__mmask32>(_bzhi_u32(~0u, static_cast<unsigned>(width)));
    auto step = [&](uint8_t* p, const uint8_t* c, int rows, MemoStep* kept) VELK_TARGET_VBMI {
        const __mmask32 second = rows > 1 ? columns : 0;
        const __m512i values = _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_maskz_loadu_epi8(columns, c)),
                                                  _mm256_maskz_loadu_epi8(second, c + cell_pitch), 1);
        if (LeavesAll<kMode>(values)) {
            return;
        }
        __m512i d[2] = {_mm512_maskz_loadu_epi16(columns, p), _mm512_maskz_loadu_epi16(second, p + pitch)};
        MixStepBy<kMode>(values, d, tables, table_bytes, kept);
        _mm512_mask_storeu_epi16(p, columns, d[0]);
        _mm512_mask_storeu_epi16(p + pitch, second, d[1]);
    };
    StepRows<2>(row, pitch, cells, cell_pitch, height, memo, step);
}

// The widths that take kRows rows a step (see RowsAStep).
constexpr int NarrowestOf(int rows) { return rows == 3 ? 17 : 33; }
constexpr int WidestOf(int rows) { return rows == 3 ? 21 : 64; }

// A box of at most 64 / kRows columns, kRows rows a step: row q of a step
// at lanes width x q, loaded and stored at that many pixels before where it
// starts (lanes outside a row are neither read nor written). A row may lie
// across the two halves of the pixels.
template <int kRows, Mode kMode>
VELK_INLINE_VBMI void WriteRows(uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch, int width,
                                int height, const uint8_t* table_bytes, MemoStep* memo) {
    static_assert(WidestOf(kRows) * kRows <= 64);
    const Tables tables = TablesFor<kMode>(table_bytes);
    __mmask64 cell_masks[kRows];
    __mmask32 low_masks[kRows], high_masks[kRows];
    ptrdiff_t cell_at[kRows], low_at[kRows], high_at[kRows];
    const uint64_t columns = _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(width));
    for (int q = 0; q < kRows; ++q) {
        const int lane = width * q;
        const uint64_t mask = columns << lane;
        cell_masks[q] = mask;
        low_masks[q] = static_cast<__mmask32>(mask);
        high_masks[q] = static_cast<__mmask32>(mask >> 32);
        cell_at[q] = q * cell_pitch - lane;
        low_at[q] = q * pitch - 2 * lane;
        high_at[q] = q * pitch - 2 * (lane - 32);
    }
    // Which rows lie in the first half, or the second, whatever the width:
    // the others take a load and a store in each.
    auto in_low = [](int q) { return (q + 1) * WidestOf(kRows) <= 32; };
    auto in_high = [](int q) { return q * NarrowestOf(kRows) >= 32; };
    auto step = [&](uint8_t* p, const uint8_t* c, int rows, MemoStep* kept) VELK_TARGET_VBMI {
        __m512i values = _mm512_setzero_si512();
        for (int q = 0; q < kRows; ++q) {
            if (q < rows) {
                values = _mm512_mask_loadu_epi8(values, cell_masks[q], c + cell_at[q]);
            }
        }
        if (LeavesAll<kMode>(values)) {
            return;
        }
        __m512i d[2] = {_mm512_setzero_si512(), _mm512_setzero_si512()};
        for (int q = 0; q < kRows; ++q) {
            if (q < rows && !in_high(q)) {
                d[0] = _mm512_mask_loadu_epi16(d[0], low_masks[q], p + low_at[q]);
            }
            if (q < rows && !in_low(q)) {
                d[1] = _mm512_mask_loadu_epi16(d[1], high_masks[q], p + high_at[q]);
            }
        }
        MixStepBy<kMode>(values, d, tables, table_bytes, kept);
        for (int q = 0; q < kRows; ++q) {
            if (q < rows && !in_high(q)) {
                _mm512_mask_storeu_epi16(p + low_at[q], low_masks[q], d[0]);
            }
            if (q < rows && !in_low(q)) {
                _mm512_mask_storeu_epi16(p + high_at[q], high_masks[q], d[1]);
            }
        }
    };
    StepRows<kRows>(row, pitch, cells, cell_pitch, height, memo, step);
}

// The steps of the glyph boxes written lately, each under the box's cells
// pointer, pitch and shape and the stamp of the tables it was looked up in:
// a string drawn again (as games draw their text every frame) mixes its
// glyphs by loads instead of lookups. A kept step is only used where its
// cells are the ones loaded now, and tables made anew take a new stamp, so
// a cache cell reused for another glyph, a font deleted or colours changed
// only cost a lookup. The memory is bounded by kSteps.
class StepMemo {
public:
    // The `steps` steps kept for this box, or null where it is not kept:
    // boxes are kept from their second draw on (a string drawn once costs
    // no more than its lookups), and not when they take too many steps.
    // `fresh` is set when the steps hold nothing yet.
    MemoStep* Find(uint64_t stamp, const uint8_t* cells, ptrdiff_t cell_pitch, uint32_t shape, int steps, bool* fresh) {
        if (steps > kMostSteps || cell_pitch > INT32_MAX) {
            return nullptr;
        }
        if (steps_ == nullptr) {
            Allocate();
        }
        const Slot key{cells, stamp, static_cast<int32_t>(cell_pitch), shape, kNotKept};
        const size_t home = Home(stamp, cells, cell_pitch, shape);
        for (size_t probe = 0; probe < kProbes; ++probe) {
            Slot& slot = slots_[(home + probe) & (kSlots - 1)];
            if (slot.epoch != epoch_) {
                break;
            }
            if (slot.cells == cells && slot.stamp == stamp && slot.pitch == key.pitch && slot.shape == shape) {
                if (slot.first != kNotKept) {
                    *fresh = false;
                    return &steps_[slot.first];
                }
                // Drawn again: kept from now on.
                if (used_steps_ + steps > kSteps) {
                    Clear();
                    return Keep(Insert(home, key), steps, fresh);
                }
                return Keep(&slot, steps, fresh);
            }
        }
        if (entries_ >= kSlots / 2) {
            Clear();
        }
        Insert(home, key);
        return nullptr;
    }

private:
    static size_t Home(uint64_t stamp, const uint8_t* cells, ptrdiff_t cell_pitch, uint32_t shape) {
        const uint64_t hash = (reinterpret_cast<uintptr_t>(cells) ^ (static_cast<uint64_t>(cell_pitch) << 44) ^
                               (static_cast<uint64_t>(shape) << 20) ^ stamp) *
                              0x9E3779B97F4A7C15u;
        return static_cast<size_t>(hash >> 40) & (kSlots - 1);
    }

    static constexpr int kMostSteps = 64;
    static constexpr int kSteps = 1024;  // 448 KB
    // (Few enough that the slots stay in the nearest cache: a box's key is
    // looked up at every draw.)
    static constexpr size_t kSlots = 512;
    static constexpr size_t kProbes = 8;

    static constexpr uint32_t kNotKept = UINT32_MAX;

    struct alignas(32) Slot {
        const uint8_t* cells = nullptr;
        uint64_t stamp = 0;
        int32_t pitch = 0;
        uint32_t shape = 0;
        uint32_t first = kNotKept;  // the box's first step, once kept
        uint32_t epoch = 0;         // free unless the memo's
    };

    // (The parts of Find past a box's kept steps out of line: a line's boxes
    // mostly find theirs.)
    __attribute__((noinline)) void Allocate() {
        steps_ = std::make_unique<MemoStep[]>(kSteps);
        slots_.assign(kSlots, Slot{});
    }

    // The key in the first free slot from `home` on, all cleared first when
    // none is near.
    __attribute__((noinline)) Slot* Insert(size_t home, const Slot& key) {
        for (int round = 0; round < 2; ++round) {
            for (size_t probe = 0; probe < kProbes; ++probe) {
                Slot& slot = slots_[(home + probe) & (kSlots - 1)];
                if (slot.epoch != epoch_) {
                    slot = key;
                    slot.epoch = epoch_;
                    ++entries_;
                    return &slot;
                }
            }
            Clear();
        }
        return nullptr;  // (not reached: a clear frees every slot)
    }

    __attribute__((noinline)) MemoStep* Keep(Slot* slot, int steps, bool* fresh) {
        if (slot == nullptr) {
            return nullptr;
        }
        slot->first = static_cast<uint32_t>(used_steps_);
        used_steps_ += steps;
        *fresh = true;
        return &steps_[slot->first];
    }

    // (A new epoch frees every slot at once; slots are only rewritten when
    // the epochs come round again.)
    __attribute__((noinline)) void Clear() {
        if (++epoch_ == 0) {
            std::fill(slots_.begin(), slots_.end(), Slot{});
            epoch_ = 1;
        }
        used_steps_ = 0;
        entries_ = 0;
    }

    std::vector<Slot> slots_;
    uint32_t epoch_ = 1;
    std::unique_ptr<MemoStep[]> steps_;
    int used_steps_ = 0;
    size_t entries_ = 0;
};

// Rows of up to 16 or 32 pixels take lanes of their own, each row loaded
// and stored at its own width; rows of 17 to 21 are packed three a step,
// the two halves' rows loaded whole and the one across them in two parts;
// wider rows take a step each. (Packed rows cost more a step than rows at
// lanes of their own: narrower rows are not packed.)
int RowsAStep(int width) { return width <= 16 ? 4 : width <= 21 ? 3 : width <= 32 ? 2 : 1; }

// (Each divisor a constant: a division by a variable costs as much as a
// kept step.)
int StepsOf(int rows, int height) {
    switch (rows) {
        case 4: return (height + 3) / 4;
        case 3: return (height + 2) / 3;
        case 2: return (height + 1) / 2;
        default: return height;
    }
}

template <Mode kMode>
VELK_INLINE_VBMI void WriteBox(int rows, uint8_t* row, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                               int width, int height, const uint8_t* tables, MemoStep* kept) {
    switch (rows) {
        case 4: WriteRowsOf16<kMode>(row, pitch, cells, cell_pitch, width, height, tables, kept); break;
        case 3: WriteRows<3, kMode>(row, pitch, cells, cell_pitch, width, height, tables, kept); break;
        case 2: WriteRowsOf32<kMode>(row, pitch, cells, cell_pitch, width, height, tables, kept); break;
        default: WriteRows<1, kMode>(row, pitch, cells, cell_pitch, width, height, tables, kept); break;
    }
}

// (Out of line: a box drawn again, as text mostly is, finds its steps kept.)
VELK_TARGET_VBMI __attribute__((noinline)) void LookUpBox(int rows, uint8_t* row, ptrdiff_t pitch, const uint8_t* cells,
                                                          ptrdiff_t cell_pitch, int width, int height,
                                                          const uint8_t* tables, MemoStep* keep) {
    if (keep != nullptr) {
        WriteBox<Mode::kKeep>(rows, row, pitch, cells, cell_pitch, width, height, tables, keep);
    } else {
        WriteBox<Mode::kLookUp>(rows, row, pitch, cells, cell_pitch, width, height, tables, nullptr);
    }
}

// Kept boxes wider than 21 (out of line: glyph boxes are mostly narrower,
// and the line form's loop runs faster the less it holds).
VELK_TARGET_VBMI __attribute__((noinline)) void WriteWideKeptBox(int rows, uint8_t* row, ptrdiff_t pitch,
                                                                 const uint8_t* cells, ptrdiff_t cell_pitch, int width,
                                                                 int height, const uint8_t* tables, MemoStep* kept) {
    WriteBox<Mode::kKept>(rows, row, pitch, cells, cell_pitch, width, height, tables, kept);
}

// The memory of this thread's kept steps for tables of this stamp, or none.
StepMemo* KeptStepsFor(uint64_t stamp) {
    thread_local StepMemo memo;
    return g_memo_allowed && stamp != 0 ? &memo : nullptr;
}

// A band's shape as the memory's keys hold it.
uint32_t ShapeOf(int width, int height) { return static_cast<uint32_t>(width | height << 8); }

// Several rows a step as RowsAStep chooses (glyphs are mostly 14 to 18
// pixels wide: four rows, or three); boxes wider than 64 in bands of 64
// columns.
VELK_INLINE_VBMI void WriteEdgedBox(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                    int x1, int y1, const uint8_t* tables, uint64_t stamp, StepMemo* memo) {
    const ptrdiff_t pitch = dest.base->pitch;
    const ptrdiff_t cell_pitch = glyph.pitch;  // (read once: the stores might reach it)
    const int height = y1 - y0;
    for (int gx = x0; gx < x1; gx += 64) {
        const int width = std::min(64, x1 - gx);
        uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x + gx) * 2;
        const uint8_t* cells = glyph.pixels + static_cast<ptrdiff_t>(y0) * cell_pitch + gx;
        bool fresh = false;
        MemoStep* kept = nullptr;
        const int rows = RowsAStep(width);
        if (memo != nullptr) {
            kept = memo->Find(stamp, cells, cell_pitch, ShapeOf(width, height), StepsOf(rows, height), &fresh);
        }
        if (kept == nullptr || fresh) {
            LookUpBox(rows, row, pitch, cells, cell_pitch, width, height, tables, kept);
        } else if (rows == 4) {
            WriteRowsOf16<Mode::kKept>(row, pitch, cells, cell_pitch, width, height, tables, kept);
        } else if (rows == 3) {
            WriteRows<3, Mode::kKept>(row, pitch, cells, cell_pitch, width, height, tables, kept);
        } else {
            WriteWideKeptBox(rows, row, pitch, cells, cell_pitch, width, height, tables, kept);
        }
    }
}

}  // namespace

VELK_TARGET_VBMI void WriteEdgedOver16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                       int x1, int y1, const uint8_t* tables, uint64_t stamp) {
    WriteEdgedBox(dest, x, y, glyph, x0, y0, x1, y1, tables, stamp, KeptStepsFor(stamp));
}

VELK_TARGET_VBMI __attribute__((flatten)) void WriteEdgedLineOver16(const MEMIMG& dest, const Rect& clip, int x, int y,
                                                                    const GlyphLine& line,
                                                                    const GlyphWriter::Ink* /*inks*/,
                                                                    const GlyphWriter::Lookup& lookup,
                                                                    const uint32_t* cover_words) {
    const auto* tables = reinterpret_cast<const uint8_t*>(cover_words + 256);
    const uint64_t stamp = lookup.tables_stamp;
    StepMemo* memo = KeptStepsFor(stamp);
    if (memo != nullptr && DrawKeptEdgedLine16(dest, clip, x, y, line, tables, stamp)) {
        return;
    }
    ForEachLineBox(clip, x, y, line,
                   [&](int gx, int gy, const GlyphCellView& glyph, int x0, int y0, int x1, int y1)
                       VELK_TARGET_VBMI { WriteEdgedBox(dest, gx, gy, glyph, x0, y0, x1, y1, tables, stamp, memo); });
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

bool MachineRunsEdgedOver16() { return false; }

void KeepEdgedOver16Steps(bool) {}

void WriteEdgedOver16(const MEMIMG&, int, int, const GlyphCellView&, int, int, int, int, const uint8_t*, uint64_t) {}

void WriteEdgedLineOver16(const MEMIMG&, const Rect&, int, int, const GlyphLine&, const GlyphWriter::Ink*,
                          const GlyphWriter::Lookup&, const uint32_t*) {}

#endif

}  // namespace velk
