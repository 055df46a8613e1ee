#include "lib/core/files/archive_format.h"

#include <gtest/gtest.h>

#include <numeric>

namespace velk {
namespace {

TEST(ArchiveKey, ShortStringsRepeatAndLongOnesAreCut) {
    // Five characters fill the key as characters 1-5, 1-5, 1-2.
    EXPECT_EQ(DeriveArchiveKey("abcde"), DeriveArchiveKey("abcdeabcdeab"));
    EXPECT_EQ(DeriveArchiveKey("abcdefghijklmnop"), DeriveArchiveKey("abcdefghijkl"));
    EXPECT_NE(DeriveArchiveKey("abcde"), DeriveArchiveKey("abcdf"));
    // No string and an empty one both give the default key.
    EXPECT_EQ(DeriveArchiveKey(""), DefaultArchiveKey());
    ArchiveKey fill;
    fill.fill(kArchiveSecondKeyFill);
    EXPECT_EQ(SecondArchiveKey(), fill);
}

TEST(ArchiveKey, EachPositionHasItsOwnByteOperation) {
    // All twelve bytes equal before the operations: every position that does
    // something different must come out different from its neighbours.
    const ArchiveKey key = DeriveArchiveKey("AAAAAAAAAAAA");
    EXPECT_EQ(key[0], static_cast<uint8_t>(~'A'));
    EXPECT_EQ(key[1], 0x14);  // nibbles swapped
    EXPECT_EQ(key[2], 'A' ^ kArchiveKeyXor2);
    EXPECT_EQ(key[3], static_cast<uint8_t>(~0x14));
    EXPECT_EQ(key[7], static_cast<uint8_t>(~((('A' << 5) | ('A' >> 3)) & 0xFF)));
    EXPECT_EQ(key[8], static_cast<uint8_t>((('A' << 3) | ('A' >> 5)) & 0xFF));
    EXPECT_EQ(key[10], 0x14 ^ kArchiveKeyXor10);
    EXPECT_EQ(key[11], 'A' ^ kArchiveKeyXor11);
}

TEST(ArchiveScramble, AnySpanMatchesTheWholeFile) {
    std::vector<uint8_t> whole(1000);
    std::iota(whole.begin(), whole.end(), 0);
    const auto plain = whole;
    const ArchiveKey key = DeriveArchiveKey("key");
    ScrambleArchiveBytes(whole, 0, key);
    for (size_t i = 0; i < whole.size(); ++i) {
        ASSERT_EQ(whole[i], plain[i] ^ key[i % 12]) << i;
    }
    // A span at an odd offset, longer than the word-wise groups, unscrambles
    // in place to the plain bytes.
    for (size_t offset : {0u, 5u, 13u, 100u}) {
        std::vector<uint8_t> part(whole.begin() + offset, whole.begin() + offset + 500);
        ScrambleArchiveBytes(part, offset, key);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), plain.begin() + offset)) << offset;
    }
}

TEST(ArchiveNames, FoldingUpperCasesAndPadsToWords) {
    auto folded = FoldArchiveName("a.png");
    EXPECT_EQ(std::string(folded.bytes.begin(), folded.bytes.end()), std::string("A.PNG\0\0\0", 8));
    EXPECT_EQ(folded.word_count(), 2u);
    EXPECT_EQ(folded.check, 'A' + '.' + 'P' + 'N' + 'G');
    EXPECT_EQ(folded.consumed, 5u);

    // A four-byte name still gets a whole word of padding.
    EXPECT_EQ(FoldArchiveName("ABCD").bytes.size(), 8u);
    EXPECT_EQ(FoldArchiveName("").bytes.size(), 4u);

    // Stops at either separator; a 0x5C trail byte is not one, and the
    // letter-like trail of ア (0x83 0x41) and 0x83 0x61 stay as they are.
    EXPECT_EQ(FoldArchiveName("pic\\a.png").consumed, 3u);
    EXPECT_EQ(FoldArchiveName("pic/a.png").consumed, 3u);
    auto japanese = FoldArchiveName("\x95\x5C" "a\x83\x61");
    EXPECT_EQ(japanese.consumed, 5u);
    EXPECT_EQ(std::string(japanese.bytes.begin(), japanese.bytes.begin() + 5), "\x95\x5C" "A\x83\x61");
    EXPECT_EQ(japanese.check, 0x95 + 0x5C + 'A' + 0x83 + 0x61);
}

TEST(ArchiveNames, FindPatternsStarStopsAtTheFirstPlaceItCan) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*", "A.B.PNG", true},
        {"*.PNG", "C.PNG", true},
        {"*.PNG", "A.B.PNG", false},  // the '*' stops at the first dot
        {"*.*", "A.PNG", true},
        {"*.*", "README", false},  // no dot to stop at
        {"*.*", ".", true},
        {"*", "..", true},
        {"A*", "A", true},
        {"**.TXT", "D.TXT", true},
        {"?.TXT", "D.TXT", true},
        {"?.TXT", "DD.TXT", false},
        {"D.TXT", "D.TXT", true},
        {"D.TXT", "D.TXTX", false},
        {"D.TXTX", "D.TXT", false},
        {"*X", "AXBX", false},  // stops at the first X and the name goes on
        {"", "", true},
        {"", "A", false},
        // '?' takes one byte, so a pair takes two; a trail byte that looks
        // like the byte after '*' is not a place to stop (ア is 0x83 0x41).
        {"?", "\x95\x5C", false},
        {"??", "\x95\x5C", true},
        {"??.PNG", "\x95\x5C.PNG", true},
        {"???", "\x95\x5C", false},
        {"?A",
         "\x83\x41"
         "A",
         false},
        {"?AA",
         "\x83\x41"
         "A",
         true},
        {"*A",
         "\x83\x41"
         "A",
         true},
        {"\x95\x5C.PNG", "\x95\x5C.PNG", true},
        {"\x95\x5C.PNG", "\x95\x5D.PNG", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchArchiveName(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
    }
}

}  // namespace
}  // namespace velk
