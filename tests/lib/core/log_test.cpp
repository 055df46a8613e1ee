#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lib/core/log.h"
#include "tests/lib/core/log_fixture.h"

namespace velk {
namespace {

using Log = testing::LogInScratchDir;

TEST_F(Log, LineStartsWithElapsedMillisecondsAndOpenLinesContinue) {
    clock_.AdvanceMilliseconds(25);
    EXPECT_EQ(WriteLog("a"), -1);
    clock_.AdvanceMilliseconds(10);
    WriteLog("b\n");
    clock_.AdvanceMilliseconds(1);
    WriteLog("next\nand more\n");
    EXPECT_EQ(LogBytes(), "25:ab\r\n36:next\r\nand more\r\n");
}

TEST_F(Log, IndentsWithOneTabPerLevelNeverBelowZero) {
    IncreaseLogIndent();
    IncreaseLogIndent();
    WriteLog("deep\n");
    DecreaseLogIndent();
    DecreaseLogIndent();
    DecreaseLogIndent();
    WriteLog("top\n");
    IncreaseLogIndent();
    WriteLog("one\n");
    EXPECT_EQ(LogBytes(), "0:\t\tdeep\r\n0:top\r\n0:\tone\r\n");
}

TEST_F(Log, StopsConvertingAtTheFirstLineFeedThatFollowsACarriageReturn) {
    WriteLog("a\r\nb\nc\n");
    WriteLog("x\ny\r\nz\n");
    EXPECT_EQ(LogBytes(), "0:a\r\nb\nc\n0:x\r\ny\r\nz\n");
}

TEST_F(Log, KeepsShiftJisPairsWhoseSecondByteLooksLikeALineFeed) {
    // 0x83 0x0A is one character; the real line end comes after it.
    WriteLog("\x83\x0A" "end\n");
    // A pair across the 255-byte mark of a long text, then a line feed.
    std::string long_text(255, 'x');
    long_text += "\x81\x0A";
    long_text += "\n";
    WriteLog(long_text.c_str());
    std::string expected_long(255, 'x');
    expected_long += "\x81\x0A\r\n";
    EXPECT_EQ(LogBytes(), "0:\x83\x0A" "end\r\n0:" + expected_long);
}

TEST_F(Log, FormatsLongTextsWhole) {
    const std::string name(3000, 'n');
    EXPECT_EQ(WriteLogFormat("file %s missing (%d)", name.c_str(), 7), -1);
    EXPECT_EQ(LogBytes(), "0:file " + name + " missing (7)\r\n");
}

TEST_F(Log, ElapsedTimeSurvivesTheWrapOfTheMillisecondClock) {
    clock_.SetMilliseconds(0xFFFFFFF0u);
    ASSERT_EQ(CreateLogFile(), 0);
    clock_.AdvanceMilliseconds(0x20);
    WriteLog("after the wrap\n");
    EXPECT_EQ(LogBytes(), "32:after the wrap\r\n");
}

TEST_F(Log, IsRecreatedEmptyAtStart) {
    WriteLog("old run\n");
    IncreaseLogIndent();
    WriteLog("open line");
    clock_.AdvanceMilliseconds(7);
    ASSERT_EQ(CreateLogFile(), 0);
    clock_.AdvanceMilliseconds(3);
    WriteLog("new run\n");
    EXPECT_EQ(LogBytes(), "3:new run\r\n");
}

TEST_F(Log, WritesNothingWhenSwitchedOff) {
    SetLogOutputFlag(0);
    WriteLog("hidden\n");
    EXPECT_EQ(LogBytes(), "");
    std::filesystem::remove(dir_.path() / "Log.txt");
    EXPECT_EQ(CreateLogFile(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Log.txt"));
    SetLogOutputFlag(1);
    WriteLog("shown\n");
    EXPECT_EQ(LogBytes(), "0:shown\r\n");
}

TEST_F(Log, NamesItsFileInTheStartDirectory) {
    EXPECT_EQ(std::filesystem::path(LogFilePath()), dir_.path() / "Log.txt");
    SetLogStartDirectory("");
    EXPECT_EQ(LogFilePath(), "");
    WriteLog("before start-up\n");  // goes nowhere
    SetLogStartDirectory(dir_.path().string());
    EXPECT_EQ(LogBytes(), "");
}

TEST_F(Log, NeverWritesThroughALinkInItsPlace) {
    testing::ScratchDir outside;
    outside.WriteFile("victim.txt", "precious");
    std::filesystem::remove(dir_.path() / "Log.txt");
    std::filesystem::create_symlink(outside.path() / "victim.txt", dir_.path() / "Log.txt");
    WriteLog("appended\n");
    EXPECT_EQ(outside.ReadFile("victim.txt"), "precious");
    // A new run takes the link away and starts a file of its own.
    ASSERT_EQ(CreateLogFile(), 0);
    WriteLog("own\n");
    EXPECT_EQ(outside.ReadFile("victim.txt"), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(dir_.path() / "Log.txt"));
    EXPECT_EQ(LogBytes(), "0:own\r\n");
}

}  // namespace
}  // namespace velk
