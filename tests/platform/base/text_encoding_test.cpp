#include "platform/base/text_encoding.h"

#include <gtest/gtest.h>

namespace velk::platform {
namespace {

// 表 is 0x95 0x5C in Shift-JIS: its trail byte is the backslash.
const std::string kHyouSjis = "\x95\x5C";
const std::string kHyouUtf8 = "\xE8\xA1\xA8";

TEST(TextEncoding, RoundTripsJapaneseAndAscii) {
    const std::string sjis = "Data\\" + kHyouSjis + ".png";
    EXPECT_EQ(ShiftJisToUtf8(sjis), "Data\\" + kHyouUtf8 + ".png");
    EXPECT_EQ(Utf8ToShiftJis(ShiftJisToUtf8(sjis)), sjis);
    // CP932 extensions: the wave dash and the full-width tilde differ from
    // plain Shift-JIS; NEC special characters such as the circled 1.
    EXPECT_EQ(Utf8ToShiftJis("\xEF\xBD\x9E"), "\x81\x60");
    EXPECT_EQ(ShiftJisToUtf8("\x87\x40"), "\xE2\x91\xA0");
}

TEST(TextEncoding, DamagedInputIsReplacedNotDropped) {
    // A lone lead byte at the end and an undefined pair.
    EXPECT_EQ(ShiftJisToUtf8("a\x81"), "a\xEF\xBF\xBD");
    EXPECT_FALSE(ShiftJisToUtf8Exact("a\x81").has_value());
    EXPECT_EQ(Utf8ToShiftJis("a\xF0\x9F\x98\x80" "b"), "a?b");
    EXPECT_EQ(Utf8ToShiftJis("a\xFF" "b"), "a?b");
    EXPECT_FALSE(Utf8ToShiftJisExact("\xF0\x9F\x98\x80").has_value());
}

TEST(TextEncoding, LeadBytes) {
    EXPECT_FALSE(IsShiftJisLeadByte(0x80));
    EXPECT_TRUE(IsShiftJisLeadByte(0x81));
    EXPECT_TRUE(IsShiftJisLeadByte(0x9F));
    EXPECT_FALSE(IsShiftJisLeadByte(0xA0));  // half-width katakana are single bytes
    EXPECT_FALSE(IsShiftJisLeadByte(0xDF));
    EXPECT_TRUE(IsShiftJisLeadByte(0xE0));
    EXPECT_TRUE(IsShiftJisLeadByte(0xFC));
    EXPECT_FALSE(IsShiftJisLeadByte(0xFD));
}

}  // namespace
}  // namespace velk::platform
