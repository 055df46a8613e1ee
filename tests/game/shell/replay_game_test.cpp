// Replays of a game the writer makes, through its real save files: the game
// reads the keys and draws random numbers in its own events, saves itself
// with the save command and writes its values to a file; the replay started
// from that save plays to the same file, and a game loaded from it goes on
// recording from the save's record.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/input_state.h"
#include "game/data/variable_id.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr uint8_t kUpArrow = 0xC8;

// Each frame (the event waits one frame at its end) while variable 99 is 0: the key held goes into variable 10 (10
// confirm, 11 cancel, else the 4-way direction). Confirm draws a number 0-99
// into variable 11 and folds it into variable 0, counting the draws in
// variable 2; up counts in variable 1; cancel ends the play: the values go
// to "result.txt" and the game saves itself in slot 1.
// Then, while variable 99 is 1, a new press of the sub key replays slot 1
// and one of cancel loads it.
std::string RecordedGame() {
    return R"(
game
  title "記録のゲーム"
settings-file
  Start 0
)" + BasicSystemDatabase() +
           R"(
database user
database changeable
  type "状態"
    item number "HP"
    data "勇者" 30
)" + BasicMap() +
           R"(
common-events
  event "あそび"
    trigger 0x21
    condition 2000099 0
    command 123 2000010 0x31
    command 111 1 2000010 10 0x12
    command 401 1
    command 121 2000011 8000099 0 0x8 indent 1
    command 121 2000000 2000000 7 0x2008 indent 1
    command 121 2000000 2000011 0 0x108 indent 1
    command 121 2000000 2000000 999983 0x4008 indent 1
    command 121 2000002 1 0 0x10C indent 1
    command 499
    command 111 1 2000010 8 0x12
    command 401 1
    command 121 2000001 1 0 0x10C indent 1
    command 499
    command 111 1 2000010 11 0x12
    command 401 1
    command 121 2000099 1 0 0xC indent 1
    command 122 3000000 0 0 text "a=\\v[0] b=\\v[1] c=\\v[2] d=\\v[11]" indent 1
    command 122 3000000 0x600 0 text "result.txt" indent 1
    command 220 0 1 indent 1
    command 499
    command 180 1
  event "つぎ"
    trigger 0x21
    condition 2000099 1
    command 123 2000012 0xE0
    command 111 1 2000012 12 0x12
    command 401 1
    command 220 2 1 indent 1
    command 499
    command 111 1 2000012 11 0x12
    command 401 1
    command 220 1 1 indent 1
    command 499
)";
}

struct Press {
    int frame;
    uint8_t key;
    bool down;
};

// Plays the script from the title; the last press ends the play.
void PlayScript(GameHarness& game, const std::vector<Press>& script) {
    int frame = 0;
    for (const Press& press : script) {
        ASSERT_TRUE(game.StepFrames(press.frame - frame));
        frame = press.frame;
        game.SetKey(press.key, press.down);
    }
    ASSERT_TRUE(game.StepFrames(1));
}

void Tap(GameHarness& game, uint8_t key) {
    game.SetKey(key, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(key, false);
    ASSERT_TRUE(game.StepFrames(1));
}

// A box that nobody closes (a refused save, a record used up too early)
// ends the game after a minute of its clock instead of hanging the test.
void EndOnAStuckBox(GameHarness& game) {
    game.At(60000, [&game] { game.CloseWindow(); });
}

const std::vector<Press> kScript = {
    {3, game_key::kEnter, true},    {5, game_key::kEnter, false},  {6, kUpArrow, true},
    {9, game_key::kEnter, true},    {10, game_key::kEnter, false}, {12, kUpArrow, false},
    {20, game_key::kEnter, true},   {21, game_key::kEnter, false}, {270, game_key::kEnter, true},
    {275, game_key::kEnter, false}, {290, game_key::kEscape, true}};

TEST(ReplayGame, AReplayStartedFromTheGamesSavePlaysToTheSameResultAndHandsTheGameBack) {
    GameHarness game(RecordedGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    EndOnAStuckBox(game);
    PlayScript(game, kScript);
    game.SetKey(game_key::kEscape, false);
    const std::string recorded = game.ReadFile("result.txt");
    // Nine frames with confirm drew; up counted six frames but for the one
    // with confirm (read first).
    EXPECT_EQ(game.Variable(kVariableBase + 2), 9);
    EXPECT_EQ(game.Variable(kVariableBase + 1), 5);
    ASSERT_FALSE(game.ReadFile("Save/SaveData01.sav").empty());
    std::filesystem::remove(game.Folder() / "result.txt");

    ReplayRecorder& replay = game.Home().replayRecorder;
    const int32_t savedFrames = [&] {
        ReplayRecorder copy = replay;
        int32_t frames = 0;
        copy.Flush();
        for (size_t i = 0; i < copy.Codes().size(); ++i)
            frames += copy.Codes()[i] < ReplayRecorder::kSeedMarker ? copy.Codes()[i] : 0;
        return frames;
    }();
    Tap(game, game_key::kLeftShift);
    EXPECT_EQ(replay.playbackFlag, 1);
    EXPECT_GE(savedFrames, kScript.back().frame);

    // The title block, then the recorded frames; the saving frame writes the
    // file again (and saves nothing while it plays back).
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Variable(kVariableBase + 2), 0) << "the game started over from the title";
    game.SetKey(kUpArrow, true);  // the player's keys do not reach a replay
    for (int guard = 0; replay.PlayedFrames() < savedFrames && guard < 2 * savedFrames; ++guard)
        ASSERT_TRUE(game.StepFrames(1));
    ASSERT_EQ(replay.PlayedFrames(), savedFrames);
    EXPECT_EQ(game.ReadFile("result.txt"), recorded);

    // The record is used up: its box, closed by the player, and the game is
    // back at the title with the player's keys: up counts from the first
    // frame on.
    game.At(50, [&] { game.SetKey(game_key::kEnter, true); });
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(game_key::kEnter, false);
    EXPECT_EQ(replay.playbackFlag, 0);
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneTitle);
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(game.Variable(kVariableBase + 1), 1);
    EXPECT_EQ(game.Variable(kVariableBase + 99), 0);
}

TEST(ReplayGame, AGameLoadedFromItsSaveGoesOnRecordingFromTheSavesRecord) {
    GameHarness game(RecordedGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    EndOnAStuckBox(game);
    PlayScript(game, kScript);
    game.SetKey(game_key::kEscape, false);
    ReplayRecorder saved = game.Home().replayRecorder;
    saved.Flush();

    // More play, recorded after the save, then the load.
    game.SetKey(kUpArrow, true);
    ASSERT_TRUE(game.StepFrames(10));
    game.SetKey(kUpArrow, false);
    ASSERT_TRUE(game.StepFrames(20));
    ReplayRecorder& live = game.Home().replayRecorder;
    ASSERT_NE(live.Codes(), saved.Codes());
    Tap(game, game_key::kEscape);
    // The play between the save and the load is gone from the record; the
    // frame after the load is being counted.
    EXPECT_EQ(live.playbackFlag, 0);
    EXPECT_EQ(live.Codes(), saved.Codes());
    EXPECT_EQ(live.Values(), saved.Values());
    EXPECT_EQ(game.Variable(kVariableBase + 99), 1) << "the save's values are back";
}

}  // namespace
}  // namespace velk::testing
