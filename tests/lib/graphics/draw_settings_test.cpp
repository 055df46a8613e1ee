#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_table.h"
#include "tests/lib/graphics/recording_paths.h"

namespace velk {
namespace {

using ::testing::ElementsAre;

class DrawSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { fx.Start(); }
    testing::GraphicsFixture fx;
};

TEST_F(DrawSettingsTest, AfterAResetTheFrontScreenIsTheWholeTarget) {
    const DrawSettings& s = GetDrawSettings();
    EXPECT_EQ(GetDrawScreen(), kFrontScreen);
    EXPECT_EQ(s.draw_area, (Rect{0, 0, 640, 480}));
    EXPECT_EQ(s.blend_graph, -1);
    ASSERT_NE(GetLightData(s.default_light), nullptr);
}

TEST_F(DrawSettingsTest, DrawAreaIsOrderedClampedAndMayBeEmpty) {
    SetDrawArea(100, 100, 50, 50);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{50, 50, 100, 100}));
    EXPECT_FLOAT_EQ(GetDrawSettings().draw_area_f[2], 100.0f);
    SetDrawArea(-20, -5, 9000, 9000);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{0, 0, 640, 480}));
    SetDrawArea(0, 0, 0, 480);
    EXPECT_EQ(GetDrawSettings().draw_area_empty, 1);
    SetDrawArea(0, 0, 10, 10);
    EXPECT_EQ(GetDrawSettings().draw_area_empty, 0);
}

TEST_F(DrawSettingsTest, TheFrontScreenAreaFollowsWhatTheWindowShows) {
    // A window pushed past the desktop's top-left corner: the area starts
    // where the window's visible part starts, whatever was asked.
    fx.host.client = Rect{-30, -20, 610, 460};
    SetDrawArea(100, 5, 300, 200);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{30, 20, 300, 200}));
    // Past the desktop's right and bottom edges the area stops there.
    fx.host.client = Rect{1600, 900, 2240, 1380};
    SetDrawArea(0, 0, 640, 480);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{0, 0, 320, 180}));
    // A graph target ignores the window.
    SetCreateDrawValidGraph(1);
    const int target = CreateEmptyGraph(50, 40, 1);
    SetCreateDrawValidGraph(0);
    ASSERT_EQ(SetDrawScreen(target), 0);
    SetDrawArea(0, 0, 640, 480);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{0, 0, 50, 40}));
}

TEST_F(DrawSettingsTest, ViewportFailureIsLoggedButTheAreaIsKept) {
    fx.host.direct3d = true;
    fx.direct3d.viewport_result = -1;
    EXPECT_EQ(SetDrawArea(1, 2, 3, 4), 0);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{1, 2, 3, 4}));
}

TEST_F(DrawSettingsTest, BlendModeAndBrightnessAreClampedAndRepeatsAreSkipped) {
    fx.two_d.record_state = true;
    SetDrawBlendMode(1, 300);
    int mode = 0, param = 0;
    GetDrawBlendMode(&mode, &param);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(param, 255);
    SetDrawBlendMode(1, 255);
    SetDrawBlendMode(1, 300);  // the same once clamped
    SetDrawBrightness(-5, 300, 128);
    const DrawSettings& s = GetDrawSettings();
    EXPECT_EQ(s.bright_red, 0);
    EXPECT_EQ(s.bright_green, 255);
    EXPECT_EQ(s.bright_blue, 128);
    SetDrawBrightness(0, 255, 128);
    SetDrawBrightnessColor(0xFF102030);
    EXPECT_EQ(s.bright_red, 0x10);
    // Any mode value is stored; the paths decide what they draw.
    SetDrawBlendMode(42, 7);
    EXPECT_THAT(fx.calls, ElementsAre("2d ColorState 1 255 255 255 255", "2d ColorState 1 255 0 255 128",
                                      "2d ColorState 1 255 16 32 48", "2d ColorState 42 7 16 32 48"));
}

TEST_F(DrawSettingsTest, TransparentColourIsIgnoredInEightBitMode) {
    SetTransparentColor(254, 0, 254);
    EXPECT_EQ(GetDrawSettings().transparent_color, 0xFE00FEu);
    fx.host.bits = 8;
    SetTransparentColor(1, 2, 3);
    EXPECT_EQ(GetDrawSettings().transparent_color, 0xFE00FEu);
}

TEST_F(DrawSettingsTest, BlendGraphMustBeLive) {
    const int g = CreateEmptyGraph(8, 8, 1);
    EXPECT_EQ(SetBlendGraph(g + 0x10000, 10, 20), -1);
    EXPECT_EQ(SetBlendGraph(g, 300, -4), 0);
    EXPECT_EQ(GetDrawSettings().blend_border_param, 255);
    EXPECT_EQ(GetDrawSettings().blend_border_range, 0);
    // Deleting the blend graph clears it.
    DeleteGraph(g);
    EXPECT_EQ(GetDrawSettings().blend_graph, -1);
}

TEST_F(DrawSettingsTest, DrawScreenKeepsTheAreaOnlyForATargetOfTheSameSize) {
    const int same = testing::MakeDrawTarget(640, 480);
    const int small = testing::MakeDrawTarget(32, 16);
    SetDrawArea(10, 10, 20, 20);
    ASSERT_EQ(SetDrawScreen(same), 0);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{10, 10, 20, 20}));
    ASSERT_EQ(SetDrawScreen(small), 0);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{0, 0, 32, 16}));
    EXPECT_EQ(GetDrawSettings().draw_screen_width, 32);
    // A graph that cannot be drawn on is refused, and the target stays.
    const int plain = CreateEmptyGraph(8, 8, 1);
    EXPECT_EQ(SetDrawScreen(plain), -1);
    EXPECT_EQ(GetDrawScreen(), small);
    EXPECT_EQ(GetDrawSettings().draw_area, (Rect{0, 0, 32, 16}));
}

TEST_F(DrawSettingsTest, AFailedDrawScreenFallsBackWithoutLooping) {
    const int target = testing::MakeDrawTarget(64, 64);
    ASSERT_EQ(SetDrawScreen(target), 0);
    fx.calls.clear();
    // Every path refuses every target: one try at the new target, one at the
    // previous, one at the back screen; then it gives up.
    fx.two_d.target_result = -1;
    EXPECT_EQ(SetDrawScreen(kFrontScreen), -1);
    EXPECT_THAT(fx.calls, ElementsAre("2d SetDrawTarget -4", "2d SetDrawTarget 1", "2d SetDrawTarget -2"));
    fx.two_d.target_result = 0;
    EXPECT_EQ(GetDrawScreen(), target);
}

TEST_F(DrawSettingsTest, MatricesShowThePlaneAtOnePixelPerUnit) {
    ASSERT_EQ(SetDrawScreen(kBackScreen), 0);
    const DrawSettings& s = GetDrawSettings();
    EXPECT_EQ(s.combined_valid, 1);
    // A point on z = 0 lands on its own pixel.
    const float p[4] = {100.0f, 50.0f, 0.0f, 1.0f};
    float out[4] = {};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out[c] += p[r] * s.combined.m[r * 4 + c];
    EXPECT_NEAR(out[0] / out[3], 100.0f, 0.01f);
    EXPECT_NEAR(out[1] / out[3], 480.0f - 50.0f, 0.01f);
}

TEST_F(DrawSettingsTest, ThreeDFlagFollowsTheHostAndLightsDeleteOnce) {
    EXPECT_EQ(GetUse3DFlag(), 0);
    fx.host.direct3d = true;
    EXPECT_EQ(GetUse3DFlag(), 1);
    SetUse3DFlag(0);
    EXPECT_EQ(GetUse3DFlag(), 0);
    const int light = CreateLight();
    EXPECT_EQ(DeleteLight(light), 0);
    EXPECT_EQ(DeleteLight(light), -1);
}

}  // namespace
}  // namespace velk
