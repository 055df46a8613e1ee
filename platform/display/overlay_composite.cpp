#include "platform/display/overlay_composite.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/display/display_output.h"
#include "platform/display/display_surface.h"

namespace velk::platform {

namespace {

inline uint32_t Clamp8(int value) { return static_cast<uint32_t>(std::clamp(value, 0, 255)); }

// Which source column or row each destination one shows: the source pixel
// under its centre, as the display's stretching blits pick them. The
// destination may span more than 32 bits hold.
std::vector<int32_t> NearestMap(int32_t from, int32_t to, int64_t dest_origin, int64_t dest_size, int32_t source_origin,
                                int32_t source_size) {
    std::vector<int32_t> map;
    map.reserve(static_cast<size_t>(std::max(0, to - from)));
    for (int32_t d = from; d < to; ++d) {
        const int64_t offset = ((d - dest_origin) * 2 + 1) * source_size / (dest_size * 2);
        map.push_back(source_origin + static_cast<int32_t>(offset));
    }
    return map;
}

uint32_t ReadRgbValue(const uint8_t* pixel, int bytes) {
    uint32_t value = 0;
    std::memcpy(&value, pixel, static_cast<size_t>(std::min(bytes, 4)));
    return value;
}

}  // namespace

uint32_t YuvToXrgb(int y, int u, int v) {
    const int c = 298 * (y - 16) + 128;
    const int d = u - 128;
    const int e = v - 128;
    return (Clamp8((c + 409 * e) >> 8) << 16) | (Clamp8((c - 100 * d - 208 * e) >> 8) << 8) |
           Clamp8((c + 516 * d) >> 8);
}

namespace {

// Pixel `sx` of a YUV row. YV12 takes U and V from its planes; in the packed
// layouts a pair of pixels shares them, YUY2 laid out Y0 U Y1 V and UYVY
// U Y0 V Y1.
inline uint32_t YuvPixel(uint32_t four_cc, const uint8_t* line, const uint8_t* u_line, const uint8_t* v_line,
                         int32_t sx) {
    if (four_cc == kFourCcYv12) return YuvToXrgb(line[sx], u_line[sx / 2], v_line[sx / 2]);
    const uint8_t* pair = line + static_cast<size_t>(sx & ~1) * 2;
    const int second = sx & 1;
    if (four_cc == kFourCcYuy2) return YuvToXrgb(pair[second * 2], pair[1], pair[3]);
    return YuvToXrgb(pair[second * 2 + 1], pair[0], pair[2]);
}

#if defined(__SSE2__)
// Eight pixels at once by the same integer formula (the same results): the
// products are summed in 32-bit lanes, the packs clamp as Clamp8 does.
// c, d, e hold Y - 16, U - 128 and V - 128 of the eight pixels.
inline void StoreEightPixels(__m128i c, __m128i d, __m128i e, uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(128);
    auto channel = [&](__m128i a, __m128i b, int16_t ka, int16_t kb, __m128i extra_lo, __m128i extra_hi) {
        const __m128i k = _mm_set_epi16(kb, ka, kb, ka, kb, ka, kb, ka);
        const __m128i lo = _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), k), extra_lo), round);
        const __m128i hi = _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), k), extra_hi), round);
        return _mm_packus_epi16(_mm_packs_epi32(_mm_srai_epi32(lo, 8), _mm_srai_epi32(hi, 8)), zero);
    };
    const __m128i k_green_e = _mm_set_epi16(0, -208, 0, -208, 0, -208, 0, -208);
    const __m128i green_e_lo = _mm_madd_epi16(_mm_unpacklo_epi16(e, zero), k_green_e);
    const __m128i green_e_hi = _mm_madd_epi16(_mm_unpackhi_epi16(e, zero), k_green_e);
    const __m128i red = channel(c, e, 298, 409, zero, zero);
    const __m128i green = channel(c, d, 298, -100, green_e_lo, green_e_hi);
    const __m128i blue = channel(c, d, 298, 516, zero, zero);
    const __m128i blue_green = _mm_unpacklo_epi8(blue, green);
    const __m128i red_zero = _mm_unpacklo_epi8(red, zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(blue_green, red_zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(blue_green, red_zero));
}

// Packed 4:2:2 from an even column: 16 bytes are eight pixels.
int32_t ConvertPackedEights(const uint8_t* pairs, bool yuy2, int32_t count, uint32_t* out) {
    const __m128i low_bytes = _mm_set1_epi16(0x00FF);
    const __m128i sixteen = _mm_set1_epi16(16);
    const __m128i half = _mm_set1_epi16(128);
    int32_t done = 0;
    for (; done + 8 <= count; done += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + done * 2));
        const __m128i luma = yuy2 ? _mm_and_si128(v, low_bytes) : _mm_srli_epi16(v, 8);
        const __m128i chroma = yuy2 ? _mm_srli_epi16(v, 8) : _mm_and_si128(v, low_bytes);
        // U0 V0 U1 V1 | U2 V2 U3 V3 spread to each pixel of its pair.
        const __m128i u = _mm_shufflehi_epi16(_mm_shufflelo_epi16(chroma, 0xA0), 0xA0);
        const __m128i w = _mm_shufflehi_epi16(_mm_shufflelo_epi16(chroma, 0xF5), 0xF5);
        StoreEightPixels(_mm_sub_epi16(luma, sixteen), _mm_sub_epi16(u, half), _mm_sub_epi16(w, half), out + done);
    }
    return done;
}

// YV12 from an even column: eight luma bytes and four of each chroma plane.
int32_t ConvertPlanarEights(const uint8_t* luma, const uint8_t* u_line, const uint8_t* v_line, int32_t count,
                            uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i sixteen = _mm_set1_epi16(16);
    const __m128i half = _mm_set1_epi16(128);
    int32_t done = 0;
    for (; done + 8 <= count; done += 8) {
        int32_t u4 = 0;
        int32_t v4 = 0;
        std::memcpy(&u4, u_line + done / 2, 4);
        std::memcpy(&v4, v_line + done / 2, 4);
        const __m128i y = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + done)), zero);
        const __m128i u_bytes = _mm_cvtsi32_si128(u4);
        const __m128i v_bytes = _mm_cvtsi32_si128(v4);
        const __m128i u = _mm_unpacklo_epi8(_mm_unpacklo_epi8(u_bytes, u_bytes), zero);
        const __m128i v = _mm_unpacklo_epi8(_mm_unpacklo_epi8(v_bytes, v_bytes), zero);
        StoreEightPixels(_mm_sub_epi16(y, sixteen), _mm_sub_epi16(u, half), _mm_sub_epi16(v, half), out + done);
    }
    return done;
}
#endif

// Converts `count` pixels of one overlay row from column `first` on.
void ConvertRow(const DdPixelFormat& format, int bytes, const uint8_t* line, const uint8_t* u_line,
                const uint8_t* v_line, int32_t first, int32_t count, uint32_t* out) {
    if ((format.flags & kPixelFormatFourCc) == 0) {
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t value = ReadRgbValue(line + static_cast<size_t>(first + i) * bytes, bytes);
            out[i] = (WidenChannelTo8(value, format.red_mask) << 16) |
                     (WidenChannelTo8(value, format.green_mask) << 8) | WidenChannelTo8(value, format.blue_mask);
        }
        return;
    }
    const uint32_t four_cc = format.four_cc;
    int32_t i = 0;
#if defined(__SSE2__)
    // The wide loops start on a pair of pixels; an odd first column goes alone.
    const int32_t lead = std::min(count, first & 1);
    for (; i < lead; ++i)
        out[i] = YuvPixel(four_cc, line, u_line, v_line, first + i);
    const int32_t even = first + i;
    i += four_cc == kFourCcYv12
             ? ConvertPlanarEights(line + even, u_line + even / 2, v_line + even / 2, count - i, out + i)
             : ConvertPackedEights(line + static_cast<size_t>(even) * 2, four_cc == kFourCcYuy2, count - i, out + i);
#endif
    for (; i < count; ++i)
        out[i] = YuvPixel(four_cc, line, u_line, v_line, first + i);
}

}  // namespace

void CompositeOverlay(const DdSurface& overlay, const Rect& source, const Rect& dest, const CompositeFrame& frame) {
    const int64_t dest_width = int64_t{dest.right} - dest.left;
    const int64_t dest_height = int64_t{dest.bottom} - dest.top;
    const int32_t source_width = source.right - source.left;
    const int32_t source_height = source.bottom - source.top;
    if (dest_width <= 0 || dest_height <= 0 || source_width <= 0 || source_height <= 0) return;
    const Rect area{std::max(dest.left, frame.area.left), std::max(dest.top, frame.area.top),
                    std::min(dest.right, frame.area.right), std::min(dest.bottom, frame.area.bottom)};
    if (area.right <= area.left || area.bottom <= area.top) return;

    const std::vector<int32_t> columns =
        NearestMap(area.left, area.right, dest.left, dest_width, source.left, source_width);
    const std::vector<int32_t> rows =
        NearestMap(area.top, area.bottom, dest.top, dest_height, source.top, source_height);
    const DdPixelFormat& format = overlay.pixel_format();
    const int32_t pitch = overlay.pitch();
    const uint8_t* base = overlay.row(0);
    const int32_t height = static_cast<int32_t>(overlay.height());
    // YV12's chroma planes follow the luma plane, V first, at half the pitch.
    const uint8_t* v_plane = base + static_cast<size_t>(pitch) * height;
    const uint8_t* u_plane = v_plane + static_cast<size_t>(pitch / 2) * ((height + 1) / 2);
    const int bytes = overlay.bytes_per_pixel();
    const bool yv12 = (format.flags & kPixelFormatFourCc) != 0 && format.four_cc == kFourCcYv12;

    // Each source pixel is converted once per source row and then spread
    // over the columns showing it; a row showing the same source row as the
    // one above is a copy of it.
    const int32_t first = columns.front();
    const int32_t count = columns.back() - first + 1;
    const bool unscaled = count == static_cast<int32_t>(columns.size());
    std::vector<uint32_t> converted(unscaled ? 0 : static_cast<size_t>(count));
    const size_t row_bytes = columns.size() * sizeof(uint32_t);
    for (size_t r = 0; r < rows.size(); ++r) {
        uint32_t* out = frame.pixels +
                        static_cast<size_t>(area.top - frame.area.top + static_cast<int32_t>(r)) * frame.stride +
                        (area.left - frame.area.left);
        if (r > 0 && rows[r] == rows[r - 1]) {
            std::memcpy(out, out - frame.stride, row_bytes);
            continue;
        }
        const int32_t sy = rows[r];
        const uint8_t* line = base + static_cast<size_t>(sy) * pitch;
        const uint8_t* v_line = yv12 ? v_plane + static_cast<size_t>(sy / 2) * (pitch / 2) : nullptr;
        const uint8_t* u_line = yv12 ? u_plane + static_cast<size_t>(sy / 2) * (pitch / 2) : nullptr;
        if (unscaled) {
            ConvertRow(format, bytes, line, u_line, v_line, first, count, out);
            continue;
        }
        ConvertRow(format, bytes, line, u_line, v_line, first, count, converted.data());
        for (size_t c = 0; c < columns.size(); ++c)
            out[c] = converted[static_cast<size_t>(columns[c] - first)];
    }
}

}  // namespace velk::platform
