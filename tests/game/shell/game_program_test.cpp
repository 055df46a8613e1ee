// The runtime started headless on games the writer makes: start-up, the
// title/reset block, the scene states, pacing on the manual clock, the crash
// marker, start-up failures and the frame's order.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/data/error_reporter.h"
#include "game/data/game_objects.h"
#include "game/data/variable_id.h"
#include "lib/core/library.h"
#include "lib/api/library_api.h"
#include "lib/graphics/screen/screen_state.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

// A small game: chip size 32, the given frame-time divisor, a start
// position, a changeable database row and the settings file.
std::string SmallGame(int divisor = 60, const std::string& settings = "", const std::string& extra = "") {
    return R"(
game
  title "小さなゲーム"
  setting 4 )" + std::to_string(divisor) + R"(
settings-file
  Start 0
)" + settings + R"(
)" + BasicSystemDatabase(3, 4, 5) + R"(
database user
  type "主人公"
    item number "HP" default 10
database changeable
  type "状態"
    item number "HP" default 10
    data "勇者" 30
)" + BasicMap() + extra;
}

std::string IniValue(const std::string& ini, const std::string& key) {
    size_t at = ini.find(key + "=");
    if (at == std::string::npos) return "";
    size_t end = ini.find('\r', at);
    return ini.substr(at + key.size() + 1, end == std::string::npos ? std::string::npos : end - at - key.size() - 1);
}

TEST(GameProgram, StartsRunsFramesOnTheManualClockAndEndsCleanlyWhenTheWindowCloses) {
    GameHarness game(SmallGame(60, "  FrameSkip 1\n"));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_TRUE(IsLibraryInitialized());
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneRun);
    EXPECT_EQ(game.Home().gameSystem.transferMap, 3);
    EXPECT_EQ(game.Home().gameSystem.transferX, 8);
    EXPECT_EQ(game.Home().gameSystem.transferY, 10);
    EXPECT_EQ(IniValue(game.ReadFile("Game.ini"), "Start"), "0");
    ASSERT_TRUE(game.StepFrames(60));
    EXPECT_FALSE(game.Shown().pixels.empty());

    game.CloseWindow();
    EXPECT_FALSE(game.StepFrames(3));
    EXPECT_EQ(game.Result(), 0);
    EXPECT_FALSE(IsLibraryInitialized());
    std::string ini = game.ReadFile("Game.ini");
    EXPECT_EQ(IniValue(ini, "Start"), "0");
    EXPECT_EQ(IniValue(ini, "FrameSkip"), "1");
}

TEST(GameProgram, FramesArePacedToTheFrameStepAndDrawnByTheFrameSkipLevel) {
    struct Case {
        int divisor;
        int skip;
        int64_t drawn;
        int64_t milliseconds;
    };
    // 60 frames; the clock moves only while the loop waits. 0.34 draws a
    // frame early every so often.
    for (Case c : {Case{60, 0, 60, 1000}, Case{30, 0, 60, 2000}, Case{60, 1, 30, 1000}, Case{60, 2, 20, 1000}}) {
        GameHarness game(SmallGame(c.divisor, "  FrameSkip " + std::to_string(c.skip) + "\n"));
        ASSERT_EQ(game.Start(), std::nullopt);
        EXPECT_EQ(game.Home().wideValues.frameStep, 60 / c.divisor);
        // One pass to settle the loop's start, then 60 measured ones.
        ASSERT_TRUE(game.StepFrames(1));
        int64_t drawnBefore = game.Program().GetScene().DrawnFrames();
        int64_t start = game.Clock().Microseconds() / 1000;
        ASSERT_TRUE(game.StepFrames(60));
        int64_t elapsed = game.Clock().Microseconds() / 1000 - start;
        EXPECT_EQ(game.Program().GetScene().DrawnFrames() - drawnBefore, c.drawn) << c.divisor << "/" << c.skip;
        EXPECT_NEAR(static_cast<double>(elapsed), static_cast<double>(c.milliseconds), 20.0)
            << c.divisor << "/" << c.skip;
    }
}

TEST(GameProgram, TheTitleBlockRebuildsEveryGlobalObjectAndReloadsTheDatabases) {
    GameHarness game(SmallGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    GameHome& home = game.Home();
    const int graphs = GetGraphCount();
    const VariableId normal = kVariableBase + 5;
    const VariableId changeableHp = DatabaseCellId(kChangeableDatabaseBase, 0, 0, 0);
    home.variableStore.SetInt(normal, 77);
    home.variableStore.SetInt(changeableHp, 1);
    home.gameSystem.messageRequest = "x";
    home.gameSystem.transitionLeft = 3;
    home.gameSystem.informationMode = 2;
    home.mainInterpreter.systemVariables.sysVar9 = 5;
    SetKeyConfig(home.mainInterpreter.keyConfig, 150, 0, true);
    home.mainInterpreter.frameCounter = 9999999;
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(home.mainInterpreter.frameCounter, 0) << "the counter wraps";
    const int oldStartScreen = home.gameSystem.transitionStartScreen;

    home.gameSystem.sceneState = kSceneTitle;
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(home.gameSystem.sceneState, kSceneRun);
    EXPECT_EQ(game.Variable(normal), 0);
    EXPECT_EQ(game.Variable(changeableHp), 30);
    EXPECT_EQ(home.gameSystem.messageRequest, "");
    EXPECT_EQ(home.gameSystem.transitionLeft, 20 - 1) << "one frame ran since";
    EXPECT_EQ(home.gameSystem.informationMode, 0);
    EXPECT_EQ(home.gameSystem.SceneRestartFlag, 0);
    EXPECT_EQ(home.mainInterpreter.systemVariables.sysVar9, 120);
    EXPECT_EQ(home.mainInterpreter.keyConfig.keyboard, KeyConfig().keyboard);
    EXPECT_EQ(&GlobalKeyConfig(), &home.mainInterpreter.keyConfig);
    EXPECT_EQ(GetGraphCount(), graphs) << "the old work graphs are deleted";
    EXPECT_NE(home.gameSystem.transitionStartScreen, oldStartScreen);
    EXPECT_EQ(&GlobalVariableStore(), &home.variableStore);
    EXPECT_EQ(&GlobalGameSystem(), &home.gameSystem);
}

TEST(GameProgram, SceneStateMinusOneShutsDownAndTestPlayTurnsOnInformation) {
    GameHarness game(SmallGame());
    ASSERT_EQ(game.Start("Test_Of_Main"), std::nullopt);
    EXPECT_EQ(game.Home().wideValues.testPlayFlag, 1);
    EXPECT_EQ(game.Home().gameSystem.informationMode, 1);
    ASSERT_TRUE(game.StepFrames(1));
    game.Home().gameSystem.sceneState = kSceneQuit;
    EXPECT_FALSE(game.StepFrames(2));
    EXPECT_EQ(game.Result(), 0);
    EXPECT_FALSE(IsLibraryInitialized());
}

TEST(GameProgram, AnUncleanLastRunStartsInSoftwareModeAndSaysSoInGameIni) {
    struct Case {
        const char* settings;
        bool software;
    };
    for (Case c : {Case{"  Start 1\n", true}, Case{"  SoftModeFlag 1\n", true}, Case{"", false}}) {
        GameHarness game(SmallGame(60, c.settings));
        ASSERT_EQ(game.Start(), std::nullopt);
        EXPECT_EQ(GetSoftRenderFlag() != 0, c.software) << c.settings;
        std::string ini = game.ReadFile("Game.ini");
        EXPECT_EQ(IniValue(ini, "Start"), "0");
        EXPECT_EQ(IniValue(ini, "SoftModeFlag"), c.software ? "1" : "0");
    }
}

TEST(GameProgram, AMidiDeviceThatDoesNotOpenLeavesTheGameWithoutMidiAndTheLibraryIsFreedAtTheEnd) {
    for (int32_t opened : {0, -1}) {
        GameHarness game(SmallGame(60, "", "game\n  setting 3 1\n  setting 6 1\n"));
        std::vector<std::string> calls;
        ASSERT_EQ(game.Start("",
                             [&](GameProgram& program) {
                                 program.StartHooks().setMidiDevice = [&](int32_t device) {
                                     calls.push_back("open " + std::to_string(device));
                                     return opened;
                                 };
                                 program.StartHooks().freeMidi = [&] { calls.push_back("free"); };
                             }),
                  std::nullopt);
        EXPECT_EQ(game.Home().wideValues.midiUsableFlag, opened == 0 ? 1 : 0);
        game.Home().gameSystem.sceneState = kSceneQuit;
        EXPECT_FALSE(game.StepFrames(2));
        std::vector<std::string> expected = {"open -1000"};
        if (opened != 0) expected.push_back("free");
        expected.push_back("free");
        EXPECT_EQ(calls, expected) << opened;
    }
}

TEST(GameProgram, ADamagedGameDatIsReportedInASystemBoxAndTheProgramEndsBeforeTheWindow) {
    GameHarness game(SmallGame(60, "", "file \"Game.dat\"\n  bytes 1 2 3 4 5 6 7 8 9 10 255 255 255 255\n"));
    EXPECT_EQ(game.Start(), 0);
    EXPECT_FALSE(IsLibraryInitialized());
    ASSERT_EQ(game.MessageBoxes().size(), 1u);
    EXPECT_EQ(IniValue(game.ReadFile("Game.ini"), "Start"), "0") << "Game.ini is not touched";
}

TEST(GameProgram, AMissingDatabaseEndsTheProgramThroughTheLibrarysShutDown) {
    GameHarness game(SmallGame());
    std::filesystem::remove(game.Folder() / "Data" / "BasicData" / "DataBase.dat");
    EXPECT_EQ(game.Start(), 1);
    EXPECT_FALSE(IsLibraryInitialized());
    EXPECT_FALSE(game.MessageBoxes().empty());
}

// Every slot of the frame records its name.
struct Recorder {
    std::vector<std::string> calls;
    std::function<void()> Note(std::string name) {
        return [this, name] { calls.push_back(name); };
    }
};

TEST(Scene, TheFrameRunsItsUpdatesAndDrawLayersInOneOrder) {
    GameHarness game(SmallGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    Scene& scene = game.Program().GetScene();
    Recorder recorder;
    const char* updates[] = {"map", "interpreter", "hero", "choice", "message", "pictures", "sound",
                             "tint", "panorama", "fog"};
    for (size_t i = 0; i < static_cast<size_t>(UpdateStep::kCount); ++i) {
        scene.SetUpdateStep(static_cast<UpdateStep>(i), recorder.Note(updates[i]));
    }
    const char* layers[] = {"darken", "map scene", "overlay", "brightness", "band 0", "message window",
                            "choice window", "band 1", "flash", "transition", "input lines", "test play"};
    for (size_t i = 0; i < static_cast<size_t>(DrawLayer::kCount); ++i) {
        scene.SetDrawLayer(static_cast<DrawLayer>(i), recorder.Note(layers[i]));
    }
    scene.Hooks().currentMap = [] { return 1; };
    scene.Hooks().mapTransfer = recorder.Note("transfer");
    ASSERT_TRUE(game.StepFrames(1));
    std::vector<std::string> expected(std::begin(updates), std::end(updates));
    expected.insert(expected.end(), std::begin(layers), std::end(layers));
    EXPECT_EQ(recorder.calls, expected);

    // A pending transfer runs after the hero; a hidden map draws the frozen
    // screen instead of the map scene.
    recorder.calls.clear();
    game.Home().gameSystem.transferPending = 1;
    game.Home().mainInterpreter.mapVisible = 0;
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(std::vector<std::string>(recorder.calls.begin(), recorder.calls.begin() + 4),
              (std::vector<std::string>{"map", "interpreter", "hero", "transfer"}));
    EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), "map scene"), 0);

    // A load during the event processing ends the frame after it: no
    // drawing, no flip; the next frame restarts the scene.
    recorder.calls.clear();
    scene.SetUpdateStep(UpdateStep::kMainInterpreter, [&] {
        recorder.calls.push_back("interpreter");
        game.Home().wideValues.gameLoadedThisFrame = 1;
        game.Home().gameSystem.SceneRestartFlag = 1;
    });
    scene.Hooks().restartScene = recorder.Note("restart");
    int64_t drawn = scene.DrawnFrames();
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"map", "interpreter"}));
    EXPECT_EQ(scene.DrawnFrames(), drawn);
    recorder.calls.clear();
    scene.SetUpdateStep(UpdateStep::kMainInterpreter, recorder.Note("interpreter"));
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(recorder.calls.front(), "restart");
    EXPECT_EQ(game.Home().wideValues.gameLoadedThisFrame, 0);
}

}  // namespace
}  // namespace velk::testing
