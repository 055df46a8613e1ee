// The raw "BGRA" format: a 16-byte header (magic, channel depth marker, width,
// height) and rows from the top, blue, green, red, alpha per pixel in 8 or 16
// bits per channel. 16-bit channels keep their high byte.

#include <algorithm>

#include "lib/core/byte_cursor.h"
#include "lib/image/image_decoders.h"

namespace velk {

namespace {

constexpr uint32_t kEightBitChannels = 0x08080808;
constexpr uint32_t kSixteenBitChannels = 0x10101010;

}  // namespace

int LoadBgraImage(std::span<const uint8_t> bytes, GraphImage* image) {
    ByteCursor in(bytes);
    auto magic = in.Take(4);
    auto marker = in.U32();
    auto width = in.U32();
    auto height = in.U32();
    if (!height || (*magic)[0] != 'B' || (*magic)[1] != 'G' || (*magic)[2] != 'R' || (*magic)[3] != 'A' ||
        (*marker != kEightBitChannels && *marker != kSixteenBitChannels)) {
        return -1;
    }
    image_decode::ImageGuard guard(image);
    CreateARGB32ColorData(&image->color_data);
    if (image_decode::AllocatePixels(image, *width, *height, static_cast<int>(std::min<uint32_t>(*width, 1u << 20)) * 4,
                                     "BGRA") != 0) {
        return -1;
    }
    const size_t row_bytes = static_cast<size_t>(image->width) * 4;
    const size_t stored_row = *marker == kEightBitChannels ? row_bytes : row_bytes * 2;
    for (int y = 0; y < image->height; ++y) {
        auto row = in.Take(stored_row);
        if (!row) {
            return image_decode::RefuseDamaged("BGRA pixel data");
        }
        uint8_t* dst = image_decode::Row(image, y);
        if (*marker == kEightBitChannels) {
            std::copy(row->begin(), row->end(), dst);
        } else {
            for (size_t i = 0; i < row_bytes; ++i) {
                dst[i] = (*row)[i * 2 + 1];
            }
        }
    }
    return guard.Keep();
}

}  // namespace velk
