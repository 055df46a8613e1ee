#include "lib/image/graph_image.h"

#include <cstring>

#include "lib/core/memory_tracker.h"

namespace velk {

bool IsAcceptableImageSize(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

int AllocateGraphImagePixels(GraphImage* image, int width, int height, int pitch) {
    const int pixel_bytes = image->color_data.pixel_byte;
    if (!IsAcceptableImageSize(width, height) || pixel_bytes < 1 || pixel_bytes > 4) {
        return -1;
    }
    const int64_t row_bytes = int64_t{pixel_bytes} * width;
    if (pitch == 0) {
        pitch = static_cast<int>((row_bytes + 3) & ~int64_t{3});
    }
    if (pitch < row_bytes) {
        return -1;
    }
    auto* pixels = static_cast<uint8_t*>(VELK_ALLOC(static_cast<size_t>(pitch) * static_cast<size_t>(height)));
    if (pixels == nullptr) {
        return -1;
    }
    image->width = width;
    image->height = height;
    image->pitch = pitch;
    image->pixels = pixels;
    return 0;
}

namespace {

int CreateFixedImage(int width, int height, GraphImage* image, void (*make_format)(ColorData*)) {
    make_format(&image->color_data);
    image->width = width;
    image->height = height;
    image->pixels = nullptr;
    return AllocateGraphImagePixels(image, width, height);
}

}  // namespace

int CreateXRGB32GraphImage(int width, int height, GraphImage* image) {
    return CreateFixedImage(width, height, image, CreateXRGB32ColorData);
}

int CreateRGB24GraphImage(int width, int height, GraphImage* image) {
    return CreateFixedImage(width, height, image, CreateRGB24ColorData);
}

int CreateARGB32GraphImage(int width, int height, GraphImage* image) {
    return CreateFixedImage(width, height, image, CreateARGB32ColorData);
}

int ReleaseGraphImage(GraphImage* image) {
    if (image->pixels != nullptr) {
        MemFree(image->pixels);
    }
    *image = GraphImage{};
    return 0;
}

uint32_t ReadPixelValue(const uint8_t* row, int x, int pixel_bytes) {
    const uint8_t* p = row + static_cast<ptrdiff_t>(x) * pixel_bytes;
    switch (pixel_bytes) {
    case 1:
        return p[0];
    case 2:
        return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3:
        return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void WritePixelValue(uint8_t* row, int x, int pixel_bytes, uint32_t value) {
    uint8_t* p = row + static_cast<ptrdiff_t>(x) * pixel_bytes;
    switch (pixel_bytes) {
    case 1:
        p[0] = static_cast<uint8_t>(value);
        break;
    case 2:
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        break;
    case 3:
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
        break;
    default:
        std::memcpy(p, &value, 4);
        break;
    }
}

int GetGraphImagePixel(const GraphImage* image, int x, int y, int* red, int* green, int* blue, int* alpha) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height || image->pixels == nullptr) {
        return -1;
    }
    const ColorData& color = image->color_data;
    const uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
    const uint32_t value = ReadPixelValue(row, x, color.pixel_byte);
    if (IsPaletteColorData(&color)) {
        const PaletteEntry& entry = color.palette[value & 0xFF];
        if (red != nullptr) *red = entry.red;
        if (green != nullptr) *green = entry.green;
        if (blue != nullptr) *blue = entry.blue;
        if (alpha != nullptr) *alpha = entry.alpha;
        return 0;
    }
    return GetColorRGBAByColorData(&color, value, red, green, blue, alpha);
}

int FillGraphImage(GraphImage* image, int red, int green, int blue, int alpha) {
    const int pixel_bytes = image->color_data.pixel_byte;
    if (pixel_bytes < 2 || pixel_bytes > 4 || image->pixels == nullptr) {
        return 0;
    }
    const uint32_t value = GetColorByColorData(&image->color_data, red, green, blue, alpha);
    for (int y = 0; y < image->height; ++y) {
        uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
        for (int x = 0; x < image->width; ++x) {
            WritePixelValue(row, x, pixel_bytes, value);
        }
    }
    return 0;
}

int MirrorGraphImage(GraphImage* image) {
    if (image->width == 0 || image->height == 0) {
        return -1;
    }
    const int pixel_bytes = image->color_data.pixel_byte;
    if (pixel_bytes < 1 || pixel_bytes > 4 || image->pixels == nullptr) {
        return -1;
    }
    for (int y = 0; y < image->height; ++y) {
        uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
        for (int i = 0, j = image->width - 1; i < j; ++i, --j) {
            uint8_t tmp[4];
            std::memcpy(tmp, row + i * pixel_bytes, pixel_bytes);
            std::memcpy(row + i * pixel_bytes, row + j * pixel_bytes, pixel_bytes);
            std::memcpy(row + j * pixel_bytes, tmp, pixel_bytes);
        }
    }
    return 0;
}

}  // namespace velk
