#pragma once
// An image in memory with its colour descriptor: what the loaders produce and
// graphs, the writers and the software renderer consume.

#include <cstddef>
#include <cstdint>

#include "lib/image/color_data.h"

namespace velk {

struct GraphImage {
    ColorData color_data;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;            // bytes per row; rows run from the top
    uint8_t* pixels = nullptr;    // owned: from the tracking allocator, freed by ReleaseGraphImage
};

// Limits every image the library makes or reads: a side longer than this, or
// more pixels than the total, is refused rather than allocated.
constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t{8192} * 8192;

// True when width x height is a size the library accepts.
bool IsAcceptableImageSize(int64_t width, int64_t height);

// Allocates pixels for an image already given its descriptor: pitch 0 means
// bytes per pixel times width rounded up to 4. Refuses unacceptable sizes and
// pitches too small for a row. 0, -1.
int AllocateGraphImagePixels(GraphImage* image, int width, int height, int pitch = 0);

int CreateXRGB32GraphImage(int width, int height, GraphImage* image);
int CreateRGB24GraphImage(int width, int height, GraphImage* image);
int CreateARGB32GraphImage(int width, int height, GraphImage* image);
// Frees the pixels and clears the record.
int ReleaseGraphImage(GraphImage* image);

// Reads one pixel as 8-bit channels (palette images give their entry);
// -1 outside the image. Each pointer may be null.
int GetGraphImagePixel(const GraphImage* image, int x, int y, int* red, int* green, int* blue, int* alpha);
// Writes the colour packed for the image's format into every pixel.
int FillGraphImage(GraphImage* image, int red, int green, int blue, int alpha);
// Reverses every row; -1 when the image has no width or height.
int MirrorGraphImage(GraphImage* image);

// The raw pixel value at (x, y), 1 to 4 bytes, low byte first; no bounds check.
uint32_t ReadPixelValue(const uint8_t* row, int x, int pixel_bytes);
void WritePixelValue(uint8_t* row, int x, int pixel_bytes, uint32_t value);

}  // namespace velk
