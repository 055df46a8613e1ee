#include "platform/file/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include "platform/file/native_file.h"
#include "platform/file/path_resolver.h"

namespace velk::platform {

namespace {

constexpr size_t kTemporaryRandomLength = 12;
constexpr int kTemporaryNameTries = 32;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool IsTemporaryName(std::string_view name) {
    return name.size() == kTemporaryFilePrefix.size() + kTemporaryRandomLength &&
           name.substr(0, kTemporaryFilePrefix.size()) == kTemporaryFilePrefix;
}

std::string NewTemporaryName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name(kTemporaryFilePrefix);
    for (size_t i = 0; i < kTemporaryRandomLength; ++i) {
        name += kLetters[random() % (sizeof kLetters - 1)];
    }
    return name;
}

// Removes the temporary files of writers that are gone: old enough that their
// writer had long taken its lock, and with no lock held on them now.
void RemoveStaleTemporaries(int folder) {
    const int listing_fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing_fd < 0) {
        return;
    }
    DIR* listing = ::fdopendir(listing_fd);
    if (listing == nullptr) {
        ::close(listing_fd);
        return;
    }
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing)) {
        if (IsTemporaryName(entry->d_name)) {
            candidates.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);

    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    for (const auto& name : candidates) {
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            now.tv_sec - info.st_mtim.tv_sec < kStaleTemporarySeconds) {
            continue;
        }
        const Descriptor file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.get() >= 0 && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(folder, name.c_str(), 0);
        }
    }
}

// Whether the file in place (if any) may be replaced, and the permissions the
// new file is to have. A file that could not be opened for writing is not
// replaced: renaming over it needs only the folder's rights, which would
// defeat a read-only file. The write bits are looked at first because a
// privileged user opens anything.
bool MayReplace(int folder, const std::string& name, mode_t* permissions) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0) {
        return false;  // never replace a folder, a device, a link or a read-only file
    }
    const Descriptor probe(::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (probe.get() < 0) {
        return false;
    }
    *permissions = info.st_mode & 07777;
    return true;
}

bool WriteInFolder(int folder, const std::string& name, std::span<const uint8_t> bytes) {
    mode_t permissions = 0644;
    if (!IsPlainName(name) || !MayReplace(folder, name, &permissions)) {
        return false;
    }
    RemoveStaleTemporaries(folder);

    std::string temporary;
    Descriptor fd;
    for (int attempt = 0; attempt < kTemporaryNameTries && fd.get() < 0; ++attempt) {
        temporary = NewTemporaryName();
        fd =
            Descriptor(::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd.get() < 0) {
        return false;
    }
    // Held until the file is closed: marks the temporary file as in use.
    ::flock(fd.get(), LOCK_EX);
    const int raw_fd = fd.get();
    WritableFile file;
    file.Adopt(fd.release());
    bool ok = ::fchmod(raw_fd, permissions) == 0;
    ok = ok && file.Write(bytes);
    ok = ok && file.Sync();
    ok = file.Close() && ok;
    ok = ok && ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
    if (!ok) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    // Makes the rename itself durable; a folder that cannot be synced (some
    // file systems refuse) does not make the write a failure.
    ::fsync(folder);
    return true;
}

std::optional<std::vector<uint8_t>> ReadUpTo(const std::string& native_path, uint64_t max_size, bool whole,
                                             bool* missing) {
    ReadableFile file;
    if (!file.Open(native_path, missing)) {
        return std::nullopt;
    }
    const int64_t size = file.Size();
    if (size < 0 || (whole && static_cast<uint64_t>(size) > max_size)) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(size), max_size)));
    if (file.ReadAt(0, bytes) != static_cast<int64_t>(bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

bool WriteFileAtomically(const std::string& native_path, std::span<const uint8_t> bytes) {
    const size_t slash = native_path.rfind('/');
    const std::string folder_path = slash == std::string::npos ? "." : slash == 0 ? "/" : native_path.substr(0, slash);
    const std::string name = slash == std::string::npos ? native_path : native_path.substr(slash + 1);
    const Descriptor folder(::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.get() >= 0 && WriteInFolder(folder.get(), name, bytes);
}

std::optional<uint64_t> AvailableDiskBytes() {
    struct statvfs disk {};
    if (::statvfs(".", &disk) != 0) {
        return std::nullopt;
    }
    const uint64_t block = disk.f_frsize != 0 ? disk.f_frsize : disk.f_bsize;
    const uint64_t blocks = disk.f_bavail;
    // A file system that reports more than 64 bits of space has room.
    return blocks != 0 && block > UINT64_MAX / blocks ? UINT64_MAX : blocks * block;
}

bool WriteGameFileAtomically(std::string_view game_path, std::span<const uint8_t> bytes) {
    const auto target = ResolveGameWriteTarget(game_path);
    if (!target) {
        return false;
    }
    Descriptor folder(::open(target->start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const auto& name : target->folders) {
        if (folder.get() < 0 || !IsPlainName(name)) {
            return false;
        }
        folder = Descriptor(::openat(folder.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return folder.get() >= 0 && WriteInFolder(folder.get(), target->name, bytes);
}

bool CreateGameFolder(std::string_view game_path) {
    const auto target = ResolveGameWriteTarget(game_path);
    if (!target || !IsPlainName(target->name)) {
        return false;
    }
    Descriptor folder(::open(target->start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const auto& name : target->folders) {
        if (folder.get() < 0 || !IsPlainName(name)) {
            return false;
        }
        folder = Descriptor(::openat(folder.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (folder.get() < 0) {
        return false;
    }
    if (::mkdirat(folder.get(), target->name.c_str(), 0755) == 0) {
        return true;
    }
    struct stat info {};
    return errno == EEXIST && ::fstatat(folder.get(), target->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& native_path, uint64_t max_size) {
    return ReadUpTo(native_path, max_size, true, nullptr);
}

std::optional<std::vector<uint8_t>> ReadFileStart(const std::string& native_path, uint64_t max_size, bool* missing) {
    return ReadUpTo(native_path, max_size, false, missing);
}

}  // namespace velk::platform
