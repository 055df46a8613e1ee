// Any bytes through the jpeg decoder: a refusal or an image, never a fault.
#include <cstddef>
#include <cstdint>

#include "lib/image/image_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::GraphImage image;
    if (velk::LoadJpegImage(std::span<const uint8_t>(data, size), &image) == 0) {
        // Read every byte the image claims, so a short allocation shows.
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < static_cast<size_t>(image.pitch) * static_cast<size_t>(image.height); ++i) {
            sum = static_cast<uint8_t>(sum + image.pixels[i]);
        }
        velk::ReleaseGraphImage(&image);
    }
    return 0;
}
