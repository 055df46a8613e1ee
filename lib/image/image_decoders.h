#pragma once
// The built-in image decoders, tried in this order by the loader. Each takes
// the whole file's bytes and returns 0 when it took them and filled the image,
// -1 when not: the bytes are not its format (silently), or they are its format
// but damaged or too large (with a log line). A decoder that refuses frees
// whatever it allocated and leaves the image cleared.

#include <cstdint>
#include <span>

#include "lib/image/graph_image.h"

namespace velk {

int LoadBmpImage(std::span<const uint8_t> bytes, GraphImage* image);
int LoadJpegImage(std::span<const uint8_t> bytes, GraphImage* image);
int LoadPngImage(std::span<const uint8_t> bytes, GraphImage* image);
int LoadBgraImage(std::span<const uint8_t> bytes, GraphImage* image);
int LoadTgaImage(std::span<const uint8_t> bytes, GraphImage* image);
int LoadDdsImage(std::span<const uint8_t> bytes, GraphImage* image);

namespace image_decode {

// Writes the damaged-file log line naming the format and the fault; -1.
int RefuseDamaged(const char* what);
// Allocates the pixels of an image whose descriptor is set, logging a size the
// library does not accept or a failed allocation; 0, -1.
int AllocatePixels(GraphImage* image, int64_t width, int64_t height, int pitch, const char* format);

// Releases the image on every way out unless Keep() was called.
class ImageGuard {
public:
    explicit ImageGuard(GraphImage* image) : image_(image) {}
    ~ImageGuard() {
        if (image_ != nullptr) {
            ReleaseGraphImage(image_);
        }
    }
    ImageGuard(const ImageGuard&) = delete;
    ImageGuard& operator=(const ImageGuard&) = delete;
    int Keep() {
        image_ = nullptr;
        return 0;
    }

private:
    GraphImage* image_;
};

// Row y of an image.
inline uint8_t* Row(GraphImage* image, int y) { return image->pixels + static_cast<ptrdiff_t>(y) * image->pitch; }

// Turns the rows upside down (files that store the bottom row first).
void FlipRows(GraphImage* image);

}  // namespace image_decode

}  // namespace velk
