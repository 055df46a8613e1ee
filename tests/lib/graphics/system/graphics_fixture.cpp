#include "tests/lib/graphics/system/graphics_fixture.h"

#include <png.h>

#include <fstream>

namespace velk::testing {

bool WriteNativeFile(const char* file_name, std::span<const uint8_t> bytes) {
    std::ofstream out(file_name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint32_t> ReadImagePixels(const std::string& path, int* width, int* height) {
    GraphImage image;
    std::vector<uint32_t> pixels;
    if (OpenGraphImage(path.c_str(), &image) != 0) return pixels;
    *width = image.width;
    *height = image.height;
    pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            int r = 0, g = 0, b = 0;
            GetGraphImagePixel(&image, x, y, &r, &g, &b, nullptr);
            pixels[static_cast<size_t>(y) * image.width + x] =
                (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
        }
    }
    ReleaseGraphImage(&image);
    return pixels;
}

void WritePngRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba,
                  bool with_alpha) {
    std::vector<uint8_t> rgb;
    if (!with_alpha) {
        for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), rgba.begin() + i, rgba.begin() + i + 3);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = with_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    ASSERT_NE(png_image_write_to_file(&image, path.c_str(), 0, with_alpha ? rgba.data() : rgb.data(), 0, nullptr), 0);
}

}  // namespace velk::testing
