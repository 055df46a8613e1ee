#include "game/shell/frame_pacing.h"

#include <algorithm>

namespace velk {
namespace {

constexpr float kSpeedTable[3] = {1.0f, 0.5f, 0.34f};
constexpr int32_t kFastForwardFrameTime = 5;
constexpr int32_t kFasterForwardFrameTime = 1;
constexpr double kFastForwardDrawDivisor = 3.0;
constexpr double kSubKeyDrawDivisor = 5.0;
constexpr int32_t kBalancedFrames = 3;

int32_t Milliseconds(double value) { return static_cast<int32_t>(value + 0.5); }

// Milliseconds from `start` to `now` on the library's 31-bit clock, which
// wraps to 0 after 0x7FFFFFFF.
int32_t Since(uint32_t start, uint32_t now) { return static_cast<int32_t>((now - start) & 0x7FFFFFFFu); }

}  // namespace

void FramePacer::Begin(uint32_t now, int32_t frameStep, float drawRate) {
    drawCredit_ = drawRate;
    lastFrameStart_ = now;
    normalFrameTime_ = Milliseconds(frameStep * 16.6);
    threeFrameBudget_ = Milliseconds(frameStep * 16.6 * 3.0);
    recentFrameTimes_.fill(normalFrameTime_);
    lateness_ = 0;
    skipped_ = 0;
}

int32_t FramePacer::EndPass(uint32_t now, int32_t frameTime) {
    int32_t elapsed = Since(lastFrameStart_, now);
    int32_t late = elapsed - frameTime;
    if (drawThisFrame_) {
        lateness_ += std::max(late, 0);
    } else {
        lateness_ = late;
    }
    recentFrameTimes_ = {elapsed, recentFrameTimes_[0], recentFrameTimes_[1]};
    const int32_t budget = frameTime == normalFrameTime_ ? threeFrameBudget_ : kBalancedFrames * frameTime;
    int32_t wait = 0;
    if (lateness_ < 1) {
        if (drawThisFrame_) {
            int32_t sum = recentFrameTimes_[0] + recentFrameTimes_[1] + recentFrameTimes_[2];
            wait = std::max(0, budget - sum);
            recentFrameTimes_[0] += wait;
        }
        drawThisFrame_ = true;
        skipped_ = 0;
    } else {
        drawThisFrame_ = false;
        if (++skipped_ > 1) {
            drawThisFrame_ = true;
            lateness_ = 0;
            skipped_ = 0;
        }
    }
    return wait;
}

int32_t FastForwardFrameTime(int32_t normalFrameTime, FastForwardKeys keys) {
    if (!keys.confirm) return normalFrameTime;
    return keys.sub ? kFasterForwardFrameTime : kFastForwardFrameTime;
}

float FastForwardDrawStep(float drawRate, FastForwardKeys keys) {
    float step = drawRate;
    if (keys.confirm) step = static_cast<float>(step / kFastForwardDrawDivisor);
    if (keys.sub) step = static_cast<float>(step / kSubKeyDrawDivisor);
    return step;
}

int32_t SetFrameSkipLevel(GameWideValues& values, int32_t level, int32_t& iniFrameSkip) {
    level = std::clamp(level, 0, 2);
    values.drawRate = kSpeedTable[level];
    values.frameSkipLevel = level;
    iniFrameSkip = level;
    return level;
}

int32_t FrameCounter::Count(uint32_t now, bool counted, GameWideValues& values) {
    if (!started_) {
        started_ = true;
        halfSecondMark_ = secondMark_ = now;
    }
    if (counted) {
        ++frames_;
        if (Since(halfSecondMark_, now) >= 500) {
            values.measuredFps = frames_ * 2;
            frames_ = 0;
            halfSecondMark_ = now;
        }
    }
    if (Since(secondMark_, now) >= 1000) {
        secondMark_ += 1000;
        ++values.playTimeSeconds;
    }
    values.millisecondsIntoSecond = Since(secondMark_, now);
    return values.measuredFps;
}

}  // namespace velk
