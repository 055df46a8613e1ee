#pragma once
// The library lock: recursive for its owner, and handed to waiting threads
// strictly in the order they arrived. Only InitLibrary, EndLibrary and
// ProcessMessages take it.

#include <cstdint>

namespace velk {

// How many threads can queue for the lock; further threads retry every
// millisecond until a place frees.
constexpr uint32_t kLibraryLockQueueCapacity = 4096;

void EnterLibraryLock();
void LeaveLibraryLock();
// Tears the lock down (EndLibrary and the fatal exit); a later enter sets it
// up again.
void TearDownLibraryLock();

// The number of threads queued for the lock, for diagnostics and tests.
uint32_t LibraryLockQueueLength();

class LibraryLockGuard {
public:
    LibraryLockGuard() { EnterLibraryLock(); }
    ~LibraryLockGuard() { LeaveLibraryLock(); }
    LibraryLockGuard(const LibraryLockGuard&) = delete;
    LibraryLockGuard& operator=(const LibraryLockGuard&) = delete;
};

}  // namespace velk
