#include "lib/softrender/blend_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace velk {
namespace {

class BlendRulesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitMemImgTables(); }
};

uint32_t Rgb32(int r, int g, int b, int x = 0) {
    return static_cast<uint32_t>(x) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b);
}

uint32_t Rgb16(int r, int g, int b) { return static_cast<uint32_t>(r << 11 | g << 5 | b); }

TEST_F(BlendRulesTest, AddAndSubtractSaturateEachChannelExactly) {
    const int edges[] = {0, 1, 2, 15, 16, 30, 31, 32, 62, 63, 127, 128, 254, 255};
    for (int d : edges) {
        for (int s : edges) {
            const uint32_t D = Rgb32(d, 255 - d, d, 0xA5), S = Rgb32(s, s, 255 - s, 0x5A);
            EXPECT_EQ(AddSaturate32(D, S),
                      Rgb32(std::min(255, d + s), std::min(255, 255 - d + s), std::min(255, d + 255 - s)));
            EXPECT_EQ(SubSaturate32(D, S),
                      Rgb32(std::max(0, d - s), std::max(0, 255 - d - s), std::max(0, d - 255 + s)));
            if (d < 64 && s < 64) {
                const int d5 = d & 31, s5 = s & 31;
                EXPECT_EQ(AddSaturate16(Rgb16(d5, d, s5), Rgb16(s5, s, d5)),
                          Rgb16(std::min(31, d5 + s5), std::min(63, d + s), std::min(31, s5 + d5)));
                EXPECT_EQ(SubSaturate16(Rgb16(d5, d, s5), Rgb16(s5, s, d5)),
                          Rgb16(std::max(0, d5 - s5), std::max(0, d - s), std::max(0, s5 - d5)));
            }
        }
    }
    // Adding or subtracting nothing leaves the colour as it was, in either
    // pixel of a pair; nothing carries into a neighbour channel.
    EXPECT_EQ(AddSaturate32(Rgb32(1, 1, 200), Rgb32(0, 1, 100)), Rgb32(1, 2, 255));
    EXPECT_EQ(SubSaturate32(Rgb32(7, 0, 0), 0), Rgb32(7, 0, 0));
    EXPECT_EQ(SubSaturate16(Rgb16(0, 11, 1), Rgb16(0, 2, 0)), Rgb16(0, 9, 1));
    EXPECT_EQ(AddSaturate16(Rgb16(0, 40, 31), Rgb16(0, 40, 1)), Rgb16(0, 63, 31));
    EXPECT_EQ(SubSaturate16(0, 0), 0u);
}

TEST_F(BlendRulesTest, AlphaMixesRoundAsEachFormatDefines) {
    EXPECT_EQ(MixAlpha32(0, 255, 128), 127);  // the shift divides by 256
    EXPECT_EQ(MixAlpha32(255, 0, 128), 127);
    EXPECT_EQ(MixAlpha16(0, 63, 128), 31);    // 63 x 128 / 255 = 31.6, toward zero
    EXPECT_EQ(MixAlpha16(63, 0, 128), 32);
    EXPECT_EQ(MixAlpha16(0, 63, 200), 49);
    for (int d = 0; d < 256; d += 5) {
        for (int s = 0; s < 256; s += 3) {
            for (int w : {0, 1, 100, 254, 255}) {
                ASSERT_EQ(MixAlpha32(d, s, w), (d * (256 - w) + s * w) / 256);
            }
        }
    }
    // Three weights: d x 2^24 + (s - d) x K stays within 32 bits unsigned.
    EXPECT_EQ(MixWeighted(255, 0, 255u * 255u * 255u, 24), (255LL * 16777216 - 255LL * 16581375) >> 24);
    EXPECT_EQ(MixWeighted(0, 255, 255u * 255u * 255u, 24), (255LL * 16581375) >> 24);
}

TEST_F(BlendRulesTest, FlatColourBrightUsesTheDivideBy255Table) {
    const BrightRows white = MakeBrightRows(255, 255, 255);
    EXPECT_EQ(ScaleColorByBright<Xrgb8888>(0xAB123456, white), 0xAB123456u);
    const BrightRows almost = MakeBrightRows(255, 255, 254);
    EXPECT_EQ(ScaleColorByBright<Xrgb8888>(Rgb32(255, 255, 255, 9), almost), Rgb32(255, 255, 254, 9));
    EXPECT_EQ(ScaleColorByBright<Rgb565>(Rgb16(31, 63, 31), almost), Rgb16(31, 63, 30));
    const BrightRows half = MakeBrightRows(128, 0, 255);
    EXPECT_EQ(ScaleColorByBright<Rgb565>(Rgb16(31, 63, 31), half), Rgb16(15, 0, 31));
}

TEST_F(BlendRulesTest, ModesOnOnePixel) {
    const BlendParam p128 = MakeBlendParam(128);
    const BlendParam p255 = MakeBlendParam(255);
    const BlendParam p100 = MakeBlendParam(100);
    const BlendParam p200 = MakeBlendParam(200);
    // Mode 10 at P = 255 of an inverted 0 over 0: 32-bit rounds by the shift,
    // 16-bit through the /255 table.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeInvertedAlpha, 0>(0, InvertChannels<Xrgb8888>({0, 0, 0}), 1, p255)),
              Rgb32(254, 254, 254));
    EXPECT_EQ((BlendPixel<Rgb565, kBlendModeInvertedAlpha, 0>(0, InvertChannels<Rgb565>({0, 0, 0}), 1, p255)),
              Rgb16(31, 63, 31));
    // Multiply darkens by the shift: 255 x 255 >> 8 = 254; 63 x 63 >> 6 = 62.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeMultiply, 0>(Rgb32(255, 255, 255, 7), {255, 255, 255}, 1, p128)),
              Rgb32(254, 254, 254, 7));
    EXPECT_EQ((BlendPixel<Rgb565, kBlendModeMultiply, 0>(Rgb16(31, 63, 31), {31, 63, 31}, 1, p128)),
              Rgb16(30, 62, 30));
    // Add through the P row, then exact saturation, X cleared.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeAdd, 0>(Rgb32(200, 0, 0, 3), {255, 255, 0}, 1, p100)),
              Rgb32(255, 100, 0));
    // With a weight, 32-bit folds P into the product: 255 x 255 x 100 >> 16 = 99.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeAdd, 1>(0, {255, 0, 0}, 255, p100)), Rgb32(99, 0, 0));
    // 16-bit applies the weights first and P last through its row.
    EXPECT_EQ((BlendPixel<Rgb565, kBlendModeAdd, 1>(0, {0, 63, 0}, 128, p255)), Rgb16(0, 31, 0));
    // 16-bit alpha rules.
    EXPECT_EQ((BlendPixel<Rgb565, kBlendModeAlpha, 0, Alpha16Rule::kLerpTable6>(0, {0, 63, 0}, 1, p200)),
              Rgb16(0, 50, 0));
    EXPECT_EQ((BlendPixel<Rgb565, kBlendModeAlpha, 0>(0, {0, 63, 0}, 1, p200)), Rgb16(0, 49, 0));
    EXPECT_EQ((BlendPixel<Rgb565, kBlendModeAlpha, 0, Alpha16Rule::kHalving>(Rgb16(1, 1, 1), {2, 2, 2}, 1, p128)),
              Rgb16(1, 1, 1));
    // Alpha keeps the destination's X byte.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeAlpha, 0>(Rgb32(0, 0, 0, 0x44), {255, 255, 255}, 1, p128)),
              Rgb32(127, 127, 127, 0x44));
    // Two weights and P: 100 x 128 x 255 over 2^24.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeAlpha, 2>(0, {255, 0, 0}, 128u * 255u, p100)),
              Rgb32(255 * 100 * 128 * 255 / 16777216, 0, 0));
    // Multiply then alpha.
    EXPECT_EQ((BlendPixel<Xrgb8888, kBlendModeMultiplyAlpha, 0>(Rgb32(200, 0, 0), {128, 0, 0}, 1, p128)),
              Rgb32(MixAlpha32(200, 200 * 128 >> 8, 128), 0, 0));
}

TEST_F(BlendRulesTest, ResolvedModesFollowTheParameterShortcuts) {
    EXPECT_EQ(ResolveBlendMode(1, 255), 0);
    EXPECT_EQ(ResolveBlendMode(1, 0), -1);
    EXPECT_EQ(ResolveBlendMode(2, 0), -1);
    EXPECT_EQ(ResolveBlendMode(3, 0), -1);
    EXPECT_EQ(ResolveBlendMode(3, 1), 3);
    EXPECT_EQ(ResolveBlendMode(4, 0), 4);
    EXPECT_EQ(ResolveBlendMode(10, 0), 10);
    EXPECT_EQ(ResolveBlendMode(11, 255), 11);
    for (int mode : {-1, 5, 6, 7, 8, 9, 12, 1000}) {
        EXPECT_EQ(ResolveBlendMode(mode, 128), -1) << mode;
    }
}

}  // namespace
}  // namespace velk
