// Single-pixel values of the plain blit that pin down its weighting rules:
// which weights take part, how each format rounds, and the exact add,
// subtract, halving and alpha rules.

#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "guarded_image.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {
namespace {

using testing::GuardedImage;

struct Draw {
    int format = 1;
    int alpha = 0;          // the source has alpha
    int mode = 0;
    int param = 255;
    int trans = 0;
    int blend_byte = -1;    // -1: no blend image; the graph table maps bytes to themselves
    int bright[3] = {255, 255, 255};
    uint32_t trans_color = 0;
};

// Draws a row of source pixels over a row of destination pixels; returns the
// destination row.
std::vector<uint32_t> DrawRow(const Draw& d, std::vector<uint32_t> source, std::vector<uint32_t> dest) {
    InitMemImgTables();
    BuildBlendGraphTable(128, 255);
    SetMemImgDrawBlendMode(d.mode, d.param);
    SetMemImgDrawBright(d.bright[0], d.bright[1], d.bright[2]);
    SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    const int n = static_cast<int>(source.size());
    GuardedImage src(n, 1, d.format, 0, d.alpha, d.trans_color), dst(n, 1, d.format, 0, 0);
    std::unique_ptr<GuardedImage> blend;
    for (int i = 0; i < n; ++i) {
        src.Set(i, 0, source[static_cast<size_t>(i)]);
        dst.Set(i, 0, dest[static_cast<size_t>(i)]);
    }
    if (d.blend_byte >= 0) {
        blend = std::make_unique<GuardedImage>(n, 1, 2, 0, 0);
        FillMemImg(blend->image(), nullptr, static_cast<uint32_t>(d.blend_byte));
    }
    BltMemImg(dst.image(), src.image(), 0, 0, d.trans, blend ? blend->image() : nullptr);
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(dst.Get(i, 0));
    }
    SetMemImgDrawBlendMode(0, 255);
    SetMemImgDrawBright(255, 255, 255);
    return out;
}

uint32_t RunOne(const Draw& d, uint32_t source, uint32_t dest) { return DrawRow(d, {source}, {dest})[0]; }

uint32_t Green16(int g) { return static_cast<uint32_t>(g << 5); }

TEST(BlitPixelValuesTest, WeightsMultiplyIntoOneProductWithOneShiftEach) {
    Draw graph{.blend_byte = 128};
    EXPECT_EQ(RunOne(graph, 0x00FFFFFF, 0), 0x007F7F7Fu);

    // Alpha 128 with P 100: one product, shifted by 16: 255 x 12800 / 65536.
    Draw alpha{.alpha = 1, .mode = 1, .param = 100, .trans = 1};
    EXPECT_EQ(RunOne(alpha, 0x80FF0000, 0) >> 16 & 0xFF, 49u);
    // Under the transparency flag alpha 255 leaves the product; without the
    // flag it takes part: 255 x 25500 / 65536 is 99 as well, alpha 254 gives 98.
    EXPECT_EQ(RunOne(alpha, 0xFFFF0000, 0) >> 16 & 0xFF, 99u);
    alpha.trans = 0;
    EXPECT_EQ(RunOne(alpha, 0xFFFF0000, 0) >> 16 & 0xFF, 99u);
    EXPECT_EQ(RunOne(alpha, 0xFEFF0000, 0) >> 16 & 0xFF, 98u);

    // Add: P alone goes through the /255 row; with another weight 32-bit folds
    // P into the product.
    Draw add{.mode = 2, .param = 100};
    EXPECT_EQ(RunOne(add, 0x00FF0000, 0x00000000), 0x00640000u);
    add.blend_byte = 255;
    EXPECT_EQ(RunOne(add, 0x00FF0000, 0x00000000), 0x00630000u);
    // 16-bit applies the other weights first and P last through its row.
    Draw add16{.format = 0, .mode = 2, .param = 255, .blend_byte = 128};
    EXPECT_EQ(RunOne(add16, Green16(63), 0), Green16(31));
}

TEST(BlitPixelValuesTest, AlphaRulesOfEachFormat) {
    // 32-bit halving at 128 is the exact average; the X byte of the
    // destination is kept like every alpha draw.
    Draw half{.mode = 1, .param = 128};
    EXPECT_EQ(RunOne(half, 0x00010101, 0xAB010101), 0xAB010101u);
    EXPECT_EQ(RunOne(half, 0x00FF0001, 0x00000003), 0x007F0002u);
    Draw almost{.mode = 1, .param = 127};
    EXPECT_EQ(RunOne(almost, 0x00000001, 0x00000001), 0x00000001u);
    // 16-bit by P alone: the 64-level table with the bright white, MixAlpha16
    // otherwise; at 128 the exact average.
    Draw table{.format = 0, .mode = 1, .param = 200};
    EXPECT_EQ(RunOne(table, Green16(63), 0), Green16(50));
    table.bright[2] = 254;
    EXPECT_EQ(RunOne(table, Green16(63), 0), Green16(49));
    Draw half16{.format = 0, .mode = 1, .param = 128};
    EXPECT_EQ(RunOne(half16, 0xFFFF, 0x0000), 0x7BEFu);
    EXPECT_EQ(RunOne(half16, 0x0821, 0x0821), 0x0821u);
    // Mode 10 at 255 of channel 0 over 0: 32-bit 254, 16-bit exact.
    Draw inverted{.mode = 10, .param = 255};
    EXPECT_EQ(RunOne(inverted, 0, 0), 0x00FEFEFEu);
    inverted.format = 0;
    EXPECT_EQ(RunOne(inverted, 0, 0), 0xFFFFu);
}

TEST(BlitPixelValuesTest, OneAlphaRuleForSourcesWithAlpha) {
    // Without the transparency flag the alpha weights even a plain copy with
    // the bright white and no blend image.
    Draw plain{.alpha = 1};
    EXPECT_EQ(RunOne(plain, 0x80FFFFFF, 0), 0x007F7F7Fu);
    EXPECT_EQ(RunOne(plain, 0x00FFFFFF, 0x11223344), 0x11223344u);
    plain.bright[0] = 254;
    EXPECT_EQ(RunOne(plain, 0x80FFFFFF, 0) & 0xFFFF, 0x7F7Fu);
    // With the flag: alpha 0 skipped, alpha 255 copied whole (its alpha byte
    // too), the rest weighted.
    Draw keyed{.alpha = 1, .trans = 1};
    EXPECT_EQ(RunOne(keyed, 0x00FFFFFF, 0x11223344), 0x11223344u);
    EXPECT_EQ(RunOne(keyed, 0xFF102030, 0x11223344), 0xFF102030u);
    keyed.bright[1] = 0;
    EXPECT_EQ(RunOne(keyed, 0xFF102030, 0x11223344), 0x11100030u);
    // 16-bit sources with alpha: the alpha byte follows the colour word.
    Draw alpha16{.format = 0, .alpha = 1, .trans = 1};
    EXPECT_EQ(RunOne(alpha16, 0x00FFFF, 0x1234), 0x1234u);
    EXPECT_EQ(RunOne(alpha16, 0xFFF81F, 0x1234), 0xF81Fu);
}

TEST(BlitPixelValuesTest, MultiplyIgnoresPAndHonoursTheOtherWeights) {
    Draw black{.mode = 4, .param = 0, .blend_byte = 0};
    EXPECT_EQ(RunOne(black, 0x00FFFFFF, 0x00FFFFFF), 0u);
    Draw keyed{.alpha = 1, .mode = 4, .trans = 1};
    EXPECT_EQ(RunOne(keyed, 0x00FFFFFF, 0x00808080), 0x00808080u);
    EXPECT_EQ(RunOne(keyed, 0x80FFFFFF, 0x00808080), static_cast<uint32_t>((128 * 255 * 128) >> 16) * 0x010101u);
    EXPECT_EQ(RunOne(keyed, 0xFFFFFFFF, 0x00808080), static_cast<uint32_t>((128 * 255) >> 8) * 0x010101u);
    keyed.trans = 0;
    EXPECT_EQ(RunOne(keyed, 0x00FFFFFF, 0x00808080), 0u);
}

TEST(BlitPixelValuesTest, AddAndSubtractAreExactPerPixel) {
    // Full strength over 16-bit rows of pairs and odd tails: adding or
    // subtracting 0 leaves every pixel, and a saturating red never reaches the
    // next pixel.
    Draw add{.format = 0, .mode = 2, .param = 255};
    std::vector<uint32_t> source(19, 0), dest(19, 0x0001);
    source[0] = 0xF800;
    dest[0] = 0xF800;
    const std::vector<uint32_t> added = DrawRow(add, source, dest);
    EXPECT_EQ(added[0], 0xF800u);
    for (size_t i = 1; i < added.size(); ++i) {
        EXPECT_EQ(added[i], 0x0001u) << i;
    }
    Draw sub{.format = 0, .mode = 3, .param = 255};
    const std::vector<uint32_t> subtracted = DrawRow(sub, std::vector<uint32_t>(19, 0), std::vector<uint32_t>(19, 0x0821));
    for (uint32_t v : subtracted) {
        EXPECT_EQ(v, 0x0821u);
    }
    // 32-bit: 1 + 1 = 2, a blue overflow stays in blue, X becomes 0.
    Draw add32{.mode = 2, .param = 255};
    EXPECT_EQ(RunOne(add32, 0x000101C8, 0x77010164), 0x000202FFu);
    Draw sub32{.mode = 3, .param = 255};
    EXPECT_EQ(RunOne(sub32, 0x00000000, 0x55050005), 0x00050005u);
}

TEST(BlitPixelValuesTest, TransparentColourComparesTheStoredValue) {
    // A 32-bit pixel whose colour matches but whose X byte differs is drawn.
    Draw keyed{.trans = 1, .trans_color = 0x00123456};
    EXPECT_EQ(RunOne(keyed, 0x00123456, 0xAA), 0xAAu);
    EXPECT_EQ(RunOne(keyed, 0x01123456, 0xAA), 0x01123456u);
    keyed.trans = 2;  // any non-zero flag
    EXPECT_EQ(RunOne(keyed, 0x00123456, 0xAA), 0xAAu);
    keyed.trans = 0;
    EXPECT_EQ(RunOne(keyed, 0x00123456, 0xAA), 0x00123456u);
}

}  // namespace
}  // namespace velk
