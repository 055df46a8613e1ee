#include <cstring>
#include <vector>

#include "lib/core/log.h"
#include "lib/image/image_decoders.h"
#include "lib/image/image_log_texts.h"

namespace velk::image_decode {

int RefuseDamaged(const char* what) {
    return WriteLogFormat(image_log::kLogImageDamaged, what);
}

int AllocatePixels(GraphImage* image, int64_t width, int64_t height, int pitch, const char* format) {
    if (width <= 0 || height <= 0) {
        return RefuseDamaged(format);
    }
    if (!IsAcceptableImageSize(width, height)) {
        return WriteLogFormat(image_log::kLogImageTooLarge, format, static_cast<int>(width),
                              static_cast<int>(height));
    }
    if (AllocateGraphImagePixels(image, static_cast<int>(width), static_cast<int>(height), pitch) != 0) {
        return WriteLogFormat(image_log::kLogImageMemoryFailed, format);
    }
    return 0;
}

void FlipRows(GraphImage* image) {
    std::vector<uint8_t> tmp(static_cast<size_t>(image->pitch));
    for (int top = 0, bottom = image->height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(tmp.data(), Row(image, top), tmp.size());
        std::memcpy(Row(image, top), Row(image, bottom), tmp.size());
        std::memcpy(Row(image, bottom), tmp.data(), tmp.size());
    }
}

}  // namespace velk::image_decode
