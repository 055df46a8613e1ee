#include "platform/file/path_resolver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file/game_name.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

// 表 (0x95 0x5C) ends in the backslash byte; 能 (0x94 0x5C) too.
const std::string kHyouSjis = "\x95\x5C";
const std::string kHyouUtf8 = "\xE8\xA1\xA8";
// ア is 0x83 0x41: its trail byte is the letter 'A'.
const std::string kASjis = "\x83\x41";
const std::string kMiSjis = "\x83\x7E";

// Runs each test inside a fresh folder, as the game runs in its own.
class PathResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.path());
        GamePathResolver().Forget();
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    std::string Native(const std::string& relative) const { return (scratch_.path() / relative).string(); }

    testing::ScratchDir scratch_;
    std::filesystem::path previous_;
};

TEST(GameName, SplitKeepsShiftJisTrailBackslashes) {
    const auto parts = SplitGamePath("Data\\" + kHyouSjis + "\\a/b");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0], "Data");
    EXPECT_EQ(parts[1], kHyouSjis);
    EXPECT_EQ(parts[3], "b");
    EXPECT_EQ(SplitGamePath("\\x").front(), "");
    // A lone lead byte at the end is an ordinary byte.
    EXPECT_EQ(SplitGamePath("a\x95").size(), 1u);
}

TEST(GameName, CaseFoldingLeavesTrailBytesAlone) {
    EXPECT_EQ(FoldGameNameCase("ab" + kASjis + "c"), "AB" + kASjis + "C");
    EXPECT_NE(FoldGameNameCase("\x83\x61"), FoldGameNameCase(kASjis)) << "ミ-like pair is not ア";
}

TEST(GameName, WritePathsStayInsideTheGameFolder) {
    EXPECT_TRUE(IsGameWritePathAllowed("Save\\SaveData01.sav"));
    EXPECT_TRUE(IsGameWritePathAllowed("a\\..\\b.txt"));
    EXPECT_TRUE(IsGameWritePathAllowed("./x.txt"));
    EXPECT_TRUE(IsGameWritePathAllowed(kHyouSjis + "\\" + kHyouSjis + ".txt"));
    EXPECT_FALSE(IsGameWritePathAllowed(""));
    EXPECT_FALSE(IsGameWritePathAllowed("\\etc\\passwd"));
    EXPECT_FALSE(IsGameWritePathAllowed("/tmp/x"));
    EXPECT_FALSE(IsGameWritePathAllowed("C:\\x.txt"));
    EXPECT_FALSE(IsGameWritePathAllowed("c:x.txt"));
    EXPECT_FALSE(IsGameWritePathAllowed("..\\x.txt"));
    EXPECT_FALSE(IsGameWritePathAllowed("a\\..\\..\\x.txt"));
    EXPECT_FALSE(IsGameWritePathAllowed("a\\b\\"));
    EXPECT_FALSE(IsGameWritePathAllowed("a\\.."));
    EXPECT_FALSE(IsGameWritePathAllowed("."));
}

TEST_F(PathResolverTest, MatchesEachComponentWhateverItsCase) {
    scratch_.WriteFile("Data/BasicData/CommonEvent.dat", "x");
    const auto expected = Native("Data/BasicData/CommonEvent.dat");
    EXPECT_EQ(ResolveGamePath("Data\\BasicData\\CommonEvent.dat"), expected);
    EXPECT_EQ(ResolveGamePath("data\\basicdata\\commonevent.DAT"), expected);
    EXPECT_EQ(ResolveGamePath("DATA/BASICDATA//COMMONEVENT.DAT"), expected);
    EXPECT_EQ(ResolveGamePath(".\\Data\\x\\..\\BasicData\\CommonEvent.dat"), expected);
    EXPECT_FALSE(ResolveGamePath("Data\\BasicData\\Missing.dat").has_value());
    EXPECT_FALSE(ResolveGamePath("Data\\Missing\\CommonEvent.dat").has_value());
    EXPECT_FALSE(ResolveGamePath("C:\\Data").has_value());
    EXPECT_FALSE(ResolveGamePath("").has_value());
    // Absolute paths read from wherever they point.
    EXPECT_EQ(ResolveGamePath(Native("DATA/basicdata")), Native("Data/BasicData"));
}

TEST_F(PathResolverTest, EveryLetterMatchesInTheOtherCase) {
    const std::string lower = "abcdefghijklmnopqrstuvwxyz";
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    scratch_.WriteFile(lower + "/" + upper + ".txt", "x");
    EXPECT_EQ(ResolveGamePath(upper + "\\" + lower + ".txt"), Native(lower + "/" + upper + ".txt"));
    // Letter by letter, so no single letter is left to match only as itself.
    for (size_t i = 0; i < lower.size(); ++i) {
        std::string folder = lower;
        folder[i] = upper[i];
        EXPECT_EQ(ResolveGamePath(folder + "\\" + upper + ".TXT"), Native(lower + "/" + upper + ".txt")) << folder;
    }
    // Only letters fold: '@' (0x40) and '[' (0x5B) beside them do not.
    scratch_.WriteFile("@[.txt", "y");
    EXPECT_FALSE(ResolveGamePath("`{.txt").has_value());

    // Names with Japanese text match in only one form each: stored as UTF-8
    // or as the raw Shift-JIS bytes; letters fold in both.
    scratch_.WriteFile(kHyouUtf8 + lower + ".txt", "u");
    EXPECT_EQ(ResolveGamePath(kHyouSjis + upper + ".TXT"), Native(kHyouUtf8 + lower + ".txt"));
    const std::string raw = kASjis + lower + ".txt";
    scratch_.WriteFile(raw, "r");
    EXPECT_EQ(ResolveGamePath(kASjis + upper + ".TXT"), Native(raw));
}

TEST_F(PathResolverTest, ExactCaseWinsOverAFoldedMatch) {
    scratch_.WriteFile("a.png", "lower");
    scratch_.WriteFile("A.png", "upper");
    EXPECT_EQ(ResolveGamePath("a.png"), Native("a.png"));
    EXPECT_EQ(ResolveGamePath("A.png"), Native("A.png"));
    // Neither is exact: the same one is chosen every time.
    const auto chosen = ResolveGamePath("A.PNG");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(ResolveGamePath("a.PNG"), chosen);
}

TEST_F(PathResolverTest, ShiftJisNamesOnDiskAsUtf8OrAsRawBytes) {
    // The folder's name ends in a 0x5C trail byte: it must not split the path.
    scratch_.WriteFile(kHyouUtf8 + "/Pic.png", "utf8");
    EXPECT_EQ(ResolveGamePath(kHyouSjis + "\\pic.PNG"), Native(kHyouUtf8 + "/Pic.png"));

    // Unpacked without conversion: the raw CP932 bytes are the name (a
    // backslash byte is an ordinary byte in a Linux name).
    scratch_.WriteFile("raw" + kHyouSjis + "/" + kASjis + "b.png", "raw");
    EXPECT_EQ(ResolveGamePath("RAW" + kHyouSjis + "\\" + kASjis + "B.PNG"),
              Native("raw" + kHyouSjis + "/" + kASjis + "b.png"));
    // Folding never turns the letter-like trail byte of ア into another pair.
    EXPECT_FALSE(ResolveGamePath("raw" + kHyouSjis + "\\\x83\x61" "b.png").has_value());
}

TEST_F(PathResolverTest, ANewFileIsFoundAfterAMiss) {
    scratch_.WriteFile("Data/old.txt", "x");
    EXPECT_TRUE(ResolveGamePath("data\\OLD.txt").has_value());  // caches the listing of Data
    EXPECT_FALSE(ResolveGamePath("data\\NEW.txt").has_value());
    scratch_.WriteFile("Data/new.txt", "y");
    EXPECT_EQ(ResolveGamePath("data\\NEW.txt"), Native("Data/new.txt"));
    // A removed file is not found any more, through any case.
    std::filesystem::remove(scratch_.path() / "Data/old.txt");
    EXPECT_FALSE(ResolveGamePath("data\\OLD.TXT").has_value());
}

TEST_F(PathResolverTest, ResolvingForWrite) {
    scratch_.WriteFile("SAVE/SaveData01.sav", "x");
    EXPECT_EQ(ResolveGamePathForWrite("Save\\savedata01.sav"), Native("SAVE/SaveData01.sav"));
    EXPECT_EQ(ResolveGamePathForWrite("Save\\SaveData02.sav"), Native("SAVE/SaveData02.sav"));
    EXPECT_EQ(ResolveGamePathForWrite("save\\" + kHyouSjis + ".txt"), Native("SAVE/" + kHyouUtf8 + ".txt"));
    EXPECT_FALSE(ResolveGamePathForWrite("NoFolder\\x.sav").has_value());
    EXPECT_FALSE(ResolveGamePathForWrite("..\\x.sav").has_value());
    EXPECT_FALSE(ResolveGamePathForWrite(Native("x.sav")).has_value());
}

TEST_F(PathResolverTest, OverLongPathsAreRefused) {
    const std::string long_path(kMaxPathLength + 1, 'a');
    EXPECT_FALSE(ResolveGamePath(long_path).has_value());
    EXPECT_FALSE(ResolveGamePathForWrite(long_path).has_value());
}

}  // namespace
}  // namespace velk::platform
