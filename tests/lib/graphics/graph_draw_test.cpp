// The draw front-end against recording fakes of both paths: which path gets
// each draw, with which arguments, in which order.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "tests/lib/graphics/recording_paths.h"

namespace velk {
namespace {

using ::testing::ElementsAre;

class GraphDraw : public ::testing::Test {
protected:
    void SetUp() override {
        fx.Start();
        fx.host.direct3d = true;
        plain = CreateEmptyGraph(20, 10, 1);
        texture = CreateEmptyGraph(30, 15, 0);
        fx.calls.clear();
    }
    testing::GraphicsFixture fx;
    int plain = -1;
    int texture = -1;
};

TEST_F(GraphDraw, EachGraphGoesToItsOwnPath) {
    EXPECT_EQ(DrawGraph(5, 6, plain, 1), 0);
    EXPECT_EQ(DrawGraph(7, 8, texture, 0), 0);
    EXPECT_EQ(DrawGraphScaled(100, 0, 0, 50, plain, 1), 0);
    EXPECT_EQ(DrawTurnGraph(1, 2, texture, 1), 0);
    EXPECT_EQ(DrawGraphRotated(50, 60, 2.0, 0.5, plain, 1, 1), 0);
    // Corners: top left, top right, bottom left, bottom right.
    EXPECT_EQ(DrawModiGraphF(0, 0, 10, 0, 0, 10, 10, 10, texture, 1), 0);
    EXPECT_THAT(fx.calls, ElementsAre("2d DrawGraph 5 6 5 6 20 1", "3d DrawGraph 7 8 7 8 30 0",
                                      "2d DrawGraphScaled 100 0 0 50 20 1", "3d DrawGraphScaled 31 2 1 17 30 1",
                                      "2d DrawGraphRotated 50 60 200 50 1 1", "3d DrawGraphFourCorner 0 0 10 0 0 10 10 10 1"));
    // The path's result is returned.
    fx.two_d.draw_result = -1;
    EXPECT_EQ(DrawGraph(0, 0, plain, 1), -1);
}

TEST_F(GraphDraw, BadHandlesAndEmptyAreas) {
    EXPECT_EQ(DrawGraph(0, 0, plain + 0x10000, 1), -1);
    EXPECT_EQ(DrawGraphScaled(0, 0, 1, 1, -1, 1), -1);
    EXPECT_EQ(DrawRectGraph(0, 0, 0, 0, 5, 5, 12345, 1, 0), -1);
    EXPECT_EQ(GetDrawScreenGraph(0, 0, 1, 1, -1, 0), -1);
    EXPECT_EQ(FillGraph(-1, 1, 2, 3, 4), -1);
    SetDrawArea(0, 0, 0, 480);
    // With nothing to draw into, even a bad handle gives 0.
    EXPECT_EQ(DrawGraph(0, 0, plain + 0x10000, 1), 0);
    EXPECT_EQ(DrawGraph(0, 0, plain, 1), 0);
    EXPECT_EQ(DrawBox(0, 0, 5, 5, 0, 1), 0);
    EXPECT_TRUE(fx.calls.empty());
}

TEST_F(GraphDraw, ABlendGraphSmallerThanTheGraphRefusesEveryDraw) {
    const int small = CreateEmptyGraph(10, 10, 1);
    ASSERT_EQ(SetBlendGraph(small, 128, 64), 0);
    fx.calls.clear();
    EXPECT_EQ(DrawGraph(0, 0, plain, 1), -1);
    EXPECT_EQ(DrawGraphScaled(0, 0, 5, 5, plain, 1), -1);
    EXPECT_EQ(DrawGraphRotatedF(0, 0, 1, 0, plain, 1, 0), -1);
    EXPECT_EQ(DrawModiGraphF(0, 0, 1, 0, 0, 1, 1, 1, plain, 1), -1);
    EXPECT_TRUE(fx.calls.empty());
    const int fits = CreateEmptyGraph(5, 5, 1);
    fx.calls.clear();
    EXPECT_EQ(DrawGraph(0, 0, fits, 1), 0);
    EXPECT_EQ(fx.calls.size(), 1u);
}

TEST_F(GraphDraw, DrawBlendGraphPutsTheBlendGraphBackAndReportsFailure) {
    const int blend = CreateEmptyGraph(40, 40, 1);
    EXPECT_EQ(DrawBlendGraph(1, 2, plain, 1, blend, 300, 5), 0);
    EXPECT_EQ(GetDrawSettings().blend_graph, -1);
    EXPECT_EQ(DrawBlendGraph(1, 2, plain + 0x10000, 1, blend, 10, 5), -1);
    EXPECT_EQ(DrawBlendGraph(1, 2, plain, 1, blend + 0x10000, 10, 5), -1);
    const int small = CreateEmptyGraph(4, 4, 1);
    EXPECT_EQ(DrawBlendGraph(1, 2, plain, 1, small, 10, 5), -1);
    EXPECT_EQ(GetDrawSettings().blend_graph, -1);
}

TEST_F(GraphDraw, SubtractOnATextureGraphTakesThreePasses) {
    fx.direct3d.record_state = true;
    SetDrawBrightness(10, 20, 30);
    SetDrawBlendMode(3, 77);
    fx.calls.clear();
    EXPECT_EQ(DrawGraph(4, 5, texture, 1), 0);
    // Invert with a white box, add the graph weighted by alpha, invert back.
    EXPECT_THAT(fx.calls,
                ElementsAre("3d ColorState 3 77 255 255 255", "3d ColorState 3 255 255 255 255",
                            "3d DrawBox 4 5 34 20 65535 1 3 255 255", "3d ColorState 3 255 10 20 30",
                            "3d ColorState 5 77 10 20 30", "3d DrawGraph 4 5 4 5 30 1",
                            "3d ColorState 5 77 255 255 255", "3d ColorState 3 255 255 255 255",
                            "3d DrawBox 4 5 34 20 65535 1 3 255 255", "3d ColorState 3 255 10 20 30",
                            "3d ColorState 3 77 10 20 30"));
    int mode = 0, param = 0;
    GetDrawBlendMode(&mode, &param);
    EXPECT_EQ(mode, 3);
    EXPECT_EQ(param, 77);
    // A 2D graph is drawn in one pass: its path subtracts itself.
    fx.calls.clear();
    DrawGraph(4, 5, plain, 1);
    EXPECT_THAT(fx.calls, ElementsAre("2d DrawGraph 4 5 4 5 20 1"));
}

TEST_F(GraphDraw, DrawRectGraphClipsAndPutsTheAreaBack) {
    SetDrawArea(3, 4, 600, 400);
    fx.two_d.record_state = true;
    const DrawSettings before = GetDrawSettings();
    EXPECT_EQ(DrawRectGraph(100, 50, 5, 2, 8, 6, plain, 1, 0), 0);
    EXPECT_EQ(DrawRectGraph(100, 50, 5, 2, 8, 6, plain, 1, 1), 0);
    EXPECT_THAT(fx.calls, ElementsAre("2d SetDrawArea 100 50 108 56", "2d DrawGraph 95 48 95 48 20 1",
                                      "2d SetDrawArea 3 4 600 400", "2d SetDrawArea 100 50 108 56",
                                      "2d DrawGraphScaled 113 48 93 58 20 1", "2d SetDrawArea 3 4 600 400"));
    const DrawSettings& after = GetDrawSettings();
    EXPECT_EQ(after.draw_area, before.draw_area);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(after.draw_area_f[i], before.draw_area_f[i]);
    // A rectangle outside the area draws nothing and changes nothing.
    fx.calls.clear();
    EXPECT_EQ(DrawRectGraph(700, 50, 0, 0, 8, 6, plain, 1, 0), 0);
    EXPECT_TRUE(fx.calls.empty());
}

TEST_F(GraphDraw, DrawRectExtendGraphPlacesTheSourceRectangleOnTheDestination) {
    // Source (5, 2, 10 x 4) of the 20 x 10 graph onto (100, 100)-(120, 112): scale 2 x 3.
    fx.two_d.record_state = true;
    EXPECT_EQ(DrawRectExtendGraph(100, 100, 120, 112, 5, 2, 10, 4, plain, 1), 0);
    EXPECT_THAT(fx.calls, ElementsAre("2d SetDrawArea 100 100 120 112", "2d DrawGraphScaled 90 94 130 124 20 1",
                                      "2d SetDrawArea 0 0 640 480"));
}

TEST_F(GraphDraw, BoxesTakeTheDirect3DPathOnlyWhenItIsInUse) {
    DrawBox(1, 2, 3, 4, 0x1234, 0);
    DrawBox(1, 2, 3, 4, 0x1234, 5);
    SetUse3DFlag(0);
    DrawBox(9, 8, 7, 6, 0x1234, 1);
    EXPECT_THAT(fx.calls, ElementsAre("3d DrawBox 1 2 3 4 4660 0 0 0 255", "3d DrawBox 1 2 3 4 4660 5 0 0 255",
                                      "2d DrawBox 9 8 7 6 4660 1 0 0 255"));
}

TEST_F(GraphDraw, MasksBracketEveryDraw) {
    fx.host.masks = true;
    DrawGraph(2, 3, plain, 1);
    DrawGraphScaled(10, 10, 0, 0, plain, 1);
    EXPECT_THAT(fx.calls, ElementsAre("host MaskBefore 2 3 22 13", "2d DrawGraph 2 3 2 3 20 1",
                                      "host MaskAfter 2 3 22 13", "host MaskBefore 0 0 10 10",
                                      "2d DrawGraphScaled 10 10 0 0 20 1", "host MaskAfter 0 0 10 10"));
}

TEST_F(GraphDraw, SoftwareDrawsOnTheFrontScreenAreCopiedToTheWindow) {
    fx.host.software = true;
    fx.host.bits = 32;
    ASSERT_EQ(GetDrawScreen(), kFrontScreen);
    DrawGraph(2, 3, plain, 1);
    ClearDrawScreen();
    EXPECT_THAT(fx.calls, ElementsAre("2d DrawGraph 2 3 2 3 20 1", "host CopyToWindow 2 3 22 13",
                                      "3d ClearDrawScreen", "2d ClearDrawScreen", "host CopyToWindow 0 0 640 480"));
}

TEST_F(GraphDraw, MovieGraphsUpdateTheirFrameOrShowTheirOverlay) {
    GetGraphData(plain)->movie = 7;
    DrawGraph(1, 1, plain, 1);
    fx.host.movie_service = true;
    EXPECT_EQ(DrawGraphScaled(0, 0, 40, 20, plain, 1), -1);
    EXPECT_EQ(DrawGraphRotatedF(0, 0, 1.0, 0.0, plain, 1, 0), 0);
    EXPECT_THAT(fx.calls, ElementsAre("host UpdateMovieFrame 7", "2d DrawGraph 1 1 1 1 20 1",
                                      "host UpdateMovieFrame 7", "host ShowMovieOverlay 0 0 2",
                                      "host UpdateMovieFrame 7", "2d DrawGraphRotated 0 0 100 0 1 0"));
    GetGraphData(plain)->movie = -1;
}

TEST_F(GraphDraw, FillAndReadBackGoToTheGraphsPath) {
    FillGraph(texture, 1, 2, 3, 4);
    GetDrawScreenGraph(1, 2, 3, 4, plain, 9);
    EXPECT_THAT(fx.calls, ElementsAre("3d FillGraphColor 1 2 3 4", "2d GetDrawScreenGraph 1 2 3 4 9"));
}

TEST_F(GraphDraw, ColourValuesInTheScreensFormat) {
    EXPECT_EQ(GetColorValue(255, 255, 255), 0xFFFFu);  // 16-bit until a mode is set
    fx.host.bits = 32;
    EXPECT_EQ(GetColorValue(1, 2, 3), 0xFF010203u);
    int r = 0, g = 0, b = 0;
    EXPECT_EQ(GetColorRGB(0xFF102030u, &r, &g, &b), 0);
    EXPECT_EQ(g, 0x20);
    fx.host.bits = 8;
    EXPECT_EQ(GetColorRGB(256, &r, &g, &b), -1);
}

}  // namespace
}  // namespace velk
