// Events deciding from the game's state in a running game: the page a map
// event shows by each comparison of its condition, and what each direction
// mode of the key input reads while the player holds one arrow.
#include <string>

#include <gtest/gtest.h>

#include "game/data/variable_id.h"
#include "game/map/map_event.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr uint8_t kUpArrow = 0xC8;
constexpr uint8_t kLeftArrow = 0xCB;
constexpr uint8_t kRightArrow = 0xCD;
constexpr uint8_t kDownArrow = 0xD0;

// `map` adds events to map 0; `common` is the common-events section.
std::string EventGame(const std::string& map, const std::string& common) {
    return R"(
game
  title "えらぶゲーム"
settings-file
  Start 0
  SEandBGM 3
)" + BasicSystemDatabase(0, 10, 10) +
           R"(
database user
database changeable
)" + BasicMap() +
           map + "common-events\n" + common;
}

int32_t Var(GameHarness& game, int32_t number) { return game.Variable(kVariableBase + number); }

TEST(EventGame, EachComparisonOfAPageConditionAtEqualityAndOneEitherSide) {
    // Event n (1-6) shows page 1 when variable 20 compares with 5 by the
    // flag's comparison, else page 0. The common event sets variable 20
    // once.
    const struct {
        int flag;
        const char* what;
        bool holds[3];  // variable 20 at 4, 5, 6
    } comparisons[] = {
        {0x01, ">", {false, false, true}}, {0x11, ">=", {false, true, true}}, {0x21, "=", {false, true, false}},
        {0x31, "<=", {true, true, false}}, {0x41, "<", {true, false, false}}, {0x51, "!=", {true, false, true}},
    };
    std::string map;
    for (int n = 1; n <= 6; ++n) {
        map += "  event " + std::to_string(n) + " \"e\" " + std::to_string(n) + " 1\n    page\n    page\n" +
               "      condition 0 " + std::to_string(comparisons[n - 1].flag) + " 2000020 5\n";
    }
    for (int value : {4, 5, 6}) {
        GameHarness game(EventGame(map, R"(
  event "set"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 121 2000020 )" + std::to_string(value) +
                                            " 0 0xC\n"));
        ASSERT_EQ(game.Start(), std::nullopt);
        ASSERT_TRUE(game.StepFrames(3));
        ASSERT_EQ(Var(game, 20), value);
        for (int n = 1; n <= 6; ++n) {
            const MapEvent* event = nullptr;
            for (const MapEvent& e : game.Home().mapState.events)
                if (e.id == n) event = &e;
            ASSERT_NE(event, nullptr) << n;
            EXPECT_EQ(event->pageIndex, comparisons[n - 1].holds[value - 4] ? 1 : 0)
                << value << " " << comparisons[n - 1].what << " 5";
        }
    }
}

TEST(EventGame, TheOneDirectionModesOfTheKeyInputReadOnlyTheirArrows) {
    // Every frame, key input modes 3-8 (without waiting) into variables
    // 33-38.
    std::string reads;
    for (int mode = 3; mode <= 8; ++mode)
        reads += "    command 123 " + std::to_string(2000030 + mode) + " " + std::to_string(mode) + "\n";
    GameHarness game(EventGame("", R"(
  event "keys"
    trigger 0x23
)" + reads));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    const struct {
        uint8_t key;
        const char* name;
        int32_t modes[6];  // modes 3-8: up, down, left, right, up/down, left/right
    } held[] = {
        {kUpArrow, "up", {8, 0, 0, 0, 8, 0}},
        {kDownArrow, "down", {0, 2, 0, 0, 2, 0}},
        {kLeftArrow, "left", {0, 0, 4, 0, 0, 4}},
        {kRightArrow, "right", {0, 0, 0, 6, 0, 6}},
    };
    for (const auto& h : held) {
        game.SetKey(h.key, true);
        ASSERT_TRUE(game.StepFrames(2));
        for (int mode = 3; mode <= 8; ++mode)
            EXPECT_EQ(Var(game, 30 + mode), h.modes[mode - 3]) << h.name << " held, mode " << mode;
        game.SetKey(h.key, false);
        ASSERT_TRUE(game.StepFrames(2));
        for (int mode = 3; mode <= 8; ++mode)
            EXPECT_EQ(Var(game, 30 + mode), 0) << h.name << " let go, mode " << mode;
    }
}

}  // namespace
}  // namespace velk::testing
