// A message text drawn by the real library in software mode with the game's
// default face (the installed gothic face stands in for it): colours, sizes,
// an icon, ruby, edged letters, shadows and a centred line, against a golden
// picture, exactly.

#include <filesystem>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/present/escape_codes.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_box.h"
#include "game/present/text_renderer.h"
#include "lib/api/library_api.h"
#include "lib/graphics/screen/screen_state.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"
#include "tests/game/present/golden_compare.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk {
namespace {

class MessageGoldenTest : public testing::StartupTest {
protected:
    void SetUp() override {
        SetScreenMode(640, 480, 32, 60);
        SetUseHardwareRenderFlag(0);
        ASSERT_EQ(InitLibrary(), 0);
        ASSERT_EQ(GetSoftRenderFlag(), 1);
        SetDrawScreen(kBackScreen);
        // Types 0-12 of the system database, type 12 the text colours.
        for (int32_t type = 0; type <= kTextColorType; ++type) {
            DbTypeData& data = databases_.system.types.emplace_back();
            data.itemKinds = {1000, 1001, 1002};
            data.rows.clear();
            databases_.system.typeDefs.emplace_back();
        }
        auto& colors = databases_.system.types[kTextColorType].rows;
        colors.assign(14, DbRow{{255, 255, 255}, {""}});
        colors[2].numbers = {255, 128, 64};
        colors[5].numbers = {120, 255, 120};
        colors[13].numbers = {128, 200, 255};
        store_ = VariableStore(&interpreter_, &databases_);
    }

    // An icon of two coloured halves, saved from the screen.
    void MakeIcon() {
        std::filesystem::create_directories(scratch.path() / "Data" / "BasicData");
        ClearDrawScreen();
        DrawBox(0, 0, 24, 12, GetColorValue(250, 210, 40), 1);
        DrawBox(0, 12, 24, 24, GetColorValue(200, 40, 40), 1);
        ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 24, 24, "Data\\BasicData\\icon001.png", -1), 0);
        ClearDrawScreen();
    }

    testing::RecordingReporter reporter_;
    testing::FakeInterpreter interpreter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
};

TEST_F(MessageGoldenTest, AMessageWithColoursSizesAnIconAndRubyMatchesItsPicture) {
    ASSERT_NO_FATAL_FAILURE(MakeIcon());
    PresentLibrary& library = GameLibrary();
    GraphicCache cache(library);
    SystemResources resources(library, cache);
    TextSettings settings;
    settings.lineSpacing = 6;
    TextRenderer renderer(library, resources, cache, store_, databases_.system, settings);
    resources.SetupFonts({"", "", "", ""}, false);
    resources.LoadIcons();
    ASSERT_EQ(resources.IconWidth(1), 24);

    TextBox box(16, 24);
    box.shownText =
        ConvertEscapeCodes(store_,
                           testing::Sjis("\\c[2]Velk\\c[0]の\\f[32]文字\\f[24]表示 \\i[1] と\\r[漢字,かんじ]です\n"
                                         "<C>\\E\\c[5]縁取り\\N\\f[18]小さな文字"),
                           EscapeCodeOptions{});
    box.instant = true;
    int32_t width = 0, height = 0;
    box.Measure(renderer, width, height);
    EXPECT_GT(width, 200);
    box.Draw(renderer, true);
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_TRUE(reporter_.messages.empty());

    const std::filesystem::path saved = scratch.path() / "message.png";
    ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 480, 112, "message.png", -1), 0);
    EXPECT_EQ(testing::CompareWithGolden(saved, "message_text.png"), "");
}

}  // namespace
}  // namespace velk
