#include <gtest/gtest.h>

#include "lib/image/color_data.h"
#include "lib/image/graph_image.h"

namespace velk {
namespace {

TEST(ColorData, ChannelsFromMasks) {
    ColorData c;
    CreateColorDataFromMasks(&c, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
    EXPECT_EQ(c.red_loc, 10);
    EXPECT_EQ(c.red_width, 5);
    EXPECT_EQ(c.alpha_loc, 15);
    EXPECT_EQ(c.alpha_width, 1);
    EXPECT_EQ(c.pixel_byte, 2);
    EXPECT_EQ(c.no_use_mask, 0u);
    CreateColorDataFromMasks(&c, 16, 0x7C00, 0x3E0, 0x1F, 0);
    EXPECT_EQ(c.no_use_mask, 0x8000u);
    EXPECT_EQ(c.no_use_loc, 15);
    CreateColorDataFromMasks(&c, 32, 0, 0, 0, 0);
    EXPECT_EQ(c.red_width, 0);
    EXPECT_EQ(c.no_use_mask, 0xFFFFFFFFu);
    EXPECT_EQ(c.no_use_width, 32);
}

TEST(ColorData, FixedFormats) {
    ColorData c;
    CreateXRGB32ColorData(&c);
    EXPECT_EQ(GetColorByColorData(&c, 1, 2, 3, 77), 0xFF010203u);
    CreateARGB32ColorData(&c);
    EXPECT_EQ(GetColorByColorData(&c, 1, 2, 3, 77), 0x4D010203u);
    CreateGreyPaletteColorData(&c);
    EXPECT_TRUE(IsPaletteColorData(&c));
    EXPECT_EQ(c.palette[77].red, 77);
}

TEST(ColorData, PaletteSearchTakesTheFirstOfEqualDistances) {
    ColorData c;
    CreatePaletteColorData(&c);
    c.palette[3] = PaletteEntry{0, 0, 10, 0};
    c.palette[9] = PaletteEntry{0, 0, 30, 0};
    for (int i = 0; i < 256; ++i) {
        if (i != 3 && i != 9) c.palette[i] = PaletteEntry{255, 255, 255, 0};
    }
    EXPECT_EQ(GetColorByColorData(&c, 20, 0, 0, 0), 3u);
    EXPECT_EQ(GetColorByColorData(&c, 21, 0, 0, 0), 9u);
}

TEST(ColorData, PackAndUnpackAcrossWidths) {
    ColorData c565;
    CreateColorDataFromMasks(&c565, 16, 0xF800, 0x7E0, 0x1F, 0);
    EXPECT_EQ(GetColorByColorData(&c565, 255, 255, 255, 0), 0xFFFFu);
    int r, g, b, a;
    GetColorRGBAByColorData(&c565, 0xFFFF, &r, &g, &b, &a);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(a, 0);
    ColorData c1010102;
    CreateColorDataFromMasks(&c1010102, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000);
    EXPECT_EQ(GetColorByColorData(&c1010102, 255, 0, 0, 255), 0xC00003FFu);
    // A format without colour channels unpacks to zero instead of dividing by zero.
    ColorData empty;
    CreateColorDataFromMasks(&empty, 16, 0, 0, 0, 0);
    GetColorRGBAByColorData(&empty, 0xFFFF, &r, &g, &b, nullptr);
    EXPECT_EQ(r + g + b, 0);
}

TEST(ColorData, ConvertColorCode) {
    ColorData x32, a32, c555;
    CreateXRGB32ColorData(&x32);
    CreateARGB32ColorData(&a32);
    CreateColorDataFromMasks(&c555, 16, 0x7C00, 0x3E0, 0x1F, 0);
    EXPECT_EQ(ConvertColorCode(&c555, &x32, 0x00FF8040), 0x8000u | (31 << 10) | (16 << 5) | 8);
    // No source alpha: the destination alpha is full.
    EXPECT_EQ(ConvertColorCode(&a32, &c555, 0x7C00), 0xFFF80000u);
    EXPECT_EQ(IsSameColorData(&x32, &a32), 0);
    ColorData x32b = x32;
    x32b.palette[0].red = 9;
    EXPECT_EQ(IsSameColorData(&x32, &x32b), 1);
    ColorData kind_a{}, kind_b{};
    kind_b.format_kind = 1;
    EXPECT_EQ(IsSameColorData(&kind_a, &kind_b), 0);
}

TEST(GraphImage, MakersPitchFillMirrorAndPixelAccess) {
    GraphImage x, rgb;
    ASSERT_EQ(CreateXRGB32GraphImage(3, 2, &x), 0);
    ASSERT_EQ(CreateRGB24GraphImage(3, 2, &rgb), 0);
    EXPECT_EQ(x.pitch, 12);
    EXPECT_EQ(rgb.pitch, 12);
    GraphImage a;
    ASSERT_EQ(CreateARGB32GraphImage(3, 2, &a), 0);
    FillGraphImage(&a, 10, 20, 30, 128);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(a.pixels[y * a.pitch + i * 4 + 3], 128);
    FillGraphImage(&rgb, 1, 2, 3, 0);
    WritePixelValue(rgb.pixels, 0, 3, 0x0A0B0C);
    MirrorGraphImage(&rgb);
    int r, g, b, al;
    ASSERT_EQ(GetGraphImagePixel(&rgb, 2, 0, &r, &g, &b, &al), 0);
    EXPECT_EQ(r, 0x0A);
    EXPECT_EQ(b, 0x0C);
    ASSERT_EQ(GetGraphImagePixel(&rgb, 0, 0, &r, &g, &b, nullptr), 0);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(GetGraphImagePixel(&rgb, 3, 0, &r, &g, &b, &al), -1);
    EXPECT_EQ(GetGraphImagePixel(&rgb, 0, -1, &r, &g, &b, &al), -1);
    ReleaseGraphImage(&x);
    ReleaseGraphImage(&rgb);
    ReleaseGraphImage(&a);
    EXPECT_EQ(a.pixels, nullptr);
    EXPECT_EQ(a.width, 0);
    EXPECT_EQ(MirrorGraphImage(&a), -1);
}

TEST(GraphImage, SizesBeyondTheLimitsAreRefused) {
    GraphImage image;
    EXPECT_EQ(CreateXRGB32GraphImage(kMaxImageSide + 1, 1, &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(CreateXRGB32GraphImage(0, 5, &image), -1);
    EXPECT_EQ(CreateXRGB32GraphImage(kMaxImageSide, kMaxImageSide, &image), -1);
    EXPECT_TRUE(IsAcceptableImageSize(8192, 8192));
}

}  // namespace
}  // namespace velk
