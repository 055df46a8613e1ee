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

// Each test in a fresh folder, with the player's settings fresh before and after.
class GameIniFile : public ::testing::Test {
protected:
    GameIniFile() { GlobalPlayerSettings() = PlayerSettings(); }
    ~GameIniFile() override { GlobalPlayerSettings() = PlayerSettings(); }
    testing::ScratchDir scratch;
    testing::InFolder inside{scratch.path()};
    PlayerSettings& settings = GlobalPlayerSettings();
};

TEST_F(GameIniFile, AnExistingFileIsRewrittenUnderItsOwnName) {
    scratch.WriteFile("GAME.INI", "Start=1\r\nWindowModeFlag=0");
    ReadGameIni();
    EXPECT_EQ(settings.start, 1);
    EXPECT_EQ(settings.windowModeFlag, 0);
    ASSERT_TRUE(WriteGameIni(0, 0, 0));
    EXPECT_EQ(scratch.ReadFile("GAME.INI").rfind("Start=0\r\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "Game.ini"));
}

TEST_F(GameIniFile, AMissingFileStartsAtMinusOneAndKeepsTheProxy) {
    settings.proxy = "kept";
    settings.screenShotFlag = 0;
    settings.windowModeFlag = 0;
    ReadGameIni();
    EXPECT_EQ(settings.start, -1);
    EXPECT_EQ(settings.windowModeFlag, 1);
    EXPECT_EQ(settings.proxy, "kept");
    EXPECT_EQ(settings.screenShotFlag, 0);
}

TEST_F(GameIniFile, WritesTheWholeFileAndRereadsIt) {
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
}

TEST_F(GameIniFile, AFailedWriteLeavesTheOldFileWhole) {
    std::filesystem::create_directories(scratch.path() / "Game.ini" / "in-the-way");
    EXPECT_FALSE(WriteGameIni(0, 0, 0));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "Game.ini" / "in-the-way"));
    EXPECT_TRUE(OnlyGameIniIn(scratch.path()));
}

TEST_F(GameIniFile, AReadOnlyFileIsReadButNeverReplaced) {
    const std::string text = "Start=0\r\nWindowModeFlag=0\r\nSEandBGM=1";
    scratch.WriteFile("Game.ini", text);
    ::chmod((scratch.path() / "Game.ini").c_str(), 0444);
    ReadGameIni();
    EXPECT_EQ(settings.windowModeFlag, 0);
    EXPECT_FALSE(WriteGameIni(1, 0, 0));
    EXPECT_EQ(scratch.ReadFile("Game.ini"), text);
    EXPECT_TRUE(OnlyGameIniIn(scratch.path()));
}

TEST_F(GameIniFile, AnOversizedFileIsReadByItsStartAndKeepsTheSettings) {
    // The settings, then a comment line that makes the file pass 1 MiB.
    scratch.WriteFile("Game.ini",
                      "Start=0\r\nWindowModeFlag=0\r\nSEandBGM=1\r\nProxy=host\r\n#" + std::string(3 << 20, '-'));
    ReadGameIni();
    EXPECT_EQ(settings.start, 0) << "not taken for a missing file";
    ASSERT_TRUE(WriteGameIni(1, 0, 0));
    settings = PlayerSettings();
    ReadGameIni();
    EXPECT_EQ(settings.start, 1);
    EXPECT_EQ(settings.windowModeFlag, 0);
    EXPECT_EQ(settings.seAndBgm, 1);
    EXPECT_EQ(settings.proxy, "host");
}

TEST_F(GameIniFile, AFileThatCannotBeReadIsNotRewrittenWithDefaults) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    scratch.WriteFile("Game.ini", "WindowModeFlag=0");
    ::chmod((scratch.path() / "Game.ini").c_str(), 0200);
    ReadGameIni();
    EXPECT_EQ(settings.start, -1);
    EXPECT_FALSE(WriteGameIni(0, 0, 0));
    ::chmod((scratch.path() / "Game.ini").c_str(), 0600);
    EXPECT_EQ(scratch.ReadFile("Game.ini"), "WindowModeFlag=0");
    ReadGameIni();  // readable again: may be written again
    EXPECT_TRUE(WriteGameIni(0, 0, 0));
}

}  // namespace
}  // namespace velk
