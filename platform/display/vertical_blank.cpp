#include "platform/display/vertical_blank.h"

#include <chrono>
#include <thread>

#include "platform/base/clock.h"

namespace velk::platform {

namespace {

constexpr int64_t kLinesPerSecond = int64_t{kRefreshRate} * kLinesPerFrame;

// Lines since the clock's start; line n begins at ceil(n * 1e6 / lines per second).
int64_t LineIndexAt(int64_t microseconds) { return microseconds * kLinesPerSecond / 1000000; }
int64_t LineStart(int64_t line) { return (line * 1000000 + kLinesPerSecond - 1) / kLinesPerSecond; }

std::function<void(int64_t)>& Waiter() {
    static std::function<void(int64_t)> waiter;
    return waiter;
}

void DefaultWait(int64_t until) {
    Clock& clock = ActiveClock();
    if (auto* manual = dynamic_cast<ManualClock*>(&clock)) {
        // A manual clock never moves by itself: waiting on it means stepping it.
        const int64_t now = manual->Microseconds();
        if (until > now) manual->AdvanceMicroseconds(until - now);
        return;
    }
    for (int64_t now = clock.Microseconds(); now < until; now = clock.Microseconds())
        std::this_thread::sleep_for(std::chrono::microseconds(until - now));
}

}  // namespace

int ScanLineAt(int64_t microseconds) { return static_cast<int>(LineIndexAt(microseconds) % kLinesPerFrame); }

bool InVerticalBlankAt(int64_t microseconds) { return ScanLineAt(microseconds) >= kVisibleLines; }

int64_t NextBlankBeginAfter(int64_t microseconds) {
    const int64_t line = LineIndexAt(microseconds);
    int64_t begin = line - line % kLinesPerFrame + kVisibleLines;
    if (begin <= line) begin += kLinesPerFrame;
    return LineStart(begin);
}

int64_t NextBlankEndAfter(int64_t microseconds) {
    const int64_t line = LineIndexAt(microseconds);
    return LineStart(line - line % kLinesPerFrame + kLinesPerFrame);
}

void WaitUntilMicroseconds(int64_t microseconds) {
    if (Waiter()) {
        Waiter()(microseconds);
        return;
    }
    DefaultWait(microseconds);
}

void SetVerticalBlankWaiter(std::function<void(int64_t until_microseconds)> waiter) { Waiter() = std::move(waiter); }

}  // namespace velk::platform
