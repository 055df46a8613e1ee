// The error box over a running game: what closes it, what does not, what it
// draws, and the reporter that sends the data layer's messages to it.
#include "game/shell/error_box.h"

#include <gtest/gtest.h>

#include "game/data/data_texts.h"
#include "game/data/input_state.h"
#include "platform/display/display_faults.h"
#include "tests/support/allocation_faults.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

const std::string kGame = R"(
game
  title "箱"
)" + BasicSystemDatabase() + R"(
database user
database changeable
)" + BasicMap();

int Green(uint32_t pixel) { return (pixel >> 8) & 0xFF; }
int Red(uint32_t pixel) { return (pixel >> 16) & 0xFF; }

bool AnyWhiteIn(const platform::PresentedFrame& frame, int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
        for (int x = 10; x < 400; ++x) {
            if (Red(frame.at(x, y)) > 200) return true;
        }
    }
    return false;
}

TEST(ErrorBox, ClosesOnAFreshConfirmOrClickOrALongHoldButNotOnCancel) {
    struct Case {
        const char* what;
        std::function<void(GameHarness&)> before;
        std::function<void(GameHarness&)> at50;
        int64_t closedAfter;
    };
    const Case cases[] = {
        {"fresh confirm", nullptr, [](GameHarness& g) { g.SetKey(game_key::kEnter, true); }, 64},
        {"left click", nullptr, [](GameHarness& g) { g.SetMouseButtons(1); }, 64},
        // Held since before the box: eleven polls of holding, 16 ms apart.
        {"held confirm", [](GameHarness& g) { g.SetKey(game_key::kSpace, true); }, nullptr, 160},
        {"held click", [](GameHarness& g) { g.SetMouseButtons(1); }, nullptr, 160},
    };
    for (const Case& c : cases) {
        GameHarness game(kGame);
        ASSERT_EQ(game.Start(), std::nullopt);
        if (c.before) c.before(game);
        ASSERT_TRUE(game.StepFrames(1));
        if (c.at50) game.At(50, [&] { c.at50(game); });
        int64_t start = game.Clock().Microseconds() / 1000;
        ShowErrorBox(game.Home(), "one", "two", "three");
        EXPECT_EQ(game.Clock().Microseconds() / 1000 - start, c.closedAfter) << c.what;
        EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneRun) << c.what;
    }
}

TEST(ErrorBox, CancelLeavesItOpenAndClosingTheWindowEndsTheGame) {
    GameHarness game(kGame);
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(1));
    game.At(50, [&] { game.SetKey(game_key::kEscape, true); });
    game.At(100, [&] { game.SetKey(game_key::kX, true); });
    game.At(500, [&] { game.CloseWindow(); });
    int64_t start = game.Clock().Microseconds() / 1000;
    ActiveErrorReporter().ShowErrorBox("one", "two", "three");
    EXPECT_GE(game.Clock().Microseconds() / 1000 - start, 500);
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneQuit);
    // The main loop leaves at its next check, then the program shuts down.
    EXPECT_FALSE(game.StepFrames(2));
    EXPECT_EQ(game.Result(), 0);
}

TEST(ErrorBox, ALostDisplayEndsTheBoxAndTheGameLikeAClose) {
    GameHarness game(kGame);
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(1));
    game.At(300, [&] { game.Window().LoseDisplay(); });
    const int64_t start = game.Clock().Microseconds() / 1000;
    ActiveErrorReporter().ShowErrorBox("one", "two", "three");
    const int64_t waited = game.Clock().Microseconds() / 1000 - start;
    EXPECT_GE(waited, 300);
    EXPECT_LE(waited, 300 + 2 * 16);
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneQuit);
    // Neither the game's own box nor a system box waits any more.
    const int64_t again = game.Clock().Microseconds() / 1000;
    ActiveErrorReporter().ShowErrorBox("four", "five", "six");
    ActiveErrorReporter().ShowMessageBox("text", "caption", MessageBoxButtons::kOkCancel);
    EXPECT_EQ(game.Clock().Microseconds() / 1000, again);
    EXPECT_TRUE(game.MessageBoxes().empty());
    EXPECT_FALSE(game.StepFrames(2));
    EXPECT_EQ(game.Result(), 0);
    EXPECT_EQ(game.Window().OpenWindowCount(), 0u);
}

TEST(ErrorBox, AfterTheGamesOwnQuitNoBoxWaitsForTheRestOfTheFrame) {
    GameHarness game(kGame);
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(1));
    // What the game's quit command leaves, with the window still open.
    game.Home().gameSystem.sceneState = kSceneQuit;
    game.At(50, [&] { game.SetKey(game_key::kEnter, true); });
    const int64_t start = game.Clock().Microseconds() / 1000;
    ActiveErrorReporter().ShowErrorBox("one", "two", "three");
    EXPECT_EQ(game.Clock().Microseconds() / 1000, start);
    EXPECT_FALSE(game.StepFrames(2));
}

TEST(ErrorBox, DrawsThreeLinesInADarkGreenBandOverTheLastPicture) {
    GameHarness game(kGame);
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(1));
    game.At(20, [&] { game.SetKey(game_key::kEnter, true); });
    ShowErrorBox(game.Home(), "Line one", "Line two", "Line three");
    platform::PresentedFrame shown = game.Shown();
    ASSERT_EQ(shown.width, 640);
    // (0, 50, 0) at alpha 240 over black.
    EXPECT_NEAR(Green(shown.at(630, 195)), 47, 1);
    EXPECT_EQ(shown.at(630, 190), 0u);
    EXPECT_EQ(shown.at(630, 288), 0u);
    EXPECT_TRUE(AnyWhiteIn(shown, 200, 214));
    EXPECT_TRUE(AnyWhiteIn(shown, 234, 248));
    EXPECT_TRUE(AnyWhiteIn(shown, 260, 274));
    EXPECT_FALSE(AnyWhiteIn(shown, 214, 234));
}

TEST(ErrorBox, IsDrawnAndAnsweredAnyNumberOfTimesWithNoMemoryForTheScreensStores) {
    GameHarness game(kGame);
    ASSERT_EQ(game.Start(), std::nullopt);
    // The primary shows the last frame from the back buffer's store, which
    // the box then draws on.
    ASSERT_TRUE(game.StepFrames(1));
    platform::FailDisplayStep(platform::DisplayStep::kNewPixelStore, 1000);
    for (int box = 0; box < 3; ++box) {
        game.At(20, [&] { game.SetKey(game_key::kEnter, true); });
        ShowErrorBox(game.Home(), "Line one", "Line two", "Line three");
        game.SetKey(game_key::kEnter, false);
        const platform::PresentedFrame shown = game.Shown();
        EXPECT_GT(Green(shown.at(630, 195)), 40) << box;
        EXPECT_TRUE(AnyWhiteIn(shown, 200, 214)) << box;
        EXPECT_TRUE(AnyWhiteIn(shown, 260, 274)) << box;
    }
    EXPECT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Shown().at(630, 195), 0u) << "the game's frames go on";
    platform::ClearDisplayFaults();
}

TEST(ErrorBox, IsAnsweredAndTheGameGoesOnWhereverMemoryRunsOutWhileItIsUp) {
    GameHarness game(kGame);
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(1));
    // Each allocation of a box is refused in turn, until one runs through.
    size_t refused = 0;
    for (bool failed = true; failed; ++refused) {
        game.At(20, [&] { game.SetKey(game_key::kEnter, true); });
        testing::FailAllocationAfter(refused);
        ShowErrorBox(game.Home(), "Line one", "Line two", "Line three");
        failed = testing::EndAllocationFault();
        game.SetKey(game_key::kEnter, false);
        ASSERT_TRUE(game.StepFrames(1)) << refused;
    }
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneRun);
}

TEST(ErrorBox, BeforeTheWindowTheReporterUsesASystemBoxAndStartUpGoesOn) {
    // Where the desktop shows no boxes, its box is tried once; after it the
    // game's own box shows the text, and the log keeps what the data layer's
    // own reporter says (in test play, where the log is written).
    for (const bool desktopBoxes : {true, false}) {
        GameHarness game(std::string(kGame) + "game\n  end-byte 7\n");
        if (!desktopBoxes) game.Window().SetMessageBoxAnswer(std::nullopt);
        ASSERT_EQ(game.Start("Test_Of_Main"), std::nullopt);
        ASSERT_EQ(game.MessageBoxes().size(), 1u);
        EXPECT_NE(game.MessageBoxes()[0].text_utf8.find("Game.dat"), std::string::npos);
        EXPECT_TRUE(game.StepFrames(1));

        game.At(50, [&] { game.SetKey(game_key::kEnter, true); });
        const int64_t start = game.Clock().Microseconds() / 1000;
        ActiveErrorReporter().ShowMessageBox("one\r\n\r\ntwo\nthree\nfour", "caption", MessageBoxButtons::kOkCancel);
        EXPECT_EQ(game.Clock().Microseconds() / 1000 - start, desktopBoxes ? 0 : 64);
        SystemMessageBoxReporter().ShowMessageBox("unseen", "caption");
        EXPECT_EQ(game.MessageBoxes().size(), desktopBoxes ? 3u : 1u);
        EXPECT_EQ(game.ReadFile("Log.txt").find("caption: unseen") != std::string::npos, !desktopBoxes);
        // Empty lines are left out: the second and third lines are drawn.
        EXPECT_EQ(AnyWhiteIn(game.Shown(), 234, 248), !desktopBoxes);
        EXPECT_EQ(AnyWhiteIn(game.Shown(), 260, 274), !desktopBoxes);
    }
}

}  // namespace
}  // namespace velk::testing
