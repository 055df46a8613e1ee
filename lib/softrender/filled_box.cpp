#include <algorithm>
#include <cstdint>

#include "lib/core/cpu_features.h"
#include "lib/softrender/blit_wide_loops.h"
#include "lib/softrender/flat_color.h"
#include "lib/softrender/memimg_draw.h"
#include "lib/softrender/vector_weights.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace velk {

namespace {

#if defined(__SSE2__)
// The plain fill's bulk: `bytes` (a multiple of 64) of the 16-byte pattern
// from dp on, 64 bytes a round.
void StorePatternSse2(uint8_t* dp, size_t bytes, __m128i pattern) {
    for (; bytes != 0; bytes -= 64, dp += 64) {
        auto* out = reinterpret_cast<__m128i*>(dp);
        _mm_storeu_si128(out, pattern);
        _mm_storeu_si128(out + 1, pattern);
        _mm_storeu_si128(out + 2, pattern);
        _mm_storeu_si128(out + 3, pattern);
    }
}

// The same in 32-byte stores.
__attribute__((target("avx2"))) void StorePatternAvx2(uint8_t* dp, size_t bytes, __m128i pattern) {
    const __m256i wide = _mm256_broadcastsi128_si256(pattern);
    for (; bytes != 0; bytes -= 64, dp += 64) {
        auto* out = reinterpret_cast<__m256i*>(dp);
        _mm256_storeu_si256(out, wide);
        _mm256_storeu_si256(out + 1, wide);
    }
}

using StorePatternFunction = void (*)(uint8_t*, size_t, __m128i);

StorePatternFunction ChooseStorePattern() {
    return MachineHasAvx2() ? StorePatternAvx2 : StorePatternSse2;
}

const StorePatternFunction StorePattern = ChooseStorePattern();

// Mode 1's flat colour over 16-bit pixels, eight a step, from the pixel at
// dp on while eight remain; returns how many it drew. Each channel moves by
// MixAlpha16's trunc((c - d) x P / 255), one signed multiply of the doubled
// difference (SignedWeight255), and the three moves are added to the pixel
// where it lies: each keeps its channel inside its field, so nothing carries
// into the next.
size_t AlphaFill16(uint8_t* dp, size_t count, uint32_t color, int param) {
    const Channels c = Rgb565::Unpack(color);
    const __m128i red2 = _mm_set1_epi16(static_cast<int16_t>(2 * c.red));
    const __m128i green2 = _mm_set1_epi16(static_cast<int16_t>(2 * c.green));
    const __m128i blue2 = _mm_set1_epi16(static_cast<int16_t>(2 * c.blue));
    const __m128i weight = _mm_set1_epi16(SignedWeight255(param));
    const __m128i even5 = _mm_set1_epi16(0x3E), even6 = _mm_set1_epi16(0x7E);
    auto step = [&](__m128i color2, __m128i d2) {
        const __m128i diff = _mm_sub_epi16(color2, d2);
        return _mm_sub_epi16(_mm_mulhi_epi16(diff, weight), _mm_srai_epi16(diff, 15));
    };
    size_t done = 0;
    for (; done + 8 <= count; done += 8, dp += 16) {
        auto* at = reinterpret_cast<__m128i*>(dp);
        const __m128i d = _mm_loadu_si128(at);
        const __m128i red = step(red2, _mm_and_si128(_mm_srli_epi16(d, 10), even5));
        const __m128i green = step(green2, _mm_and_si128(_mm_srli_epi16(d, 4), even6));
        const __m128i blue = step(blue2, _mm_srli_epi16(_mm_slli_epi16(d, 11), 10));
        const __m128i moves = _mm_add_epi16(_mm_slli_epi16(red, 11), _mm_add_epi16(_mm_slli_epi16(green, 5), blue));
        _mm_storeu_si128(at, _mm_add_epi16(d, moves));
    }
    return done;
}
#endif

// One row of the box: vector stores for the plain fill and the alpha mix,
// the mode's per-pixel rule for everything else and for the tails.
template <class Format, int kMode>
void FillSpan(const FlatColorOp<Format, kMode>& op, uint8_t* dp, int width) {
    constexpr int kBytes = PixelBytes<Format>();
    int x = 0;
#if defined(__SSE2__)
    constexpr int kPerVector = 16 / kBytes;
    if constexpr (kMode == kBlendModePlain) {
        const __m128i pattern = Format::kIs16Bit ? _mm_set1_epi16(static_cast<int16_t>(op.color))
                                                 : _mm_set1_epi32(static_cast<int>(op.color));
        // Single pixels up to a 32-byte boundary (when the pixels can reach
        // one), then whole 64-byte rounds.
        for (; x < width && (reinterpret_cast<uintptr_t>(dp) & 31) != 0 && x < 32 / kBytes; ++x, dp += kBytes) {
            op(dp);
        }
        const size_t bulk = static_cast<size_t>(width - x) * kBytes & ~size_t{63};
        if (bulk != 0) {
            StorePattern(dp, bulk, pattern);
            dp += bulk;
            x += static_cast<int>(bulk / kBytes);
        }
        for (; x + kPerVector <= width; x += kPerVector, dp += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), pattern);
        }
    } else if constexpr (kMode == kBlendModeAlpha && !Format::kIs16Bit) {
        if (RunWideAlphaFill32(dp, static_cast<size_t>(width), op.color, op.param.value)) {
            return;
        }
        // (d x (256 - P) + s x P) >> 8 per channel, X kept: s x P is the same
        // for every pixel.
        const __m128i zero = _mm_setzero_si128();
        const __m128i inverse = _mm_set1_epi16(static_cast<int16_t>(256 - op.param.value));
        const __m128i source = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(op.color)), zero),
                                               _mm_set1_epi16(static_cast<int16_t>(op.param.value)));
        const __m128i color_mask = _mm_set1_epi32(0x00FFFFFF);
        for (; x + kPerVector <= width; x += kPerVector, dp += 16) {
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
            const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), inverse), source), 8);
            const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), inverse), source), 8);
            const __m128i mixed = _mm_packus_epi16(lo, hi);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dp),
                             _mm_or_si128(_mm_and_si128(color_mask, mixed), _mm_andnot_si128(color_mask, d)));
        }
    } else if constexpr (kMode == kBlendModeAlpha) {
        size_t done = RunWideAlphaFill16(dp, static_cast<size_t>(width), op.color, op.param.value);
        done += AlphaFill16(dp + done * kBytes, static_cast<size_t>(width) - done, op.color, op.param.value);
        x = static_cast<int>(done);
        dp += done * kBytes;
    }
#endif
    for (; x < width; ++x, dp += kBytes) {
        op(dp);
    }
}

template <class Format>
void FillBox(MEMIMG* dest, int left, int top, int width, int height, uint32_t color) {
    WithFlatColorOp<Format>(color, [&](const auto& op) {
        if (static_cast<int64_t>(width) * PixelBytes<Format>() == dest->base->pitch) {
            // Rows that follow each other: one span.
            FillSpan(op, MemImgPixelAddress(*dest, left, top), width * height);
            return;
        }
        for (int y = 0; y < height; ++y) {
            FillSpan(op, MemImgPixelAddress(*dest, left, top + y), width);
        }
    });
}

}  // namespace

void DrawMemImgFilledBox(MEMIMG* dest, const Rect* rect, uint32_t color) {
    if (!AcceptsFlatColor(dest)) {
        return;
    }
    Rect box{0, 0, dest->width, dest->height};
    if (rect != nullptr) {
        box = {std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
               std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
    }
    const Rect clip = MemImgDrawClip(*dest);
    const int left = std::max(box.left, clip.left);
    const int top = std::max(box.top, clip.top);
    const int right = std::min(box.right, clip.right);
    const int bottom = std::min(box.bottom, clip.bottom);
    if (right <= left || bottom <= top) {
        return;
    }
    if (dest->base->format == kMemImgFormat32) {
        FillBox<Xrgb8888>(dest, left, top, right - left, bottom - top, color);
    } else {
        FillBox<Rgb565>(dest, left, top, right - left, bottom - top, color);
    }
}

}  // namespace velk
