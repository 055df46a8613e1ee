#pragma once
// The display's 60 Hz beam, derived from the active clock (platform/base/
// clock.h): each frame has 525 lines, of which lines 480 to 524 are the
// vertical blank. Waiting for a blank goes through a waiter that tests can
// replace; by default it steps a manual clock to the moment waited for and
// sleeps on the system clock.

#include <cstdint>
#include <functional>

namespace velk::platform {

constexpr int kRefreshRate = 60;
constexpr int kLinesPerFrame = 525;
constexpr int kVisibleLines = 480;

// The line the beam is on (0..524) at a time in microseconds.
int ScanLineAt(int64_t microseconds);
bool InVerticalBlankAt(int64_t microseconds);
// The first moment after `microseconds` at which a blank begins (or, for
// the end, at which the blank in progress or the next one ends).
int64_t NextBlankBeginAfter(int64_t microseconds);
int64_t NextBlankEndAfter(int64_t microseconds);

// Waits until the active clock reads `microseconds`.
void WaitUntilMicroseconds(int64_t microseconds);
// Replaces the wait (nullptr: the default one).
void SetVerticalBlankWaiter(std::function<void(int64_t until_microseconds)> waiter);

}  // namespace velk::platform
