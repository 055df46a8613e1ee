#pragma once
// A recursive lock that hands itself to waiting threads strictly in the order
// they arrived. Each waiter sleeps on its own manual-reset event, so leaving
// the lock wakes exactly the next thread in line.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/base/sync.h"

namespace velk {

class FifoRecursiveLock {
public:
    // `capacity` is the number of waiters the queue holds; a thread that
    // finds it full retries every millisecond until a place frees.
    explicit FifoRecursiveLock(uint32_t capacity);
    ~FifoRecursiveLock();
    FifoRecursiveLock(const FifoRecursiveLock&) = delete;
    FifoRecursiveLock& operator=(const FifoRecursiveLock&) = delete;

    // Blocks until the calling thread owns the lock; re-entrant for the owner.
    // The events are made on first use.
    void Enter();
    // Undoes one Enter of the owner; a call by any other thread is ignored.
    void Leave();
    // Frees the events; the next Enter makes them again. Only valid while no
    // thread holds or waits for the lock.
    void TearDown();

    // The number of threads queued for the lock (a thread woken but not yet
    // owning the lock still counts).
    uint32_t QueueLength();
    // How many times the owner has entered and not yet left.
    uint32_t LockCount();

    // Tests only: runs `hook` in a waiter that has just been woken, before it
    // tries the lock again, so a test can hold the lock free while the queue
    // still has a head. An empty function removes the hook.
    void SetWakeHookForTesting(std::function<void()> hook);

private:
    static constexpr uint32_t kNoThread = 0xFFFFFFFFu;

    struct Waiter {
        uint32_t thread_id = 0;
        platform::ManualResetEvent* event = nullptr;
    };

    void SetUpOnce();
    // Under `fields_`: true when the caller may own the lock now.
    bool CanTake(uint32_t caller, bool* as_queue_head) const;
    void RemoveQueueHead();
    void RunWakeHook();

    const uint32_t capacity_;
    std::atomic<bool> set_up_{false};
    std::mutex set_up_mutex_;

    std::mutex fields_;  // guards everything below
    uint32_t lock_count_ = 0;
    bool locked_ = false;
    uint32_t owner_ = kNoThread;
    std::unique_ptr<platform::ManualResetEvent[]> events_;
    std::unique_ptr<Waiter[]> queue_;
    uint32_t queue_length_ = 0;
    std::function<void()> wake_hook_;
};

}  // namespace velk
