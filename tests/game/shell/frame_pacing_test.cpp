// The frame clock's arithmetic on a simulated clock: frame lengths, waits,
// skipped drawings, frame-skip levels and the frame counter.
#include <gtest/gtest.h>

#include "game/shell/frame_pacing.h"

namespace velk {
namespace {

// Runs passes that each take `work` ms of the clock, drawing when allowed;
// returns which passes drew.
std::vector<bool> Simulate(FramePacer& pacer, float drawRate, const std::vector<int32_t>& work,
                           std::vector<int32_t>* waits = nullptr) {
    uint32_t now = 1000;
    pacer.Begin(now, 1, drawRate);
    std::vector<bool> drawn;
    for (int32_t ms : work) {
        now += static_cast<uint32_t>(ms);
        pacer.AddCredit(drawRate);
        bool draw = pacer.MayDraw(false);
        if (draw) pacer.TakeDraw();
        drawn.push_back(draw);
        int32_t wait = pacer.EndPass(now, pacer.NormalFrameTime());
        if (waits) waits->push_back(wait);
        now += static_cast<uint32_t>(wait);
        pacer.Finish(now);
    }
    return drawn;
}

TEST(FramePacer, FrameLengthsFollowTheFrameStep) {
    struct Case {
        int32_t step, frame, budget;
    };
    for (Case c : {Case{1, 17, 50}, Case{2, 33, 100}, Case{3, 50, 149}}) {
        FramePacer pacer;
        pacer.Begin(0, c.step, 1.0f);
        EXPECT_EQ(pacer.NormalFrameTime(), c.frame);
        EXPECT_EQ(pacer.ThreeFrameBudget(), c.budget);
        EXPECT_EQ(pacer.RecentFrameTimes(), (std::array<int32_t, 3>{c.frame, c.frame, c.frame}));
    }
}

TEST(FramePacer, AMachineThatKeepsUpDrawsEveryFrameAndSleepsThreeFramesTo50Ms) {
    FramePacer pacer;
    std::vector<int32_t> waits;
    std::vector<bool> drawn = Simulate(pacer, 1.0f, std::vector<int32_t>(6, 5), &waits);
    EXPECT_EQ(drawn, std::vector<bool>(6, true));
    // The first pass balances against two assumed 17 ms frames.
    EXPECT_EQ(waits, (std::vector<int32_t>{11, 12, 12, 11, 12, 12}));
    const auto& recent = pacer.RecentFrameTimes();
    EXPECT_EQ(recent[0] + recent[1] + recent[2], 50);
}

TEST(FramePacer, ALateFrameSkipsExactlyOneDrawing) {
    FramePacer pacer;
    // The third pass runs 40 ms late; the one after it is late too but drawn.
    std::vector<bool> drawn = Simulate(pacer, 1.0f, {5, 5, 57, 30, 5, 5});
    EXPECT_EQ(drawn, (std::vector<bool>{true, true, true, false, true, true}));
    FramePacer always;
    std::vector<bool> slow = Simulate(always, 1.0f, std::vector<int32_t>(8, 40));
    for (size_t i = 1; i + 1 < slow.size(); ++i) EXPECT_TRUE(slow[i] || slow[i + 1]) << i;
}

TEST(FramePacer, FrameSkipLevelsDrawTheirShareOfFrames) {
    struct Case {
        int32_t level;
        int32_t expectedDrawn;
    };
    // 0.34 leaves 0.02 per drawing, so every so often a drawing comes a frame early.
    for (Case c : {Case{0, 102}, Case{1, 51}, Case{2, 35}, Case{7, 35}, Case{-1, 102}}) {
        GameWideValues values;
        int32_t ini = -5;
        int32_t level = SetFrameSkipLevel(values, c.level, ini);
        EXPECT_EQ(level, std::clamp(c.level, 0, 2));
        EXPECT_EQ(ini, level);
        FramePacer pacer;
        std::vector<bool> drawn = Simulate(pacer, values.drawRate, std::vector<int32_t>(102, 5));
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), true), c.expectedDrawn) << c.level;
    }
}

TEST(FramePacer, AReplayFastForwardsToItsFrameTimeAndDrawsItsShare) {
    // 30 passes of 1 ms each while the keys are held: the clock they take
    // and the frames drawn. Three frames balance against three frame times,
    // after the two normal frames before them.
    struct Case {
        FastForwardKeys keys;
        int32_t ms;
        int32_t drawn;
    };
    for (Case c : {Case{{false, false}, 500, 30}, Case{{true, false}, 150, 11}, Case{{true, true}, 30, 2},
                   Case{{false, true}, 500, 6}}) {
        FramePacer pacer;
        uint32_t now = 1000;
        pacer.Begin(now, 1, 1.0f);
        int32_t drawn = 0;
        for (int pass = 0; pass < 30; ++pass) {
            now += 1;
            pacer.AddCredit(FastForwardDrawStep(1.0f, c.keys));
            if (pacer.MayDraw(false)) {
                pacer.TakeDraw();
                ++drawn;
            }
            now += static_cast<uint32_t>(pacer.EndPass(now, FastForwardFrameTime(pacer.NormalFrameTime(), c.keys)));
            pacer.Finish(now);
        }
        EXPECT_EQ(static_cast<int32_t>(now - 1000), c.ms) << c.keys.confirm << c.keys.sub;
        EXPECT_EQ(drawn, c.drawn) << c.keys.confirm << c.keys.sub;
    }
}

TEST(FrameCounter, MeasuresEveryHalfSecondAndCountsPlayTimeWithoutDrift) {
    GameWideValues values;
    FrameCounter counter;
    uint32_t now = 0x7FFFFF00u;  // across the 31-bit clock's wrap
    for (int i = 0; i < 181; ++i) {
        counter.Count(now & 0x7FFFFFFFu, true, values);
        now += 17;
    }
    // 180 passes of 17 ms: 3060 ms.
    EXPECT_EQ(values.playTimeSeconds, 3);
    EXPECT_EQ(values.millisecondsIntoSecond, 60);
    EXPECT_EQ(values.measuredFps, 60);
}

}  // namespace
}  // namespace velk
