#include "lib/core/library_lock.h"

#include "lib/core/fifo_recursive_lock.h"

namespace velk {

namespace {

FifoRecursiveLock& TheLibraryLock() {
    static FifoRecursiveLock lock(kLibraryLockQueueCapacity);
    return lock;
}

}  // namespace

void EnterLibraryLock() {
    TheLibraryLock().Enter();
}

void LeaveLibraryLock() {
    TheLibraryLock().Leave();
}

void TearDownLibraryLock() {
    TheLibraryLock().TearDown();
}

uint32_t LibraryLockQueueLength() {
    return TheLibraryLock().QueueLength();
}

}  // namespace velk
