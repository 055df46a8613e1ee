#include <algorithm>

#include <gtest/gtest.h>

#include "game/map/map_state.h"
#include "tests/game/data/data_test_support.h"

namespace velk {
namespace {

MapState MapOfSize(int32_t width, int32_t height, int32_t frameStep = 1) {
    MapSettings settings;
    settings.frameStep = frameStep;
    MapState state(settings);
    state.map.header.width = width;
    state.map.header.height = height;
    state.map.Clear();
    return state;
}

int FramesUntilStill(MapState& state) {
    int frames = 0;
    while (state.IsScrolling() && frames < 100000) {
        state.Update();
        ++frames;
    }
    return frames;
}

TEST(MapView, ScrollSpeedsAndLengths) {
    struct Case {
        int32_t dx, dy, speed;
        int32_t speedX, speedY, frames;
    } cases[] = {
        {300, 0, 0, 2, 1, 150},
        {300, 400, 1, 2, 3, 150},
        {-300, 400, 1, 2, 3, 150},
        {1000, 10, 8, 99995000, 999950, 1},
    };
    for (const Case& c : cases) {
        MapState state = MapOfSize(100, 100);
        state.scrollX = state.scrollY = 1000;
        state.StartScroll(c.dx, c.dy, c.speed);
        EXPECT_EQ(state.scrollSpeedX, c.speedX) << c.dx << "," << c.dy;
        EXPECT_EQ(state.scrollSpeedY, c.speedY) << c.dx << "," << c.dy;
        EXPECT_EQ(FramesUntilStill(state), c.frames) << c.dx << "," << c.dy;
        EXPECT_EQ(state.scrollX, 1000 + c.dx);
        EXPECT_EQ(state.scrollY, 1000 + c.dy);
    }
    MapState still = MapOfSize(100, 100);
    still.StartScroll(0, 0, 3);
    EXPECT_FALSE(still.IsScrolling());
    still.Update();
    EXPECT_EQ(still.scrollX, 0);
}

TEST(MapView, ScrollStopsAtTheMapsEdgesUnlessItLoops) {
    MapState state = MapOfSize(25, 20);
    state.scrollX = 3;
    state.StartScroll(-4, 0, 1);
    state.Update();
    EXPECT_EQ(state.scrollX, 0);
    // Right and down stop one screen before the far edge: (25 - 20) and
    // (20 - 15) tiles at 128 quarter pixels each.
    state.StartScroll(5000, 5000, 8);
    state.Update();
    EXPECT_EQ(state.scrollX, 5 * 128);
    EXPECT_EQ(state.scrollY, 5 * 128);

    state.loopX = true;
    state.scrollX = 3;
    state.StartScroll(-4, 0, 1);
    state.Update();
    EXPECT_EQ(state.scrollX, -1);
}

TEST(MapView, ShakeSwingsAndSettlesAtZero) {
    for (int32_t frameStep : {1, 2}) {
        MapState state = MapOfSize(20, 15, frameStep);
        state.StartShake(2, 3, 1, 120);
        int32_t highest = 0, lowest = 0, highestPixels = 0;
        for (int frame = 0; frame < 400; ++frame) {
            state.Update();
            highest = std::max(highest, state.shakeX.offset);
            lowest = std::min(lowest, state.shakeX.offset);
            highestPixels = std::max(highestPixels, state.shakePixelX);
        }
        const int32_t step = 4 * 8 * 64 / frameStep / 10;
        EXPECT_GT(highest, 512);
        EXPECT_LE(highest, 512 + step);
        EXPECT_LT(lowest, -512);
        EXPECT_EQ(highestPixels, 32 * highest / 32 / 64);
        EXPECT_EQ(state.shakeX.offset, 0);
        EXPECT_EQ(state.shakePixelX, 0);
        EXPECT_EQ(state.shakeY.offset, 0);
    }
    // A shake started again mid-swing keeps its offset, which the new step
    // no longer divides: the last frame still lands on the centre.
    MapState restarted = MapOfSize(20, 15);
    restarted.StartShake(2, 3, 1, 120);
    for (int frame = 0; frame < 3; ++frame)
        restarted.Update();
    restarted.StartShake(1, 1, 1, 5);
    for (int frame = 0; frame < 200; ++frame)
        restarted.Update();
    EXPECT_EQ(restarted.shakeX.offset, 0);
    // Exponents far out of range neither overflow nor stall.
    restarted.StartShake(40, -3, 0, 30);
    for (int frame = 0; frame < 200 && restarted.shakeY.offset != 0; ++frame)
        restarted.Update();
    EXPECT_EQ(restarted.shakeY.offset, 0);
}

TEST(MapView, ZoomGlidesAndAnUnzoomedCentreJumps) {
    MapState state = MapOfSize(20, 15);
    state.StartZoom(100, 200, 200, 10);
    for (int frame = 0; frame < 5; ++frame)
        state.Update();
    EXPECT_EQ(state.zoom.currentX, 100);
    EXPECT_EQ(state.zoom.currentY, 200);
    EXPECT_EQ(state.zoom.currentZoom, 150);
    // Started again half way: it goes on from the zoom reached so far.
    state.StartZoom(50, 60, 100, 4);
    EXPECT_EQ(state.zoom.startZoom, 150);
    state.Update();
    state.Update();
    EXPECT_EQ(state.zoom.currentZoom, 125);
    EXPECT_EQ(state.zoom.currentX, 75);
    state.Update();
    state.Update();
    EXPECT_EQ(state.zoom.currentZoom, 100);
    state.Update();
    EXPECT_EQ(state.zoom.currentX, 50);
    EXPECT_EQ(state.zoom.currentY, 60);
}

TEST(MapView, FrameCounterWraps) {
    MapState state = MapOfSize(20, 15);
    state.frameCounter = MapState::kFrameCounterPeriod - 1;
    state.Update();
    EXPECT_EQ(state.frameCounter, 0);
}

}  // namespace
}  // namespace velk
