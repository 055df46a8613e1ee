#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "lib/core/base_routines.h"
#include "lib/core/library.h"
#include "platform/base/clock.h"

namespace velk {
namespace {

// "表" is 0x95 0x5C: its second byte is the backslash.
constexpr char kPathWithTrailBackslash[] = "\x95\x5C\\x";

TEST(ShiftJisStrings, SecondBytesAreNeverCharactersOfTheirOwn) {
    EXPECT_EQ(FindCharInString(kPathWithTrailBackslash, '\\'), kPathWithTrailBackslash + 2);
    EXPECT_EQ(FindCharInString("\x95\x5C", '\\'), nullptr);
    EXPECT_EQ(FindCharInString("ab\x82", 'x'), nullptr);  // a lone lead byte at the end
    EXPECT_EQ(FindCharInString("", 'x'), nullptr);

    char text[] = "ab\x82\x61z\x82";  // 0x82 0x61 is one character; its 'a' stays
    MakeStringUpper(text);
    EXPECT_STREQ(text, "AB\x82\x61Z\x82");
}

TEST(Strings, CompareAndCopy) {
    EXPECT_EQ(CompareStrings("abc", "abc"), 0);
    EXPECT_EQ(CompareStrings("abc", "abcd"), 1);

    EXPECT_EQ(CompareStringsLimited("abc", "abd", 0), 0);
    EXPECT_EQ(CompareStringsLimited("abc", "abd", -1), 1);
    EXPECT_EQ(CompareStringsLimited("abc", "abd", 2), 0);
    EXPECT_EQ(CompareStringsLimited("abc", "abd", 3), 1);
    // Counts past a terminator: the bytes behind it are compared too.
    EXPECT_EQ(CompareStringsLimited("a\0x", "a\0y", 3), 1);

    char buffer[8] = "zzzzzzz";
    CopyStringLimited(buffer, "abcdef", 3);
    EXPECT_STREQ(buffer, "abc");
    CopyStringLimited(buffer, "ab", 5);
    EXPECT_STREQ(buffer, "ab");
    CopyStringLimited(buffer, "ab", -3);
    EXPECT_STREQ(buffer, "");

    CopyString(buffer, "ab");
    AppendString(buffer, "cd");
    EXPECT_STREQ(buffer, "abcd");
}

TEST(Numbers, ParseIntSkipsToTheNumber) {
    // Wraps at 32 bits.
    for (auto [text, value] : {std::pair<const char*, int>{"x-12y", -12}, {"abc", -1}, {"", -1}, {"-", 0},
                               {"--5", 0}, {"-2147483648", INT_MIN}, {"4294967297", 1}}) {
        EXPECT_EQ(ParseInt(text), value) << text;
    }

    EXPECT_EQ(ParseNumberAfterSpace("HTTP/1.0 404 Not Found"), 404);
    EXPECT_EQ(ParseNumberAfterSpace("HTTP/1.0"), -1);
    EXPECT_EQ(ParseNumberAfterSpace("\x81\x20 7"), 7);  // 0x81 0x20 is no space
}

TEST(Numbers, IntToStringCoversEveryValueDigitAndRadix) {
    const std::string digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    char buffer[34];
    for (int radix : {2, 8, 10, 16, 36}) {
        for (int digit = 0; digit < radix; ++digit) {
            EXPECT_EQ(std::string(IntToString(digit, buffer, radix)), digits.substr(digit, 1)) << radix;
            // The digit in the second place, then in the first with a 1 before it.
            const std::string two = digit == 0 ? "10" : digits.substr(digit, 1) + "0";
            EXPECT_EQ(std::string(IntToString(digit == 0 ? radix : digit * radix, buffer, radix)), two) << radix;
            EXPECT_EQ(std::string(IntToString(-(radix + digit), buffer, radix)), "-1" + digits.substr(digit, 1));
        }
    }
    EXPECT_STREQ(IntToString(0x7FEDCBA9, buffer, 16), "7fedcba9");
    EXPECT_STREQ(IntToString(INT_MIN, buffer, 10), "-2147483648");
    EXPECT_STREQ(IntToString(INT_MIN, buffer, 2), "-10000000000000000000000000000000");
    EXPECT_STREQ(IntToString(INT_MAX, buffer, 36), "zik0zj");
    EXPECT_STREQ(IntToString(10, buffer, 1), "");
    EXPECT_STREQ(IntToString(10, buffer, 37), "");
}

TEST(Numbers, FloatConversionsTruncateAndFlagOutOfRange) {
    // -2147483648.9 truncates to INT_MIN itself.
    for (auto [in, out] : {std::pair{-1.9, -1}, {1.9, 1}, {-3e10, INT_MIN}, {2147483647.9, INT_MAX},
                           {2147483648.0, INT_MIN}, {-2147483648.9, INT_MIN}, {std::nan(""), INT_MIN}}) {
        EXPECT_EQ(DoubleToInt(in), out) << in;
    }
    EXPECT_EQ(FloatToInt(-0.99f), 0);
    EXPECT_EQ(FloatToInt(262144.0f * 0.5f), 131072);
    EXPECT_EQ(FloatToInt(3e9f), INT_MIN);

    const double in[4] = {1.5, -1.5, 1e20, -0.0};
    int out[4] = {};
    Convert4DoublesToInts(in, out);
    EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{1, -1, INT_MIN, 0}));

    EXPECT_EQ(AbsInt(-7), 7);
    EXPECT_EQ(AbsInt(INT_MIN), INT_MIN);

    float sine = 0.0f;
    float cosine = 0.0f;
    GetSinCos(0.5f, &sine, &cosine);
    EXPECT_EQ(sine, static_cast<float>(std::sin(static_cast<long double>(0.5f))));
    EXPECT_EQ(cosine, static_cast<float>(std::cos(static_cast<long double>(0.5f))));
}

TEST(Numbers, WideProductAndQuotient) {
    unsigned __int128 product = 0;
    Multiply64To128(UINT64_MAX, UINT64_MAX, &product);
    EXPECT_EQ(static_cast<uint64_t>(product >> 64), UINT64_MAX - 1);
    EXPECT_EQ(static_cast<uint64_t>(product), 1u);
    uint64_t quotient = 0;
    Divide128By64(product, UINT64_MAX, &quotient);
    EXPECT_EQ(quotient, UINT64_MAX);
    Divide128By64(static_cast<unsigned __int128>(1) << 100, 3, &quotient);  // too big for 64 bits
    EXPECT_EQ(quotient, UINT64_MAX);
    Divide128By64(100, 0, &quotient);
    EXPECT_EQ(quotient, 0u);
}

TEST(Memory, CopiesInBothDirections) {
    char buffer[] = "abcdef";
    MoveBytes(buffer + 1, buffer, 5);
    EXPECT_STREQ(buffer, "aabcde");
    MoveBytes(buffer, buffer + 1, 5);
    EXPECT_STREQ(buffer, "abcdee");

    // Front to back: a destination one byte up repeats the first byte.
    char pattern[] = "xyz---";
    CopyBytes(pattern + 1, pattern, 5);
    EXPECT_STREQ(pattern, "xxxxxx");

    unsigned char bytes[4] = {};
    EXPECT_EQ(FillBytes(bytes, 0x7E, 3), 0x7E);
    EXPECT_EQ(bytes[2], 0x7E);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(CompareBytes("abc", "abd", 2), 0);
    EXPECT_EQ(CompareBytes("abc", "abd", 3), 1);
}

TEST(Dates, FileTimeBecomesLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 2001-02-03 04:05:06 UTC.
    constexpr uint64_t kFileTime = (981173106ull + 11644473600ull) * 10000000ull + 9999999ull;
    CalendarTime record;
    EXPECT_EQ(FileTimeToCalendarTime(kFileTime, &record), 0);
    EXPECT_EQ((std::vector<int>{record.year, record.month, record.day, record.hour, record.minute, record.second}),
              (std::vector<int>{2001, 2, 3, 4, 5, 6}));

    EXPECT_EQ(FileTimeToCalendarTime(0, &record), 0);
    EXPECT_EQ(record.year, 1601);
    unsetenv("TZ");
    tzset();
}

TEST(Ring, PositionsAtTheCapacityWrapToZero) {
    RingBuffer ring;
    ring.capacity = 16;
    ring.read_position = 16;
    ring.write_position = 15;
    WrapRingPositions(&ring);
    EXPECT_EQ(ring.read_position, 0);
    EXPECT_EQ(ring.write_position, 15);
    ring.write_position = 16;
    WrapRingPositions(&ring);
    EXPECT_EQ(ring.write_position, 0);
}

// The clock the waits read, and a message pump that moves it.
class WaitOnManualClock : public ::testing::Test {
protected:
    void SetUp() override {
        the_clock = &clock_;
        pumps = 0;
        step_ms = 0;
        end_after = 1000;
        SetLibraryLifeBodies({nullptr, nullptr, Pump});
    }
    void TearDown() override {
        SetLibraryLifeBodies({});
        the_clock = nullptr;
    }

    // Advances the clock by step_ms per pass; reports the program's end after
    // end_after passes, so a wait that never ends fails instead of hanging.
    static int Pump() {
        ++pumps;
        the_clock->AdvanceMilliseconds(step_ms);
        return pumps >= end_after ? -1 : 0;
    }

    static inline platform::ManualClock* the_clock = nullptr;
    static inline int pumps = 0;
    static inline int step_ms = 0;
    static inline int end_after = 1000;
    platform::ManualClock clock_;
    platform::ScopedClock installed_{clock_};
};

TEST_F(WaitOnManualClock, WaitsTheWholeTimeAcrossTheClockWrap) {
    // start + 15 is 0x7FFFFFFF, which the 31-bit clock skips as it wraps from
    // 0x7FFFFFFA to 0x04: the wait must end there, 20 ms on, and not wait for
    // the clock to come round again.
    clock_.SetMilliseconds(0x7FFFFFF0u);
    step_ms = 10;
    EXPECT_EQ(WaitWithMessages(15), 0);
    EXPECT_EQ(pumps, 2);
    EXPECT_EQ(GetMillisecondCount(), 4);

    // Here start + 20 lies beyond the 31-bit range: the wait must not end at
    // once either.
    clock_.SetMilliseconds(0x7FFFFFFEu);
    pumps = 0;
    step_ms = 1;
    EXPECT_EQ(WaitWithMessages(20), 0);
    EXPECT_EQ(pumps, 20);
}

TEST_F(WaitOnManualClock, EndsWhenMessagesReportTheEnd) {
    step_ms = 0;  // the clock stands still: only the pump's end stops the wait
    end_after = 5;
    EXPECT_EQ(WaitWithMessages(10), 0);
    EXPECT_EQ(pumps, 5);
    pumps = 0;
    EXPECT_EQ(WaitWithMessages(0), 0);
    EXPECT_EQ(pumps, 1);
}

}  // namespace
}  // namespace velk
