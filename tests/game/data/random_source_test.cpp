#include <gtest/gtest.h>

#include <string>

#include "game/data/random_source.h"
#include "platform/base/clock.h"

namespace velk {
namespace {

TEST(UpdateRandomSeed, StepsTheGameGenerator) {
    RestartRandomSource();
    EXPECT_EQ(UpdateRandomSeed(2, 1), 1u);
    EXPECT_EQ(UpdateRandomSeed(0, 0), 68975585u);
    UpdateRandomSeed(2, 12345);
    EXPECT_EQ(UpdateRandomSeed(0, 0), 222156127u);
    EXPECT_EQ(UpdateRandomSeed(1, 999), 222156127u);
    EXPECT_LT(UpdateRandomSeed(0, 0), 1u << 28);
}

TEST(UpdateRandomSeed, TheFirstCallOfARunStartsFromTheClock) {
    platform::ManualClock clock;
    platform::ScopedClock installed(clock);
    clock.SetMilliseconds(4321);
    RestartRandomSource();
    EXPECT_EQ(UpdateRandomSeed(1, 0), 4321u);
    clock.SetMilliseconds(99);
    RestartRandomSource();
    EXPECT_EQ(UpdateRandomSeed(2, 7), 7u);
    EXPECT_EQ(UpdateRandomSeed(1, 0), 7u);
}

TEST(FormatIntText, HandsOutTenBuffersInTurn) {
    const char* first = FormatIntText(-42);
    EXPECT_STREQ(first, "-42");
    for (int i = 0; i < 9; ++i) FormatIntText(i);
    EXPECT_STREQ(first, "-42");
    const char* eleventh = FormatIntText(2147483647);
    EXPECT_EQ(eleventh, first);
    EXPECT_STREQ(first, "2147483647");
}

TEST(GetSjisByteClass, ClassifiesFromTheStart) {
    const std::string text = "A\x82\xA0\x82" "B\x81\x81\x81";
    EXPECT_EQ(GetSjisByteClass(text, 0), 0);
    EXPECT_EQ(GetSjisByteClass(text, 1), 1);
    EXPECT_EQ(GetSjisByteClass(text, 2), 2);
    EXPECT_EQ(GetSjisByteClass(text, 3), 1);
    EXPECT_EQ(GetSjisByteClass(text, 4), 2);  // 'B' after a lead byte is a trail byte
    // A lead byte may follow a trail byte directly.
    EXPECT_EQ(GetSjisByteClass(text, 5), 1);
    EXPECT_EQ(GetSjisByteClass(text, 6), 2);
    EXPECT_EQ(GetSjisByteClass(text, 7), 1);
    EXPECT_EQ(GetSjisByteClass(text, 8), 0);
    EXPECT_EQ(GetSjisByteClass(text, -1), 0);
    // A lead byte before an invalid trail byte leaves it a single byte.
    EXPECT_EQ(GetSjisByteClass("\x82\x7F", 1), 0);
    // The text ends at its first zero byte.
    EXPECT_EQ(GetSjisByteClass(std::string("\x82\0\xA0", 3), 2), 0);
}

}  // namespace
}  // namespace velk
