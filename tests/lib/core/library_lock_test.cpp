#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "lib/core/fifo_recursive_lock.h"
#include "lib/core/library.h"
#include "lib/core/library_lock.h"
#include "platform/base/sync.h"

namespace velk {
namespace {

// Polls until `done` holds; every wait in these tests is for a state that
// another thread is about to reach.
template <typename Condition>
void WaitUntil(Condition done) {
    while (!done()) {
        platform::SleepMilliseconds(0);
    }
}

// The order in which threads owned the lock.
class OwnerLog {
public:
    void Add(int who) {
        std::lock_guard guard(mutex_);
        order_.push_back(who);
    }
    std::vector<int> Order() {
        std::lock_guard guard(mutex_);
        return order_;
    }

private:
    std::mutex mutex_;
    std::vector<int> order_;
};

TEST(FifoRecursiveLock, OwnerReentersAndWaiterIsWokenOnlyByTheLastLeave) {
    FifoRecursiveLock lock(8);
    std::atomic<int> wakes{0};
    lock.SetWakeHookForTesting([&] { ++wakes; });
    lock.Enter();
    lock.Enter();
    lock.Enter();
    EXPECT_EQ(lock.LockCount(), 3u);

    std::atomic<bool> waiter_owns{false};
    std::thread waiter([&] {
        lock.Enter();
        waiter_owns = true;
        lock.Leave();
    });
    WaitUntil([&] { return lock.QueueLength() == 1; });
    lock.Leave();
    lock.Leave();
    EXPECT_EQ(wakes.load(), 0);
    EXPECT_FALSE(waiter_owns.load());
    EXPECT_EQ(lock.QueueLength(), 1u);
    lock.Leave();
    waiter.join();
    EXPECT_TRUE(waiter_owns.load());
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_EQ(lock.LockCount(), 0u);
}

TEST(FifoRecursiveLock, StrayLeaveDoesNotFreeAnotherThreadsLock) {
    FifoRecursiveLock lock(4);
    lock.Leave();  // never entered: ignored
    lock.Enter();
    std::thread stranger([&] { lock.Leave(); });
    stranger.join();
    EXPECT_EQ(lock.LockCount(), 1u);
    lock.Leave();
    EXPECT_EQ(lock.LockCount(), 0u);
}

// Eight threads: seven queue one after another while the lock is held; when
// it is released the head is held back just after its wake, so the lock is
// free with six still queued, and an eighth thread arrives then. It must queue
// behind them instead of taking the free lock.
TEST(FifoRecursiveLock, HandsItselfToWaitersInArrivalOrderEvenPastAFreeLock) {
    FifoRecursiveLock lock(kLibraryLockQueueCapacity);
    OwnerLog owners;
    auto contender = [&](int who) {
        return std::thread([&lock, &owners, who] {
            lock.Enter();
            owners.Add(who);
            lock.Enter();  // still recursive for a thread that got it by hand-off
            lock.Leave();
            lock.Leave();
        });
    };

    lock.Enter();
    std::vector<std::thread> threads;
    for (int who = 0; who < 7; ++who) {
        threads.push_back(contender(who));
        WaitUntil([&] { return lock.QueueLength() == static_cast<uint32_t>(who + 1); });
    }

    std::promise<void> newcomer_queued;
    std::shared_future<void> newcomer_queued_future = newcomer_queued.get_future().share();
    std::atomic<bool> head_held_back{false};
    std::atomic<bool> first_wake{true};
    lock.SetWakeHookForTesting([&] {
        if (first_wake.exchange(false)) {
            head_held_back = true;
            newcomer_queued_future.wait();
        }
    });
    lock.Leave();
    WaitUntil([&] { return head_held_back.load(); });
    EXPECT_EQ(lock.LockCount(), 0u);  // free ...
    EXPECT_EQ(lock.QueueLength(), 7u);  // ... with the head still queued

    threads.push_back(contender(7));
    WaitUntil([&] { return lock.QueueLength() == 8; });
    newcomer_queued.set_value();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(owners.Order(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(lock.QueueLength(), 0u);
}

TEST(FifoRecursiveLock, ThreadFindingTheQueueFullRetriesAndKeepsItsTurn) {
    FifoRecursiveLock lock(2);
    OwnerLog owners;
    auto contender = [&](int who) {
        return std::thread([&lock, &owners, who] {
            lock.Enter();
            owners.Add(who);
            lock.Leave();
        });
    };
    lock.Enter();
    std::thread first = contender(0);
    WaitUntil([&] { return lock.QueueLength() == 1; });
    std::thread second = contender(1);
    WaitUntil([&] { return lock.QueueLength() == 2; });
    std::thread third = contender(2);  // finds no place and retries
    EXPECT_EQ(lock.QueueLength(), 2u);
    lock.Leave();
    first.join();
    second.join();
    third.join();
    EXPECT_EQ(owners.Order(), (std::vector<int>{0, 1, 2}));
}

TEST(FifoRecursiveLock, CanBeTornDownAndSetUpAgain) {
    FifoRecursiveLock lock(4);
    lock.Enter();
    lock.Leave();
    lock.TearDown();
    lock.TearDown();  // a second tear-down finds nothing to do
    lock.Enter();
    EXPECT_EQ(lock.LockCount(), 1u);
    lock.Leave();
}

TEST(LibraryLock, IsRecursiveAndQueuesOtherThreads) {
    EnterLibraryLock();
    {
        LibraryLockGuard again;
    }
    std::atomic<bool> other_owned{false};
    std::thread other([&] {
        LibraryLockGuard guard;
        other_owned = true;
    });
    WaitUntil([] { return LibraryLockQueueLength() == 1; });
    EXPECT_FALSE(other_owned.load());
    LeaveLibraryLock();
    other.join();
    EXPECT_TRUE(other_owned.load());
}

class LibraryLife : public ::testing::Test {
protected:
    void SetUp() override {
        SetLibraryLifeBodies({});
        SetLibraryInitialized(false);
    }
    void TearDown() override {
        SetLibraryLifeBodies({});
        SetLibraryInitialized(false);
    }
};

std::atomic<int> start_ups{0};
std::atomic<int> shut_downs{0};

int CountingStartUp() {
    ++start_ups;
    SetLibraryInitialized(true);
    return 0;
}

int CountingShutDown() {
    ++shut_downs;
    SetLibraryInitialized(false);
    return 0;
}

int FailingStartUp() {
    return -1;
}

TEST_F(LibraryLife, StartsOnceAndEndsOnlyAStartedLibrary) {
    start_ups = 0;
    shut_downs = 0;
    SetLibraryLifeBodies({CountingStartUp, CountingShutDown, nullptr});
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_EQ(shut_downs.load(), 0);
    EXPECT_EQ(InitLibrary(), 0);
    EXPECT_EQ(InitLibrary(), 0);
    EXPECT_EQ(start_ups.load(), 1);
    EXPECT_TRUE(IsLibraryInitialized());
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_EQ(shut_downs.load(), 1);
    EXPECT_FALSE(IsLibraryInitialized());
    // The lock was torn down; it comes back on the next use.
    LibraryLockGuard guard;
    EXPECT_EQ(LibraryLockQueueLength(), 0u);
}

TEST_F(LibraryLife, AFailedStartUpOrNoBodiesStartNothingAndTheProgramIsToEnd) {
    SetLibraryLifeBodies({FailingStartUp, nullptr, nullptr});
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_FALSE(IsLibraryInitialized());
    SetLibraryLifeBodies({});
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_FALSE(IsLibraryInitialized());
    EXPECT_EQ(ProcessMessages(), -1);
    EXPECT_EQ(EndLibrary(), 0);
    // A library marked started without a shut-down body is only unmarked.
    SetLibraryInitialized(true);
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_FALSE(IsLibraryInitialized());
}

std::thread other_thread;

// Shows that the body runs inside the lock: another thread has to queue.
int ProcessWhileAnotherThreadWaits() {
    other_thread = std::thread([] { LibraryLockGuard guard; });
    WaitUntil([] { return LibraryLockQueueLength() == 1; });
    return -1;
}

TEST_F(LibraryLife, ProcessMessagesRunsItsBodyUnderTheLock) {
    SetLibraryLifeBodies({nullptr, nullptr, ProcessWhileAnotherThreadWaits});
    EXPECT_EQ(ProcessMessages(), -1);
    other_thread.join();
    EXPECT_EQ(LibraryLockQueueLength(), 0u);
}

}  // namespace
}  // namespace velk
