#include "game/data/text_search.h"

#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace velk {
namespace {

// Compares the part with the text at each position in turn.
size_t FindByComparingEverywhere(std::string_view text, std::string_view part, size_t from) {
    for (size_t at = from; at + part.size() <= text.size(); ++at) {
        if (text.compare(at, part.size(), part) == 0) return at;
    }
    return std::string_view::npos;
}

std::string RandomText(std::mt19937& random, std::string_view alphabet, size_t maxSize) {
    std::string text(std::uniform_int_distribution<size_t>(0, maxSize)(random), '\0');
    for (char& c : text)
        c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
    return text;
}

TEST(TextSearch, FindsWhatComparingAtEveryPositionFinds) {
    std::mt19937 random(20240611);
    // Small alphabets give parts that overlap themselves and near misses
    // that leave a partial match behind; the zero and two-byte characters'
    // bytes are plain bytes to the search.
    const std::string_view alphabets[] = {"ab", "aab", std::string_view("a\0b\x83\x5C", 5)};
    for (int trial = 0; trial < 20000; ++trial) {
        const std::string_view alphabet = alphabets[trial % 3];
        const std::string text = RandomText(random, alphabet, 40);
        std::string part = RandomText(random, alphabet, 6);
        if (trial % 4 == 0 && !text.empty()) {
            // A stretch of the text itself, so that long parts are found too.
            const size_t at = random() % text.size();
            part = text.substr(at, random() % (text.size() - at + 1));
        }
        const size_t from = random() % (text.size() + 2);
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + ::testing::PrintToString(part) + " from " +
                     std::to_string(from));
        const size_t expected = from > text.size() ? std::string_view::npos
                                : part.empty()     ? from
                                                   : FindByComparingEverywhere(text, part, from);
        ASSERT_EQ(TextSearch(part).FindIn(text, from), expected);
        ASSERT_EQ(TextContains(text, part), FindByComparingEverywhere(text, part, 0) != std::string_view::npos);
    }
}

TEST(TextSearch, FindsTheFirstOfRepeatedAndOverlappingOccurrences) {
    const struct {
        std::string text, part;
        size_t from, expected;
    } cases[] = {
        {"aaaaaaaaab", "aaab", 0, 6},
        {"aaaaaaaaa", "aaab", 0, std::string::npos},
        {"abababac", "ababac", 0, 2},
        {"abababac", "ababac", 3, std::string::npos},
        {"abcabdabcabc", "abcabc", 0, 6},
        {"xabcx", "abc", 1, 1},
        {"xabcx", "abc", 2, std::string::npos},
        {"abc", "abc", 0, 0},
        {"abc", "abcd", 0, std::string::npos},
        {"abc", "", 3, 3},
        {"abc", "", 4, std::string::npos},
        {"", "a", 0, std::string::npos},
        {std::string("a\0b", 3), std::string("\0b", 2), 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " / " + c.part);
        EXPECT_EQ(TextSearch(c.part).FindIn(c.text, c.from), c.expected);
    }
    EXPECT_TRUE(TextContains("", ""));
    EXPECT_TRUE(TextContains("abc", ""));
    EXPECT_TRUE(TextContains("abc", "c"));
    EXPECT_FALSE(TextContains("abc", "d"));
    EXPECT_FALSE(TextContains("ab", "abc"));
}

}  // namespace
}  // namespace velk
