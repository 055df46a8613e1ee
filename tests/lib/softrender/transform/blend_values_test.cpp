// Single pixels with known answers: the worked values of the blend modes,
// drawn through the transformed fills and through the reference model, so a
// fault shared by both would still show. Where the project's decisions change
// a value (exact add and subtract, nothing drawn at parameter 0, alpha 0 kept
// by every mode under transparency), the sound value is the one tested. Only
// the values that the fills' own reading of texels, keys and weights decides
// are here; the arithmetic shared with the blits is pinned down in
// tests/lib/softrender/blit_pixel_values_test.cpp.
#include <gtest/gtest.h>

#include "lib/softrender/memimg_draw.h"
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

struct Case {
    const char* what;
    OnePixel pixel;
    uint32_t want;
    uint32_t mask = 0xFFFFFFFF;
};

TEST(BlendValuesTest, WorkedValuesOfEveryMode) {
    constexpr int k16 = kMemImgFormat16;
    const uint32_t grey128 = Rgb(128, 128, 128), grey200 = Rgb(200, 200, 200), white = Rgb(255, 255, 255);
    const Case cases[] = {
        // Multiply then alpha.
        {"multiply-alpha 128", {.texel = grey128, .dest = grey200, .mode = 11, .param = 128}, Rgb(150, 150, 150)},
        {"multiply-alpha 255 is the product", {.texel = grey128, .dest = grey200, .mode = 11}, Rgb(100, 100, 100)},
        {"multiply-alpha opaque keyed", {.alpha_flag = 1, .texel = 0xFF000000, .dest = white, .mode = 11, .trans = 1},
         0},
        {"multiply-alpha alpha 255 weighs", {.alpha_flag = 1, .texel = 0xFF000000, .dest = white, .mode = 11},
         Rgb(1, 1, 1)},
        {"multiply-alpha two weights",
         {.alpha_flag = 1, .texel = 0xFF000000, .dest = white, .mode = 11, .blend_weight = 255}, Rgb(2, 2, 2)},
        {"multiply-alpha 16-bit", {.format = k16, .texel = Rgb565(0, 63, 0), .dest = Rgb565(0, 63, 0), .mode = 11},
         Rgb565(0, 62, 0)},
        {"multiply-alpha 16-bit 128",
         {.format = k16, .texel = Rgb565(0, 63, 0), .dest = Rgb565(0, 63, 0), .mode = 11, .param = 128},
         Rgb565(0, 63, 0)},
        // Alpha rounds down on 32-bit and toward zero on 16-bit.
        {"alpha 16-bit truncates", {.format = k16, .texel = 0, .dest = Rgb565(1, 1, 1), .mode = 1, .param = 1},
         Rgb565(1, 1, 1)},
        {"parameter 0 draws nothing", {.texel = 0xAA405060, .dest = 0x7F102030, .mode = 1, .param = 0}, 0x7F102030},
        // Copy with weights and bright.
        {"copy keeps the fourth byte", {.texel = white, .dest = 0x77000000, .blend_weight = 255},
         0x77000000u | Rgb(254, 254, 254)},
        {"copy two weights", {.alpha_flag = 1, .texel = 0xFFFFFFFF, .dest = 0x77000000, .blend_weight = 255},
         0x77000000u | Rgb(253, 253, 253)},
        {"copy keyed alpha 255 drops out",
         {.alpha_flag = 1, .texel = 0xFFFFFFFF, .dest = 0x77000000, .trans = 1, .blend_weight = 255},
         0x77000000u | Rgb(254, 254, 254)},
        {"bright 128 16-bit", {.format = k16, .texel = Rgb565(31, 63, 31), .red = 128, .green = 128, .blue = 128},
         Rgb565(15, 31, 15)},
        // Transparent colour and palette index.
        {"key differs in the fourth byte", {.texel = 0x01405060, .dest = 0x11223344, .trans = 1,
                                            .trans_color = 0x00405060}, 0x01405060},
        {"paletted key is the index", {.palette_flag = 1, .texel = 0x00405060, .dest = 0x11223344, .trans = 1,
                                       .trans_color = 3}, 0x11223344},
        {"paletted other index", {.palette_flag = 1, .texel = 0x00405060, .dest = 0x11223344, .trans = 1,
                                  .trans_color = 4}, 0x00405060},
        {"16-bit key above 0xFFFF never matches", {.format = k16, .texel = 0x1234, .trans = 1, .trans_color = 0x11234},
         0x1234},
        // Inverted alpha.
        {"inverted 16-bit exact", {.format = k16, .texel = 0xFFFF, .dest = 0x1234, .mode = 10}, 0},
        {"inverted 16-bit 128", {.format = k16, .texel = Rgb565(0, 58, 0), .dest = Rgb565(0, 10, 0), .mode = 10,
                                 .param = 128}, Rgb565(15, 8, 15)},  // green: trunc(-5 x 128 / 255) = -2
        {"inverted 16-bit alpha 128", {.format = k16, .alpha_flag = 1, .texel = Rgb565(0, 58, 0) | 128u << 16,
                                       .dest = Rgb565(0, 10, 0), .mode = 10}, Rgb565(0, 7, 0), 0x7E0},
        // Multiply.
        {"multiply two weights",
         {.alpha_flag = 1, .texel = 0xFFFFFFFF, .dest = 0x66FFFFFF, .mode = 4, .blend_weight = 255},
         0x66000000u | Rgb(252, 252, 252)},
        {"multiply keyed alpha 255 drops out",
         {.alpha_flag = 1, .texel = 0xFFFFFFFF, .dest = 0x66FFFFFF, .mode = 4, .trans = 1, .blend_weight = 255},
         0x66000000u | Rgb(253, 253, 253)},
        {"multiply keyed alpha 0 skipped", {.alpha_flag = 1, .texel = 0x00FFFFFF, .dest = 0x66FFFFFF, .mode = 4,
                                            .trans = 1}, 0x66FFFFFF},
        {"multiply 16-bit", {.format = k16, .texel = 0xFFFF, .dest = 0xFFFF, .mode = 4}, Rgb565(30, 62, 30)},
        // Add and subtract saturate each channel exactly.
        {"add weighted saturates", {.texel = Rgb(255, 1, 0), .dest = 0x55000000u | Rgb(200, 1, 255), .mode = 2,
                                    .blend_weight = 255}, Rgb(255, 0, 0), 0xFF0000},
        {"add weighted", {.texel = Rgb(255, 255, 1), .dest = 0, .mode = 2, .blend_weight = 255}, Rgb(253, 253, 0)},
        {"add 16-bit alpha", {.format = k16, .alpha_flag = 1, .texel = Rgb565(31, 0, 0) | 254u << 16, .mode = 2,
                              .trans = 1}, Rgb565(30, 0, 0)},
        {"subtract parameter 0", {.palette_flag = 1, .texel = Rgb(64, 64, 64), .dest = Rgb(128, 128, 128), .mode = 3,
                                  .param = 0}, Rgb(128, 128, 128)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Draw(c.pixel) & c.mask, c.want);
    }
}

// A graph made from a palette image carries the key 0xFFFF, wider than an
// index: it keys no index, whether the graph is blitted or turned. A key
// within the index range keys its index in both.
TEST(BlendValuesTest, PalettedKeyActsAlikeInBlitAndRotatedDraw) {
    for (const int format : {kMemImgFormat32, kMemImgFormat16}) {
        for (const uint32_t key : {0xFFFFu, 0xFFu, 0x1FFu}) {
            SCOPED_TRACE(::testing::Message() << "format " << format << " key " << key);
            ResetSoftwareDrawState();
            GuardedImage source(4, 4, format, 1, 0);
            for (int i = 0; i < 256; ++i) {
                source.base().palette[i] = format == kMemImgFormat16 ? 0x1000u + i : 0x00100000u + i;
            }
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 4; ++x) source.Set(x, y, (x + y) % 2 == 0 ? 255 : x + 4 * y);
            }
            source.base().trans_color = key;
            const uint32_t background = format == kMemImgFormat16 ? 0x0042u : 0x00000042u;
            GuardedImage blitted(4, 4, format), turned(4, 4, format);
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 4; ++x) blitted.Set(x, y, background), turned.Set(x, y, background);
            }
            BltMemImg(blitted.view(), source.view(), 0, 0, 1, nullptr);
            DrawMemImgRotated(turned.view(), source.view(), 2, 2, 0.0f, 1.0f, 1, 0, nullptr);
            const bool index_255_keyed = key == 0xFF;
            EXPECT_EQ(blitted.Get(0, 0), index_255_keyed ? background : source.base().palette[255]);
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 4; ++x) EXPECT_EQ(turned.Get(x, y), blitted.Get(x, y)) << x << ", " << y;
            }
        }
    }
}

}  // namespace
}  // namespace velk::testing
