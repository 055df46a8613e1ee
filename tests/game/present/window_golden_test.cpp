// An open message window with its wait cursor, and a message with its
// choices (frame faded in, pulsing cursor on the second item), drawn by the
// real library in software mode against golden pictures, exactly. The
// window images are drawn by the test and saved as the game's files.

#include <filesystem>

#include "game/data/databases.h"
#include "game/data/game_system.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/present/escape_codes.h"
#include "game/present/game_windows.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_renderer.h"
#include "lib/api/library_api.h"
#include "lib/graphics/screen/screen_state.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"
#include "tests/game/present/golden_compare.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk {
namespace {

class WindowGoldenTest : public testing::StartupTest {
protected:
    void SetUp() override {
        SetScreenMode(640, 480, 32, 60);
        SetUseHardwareRenderFlag(0);
        ASSERT_EQ(InitLibrary(), 0);
        ASSERT_EQ(GetSoftRenderFlag(), 1);
        SetDrawScreen(kBackScreen);
        for (int32_t type = 0; type <= kTextColorType; ++type) {
            DbTypeData& data = databases_.system.types.emplace_back();
            data.itemKinds = {1000, 1001, 1002};
            data.rows.clear();
            databases_.system.typeDefs.emplace_back();
        }
        databases_.system.types[kTextColorType].rows.assign(1, DbRow{{255, 255, 255}, {""}});
        DbTypeData& graphics = databases_.system.types[kWindowGraphicsType];
        graphics.itemKinds = {2000, 1000};
        graphics.rows = {DbRow{{2}, {"wait.png"}}, DbRow{{0}, {"frame.png"}}, DbRow{{1}, {"choice.png"}}};
        interpreter_.block.sysVar10 = 0;
        interpreter_.block.sysVar19 = 0;
        store_ = VariableStore(&interpreter_, &databases_);
        ASSERT_NO_FATAL_FAILURE(MakeImages());
    }

    // A 48 x 48 frame (a light rim round a dark blue body), a 24 x 24 cursor
    // (a white rim round a grey body) and a wait cursor of two 16 x 16 frames.
    void MakeImages() {
        std::filesystem::create_directories(scratch.path() / "Data");
        const auto save = [](int width, int height, const char* name) {
            ASSERT_EQ(SaveDrawScreenToPNG(0, 0, width, height, name, -1), 0);
            ClearDrawScreen();
        };
        ClearDrawScreen();
        DrawBox(0, 0, 48, 48, GetColorValue(200, 200, 230), 1);
        DrawBox(3, 3, 45, 45, GetColorValue(20, 30, 110), 1);
        save(48, 48, "Data\\frame.png");
        DrawBox(0, 0, 24, 24, GetColorValue(255, 255, 255), 1);
        DrawBox(2, 2, 22, 22, GetColorValue(90, 90, 120), 1);
        save(24, 24, "Data\\choice.png");
        DrawBox(4, 4, 12, 12, GetColorValue(255, 220, 0), 1);
        DrawBox(4, 22, 12, 30, GetColorValue(255, 120, 0), 1);
        save(16, 32, "Data\\wait.png");
    }

    void ExpectScreen(const std::string& name) {
        const std::filesystem::path saved = scratch.path() / name;
        ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 640, 480, name.c_str(), -1), 0);
        EXPECT_EQ(testing::CompareWithGolden(saved, name), "");
    }

    testing::RecordingReporter reporter_;
    testing::FakeInterpreter interpreter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
    GameSystem system_;
};

TEST_F(WindowGoldenTest, AMessageWindowAndAChoiceWindowMatchTheirPictures) {
    PresentLibrary& library = GameLibrary();
    GraphicCache cache(library);
    SystemResources resources(library, cache);
    TextSettings settings;
    TextRenderer renderer(library, resources, cache, store_, databases_.system, settings);
    resources.SetupFonts({"", "", "", ""}, false);
    WindowContext context{library, cache, renderer, settings, store_, databases_.system, system_, ActiveWindowWaiters(),
                          nullptr};
    MessageWindow message(context);
    ChoiceWindow choice(context);
    ASSERT_TRUE(message.cursorLoaded);
    ASSERT_TRUE(choice.frameLoaded && choice.cursorLoaded);
    interpreter_.block.sysVar5 = 320;
    auto frames = [&](int count, const MenuInput& input = {}) {
        for (int i = 0; i < count; ++i) {
            choice.Update(input);
            message.Update(input);
        }
    };
    auto draw = [&] {
        ClearDrawScreen();
        message.Draw();
        choice.Draw();
    };

    system_.messageRequest =
        ConvertEscapeCodes(store_, testing::Sjis("旅の方、ようこそ。\n\\c[0]Velk の村へ。"), EscapeCodeOptions{});
    frames(30);
    ASSERT_EQ(system_.messageWindowSignal, 1);
    draw();
    ExpectScreen("message_window.png");
    message.Reset();
    frames(2);

    system_.messageRequest = ConvertEscapeCodes(store_, testing::Sjis("どちらへ行きますか？"), EscapeCodeOptions{});
    system_.choicesWithMessage = 1;
    system_.choiceRequest = testing::Sjis("北の山\n南の海\n戻る\n");
    system_.choiceCount = 3;
    system_.choiceCancelValue = 2;
    frames(30);
    MenuInput down;
    down.direction = 2;
    frames(1, down);
    // The pulse at a fixed phase, so the cursor's brightness is the same each run.
    while (choice.pulsePhase != 30)
        frames(1);
    ASSERT_EQ(choice.alpha, 255);
    ASSERT_EQ(choice.cursor, 1);
    draw();
    ExpectScreen("choice_window.png");
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_TRUE(reporter_.boxes.empty());
}

}  // namespace
}  // namespace velk
