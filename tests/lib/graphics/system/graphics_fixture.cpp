#include "tests/lib/graphics/system/graphics_fixture.h"

#include <png.h>

#include <algorithm>
#include <cmath>
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

size_t CountDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, size_t* first) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && differing++ == 0 && first != nullptr) *first = i;
    }
    return differing;
}

int MakeDrawTarget(int width, int height) {
    SetCreateDrawValidGraph(1);
    const int g = CreateEmptyGraph(width, height, 1);
    SetCreateDrawValidGraph(0);
    return g;
}

namespace {

// A 32 x 32 sprite: a colour ramp under a soft round alpha edge.
std::vector<uint8_t> AlphaSprite() {
    std::vector<uint8_t> rgba(32 * 32 * 4);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = &rgba[(y * 32 + x) * 4];
            const double distance = std::hypot(x - 15.5, y - 15.5);
            p[0] = static_cast<uint8_t>(x * 8);
            p[1] = static_cast<uint8_t>(y * 8);
            p[2] = static_cast<uint8_t>(255 - x * 4);
            p[3] = distance < 10 ? 255 : distance >= 16 ? 0 : static_cast<uint8_t>(255 * (16 - distance) / 6);
        }
    }
    return rgba;
}

// A 24 x 24 opaque picture framed in the transparent colour (254, 0, 254).
std::vector<uint8_t> KeyedPicture() {
    std::vector<uint8_t> rgba(24 * 24 * 4);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            uint8_t* p = &rgba[(y * 24 + x) * 4];
            const bool frame = x < 3 || y < 3 || x >= 21 || y >= 21;
            p[0] = frame ? 254 : static_cast<uint8_t>(((x / 3 + y / 3) % 2) * 200 + 40);
            p[1] = frame ? 0 : static_cast<uint8_t>(y * 10);
            p[2] = frame ? 254 : 60;
            p[3] = 255;
        }
    }
    return rgba;
}

}  // namespace

void DrawReferenceScene(const std::string& folder) {
    auto Path = [&](const char* name) { return folder + "/" + name; };
    WritePngRgba(Path("sprite.png"), 32, 32, AlphaSprite());
    WritePngRgba(Path("keyed.png"), 24, 24, KeyedPicture(), false);
    SetTransparentColor(254, 0, 254);
    const int sprite = LoadGraphFromFile(Path("sprite.png").c_str(), 0, 0, 0);
    const int keyed = LoadGraphFromFile(Path("keyed.png").c_str(), 0, 0, 0);
    ASSERT_NE(sprite, -1);
    ASSERT_NE(keyed, -1);

    SetBackgroundColor(24, 40, 72);
    ASSERT_EQ(ClearDrawScreen(), 0);
    // Backdrop stripes so the blends have something to work on.
    for (int i = 0; i < 8; ++i)
        DrawBox(0, 240 + i * 30, 640, 270 + i * 30, GetColorValue(i * 32, 255 - i * 30, 90 + i * 20), 1);
    DrawBox(20, 20, 300, 220, GetColorValue(200, 180, 60), 0);
    DrawBox(30, 30, 120, 90, GetColorValue(90, 200, 120), 1);

    EXPECT_EQ(DrawGraph(40, 40, sprite, 1), 0);
    EXPECT_EQ(DrawGraph(90, 40, keyed, 1), 0);
    EXPECT_EQ(DrawGraph(120, 40, keyed, 0), 0);
    EXPECT_EQ(DrawGraphScaled(160, 30, 224, 94, sprite, 1), 0);
    EXPECT_EQ(DrawGraphScaled(290, 30, 240, 80, keyed, 1), 0);  // mirrored
    EXPECT_EQ(DrawGraphRotated(360, 70, 1.5, 0.6, sprite, 1, 0), 0);
    EXPECT_EQ(DrawGraphRotated(430, 70, 1.0, -0.3, keyed, 1, 1), 0);
    EXPECT_EQ(DrawModiGraphF(480.0f, 30.0f, 600.0f, 50.0f, 470.0f, 120.0f, 620.0f, 140.0f, sprite, 1), 0);

    const int modes[] = {0, 1, 2, 3, 4, 10, 11};
    for (int i = 0; i < 7; ++i) {
        SetDrawBlendMode(modes[i], 160);
        DrawGraph(20 + i * 44, 250, sprite, 1);
        DrawGraph(24 + i * 44, 300, keyed, 1);
        DrawBox(20 + i * 44, 340, 56 + i * 44, 370, GetColorValue(250, 120, 40), 1);
        SetDrawBlendMode(modes[i], 255);
        DrawGraph(20 + i * 44, 380, sprite, 1);
    }
    SetDrawBlendMode(0, 255);
    SetDrawBrightness(255, 140, 60);
    DrawGraph(340, 260, sprite, 1);
    DrawGraphScaled(380, 250, 460, 330, keyed, 1);
    SetDrawBrightness(255, 255, 255);

    // A clipped corner: drawn partly outside a smaller draw area.
    SetDrawArea(500, 300, 600, 400);
    DrawGraphScaled(480, 280, 560, 360, sprite, 1);
    DrawBox(560, 380, 640, 480, GetColorValue(255, 255, 255), 1);
    SetDrawArea(0, 0, 640, 480);
}

}  // namespace velk::testing
