// The sample game played headless with its own art and sounds: the opening
// common event fades the title in over the village music, shows a message
// over the message panel with a choice, and ends with a sparkle.
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

TEST(SampleGame, PlaysItsOpeningOnTheVillageMap) {
    GameHarness game(SampleDescription());
    std::string error;
    ASSERT_TRUE(sampleart::WriteSampleArt(game.Folder().string(), &error)) << error;
    ASSERT_EQ(game.Start(), std::nullopt);
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
    constexpr uint8_t kLeftArrow = 0xCB;
    game.SetKey(kLeftArrow, true);
    ASSERT_TRUE(game.StepFrames(30));
    game.SetKey(kLeftArrow, false);
    EXPECT_LT(home.hero.gridX, 20);
    EXPECT_EQ(home.hero.gridY, 14);
}

}  // namespace
}  // namespace velk::testing
