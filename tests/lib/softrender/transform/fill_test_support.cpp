#include "tests/lib/softrender/transform/fill_test_support.h"

#include <sstream>

namespace velk::testing {

void ResetSoftwareDrawState() {
    InitMemImgTables();
    BuildBlendGraphTable(128, 255);
    DrawState{}.Apply();
}

void DrawState::Apply() const {
    SetMemImgDrawBlendMode(mode, param);
    SetMemImgDrawBright(red, green, blue);
    SetMemImgDrawArea(area);
}

std::string DrawState::Describe() const {
    std::ostringstream out;
    out << "mode " << mode << " param " << param << " bright " << red << "," << green << "," << blue << " area "
        << area.left << "," << area.top << "," << area.right << "," << area.bottom;
    return out.str();
}

std::unique_ptr<GuardedImage> MakeRandomSource(std::mt19937& random, int format, SourceType type, int width,
                                               int height) {
    const bool paletted = type == SourceType::kPaletted;
    const bool alpha = type == SourceType::kDirectAlpha;
    auto image = std::make_unique<GuardedImage>(width, height, format, paletted ? 1 : 0, alpha ? 1 : 0);
    image->FillRandom(random);
    if (paletted) {
        // Few indices, so the transparent one occurs often.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) image->Set(x, y, random() % 6);
        }
    }
    if (alpha) {
        const int alpha_byte = format == kMemImgFormat32 ? 3 : 2;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t pick = random() % 4;
                image->Pixel(x, y)[alpha_byte] =
                    static_cast<uint8_t>(pick == 0 ? 0 : (pick == 1 ? 255 : random() % 256));
            }
        }
    }
    const uint32_t trans = image->Get(static_cast<int>(random() % width), static_cast<int>(random() % height));
    image->base().trans_color = trans;
    if (!paletted) {
        for (int i = 0; i < (width * height) / 6; ++i) {
            image->Set(static_cast<int>(random() % width), static_cast<int>(random() % height), trans);
        }
        if (format == kMemImgFormat32 && !alpha) {
            image->Set(static_cast<int>(random() % width), static_cast<int>(random() % height), trans ^ 0x01000000u);
        }
    }
    return image;
}

std::unique_ptr<GuardedImage> MakeRandomBlend(std::mt19937& random, int width, int height) {
    auto image = std::make_unique<GuardedImage>(width, height, kMemImgFormat8);
    image->FillRandom(random);
    BuildBlendGraphTable(static_cast<int>(random() % 256), static_cast<int>(random() % 256));
    // Weights 0 and 255 occur often enough to matter.
    for (int i = 0; i < width * height / 4; ++i) {
        image->Set(static_cast<int>(random() % width), static_cast<int>(random() % height), random() % 2 ? 0 : 255);
    }
    return image;
}

uint32_t CoordinateTexel(int x, int y) {
    return 0x5A0000u | static_cast<uint32_t>(y & 0xFF) << 8 | static_cast<uint32_t>(x & 0xFF);
}

std::unique_ptr<GuardedImage> MakeCoordinateSource(int width, int height) {
    auto image = std::make_unique<GuardedImage>(width, height, kMemImgFormat32);
    std::mt19937 random(99);
    image->FillRandom(random);  // the guard: texels that must never show
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image->Set(x, y, CoordinateTexel(x, y));
    }
    return image;
}

}  // namespace velk::testing
