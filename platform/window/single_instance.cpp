#include "platform/window/single_instance.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velk::platform {

namespace {

std::mutex folder_mutex;
std::string folder_override;

// The display, the class name (any Shift-JIS bytes) and the folder are
// hashed into the name, so no byte of them can form a path and a long
// folder cannot make the name too long.
std::string LockFileName(const std::string& key) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : key) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string name = "velk-player-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += kHex[(hash >> shift) & 0xF];
    return name + ".lock";
}

std::string CurrentFolderOrEmpty() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return {};
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

// A folder of this user's own under the temporary folder: made when missing,
// and used only when it is a real folder that this user owns and nobody else
// can enter, so another user cannot plant or hold the lock.
std::string PrivateTemporaryFolder() {
    const char* temp = std::getenv("TMPDIR");
    const std::string base = temp != nullptr && temp[0] != '\0' ? temp : "/tmp";
    const std::string folder = base + "/velk-player-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
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
    return PrivateTemporaryFolder();
}

std::optional<SingleInstanceLock> SingleInstanceLock::Acquire(const std::string& class_name,
                                                              const std::optional<std::string>& display) {
    if (!display) return SingleInstanceLock(-1, "");
    const std::string folder = InstanceLockFolder();
    if (folder.empty()) return SingleInstanceLock(-1, "");
    std::string path = folder + "/" + LockFileName(*display + '\n' + class_name + '\n' + CurrentFolderOrEmpty());
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
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
