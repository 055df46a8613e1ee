#include "platform/base/clock.h"

#include <chrono>

namespace velk::platform {

namespace {

SystemClock& TheSystemClock() {
    static SystemClock clock;
    return clock;
}

std::atomic<Clock*> active_clock{nullptr};

}  // namespace

uint32_t SystemClock::Milliseconds() {
    return static_cast<uint32_t>(Microseconds() / 1000);
}

int64_t SystemClock::Microseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::WallSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

Clock& ActiveClock() {
    Clock* clock = active_clock.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : TheSystemClock();
}

void SetActiveClock(Clock* clock) {
    active_clock.store(clock, std::memory_order_release);
}

}  // namespace velk::platform
