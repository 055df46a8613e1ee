#include "platform/base/sync.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace velk::platform {

uint32_t CurrentThreadId() {
    static std::atomic<uint32_t> next_id{1};
    thread_local const uint32_t id = next_id.fetch_add(1);
    return id;
}

void SleepMilliseconds(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ManualResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool ManualResetEvent::Wait(int32_t timeout_ms) const {
    std::unique_lock lock(mutex_);
    if (timeout_ms < 0) {
        changed_.wait(lock, [this] { return signalled_; });
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return signalled_; });
}

}  // namespace velk::platform
