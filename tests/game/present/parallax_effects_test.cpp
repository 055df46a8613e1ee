// Panorama and fog: how they follow the map's scrolling by their divisor,
// their speeds by the frame step, the pieces they are drawn in, and their
// accumulators staying small. The tone, flash and transition: their frames,
// what a tone without a length does, and what each draws.

#include "game/data/game_system.h"
#include "game/present/parallax_layer.h"
#include "game/present/screen_effects.h"
#include "tests/game/present/scene_fixture.h"

namespace velk {
namespace {

class ParallaxTest : public testing::SceneTest {
protected:
    ParallaxTest() {
        library_.files["Data\\far.png"] = testing::ImageBytes(640, 480);
        library_.files["Data\\mist.png"] = testing::ImageBytes(200, 100);
    }
    ParallaxLayer Layer(ParallaxLayer::Kind kind, int frameStep = 1, int scale = 1) {
        return ParallaxLayer(kind, cache_, drawing_, databases_.system, scale, frameStep);
    }
};

TEST_F(ParallaxTest, TheDivisorSetsHowTheLayerFollowsTheMap) {
    SetRow(13, 1, "far.png", {0, 0, 0});
    GlobalPanoramaSelection().number = 1;
    const int32_t divisors[] = {0, 1, 2};
    // Map scrolled 100 pixels right: 400 quarter pixels.
    const int32_t expected[] = {0, 640 * 8 - 800, 640 * 8 - 400};
    for (int i = 0; i < 3; ++i) {
        SetRow(13, 1, "far.png", {0, 0, divisors[i]});
        map_.scrollX = 0;
        ParallaxLayer layer = Layer(ParallaxLayer::Kind::kPanorama);
        layer.Draw(map_);
        map_.scrollX = 400;
        layer.StepScroll(map_);
        EXPECT_EQ(layer.offsetX, expected[i]) << "divisor " << divisors[i];
    }
}

TEST_F(ParallaxTest, WithFrameStepTwoThePanoramaMultipliesItsSpeedAndTheFogDivides) {
    SetRow(13, 1, "mist.png", {3, 0, 0});
    GlobalPanoramaSelection().number = 1;
    GlobalFogSelection().number = 1;
    ParallaxLayer panorama = Layer(ParallaxLayer::Kind::kPanorama, 2);
    ParallaxLayer fog = Layer(ParallaxLayer::Kind::kFog, 2);
    panorama.Draw(map_);
    fog.Draw(map_);
    const int32_t panoramaStart = panorama.offsetX, fogStart = fog.offsetX;
    panorama.StepScroll(map_);
    fog.StepScroll(map_);
    EXPECT_EQ(panorama.offsetX - panoramaStart, 6);
    EXPECT_EQ(fog.offsetX - fogStart, 1);
}

TEST_F(ParallaxTest, AccumulatorsStayWithinOneImageAndOffsetsStayOnIt) {
    SetRow(13, 1, "mist.png", {7, -5, 1});
    GlobalPanoramaSelection().number = 1;
    ParallaxLayer layer = Layer(ParallaxLayer::Kind::kPanorama);
    layer.Draw(map_);
    map_.scrollX = 100000;
    for (int i = 0; i < 5000; ++i) {
        layer.StepScroll(map_);
        ASSERT_GE(layer.accumulatorX, 0);
        ASSERT_LT(layer.accumulatorX, 200 * 8);
        ASSERT_GE(layer.accumulatorY, 0);
        ASSERT_LT(layer.accumulatorY, 100 * 8);
        ASSERT_GE(layer.offsetX, 0);
        ASSERT_LT(layer.offsetX, 200 * 8);
    }
    // 5001 steps of 7 eighths, less the map's 200000 eighths, on 1600.
    EXPECT_EQ(layer.offsetX, ((5001 * 7 - 200000) % 1600 + 1600) % 1600);
}

TEST_F(ParallaxTest, TheImageIsDrawnOnceWrappedAtItsOffset) {
    SetRow(13, 1, "far.png", {0, 0, 0});
    GlobalPanoramaSelection().number = 1;
    ParallaxLayer layer = Layer(ParallaxLayer::Kind::kPanorama);
    layer.Draw(map_);
    ASSERT_EQ(drawing_.Graphs().size(), 1u);
    EXPECT_EQ(drawing_.Graphs()[0].x2, 640);
    drawing_.calls.clear();
    layer.offsetX = 100 * 8;
    layer.offsetY = 30 * 8;
    layer.Draw(map_);
    const auto graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 4u);
    EXPECT_EQ((std::array<int, 4>{graphs[0].x1, graphs[0].y1, graphs[0].sourceX, graphs[0].sourceY}),
              (std::array<int, 4>{100, 30, 0, 0}));
    EXPECT_EQ((std::array<int, 4>{graphs[1].x1, graphs[1].y1, graphs[1].sourceX, graphs[1].sourceY}),
              (std::array<int, 4>{0, 0, 540, 450}));
}

TEST_F(ParallaxTest, TheFogBlendsByItsKindAndAMissingImageIsReported) {
    SetRow(13, 1, "mist.png", {0, 0, 0});
    SetRow(13, 2, "gone.png", {0, 0, 0});
    FogSelection& fog = GlobalFogSelection();
    fog.number = 1;
    fog.blendKind = 1;
    fog.opacity = 300;
    ParallaxLayer layer = Layer(ParallaxLayer::Kind::kFog);
    layer.Draw(map_);
    ASSERT_FALSE(drawing_.Graphs().empty());
    EXPECT_EQ(drawing_.Graphs()[0].blend, 2);
    EXPECT_EQ(drawing_.Graphs()[0].parameter, 255);
    fog.number = 2;
    drawing_.calls.clear();
    layer.Draw(map_);
    EXPECT_TRUE(drawing_.Graphs().empty());
    ASSERT_EQ(reporter_.boxes.size(), 1u);
}

TEST_F(ParallaxTest, ToneFramesLandOnTheTargetAndATonelessLengthLandsAtOnce) {
    MainEventInterpreter main(32);
    main.StartTone(-100, 50, 0, 3);
    std::vector<int16_t> reds;
    for (int i = 0; i < 6; ++i) {
        main.UpdateTint(1);
        reds.push_back(main.tone.current[0]);
    }
    EXPECT_EQ(reds, (std::vector<int16_t>{0, -25, -50, -75, -100, -100}));
    EXPECT_EQ(main.tone.remaining, -1);

    main.tone.target = {10, 20, 30};
    main.tone.remaining = 5;
    main.tone.total = 0;
    main.UpdateTint(1);
    EXPECT_EQ(main.tone.current, (std::array<int16_t, 3>{10, 20, 30}));
    main.UpdateTint(1);
    EXPECT_EQ(main.tone.remaining, -1);

    main.StartFlash(255, 255, 255, 4);
    std::vector<int16_t> left;
    for (int i = 0; i < 3; ++i) {
        left.push_back(main.flash.remaining);
        main.UpdateTint(2);
    }
    EXPECT_EQ(left, (std::vector<int16_t>{5, 3, 1}));
    EXPECT_LT(main.flash.remaining, 1);
}

TEST_F(ParallaxTest, TintPassesFlashAndTransitionDraw) {
    ScreenTone tone;
    tone.current = {-255, 0, 0};
    DrawTint(drawing_, tone, false, false);
    EXPECT_EQ(drawing_.bright, (std::array<int, 3>{0, 255, 255}));
    DrawTint(drawing_, tone, true, false);
    EXPECT_TRUE(drawing_.calls.empty());
    tone.current = {100, 100, 100};
    DrawTint(drawing_, tone, false, true);
    DrawTint(drawing_, tone, false, false);
    DrawTint(drawing_, tone, true, false);
    EXPECT_EQ(drawing_.bright, (std::array<int, 3>{255, 255, 255}));
    ASSERT_EQ(drawing_.boxColors.size(), 1u);
    EXPECT_EQ(drawing_.boxColors[0], (std::array<int, 3>{100, 100, 100}));
    EXPECT_EQ(drawing_.calls[0].blend, 2);

    drawing_.calls.clear();
    ScreenFlash flash;
    flash.color = {255, 0, 0};
    flash.remaining = 3;
    flash.total = 5;
    DrawFlash(drawing_, flash);
    ASSERT_EQ(drawing_.calls.size(), 1u);
    EXPECT_EQ(drawing_.calls[0].parameter, 255 * 3 / 5);
    flash.total = 0;
    DrawFlash(drawing_, flash);
    EXPECT_EQ(drawing_.calls.size(), 1u);

    drawing_.calls.clear();
    GameSystem system;
    system.transitionRunning = 1;
    system.plainFade = 1;
    system.transitionStartScreen = 7;
    system.transitionLeft = 5;
    system.transitionLength = 10;
    DrawTransition(drawing_, system);
    ASSERT_EQ(drawing_.calls.size(), 1u);
    EXPECT_EQ(drawing_.calls[0].parameter, 127);
    system.plainFade = 0;
    DrawTransition(drawing_, system);
    ASSERT_EQ(drawing_.calls.size(), 2u);
    EXPECT_EQ(drawing_.calls[1].what, "DrawBlendGraph");
    // The border rises as the frames run out.
    EXPECT_EQ(drawing_.calls[1].x2, 255 - 127);
    system.transitionLeft = -1;
    DrawTransition(drawing_, system);
    EXPECT_EQ(drawing_.calls.size(), 2u);
    EXPECT_EQ(system.transitionRunning, 0);
}

TEST_F(ParallaxTest, ATransitionStartsAsTheOldScreenAndEndsAsTheNew) {
    // Ten frames: with 9 left the old screen still covers the frame (fade
    // 255 * 9 / 10 = 229, the wipe's border at 255 - 229 = 26); with 1 left
    // it is nearly gone (25, border 230). At 0 left the last draw is
    // transparent; only below 0 does the transition end.
    GameSystem system;
    system.transitionRunning = 1;
    system.transitionWaits = 1;
    system.transitionStartScreen = 7;
    system.transitionImage = 9;
    system.transitionLength = 10;
    const struct { int left, fade, border; } frames[] = {{9, 229, 26}, {1, 25, 230}, {0, 0, 255}};
    for (const auto& frame : frames) {
        system.transitionLeft = frame.left;
        for (int16_t plain : {1, 0}) {
            system.plainFade = plain;
            drawing_.calls.clear();
            DrawTransition(drawing_, system);
            ASSERT_EQ(drawing_.calls.size(), 1u) << frame.left;
            const testing::SceneDrawCall& call = drawing_.calls[0];
            EXPECT_EQ(call.graph, 7);
            EXPECT_EQ(call.blend, 1);
            if (plain) {
                EXPECT_EQ(call.what, "DrawGraph");
                EXPECT_EQ(call.parameter, frame.fade) << frame.left;
            } else {
                EXPECT_EQ(call.what, "DrawBlendGraph");
                EXPECT_EQ(call.parameter, 255);
                EXPECT_EQ(call.blendGraph, 9);
                EXPECT_EQ(call.x2, frame.border) << frame.left;
                EXPECT_EQ(call.y2, 64) << "the border's width";
            }
            EXPECT_EQ(drawing_.blend, 0) << "what follows draws opaque";
            EXPECT_EQ(system.transitionRunning, 1);
            EXPECT_EQ(system.transitionWaits, 1);
        }
    }

    // A transition of no frames draws nothing and ends only once its count
    // has fallen below 0.
    system.transitionLength = 0;
    system.transitionLeft = 0;
    drawing_.calls.clear();
    DrawTransition(drawing_, system);
    EXPECT_TRUE(drawing_.calls.empty());
    EXPECT_EQ(system.transitionRunning, 1);
    system.StepTransition(1);
    DrawTransition(drawing_, system);
    EXPECT_TRUE(drawing_.calls.empty());
    EXPECT_EQ(system.transitionRunning, 0);
    EXPECT_EQ(system.transitionWaits, 0);
}

}  // namespace
}  // namespace velk
