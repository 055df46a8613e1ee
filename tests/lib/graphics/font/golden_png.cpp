#include "tests/lib/graphics/font/golden_png.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>
#include "tests/support/source_dir.h"

namespace velk::testing {

namespace {

std::filesystem::path GoldenPath(const std::string& name) {
    return SourceDir() / "tests" / "golden" / "font" / (name + ".png");
}

std::vector<uint8_t> RgbOf(const MEMIMG& image, const Rect& rect) {
    std::vector<uint8_t> rgb;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            const uint8_t* p = MemImgPixelAddress(image, x, y);
            if (image.base->format == kMemImgFormat16) {
                const int v = p[0] | (p[1] << 8);
                const int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
                rgb.push_back(static_cast<uint8_t>((r << 3) | (r >> 2)));
                rgb.push_back(static_cast<uint8_t>((g << 2) | (g >> 4)));
                rgb.push_back(static_cast<uint8_t>((b << 3) | (b >> 2)));
            } else {
                rgb.push_back(p[2]);
                rgb.push_back(p[1]);
                rgb.push_back(p[0]);
            }
        }
    }
    return rgb;
}

bool WritePng(const std::filesystem::path& path, int width, int height, const std::vector<uint8_t>& rgb) {
    std::filesystem::create_directories(path.parent_path());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

bool ReadPng(const std::filesystem::path& path, int* width, int* height, std::vector<uint8_t>* rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr) == 0) return false;
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}

}  // namespace

std::string CompareWithGolden(const MEMIMG& image, const Rect& rect, const std::string& name) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const std::vector<uint8_t> actual = RgbOf(image, rect);
    const auto path = GoldenPath(name);
    const char* update = std::getenv("VELK_UPDATE_GOLDENS");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        return WritePng(path, width, height, actual) ? "" : "cannot write " + path.string();
    }
    int golden_width = 0, golden_height = 0;
    std::vector<uint8_t> golden;
    if (!ReadPng(path, &golden_width, &golden_height, &golden)) {
        return "no golden picture " + path.string() + " (VELK_UPDATE_GOLDENS=1 writes it)";
    }
    if (golden_width != width || golden_height != height) {
        return "golden " + name + " is " + std::to_string(golden_width) + "x" + std::to_string(golden_height);
    }
    for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != golden[i]) {
            const size_t pixel = i / 3;
            const auto differing = (std::filesystem::temp_directory_path() / (name + "_actual.png"));
            WritePng(differing, width, height, actual);
            return name + " differs first at (" + std::to_string(pixel % width) + ", " +
                   std::to_string(pixel / width) + "); ours is in " + differing.string();
        }
    }
    return "";
}

}  // namespace velk::testing
