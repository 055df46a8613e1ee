#pragma once
// The frame clock: frames paced to the frame step times 16.6 ms, the three
// last frame lengths balanced against a three-frame budget so one slow frame
// is absorbed by the next ones, and at most one drawing skipped in a row when
// the machine falls behind. Pure arithmetic on millisecond readings; the
// main loop reads the clock and waits.

#include <array>
#include <cstdint>

#include "game/data/game_wide_values.h"

namespace velk {

class FramePacer {
public:
    // The start of a main loop: frame lengths for this frame step and a fresh
    // drawing credit.
    void Begin(uint32_t now, int32_t frameStep, float drawRate);

    // The drawing credit of one frame: a frame draws only while drawing is
    // allowed, the credit exceeds 1 and no transition is being prepared.
    void AddCredit(float step) { drawCredit_ += step; }
    bool MayDraw(bool transitionPrepared) const {
        return drawThisFrame_ && drawCredit_ > 1.0f && !transitionPrepared;
    }
    void TakeDraw() { drawCredit_ -= 1.0f; }

    // The end of a pass at `now` with this target frame length: updates the
    // lateness and returns how long to wait (0 when behind time or not
    // drawing). Finish must follow with the clock after the wait. A frame
    // length other than the normal one (a replay's fast-forward) is also
    // what three frames are balanced against, so the frames it runs do come
    // that far apart.
    int32_t EndPass(uint32_t now, int32_t frameTime);
    void Finish(uint32_t now) { lastFrameStart_ = now; }

    int32_t NormalFrameTime() const { return normalFrameTime_; }
    int32_t ThreeFrameBudget() const { return threeFrameBudget_; }
    bool DrawThisFrame() const { return drawThisFrame_; }
    float DrawCredit() const { return drawCredit_; }
    const std::array<int32_t, 3>& RecentFrameTimes() const { return recentFrameTimes_; }

private:
    bool drawThisFrame_ = true;
    float drawCredit_ = 1.0f;
    uint32_t lastFrameStart_ = 0;
    int32_t normalFrameTime_ = 17;
    int32_t threeFrameBudget_ = 50;
    std::array<int32_t, 3> recentFrameTimes_ = {17, 17, 17};
    int32_t lateness_ = 0;
    int32_t skipped_ = 0;
};

// The real keys that fast-forward a replay while it plays back: confirm runs
// frames 5 ms apart and draws a third of them; with sub too, 1 ms apart. Sub
// alone draws a fifth as many as otherwise.
struct FastForwardKeys {
    bool confirm = false;
    bool sub = false;
};
int32_t FastForwardFrameTime(int32_t normalFrameTime, FastForwardKeys keys);
// The drawing credit one frame adds.
float FastForwardDrawStep(float drawRate, FastForwardKeys keys);

// Clamps the level to 0..2, sets it with its draw rate (1.0, 0.5, 0.34) and
// the Game.ini value; returns the level set.
int32_t SetFrameSkipLevel(GameWideValues& values, int32_t level, int32_t& iniFrameSkip);

// Frames per second measured every half second, and the play-time seconds
// counted on exact second marks so play time does not drift.
class FrameCounter {
public:
    int32_t Count(uint32_t now, bool counted, GameWideValues& values);

private:
    bool started_ = false;
    uint32_t halfSecondMark_ = 0;
    uint32_t secondMark_ = 0;
    int32_t frames_ = 0;
};

}  // namespace velk
