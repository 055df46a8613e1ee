#pragma once
// The library lock: recursive for its owner, and handed to waiting threads
// strictly in the order they arrived.

namespace velk {

void EnterLibraryLock();
void LeaveLibraryLock();
// Tears the lock down (EndLibrary and the fatal exit); a later enter sets it
// up again.
void TearDownLibraryLock();

class LibraryLockGuard {
public:
    LibraryLockGuard() { EnterLibraryLock(); }
    ~LibraryLockGuard() { LeaveLibraryLock(); }
    LibraryLockGuard(const LibraryLockGuard&) = delete;
    LibraryLockGuard& operator=(const LibraryLockGuard&) = delete;
};

}  // namespace velk
