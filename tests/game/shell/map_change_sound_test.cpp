// Game sound across a map change in a running game: the sounds nothing plays
// any more are released when the new map loads, and the game-value command
// reads the music's length from what plays.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "game/data/variable_id.h"
#include "game/shell/game_home.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

std::string ReplacedOnce(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// Music row 0 and sound-effect rows 0 and 1 name one three-second file; the
// maps leave the sound as it is (-2).
std::string SoundGame() {
    std::string system = BasicSystemDatabase();
    system = ReplacedOnce(system, "    item number \"ループ位置\"\n",
                          "    item number \"ループ位置\"\n    data \"曲\" \"Sound/long.wav\" 100 0 0\n");
    system = ReplacedOnce(system, "    item number \"再生後解放\"\n",
                          "    item number \"再生後解放\"\n    data \"音1\" \"Sound/long.wav\" 100 0 0\n"
                          "    data \"音2\" \"Sound/long.wav\" 100 0 0\n");
    for (const char* map : {"\"0\"", "\"1\""})
        system = ReplacedOnce(system, std::string("data ") + map + " \"MapData/Map000.mps\" -1 -1",
                              std::string("data ") + map + " \"MapData/Map000.mps\" -2 -2");
    return R"(
game
  title "音"
settings-file
  Start 0
  SEandBGM 3
)" + system + R"(
database user
database changeable
)" + BasicMap() + R"(
common-events
  event "鳴らす"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 140 0x00 0
    command 140 0x20 0
    command 140 0x121 0
    command 124 2000003 0x3000 5
  event "移る"
    trigger 0x21
    condition 2000050 1
    command 121 2000050 2 0 0xC
    command 130 -1 2 2 1
)";
}

// Three seconds of 16-bit mono at 8 kHz.
void WriteLongWave(const std::filesystem::path& path) {
    const uint32_t samples = 8000 * 3;
    std::string b;
    auto le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(static_cast<char>(v >> (8 * i)));
    };
    b += "RIFF";
    le(36 + samples * 2, 4);
    b += "WAVEfmt ";
    le(16, 4);
    le(1, 2);  // PCM
    le(1, 2);  // one channel
    le(8000, 4);
    le(16000, 4);
    le(2, 2);
    le(16, 2);
    b += "data";
    le(samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i)
        le(1000, 2);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << b;
}

TEST(MapChangeSound, ATransferReleasesTheSoundsNothingPlays) {
    GameHarness game(SoundGame());
    WriteLongWave(game.Folder() / "Data" / "Sound" / "long.wav");
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    SoundState& sound = game.Home().sound;
    ASSERT_EQ(sound.CountLoadedSounds(), 3) << "the music, the effect played and the one preloaded";
    EXPECT_EQ(game.Variable(kVariableBase + 3), 3000) << "the music's length";

    game.Home().variableStore.SetInt(kVariableBase + 50, 1);
    ASSERT_TRUE(game.StepFrames(2));
    ASSERT_EQ(game.Home().mapState.mapId, 1);
    EXPECT_EQ(sound.CountLoadedSounds(), 2);
    EXPECT_EQ(sound.RowHandle(SoundState::kSoundEffect, 1), 0) << "the preloaded effect went";
    EXPECT_NE(sound.RowHandle(SoundState::kSoundEffect, 0), 0);
    EXPECT_EQ(sound.CurrentNumber(SoundState::kMusic), 0);
}

}  // namespace
}  // namespace velk::testing
