// Pictures drawn by the real library in software mode: the four bands over a
// patterned ground, each anchor, zooms, angles, every blend kind, a tint
// and a lightening colour, against a golden picture, exactly.

#include <filesystem>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/present/graphic_cache.h"
#include "game/present/picture_drawing.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
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

class PictureGoldenTest : public testing::StartupTest {
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
        store_ = VariableStore(&interpreter_, &databases_);
    }

    // A 32 x 32 image of four coloured quarters with a dark border, and one
    // of two cells side by side.
    void MakeImages() {
        std::filesystem::create_directories(scratch.path() / "Data");
        ClearDrawScreen();
        DrawBox(0, 0, 32, 32, GetColorValue(20, 20, 20), 1);
        DrawBox(2, 2, 16, 16, GetColorValue(230, 40, 40), 1);
        DrawBox(16, 2, 30, 16, GetColorValue(40, 200, 60), 1);
        DrawBox(2, 16, 16, 30, GetColorValue(50, 80, 230), 1);
        DrawBox(16, 16, 30, 30, GetColorValue(240, 230, 90), 1);
        ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 32, 32, "Data\\quarters.png", -1), 0);
        ClearDrawScreen();
        DrawBox(0, 0, 16, 16, GetColorValue(250, 250, 250), 1);
        DrawBox(16, 0, 32, 16, GetColorValue(200, 120, 30), 1);
        ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 32, 16, "Data\\cells.png", -1), 0);
        ClearDrawScreen();
    }

    // Stripes the bands are drawn over, so blending shows.
    void DrawGround() {
        for (int x = 0; x < 320; x += 20) {
            DrawBox(x, 0, x + 10, 240, GetColorValue(90 + x / 4, 90, 140 - x / 4), 1);
        }
    }

    testing::RecordingReporter reporter_;
    testing::FakeOwners owners_;
    testing::FakeInterpreter interpreter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
};

PictureArguments Place(int32_t x, int32_t y, int32_t anchor, int32_t zoomX, int32_t zoomY, int32_t angle) {
    PictureArguments a;
    a.x = x, a.y = y, a.anchor = anchor, a.zoomX = zoomX, a.zoomY = zoomY, a.angle = angle;
    return a;
}

TEST_F(PictureGoldenTest, PicturesInEveryBandWithZoomAngleAnchorAndBlendMatchTheirPicture) {
    ASSERT_NO_FATAL_FAILURE(MakeImages());
    PresentLibrary& library = GameLibrary();
    GraphicCache cache(library);
    SystemResources resources(library, cache);
    TextSettings settings;
    TextRenderer renderer(library, resources, cache, store_, databases_.system, settings);
    PictureImageStore images(library);
    PictureSettings pictureSettings;
    PictureServices services{GamePictureDrawing(), images, renderer, pictureSettings};
    PictureList pictures(services);

    // Band -2 and -1: plain, then centred, zoomed and turned.
    pictures.Show(-100001, -100001, "quarters.png", Place(8, 8, 0, 100, 100, 0), 0, false);
    pictures.Show(-7, -7, "quarters.png", Place(80, 40, 1, 150, 150, 300), 0, false);
    // Band 0: every blend kind at opacity 200, each anchor once.
    for (int32_t kind = 0; kind < 5; ++kind) {
        PictureArguments a = Place(20 + kind * 60, 120, kind, 100 + kind * 20, 100, 0);
        a.blendWord = kind;
        a.opacity = 200;
        pictures.Show(kind + 1, kind + 1, "quarters.png", a, 0, false);
    }
    // Band 1: the second cell stretched flat, a tinted picture and a
    // lightened one (two passes), a turned one zoomed up.
    PictureArguments cell = Place(300, 230, 4, 200, 50, 0);
    cell.divisionsX = 2;
    cell.pattern = 2;
    pictures.Show(100000, 100000, "cells.png", cell, 0, false);
    PictureArguments dark = Place(160, 170, 0, 100, 100, 0);
    dark.color = 40 * 65536 + 100 * 256 + 160;
    pictures.Show(100001, 100001, "quarters.png", dark, 0, false);
    PictureArguments light = Place(200, 170, 0, 100, 100, 0);
    light.color = 170 * 65536 + 170 * 256 + 100;
    pictures.Show(100002, 100002, "quarters.png", light, 0, false);
    pictures.Show(100003, 100003, "quarters.png", Place(270, 60, 1, 200, 200, 450), 0, false);
    pictures.Update();
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_TRUE(reporter_.messages.empty());

    ClearDrawScreen();
    DrawGround();
    for (int band : {-2, -1, 0, 1})
        pictures.DrawBand(band);

    const std::filesystem::path saved = scratch.path() / "pictures.png";
    ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 320, 240, "pictures.png", -1), 0);
    EXPECT_EQ(testing::CompareWithGolden(saved, "pictures.png"), "");
}

}  // namespace
}  // namespace velk
