#pragma once
// Threads, critical sections, manual-reset events and sleeping, in the shape
// the library's callers expect of the platform.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velk::platform {

// A small number that names the calling thread for as long as it lives; never
// 0 and never 0xFFFFFFFF, so both can mark "no thread".
uint32_t CurrentThreadId();

// Gives up the processor for at least the given time; 0 yields the rest of the
// time slice.
void SleepMilliseconds(uint32_t milliseconds);

// A recursive mutual-exclusion section.
class CriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};

class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~CriticalSectionGuard() { section_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& section_;
};

// An event that stays signalled until it is reset.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : signalled_(signalled) {}
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is signalled or the time-out passes. A negative
    // time-out waits for ever. Returns true when the event was signalled.
    bool Wait(int32_t timeout_ms = -1) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool signalled_;
};

}  // namespace velk::platform
