// Games that save, change what they saved (variables, strings, where the
// hero and a map event stand, a picture, the transition, music and
// background sound), read other slots without loading them, load, and write
// what they see before and after the load to files: the loaded game must
// look and sound like the saved one. A load may also come from deep inside
// a running event, which must outlive the load's frame.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/present/sound_state.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

// A 24-bit bitmap of one colour, as "bytes" of a file section (rows of a
// width that is a multiple of 4 need no padding).
std::string SolidBitmapBytes(int width, int height, int red, int green, int blue) {
    const int imageBytes = width * height * 3;
    const int fileBytes = 54 + imageBytes;
    auto le32 = [](std::vector<int>& b, int value) {
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back((value >> shift) & 0xFF);
    };
    std::vector<int> b = {'B', 'M'};
    le32(b, fileBytes);
    le32(b, 0);
    le32(b, 54);
    le32(b, 40);
    le32(b, width);
    le32(b, height);
    b.insert(b.end(), {1, 0, 24, 0});
    le32(b, 0);
    le32(b, imageBytes);
    for (int i = 0; i < 4; ++i)
        le32(b, i < 2 ? 0x0B13 : 0);
    for (int pixel = 0; pixel < width * height; ++pixel)
        b.insert(b.end(), {blue, green, red});
    std::string words;
    for (int byte : b)
        words += " " + std::to_string(byte);
    return words;
}

// Eight silent frames of 16-bit mono PCM at 8000 Hz.
std::string SilentWaveBytes() {
    std::vector<int> b = {'R',  'I',  'F', 'F', 52,   0,    0, 0, 'W', 'A', 'V', 'E',  // 36 + 16 data bytes
                          'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,    // PCM, one channel
                          0x40, 0x1F, 0,   0,   0x80, 0x3E, 0, 0, 2,   0,   16,  0,    // 8000 Hz, 16000 B/s
                          'd',  'a',  't', 'a', 16,   0,    0, 0};
    b.insert(b.end(), 16, 0);
    std::string words;
    for (int byte : b)
        words += " " + std::to_string(byte);
    return words;
}

// The music and background-sound lists: row 0 a real sound, then spare rows
// so that row 0 is a database sound (below the last ten).
std::string SoundRows() {
    return R"(    data "曲" "Sound/silence.wav" 100 100 0
    rows 11
)";
}

// The basic system database with those rows in its music and
// background-sound types.
std::string System() {
    std::string system = BasicSystemDatabase();
    for (const char* type : {"  type \"BGS\"\n", "  type \"SE\"\n"}) {
        const size_t at = system.find(type);
        system.insert(at, SoundRows());
    }
    return system;
}

// Commands that store what the game shows now in normal variables 3-11 and
// write one line of it to `file`: variables 0-2, strings 1 and 2, the
// hero's and map event 0's tiles, picture 1's place, the music and
// background-sound numbers and the slot last saved or loaded (system
// variable 25).
std::string Observe(const std::string& file) {
    return R"(
    command 124 2000003 0x1000 -2 0
    command 124 2000004 0x1000 -2 1
    command 124 2000005 0x4000 1 0
    command 124 2000006 0x4000 1 1
    command 124 2000007 0x3000 1 0
    command 124 2000008 0x3000 2 0
    command 121 2000009 9000025 0 0x8
    command 124 2000010 0x1000 0 0
    command 124 2000011 0x1000 0 1
    command 122 3000000 0 0 text "v=\\v[0],\\v[1],\\v[2] s=\\s[1],\\s[2] hero=\\v[3],\\v[4] event=\\v[10],\\v[11] picture=\\v[5],\\v[6] music=\\v[7],\\v[8] slot=\\v[9]"
    command 122 3000000 0x600 0 text ")" +
           file + "\"\n";
}

// "はじまり" runs once (while variable 99 is 0); "つづき" runs after the load,
// which brings variable 99 back to the 1 it was saved with. Saved slot 3:
// v0 11, s1 "before", the hero at (3, 4), map event 0 at (10, 5), picture 1
// at (100, 50), music and background sound 0, a 30-frame transition. Slot 4
// is saved after the changes; slot 7 is made by a slot write.
std::string SavingGame() {
    return R"(
game
  title "ロードするゲーム"
  text 7 "CharaChip/green.bmp"
settings-file
  Start 0
  SEandBGM 3
)" + System() +
           R"(
database user
database changeable
  type "状態"
    item number "値"
    data "一" 5
map "MapData/Map000.mps"
  name "test"
  tileset 0
  size 20 15
  fill 0 0 0 20 15 8
  event 0 "見張り" 12 2
    page
      graphic -1 "CharaChip/blue.bmp" 2 1 255 0
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 121 2000000 11 0 0xC
    command 122 3000001 0 0 text "before"
    command 140 0 0
    command 140 0x10 0
    command 160 -1 30
    command 130 -1 3 4 -1
    command 130 0 10 5 -1
    command 150 0 1 0 1 1 1 255 100 50 100 0 0 0x646464 0 text "Picture/red.bmp"
    command 220 0 3
    command 121 2000000 22 0 0xC
    command 122 3000001 0 0 text "after"
    command 140 0xFFFF00 0
    command 140 0xFFFF10 0
    command 160 -1 50
    command 130 -1 7 8 -1
    command 130 0 15 10 -1
    command 150 0 1 0 1 1 1 255 300 200 100 0 0 0x646464 0 text "Picture/red.bmp"
    command 220 0 4
    command 121 2000000 33 0 0xC
    command 222 77 7 2000005
    command 121 2000099 5 0 0xC
    command 221 2000001 4 2000000
    command 221 2000002 7 2000005
    command 221 3000002 4 3000001
)" + Observe("before.txt") +
           R"(
    command 220 1 3
    command 122 3000000 0 0 text "the load failed"
    command 122 3000000 0x600 0 text "failed.txt"
  event "つづき"
    trigger 0x21
    condition 2000099 1
    command 121 2000099 2 0 0xC
)" + Observe("loaded.txt") +
           R"(
    command 221 2000001 4 2000000
    command 221 2000002 7 2000005
    command 221 3000002 4 3000001
)" + Observe("read.txt") +
           R"(
file "Data/Picture/red.bmp"
  bytes)" + SolidBitmapBytes(4, 4, 255, 0, 0) +
           R"(
file "Data/CharaChip/green.bmp"
  bytes)" + SolidBitmapBytes(24, 32, 0, 255, 0) +
           R"(
file "Data/CharaChip/blue.bmp"
  bytes)" + SolidBitmapBytes(24, 32, 0, 0, 255) +
           R"(
file "Data/Sound/silence.wav"
  bytes)" + SilentWaveBytes() +
           "\n";
}

uint32_t Rgb(uint32_t pixel) { return pixel & 0xFFFFFF; }

TEST(LoadedGame, LooksAndSoundsLikeTheSavedOneAndReadsOtherSlotsWithoutLoadingThem) {
    GameHarness game(SavingGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    for (int frame = 0; frame < 60 && game.ReadFile("loaded.txt").empty(); ++frame)
        ASSERT_TRUE(game.StepFrames(1));
    GameHome& home = game.Home();
    // The loaded game comes in through the saved transition (30 frames, not
    // the 50 set after the save).
    EXPECT_EQ(home.gameSystem.transitionRunning, 1);
    EXPECT_EQ(home.gameSystem.transitionLength, 30);
    ASSERT_TRUE(game.StepFrames(40));

    // Before the load: the changed game, slot 4 read from the cache and
    // slot 7 from the slot write, the live game left as it was.
    EXPECT_EQ(game.ReadFile("before.txt"),
              "v=33,22,77 s=after,after hero=7,8 event=15,10 picture=300,200 music=-1,-1 slot=7");
    EXPECT_EQ(game.ReadFile("failed.txt"), "");
    // After it: the saved game, with the variables read after the save
    // back at 0; reading the slots again reads their files (the load
    // emptied the cache).
    EXPECT_EQ(game.ReadFile("loaded.txt"), "v=11,0,0 s=before, hero=3,4 event=10,5 picture=100,50 music=0,0 slot=3");
    EXPECT_EQ(game.ReadFile("read.txt"),
              "v=11,22,77 s=before,after hero=3,4 event=10,5 picture=100,50 music=0,0 slot=3");

    EXPECT_EQ(home.gameSystem.SceneRestartFlag, 0);
    EXPECT_EQ(home.wideValues.gameLoadedThisFrame, 0) << "the frame after the load ran whole";
    for (int32_t kind : {SoundState::kMusic, SoundState::kBackgroundSound}) {
        EXPECT_EQ(home.sound.CurrentNumber(kind), 0);
        EXPECT_NE(home.sound.CurrentHandle(kind), 0) << "kind " << kind << " plays again";
    }
    // The picture is drawn where it was saved, not where it was moved.
    const platform::PresentedFrame frame = game.Shown();
    ASSERT_FALSE(frame.pixels.empty());
    EXPECT_EQ(Rgb(frame.at(101, 51)), 0xFF0000u);
    EXPECT_NE(Rgb(frame.at(301, 201)), 0xFF0000u);
    // The hero (green) and the map event (blue) stand where they were
    // saved, their sprites drawn again (centre x, a pixel above the foot).
    EXPECT_EQ(Rgb(frame.at(112, 158)), 0x00FF00u);
    EXPECT_EQ(Rgb(frame.at(336, 190)), 0x0000FFu);
    EXPECT_NE(Rgb(frame.at(240, 286)), 0x00FF00u);
    EXPECT_NE(Rgb(frame.at(496, 350)), 0x0000FFu);
}

TEST(LoadedGame, ALoadFromACommonEventAMapEventCallsRunsOnFromTheSave) {
    // The map event's parallel page (while variable 98 is 1) calls common
    // event 2, which loads: the caller, its child and the map event itself
    // are replaced while they run and must outlive the load's frame.
    GameHarness game(R"(
game
  title "ロードするゲーム"
settings-file
  Start 0
)" + BasicSystemDatabase() +
                     R"(
database user
database changeable
  type "状態"
    item number "値"
    data "一" 5
map "MapData/Map000.mps"
  name "test"
  tileset 0
  size 20 15
  fill 0 0 0 20 15 8
  event 0 "ロード係" 12 2
    page
      trigger 2
      condition 0 0x21 2000098 1
      command 210 500002 0
      command 121 2000097 1 0 0xC
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 121 2000000 11 0 0xC
    command 220 0 3
    command 121 2000000 22 0 0xC
    command 121 2000099 5 0 0xC
    command 121 2000098 1 0 0xC
  event "つづき"
    trigger 0x21
    condition 2000099 1
    command 121 2000099 2 0 0xC
    command 122 3000000 0 0 text "v0=\\v[0] v97=\\v[97] v98=\\v[98]"
    command 122 3000000 0x600 0 text "loaded.txt"
  event "ロード"
    trigger 0
    command 220 1 3
)");
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(20));
    EXPECT_EQ(game.ReadFile("loaded.txt"), "v0=11 v97=0 v98=0") << "the caller stopped at the load";
}

TEST(LoadedGame, MusicStartedByFileNamePlaysAgainAfterTheLoad) {
    // Music and background sound are started by file name (the music's
    // second file lands in the second spare row), the game is saved, the
    // music changes to list row 0 and the background sound stops; the load
    // brings both files back through the first spare rows with the volume and frequency they were started with.
    GameHarness game(R"(
game
  title "ロードするゲーム"
settings-file
  Start 0
  SEandBGM 3
)" + System() + R"(
database user
database changeable
  type "状態"
    item number "値"
    data "一" 5
map "MapData/Map000.mps"
  name "test"
  tileset 0
  size 20 15
  fill 0 0 0 20 15 8
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 140 0x2000000 0 0 0 100 100 0 text "Sound/first.wav"
    command 140 0x2000000 0 0 0 80 120 0 text "Sound/tune.wav"
    command 140 0x2000010 0 0 0 70 90 0 text "Sound/rain.wav"
    command 220 0 3
    command 121 2000099 5 0 0xC
    command 140 0 0
    command 140 0xFFFF10 0
    command 220 1 3
  event "つづき"
    trigger 0x21
    condition 2000099 1
    command 121 2000099 2 0 0xC
file "Data/Sound/first.wav"
  bytes)" + SilentWaveBytes() +
                     R"(
file "Data/Sound/tune.wav"
  bytes)" + SilentWaveBytes() +
                     R"(
file "Data/Sound/rain.wav"
  bytes)" + SilentWaveBytes() +
                     R"(
file "Data/Sound/silence.wav"
  bytes)" + SilentWaveBytes() +
                     "\n");
    ASSERT_EQ(game.Start(), std::nullopt);
    GameHome& home = game.Home();
    for (int frame = 0; frame < 60 && home.variableStore.GetInt(2000099) != 2; ++frame)
        ASSERT_TRUE(game.StepFrames(1));
    ASSERT_EQ(home.variableStore.GetInt(2000099), 2) << "the game was loaded";
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(home.sound.RowHandle(SoundState::kMusic, 0), 0) << "the music of the load's moment stopped at once";

    Database& system = home.databases.system;
    const int32_t musicRow = home.sound.SpareBase(SoundState::kMusic);
    const int32_t soundRow = home.sound.SpareBase(SoundState::kBackgroundSound);
    ASSERT_GT(musicRow, 0);
    EXPECT_EQ(home.sound.CurrentNumber(SoundState::kMusic), musicRow);
    EXPECT_NE(home.sound.CurrentHandle(SoundState::kMusic), 0);
    EXPECT_EQ(home.sound.PlayingFileName(SoundChannel::kMusic), "Sound/tune.wav");
    EXPECT_EQ(system.GetString(1, musicRow, 0), "Sound/tune.wav");
    EXPECT_EQ(system.GetInt(1, musicRow, 1), 80);
    EXPECT_EQ(system.GetInt(1, musicRow, 2), 120);
    EXPECT_EQ(home.sound.Status(SoundState::kMusic).volumeItem, 80);

    EXPECT_EQ(home.sound.CurrentNumber(SoundState::kBackgroundSound), soundRow);
    EXPECT_NE(home.sound.CurrentHandle(SoundState::kBackgroundSound), 0);
    EXPECT_EQ(home.sound.PlayingFileName(SoundChannel::kBackgroundSound), "Sound/rain.wav");
    EXPECT_EQ(system.GetInt(2, soundRow, 1), 70);
    EXPECT_EQ(system.GetInt(2, soundRow, 2), 90);
    // The turn of the spare rows moved on by one: two files before, this one.
    EXPECT_EQ(home.gameSystem.NextSpareSoundRow(SoundState::kMusic), musicRow + 3);
}

}  // namespace
}  // namespace velk::testing
