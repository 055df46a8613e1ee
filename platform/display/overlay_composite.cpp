#include "platform/display/overlay_composite.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/display/display_output.h"
#include "platform/display/display_surface.h"

namespace velk::platform {

namespace {

inline uint32_t Clamp8(int value) { return static_cast<uint32_t>(std::clamp(value, 0, 255)); }

// Which source column or row each destination one shows: the source pixel
// under its centre, as the display's stretching blits pick them.
std::vector<int32_t> NearestMap(int32_t from, int32_t to, int32_t dest_origin, int32_t dest_size, int32_t source_origin,
                                int32_t source_size) {
    std::vector<int32_t> map;
    map.reserve(static_cast<size_t>(std::max(0, to - from)));
    for (int32_t d = from; d < to; ++d) {
        const int64_t offset = (static_cast<int64_t>(d - dest_origin) * 2 + 1) * source_size / (int64_t{dest_size} * 2);
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

void CompositeOverlay(const DdSurface& overlay, const Rect& source, const Rect& dest, const CompositeFrame& frame) {
    const int32_t dest_width = dest.right - dest.left;
    const int32_t dest_height = dest.bottom - dest.top;
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

    for (size_t r = 0; r < rows.size(); ++r) {
        const int32_t sy = rows[r];
        const uint8_t* line = base + static_cast<size_t>(sy) * pitch;
        uint32_t* out = frame.pixels +
                        static_cast<size_t>(area.top - frame.area.top + static_cast<int32_t>(r)) * frame.stride +
                        (area.left - frame.area.left);
        if ((format.flags & kPixelFormatFourCc) == 0) {
            for (size_t c = 0; c < columns.size(); ++c) {
                const uint32_t value = ReadRgbValue(line + static_cast<size_t>(columns[c]) * bytes, bytes);
                out[c] = (WidenChannelTo8(value, format.red_mask) << 16) |
                         (WidenChannelTo8(value, format.green_mask) << 8) | WidenChannelTo8(value, format.blue_mask);
            }
        } else if (format.four_cc == kFourCcYv12) {
            const uint8_t* v_line = v_plane + static_cast<size_t>(sy / 2) * (pitch / 2);
            const uint8_t* u_line = u_plane + static_cast<size_t>(sy / 2) * (pitch / 2);
            for (size_t c = 0; c < columns.size(); ++c) {
                const int32_t sx = columns[c];
                out[c] = YuvToXrgb(line[sx], u_line[sx / 2], v_line[sx / 2]);
            }
        } else {
            // A pair of pixels shares its U and V: YUY2 lays it out Y0 U Y1 V,
            // UYVY U Y0 V Y1.
            const bool yuy2 = format.four_cc == kFourCcYuy2;
            const int y_at = yuy2 ? 0 : 1;
            const int u_at = yuy2 ? 1 : 0;
            const int v_at = yuy2 ? 3 : 2;
            for (size_t c = 0; c < columns.size(); ++c) {
                const int32_t sx = columns[c];
                const uint8_t* pair = line + static_cast<size_t>(sx & ~1) * 2;
                out[c] = YuvToXrgb(line[sx * 2 + y_at], pair[u_at], pair[v_at]);
            }
        }
    }
}

}  // namespace velk::platform
