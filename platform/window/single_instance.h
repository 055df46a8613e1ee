#pragma once
// Refuses a second player of the same game on the same display: the first
// holds a lock on a file named after the display, its window class and the
// game's folder, in a folder of the user's own. Two games, two displays or
// two users never stop each other, and headless runs take no lock at all.

#include <optional>
#include <string>

namespace velk::platform {

class SingleInstanceLock {
public:
    // Takes the lock for the class name on `display` (CurrentDisplayName();
    // nullopt, headless, is always granted); nullopt when another player
    // holds it. A lock that cannot be made at all (no usable folder) does
    // not stop the program: it is taken as granted.
    static std::optional<SingleInstanceLock> Acquire(const std::string& class_name,
                                                     const std::optional<std::string>& display);

    SingleInstanceLock(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    ~SingleInstanceLock();

    // The lock file ("" when none was taken).
    const std::string& path() const { return path_; }

private:
    SingleInstanceLock(int descriptor, std::string path) : descriptor_(descriptor), path_(std::move(path)) {}
    int descriptor_ = -1;
    std::string path_;
};

// The folder the lock files live in: $XDG_RUNTIME_DIR, else a folder of the
// user's own in the temporary folder ("velk-player-<uid>", made private);
// "" when neither can be used. Tests point it elsewhere ("" restores the
// default).
void SetInstanceLockFolder(const std::string& folder);
std::string InstanceLockFolder();

}  // namespace velk::platform
