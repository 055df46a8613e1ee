// The map's rules as a player meets them in a running game: an event talked
// to turns to the hero from every side, a tile's one-sided edge stops
// whole-tile steps, a counter is talked across when the hero stands only
// half in front of it, and the "tile at" game value sees every layer.
//
// Positions are half tiles (grid units): a character on tile (x, y) stands at
// (2x, 2y). The tileset's base tiles: 0 floor, 1 wall, 2 blocks leaving to
// the left, 3 blocks leaving to the right, 4 a counter (and a wall).
#include <string>

#include <gtest/gtest.h>

#include "game/data/input_state.h"
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

// The hero starts on tile (x, y); `steps` is the game's step setting (0
// half tiles, 1 whole tiles); `map` adds tiles and events to map 0.
std::string MapGame(int x, int y, int steps, const std::string& map) {
    return R"(
game
  title "ちずのゲーム"
  setting 8 )" +
           std::to_string(steps) + R"(
settings-file
  Start 0
  SEandBGM 3
)" + BasicSystemDatabase(0, x, y) +
           R"(
database user
database changeable
tilesets
  tileset "野外"
    terrain 0 0 0 0 0 0 0 0 0 0 0 0 0
    flags 0 0 0 0 0 0 0 0 0 15 2 4 0x8F
map "MapData/Map000.mps"
  name "first"
  size 20 15
  fill 0 0 0 20 15 0
)" + map;
}

// Holds `key` for one frame, then lets go for `after` frames.
void Tap(GameHarness& game, uint8_t key, int after = 12) {
    game.SetKey(key, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(key, false);
    ASSERT_TRUE(game.StepFrames(after));
}

const MapEvent* Event(GameHarness& game, int32_t id) {
    for (const MapEvent& event : game.Home().mapState.events)
        if (event.id == id) return &event;
    return nullptr;
}

// Event 1 on tile (5, 5) faces left and shows a message when talked to;
// variable 10 counts its runs.
const char* kTalker = R"(
  event 1 "talker" 5 5
    page
      graphic 0 "" 4 1 255 0
      command 121 2000010 1 0 0x10C
      command 101 text "こんにちは"
)";

TEST(MapGame, AnEventTalkedToTurnsToTheHeroFromEverySide) {
    const struct {
        int heroX, heroY;
        uint8_t toward;
        int16_t facing;  // the event's, toward the hero
    } sides[] = {
        {5, 6, kUpArrow, 2},     // the hero below
        {5, 4, kDownArrow, 8},   // above
        {4, 5, kRightArrow, 4},  // left
        {6, 5, kLeftArrow, 6},   // right
    };
    for (const auto& side : sides) {
        // Whole-tile steps: the hero next to the event cannot come closer.
        GameHarness game(MapGame(side.heroX, side.heroY, 1, kTalker));
        ASSERT_EQ(game.Start(), std::nullopt);
        ASSERT_TRUE(game.StepFrames(2));
        // The event stands in the way: the key only turns the hero.
        Tap(game, side.toward, 4);
        EXPECT_EQ(game.Home().hero.gridX, 2 * side.heroX);
        EXPECT_EQ(game.Home().hero.gridY, 2 * side.heroY);
        Tap(game, game_key::kEnter, 20);
        ASSERT_EQ(game.Variable(kVariableBase + 10), 1) << side.facing;
        const MapEvent* talker = Event(game, 1);
        ASSERT_NE(talker, nullptr);
        EXPECT_EQ(talker->facing, side.facing) << "while it talks";
        // The answered message ends the event, which turns back.
        ASSERT_TRUE(game.StepFrames(60));
        Tap(game, game_key::kEnter, 20);
        EXPECT_EQ(talker->facing, 4) << side.facing;
    }
}

TEST(MapGame, InWholeTileStepsATilesEdgeStopsOnlyTheStepThatLeavesThroughIt) {
    // The hero starts on a blocks-left tile (6, 7); a blocks-right tile lies
    // at (8, 7).
    const std::string tiles = R"(
  tile 0 6 7 2
  tile 0 8 7 3
)";
    GameHarness game(MapGame(6, 7, 1, tiles));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    ASSERT_EQ(game.Home().mapState.settings.stepSetting, 1);
    Tap(game, kLeftArrow);
    EXPECT_EQ(game.Home().hero.gridX, 12) << "its left edge holds the hero";
    EXPECT_EQ(game.Home().hero.facing, 4);
    // Right onto the blocks-right tile, whose right edge then holds; back
    // left over the blocks-left tile's right edge, which lets it in.
    Tap(game, kRightArrow);
    EXPECT_EQ(game.Home().hero.gridX, 14);
    Tap(game, kRightArrow);
    EXPECT_EQ(game.Home().hero.gridX, 16);
    Tap(game, kRightArrow);
    EXPECT_EQ(game.Home().hero.gridX, 16) << "its right edge holds the hero";
    Tap(game, kLeftArrow);
    Tap(game, kLeftArrow);
    EXPECT_EQ(game.Home().hero.gridX, 12);
    Tap(game, kDownArrow);
    EXPECT_EQ(game.Home().hero.gridY, 16) << "down leaves through no blocked edge";
}

TEST(MapGame, ACounterHalfATileToTheRightIsTalkedAcross) {
    // A counter on tile (5, 5), the shopkeeper behind it on (5, 4). The hero
    // comes from tile (4, 6) half a tile right and half a tile up, to grid
    // (9, 11): only its right half faces the counter.
    const std::string map = R"(
  tile 0 5 5 4
  event 1 "shopkeeper" 5 4
    page
      graphic 0 "" 2 1 255 0
      command 121 2000010 1 0 0x10C
)";
    GameHarness game(MapGame(4, 6, 0, map));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    Tap(game, kRightArrow, 6);
    Tap(game, kUpArrow, 6);
    Tap(game, kUpArrow, 6);
    ASSERT_EQ(game.Home().hero.gridX, 9);
    ASSERT_EQ(game.Home().hero.gridY, 11) << "the counter stops the second step";
    Tap(game, game_key::kEnter, 6);
    EXPECT_EQ(game.Variable(kVariableBase + 10), 1);
}

TEST(MapGame, TheTileAtValueLooksThroughEveryLayerDownToTheGround) {
    // Tile (3, 3) only on the ground layer; (4, 3) on layer 1 over it; (5, 3)
    // on layer 2 over layer 1. Tile indexes are base tiles + 8.
    const std::string map = R"(
  tile 0 3 3 2
  tile 1 4 3 3
  tile 1 5 3 1
  tile 2 5 3 4
  event 0 "director" 0 0
    page
    page
      trigger 1
      condition 0 0x21 2000099 0
      command 121 2000099 1 0 0xC
      command 124 2000040 0x42000 3 3
      command 124 2000041 0x42000 4 3
      command 124 2000042 0x42000 5 3
      command 124 2000043 0x42000 7 3
)";
    GameHarness game(MapGame(0, 10, 0, map));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    ASSERT_EQ(game.Variable(kVariableBase + 99), 1);
    EXPECT_EQ(game.Variable(kVariableBase + 40), 10);
    EXPECT_EQ(game.Variable(kVariableBase + 41), 11);
    EXPECT_EQ(game.Variable(kVariableBase + 42), 12);
    EXPECT_EQ(game.Variable(kVariableBase + 43), 8) << "the plain floor";
}

}  // namespace
}  // namespace velk::testing
