#include "platform/file/name_pattern.h"

#include <gtest/gtest.h>

namespace velk::platform {
namespace {

TEST(NamePattern, StarTriesEveryLength) {
    EXPECT_TRUE(MatchFileNamePattern("*.PNG", "A.B.PNG"));
    EXPECT_TRUE(MatchFileNamePattern("*.png", "a.b.PNG"));
    EXPECT_TRUE(MatchFileNamePattern("a*b*c", "aXbYbZc"));
    EXPECT_TRUE(MatchFileNamePattern("**x", "x"));
    EXPECT_FALSE(MatchFileNamePattern("*.PNG", "A.PNG.BAK"));
    EXPECT_FALSE(MatchFileNamePattern("a*b", "ab c"));
    EXPECT_TRUE(MatchFileNamePattern("*", ""));
    EXPECT_FALSE(MatchFileNamePattern("", "a"));
}

TEST(NamePattern, QuestionMarkIsOneCharacter) {
    EXPECT_TRUE(MatchFileNamePattern("?.txt", "\x95\x5C.txt")) << "a Shift-JIS pair is one character";
    EXPECT_FALSE(MatchFileNamePattern("??.txt", "\x95\x5C.txt"));
    EXPECT_FALSE(MatchFileNamePattern("?", ""));
}

TEST(NamePattern, CaseAndShiftJisPairs) {
    EXPECT_TRUE(MatchFileNamePattern("save*.SAV", "SaveData01.sav"));
    // Pairs must be equal as they are: ア (0x83 0x41) and the pair 0x83 0x61.
    EXPECT_FALSE(MatchFileNamePattern("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(MatchFileNamePattern("*\x83\x41", "x\x83\x41"));
}

TEST(NamePattern, DotStarAlsoMatchesNamesWithoutADot) {
    EXPECT_TRUE(MatchFileNamePattern("*.*", "README"));
    EXPECT_TRUE(MatchFileNamePattern("*.*", "a.b"));
    EXPECT_TRUE(MatchFileNamePattern("Map*.*", "Map001"));
    EXPECT_FALSE(MatchFileNamePattern("*.?", "README"));
}

TEST(NamePattern, Wildcards) {
    EXPECT_TRUE(HasWildcards("a*"));
    EXPECT_TRUE(HasWildcards("a?"));
    EXPECT_FALSE(HasWildcards("a.png"));
}

}  // namespace
}  // namespace velk::platform
