#include "lib/core/fifo_recursive_lock.h"

namespace velk {

FifoRecursiveLock::FifoRecursiveLock(uint32_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

FifoRecursiveLock::~FifoRecursiveLock() {
    TearDown();
}

void FifoRecursiveLock::SetUpOnce() {
    if (set_up_.load(std::memory_order_acquire)) {
        return;
    }
    std::lock_guard guard(set_up_mutex_);
    if (set_up_.load(std::memory_order_relaxed)) {
        return;
    }
    std::lock_guard fields(fields_);
    events_ = std::make_unique<platform::ManualResetEvent[]>(capacity_);
    queue_ = std::make_unique<Waiter[]>(capacity_);
    for (uint32_t i = 0; i < capacity_; ++i) {
        queue_[i].event = &events_[i];
    }
    queue_length_ = 0;
    lock_count_ = 0;
    locked_ = false;
    owner_ = kNoThread;
    set_up_.store(true, std::memory_order_release);
}

void FifoRecursiveLock::TearDown() {
    std::lock_guard guard(set_up_mutex_);
    if (!set_up_.load(std::memory_order_relaxed)) {
        return;
    }
    std::lock_guard fields(fields_);
    queue_.reset();
    events_.reset();
    queue_length_ = 0;
    lock_count_ = 0;
    locked_ = false;
    owner_ = kNoThread;
    set_up_.store(false, std::memory_order_release);
}

bool FifoRecursiveLock::CanTake(uint32_t caller, bool* as_queue_head) const {
    *as_queue_head = false;
    if (locked_) {
        return owner_ == caller;
    }
    if (queue_length_ == 0 || owner_ == caller) {
        return true;
    }
    // A free lock belongs to the head of the queue: a newcomer must not
    // overtake the threads already waiting.
    if (queue_[0].thread_id == caller) {
        *as_queue_head = true;
        return true;
    }
    return false;
}

void FifoRecursiveLock::RemoveQueueHead() {
    // The waiters keep their own events as they move up; the head's event
    // goes to the place that becomes free at the end.
    platform::ManualResetEvent* head_event = queue_[0].event;
    for (uint32_t i = 1; i < queue_length_; ++i) {
        queue_[i - 1] = queue_[i];
    }
    queue_[queue_length_ - 1] = Waiter{0, head_event};
    --queue_length_;
}

void FifoRecursiveLock::Enter() {
    SetUpOnce();
    const uint32_t caller = platform::CurrentThreadId();
    for (;;) {
        std::unique_lock fields(fields_);
        bool as_queue_head = false;
        if (CanTake(caller, &as_queue_head)) {
            if (as_queue_head) {
                RemoveQueueHead();
            }
            ++lock_count_;
            locked_ = true;
            owner_ = caller;
            return;
        }
        if (queue_length_ < capacity_) {
            Waiter& place = queue_[queue_length_++];
            place.thread_id = caller;
            platform::ManualResetEvent* event = place.event;
            fields.unlock();
            event->Wait();
            event->Reset();
            RunWakeHook();
            continue;
        }
        fields.unlock();
        platform::SleepMilliseconds(1);
    }
}

void FifoRecursiveLock::Leave() {
    if (!set_up_.load(std::memory_order_acquire)) {
        return;
    }
    platform::ManualResetEvent* next = nullptr;
    {
        std::lock_guard fields(fields_);
        // A leave without a matching enter would wrap the count and keep the
        // lock held for ever.
        if (!locked_ || owner_ != platform::CurrentThreadId() || lock_count_ == 0) {
            return;
        }
        if (lock_count_ == 1) {
            locked_ = false;
            owner_ = kNoThread;
            if (queue_length_ > 0) {
                next = queue_[0].event;
            }
        }
        --lock_count_;
    }
    if (next != nullptr) {
        next->Set();
        platform::SleepMilliseconds(0);
    }
}

void FifoRecursiveLock::RunWakeHook() {
    std::function<void()> hook;
    {
        std::lock_guard fields(fields_);
        hook = wake_hook_;
    }
    if (hook) {
        hook();
    }
}

void FifoRecursiveLock::SetWakeHookForTesting(std::function<void()> hook) {
    std::lock_guard fields(fields_);
    wake_hook_ = std::move(hook);
}

uint32_t FifoRecursiveLock::QueueLength() {
    std::lock_guard fields(fields_);
    return queue_length_;
}

uint32_t FifoRecursiveLock::LockCount() {
    std::lock_guard fields(fields_);
    return lock_count_;
}

}  // namespace velk
