// Single pixels with known answers: the worked values of the blend modes,
// drawn through the transformed fills and through the reference model, so a
// fault shared by both would still show. Where the project's decisions change
// a value (exact add and subtract, nothing drawn at parameter 0, alpha 0 kept
// by every mode under transparency), the sound value is the one tested.
#include <gtest/gtest.h>

#include "lib/softrender/transform/transformed_fill.h"
#include "tests/lib/softrender/transform/fill_test_support.h"
#include "tests/lib/softrender/transform/reference_fill.h"

namespace velk::testing {
namespace {

constexpr int kNoBlend = -1;

struct OnePixel {
    int format = kMemImgFormat32;
    int alpha_flag = 0;
    int palette_flag = 0;
    uint32_t texel = 0;  // raw texel: 32-bit word, 16-bit word (alpha in bits 16-23), or palette entry
    uint32_t dest = 0;
    int mode = 0;
    int param = 255;
    int red = 255, green = 255, blue = 255;
    int trans = 0;
    uint32_t trans_color = 0x12345678;
    int blend_weight = kNoBlend;
};

// The destination pixel after drawing the one-texel source onto it, by the
// rotated frame (angle 0) and by the four-corner frame; both must agree with
// each other and with the reference.
uint32_t Draw(const OnePixel& c) {
    ResetSoftwareDrawState();
    DrawState state;
    state.mode = c.mode;
    state.param = c.param;
    state.red = c.red, state.green = c.green, state.blue = c.blue;
    state.Apply();
    GuardedImage source(1, 1, c.format, c.palette_flag, c.alpha_flag);
    if (c.palette_flag) {
        source.Set(0, 0, 3);
        source.base().palette[3] = c.texel;
    } else {
        source.Set(0, 0, c.texel);
    }
    source.base().trans_color = c.trans_color;
    GuardedImage blend(1, 1, kMemImgFormat8);
    BuildBlendGraphTable(128, 255);  // weight = the blend byte
    blend.Set(0, 0, static_cast<uint32_t>(c.blend_weight));
    const MEMIMG* blend_view = c.blend_weight == kNoBlend ? nullptr : blend.view();

    uint32_t results[3];
    for (int frame = 0; frame < 3; ++frame) {
        GuardedImage dest(1, 1, c.format);
        dest.Set(0, 0, c.dest);
        if (frame == 0) {
            DrawMemImgRotated(dest.view(), source.view(), 0, 0, 0.0f, 1.0f, c.trans, 0, blend_view);
        } else if (frame == 1) {
            const int32_t corners[8] = {0, 0, 1, 0, 0, 1, 1, 1};
            DrawMemImgQuad(dest.view(), source.view(), corners, c.trans, blend_view);
        } else {
            ReferenceRotated(dest.view(), source.view(), 0, 0, 0.0f, 1.0f, c.trans, 0, blend_view);
        }
        results[frame] = dest.Get(0, 0);
    }
    EXPECT_EQ(results[0], results[1]) << "rotated and four-corner frames differ";
    EXPECT_EQ(results[0], results[2]) << "fill and reference differ";
    return results[0];
}

uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }
uint32_t Rgb565(int r, int g, int b) { return static_cast<uint32_t>(r << 11 | g << 5 | b); }

TEST(BlendValuesTest, MultiplyThenAlpha) {
    OnePixel c;
    c.mode = 11;
    c.param = 128, c.texel = Rgb(128, 128, 128), c.dest = Rgb(200, 200, 200);
    EXPECT_EQ(Draw(c), Rgb(150, 150, 150));
    c.param = 1, c.texel = Rgb(254, 254, 254);
    EXPECT_EQ(Draw(c), Rgb(199, 199, 199));  // the floor lowers by one step
    c.param = 255, c.texel = Rgb(128, 128, 128);
    EXPECT_EQ(Draw(c), Rgb(100, 100, 100));  // exactly the product at 255
    // Alpha source: opaque texel 0 over 255 at P = 255.
    c.alpha_flag = 1, c.texel = 0xFF000000, c.dest = Rgb(255, 255, 255);
    c.trans = 1;
    EXPECT_EQ(Draw(c), 0u);
    c.trans = 0;
    EXPECT_EQ(Draw(c), Rgb(1, 1, 1));
    c.blend_weight = 255;
    EXPECT_EQ(Draw(c), Rgb(2, 2, 2));
    c.trans = 1;
    EXPECT_EQ(Draw(c), Rgb(1, 1, 1));
    // 16-bit: green 63 over 63 multiplies to 62; P = 128 leaves it 63.
    OnePixel w;
    w.format = kMemImgFormat16, w.mode = 11, w.texel = Rgb565(0, 63, 0), w.dest = Rgb565(0, 63, 0);
    EXPECT_EQ(Draw(w), Rgb565(0, 62, 0));
    w.param = 128;
    EXPECT_EQ(Draw(w), Rgb565(0, 63, 0));
}

TEST(BlendValuesTest, AlphaRoundsDownOn32BitAndTowardZeroOn16Bit) {
    OnePixel c;
    c.mode = 1, c.param = 1, c.texel = 0, c.dest = Rgb(1, 1, 1);
    EXPECT_EQ(Draw(c), 0u);
    OnePixel w = c;
    w.format = kMemImgFormat16, w.dest = Rgb565(1, 1, 1);
    EXPECT_EQ(Draw(w), Rgb565(1, 1, 1));
    c.param = 254, c.texel = Rgb(255, 255, 255), c.dest = 0;
    EXPECT_EQ(Draw(c), Rgb(253, 253, 253));
    c.alpha_flag = 1, c.texel = 0xFFFFFFFF, c.trans = 1;
    EXPECT_EQ(Draw(c), Rgb(253, 253, 253));  // alpha 255 under transparency: as opaque
    c.trans = 0;
    EXPECT_EQ(Draw(c), Rgb(252, 252, 252));  // weight 255 x 254
    c = OnePixel{};
    c.mode = 1, c.param = 254, c.texel = 0, c.dest = Rgb(255, 255, 255);
    EXPECT_EQ(Draw(c), Rgb(1, 1, 1));
    // Parameter 0 draws nothing; 255 is the copy, fourth byte and all.
    c.param = 0, c.dest = 0x7F102030, c.texel = 0xAA405060;
    EXPECT_EQ(Draw(c), 0x7F102030u);
    c.param = 255;
    EXPECT_EQ(Draw(c), 0xAA405060u);
}

TEST(BlendValuesTest, CopyWeightsAndBright) {
    OnePixel c;
    c.texel = Rgb(255, 255, 255), c.dest = 0x77000000, c.blend_weight = 255;
    EXPECT_EQ(Draw(c), 0x77000000u | Rgb(254, 254, 254));  // the fourth byte kept
    c.alpha_flag = 1, c.texel = 0xFFFFFFFF;
    EXPECT_EQ(Draw(c), 0x77000000u | Rgb(253, 253, 253));
    c.trans = 1;
    EXPECT_EQ(Draw(c), 0x77000000u | Rgb(254, 254, 254));
    // Alpha 255 under transparency without weights copies all four bytes;
    // without transparency the alpha weighs: 255 over black gives 254.
    c.blend_weight = kNoBlend;
    EXPECT_EQ(Draw(c), 0xFFFFFFFFu);
    c.trans = 0;
    EXPECT_EQ(Draw(c), 0x77000000u | Rgb(254, 254, 254));
    // Alpha 0: unchanged either way.
    c.texel = 0x00FFFFFF;
    EXPECT_EQ(Draw(c), 0x77000000u);
    c.trans = 1;
    EXPECT_EQ(Draw(c), 0x77000000u);
    // Bright 128: 200 becomes 100; 16-bit 31 becomes 15 and 63 becomes 31.
    c = OnePixel{};
    c.red = c.green = c.blue = 128, c.texel = Rgb(200, 200, 200);
    EXPECT_EQ(Draw(c), Rgb(100, 100, 100));
    c.format = kMemImgFormat16, c.texel = Rgb565(31, 63, 31);
    EXPECT_EQ(Draw(c), Rgb565(15, 31, 15));
}

TEST(BlendValuesTest, TransparentColourAndPaletteIndex) {
    OnePixel c;
    c.trans = 1, c.trans_color = 0x00405060, c.texel = 0x00405060, c.dest = 0x11223344;
    EXPECT_EQ(Draw(c), 0x11223344u);
    c.texel = 0x01405060;  // the fourth byte differs: drawn
    EXPECT_EQ(Draw(c), 0x01405060u);
    c.trans = 0, c.texel = 0x00405060;
    EXPECT_EQ(Draw(c), 0x00405060u);
    // A paletted source compares the index (3), not the colour.
    c.palette_flag = 1, c.trans = 1, c.trans_color = 3;
    EXPECT_EQ(Draw(c), 0x11223344u);
    c.trans_color = 4;
    EXPECT_EQ(Draw(c), 0x00405060u);
    OnePixel w;
    w.format = kMemImgFormat16, w.trans = 1, w.trans_color = 0x10000 | 0x1234, w.texel = 0x1234, w.dest = 0;
    EXPECT_EQ(Draw(w), 0x1234u);  // a colour above 0xFFFF never matches
}

TEST(BlendValuesTest, InvertedAlpha) {
    OnePixel c;
    c.mode = 10, c.texel = 0, c.dest = 0;
    EXPECT_EQ(Draw(c), Rgb(254, 254, 254));
    c.texel = Rgb(255, 255, 255), c.dest = Rgb(255, 255, 255);
    EXPECT_EQ(Draw(c), 0u);
    OnePixel w;
    w.format = kMemImgFormat16, w.mode = 10, w.texel = 0xFFFF, w.dest = 0x1234;
    EXPECT_EQ(Draw(w), 0u);  // exactly the inverse at P = 255
    w.param = 128, w.texel = Rgb565(0, 63 - 5, 0), w.dest = Rgb565(0, 10, 0);
    EXPECT_EQ(Draw(w), Rgb565(15, 8, 15));  // green: trunc(-5 x 128 / 255) = -2
    w.alpha_flag = 1, w.param = 255, w.texel = Rgb565(0, 63 - 5, 0) | 128u << 16;
    EXPECT_EQ(Draw(w) & 0x7E0, Rgb565(0, 7, 0));  // floor(-5 x 128 x 255 / 65536) = -3
}

TEST(BlendValuesTest, Multiply) {
    OnePixel c;
    c.mode = 4, c.texel = Rgb(255, 255, 255), c.dest = 0x66FFFFFF;
    EXPECT_EQ(Draw(c), 0x66000000u | Rgb(254, 254, 254));
    c.alpha_flag = 1, c.texel = 0xFFFFFFFF;
    EXPECT_EQ(Draw(c), 0x66000000u | Rgb(253, 253, 253));
    c.blend_weight = 255;
    EXPECT_EQ(Draw(c), 0x66000000u | Rgb(252, 252, 252));
    c.trans = 1;
    EXPECT_EQ(Draw(c), 0x66000000u | Rgb(253, 253, 253));  // alpha 255 drops out
    // Alpha 0: black without transparency, unchanged with it.
    c.blend_weight = kNoBlend, c.texel = 0x00FFFFFF;
    EXPECT_EQ(Draw(c), 0x66FFFFFFu);
    c.trans = 0;
    EXPECT_EQ(Draw(c), 0x66000000u);
    OnePixel w;
    w.format = kMemImgFormat16, w.mode = 4, w.texel = 0xFFFF, w.dest = 0xFFFF;
    EXPECT_EQ(Draw(w), Rgb565(30, 62, 30));
}

TEST(BlendValuesTest, AddAndSubtractSaturateEachChannelExactly) {
    OnePixel c;
    c.mode = 2, c.texel = Rgb(100, 1, 0), c.dest = 0x55000000u | Rgb(200, 1, 255);
    EXPECT_EQ(Draw(c), Rgb(255, 2, 255));  // the unused byte becomes 0
    c.texel = Rgb(255, 1, 0), c.blend_weight = 255;
    EXPECT_EQ(Draw(c) & 0xFF0000, Rgb(255, 0, 0));
    c.dest = 0, c.texel = Rgb(255, 255, 1);
    EXPECT_EQ(Draw(c), Rgb(253, 253, 0));
    OnePixel w;
    w.format = kMemImgFormat16, w.mode = 2, w.alpha_flag = 1, w.trans = 1, w.texel = Rgb565(31, 0, 0) | 254u << 16;
    EXPECT_EQ(Draw(w), Rgb565(30, 0, 0));
    // Subtracting black leaves every pixel as it was.
    OnePixel s;
    s.mode = 3, s.texel = 0, s.dest = Rgb(0, 0, 0);
    EXPECT_EQ(Draw(s), 0u);
    s.format = kMemImgFormat16, s.dest = 0xFFFF;
    EXPECT_EQ(Draw(s), 0xFFFFu);
    s.format = kMemImgFormat32, s.texel = Rgb(64, 64, 64), s.dest = Rgb(128, 128, 128);
    EXPECT_EQ(Draw(s), Rgb(64, 64, 64));
    // Parameter 0 draws nothing, paletted sources included.
    s.param = 0, s.palette_flag = 1;
    EXPECT_EQ(Draw(s), Rgb(128, 128, 128));
    s.mode = 2;
    EXPECT_EQ(Draw(s), Rgb(128, 128, 128));
}

}  // namespace
}  // namespace velk::testing
