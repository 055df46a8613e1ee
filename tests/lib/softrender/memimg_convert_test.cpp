#include "lib/softrender/memimg_convert.h"

#include <gtest/gtest.h>

#include <cstring>

#include "guarded_image.h"

namespace velk {
namespace {

using testing::GuardedImage;

struct OwnedGraphImage {
    GraphImage image;
    ~OwnedGraphImage() { ReleaseGraphImage(&image); }

    uint32_t Get(int x, int y) const { return ReadPixelValue(image.pixels + y * image.pitch, x, image.color_data.pixel_byte); }
    void Set(int x, int y, uint32_t v) { WritePixelValue(image.pixels + y * image.pitch, x, image.color_data.pixel_byte, v); }
};

void MakePaletted(OwnedGraphImage* g, int width, int height) {
    CreatePaletteColorData(&g->image.color_data);
    ASSERT_EQ(AllocateGraphImagePixels(&g->image, width, height), 0);
    for (int i = 0; i < 256; ++i) {
        g->image.color_data.palette[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                                      static_cast<uint8_t>(i / 2), 0};
    }
    g->image.color_data.palette[1] = PaletteEntry{255, 255, 255, 0};
    g->image.color_data.palette[2] = PaletteEntry{8, 4, 8, 0};  // blue, green, red
}

TEST(MemImgConvertTest, PalettedTargetsGetIndicesPaletteAndColourCount) {
    for (int format : {0, 1}) {
        OwnedGraphImage source;
        MakePaletted(&source, 6, 4);
        std::memset(source.image.pixels, 3, static_cast<size_t>(source.image.pitch) * 4);
        source.Set(2, 1, 17);
        source.Set(5, 3, 9);
        GuardedImage target(8, 6, format, 1, 0);
        BltGraphImageToMemImg(&source.image, nullptr, target.image(), 0, 0, 6, 4, 1, 2, 0);
        EXPECT_TRUE(target.GuardsIntact());
        EXPECT_EQ(target.Get(3, 3), 17u);
        EXPECT_EQ(target.Get(1, 2), 3u);
        EXPECT_EQ(target.base()->color_num, 18);
        const uint32_t* palette = target.base()->palette;
        EXPECT_EQ(palette[1], format == 0 ? 0xFFFFu : 0x00FFFFFFu);
        if (format == 0) {
            EXPECT_EQ(palette[2], 0x0821u);
        }
        EXPECT_EQ(palette[200], format == 0 ? static_cast<uint32_t>(((100 & 0xF8) << 8) | ((55 & 0xFC) << 3) | (200 >> 3))
                                            : static_cast<uint32_t>(100 << 16 | 55 << 8 | 200));

        // No width: the colour count and the palette stay as they were.
        palette = target.base()->palette;
        target.base()->palette[1] = 0x1234;
        BltGraphImageToMemImg(&source.image, nullptr, target.image(), 0, 0, 0, 4, 0, 0, 0);
        EXPECT_EQ(target.base()->color_num, 18);
        EXPECT_EQ(palette[1], 0x1234u);
    }
}

TEST(MemImgConvertTest, OneChannelTargetsTakeTheRedChannelAndIgnoreAlphaImages) {
    OwnedGraphImage source, alpha;
    ASSERT_EQ(CreateXRGB32GraphImage(4, 2, &source.image), 0);
    ASSERT_EQ(CreateXRGB32GraphImage(4, 2, &alpha.image), 0);
    for (int x = 0; x < 4; ++x) {
        source.Set(x, 0, static_cast<uint32_t>((x * 60) << 16 | 0x00FF77));
        source.Set(x, 1, 0x00FF0000);
        alpha.Set(x, 0, 0);
        alpha.Set(x, 1, 0);
    }
    GuardedImage mask(4, 2, 2, 0, 0);
    BltGraphImageToMemImg(&source.image, &alpha.image, mask.image(), 0, 0, 4, 2, 0, 0, 0);
    EXPECT_EQ(mask.Get(0, 0), 0u);
    EXPECT_EQ(mask.Get(3, 0), 180u);
    EXPECT_EQ(mask.Get(1, 1), 255u);
    GuardedImage depth(4, 2, 3, 0, 0);
    BltGraphImageToMemImg(&source.image, nullptr, depth.image(), 0, 0, 4, 2, 0, 0, 0);
    EXPECT_EQ(depth.Get(1, 1), 0xFFFFu);
    EXPECT_TRUE(mask.GuardsIntact() && depth.GuardsIntact());
}

TEST(MemImgConvertTest, TransparentColourBecomesAlphaZeroInBothFormats) {
    OwnedGraphImage source;
    ASSERT_EQ(CreateXRGB32GraphImage(3, 1, &source.image), 0);
    source.Set(0, 0, 0x00FF00FF);
    source.Set(1, 0, 0x00123456);
    source.Set(2, 0, 0x00FC00F8);  // the same 16-bit colour as magenta
    GuardedImage argb(3, 1, 1, 0, 1, 0x00FF00FF);
    BltGraphImageToMemImg(&source.image, nullptr, argb.image(), 0, 0, 3, 1, 0, 0, 1);
    EXPECT_EQ(argb.Get(0, 0) >> 24, 0u);
    EXPECT_EQ(argb.Get(1, 0), 0xFF123456u);
    EXPECT_EQ(argb.Get(2, 0) >> 24, 0xFFu);

    GuardedImage alpha16(3, 1, 0, 0, 1, 0xF81F);  // magenta in R5G6B5
    BltGraphImageToMemImg(&source.image, nullptr, alpha16.image(), 0, 0, 3, 1, 0, 0, 1);
    EXPECT_EQ((alpha16.Get(0, 0) >> 16) & 0xFF, 0u);
    EXPECT_EQ(alpha16.Get(0, 0) & 0xFFFF, 0xF81Fu);
    EXPECT_EQ((alpha16.Get(1, 0) >> 16) & 0xFF, 0xFFu);
    EXPECT_EQ((alpha16.Get(2, 0) >> 16) & 0xFF, 0u);
    EXPECT_TRUE(argb.GuardsIntact() && alpha16.GuardsIntact());
}

TEST(MemImgConvertTest, EachGreenBitOfASixteenBitKeyCounts) {
    // Keys of one green bit each, from the lowest (8-bit green 4) up; a pixel
    // whose green has the next bit instead stays opaque.
    for (int bit = 0; bit < 6; ++bit) {
        const uint32_t green6 = 1u << bit;
        const uint32_t other6 = 1u << ((bit + 1) % 6);
        auto widened = [](uint32_t g6) { return (g6 << 2 | g6 >> 4) << 8; };
        OwnedGraphImage source;
        ASSERT_EQ(CreateXRGB32GraphImage(2, 1, &source.image), 0);
        source.Set(0, 0, 0x00F800F8 | widened(green6));
        source.Set(1, 0, 0x00F800F8 | widened(other6));
        GuardedImage alpha16(2, 1, 0, 0, 1, 0xF81F | green6 << 5);
        BltGraphImageToMemImg(&source.image, nullptr, alpha16.image(), 0, 0, 2, 1, 0, 0, 1);
        EXPECT_EQ((alpha16.Get(0, 0) >> 16) & 0xFF, 0u) << "green bit " << bit;
        EXPECT_EQ((alpha16.Get(1, 0) >> 16) & 0xFF, 0xFFu) << "green bit " << bit;
        EXPECT_TRUE(alpha16.GuardsIntact());
    }
}

TEST(MemImgConvertTest, ReadingBackRefusesImagesAGraphImageCannotTake) {
    OwnedGraphImage out;
    ASSERT_EQ(CreateXRGB32GraphImage(4, 4, &out.image), 0);
    std::memset(out.image.pixels, 0x5A, static_cast<size_t>(out.image.pitch) * 4);
    for (auto [format, palette, alpha] :
         {std::tuple{1, 0, 1}, std::tuple{0, 0, 1}, std::tuple{1, 1, 0}, std::tuple{2, 0, 0}, std::tuple{3, 0, 0}}) {
        GuardedImage source(4, 4, format, palette, alpha);
        FillMemImg(source.image(), nullptr, 0);
        BltMemImgToGraphImage(&out.image, source.image(), 0, 0, 4, 4, 0, 0, 0, 0);
        EXPECT_EQ(out.Get(2, 2), 0x5A5A5A5Au);
    }
    GuardedImage screen(4, 4, 0, 0, 0);
    FillMemImg(screen.image(), nullptr, 0xF800);
    screen.Set(1, 1, 0x001F);
    BltMemImgToGraphImage(&out.image, screen.image(), 0, 0, 4, 4, 0, 0, 0x001F, 1);
    EXPECT_EQ(out.Get(0, 0) & 0x00FFFFFF, 0x00FF0000u);
    EXPECT_EQ(out.Get(1, 1), 0x5A5A5A5Au);  // the transparent colour is not written
    // Rectangles outside either image copy nothing.
    BltMemImgToGraphImage(&out.image, screen.image(), 2, 2, 4, 4, 0, 0, 0, 0);
    BltMemImgToGraphImage(&out.image, screen.image(), 0, 0, 4, 4, 1, 0, 0, 0);
    EXPECT_EQ(out.Get(1, 1), 0x5A5A5A5Au);
}

TEST(MemImgConvertTest, MemImgToMemImgConvertsTheWholeViewByDefault) {
    GuardedImage source(3, 2, 0, 0, 0);
    FillMemImg(source.image(), nullptr, 0x07E0);  // full green
    GuardedImage target(6, 5, 1, 0, 0);
    FillMemImg(target.image(), nullptr, 0);
    target.Snapshot();
    EXPECT_EQ(BltMemImgToMemImg(target.image(), source.image(), nullptr, 2, 3), 0);
    EXPECT_EQ(target.Get(2, 3) & 0x00FFFFFF, 0x0000FF00u);
    EXPECT_EQ(target.Get(4, 4) & 0x00FFFFFF, 0x0000FF00u);
    EXPECT_EQ(target.Get(1, 3), 0u);
    EXPECT_TRUE(target.GuardsIntact());
    EXPECT_EQ(BltMemImgToMemImg(target.image(), source.image(), nullptr, 4, 4), -1);
    const Rect empty{1, 1, 1, 2};
    EXPECT_EQ(BltMemImgToMemImg(target.image(), source.image(), &empty, 0, 0), -1);
    MEMIMG released{};
    EXPECT_EQ(BltMemImgToMemImg(target.image(), &released, nullptr, 0, 0), -1);
    EXPECT_TRUE(target.GuardsIntact());
}

}  // namespace
}  // namespace velk
