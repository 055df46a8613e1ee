// Messages and choices answered by a player's keys in a running game: which
// keys close a message, where the cursor of three items goes and where it
// starts, and which case of the choice then runs.
#include <string>

#include <gtest/gtest.h>

#include "game/data/input_state.h"
#include "game/data/variable_id.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr uint8_t kUpArrow = 0xC8;
constexpr uint8_t kDownArrow = 0xD0;

// A game whose only common event starts by itself once (while variable 99
// is 0) and runs `commands`.
std::string GameWithAutoStart(const std::string& commands) {
    return R"(
game
  title "はなすゲーム"
settings-file
  Start 0
  SEandBGM 3
)" + BasicSystemDatabase() +
           R"(
database user
database changeable
)" + BasicMap() +
           R"(
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
)" + commands;
}

// Holds `key` for one frame, then lets go for `after` frames.
void Tap(GameHarness& game, uint8_t key, int after = 3) {
    game.SetKey(key, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(key, false);
    ASSERT_TRUE(game.StepFrames(after));
}

int32_t Var(GameHarness& game, int32_t number) { return game.Variable(kVariableBase + number); }

TEST(MessageGame, TheCancelKeyClosesAFinishedMessageAsConfirmDoes) {
    // Variable 11 counts the messages the event got past.
    GameHarness game(GameWithAutoStart(R"(
    command 101 text "ひとつめ"
    command 121 2000011 1 0 0xC
    command 101 text "ふたつめ"
    command 121 2000011 2 0 0xC
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(60));
    ASSERT_EQ(game.Home().gameSystem.messageWindowOpen, 1);
    ASSERT_TRUE(game.StepFrames(30));
    EXPECT_EQ(Var(game, 11), 0) << "a shown message waits for an answer";

    Tap(game, game_key::kEscape, 5);
    EXPECT_EQ(Var(game, 11), 1) << "cancel answered the first message";
    ASSERT_TRUE(game.StepFrames(60));
    EXPECT_EQ(Var(game, 11), 1) << "the second waits in its turn";
    Tap(game, game_key::kX, 30);
    EXPECT_EQ(Var(game, 11), 2) << "so does the other cancel key";
    EXPECT_EQ(game.Home().gameSystem.messageWindowOpen, 0);
}

// Three items that each write their number (1-3) into variable 10; cancel
// not allowed. `before` runs first.
std::string ThreeItems(const std::string& before = "") {
    return GameWithAutoStart(before + R"(
    command 102 0x13 text "いち" text "に" text "さん"
    command 401 2
    command 121 2000010 1 0 0xC indent 1
    command 401 3
    command 121 2000010 2 0 0xC indent 1
    command 401 4
    command 121 2000010 3 0 0xC indent 1
    command 499
    command 121 2000011 1 0 0xC
)");
}

// Starts the game, moves the cursor with `moves` and confirms; the item the
// event took (0 while it has not gone on).
int32_t Chosen(GameHarness& game, const std::vector<uint8_t>& moves) {
    if (game.Start() != std::nullopt) return -1;
    if (!game.StepFrames(60) || game.Home().gameSystem.choiceRequest.empty()) return -2;
    for (uint8_t key : moves)
        Tap(game, key);
    Tap(game, game_key::kEnter, 30);
    return Var(game, 11) == 1 ? Var(game, 10) : 0;
}

TEST(MessageGame, UpAndDownMoveTheCursorOfThreeItemsApartAndWrapAround) {
    {
        GameHarness game(ThreeItems());
        EXPECT_EQ(Chosen(game, {}), 1) << "the cursor starts on the first item";
    }
    {
        GameHarness game(ThreeItems());
        EXPECT_EQ(Chosen(game, {kDownArrow}), 2);
    }
    {
        GameHarness game(ThreeItems());
        EXPECT_EQ(Chosen(game, {kUpArrow}), 3) << "up from the first wraps to the last";
    }
    {
        GameHarness game(ThreeItems());
        EXPECT_EQ(Chosen(game, {kUpArrow, kUpArrow}), 2);
    }
    {
        GameHarness game(ThreeItems());
        EXPECT_EQ(Chosen(game, {kDownArrow, kDownArrow, kDownArrow}), 1) << "down from the last wraps to the first";
    }
}

TEST(MessageGame, TheStartingCursorIsKeptWithinTheItems) {
    // System variable 7 names the item the cursor starts on.
    const struct { int32_t start, chosen; } cases[] = {{1, 2}, {2, 3}, {3, 3}, {4, 3}, {-1, 1}};
    for (const auto& c : cases) {
        GameHarness game(ThreeItems("    command 121 9000007 " + std::to_string(c.start) + " 0 0xC\n"));
        EXPECT_EQ(Chosen(game, {}), c.chosen) << "start " << c.start;
    }
}

}  // namespace
}  // namespace velk::testing
