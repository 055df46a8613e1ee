#include "platform/display/surface_pixel_loops.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "platform/display/word_fill.h"

namespace velk::platform {

namespace {

template <typename Pixel>
Pixel Load(const uint8_t* p) {
    Pixel value;
    std::memcpy(&value, p, sizeof(Pixel));
    return value;
}

template <typename Pixel>
void Store(uint8_t* p, Pixel value) {
    std::memcpy(p, &value, sizeof(Pixel));
}

// The key in the pixel's own width: a pixel is keyed when
// (pixel & mask) - low, wrapped to the pixel's width, is at most span.
template <typename Pixel>
struct NarrowKey {
    Pixel mask;
    Pixel low;
    Pixel span;

    bool Keyed(Pixel value) const { return static_cast<Pixel>((value & mask) - low) <= span; }
};

// False when the key can match no pixel of this width (then the copy is plain).
template <typename Pixel>
bool Narrow(const PixelKey& key, NarrowKey<Pixel>* out) {
    constexpr uint32_t kMax = std::numeric_limits<Pixel>::max();
    const uint32_t low = key.low & key.mask;
    const uint32_t high = std::min(key.high & key.mask, kMax);
    if (low > high) return false;
    out->mask = static_cast<Pixel>(key.mask & kMax);
    out->low = static_cast<Pixel>(low);
    out->span = static_cast<Pixel>(high - low);
    return true;
}

#if defined(__SSE2__)
// Four, eight or sixteen pixels a step: the unsigned compare of the key is a
// signed one on values moved by half the range.
template <typename Pixel>
struct WideKey {
    __m128i mask, low, bias, span;

    explicit WideKey(const NarrowKey<Pixel>& key) {
        if constexpr (sizeof(Pixel) == 4) {
            mask = _mm_set1_epi32(static_cast<int>(key.mask));
            low = _mm_set1_epi32(static_cast<int>(key.low));
            bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
            span = _mm_set1_epi32(static_cast<int>(key.span ^ 0x80000000u));
        } else if constexpr (sizeof(Pixel) == 2) {
            mask = _mm_set1_epi16(static_cast<int16_t>(key.mask));
            low = _mm_set1_epi16(static_cast<int16_t>(key.low));
            bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
            span = _mm_set1_epi16(static_cast<int16_t>(key.span ^ 0x8000));
        } else {
            mask = _mm_set1_epi8(static_cast<char>(key.mask));
            low = _mm_set1_epi8(static_cast<char>(key.low));
            bias = _mm_set1_epi8(static_cast<char>(0x80));
            span = _mm_set1_epi8(static_cast<char>(key.span ^ 0x80));
        }
    }

    // All ones in the lanes of pixels that are not keyed.
    __m128i Shown(__m128i source) const {
        const __m128i masked = _mm_and_si128(source, mask);
        if constexpr (sizeof(Pixel) == 4) {
            return _mm_cmpgt_epi32(_mm_xor_si128(_mm_sub_epi32(masked, low), bias), span);
        } else if constexpr (sizeof(Pixel) == 2) {
            return _mm_cmpgt_epi16(_mm_xor_si128(_mm_sub_epi16(masked, low), bias), span);
        } else {
            return _mm_cmpgt_epi8(_mm_xor_si128(_mm_sub_epi8(masked, low), bias), span);
        }
    }
};
#endif

std::atomic<PixelLoopWidth> g_width_limit{PixelLoopWidth::kAvx512};

#if defined(__SSE2__)
PixelLoopWidth UsedWidth() { return std::min(MachinePixelLoopWidth(), g_width_limit.load(std::memory_order_relaxed)); }

bool MachineHasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// Sixteen, thirty-two or sixty-four pixels a step where the processor has
// AVX-512 (with byte and word lanes): the key is an unsigned compare into a
// lane mask and the shown pixels a masked store, so that rows of tiles with
// holes in them take no branch per step, and the rest of a row is one
// masked step more.
#define VELK_AVX512 __attribute__((target("avx512f,avx512bw"), always_inline)) inline

template <typename Pixel>
VELK_AVX512 __m512i Broadcast512(Pixel value) {
    if constexpr (sizeof(Pixel) == 4) {
        return _mm512_set1_epi32(static_cast<int>(value));
    } else if constexpr (sizeof(Pixel) == 2) {
        return _mm512_set1_epi16(static_cast<int16_t>(value));
    } else {
        return _mm512_set1_epi8(static_cast<char>(value));
    }
}

// The lanes of `lanes` whose pixels are not keyed: (pixel & mask) - low above span.
template <typename Pixel>
VELK_AVX512 uint64_t ShownLanes512(__m512i s, uint64_t lanes, __m512i mask, __m512i low, __m512i span) {
    const __m512i masked = _mm512_and_si512(s, mask);
    if constexpr (sizeof(Pixel) == 4) {
        return _mm512_mask_cmpgt_epu32_mask(static_cast<__mmask16>(lanes), _mm512_sub_epi32(masked, low), span);
    } else if constexpr (sizeof(Pixel) == 2) {
        return _mm512_mask_cmpgt_epu16_mask(static_cast<__mmask32>(lanes), _mm512_sub_epi16(masked, low), span);
    } else {
        return _mm512_mask_cmpgt_epu8_mask(lanes, _mm512_sub_epi8(masked, low), span);
    }
}

template <typename Pixel>
VELK_AVX512 void StoreLanes512(uint8_t* at, uint64_t lanes, __m512i s) {
    if constexpr (sizeof(Pixel) == 4) {
        _mm512_mask_storeu_epi32(at, static_cast<__mmask16>(lanes), s);
    } else if constexpr (sizeof(Pixel) == 2) {
        _mm512_mask_storeu_epi16(at, static_cast<__mmask32>(lanes), s);
    } else {
        _mm512_mask_storeu_epi8(at, lanes, s);
    }
}

template <typename Pixel>
VELK_AVX512 __m512i LoadLanes512(const uint8_t* at, uint64_t lanes) {
    if constexpr (sizeof(Pixel) == 4) {
        return _mm512_maskz_loadu_epi32(static_cast<__mmask16>(lanes), at);
    } else if constexpr (sizeof(Pixel) == 2) {
        return _mm512_maskz_loadu_epi16(static_cast<__mmask32>(lanes), at);
    } else {
        return _mm512_maskz_loadu_epi8(lanes, at);
    }
}

template <typename Pixel>
__attribute__((target("avx512f,avx512bw"))) void CopyKeyedRowsAvx512(const PixelRows& rows,
                                                                     const NarrowKey<Pixel>& key) {
    constexpr int kStep = 64 / sizeof(Pixel);
    const __m512i mask = Broadcast512<Pixel>(key.mask);
    const __m512i low = Broadcast512<Pixel>(key.low);
    const __m512i span = Broadcast512<Pixel>(key.span);
    constexpr uint64_t kAll = kStep == 64 ? ~uint64_t{0} : (uint64_t{1} << kStep) - 1;
    const int whole = rows.width - rows.width % kStep;
    const uint64_t rest = (uint64_t{1} << (rows.width % kStep)) - 1;
    for (int y = 0; y < rows.height; ++y) {
        uint8_t* dest = rows.dest + y * rows.dest_pitch;
        const uint8_t* source = rows.source + y * rows.source_pitch;
        for (int x = 0; x < whole; x += kStep) {
            const __m512i s = _mm512_loadu_si512(source + x * sizeof(Pixel));
            StoreLanes512<Pixel>(dest + x * sizeof(Pixel), ShownLanes512<Pixel>(s, kAll, mask, low, span), s);
        }
        // Masked lanes are neither read nor written, past the row's end included.
        if (rest != 0) {
            const __m512i s = LoadLanes512<Pixel>(source + whole * sizeof(Pixel), rest);
            StoreLanes512<Pixel>(dest + whole * sizeof(Pixel), ShownLanes512<Pixel>(s, rest, mask, low, span), s);
        }
    }
}

#undef VELK_AVX512

// The 32-bit keyed copy eight pixels a step, where the processor has AVX2:
// the copies of tiles and sprites are most of an idle frame's drawing.
__attribute__((target("avx2"))) void CopyKeyedRows32Avx2(const PixelRows& rows, const NarrowKey<uint32_t>& key) {
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(key.mask));
    const __m256i low = _mm256_set1_epi32(static_cast<int>(key.low));
    const __m256i bias = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    const __m256i span = _mm256_set1_epi32(static_cast<int>(key.span ^ 0x80000000u));
    const int width = rows.width;
    for (int y = 0; y < rows.height; ++y) {
        uint8_t* dest = rows.dest + y * rows.dest_pitch;
        const uint8_t* source = rows.source + y * rows.source_pitch;
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + x * 4));
            const __m256i masked = _mm256_and_si256(s, mask);
            const __m256i shown = _mm256_cmpgt_epi32(_mm256_xor_si256(_mm256_sub_epi32(masked, low), bias), span);
            const int bits = _mm256_movemask_epi8(shown);
            if (bits == 0) continue;
            auto* at = reinterpret_cast<__m256i*>(dest + x * 4);
            if (bits == -1) {
                _mm256_storeu_si256(at, s);
                continue;
            }
            _mm256_storeu_si256(at, _mm256_blendv_epi8(_mm256_loadu_si256(at), s, shown));
        }
        for (; x < width; ++x) {
            const uint32_t value = Load<uint32_t>(source + x * 4);
            if (!key.Keyed(value)) Store<uint32_t>(dest + x * 4, value);
        }
    }
}

// The 32-bit fill in 32-byte stores.
__attribute__((target("avx2"))) void FillRows32Avx2(uint8_t* dest, ptrdiff_t pitch, int width, int height,
                                                    uint32_t value) {
    const __m256i wide = _mm256_set1_epi32(static_cast<int>(value));
    const size_t row_bytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = dest + y * pitch;
        size_t at = 0;
        for (; at + 32 <= row_bytes; at += 32)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + at), wide);
        for (; at < row_bytes; at += 4)
            Store<uint32_t>(row + at, value);
    }
}
#endif

template <typename Pixel>
void CopyKeyedRows(const PixelRows& rows, const NarrowKey<Pixel>& key) {
#if defined(__SSE2__)
    const PixelLoopWidth width = UsedWidth();
    if (width == PixelLoopWidth::kAvx512) {
        CopyKeyedRowsAvx512(rows, key);
        return;
    }
    if constexpr (sizeof(Pixel) == 4) {
        if (width == PixelLoopWidth::kAvx2) {
            CopyKeyedRows32Avx2(rows, key);
            return;
        }
    }
    const WideKey<Pixel> wide(key);
    constexpr int kStep = 16 / sizeof(Pixel);
#endif
    for (int y = 0; y < rows.height; ++y) {
        uint8_t* dest = rows.dest + y * rows.dest_pitch;
        const uint8_t* source = rows.source + y * rows.source_pitch;
        int x = 0;
#if defined(__SSE2__)
        for (; x + kStep <= rows.width; x += kStep) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x * sizeof(Pixel)));
            const __m128i shown = wide.Shown(s);
            const int bits = _mm_movemask_epi8(shown);
            if (bits == 0) continue;
            auto* at = reinterpret_cast<__m128i*>(dest + x * sizeof(Pixel));
            if (bits == 0xFFFF) {
                _mm_storeu_si128(at, s);
                continue;
            }
            const __m128i d = _mm_loadu_si128(at);
            _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(shown, s), _mm_andnot_si128(shown, d)));
        }
#endif
        for (; x < rows.width; ++x) {
            const Pixel value = Load<Pixel>(source + x * sizeof(Pixel));
            if (!key.Keyed(value)) Store<Pixel>(dest + x * sizeof(Pixel), value);
        }
    }
}

template <typename Pixel, bool kKeyed>
void CopyScaledRows(const PixelRows& rows, std::span<const int32_t> source_rows,
                    std::span<const int32_t> source_columns, const NarrowKey<Pixel>& key) {
    for (int y = 0; y < rows.height; ++y) {
        uint8_t* dest = rows.dest + y * rows.dest_pitch;
        const uint8_t* source = rows.source + source_rows[static_cast<size_t>(y)] * rows.source_pitch;
        for (int x = 0; x < rows.width; ++x) {
            const Pixel value = Load<Pixel>(source + source_columns[static_cast<size_t>(x)] * sizeof(Pixel));
            if constexpr (kKeyed) {
                if (key.Keyed(value)) continue;
            }
            Store<Pixel>(dest + x * sizeof(Pixel), value);
        }
    }
}

template <typename Pixel>
void Scaled(const PixelRows& rows, std::span<const int32_t> source_rows, std::span<const int32_t> source_columns,
            const PixelKey* key) {
    NarrowKey<Pixel> narrow{};
    if (key != nullptr && Narrow(*key, &narrow)) {
        CopyScaledRows<Pixel, true>(rows, source_rows, source_columns, narrow);
    } else {
        CopyScaledRows<Pixel, false>(rows, source_rows, source_columns, narrow);
    }
}

// The value's bytes all alike (black, white, the far depth): the C
// library's fill, which uses the widest stores the processor has, over the
// whole block when the rows follow each other.
template <typename Pixel>
bool FillBytewise(uint8_t* dest, ptrdiff_t pitch, size_t row_bytes, int height, Pixel value) {
    const auto byte = static_cast<uint8_t>(value);
    Pixel repeated;
    std::memset(&repeated, byte, sizeof(Pixel));
    if (repeated != value) return false;
    if (pitch == static_cast<ptrdiff_t>(row_bytes)) {
        std::memset(dest, byte, row_bytes * static_cast<size_t>(height));
        return true;
    }
    for (int y = 0; y < height; ++y)
        std::memset(dest + y * pitch, byte, row_bytes);
    return true;
}

template <typename Pixel>
void FillRows(uint8_t* dest, ptrdiff_t pitch, int width, int height, Pixel value) {
    const size_t row_bytes = static_cast<size_t>(width) * sizeof(Pixel);
    if (FillBytewise(dest, pitch, row_bytes, height, value)) return;
    if constexpr (sizeof(Pixel) == 4) {
        // Rows that follow each other: one block.
        if (pitch == static_cast<ptrdiff_t>(row_bytes)) {
            FillWords32(dest, static_cast<size_t>(width) * static_cast<size_t>(height), value);
            return;
        }
    }
#if defined(__SSE2__)
    if constexpr (sizeof(Pixel) == 4) {
        if (MachineHasAvx2()) {
            FillRows32Avx2(dest, pitch, width, height, value);
            return;
        }
    }
#endif
#if defined(__SSE2__)
    __m128i wide;
    if constexpr (sizeof(Pixel) == 4) {
        wide = _mm_set1_epi32(static_cast<int>(value));
    } else if constexpr (sizeof(Pixel) == 2) {
        wide = _mm_set1_epi16(static_cast<int16_t>(value));
    } else {
        wide = _mm_set1_epi8(static_cast<char>(value));
    }
#endif
    for (int y = 0; y < height; ++y) {
        uint8_t* row = dest + y * pitch;
        size_t at = 0;
#if defined(__SSE2__)
        for (; at + 16 <= row_bytes; at += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + at), wide);
#endif
        for (; at < row_bytes; at += sizeof(Pixel))
            Store<Pixel>(row + at, value);
    }
}

}  // namespace

PixelLoopWidth MachinePixelLoopWidth() {
#if defined(__SSE2__)
    static const PixelLoopWidth width = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0)
            return PixelLoopWidth::kAvx512;
        return MachineHasAvx2() ? PixelLoopWidth::kAvx2 : PixelLoopWidth::kSse2;
    }();
    return width;
#else
    return PixelLoopWidth::kSse2;
#endif
}

void LimitPixelLoopWidth(PixelLoopWidth width) { g_width_limit.store(width, std::memory_order_relaxed); }

void FillPixels(int bytes, uint8_t* dest, ptrdiff_t pitch, int width, int height, uint32_t value) {
    switch (bytes) {
        case 1: FillRows<uint8_t>(dest, pitch, width, height, static_cast<uint8_t>(value)); break;
        case 2: FillRows<uint16_t>(dest, pitch, width, height, static_cast<uint16_t>(value)); break;
        default: FillRows<uint32_t>(dest, pitch, width, height, value); break;
    }
}

void CopyPixels(int bytes, const PixelRows& rows, const PixelKey* key) {
    bool keyed = false;
    if (key != nullptr) {
        switch (bytes) {
            case 1: {
                NarrowKey<uint8_t> narrow{};
                if ((keyed = Narrow(*key, &narrow))) CopyKeyedRows(rows, narrow);
                break;
            }
            case 2: {
                NarrowKey<uint16_t> narrow{};
                if ((keyed = Narrow(*key, &narrow))) CopyKeyedRows(rows, narrow);
                break;
            }
            default: {
                NarrowKey<uint32_t> narrow{};
                if ((keyed = Narrow(*key, &narrow))) CopyKeyedRows(rows, narrow);
                break;
            }
        }
    }
    if (keyed) return;
    const size_t row_bytes = static_cast<size_t>(rows.width) * static_cast<size_t>(bytes);
    for (int y = 0; y < rows.height; ++y)
        std::memcpy(rows.dest + y * rows.dest_pitch, rows.source + y * rows.source_pitch, row_bytes);
}

void CopyPixelsScaled(int bytes, const PixelRows& rows, std::span<const int32_t> source_rows,
                      std::span<const int32_t> source_columns, const PixelKey* key) {
    switch (bytes) {
        case 1: Scaled<uint8_t>(rows, source_rows, source_columns, key); break;
        case 2: Scaled<uint16_t>(rows, source_rows, source_columns, key); break;
        default: Scaled<uint32_t>(rows, source_rows, source_columns, key); break;
    }
}

}  // namespace velk::platform
