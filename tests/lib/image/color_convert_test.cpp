#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "lib/image/color_convert.h"
#include "lib/image/graph_image.h"

namespace velk {
namespace {

ColorData Format(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorData c;
    CreateColorDataFromMasks(&c, depth, r, g, b, a);
    return c;
}

const ColorData kFormats[] = {
    Format(16, 0xF800, 0x7E0, 0x1F, 0),       Format(16, 0x7C00, 0x3E0, 0x1F, 0),
    Format(16, 0x7C00, 0x3E0, 0x1F, 0x8000),  Format(16, 0xF00, 0xF0, 0xF, 0xF000),
    Format(24, 0xFF0000, 0xFF00, 0xFF, 0),    Format(32, 0xFF0000, 0xFF00, 0xFF, 0),
    Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), Format(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000),
    Format(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000),
};

int Convert(const GraphImage& dest, const GraphImage& source, const GraphImage* alpha, int dx, int dy, Rect rect,
            int mirror = 0, int key_to_alpha = 0, uint32_t key = 0, int dither = 0, int clear = 0, int red_alpha = 0,
            int skip = 0, int remap = 0) {
    return BltColorConvert(dest.pixels, dest.pitch, &dest.color_data, source.pixels, source.pitch,
                           &source.color_data, alpha ? alpha->pixels : nullptr, alpha ? alpha->pitch : 0,
                           alpha ? &alpha->color_data : nullptr, dx, dy, &rect, mirror, key_to_alpha, key, dither,
                           clear, red_alpha, skip, remap);
}

GraphImage MakeImage(const ColorData& format, int width, int height) {
    GraphImage image;
    image.color_data = format;
    EXPECT_EQ(AllocateGraphImagePixels(&image, width, height), 0);
    return image;
}

void Release(std::initializer_list<GraphImage*> images) {
    for (GraphImage* image : images) ReleaseGraphImage(image);
}

// The rule written out plainly, pixel by pixel, for checking the fast loops.
uint32_t ReferenceChannel(uint32_t value, uint32_t mask, int loc, int width, int dest_width) {
    if (width == 0 || dest_width == 0) return 0;
    uint64_t v = (value & mask) >> loc;
    if (dest_width >= width) {
        const int d = dest_width - width;
        return static_cast<uint32_t>((v << d) + v * ((1ull << d) - 1) / ((1ull << width) - 1));
    }
    return static_cast<uint32_t>(v >> (width - dest_width));
}

uint32_t ReferencePixel(const ColorData& d, const ColorData& s, uint32_t value, bool has_alpha_value,
                        uint32_t alpha_value, const ColorData* a, bool clear, bool red_alpha) {
    uint32_t r = ReferenceChannel(value, s.red_mask, s.red_loc, s.red_width, d.red_width);
    uint32_t g = ReferenceChannel(value, s.green_mask, s.green_loc, s.green_width, d.green_width);
    uint32_t b = ReferenceChannel(value, s.blue_mask, s.blue_loc, s.blue_width, d.blue_width);
    uint64_t full = (1ull << d.alpha_width) - 1;
    uint32_t alpha = static_cast<uint32_t>(full);
    if (has_alpha_value) {
        alpha = ReferenceChannel(alpha_value, a->alpha_mask, a->alpha_loc, a->alpha_width, d.alpha_width);
    } else if (s.alpha_width != 0) {
        alpha = ReferenceChannel(value, s.alpha_mask, s.alpha_loc, s.alpha_width, d.alpha_width);
    }
    if (red_alpha) alpha = ReferenceChannel(value, s.red_mask, s.red_loc, s.red_width, d.alpha_width);
    if (clear) r = g = b = 0;
    uint32_t out = (r << d.red_loc) | (g << d.green_loc) | (b << d.blue_loc);
    if (d.alpha_width != 0) out |= alpha << d.alpha_loc;
    if (d.pixel_byte != 3) out |= d.no_use_mask;
    return out;
}

TEST(BltColorConvert, SpecifiedValues) {
    GraphImage c565 = MakeImage(kFormats[0], 2, 1);
    GraphImage x32 = MakeImage(kFormats[5], 2, 1);
    WritePixelValue(c565.pixels, 0, 2, 0xFFFF);
    ASSERT_EQ(Convert(x32, c565, nullptr, 0, 0, Rect{0, 0, 1, 1}), 0);
    EXPECT_EQ(ReadPixelValue(x32.pixels, 0, 4), 0xFFFFFFFFu);
    WritePixelValue(x32.pixels, 0, 4, 0x00808080);
    ASSERT_EQ(Convert(c565, x32, nullptr, 0, 0, Rect{0, 0, 1, 1}), 0);
    EXPECT_EQ(ReadPixelValue(c565.pixels, 0, 2), 0x8410u);
    // A rectangle without width writes nothing.
    WritePixelValue(c565.pixels, 1, 2, 0x1234);
    EXPECT_EQ(Convert(c565, x32, nullptr, 1, 0, Rect{0, 0, 0, 1}), -1);
    EXPECT_EQ(Convert(c565, x32, nullptr, 1, 0, Rect{0, 0, 1, 0}), -1);
    EXPECT_EQ(ReadPixelValue(c565.pixels, 1, 2), 0x1234u);
    Release({&c565, &x32});
}

TEST(BltColorConvert, AgreesWithThePlainRuleForEveryFormatPair) {
    std::mt19937 random(12345);
    for (const ColorData& sf : kFormats) {
        for (const ColorData& df : kFormats) {
            for (int trial = 0; trial < 6; ++trial) {
                GraphImage source = MakeImage(sf, 11, 6);
                GraphImage dest = MakeImage(df, 13, 7);
                for (int i = 0; i < source.pitch * source.height; ++i) source.pixels[i] = static_cast<uint8_t>(random());
                for (int i = 0; i < dest.pitch * dest.height; ++i) dest.pixels[i] = static_cast<uint8_t>(random());
                GraphImage before = MakeImage(df, 13, 7);
                std::copy(dest.pixels, dest.pixels + dest.pitch * dest.height, before.pixels);
                const Rect rect{static_cast<int>(random() % 4), static_cast<int>(random() % 3),
                                7 + static_cast<int>(random() % 5), 3 + static_cast<int>(random() % 4)};
                const int dx = static_cast<int>(random() % 3), dy = static_cast<int>(random() % 2);
                const bool mirror = random() & 1, clear = (random() % 4) == 0, red_alpha = (random() % 4) == 0;
                const bool skip = (random() % 3) == 0;
                const uint32_t key = ReadPixelValue(source.pixels + rect.top * source.pitch, rect.left, sf.pixel_byte);
                Convert(dest, source, nullptr, dx, dy, rect, mirror, 0, key, 0, clear, red_alpha, skip);

                const bool skip_applies = skip && !(df.alpha_width != 0 && sf.alpha_width != 0);
                const uint32_t depth_mask = sf.pixel_byte == 4 ? 0xFFFFFFFFu : (1u << (sf.pixel_byte * 8)) - 1;
                for (int y = 0; y < dest.height; ++y) {
                    for (int x = 0; x < dest.width; ++x) {
                        uint32_t want = ReadPixelValue(before.pixels + y * before.pitch, x, df.pixel_byte);
                        const int w = rect.right - rect.left;
                        const int i = x - dx;
                        if (y - dy >= 0 && y - dy < rect.bottom - rect.top && i >= 0 && i < w) {
                            const int sx = rect.left + (mirror ? w - 1 - i : i);
                            const uint32_t v = ReadPixelValue(source.pixels + (rect.top + y - dy) * source.pitch, sx,
                                                              sf.pixel_byte);
                            if (!(skip_applies && (v & depth_mask) == (key & depth_mask))) {
                                want = ReferencePixel(df, sf, v, false, 0, nullptr, clear, red_alpha);
                                if (IsSameColorData(&df, &sf) && !clear && !red_alpha) want = v;
                            }
                        }
                        ASSERT_EQ(ReadPixelValue(dest.pixels + y * dest.pitch, x, df.pixel_byte), want)
                            << "depths " << sf.color_bit_depth << "->" << df.color_bit_depth << " at " << x << ","
                            << y;
                    }
                }
                Release({&source, &dest, &before});
            }
        }
    }
}

TEST(BltColorConvert, LargeSixteenBitSourcesAgreeWithThePlainRule) {
    // Big enough for the converted-value table, every value present.
    constexpr int kW = 256, kH = 260;
    for (const ColorData& sf : kFormats) {
        for (const ColorData& df : kFormats) {
            if (sf.pixel_byte != 2 || df.pixel_byte != 4) continue;
            for (int trial = 0; trial < 4; ++trial) {
                GraphImage source = MakeImage(sf, kW, kH);
                GraphImage dest = MakeImage(df, kW, kH);
                for (int i = 0; i < kW * kH; ++i)
                    WritePixelValue(source.pixels, i, 2, static_cast<uint32_t>(i));
                const bool mirror = trial == 1, skip = trial == 2, clear = trial == 3, red_alpha = trial == 2;
                const uint32_t key = 0x1234;
                Convert(dest, source, nullptr, 0, 0, Rect{0, 0, kW, kH}, mirror, 0, key, 0, clear, red_alpha, skip);
                const bool skip_applies = skip && !(df.alpha_width != 0 && sf.alpha_width != 0);
                for (int i = 0; i < kW * kH; ++i) {
                    const int y = i / kW, x = i % kW;
                    const uint32_t v = static_cast<uint32_t>(y * kW + (mirror ? kW - 1 - x : x));
                    if (skip_applies && v == key) continue;
                    ASSERT_EQ(ReadPixelValue(dest.pixels + y * dest.pitch, x, 4),
                              ReferencePixel(df, sf, v, false, 0, nullptr, clear, red_alpha))
                        << "value " << v << " trial " << trial;
                }
                Release({&source, &dest});
            }
        }
    }
}

TEST(BltColorConvert, SkipTransparentComparesTheSourcePixelWidth) {
    GraphImage rgb = MakeImage(kFormats[4], 2, 1);
    GraphImage x32 = MakeImage(kFormats[5], 2, 1);
    WritePixelValue(rgb.pixels, 0, 3, 0xFE00FE);
    WritePixelValue(rgb.pixels, 1, 3, 0x010203);
    WritePixelValue(x32.pixels, 0, 4, 0x11111111);
    WritePixelValue(x32.pixels, 1, 4, 0x11111111);
    // Bits above 24 of the key do not count for a 24-bit source.
    Convert(x32, rgb, nullptr, 0, 0, Rect{0, 0, 2, 1}, 0, 0, 0xAAFE00FE, 0, 0, 0, 1);
    EXPECT_EQ(ReadPixelValue(x32.pixels, 0, 4), 0x11111111u);
    EXPECT_EQ(ReadPixelValue(x32.pixels, 1, 4), 0xFF010203u);
    // Same format, mirrored: still keyed.
    GraphImage x32b = MakeImage(kFormats[5], 2, 1);
    WritePixelValue(x32b.pixels, 0, 4, 0x5);
    WritePixelValue(x32b.pixels, 1, 4, 0x6);
    Convert(x32, x32b, nullptr, 0, 0, Rect{0, 0, 2, 1}, 1, 0, 0x5, 0, 0, 0, 1);
    EXPECT_EQ(ReadPixelValue(x32.pixels, 0, 4), 0x6u);
    EXPECT_EQ(ReadPixelValue(x32.pixels, 1, 4), 0xFF010203u);
    Release({&rgb, &x32, &x32b});
}

TEST(BltColorConvert, TransparentColourBecomesAlphaZero) {
    GraphImage c565 = MakeImage(kFormats[0], 3, 1);
    GraphImage argb = MakeImage(kFormats[6], 3, 1);
    // (254, 0, 254) keys (255, 0, 255) and (248, 0, 248) too once in 5 bits.
    WritePixelValue(c565.pixels, 0, 2, 0xF81F);
    WritePixelValue(c565.pixels, 1, 2, 0xF01F);
    WritePixelValue(c565.pixels, 2, 2, 0x0000);
    Convert(argb, c565, nullptr, 0, 0, Rect{0, 0, 3, 1}, 0, 1, 0xFE00FE);
    EXPECT_EQ(ReadPixelValue(argb.pixels, 0, 4) >> 24, 0u);
    EXPECT_EQ(ReadPixelValue(argb.pixels, 1, 4) >> 24, 255u);
    EXPECT_EQ(ReadPixelValue(argb.pixels, 2, 4), 0xFF000000u);
    Release({&c565, &argb});
}

TEST(BltColorConvert, AlphaFromAnAlphaImage) {
    GraphImage rgb = MakeImage(kFormats[4], 2, 1);
    GraphImage argb = MakeImage(kFormats[6], 2, 1);
    GraphImage grey;
    CreateGreyPaletteColorData(&grey.color_data);
    ASSERT_EQ(AllocateGraphImagePixels(&grey, 2, 1), 0);
    grey.pixels[0] = 0x40;
    grey.pixels[1] = 0xC0;
    WritePixelValue(rgb.pixels, 0, 3, 0x102030);
    WritePixelValue(rgb.pixels, 1, 3, 0x405060);
    Convert(argb, rgb, &grey, 0, 0, Rect{0, 0, 2, 1});
    EXPECT_EQ(ReadPixelValue(argb.pixels, 0, 4), 0x40102030u);
    EXPECT_EQ(ReadPixelValue(argb.pixels, 1, 4), 0xC0405060u);
    Release({&rgb, &argb, &grey});
}

TEST(BltColorConvert, PalettesAndEightBitDestinations) {
    GraphImage src, dst;
    CreatePaletteColorData(&src.color_data);
    CreatePaletteColorData(&dst.color_data);
    ASSERT_EQ(AllocateGraphImagePixels(&src, 4, 1), 0);
    ASSERT_EQ(AllocateGraphImagePixels(&dst, 4, 1), 0);
    const uint8_t indices[4] = {3, 200, 7, 0};
    std::copy(indices, indices + 4, src.pixels);
    // Same palettes: an index copy reporting the highest index.
    EXPECT_EQ(Convert(dst, src, nullptr, 0, 0, Rect{0, 0, 4, 1}), 200);
    EXPECT_EQ(dst.pixels[1], 200);
    // Different palettes with remapping: the nearest destination entry.
    src.color_data.palette[3] = PaletteEntry{0, 0, 250, 0};
    dst.color_data.palette[9] = PaletteEntry{0, 0, 255, 0};
    EXPECT_EQ(Convert(dst, src, nullptr, 0, 0, Rect{0, 0, 1, 1}, 0, 0, 0, 0, 0, 0, 0, 1), 0);
    EXPECT_EQ(dst.pixels[0], 9);
    // A 16-bit red widened to 8 bits before the palette search.
    GraphImage c565 = MakeImage(kFormats[0], 1, 1);
    WritePixelValue(c565.pixels, 0, 2, 0xF800);
    Convert(dst, c565, nullptr, 0, 0, Rect{0, 0, 1, 1});
    EXPECT_EQ(dst.pixels[0], 9);
    // Palette source into a 32-bit destination.
    GraphImage x32 = MakeImage(kFormats[5], 1, 1);
    Convert(x32, src, nullptr, 0, 0, Rect{0, 0, 1, 1});
    EXPECT_EQ(ReadPixelValue(x32.pixels, 0, 4), 0xFFFA0000u);
    Release({&src, &dst, &c565, &x32});
}

// Dithering keeps the average of a ramp within half a unit of the exact value,
// where plain truncation loses up to a whole unit.
TEST(BltColorConvert, DitheringKeepsTheAverage) {
    for (int mode : {kDitherOrdered, kDitherCarry}) {
        for (int level = 0; level < 256; level += 5) {
            GraphImage x32 = MakeImage(kFormats[5], 16, 4);
            FillGraphImage(&x32, level, level, level, 255);
            GraphImage c565 = MakeImage(kFormats[0], 16, 4);
            Convert(c565, x32, nullptr, 0, 0, Rect{0, 0, 16, 4}, 0, 0, 0, mode);
            double sum = 0;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 16; ++x) sum += (ReadPixelValue(c565.pixels + y * c565.pitch, x, 2) >> 11) & 31;
            const double average = sum / 64.0;
            const double exact = level / 8.0;
            if (level < 248) {
                EXPECT_NEAR(average, exact, 0.5) << "mode " << mode << " level " << level;
            }
            Release({&x32, &c565});
        }
    }
}

}  // namespace
}  // namespace velk
