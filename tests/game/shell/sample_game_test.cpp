// The sample game played headless with its own art and sounds: the opening
// common event fades the title in over the village music, shows a message
// over the message panel with a choice, and ends with a sparkle; the path
// north leads into the forest, where the record stone saves and loads.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "game/data/input_state.h"
#include "game/data/variable_id.h"
#include "tests/support/game/game_harness.h"
#include "tests/support/source_dir.h"
#include "tools/sampleart/sample_art.h"

namespace velk::testing {
namespace {

std::string SampleDescription() {
    std::ifstream in(SourceDir() / "samples" / "sample-game" / "game.txt", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Rgb(uint32_t pixel) { return pixel & 0xFFFFFF; }

constexpr uint8_t kUpArrow = 0xC8;
constexpr uint8_t kLeftArrow = 0xCB;
constexpr uint8_t kRightArrow = 0xCD;
constexpr uint8_t kDownArrow = 0xD0;

// The sample game started with its art, past its opening (both messages
// closed, the sparkle gone).
class SampleGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sampleart::WriteSampleArt(game_.Folder().string(), &error)) << error;
        ASSERT_EQ(game_.Start(), std::nullopt);
    }

    void Press(uint8_t key) {
        game_.SetKey(key, true);
        ASSERT_TRUE(game_.StepFrames(1));
        game_.SetKey(key, false);
        ASSERT_TRUE(game_.StepFrames(1));
    }
    void PlayThroughTheOpening() {
        ASSERT_TRUE(game_.StepFrames(210));
        Press(game_key::kEnter);
        ASSERT_TRUE(game_.StepFrames(60));
        Press(game_key::kEnter);
        ASSERT_TRUE(game_.StepFrames(160));
        ASSERT_EQ(game_.Variable(kVariableBase + 2), 1) << "the opening ran to its end";
    }
    // Holds the key until the hero stands on the tile (or gives up).
    void WalkTo(uint8_t key, int32_t tileX, int32_t tileY) {
        Hero& hero = game_.Home().hero;
        game_.SetKey(key, true);
        for (int frame = 0; frame < 600 && !(hero.gridX == 2 * tileX && hero.gridY == 2 * tileY); ++frame) {
            ASSERT_TRUE(game_.StepFrames(1));
        }
        game_.SetKey(key, false);
        ASSERT_TRUE(game_.StepFrames(20));
        EXPECT_EQ(hero.gridX, 2 * tileX);
        EXPECT_EQ(hero.gridY, 2 * tileY);
    }

    GameHarness game_{SampleDescription()};
};

TEST_F(SampleGameTest, PlaysItsOpeningOnTheVillageMap) {
    GameHarness& game = game_;
    ASSERT_TRUE(game.StepFrames(60));
    GameHome& home = game.Home();
    EXPECT_EQ(home.mapState.mapId, 0);
    EXPECT_EQ(home.mapState.GetWidth(), 20);
    EXPECT_EQ(home.hero.gridX, 20) << "the start position, in half tiles";
    EXPECT_EQ(home.hero.gridY, 14);
    EXPECT_EQ(home.sound.CurrentNumber(0), 0) << "the village music plays";
    // The sun of the title picture, faded in whole.
    EXPECT_EQ(Rgb(game.Shown().at(470, 150)), 0xFFECAAu);

    ASSERT_TRUE(game.StepFrames(150));
    EXPECT_EQ(home.gameSystem.messageWindowOpen, 1);
    EXPECT_FALSE(home.gameSystem.choiceRequest.empty());
    game.SetKey(game_key::kEnter, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(game_key::kEnter, false);
    // The second message, closed by another press.
    ASSERT_TRUE(game.StepFrames(60));
    EXPECT_EQ(home.gameSystem.messageWindowOpen, 1);
    game.SetKey(game_key::kEnter, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(game_key::kEnter, false);
    ASSERT_TRUE(game.StepFrames(40));
    EXPECT_EQ(home.gameSystem.messageWindowOpen, 0);
    EXPECT_EQ(game.Variable(kVariableBase + 2), 0) << "the sparkle still drifts";
    ASSERT_TRUE(game.StepFrames(120));
    EXPECT_EQ(game.Variable(kVariableBase + 2), 1) << "the opening ran to its end";

    // The village is drawn: grass, not the black of an empty screen.
    const uint32_t grass = Rgb(game.Shown().at(16, 304));
    EXPECT_GT((grass >> 8) & 0xFF, (grass >> 16) & 0xFF) << "greener than red";

    // Then the hero walks west along the village's grass.
    game.SetKey(kLeftArrow, true);
    ASSERT_TRUE(game.StepFrames(30));
    game.SetKey(kLeftArrow, false);
    EXPECT_LT(home.hero.gridX, 20);
    EXPECT_EQ(home.hero.gridY, 14);
}

// How many pixels of a rectangle of the frame shown have the colour, give or
// take the rounding of blending (a few steps per channel).
int CountColour(const platform::PresentedFrame& frame, int x, int y, int w, int h, uint32_t rgb) {
    auto near = [](uint32_t a, uint32_t b) {
        for (int shift : {0, 8, 16}) {
            const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
            if (difference < -4 || difference > 4) return false;
        }
        return true;
    };
    int count = 0;
    for (int py = y; py < y + h; ++py) {
        for (int px = x; px < x + w; ++px)
            count += near(Rgb(frame.at(px, py)), rgb) ? 1 : 0;
    }
    return count;
}

TEST_F(SampleGameTest, TheWaitCursorIsCleanAndThePondRipples) {
    // The opening's second message waits for a key below its text.
    ASSERT_TRUE(game_.StepFrames(210));
    Press(game_key::kEnter);
    ASSERT_TRUE(game_.StepFrames(60));
    ASSERT_EQ(game_.Home().gameSystem.messageWindowOpen, 1);
    platform::PresentedFrame waiting = game_.Shown();
    ASSERT_EQ(waiting.width, 640);
    constexpr uint32_t kCursor = 0xFAECA0;
    constexpr uint32_t kArtKey = 0xFE00FE;
    EXPECT_GT(CountColour(waiting, 280, 430, 80, 50, kCursor), 20) << "the cursor is drawn";
    EXPECT_EQ(CountColour(waiting, 0, 0, 640, 480, kArtKey), 0) << "no key-coloured box around it";
    Press(game_key::kEnter);
    ASSERT_TRUE(game_.StepFrames(160));

    // The pond (cells 13-16 x 11-13) and its stream to the east edge: open
    // water in the middle, a shore, and ripples that move from one
    // animation step to the next.
    constexpr uint32_t kWater = 0x3878C8;
    constexpr uint32_t kShore = 0xC8BA84;
    const platform::PresentedFrame first = game_.Shown();
    EXPECT_GT(CountColour(first, 448, 384, 64, 32, kWater), 1500) << "open water at (14, 12)";
    EXPECT_GT(CountColour(first, 416, 352, 32, 32, kShore), 20) << "the pond's north-west shore";
    EXPECT_GT(CountColour(first, 608, 384, 32, 32, kWater), 400) << "the stream at the edge";
    EXPECT_EQ(CountColour(first, 576, 352, 32, 32, kWater), 0) << "grass north of the stream";
    bool rippled = false;
    for (int step = 0; step < 40 && !rippled; ++step) {
        ASSERT_TRUE(game_.StepFrames(1));
        const platform::PresentedFrame later = game_.Shown();
        for (int y = 384; y < 416 && !rippled; ++y) {
            for (int x = 448; x < 512 && !rippled; ++x)
                rippled = later.at(x, y) != first.at(x, y);
        }
    }
    EXPECT_TRUE(rippled);
    // The water is not walked on: the hero stops on the grass west of it.
    WalkTo(kDownArrow, 10, 12);
    WalkTo(kRightArrow, 12, 12);
    game_.SetKey(kRightArrow, true);
    ASSERT_TRUE(game_.StepFrames(60));
    game_.SetKey(kRightArrow, false);
    EXPECT_EQ(game_.Home().hero.gridX, 2 * 12);
}

TEST_F(SampleGameTest, TheForestStoneSavesAndLoads) {
    PlayThroughTheOpening();
    GameHome& home = game_.Home();
    // North along the path until the forest's edge takes the hero in.
    game_.SetKey(kUpArrow, true);
    for (int frame = 0; frame < 600 && home.mapState.mapId == 0; ++frame) {
        ASSERT_TRUE(game_.StepFrames(1));
    }
    game_.SetKey(kUpArrow, false);
    ASSERT_TRUE(game_.StepFrames(30));
    ASSERT_EQ(home.mapState.mapId, 1) << "the path north leads into the forest";
    EXPECT_EQ(home.sound.CurrentNumber(0), 1) << "the forest music plays";
    EXPECT_EQ(home.sound.CurrentNumber(1), 0) << "and the wind blows";

    // Up to the stone and save.
    WalkTo(kUpArrow, 10, 7);
    EXPECT_EQ(home.hero.gridX, 2 * 10);
    Press(game_key::kZ);
    ASSERT_TRUE(game_.StepFrames(40));
    ASSERT_FALSE(home.gameSystem.choiceRequest.empty()) << "the stone asks what to do";
    Press(game_key::kEnter);
    ASSERT_TRUE(game_.StepFrames(30));
    EXPECT_NE(game_.ReadFile("Save/SaveData01.sav"), "");
    Press(game_key::kEnter);
    ASSERT_TRUE(game_.StepFrames(30));
    EXPECT_EQ(home.gameSystem.messageWindowOpen, 0);

    // Walk round to the stone's west side and load: the hero stands where
    // the save was made again.
    WalkTo(kLeftArrow, 9, 7);
    WalkTo(kUpArrow, 9, 6);
    Press(kRightArrow);
    Press(game_key::kEnter);
    ASSERT_TRUE(game_.StepFrames(40));
    ASSERT_FALSE(home.gameSystem.choiceRequest.empty());
    Press(kDownArrow);
    Press(game_key::kEnter);
    ASSERT_TRUE(game_.StepFrames(30));
    EXPECT_EQ(home.mapState.mapId, 1);
    EXPECT_EQ(home.hero.gridX, 2 * 10);
    EXPECT_EQ(home.hero.gridY, 2 * 7);
}

}  // namespace
}  // namespace velk::testing
