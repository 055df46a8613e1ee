// A game the writer makes in which characters walk: on the first map the
// hero and a map event follow move routes, or the hero walks under held
// keys; they run into walls and into other characters. Event 2 starts (by
// the hero's bump, or asked by another event), calls the pages of event 3
// and asks event 4 to start, which transfers the hero to the second map and
// writes where everyone ended up.
//
// The first map is 20 x 15 tiles of floor (tile 0, no flags) with walls
// (tile 1, flags 15) at tiles (6, 3) and (10, 4). Positions below are half
// tiles (grid units): a character on tile (x, y) stands at (2x, 2y) and its
// feet cover tile row y. Steps are half tiles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr uint8_t kRightArrow = 0xCD;
constexpr uint8_t kDownArrow = 0xD0;

// Map row 1 names the second map's file; the hero starts on tile (3, 3) of
// map 0.
std::string SystemDatabaseWithTwoMaps() {
    std::string database = BasicSystemDatabase(0, 3, 3);
    const std::string row1 = R"(data "1" "MapData/Map000.mps")";
    database.replace(database.find(row1), row1.size(), R"(data "1" "MapData/Map001.mps")");
    return database;
}

// `director` holds the commands of an event that starts by itself once
// (while variable 99 is 0); none when empty.
std::string CharacterGame(const std::string& director) {
    std::string game = R"(
game
  title "歩くゲーム"
settings-file
  Start 0
  SEandBGM 3
)" + SystemDatabaseWithTwoMaps() +
                       R"(
database user
database changeable
tilesets
  tileset "野外"
    terrain 0 0 0 0 0 0 0 0 0 0
    flags 0 0 0 0 0 0 0 0 0 15
map "MapData/Map001.mps"
  name "second"
  size 20 15
  fill 0 0 0 20 15 0
map "MapData/Map000.mps"
  name "first"
  size 20 15
  fill 0 0 0 20 15 0
  tile 0 6 3 1
  tile 0 10 4 1
  event 1 "walker" 10 6
    page
      # Showing tile 0: the event blocks the hero.
      graphic 0 "" 2 1 255 0
  event 2 "touched" 5 6
    page
      graphic 0 "" 2 1 255 0
      trigger 3
      command 210 3 0
      command 210 3 -1
      command 211 4 0
  event 3 "called" 15 12
    page
      command 121 2000020 7 0 0x10C
    page
      command 121 2000021 1 0 0x10C
  event 4 "mover" 15 13
    page
      # Variables 30-34: the walker's half-tile x and y, then after the
      # transfer the hero's half-tile x and y and the current map.
      command 121 2000030 9100012 0 0x8
      command 121 2000031 9100013 0 0x8
      command 130 -1 4 5 1
      command 121 2000032 9180002 0 0x8
      command 121 2000033 9180003 0 0x8
      command 121 2000034 9000023 0 0x8
      command 122 3000000 0 0 text "hero \\v[32] \\v[33] map \\v[34]\nevent \\v[30] \\v[31]\ncalls \\v[20] \\v[21]"
      command 122 3000000 0x600 0 text "positions.txt"
      command 175
)";
    if (!director.empty()) {
        game += R"(
  event 0 "director" 0 0
    page
    page
      trigger 1
      condition 0 0x21 2000099 0
      command 121 2000099 1 0 0xC
)" + director;
    }
    return game;
}

TEST(CharacterGame, RoutesMoveTheHeroAndAnEventIntoWallsAndCharacters) {
    // The hero (6, 6) goes right four times, the fifth step would put its
    // feet on the wall at (6, 3): (10, 6); then down twice: (10, 8). The
    // walker (20, 12) takes full-tile steps: up to (20, 10), up again into
    // the wall at (10, 4) (skipped), then left three times: (14, 10). After
    // both routes the hero goes down: (10, 9), (10, 10), (10, 11); the next
    // step would overlap event 2 at (10, 12), which blocks it (a route's
    // steps run no touch checks). The director then asks event 2 to start,
    // which calls page 0 of event 3 (+7 to variable 20) and its current page
    // 1 (+1 to variable 21) and asks event 4 to start; event 4 notes the
    // walker, transfers the hero to tile (4, 5) of map 1 and writes the file.
    GameHarness game(CharacterGame(R"(
      command 201 -2
      command-route 0 3 3 3 3 2
      move 2 ""
      move 2 ""
      move 2 ""
      move 2 ""
      move 2 ""
      move 0 ""
      move 0 ""
      command 201 1
      command-route 0 3 3 3 3 2
      move 49 ""
      move 3 ""
      move 3 ""
      move 1 ""
      move 1 ""
      move 1 ""
      command 202
      command 201 -2
      command-route 0 3 3 3 3 2
      move 0 ""
      move 0 ""
      move 0 ""
      move 0 ""
      command 202
      command 211 2 0
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_FALSE(game.StepFrames(400)) << "event 4 quits the game";
    EXPECT_EQ(game.ReadFile("positions.txt"), "hero 8 10 map 1\r\nevent 14 10\r\ncalls 7 1");
}

TEST(CharacterGame, TheHeroWalksUnderHeldKeysFrameByFrame) {
    // The director only lets the followers walk the hero's trail.
    GameHarness game(CharacterGame(R"(
      command 270 0x94 0 0
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    const Hero& hero = game.Home().hero;
    ASSERT_EQ(hero.gridX, 6);
    ASSERT_EQ(hero.gridY, 6);

    // Speed 4 at the hero's factor 4: 16 quarter pixels a frame, so each
    // half-tile step of 64 takes four frames and the next starts in the
    // frame after arriving. From grid 10 the next step would put the feet
    // on the wall tile (6, 3): the hero stays, facing right.
    game.SetKey(kRightArrow, true);
    std::vector<int32_t> pixels, cells;
    for (int frame = 1; frame <= 20; ++frame) {
        ASSERT_TRUE(game.StepFrames(1));
        pixels.push_back(hero.pixelX);
        cells.push_back(hero.gridX);
    }
    for (int frame = 1; frame <= 20; ++frame) {
        const int walked = std::min(frame, 16);
        EXPECT_EQ(pixels[frame - 1], 6 * 64 + walked * 16) << frame;
        EXPECT_EQ(cells[frame - 1], std::min(6 + (frame + 3) / 4, 10)) << frame;
    }
    EXPECT_EQ(hero.facing, 6);
    game.SetKey(kRightArrow, false);

    // Down from (10, 6) to (10, 11) in five steps; the sixth bumps into
    // event 2, which starts and ends with the transfer and the file.
    game.SetKey(kDownArrow, true);
    ASSERT_TRUE(game.StepFrames(20));
    EXPECT_EQ(hero.gridY, 11);
    // Follower i repeats the hero's steps i + 1 steps later: of the nine
    // steps (four right, five down) follower 0 has made eight.
    ASSERT_GE(hero.followers.size(), 4u);
    const int32_t followerCells[][2] = {{10, 10}, {10, 9}, {10, 8}, {10, 7}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(hero.followers[i].gridX, followerCells[i][0]) << i;
        EXPECT_EQ(hero.followers[i].gridY, followerCells[i][1]) << i;
        EXPECT_FALSE(hero.followers[i].IsMoving()) << i;
    }
    EXPECT_FALSE(game.StepFrames(30)) << "event 4 quits the game";
    EXPECT_EQ(game.ReadFile("positions.txt"), "hero 8 10 map 1\r\nevent 20 12\r\ncalls 7 1");
}

}  // namespace
}  // namespace velk::testing
