#include "lib/softrender/blend_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velk {
namespace {

class BlendTablesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitMemImgTables(); }
};

TEST_F(BlendTablesTest, SignedTableMatchesItsFormulaAndRoundsTowardZero) {
    for (int k = 0; k < 256; ++k) {
        for (int j = 0; j <= 510; ++j) {
            const double exact = k * (j - 255) / 255.0;
            ASSERT_EQ(SignedMulDiv255Table[k][j], static_cast<int>(std::trunc(exact))) << k << "," << j;
        }
        ASSERT_EQ(SignedMulDiv255Table[k][511], 0);
        ASSERT_EQ(SignedMulDiv255Table[k][255], 0);
    }
    EXPECT_EQ(SignedMulDiv255(1, -255), -1);
    EXPECT_EQ(SignedMulDiv255(1, 255), 1);
    EXPECT_EQ(SignedMulDiv255(100, -3), -1);  // toward zero, not -2
}

TEST_F(BlendTablesTest, BlendGraphTableRampFollowsBorderAndRange) {
    for (int range : {0, 17, 128, 255}) {
        BuildBlendGraphTable(0, range);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(BlendGraphTransitionTable[i], 255) << range << "," << i;
        }
    }
    BuildBlendGraphTable(128, 255);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(BlendGraphTransitionTable[i], i);
    }
    for (int range : {0, 255}) {
        BuildBlendGraphTable(255, range);
        for (int i = 0; i < 255; ++i) {
            ASSERT_EQ(BlendGraphTransitionTable[i], 0) << range << "," << i;
        }
        EXPECT_EQ(BlendGraphTransitionTable[255], 1) << range;
    }
    BuildBlendGraphTable(128, 0);
    for (int i = 0; i < 128; ++i) {
        ASSERT_EQ(BlendGraphTransitionTable[i], 0);
    }
    EXPECT_EQ(BlendGraphTransitionTable[128], 128);
    for (int i = 129; i < 256; ++i) {
        ASSERT_EQ(BlendGraphTransitionTable[i], 255);
    }
    // Out-of-range arguments are clamped rather than dividing by zero.
    BuildBlendGraphTable(-5, -1);
    EXPECT_EQ(BlendGraphTransitionTable[0], 255);
}

}  // namespace
}  // namespace velk
