// The replay record in a running game, and the author's tools on the
// headless runtime: window scale, frame skip, information mode, the variable
// viewer, back to the title, and screenshots.
#include "game/shell/test_play_tools.h"

#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "game/data/save_stream.h"
#include "game/data/variable_id.h"
#include "lib/api/library_api.h"
#include "lib/image/image_loader.h"
#include "platform/base/calendar_time.h"
#include "platform/base/text_encoding.h"
#include "platform/window/window_system.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr uint8_t kUpArrow = 0xC8;

// A game with 100 named normal variables and the given settings-file lines.
std::string ToolGame(const std::string& settings = "") {
    return R"(
game
  title "道具のゲーム"
settings-file
  Start 0
)" + settings + BasicSystemDatabase() + R"(
database user
database changeable
)" + BasicMap();
}

// Steps while `key` is held for one pass, then released.
void Tap(GameHarness& game, uint8_t key) {
    game.SetKey(key, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(key, false);
    ASSERT_TRUE(game.StepFrames(1));
}

// The game's own rules for the replay test, run as the frame's event
// processing: a fresh confirm draws a random number 0-99 and adds it to
// variable 0; up held counts in variable 1; cancel held doubles variable 2
// plus one, modulo 1000.
// Frames run while a replay plays back are counted.
struct ScriptedRules {
    std::vector<int32_t> draws;
    int playedFrames = 0;
    void Install(GameHarness& game) {
        GameHome& home = game.Home();
        game.Program().GetScene().SetUpdateStep(UpdateStep::kMainInterpreter, [this, &home] {
            if (home.replayRecorder.playbackFlag) ++playedFrames;
            VariableStore& store = home.variableStore;
            const InputState& input = home.inputState;
            if (input.Pressed(kButtonConfirm)) {
                int32_t draw = store.GetInt(kRandomBase + 99);
                draws.push_back(draw);
                store.SetInt(kVariableBase + 0, store.GetInt(kVariableBase + 0) + draw);
            }
            if (input.DirectionHeld(kUp)) store.SetInt(kVariableBase + 1, store.GetInt(kVariableBase + 1) + 1);
            if (input.Held(kButtonCancel)) {
                store.SetInt(kVariableBase + 2, (store.GetInt(kVariableBase + 2) * 2 + 1) % 1000);
            }
        });
    }
};

// Back to the title from inside a frame, as the game's own commands do.
void BackToTitle(GameHarness& game) {
    game.Home().gameSystem.sceneState = kSceneTitle;
    ASSERT_TRUE(game.StepFrames(1));
}

TEST(Replay, ARecordedRunPlaysBackFromASaveToTheSameEndStateWithTheSameDrawsAndThenHandsBack) {
    // The script: which keys are down from which frame on.
    struct Press {
        int frame;
        uint8_t key;
        bool down;
    };
    const std::vector<Press> script = {
        {3, game_key::kEnter, true},   {5, game_key::kEnter, false},   {6, kUpArrow, true},
        {9, game_key::kEnter, true},   {10, game_key::kEnter, false},  {12, kUpArrow, false},
        {14, game_key::kEscape, true}, {17, game_key::kEscape, false}, {20, game_key::kEnter, true},
        {21, game_key::kEnter, false}, {300, game_key::kEnter, true},  {301, game_key::kEnter, false}};
    const int frames = 320;
    std::vector<uint8_t> saved;
    std::vector<int32_t> recordedDraws;
    std::array<int32_t, 3> recordedValues{};
    {
        GameHarness game(ToolGame());
        ASSERT_EQ(game.Start(), std::nullopt);
        ScriptedRules rules;
        rules.Install(game);
        BackToTitle(game);
        rules.draws.clear();
        size_t next = 0;
        for (int frame = 0; frame < frames; ++frame) {
            while (next < script.size() && script[next].frame == frame) {
                game.SetKey(script[next].key, script[next].down);
                ++next;
            }
            ASSERT_TRUE(game.StepFrames(1));
        }
        for (int i = 0; i < 3; ++i)
            recordedValues[static_cast<size_t>(i)] = game.Variable(kVariableBase + i);
        recordedDraws = rules.draws;
        SaveStream stream;
        game.Home().replayRecorder.WriteSavePart(stream);
        saved = stream.Bytes();
    }
    ASSERT_EQ(recordedDraws.size(), 4u);
    EXPECT_EQ(recordedValues[1], 6);
    EXPECT_NE(recordedValues[2], 0);

    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    ScriptedRules rules;
    rules.Install(game);
    BackToTitle(game);
    rules.draws.clear();
    // What the load's replay option does: the save's record, playback on,
    // back to the title.
    ReplayRecorder& replay = game.Home().replayRecorder;
    SaveStream reading(saved);
    ASSERT_TRUE(replay.ReadSavePart(reading));
    replay.BeginPlayback();
    ASSERT_TRUE(game.StepFrames(frames));
    EXPECT_EQ(rules.draws, recordedDraws);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(game.Variable(kVariableBase + i), recordedValues[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(replay.PlayedFrames(), frames);
    EXPECT_EQ(rules.playedFrames, frames);

    // The record is used up: one box, closed by the player's real confirm,
    // and the game goes back to the title with recording on again; no frame
    // runs on the empty input of the used-up record.
    game.At(50, [&] { game.SetKey(game_key::kEnter, true); });
    game.At(100, [&] { game.SetKey(game_key::kEnter, false); });
    ASSERT_TRUE(game.StepFrames(3));
    EXPECT_EQ(replay.playbackFlag, 0);
    EXPECT_EQ(replay.endedFlag, 0);
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneRun);
    EXPECT_EQ(game.Variable(kVariableBase + 0), 0) << "the title block ran; closing the box pressed nothing";
    EXPECT_EQ(rules.draws.size(), recordedDraws.size());
    EXPECT_EQ(rules.playedFrames, frames);
    game.SetKey(kUpArrow, true);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Variable(kVariableBase + 1), 2) << "the player's input counts again";
}

// A record of `frames` frames with nothing pressed, playing back from the
// title.
void PlayBackEmptyFrames(GameHarness& game, int frames) {
    BackToTitle(game);
    ASSERT_TRUE(game.StepFrames(frames));
    game.Home().replayRecorder.BeginPlayback();
    BackToTitle(game);
}

TEST(Replay, TheRealCancelKeyEndsPlaybackAtTheStartOfTheNextPassAndThePlayerTakesOver) {
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    ScriptedRules rules;
    rules.Install(game);
    PlayBackEmptyFrames(game, 50);
    ReplayRecorder& replay = game.Home().replayRecorder;
    ASSERT_TRUE(game.StepFrames(5));
    EXPECT_EQ(replay.playbackFlag, 1);
    const int played = rules.playedFrames;
    game.SetKey(game_key::kEscape, true);
    // The pass that reads cancel runs its frame with the record's buttons.
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(rules.playedFrames, played + 1);
    EXPECT_EQ(game.Variable(kVariableBase + 2), 0);
    // The next one runs none and goes back to the title.
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(rules.playedFrames, played + 1);
    EXPECT_EQ(replay.playbackFlag, 0);
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneTitle);
    // The title block, and the first frame is the player's: cancel held.
    ASSERT_TRUE(game.StepFrames(1));
    EXPECT_EQ(game.Variable(kVariableBase + 2), 1);
    EXPECT_EQ(rules.playedFrames, played + 1);
}

TEST(Replay, HoldingConfirmFastForwardsPlaybackAndSubFasterWithFewerDrawings) {
    // Per 60 passes on the manual clock: milliseconds and drawn frames. A
    // drawn frame waits for the display's next refresh (1/60 s), so the
    // drawings left bound the speed: a third of them, three times as fast.
    struct Case {
        const char* name;
        std::vector<uint8_t> keys;
        int64_t minMs, maxMs;
        int64_t drawn;
    };
    const Case cases[] = {
        {"normal", {}, 990, 1010, 60},
        {"confirm", {game_key::kEnter}, 320, 345, 20},
        {"confirm and sub", {game_key::kEnter, game_key::kLeftShift}, 60, 80, 4},
        {"sub alone", {game_key::kLeftShift}, 990, 1010, 12},
    };
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    PlayBackEmptyFrames(game, 700);
    Scene& scene = game.Program().GetScene();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint8_t key : c.keys)
            game.SetKey(key, true);
        // The last three frames' lengths settle first.
        ASSERT_TRUE(game.StepFrames(6));
        const int64_t startMs = game.Clock().Microseconds() / 1000;
        const int64_t startDrawn = scene.DrawnFrames();
        ASSERT_TRUE(game.StepFrames(60));
        const int64_t ms = game.Clock().Microseconds() / 1000 - startMs;
        EXPECT_GE(ms, c.minMs);
        EXPECT_LE(ms, c.maxMs);
        EXPECT_NEAR(scene.DrawnFrames() - startDrawn, c.drawn, 1);
        for (uint8_t key : c.keys)
            game.SetKey(key, false);
    }
    EXPECT_EQ(game.Home().replayRecorder.playbackFlag, 1) << "the record lasted";
}

TEST(TestPlayTools, F4StepsTheWindowScaleThroughFittedHalfAndNormal) {
    // The fitted rate is the work area's (the desktop of 1920 x 1080 without
    // its panels): the width's rate unless the height's is more than 0.1
    // smaller, less 0.04.
    struct Case {
        const char* settings;
        Rect workArea;
        double fittedRate;
        std::vector<int> steps;  // 0 normal, 1 fitted, 2 half
    };
    for (const Case& c : {Case{"", {0, 0, 1344, 1000}, 1344.0 / 640, {1, 2, 0, 1}},
                          Case{"  SoftModeFlag 1\n", {0, 40, 1920, 1080}, 1040.0 / 480, {1, 0, 1, 0}}}) {
        GameHarness game(ToolGame(c.settings));
        ASSERT_EQ(game.Start(), std::nullopt);
        game.Window().SetWorkArea(c.workArea);
        Rect rect{};
        GetWindowClientRect(&rect);
        EXPECT_EQ(rect.right - rect.left, 640);
        for (int step : c.steps) {
            Tap(game, game_key::kF4);
            GetWindowClientRect(&rect);
            const double rates[] = {1.0, c.fittedRate - 0.04, 0.5};
            EXPECT_NEAR(rect.right - rect.left, 640 * rates[step], 1) << c.settings;
        }
    }
}

TEST(TestPlayTools, F5ChangesTheFramesDrawnPerFrameStepAndF8TheInformationMode) {
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    Scene& scene = game.Program().GetScene();
    // Frames drawn in 60 passes, after two to settle.
    auto measure = [&] {
        int64_t result = -1;
        [&] {
            ASSERT_TRUE(game.StepFrames(2));
            int64_t before = scene.DrawnFrames();
            ASSERT_TRUE(game.StepFrames(60));
            result = scene.DrawnFrames() - before;
        }();
        return result;
    };
    EXPECT_EQ(measure(), 60);
    for (int64_t expected : {30, 20, 60}) {
        Tap(game, game_key::kF5);
        EXPECT_EQ(measure(), expected);
    }
    EXPECT_EQ(game.Home().gameSystem.informationMode, 0);
    Tap(game, game_key::kF8);
    EXPECT_EQ(game.Home().gameSystem.informationMode, 1);
    Tap(game, game_key::kF8);
    EXPECT_EQ(game.Home().gameSystem.informationMode, 0);
}

// Eight silent frames of 16-bit mono PCM at 8000 Hz, as file-section bytes.
std::string SilentWave() {
    std::vector<int> b = {'R', 'I', 'F', 'F', 52, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                          ' ', 16,  0,   0,   0,  1, 0,   1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E,
                          0,   0,   2,   0,   16, 0, 'd', 'a', 't', 'a',  16,   0,   0,   0};
    b.insert(b.end(), 16, 0);
    std::string words;
    for (int byte : b)
        words += " " + std::to_string(byte);
    return words;
}

TEST(TestPlayTools, TheDebugPageListsWhatTheGameHoldsLoadedInsideTheScreen) {
    // Three pictures of two files; two sound effects and one music file
    // loaded by name; the hero's graphic and one shown by two events; common
    // event 1 waits for a condition that never holds while events 2-401 run
    // beside everything, more than the page has room for.
    std::string system = BasicSystemDatabase();
    for (const char* next : {"  type \"BGS\"\n", "  type \"SE\"\n", "  type \"予約4\"\n"}) {
        system.insert(system.find(next), "    rows 12\n");
    }
    constexpr int kParallelEvents = 400;
    std::string parallel;
    for (int i = 0; i < kParallelEvents; ++i)
        parallel += "  event \"並列\"\n    trigger 3\n";
    GameHarness game(R"(
game
  title "道具のゲーム"
  text 7 "CharaChip/hero.bmp"
settings-file
  Start 0
  SEandBGM 3
)" + system + R"(
database user
database changeable
)" + BasicMap() + R"(
  event 1 "歩く" 3 3
    page
      graphic -1 "CharaChip/walker.bmp" 2 1 255 0
  event 2 "並ぶ" 5 3
    page
      graphic -1 "CharaChip/walker.bmp" 2 1 255 0
common-events
  event "読み込み"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 140 0x2000021 0 0 0 100 100 0 text "Sound/a.wav"
    command 140 0x2000021 0 0 0 100 100 0 text "Sound/b.wav"
    command 140 0x2000001 0 0 0 100 100 0 text "Sound/a.wav"
    command 150 0 1 0 1 1 1 255 100 50 100 0 0 0x646464 0 text "Picture/red.bmp"
    command 150 0 2 0 1 1 1 255 200 50 100 0 0 0x646464 0 text "Picture/red.bmp"
    command 150 0 3 0 1 1 1 255 300 50 100 0 0 0x646464 0 text "Picture/blue.bmp"
  event "待つ"
    trigger 0x22
    condition 2000098 1
)" + parallel + R"(
file "Data/Sound/a.wav"
  bytes)" + SilentWave() +
                     R"(
file "Data/Sound/b.wav"
  bytes)" + SilentWave() +
                     R"(
file "Data/Picture/red.bmp"
  bytes)" + SolidBitmapBytes(255, 0, 0) +
                     R"(
file "Data/Picture/blue.bmp"
  bytes)" + SolidBitmapBytes(0, 0, 255) +
                     R"(
file "Data/CharaChip/hero.bmp"
  bytes)" + SolidBitmapBytes(0, 255, 0) +
                     R"(
file "Data/CharaChip/walker.bmp"
  bytes)" + SolidBitmapBytes(0, 0, 255) +
                     "\n");
    ASSERT_EQ(game.Start("Test_Of_Main"), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    ASSERT_EQ(game.Variable(kVariableBase + 99), 1);
    TestPlayTools* tools = ConnectedTestPlayTools(game.Program().GetScene());
    ASSERT_NE(tools, nullptr);
    const DebugPageContents page = tools->DebugPage();
    EXPECT_EQ(platform::ShiftJisToUtf8(page.heading),
              "[デバッグデータ]　　[ピクチャ 3(画像数" + std::to_string(GetGraphCount()) + ")] / [音声数 3]");
    using Lines = std::vector<std::string>;
    EXPECT_EQ(page.pictureFiles, (Lines{"Picture/red.bmp", "Picture/blue.bmp"}));
    EXPECT_EQ(page.sounds, (Lines{"BGM Sound/a.wav", "SE Sound/a.wav", "SE Sound/b.wav"}));
    EXPECT_EQ(page.characterGraphics, (Lines{"CharaChip/hero.bmp", "CharaChip/walker.bmp"}));
    std::string running;
    for (int i = 0; i < kParallelEvents; ++i)
        running += std::to_string(i + 2) + ",";
    EXPECT_EQ(page.parallelEvents, running);

    // Drawn while F8 is held: every line inside its quarter of the screen,
    // the running events wrapped until the last place tells how many more.
    game.SetKey(game_key::kF8, true);
    ASSERT_TRUE(game.StepFrames(2));
    const std::vector<DebugPageLine>& drawn = tools->LastDebugPage();
    ASSERT_EQ(drawn.size(), 1 + 2 + 3 + 2 + 16u);
    std::string shown;
    for (const DebugPageLine& line : drawn) {
        EXPECT_GE(line.width, 12) << line.text;
        EXPECT_LE(line.x + line.width, line.x < 320 && line.y > 0 ? 320 : 640) << line.text;
        EXPECT_LE(line.y + 14, line.y < 240 ? 240 : 480) << line.text;
        if (line.x == 320 && line.y > 240) shown += line.text;
    }
    const size_t more = shown.find("... (+");
    ASSERT_NE(more, std::string::npos) << shown;
    EXPECT_EQ(running.substr(0, more), shown.substr(0, more));
    const int left =
        static_cast<int>(std::count(running.begin() + static_cast<std::ptrdiff_t>(more), running.end(), ','));
    EXPECT_EQ(shown.substr(more), "... (+" + std::to_string(left) + ")");
}

TEST(TestPlayTools, F12ReturnsToTheTitleAlsoOutsideTestPlay) {
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_EQ(game.Home().wideValues.testPlayFlag, 0);
    game.Home().variableStore.SetInt(kVariableBase + 5, 77);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Variable(kVariableBase + 5), 77);
    Tap(game, game_key::kF12);
    EXPECT_EQ(game.Variable(kVariableBase + 5), 0);
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneRun);
}

TEST(TestPlayTools, TheViewerShowsTheVariablesPageByPageInTestPlayOnly) {
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start("Test_Of_Main"), std::nullopt);
    game.Home().variableStore.SetInt(kVariableBase + 5, 42);
    std::vector<std::string> lines = VariableViewerLines(game.Home());
    ASSERT_GT(lines.size(), 8u);
    // ■V0-05:   42()
    EXPECT_EQ(lines[7], platform::Utf8ToShiftJis("■V0-05:   42()"));
    game.Program().GetScene().SetDrawLayer(DrawLayer::kMapScene,
                                           [] { DrawBox(0, 0, 640, 480, GetColorValue(200, 200, 200), 1); });
    ASSERT_TRUE(game.StepFrames(2));
    uint32_t before = game.Shown().at(600, 300);

    // Two pages: the first confirm turns the page, the second closes.
    int64_t start = game.Clock().Microseconds() / 1000;
    uint32_t during = 0;
    game.At(100, [&] {
        during = game.Shown().at(600, 300);
        game.SetKey(game_key::kEnter, true);
    });
    game.At(150, [&] { game.SetKey(game_key::kEnter, false); });
    game.At(300, [&] { game.SetKey(game_key::kEnter, true); });
    game.At(350, [&] { game.SetKey(game_key::kEnter, false); });
    game.At(5000, [&] { game.CloseWindow(); });
    game.SetKey(game_key::kF9, true);
    ASSERT_TRUE(game.StepFrames(1));
    game.SetKey(game_key::kF9, false);
    int64_t elapsed = game.Clock().Microseconds() / 1000 - start;
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 5000) << "closed by the player, not the window";
    EXPECT_NE(during, before) << "the viewer darkens the screen under its lines";
    EXPECT_EQ(game.Home().gameSystem.sceneState, kSceneRun);
}

TEST(TestPlayTools, TheViewerIsOnlyForTestPlay) {
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    int64_t start = game.Clock().Microseconds() / 1000;
    Tap(game, game_key::kF9);
    EXPECT_LT(game.Clock().Microseconds() / 1000 - start, 100);
}

TEST(TestPlayTools, PrintScreenSavesThePngOfTheScreenNamedByTheLocalTime) {
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start(), std::nullopt);
    game.Program().GetScene().SetDrawLayer(DrawLayer::kMapScene,
                                           [] { DrawBox(10, 10, 20, 20, GetColorValue(255, 0, 0), 1); });
    const int64_t wall = 1767225600 + 3600 * 5 + 61;  // 2026-01-01 05:01:01 UTC
    game.Clock().SetWallSeconds(wall);
    CalendarTime local = platform::ToLocalCalendarTime(wall);
    char expected[64];
    std::snprintf(expected, sizeof expected, "ScreenShot_%d_%02d%02d_%02d_%02d_%02d.png", local.year, local.month,
                  local.day, local.hour, local.minute, local.second);
    ASSERT_TRUE(game.StepFrames(2));
    game.At(20, [&] { game.SetKey(game_key::kPrintScreen, false); });
    game.At(60, [&] { game.SetKey(game_key::kSpace, true); });
    game.At(80, [&] { game.SetKey(game_key::kSpace, false); });
    game.SetKey(game_key::kPrintScreen, true);
    ASSERT_TRUE(game.StepFrames(1));
    std::string bytes = game.ReadFile(expected);
    ASSERT_FALSE(bytes.empty()) << expected;
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    GraphImage image;
    ASSERT_EQ(LoadGraphImageFromBytes(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), &image),
              0);
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 480);
    int bpp = image.pitch / image.width;
    auto pixel = [&](int x, int y) {
        const uint8_t* p = image.pixels + y * image.pitch + x * bpp;
        return std::array<int, 3>{p[2], p[1], p[0]};
    };
    EXPECT_EQ(pixel(15, 15), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(pixel(100, 100), (std::array<int, 3>{0, 0, 0}));
    ReleaseGraphImage(&image);
}

TEST(TestPlayTools, TheWindowTitleNamesTheGameOrShowsTheInformationLine) {
    auto title = [] { return platform::ShiftJisToUtf8(platform::GetWindowTitle(GetMainWindowHWND())); };
    {
        GameHarness game(ToolGame());
        ASSERT_EQ(game.Start(), std::nullopt);
        ASSERT_TRUE(game.StepFrames(2));
        EXPECT_EQ(title(), "『道具のゲーム』 　　VELK RPGエディター <F8:情報変更>");
        Tap(game, game_key::kF8);
        ASSERT_TRUE(game.StepFrames(130));
        EXPECT_EQ(title(), "[描画FPS60/内部FPS60] ﾌﾚｰﾑｽｷｯﾌﾟ(※F5)[ｽｷｯﾌﾟなし]  (F8:情報変更)");
        Tap(game, game_key::kF5);
        ASSERT_TRUE(game.StepFrames(10));
        EXPECT_NE(title().find("[ｽｷｯﾌﾟx2]"), std::string::npos) << title();
    }
    GameHarness game(ToolGame());
    ASSERT_EQ(game.Start("Test_Of_Main"), std::nullopt);
    ASSERT_TRUE(game.StepFrames(130));
    EXPECT_EQ(title().rfind("[描画FPS60(ｽｷｯﾌﾟなし)<", 0), 0u) << title();
    EXPECT_NE(title().find("/ﾏｳｽ X"), std::string::npos) << title();
}

TEST(TestPlayTools, TitleTextsFollowTheirFormats) {
    EXPECT_EQ(PlayedTimeText(216000 + 3600 * 2 + 60 * 3 + 59), "01:02:03");
    EXPECT_EQ(EventTimeText(0), "0");
    EXPECT_EQ(EventTimeText(3), "3|||");
    // | for 0-9, ■ for 12, 15, 18, 21, 24, ★ for 30, 35, ...: at most 21.
    EXPECT_EQ(EventTimeText(31), "31||||||||||" + platform::Utf8ToShiftJis("■■■■■★"));
    std::string full = EventTimeText(1000);
    EXPECT_EQ(full, "1000||||||||||" + platform::Utf8ToShiftJis("■■■■■★★★★★★"));
}

}  // namespace
}  // namespace velk::testing
