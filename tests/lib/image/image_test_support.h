#pragma once
// Test files made at test time (with libpng, libjpeg and ImageMagick) and
// independent decodes of them to compare the library's decoders against.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "lib/image/graph_image.h"

namespace velk::testing {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // r, g, b, a per pixel, rows from the top

    const uint8_t* At(int x, int y) const { return pixels.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// The ImageMagick convert program, or "" when it is not installed.
std::string ImageMagickConvert();
// Runs convert with the arguments; true when it succeeded.
bool RunConvert(const std::string& arguments);
// ImageMagick's own decode of a file.
RgbaImage DecodeWithImageMagick(const std::filesystem::path& path);

// Every pixel of the GraphImage against the reference, within a tolerance
// per channel; alpha compared only when asked. Returns the first mismatch as
// text ("" when equal).
std::string CompareImage(const GraphImage& image, const RgbaImage& reference, int tolerance, bool compare_alpha);

}  // namespace velk::testing
