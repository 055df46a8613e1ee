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

struct Case {
    const char* what;
    Draw draw;
    uint32_t source, dest, want;
    uint32_t mask = 0xFFFFFFFF;
};

TEST(BlitPixelValuesTest, WorkedValuesOfTheWeightingRules) {
    const uint32_t red = 0xFF0000;
    const Case cases[] = {
        // Weights multiply into one product with one shift each.
        {"graph weight 128", {.blend_byte = 128}, 0x00FFFFFF, 0, 0x007F7F7F},
        {"alpha 128 and P 100: 255 x 12800 / 65536",
         {.alpha = 1, .mode = 1, .param = 100, .trans = 1}, 0x80FF0000, 0, 49u << 16, red},
        {"keyed alpha 255 leaves the product", {.alpha = 1, .mode = 1, .param = 100, .trans = 1}, 0xFFFF0000, 0,
         99u << 16, red},
        {"unkeyed alpha 254 takes part", {.alpha = 1, .mode = 1, .param = 100}, 0xFEFF0000, 0, 98u << 16, red},
        {"add, P alone through the /255 row", {.mode = 2, .param = 100}, 0x00FF0000, 0, 0x00640000},
        {"add, 32-bit folds P into the product", {.mode = 2, .param = 100, .blend_byte = 255}, 0x00FF0000, 0,
         0x00630000},
        {"add, 16-bit applies P last", {.format = 0, .mode = 2, .param = 255, .blend_byte = 128}, Green16(63), 0,
         Green16(31)},
        // Alpha rules of each format.
        {"32-bit halving keeps X", {.mode = 1, .param = 128}, 0x00010101, 0xAB010101, 0xAB010101},
        {"32-bit halving is the average", {.mode = 1, .param = 128}, 0x00FF0001, 0x00000003, 0x007F0002},
        {"32-bit 127", {.mode = 1, .param = 127}, 1, 1, 1},
        {"16-bit 64-level table", {.format = 0, .mode = 1, .param = 200}, Green16(63), 0, Green16(50)},
        {"16-bit MixAlpha16 with a bright", {.format = 0, .mode = 1, .param = 200, .bright = {255, 255, 254}},
         Green16(63), 0, Green16(49)},
        {"16-bit halving", {.format = 0, .mode = 1, .param = 128}, 0xFFFF, 0x0000, 0x7BEF},
        {"16-bit halving of equals", {.format = 0, .mode = 1, .param = 128}, 0x0821, 0x0821, 0x0821},
        {"inverted 0 over 0", {.mode = 10}, 0, 0, 0x00FEFEFE},
        {"inverted 0 over 0, 16-bit", {.format = 0, .mode = 10}, 0, 0, 0xFFFF},
        // One alpha rule for sources with alpha: unkeyed, the alpha weights even
        // a plain copy; keyed, alpha 0 is skipped and 255 copied whole.
        {"unkeyed alpha weighs a copy", {.alpha = 1}, 0x80FFFFFF, 0, 0x007F7F7F},
        {"unkeyed alpha 0", {.alpha = 1}, 0x00FFFFFF, 0x11223344, 0x11223344},
        {"unkeyed alpha with a bright", {.alpha = 1, .bright = {254, 255, 255}}, 0x80FFFFFF, 0, 0x7F7F, 0xFFFF},
        {"keyed alpha 0", {.alpha = 1, .trans = 1}, 0x00FFFFFF, 0x11223344, 0x11223344},
        {"keyed alpha 255 copies its alpha byte", {.alpha = 1, .trans = 1}, 0xFF102030, 0x11223344, 0xFF102030},
        {"keyed alpha 255 with a bright", {.alpha = 1, .trans = 1, .bright = {255, 0, 255}}, 0xFF102030,
         0x11223344, 0x11100030},
        {"16-bit keyed alpha 0", {.format = 0, .alpha = 1, .trans = 1}, 0x00FFFF, 0x1234, 0x1234},
        {"16-bit keyed alpha 255", {.format = 0, .alpha = 1, .trans = 1}, 0xFFF81F, 0x1234, 0xF81F},
        // Multiply ignores P and honours the other weights.
        {"multiply graph weight 0", {.mode = 4, .param = 0, .blend_byte = 0}, 0x00FFFFFF, 0x00FFFFFF, 0},
        {"multiply keyed alpha 0", {.alpha = 1, .mode = 4, .trans = 1}, 0x00FFFFFF, 0x00808080, 0x00808080},
        {"multiply keyed alpha 128", {.alpha = 1, .mode = 4, .trans = 1}, 0x80FFFFFF, 0x00808080,
         static_cast<uint32_t>((128 * 255 * 128) >> 16) * 0x010101u},
        {"multiply keyed alpha 255", {.alpha = 1, .mode = 4, .trans = 1}, 0xFFFFFFFF, 0x00808080,
         static_cast<uint32_t>((128 * 255) >> 8) * 0x010101u},
        {"multiply unkeyed alpha 0", {.alpha = 1, .mode = 4}, 0x00FFFFFF, 0x00808080, 0},
        // 32-bit add and subtract: 1 + 1 = 2, a blue overflow stays in blue, X becomes 0.
        {"add exact", {.mode = 2}, 0x000101C8, 0x77010164, 0x000202FF},
        {"subtract exact", {.mode = 3}, 0, 0x55050005, 0x00050005},
        // The transparent colour compares the stored value: a matching colour
        // with another X byte is drawn; any non-zero flag keys.
        {"key", {.trans = 1, .trans_color = 0x00123456}, 0x00123456, 0xAA, 0xAA},
        {"key with another X", {.trans = 1, .trans_color = 0x00123456}, 0x01123456, 0xAA, 0x01123456},
        {"flag 2 keys", {.trans = 2, .trans_color = 0x00123456}, 0x00123456, 0xAA, 0xAA},
        {"unkeyed", {.trans_color = 0x00123456}, 0x00123456, 0xAA, 0x00123456},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunOne(c.draw, c.source, c.dest) & c.mask, c.want) << c.what;
    }
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

}  // namespace
}  // namespace velk
