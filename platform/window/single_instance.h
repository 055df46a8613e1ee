#pragma once
// Refuses a second running instance: the first instance holds a lock on a
// file named after its window class in the user's runtime folder, so only
// another instance of the same game on this machine is found.

#include <optional>
#include <string>

namespace velk::platform {

class SingleInstanceLock {
public:
    // Takes the lock for the class name; nullopt when another instance holds
    // it. A lock that cannot be made at all (no writable folder) does not
    // stop the program: it is taken as granted.
    static std::optional<SingleInstanceLock> Acquire(const std::string& class_name);

    SingleInstanceLock(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    ~SingleInstanceLock();

    const std::string& path() const { return path_; }

private:
    SingleInstanceLock(int descriptor, std::string path) : descriptor_(descriptor), path_(std::move(path)) {}
    int descriptor_ = -1;
    std::string path_;
};

// The folder the lock files live in: $XDG_RUNTIME_DIR, else the temporary
// folder. Tests point it elsewhere ("" restores the default).
void SetInstanceLockFolder(const std::string& folder);
std::string InstanceLockFolder();

}  // namespace velk::platform
