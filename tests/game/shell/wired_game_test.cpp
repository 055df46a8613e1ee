// Games the writer makes, played from start to end through every wired
// subsystem: an auto-start common event that computes values, writes them
// to a file and quits; a message with choices answered by scripted keys;
// a picture on the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/data/input_state.h"
#include "game/data/variable_id.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr uint8_t kDownArrow = 0xD0;

// A game whose only common event starts by itself (while normal variable 99
// is 0) and runs `commands`, one "command ..." line each.
std::string GameWithAutoStart(const std::string& commands, const std::string& extra = "") {
    return R"(
game
  title "つながったゲーム"
settings-file
  Start 0
  SEandBGM 3
)" + BasicSystemDatabase() + R"(
database user
database changeable
)" + BasicMap() + R"(
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
)" + commands + extra;
}

TEST(WiredGame, TheSaveCommandWritesASlotTheCacheReadsBack) {
    // Saves slot 3 with variable 0 at 11, then changes it; the file names the
    // values the event saw after the save.
    GameHarness game(GameWithAutoStart(R"(
    command 121 2000099 1 0 0xC
    command 121 2000000 11 0 0xC
    command 220 0 3
    command 121 2000000 22 0 0xC
    command 122 3000000 0 0 text "v=\\v[0]"
    command 122 3000000 0x600 0 text "after.txt"
    command 175
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_FALSE(game.StepFrames(10));
    EXPECT_EQ(game.ReadFile("after.txt"), "v=22");
    const std::string save = game.ReadFile("Save/SaveData03.sav");
    EXPECT_GT(save.size(), 200u) << "the slot's file was written";
}

TEST(WiredGame, AnAutoStartEventComputesValuesWritesThemToAFileAndQuits) {
    // var0 = 7 * 6, += 3; var1 = var0 / 5; var2 = 100 % 7; var3 = 5 by a
    // command written without its operator arguments (read as zeros); then
    // the values go into string variable 0 through its escape codes, and
    // from there into a file.
    GameHarness game(GameWithAutoStart(R"(
    command 121 2000000 7 6 0x200C
    command 121 2000000 3 0 0x10C
    command 121 2000001 2000000 5 0x3008
    command 121 2000002 100 7 0x400C
    command 121 2000003 5
    command 122 3000000 0 0 text "a=\\v[0] b=\\v[1]\nc=\\v[2] d=\\v[3]"
    command 122 3000000 0x600 0 text "result.txt"
    command 175
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_FALSE(game.StepFrames(10)) << "the quit command ends the game";
    EXPECT_EQ(game.Result(), 0);
    EXPECT_EQ(game.ReadFile("result.txt"), "a=45 b=9\r\nc=2 d=5");
}

TEST(WiredGame, AMessageWithChoicesWaitsForThePlayerAndTheChosenCaseRuns) {
    // Two items, cancel not allowed; item 1 sets variable 10 to 1, item 2
    // to 2; afterwards variable 11 counts that the event went on.
    GameHarness game(GameWithAutoStart(R"(
    command 101 text "どちらにする？"
    command 102 0x12 text "りんご" text "みかん"
    command 401 2
    command 121 2000010 1 0 0xC indent 1
    command 401 3
    command 121 2000010 2 0 0xC indent 1
    command 499
    command 121 2000011 1 0 0xC
    command 121 2000099 1 0 0xC
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(90));
    EXPECT_EQ(game.Home().gameSystem.messageWindowOpen, 1);
    EXPECT_FALSE(game.Home().gameSystem.choiceRequest.empty());
    EXPECT_EQ(game.Variable(kVariableBase + 11), 0) << "the event waits for the choice";

    game.SetKey(kDownArrow, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(kDownArrow, false);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Variable(kVariableBase + 11), 0) << "moving the cursor chooses nothing";
    game.SetKey(game_key::kEnter, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(game_key::kEnter, false);
    ASSERT_TRUE(game.StepFrames(30));
    EXPECT_EQ(game.Variable(kVariableBase + 10), 2);
    EXPECT_EQ(game.Variable(kVariableBase + 11), 1);
    EXPECT_EQ(game.Home().gameSystem.messageWindowOpen, 0) << "the message closes with its choices";
    EXPECT_TRUE(game.Home().gameSystem.choiceRequest.empty());
}

uint32_t Rgb(uint32_t pixel) { return pixel & 0xFFFFFF; }

TEST(WiredGame, AShownPictureIsDrawnAtItsPlaceAndAnErasedOneIsGone) {
    // Picture 1 at (100, 50), zoom 100, full opacity; erased when variable
    // 20 becomes 1.
    GameHarness game(GameWithAutoStart(R"(
    command 150 0 1 0 1 1 1 255 100 50 100 0 0 0x646464 0 text "Picture/red.bmp"
    command 121 2000099 1 0 0xC
)",
                                       R"(
  event "消す"
    trigger 0x21
    condition 2000020 1
    command 150 2 1 0
    command 121 2000020 2 0 0xC
file "Data/Picture/red.bmp"
  bytes)" + SolidBitmapBytes(255, 0, 0) + "\n"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    platform::PresentedFrame frame = game.Shown();
    ASSERT_FALSE(frame.pixels.empty());
    EXPECT_EQ(Rgb(frame.at(101, 51)), 0xFF0000u);
    EXPECT_EQ(Rgb(frame.at(103, 53)), 0xFF0000u);
    EXPECT_NE(Rgb(frame.at(104, 51)), 0xFF0000u) << "four pixels wide";
    EXPECT_NE(Rgb(frame.at(99, 51)), 0xFF0000u);

    game.Home().variableStore.SetInt(kVariableBase + 20, 1);
    ASSERT_TRUE(game.StepFrames(3));
    EXPECT_EQ(game.Variable(kVariableBase + 20), 2);
    EXPECT_NE(Rgb(game.Shown().at(101, 51)), 0xFF0000u);
}

TEST(WiredGame, TheToneTintsTheMapSceneButNotThePicturesAboveIt) {
    // Blue pictures at (100, 50) with id -5 (drawn with the map scene) and at
    // (200, 50) with id 5 (drawn after the tone); a tone of (255, 0, 0) at
    // once adds red over the map scene, the first picture and the empty
    // ground included, but not over the second picture.
    GameHarness game(GameWithAutoStart(R"(
    command 150 0 -5 0 1 1 1 255 100 50 100 0 0 0x646464 0 text "Picture/blue.bmp"
    command 150 0 5 0 1 1 1 255 200 50 100 0 0 0x646464 0 text "Picture/blue.bmp"
    command 151 0x6464C8 0
    command 121 2000099 1 0 0xC
)",
                                       R"(
file "Data/Picture/blue.bmp"
  bytes)" + SolidBitmapBytes(0, 0, 255) + "\n"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    EXPECT_EQ(Rgb(game.Shown().at(101, 51)), 0xFF00FFu);
    EXPECT_EQ(Rgb(game.Shown().at(300, 300)), 0xFF0000u);
    EXPECT_EQ(Rgb(game.Shown().at(201, 51)), 0x0000FFu);
}

TEST(WiredGame, AStartMapWhoseFileIsMissingIsReportedAndEndsTheGame) {
    GameHarness game(R"(
game
  title "地図なし"
)" + BasicSystemDatabase() + R"(
database user
database changeable
)");
    if (game.Start() == std::nullopt) game.StepFrames(2);
    EXPECT_TRUE(game.Ended()) << "the first frame's transfer fails";
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneQuit);
    ASSERT_FALSE(game.MessageBoxes().empty());
}

}  // namespace
}  // namespace velk::testing
