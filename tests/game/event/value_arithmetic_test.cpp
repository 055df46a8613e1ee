#include "game/event/value_arithmetic.h"

#include <climits>

#include <gtest/gtest.h>

#include "game/data/random_source.h"

namespace velk {
namespace {

struct Case {
    int32_t op;
    int32_t a;
    int32_t b;
    int32_t expected;
};

TEST(ValueArithmetic, IntegerCalculationClampsAndNeverTraps) {
    const Case cases[] = {
        {0, 2000000000, 1, 2000000000},      {0, -2000000000, -5, -2000000000}, {1, 7, 9, -2},
        {2, -2000000000, 5, -2000000000},    {2, 46341, 46341, 2000000000},     {3, 7, 0, 7},
        {3, -7, 2, -3},                      {3, INT_MIN, -1, 2000000000},      {4, 7, 0, 0},
        {4, -7, 2, -1},                      {4, INT_MIN, -1, 0},               {5, 13, 6, 4},
        {7, 1, 2, 0},                        {15, 1, 2, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CalculateInt(c.op, c.a, c.b), c.expected) << c.op << " " << c.a << " " << c.b;
    }
}

TEST(ValueArithmetic, IntegerAssignment) {
    const Case cases[] = {
        {0, 10, 5, 5},     {1, 1999999999, 5, 2000000000}, {2, -1999999999, 5, -2000000000},
        {3, 100000, 100000, 2000000000}, {4, 10, 0, 10},  {4, INT_MIN, -1, 2000000000},
        {5, 10, 0, 0},     {5, INT_MIN, -1, 0},            {6, 3, 5, 5},  {6, 8, 5, 8},
        {7, 3, 5, 3},      {7, 8, 5, 5},                   {8, 99, -12, 12}, {8, 0, INT_MIN, INT_MAX},
    };
    for (const Case& c : cases) {
        int32_t result = 0;
        ASSERT_TRUE(AssignInt(c.op, c.a, c.b, result)) << c.op;
        EXPECT_EQ(result, c.expected) << c.op << " " << c.a << " " << c.b;
    }
    int32_t untouched = 77;
    for (int32_t op = 9; op < 16; ++op) EXPECT_FALSE(AssignInt(op, 1, 2, untouched));
    EXPECT_EQ(untouched, 77);
}

TEST(ValueArithmetic, RealMode) {
    struct RealCase {
        int32_t assignment, operation, current, a, b, expected;
    };
    const RealCase cases[] = {
        {0, 3, 0, 7, 2, 3},    {0, 3, 0, -7, 2, -3},       {3, 3, 10, 1, 4, 2},  {5, 3, 10, 1, 2, 0},
        {0, 3, 0, 7, 0, 7},    {0, 2, 0, 50000, 50000, 2000000000},            {0, 2, 0, -50000, 50000, -2000000000},
        {1, 3, 10, 1, 2, 10},  {3, 0, 100000, 100000, 0, 2000000000},         {4, 3, 9, 1, 2, 18},
        {4, 0, 9, 0, 0, 9},    {6, 3, 1, 7, 2, 3},        {7, 3, 5, 7, 2, 3},    {8, 3, 0, -7, 2, 3},
        {0, 6, 0, 1, 9, 0},    {0, 4, 0, -7, 0, 0},       {2, 0, -1999999999, 5, 0, -2000000000},
    };
    for (const RealCase& c : cases) {
        int32_t result = 0;
        ASSERT_TRUE(AssignReal(c.assignment, c.current, CalculateReal(c.operation, c.a, c.b), result));
        EXPECT_EQ(result, c.expected) << c.assignment << " " << c.operation << " " << c.current << " " << c.a << " "
                                      << c.b;
    }
}

TEST(ValueArithmetic, WrappedFormsWrapWithoutTraps) {
    EXPECT_EQ(CalculateWrapped(0, 2000000000, 2000000000), -294967296);
    EXPECT_EQ(CalculateWrapped(3, 7, 0), 7);
    EXPECT_EQ(CalculateWrapped(4, 7, 0), 0);
    EXPECT_EQ(CalculateWrapped(3, INT_MIN, -1), INT_MIN);
    EXPECT_EQ(CalculateWrapped(4, INT_MIN, -1), 0);
    int32_t result = 0;
    ASSERT_TRUE(AssignWrapped(4, 10, 0, result));
    EXPECT_EQ(result, 10);
    ASSERT_TRUE(AssignWrapped(5, 10, 0, result));
    EXPECT_EQ(result, 0);
    ASSERT_TRUE(AssignWrapped(1, 2000000000, 2000000000, result));
    EXPECT_EQ(result, -294967296);
    ASSERT_TRUE(AssignDatabase(4, INT_MIN, -1, result));
    EXPECT_EQ(result, INT_MIN);
    ASSERT_TRUE(AssignDatabase(5, 9, 0, result));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(AssignDatabase(8, 1, -3, result));
}

TEST(ValueArithmetic, ClampsAndDecimalText) {
    EXPECT_EQ(ClampToSixDigits(true, 1234567), 999999);
    EXPECT_EQ(ClampToSixDigits(true, -1234567), -999999);
    EXPECT_EQ(ClampToSixDigits(true, -999999), -999999);
    EXPECT_EQ(ClampToSixDigits(false, 1234567), 1234567);
    EXPECT_EQ(ClampToVariableRange(2000000001), 2000000000);
    EXPECT_EQ(ClampToVariableRange(-2000000001), -2000000000);
    EXPECT_EQ(DecimalValue("12ab"), 12);
    EXPECT_EQ(DecimalValue("  -34"), -34);
    EXPECT_EQ(DecimalValue("ab"), 0);
    EXPECT_EQ(DecimalValue("99999999999"), INT_MAX);
    EXPECT_EQ(DecimalValue("-99999999999"), INT_MIN);
}

TEST(ValueArithmetic, RandomStaysInItsRangeAtTheExtremes) {
    UpdateRandomSeed(2, 12345);
    for (int i = 0; i < 200; ++i) {
        const int32_t small = RandomBetween(5, 2);
        EXPECT_GE(small, 2);
        EXPECT_LE(small, 5);
        // The whole 32-bit range: the span does not wrap to 0.
        RandomBetween(INT_MAX, INT_MIN);
        EXPECT_EQ(RandomBetween(INT_MIN, INT_MIN), INT_MIN);
        const int32_t top = RandomBetween(INT_MAX - 1, INT_MAX);
        EXPECT_GE(top, INT_MAX - 1);
    }
}

}  // namespace
}  // namespace velk
