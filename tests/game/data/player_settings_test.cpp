#include "game/data/player_settings.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/game/data/data_test_support.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

PlayerSettings Parse(const std::string& text) {
    PlayerSettings settings;
    settings.proxy = "stale";
    ParseGameIni(text, settings);
    return settings;
}

// No temporary file of a write is left behind in the folder.
bool OnlyGameIniIn(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() != "Game.ini") return false;
    }
    return true;
}

TEST(GameIni, ReadsWhatItWritesByteForByte) {
    PlayerSettings settings;
    settings.start = 1;
    settings.softModeFlag = 1;
    settings.windowModeFlag = 0;
    settings.seAndBgm = 2;
    settings.frameSkip = 2;
    settings.proxy = "proxy.example";
    settings.proxyPort = "8080";
    settings.screenShotFlag = 0;
    std::string text = FormatGameIni(settings);
    EXPECT_EQ(text, "Start=1\r\nSoftModeFlag=1\r\nWindowModeFlag=0\r\nSEandBGM=2" +
                        testing::Sjis("  # 0:SE･BGMなし 1:SEのみ 2:BGMのみ 3:SE+BGMあり") +
                        "\r\nFrameSkip=2\r\nProxy=proxy.example\r\nProxyPort=8080\r\nScreenShotFlag=0");
    EXPECT_EQ(FormatGameIni(Parse(text)), text);
}

TEST(GameIni, KeepsTheOldReadingRules) {
    // Blanks are dropped, flags take one character, the first key wins.
    PlayerSettings read = Parse("Start = 12\nFrameSkip=12\nSEandBGM=x\nWindowModeFlag=0\nWindowModeFlag=1\n");
    EXPECT_EQ(read.start, 12);
    EXPECT_EQ(read.frameSkip, 1);
    EXPECT_EQ(read.seAndBgm, 0);
    EXPECT_EQ(read.windowModeFlag, 0);
    // Missing keys take their defaults; the text stops at a zero byte.
    read = Parse(std::string("SoftModeFlag=1\0WindowModeFlag=0", 32));
    EXPECT_EQ(read.softModeFlag, 1);
    EXPECT_EQ(read.windowModeFlag, 1);
    EXPECT_EQ(read.seAndBgm, 3);
    EXPECT_EQ(read.screenShotFlag, 1);
    EXPECT_EQ(read.proxy, "");
    EXPECT_EQ(read.start, 0);
    // A key at the very end has no character to read.
    EXPECT_EQ(Parse("ScreenShotFlag=").screenShotFlag, 0);
}

TEST(GameIni, AProxyLosesOnlyARealCarriageReturn) {
    EXPECT_EQ(Parse("Proxy=host\r\nProxyPort=81\r\n").proxy, "host");
    EXPECT_EQ(Parse("Proxy=host\nProxyPort=81").proxy, "host");
    EXPECT_EQ(Parse("ProxyPort=8080").proxyPort, "8080");
    EXPECT_EQ(Parse("Proxy=a b c\r\n").proxy, "abc");
}

TEST(GameIni, AnExistingFileIsRewrittenUnderItsOwnName) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    scratch.WriteFile("GAME.INI", "Start=1\r\nWindowModeFlag=0");
    GlobalPlayerSettings() = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(GlobalPlayerSettings().start, 1);
    EXPECT_EQ(GlobalPlayerSettings().windowModeFlag, 0);
    ASSERT_TRUE(WriteGameIni(0, 0, 0));
    EXPECT_EQ(scratch.ReadFile("GAME.INI").rfind("Start=0\r\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "Game.ini"));
    GlobalPlayerSettings() = PlayerSettings();
}

TEST(GameIni, AMissingFileStartsAtMinusOneAndKeepsTheProxy) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    PlayerSettings& settings = GlobalPlayerSettings();
    settings = PlayerSettings();
    settings.proxy = "kept";
    settings.screenShotFlag = 0;
    settings.windowModeFlag = 0;
    ReadGameIni();
    EXPECT_EQ(settings.start, -1);
    EXPECT_EQ(settings.windowModeFlag, 1);
    EXPECT_EQ(settings.proxy, "kept");
    EXPECT_EQ(settings.screenShotFlag, 0);
    settings = PlayerSettings();
}

TEST(GameIni, WritesTheWholeFileAndRereadsIt) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    PlayerSettings& settings = GlobalPlayerSettings();
    settings = PlayerSettings();
    settings.seAndBgm = 1;
    settings.proxy = "p";
    ASSERT_TRUE(WriteGameIni(1, 1, 2));
    PlayerSettings written = settings;
    written.start = written.softModeFlag = 1;
    written.frameSkip = 2;
    settings = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(scratch.ReadFile("Game.ini"), FormatGameIni(written));
    EXPECT_EQ(FormatGameIni(settings), FormatGameIni(written));
    EXPECT_TRUE(OnlyGameIniIn(scratch.path()));
    settings = PlayerSettings();
}

TEST(GameIni, AFailedWriteLeavesTheOldFileWhole) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    std::filesystem::create_directories(scratch.path() / "Game.ini" / "in-the-way");
    EXPECT_FALSE(WriteGameIni(0, 0, 0));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "Game.ini" / "in-the-way"));
    EXPECT_TRUE(OnlyGameIniIn(scratch.path()));
}

TEST(GameIni, AReadOnlyFileIsReadButNeverReplaced) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    const std::string text = "Start=0\r\nWindowModeFlag=0\r\nSEandBGM=1";
    scratch.WriteFile("Game.ini", text);
    ::chmod((scratch.path() / "Game.ini").c_str(), 0444);
    GlobalPlayerSettings() = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(GlobalPlayerSettings().windowModeFlag, 0);
    EXPECT_FALSE(WriteGameIni(1, 0, 0));
    EXPECT_EQ(scratch.ReadFile("Game.ini"), text);
    EXPECT_TRUE(OnlyGameIniIn(scratch.path()));
    GlobalPlayerSettings() = PlayerSettings();
}

TEST(GameIni, AnOversizedFileIsReadByItsStartAndKeepsTheSettings) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    // The settings, then a comment line that makes the file pass 1 MiB.
    scratch.WriteFile("Game.ini",
                      "Start=0\r\nWindowModeFlag=0\r\nSEandBGM=1\r\nProxy=host\r\n#" + std::string(3 << 20, '-'));
    GlobalPlayerSettings() = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(GlobalPlayerSettings().start, 0) << "not taken for a missing file";
    ASSERT_TRUE(WriteGameIni(1, 0, 0));
    GlobalPlayerSettings() = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(GlobalPlayerSettings().start, 1);
    EXPECT_EQ(GlobalPlayerSettings().windowModeFlag, 0);
    EXPECT_EQ(GlobalPlayerSettings().seAndBgm, 1);
    EXPECT_EQ(GlobalPlayerSettings().proxy, "host");
    GlobalPlayerSettings() = PlayerSettings();
}

TEST(GameIni, AFileThatCannotBeReadIsNotRewrittenWithDefaults) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    scratch.WriteFile("Game.ini", "WindowModeFlag=0");
    ::chmod((scratch.path() / "Game.ini").c_str(), 0200);
    GlobalPlayerSettings() = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(GlobalPlayerSettings().start, -1);
    EXPECT_FALSE(WriteGameIni(0, 0, 0));
    ::chmod((scratch.path() / "Game.ini").c_str(), 0600);
    EXPECT_EQ(scratch.ReadFile("Game.ini"), "WindowModeFlag=0");
    ReadGameIni();  // readable again: may be written again
    EXPECT_TRUE(WriteGameIni(0, 0, 0));
    GlobalPlayerSettings() = PlayerSettings();
}

}  // namespace
}  // namespace velk
