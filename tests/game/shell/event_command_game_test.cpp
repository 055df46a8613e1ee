// Games the writer makes whose events read back what branches, character
// commands, game values, system variables and the choice window did: a
// common event and a map event each start by themselves once and leave
// their results in variables, strings or the game's objects.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/variable_id.h"
#include "game/map/map_event.h"
#include "game/present/sound_state.h"
#include "game/shell/game_home.h"
#include "lib/core/window/message_processing.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

// The common event runs `common` once (while variable 99 is 0); map event 1
// at tile (1, 1) runs `director` once (while variable 98 is 0). Events 2
// and 3 stand still on tiles (10, 6) and (4, 10) of a 20 x 15 floor.
// `moreCommons` adds common events.
std::string EventGame(const std::string& common, const std::string& director = "",
                      const std::string& moreCommons = "") {
    return R"(
game
  title "イベントのゲーム"
settings-file
  Start 0
  SEandBGM 3
)" + BasicSystemDatabase(0, 1, 12) +
           R"(
database user
database changeable
tilesets
  tileset "床"
    terrain 0 0 0 0 0 0 0 0 0 0
    flags 0 0 0 0 0 0 0 0 0 0
map "MapData/Map000.mps"
  name "floor"
  size 20 15
  fill 0 0 0 20 15 0
  event 2 "walker" 10 6
    page
      graphic 0 "" 2 1 255 0
  event 3 "other" 4 10
    page
      graphic 0 "" 2 1 255 0
  event 1 "director" 1 1
    page
      trigger 1
      condition 0 0x21 2000098 0
      command 121 2000098 1 0 0xC
)" + director +
           R"(
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
)" + common +
           moreCommons;
}

int32_t Var(GameHarness& game, int32_t n) { return game.Variable(kVariableBase + n); }

// Three branches whose cases set variables base, base + 1 and base + 2: no
// conditions (only the case for none holding runs: 1); one condition that
// fails (its else case: 2); two conditions of which the second holds (its
// case: 2).
std::string ThreeBranches(int base, const std::string& indent) {
    const std::string lines = R"(command 111 0
command 420 0
command 121 V0 1 0 0xC indent 1
command 499
command 111 1 2000090 5 0x12
command 401 1
command 121 V1 1 0 0xC indent 1
command 420 0
command 121 V1 2 0 0xC indent 1
command 499
command 111 2 2000090 5 0x12 2000090 0 0x12
command 401 1
command 121 V2 1 0 0xC indent 1
command 401 2
command 121 V2 2 0 0xC indent 1
command 420 0
command 121 V2 3 0 0xC indent 1
command 499
)";
    std::string out;
    for (size_t at = 0; at < lines.size();) {
        const size_t end = lines.find('\n', at) + 1;
        std::string line = lines.substr(at, end - at);
        if (const size_t v = line.find(" V"); v != std::string::npos)
            line.replace(v + 1, 2, std::to_string(kVariableBase + base + (line[v + 2] - '0')));
        out += indent + line;
        at = end;
    }
    return out;
}

TEST(EventCommandGame, BranchesRunTheSameCasesInCommonAndMapEvents) {
    GameHarness game(EventGame(ThreeBranches(10, "    "), ThreeBranches(20, "      ")));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    ASSERT_EQ(Var(game, 99), 1);
    ASSERT_EQ(Var(game, 98), 1);
    for (int base : {10, 20}) {
        EXPECT_EQ(Var(game, base), 1) << base;
        EXPECT_EQ(Var(game, base + 1), 2) << base;
        EXPECT_EQ(Var(game, base + 2), 2) << base;
    }
}

// Commands 201, 124 and 290 name their character through a normal variable
// (variable 0 holds 2) and through the running event's self variable 0
// (which holds 3).
TEST(EventCommandGame, CharactersNamedThroughVariablesAreFound) {
    GameHarness game(EventGame("", R"(
      command 121 2000000 2 0 0xC
      command 121 1100000 3 0 0xC
      command 201 2000000
      command-route 0 3 3 3 3 2
      move 2 ""
      command 201 1100000
      command-route 0 3 3 3 3 2
      move 0 ""
      move 0 ""
      command 202
      command 124 2000030 0x1000 2000000 2
      command 124 2000031 0x1000 1100000 3
      command 290 0x01 600 2000000 0 30 -30 60
      command 290 0x01 600 1100000 0 -50 40 10
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(60));
    ASSERT_EQ(Var(game, 98), 1);
    const MapEvent* walker = game.Home().mapState.FindEvent(2);
    const MapEvent* other = game.Home().mapState.FindEvent(3);
    ASSERT_NE(walker, nullptr);
    ASSERT_NE(other, nullptr);
    // Event 2 took one half-tile step right from (20, 12), event 3 two down
    // from (8, 20).
    EXPECT_EQ(walker->gridX, 21);
    EXPECT_EQ(other->gridY, 22);
    EXPECT_EQ(Var(game, 30), 21);
    EXPECT_EQ(Var(game, 31), 22);
    // The colour targets: (r + 100) x 65536 + (g + 100) x 256 + b + 100.
    EXPECT_EQ(walker->colorEffectTarget, 130u * 65536 + 70u * 256 + 160u);
    EXPECT_EQ(other->colorEffectTarget, 50u * 65536 + 140u * 256 + 110u);
}

// A second of 16-bit mono silence at 8 kHz.
void WriteTone(const std::filesystem::path& path) {
    const uint32_t samples = 8000;
    std::string b;
    auto le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(static_cast<char>(v >> (8 * i)));
    };
    b += "RIFF";
    le(36 + samples * 2, 4);
    b += "WAVEfmt ";
    le(16, 4);
    le(1, 2);
    le(1, 2);
    le(8000, 4);
    le(16000, 4);
    le(2, 2);
    le(16, 2);
    b += "data";
    le(samples * 2, 4);
    b.append(samples * 2, '\0');
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << b;
}

// Music row 0 and background-sound row 0 name one file at their own volume
// 80; each list then has its ten spare rows from row 1 on.
std::string SoundGame(const std::string& common) {
    std::string game = EventGame(common);
    const std::string item = "    item number \"ループ位置\"\n";
    const std::string row = "    data \"音\" \"Sound/tone.wav\" 80 100 0\n";
    const size_t music = game.find(item);
    game.insert(music + item.size(), row);
    const size_t background = game.find(item, music + item.size() + row.size());
    game.insert(background + item.size(), row);
    return game;
}

TEST(EventCommandGame, SoundNumbersAnswerOnlyForDatabaseRows) {
    // Values 1 and 2 of the game-value command (kind 3) after playing row 0
    // of each list, then after playing the file by its name, which takes a
    // spare row.
    GameHarness game(SoundGame(R"(
    command 140 0x00 0
    command 140 0x10 0
    command 124 2000001 0x3000 1
    command 124 2000002 0x3000 2
    command 140 0x2000000 0 0 0 100 100 0 text "Sound/other.wav"
    command 140 0x2000010 0 0 0 100 100 0 text "Sound/other.wav"
    command 124 2000003 0x3000 1
    command 124 2000004 0x3000 2
)"));
    WriteTone(game.Folder() / "Data" / "Sound" / "tone.wav");
    WriteTone(game.Folder() / "Data" / "Sound" / "other.wav");
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    ASSERT_EQ(game.Home().sound.CurrentNumber(SoundState::kMusic), 1) << "the file took the first spare row";
    ASSERT_EQ(game.Home().sound.CurrentNumber(SoundState::kBackgroundSound), 1);
    EXPECT_EQ(Var(game, 1), 0);
    EXPECT_EQ(Var(game, 2), 0);
    EXPECT_EQ(Var(game, 3), -1);
    EXPECT_EQ(Var(game, 4), -1);
}

// `\-[n]` keeps n as its byte (0 as 255, 13 as 12); only a byte that would
// be 0 or 13 takes the wide form (0x01 0x1A 0x07 and three digits + 14).
TEST(EventCommandGame, SpacingCodesConvertToTheirOwnBytes) {
    GameHarness game(EventGame(R"(
    command 122 3000001 0 0 text "a\\-[5]b\\-[0]\\-[13]\\-[1]\\-[300]\\-[-5]"
    command 122 3000002 0 0 text "\\-[256]\\-[269]"
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.StringVariable(kStringBase + 1),
              std::string("a\x01\x07\x05"
                          "b\x01\x07\xFF\x01\x07\x0C\x01\x07\x01\x01\x07\x2C\x01\x07\xFB"));
    EXPECT_EQ(game.StringVariable(kStringBase + 2), std::string("\x01\x1A\x07\x0E\x0F\x1C\x01\x1A\x07\x0E\x0F\x29"));
}

// Items 0 to 2 of a choice: the event notes the case it took in variable
// 60 (1, 2, 3 for the items, 4 for the cancel result 3, 100 for a forced
// close). A parallel event asks for the forced close once variable 50 is 1.
std::string ChoiceGame() {
    return EventGame(R"(
    command 102 0x453 text "A" text "B" text "C"
    command 401 2
    command 121 2000060 1 0 0xC indent 1
    command 401 3
    command 121 2000060 2 0 0xC indent 1
    command 401 5
    command 121 2000060 4 0 0xC indent 1
    command 401 102
    command 121 2000060 100 0 0xC indent 1
    command 499
)",
                     "", R"(
  event "閉じる"
    trigger 0x03
    command 111 1 2000050 1 0x12
    command 401 1
    command 121 2000050 0 0 0xC indent 1
    command 104 indent 1
    command 499
)");
}

constexpr uint8_t kConfirmKey = 0x2C;  // Z
constexpr uint8_t kCancelKey = 0x2D;   // X
constexpr uint8_t kDownKey = 0xD0;

int32_t CurrentChoice(GameHarness& game) { return game.Variable(kSystemVariableBase + 20); }

// Steps until the choice takes input (it shows the cursor as the current
// choice).
void UntilChoiceReady(GameHarness& game) {
    for (int frame = 0; frame < 60 && CurrentChoice(game) < 0; ++frame)
        ASSERT_TRUE(game.StepFrames(1));
    ASSERT_EQ(CurrentChoice(game), 0);
}

TEST(EventCommandGame, EveryAnswerOfOneFrameActs) {
    GameHarness game(ChoiceGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    UntilChoiceReady(game);
    // Confirm and cancel in one frame: the event takes item 0, and the
    // cancel that follows makes its result the current choice.
    game.SetKey(kConfirmKey, true);
    game.SetKey(kCancelKey, true);
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(CurrentChoice(game), 3);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(Var(game, 60), 1);
}

TEST(EventCommandGame, AForcedCloseLeavesTheCurrentChoice) {
    GameHarness game(ChoiceGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    UntilChoiceReady(game);
    game.SetKey(kDownKey, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(kDownKey, false);
    ASSERT_EQ(CurrentChoice(game), 1);
    game.Home().variableStore.SetInt(kVariableBase + 50, 1);
    std::vector<int32_t> seen;
    for (int frame = 0; frame < 4; ++frame) {
        ASSERT_TRUE(game.StepFrames(1));
        seen.push_back(CurrentChoice(game));
    }
    EXPECT_EQ(Var(game, 60), 100);
    for (int32_t value : seen)
        EXPECT_TRUE(value == 1 || value == -1) << value;
}

std::string ReplacedOnce(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(EventCommandGame, TheViewScrollsOnePixelPastTheLastScreen) {
    // 30 x 30 tiles of 32 pixels, not looping: 0..320 across, 0..481 down.
    std::string description = ReplacedOnce(EventGame(R"(
    command 121 9000104 1000 0 0xC
    command 121 9000105 1000 0 0xC
    command 121 2000001 9000104 0 0
    command 121 2000002 9000105 0 0
    command 121 9000105 -7 0 0xC
    command 121 2000003 9000105 0 0
)"),
                                           "size 20 15\n  fill 0 0 0 20 15 0", "size 30 30\n  fill 0 0 0 30 30 0");
    GameHarness game(description);
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(Var(game, 1), 320);
    EXPECT_EQ(Var(game, 2), 481);
    EXPECT_EQ(Var(game, 3), 0);
}

TEST(EventCommandGame, KeyNamesOfTheConfiguredKeyboardKeys) {
    GameHarness game(EventGame(""));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(game.StringVariable(kSystemStringBase + 1), "Z");
    EXPECT_EQ(game.StringVariable(kSystemStringBase + 2), "X");
    EXPECT_EQ(game.StringVariable(kSystemStringBase + 3), "C");
    // Space (scan code 0x39) for confirm; Enter (0x1C) for sub.
    game.Home().variableStore.SetInt(kSystemVariableBase + 52, 100 + 0x39);
    game.Home().variableStore.SetInt(kSystemVariableBase + 54, 100 + 0x1C);
    EXPECT_EQ(game.StringVariable(kSystemStringBase + 1), "SPACE");
    EXPECT_EQ(game.StringVariable(kSystemStringBase + 2), "X");
    EXPECT_EQ(game.StringVariable(kSystemStringBase + 3), "Enter");
}

TEST(EventCommandGame, BaseVolumesGiveThePlayingSoundTheirOwnValue) {
    // Rows of volume 80 play; base volumes 50 and 30 are written and the
    // current volumes (system variables 95 and 97) read back.
    GameHarness game(SoundGame(R"(
    command 140 0x00 0
    command 140 0x10 0
    command 121 9000100 50 0 0xC
    command 121 9000101 30 0 0xC
    command 121 2000001 9000095 0 0
    command 121 2000002 9000097 0 0
)"));
    WriteTone(game.Folder() / "Data" / "Sound" / "tone.wav");
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    EXPECT_EQ(Var(game, 1), 50);
    EXPECT_EQ(Var(game, 2), 30);
}

TEST(EventCommandGame, TheMouseIsPlacedAtTheWindowsSizeAndReadBackAtOnce) {
    // Variable 97 set to 1 starts the common event that places the mouse.
    GameHarness game(EventGame("", "", R"(
  event "マウス"
    trigger 0x21
    condition 2000097 1
    command 121 2000097 2 0 0xC
    command 121 9000071 100 0 0xC
    command 121 9000072 50 0 0xC
    command 121 2000071 9000071 0 0
    command 121 2000072 9000072 0 0
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    // The window at twice its size, as F4 makes it.
    SetWindowSizeExtendRate(2.0);
    game.Home().variableStore.SetInt(kVariableBase + 97, 1);
    ASSERT_TRUE(game.StepFrames(1));
    ASSERT_EQ(Var(game, 97), 2);
    EXPECT_EQ(Var(game, 71), 100);
    EXPECT_EQ(Var(game, 72), 50);
    ASSERT_FALSE(game.Window().warps().empty());
    EXPECT_EQ(game.Window().warps().back().x, 200);
    EXPECT_EQ(game.Window().warps().back().y, 100);
}

TEST(EventCommandGame, ChoicesOpenWhenAnyTextHasText) {
    // One item, empty; the second text is not an item but is not empty: the
    // window opens and the event waits for it.
    GameHarness game(EventGame(R"(
    command 102 0x31 text "" text "B"
    command 121 2000040 1 0 0xC
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(5));
    EXPECT_EQ(Var(game, 40), 0);
    EXPECT_FALSE(game.Home().gameSystem.choiceRequest.empty());
}

TEST(EventCommandGame, TheDownloadCommandExpandsItsTexts) {
    // A leading "@n" line of the address sets system variable 0.
    GameHarness game(EventGame(R"(
    command 260 0 0 text "@7\nhttp://example.com/" text "a.txt"
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Variable(kSystemVariableBase + 0), 7);
}

TEST(EventCommandGame, EveryFileWriteIsDoneWhenItsCommandRuns) {
    // A parallel event writes nine files and then sets variable 61; it runs
    // for one frame only. Twenty more write a file each every frame and
    // count their writes in variables 70-89.
    std::string writers = R"(
  event "九つ"
    trigger 0x22
    condition 2000060 1
)";
    for (int i = 1; i <= 9; ++i)
        writers += "    command 122 3000000 0x600 0 text \"w" + std::to_string(i) + ".txt\"\n";
    writers += "    command 121 2000061 1 0 0xC\n";
    for (int i = 0; i < 20; ++i) {
        writers += "  event \"毎回" + std::to_string(i) + "\"\n    trigger 0x22\n    condition 2000060 1\n" +
                   "    command 122 3000000 0x600 0 text \"p" + std::to_string(i) + ".txt\"\n" + "    command 121 " +
                   std::to_string(2000070 + i) + " 1 0 0x10C\n";
    }
    GameHarness game(EventGame(R"(
    command 122 3000000 0 0 text "saved"
    command 121 2000060 1 0 0xC
    command 180 1
    command 121 2000060 0 0 0xC
)",
                               "", writers));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(6));
    EXPECT_EQ(Var(game, 60), 0);
    EXPECT_EQ(Var(game, 61), 1);
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(game.ReadFile("w" + std::to_string(i) + ".txt"), "saved") << i;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Var(game, 70 + i), Var(game, 70)) << i;
        EXPECT_EQ(game.ReadFile("p" + std::to_string(i) + ".txt"), "saved") << i;
    }
    EXPECT_GE(Var(game, 70), 1);
}

}  // namespace
}  // namespace velk::testing
