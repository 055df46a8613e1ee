#include "lib/core/library.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "lib/core/library_lock.h"
#include "lib/core/log.h"

namespace velk {

namespace {

std::mutex bodies_mutex;
LibraryLifeBodies bodies;
std::atomic<bool> initialized{false};
std::atomic<bool> starting{false};
std::atomic<bool> exiting{false};

LibraryLifeBodies CurrentBodies() {
    std::lock_guard guard(bodies_mutex);
    return bodies;
}

}  // namespace

void SetLibraryLifeBodies(const LibraryLifeBodies& new_bodies) {
    std::lock_guard guard(bodies_mutex);
    bodies = new_bodies;
}

LibraryLifeBodies GetLibraryLifeBodies() {
    return CurrentBodies();
}

bool IsLibraryInitialized() {
    return initialized.load();
}

void SetLibraryInitialized(bool value) {
    initialized.store(value);
}

bool IsLibraryStarting() {
    return starting.load();
}

void SetLibraryStarting(bool value) {
    starting.store(value);
}

int InitLibrary() {
    if (IsLibraryInitialized()) {
        return 0;
    }
    const LibraryLifeBodies current = CurrentBodies();
    // Without a start-up there is nothing to start: reporting success would
    // let the program go on with no window, input or graphics.
    if (current.start_up == nullptr) {
        return -1;
    }
    LibraryLockGuard lock;
    return current.start_up();
}

int EndLibrary() {
    if (!IsLibraryInitialized()) {
        return 0;
    }
    const LibraryLifeBodies current = CurrentBodies();
    int result = 0;
    {
        LibraryLockGuard lock;
        if (current.shut_down == nullptr) {
            SetLibraryInitialized(false);
        } else {
            result = current.shut_down();
        }
    }
    TearDownLibraryLock();
    return result;
}

int ProcessMessages() {
    const LibraryLifeBodies current = CurrentBodies();
    // Without message processing no window can keep the program going.
    if (current.process_messages == nullptr) {
        return -1;
    }
    LibraryLockGuard lock;
    return current.process_messages();
}

void ExitOnFatalError(const char* message) {
    WriteLog(message);
    WriteLog("\n");
    if (!exiting.exchange(true)) {
        const LibraryLifeBodies current = CurrentBodies();
        if (current.shut_down != nullptr) {
            current.shut_down();
        }
    }
    TearDownLibraryLock();
    std::exit(-1);
}

}  // namespace velk
