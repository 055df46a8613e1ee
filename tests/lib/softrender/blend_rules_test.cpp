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
    // Three weights: d x 2^24 + (s - d) x K stays within 32 bits unsigned.
    EXPECT_EQ(MixWeighted(255, 0, 255u * 255u * 255u, 24), (255LL * 16777216 - 255LL * 16581375) >> 24);
    EXPECT_EQ(MixWeighted(0, 255, 255u * 255u * 255u, 24), (255LL * 16581375) >> 24);
}

}  // namespace
}  // namespace velk
