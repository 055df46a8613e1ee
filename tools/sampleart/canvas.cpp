#include "tools/sampleart/canvas.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace velk::sampleart {

Canvas::Canvas(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

Rgba Canvas::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Canvas::Set(int x, int y, Rgba colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * width_ + x] = colour;
}

void Canvas::Blend(int x, int y, Rgba colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    Rgba& p = pixels_[static_cast<size_t>(y) * width_ + x];
    const int a = colour.a;
    p.r = static_cast<uint8_t>((colour.r * a + p.r * (255 - a)) / 255);
    p.g = static_cast<uint8_t>((colour.g * a + p.g * (255 - a)) / 255);
    p.b = static_cast<uint8_t>((colour.b * a + p.b * (255 - a)) / 255);
    p.a = static_cast<uint8_t>(std::max<int>(p.a, a));
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba colour) {
    for (int yy = y; yy < y + h; ++yy) {
        for (int xx = x; xx < x + w; ++xx) Set(xx, yy, colour);
    }
}

void Canvas::FillEllipse(int cx, int cy, int rx, int ry, Rgba colour) {
    if (rx <= 0 || ry <= 0) return;
    for (int yy = -ry; yy <= ry; ++yy) {
        for (int xx = -rx; xx <= rx; ++xx) {
            // Inside when (x/rx)^2 + (y/ry)^2 <= 1, in integers.
            if (int64_t{xx} * xx * ry * ry + int64_t{yy} * yy * rx * rx <= int64_t{rx} * rx * ry * ry) {
                Set(cx + xx, cy + yy, colour);
            }
        }
    }
}

void Canvas::Line(int x0, int y0, int x1, int y1, Rgba colour) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    while (true) {
        Set(x0, y0, colour);
        if (x0 == x1 && y0 == y1) break;
        const int twice = 2 * error;
        if (twice >= dy) error += dy, x0 += sx;
        if (twice <= dx) error += dx, y0 += sy;
    }
}

void Canvas::Speckle(int x, int y, int w, int h, int amount, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    for (int yy = y; yy < y + h; ++yy) {
        for (int xx = x; xx < x + w; ++xx) {
            state = state * 1664525u + 1013904223u;
            const int delta = static_cast<int>((state >> 24) % (2 * amount + 1)) - amount;
            Rgba p = At(xx, yy);
            if (p.r == kKey.r && p.g == kKey.g && p.b == kKey.b) continue;
            auto shift = [delta](uint8_t c) { return static_cast<uint8_t>(std::clamp(c + delta, 0, 253)); };
            Set(xx, yy, {shift(p.r), shift(p.g), shift(p.b), p.a});
        }
    }
}

bool Canvas::WritePng(const std::string& path, bool alpha) const {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width_);
    image.height = static_cast<png_uint_32>(height_);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> bytes;
    bytes.reserve(pixels_.size() * 4);
    for (const Rgba& p : pixels_) {
        bytes.push_back(p.r);
        bytes.push_back(p.g);
        bytes.push_back(p.b);
        if (alpha) bytes.push_back(p.a);
    }
    return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

Rgba Mix(Rgba a, Rgba b, int percent_of_b) {
    auto mix = [percent_of_b](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>((x * (100 - percent_of_b) + y * percent_of_b) / 100);
    };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)};
}

}  // namespace velk::sampleart
