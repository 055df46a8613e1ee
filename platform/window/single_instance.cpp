#include "platform/window/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace velk::platform {

namespace {

std::mutex folder_mutex;
std::string folder_override;

// Class names may hold any Shift-JIS bytes; the file name spells them in hex
// so no byte of them can form a path.
std::string LockFileName(const std::string& class_name) {
    static const char kHex[] = "0123456789abcdef";
    std::string name = "velk-player-";
    for (unsigned char byte : class_name) {
        name += kHex[byte >> 4];
        name += kHex[byte & 0xF];
    }
    return name + ".lock";
}

}  // namespace

void SetInstanceLockFolder(const std::string& folder) {
    std::lock_guard lock(folder_mutex);
    folder_override = folder;
}

std::string InstanceLockFolder() {
    {
        std::lock_guard lock(folder_mutex);
        if (!folder_override.empty()) return folder_override;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] != '\0') {
        return runtime;
    }
    if (const char* temp = std::getenv("TMPDIR"); temp != nullptr && temp[0] != '\0') return temp;
    return "/tmp";
}

std::optional<SingleInstanceLock> SingleInstanceLock::Acquire(const std::string& class_name) {
    std::string path = InstanceLockFolder() + "/" + LockFileName(class_name);
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) return SingleInstanceLock(-1, path);
    // flock locks belong to the open file description, so a second open in
    // this same process is refused as well, like a second process would be.
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const bool held_elsewhere = errno == EWOULDBLOCK;
        ::close(descriptor);
        if (held_elsewhere) return std::nullopt;
        return SingleInstanceLock(-1, path);
    }
    return SingleInstanceLock(descriptor, path);
}

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept
    : descriptor_(other.descriptor_), path_(std::move(other.path_)) {
    other.descriptor_ = -1;
}

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = other.descriptor_;
        path_ = std::move(other.path_);
        other.descriptor_ = -1;
    }
    return *this;
}

SingleInstanceLock::~SingleInstanceLock() {
    // The file stays: removing it could race with a new instance that has
    // just opened it.
    if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace velk::platform
