#pragma once
// One image blit, decided once per call: where it reads and writes, which
// source kind, which resolved blend mode and which per-call conditions. The
// plain and the scaled blit fill it in; the generated loops run it.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "lib/softrender/blend_rules.h"
#include "lib/softrender/memimg.h"

namespace velk {

enum class SourceKind {
    kDirect,       // the format's own pixel, without alpha
    kDirectAlpha,  // 32-bit: A8R8G8B8; 16-bit: R5G6B5 word, alpha byte, unused byte
    kPaletted,     // an 8-bit index into the palette table
};

struct BlitJob {
    uint8_t* dst = nullptr;          // first pixel written
    ptrdiff_t dst_pitch = 0;
    // Plain blit: the first source pixel read, destination pixel (i, j) reads
    // source pixel (i, j) from there. Scaled blit: the source view's top-left
    // pixel, destination pixel (i, j) reads source pixel (columns[i], rows[j]).
    const uint8_t* src = nullptr;
    ptrdiff_t src_pitch = 0;
    const uint8_t* blend = nullptr;  // blend image, addressed like the source; null = none
    ptrdiff_t blend_pitch = 0;
    int width = 0;
    int height = 0;
    const int32_t* columns = nullptr;  // scaled blit only
    const int32_t* rows = nullptr;     // scaled blit only

    SourceKind kind = SourceKind::kDirect;
    uint32_t trans_color = 0;          // fits the stored source pixel whenever it is compared
    const uint32_t* palette = nullptr;
    bool trans = false;

    int mode = 0;                      // resolved: 0, 1, 2, 3, 4, 10 or 11
    BlendParam param;
    BrightRows bright;
    bool bright_white = true;
    // 16-bit alpha with P alone, in loops without blend image, bright or
    // source alpha.
    Alpha16Rule alpha16 = Alpha16Rule::kMixAlpha16;
};

// Checks a blit's images and the draw settings and fills in the job's source
// kind, transparency and settings. False when the draw is to draw nothing.
bool PrepareBlitJob(const MEMIMG* dest, const MEMIMG* source, const MEMIMG* blend_image, int trans_flag,
                    BlitJob* job);
// Runs a prepared job on its destination format.
void RunBlitJobForFormat(int format, const BlitJob& job);

template <class Format>
void RunBlitJob(const BlitJob& job);
// The vector forms of the common unweighted draws; false when the job is not
// one of them (the general loops then run it).
template <class Format>
bool RunFastBlitJob(const BlitJob& job);

inline uint32_t LoadPixel32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint32_t LoadPixel16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StorePixel32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void StorePixel16(uint8_t* p, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

template <class Format>
inline uint32_t LoadPixel(const uint8_t* p) {
    if constexpr (Format::kIs16Bit) {
        return LoadPixel16(p);
    } else {
        return LoadPixel32(p);
    }
}

template <class Format>
inline void StorePixel(uint8_t* p, uint32_t v) {
    if constexpr (Format::kIs16Bit) {
        StorePixel16(p, v);
    } else {
        StorePixel32(p, v);
    }
}

template <class Format>
constexpr int PixelBytes() {
    return Format::kIs16Bit ? 2 : 4;
}

template <class Format, SourceKind kKind>
constexpr int SourceBytes() {
    return kKind == SourceKind::kPaletted ? 1 : (kKind == SourceKind::kDirectAlpha ? 4 : PixelBytes<Format>());
}

}  // namespace velk
