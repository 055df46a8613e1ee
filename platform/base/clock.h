#pragma once
// The program's clocks. Everything that reads time goes through the active
// Clock, so tests can install a ManualClock and step time by hand.

#include <atomic>
#include <cstdint>

namespace velk::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, all 32 bits (wraps after ~49 days).
    virtual uint32_t Milliseconds() = 0;
    // Microseconds since an arbitrary start.
    virtual int64_t Microseconds() = 0;
    // The wall time: seconds since 1970-01-01 UTC.
    virtual int64_t WallSeconds() = 0;
};

// The monotonic system clock.
class SystemClock final : public Clock {
public:
    uint32_t Milliseconds() override;
    int64_t Microseconds() override;
    int64_t WallSeconds() override;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t start_microseconds = 0) : now_us_(start_microseconds) {}
    uint32_t Milliseconds() override { return static_cast<uint32_t>(now_us_.load() / 1000); }
    int64_t Microseconds() override { return now_us_.load(); }
    void AdvanceMilliseconds(int64_t ms) { now_us_ += ms * 1000; }
    void AdvanceMicroseconds(int64_t us) { now_us_ += us; }
    void SetMilliseconds(uint32_t ms) { now_us_ = static_cast<int64_t>(ms) * 1000; }
    // The wall time stands where it is set; stepping the clock does not move it.
    int64_t WallSeconds() override { return wall_seconds_.load(); }
    void SetWallSeconds(int64_t seconds) { wall_seconds_ = seconds; }

private:
    std::atomic<int64_t> now_us_;
    std::atomic<int64_t> wall_seconds_{1700000000};
};

// The clock in use; the system clock unless a test installed another.
Clock& ActiveClock();
// Installs a clock (nullptr restores the system clock). The caller keeps it alive.
void SetActiveClock(Clock* clock);

// Installs a clock for the life of a scope.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { SetActiveClock(&clock); }
    ~ScopedClock() { SetActiveClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

// The millisecond count with bit 31 cleared (0..0x7FFFFFFF).
inline int32_t Milliseconds31() { return static_cast<int32_t>(ActiveClock().Milliseconds() & 0x7FFFFFFFu); }

// Milliseconds from `start` to `now`, both taken from Milliseconds31(): the
// difference modulo 2^31, so a wrap of the clock between them does not matter.
inline int32_t ElapsedMilliseconds31(int32_t start, int32_t now) {
    return static_cast<int32_t>((static_cast<uint32_t>(now) - static_cast<uint32_t>(start)) & 0x7FFFFFFFu);
}

}  // namespace velk::platform
