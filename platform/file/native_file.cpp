#include "platform/file/native_file.h"

#include <cerrno>
#include <csignal>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velk::platform {

namespace {

// A file-size limit (ulimit -f) would end the process with SIGXFSZ in the
// middle of a save. Ignored, a write past the limit fails with EFBIG as on a
// full disk: the writer reports it and the old file stays whole.
void IgnoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] { ::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace

ReadableFile::~ReadableFile() { Close(); }

ReadableFile::ReadableFile(ReadableFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool ReadableFile::Open(const std::string& native_path, bool* missing) {
    Close();
    if (missing != nullptr) {
        *missing = false;
    }
    // Non-blocking, so that a pipe in a file's place cannot hang the open;
    // it is refused below as what is not a regular file.
    const int fd = ::open(native_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (missing != nullptr) {
            *missing = errno == ENOENT || errno == ENOTDIR;
        }
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void ReadableFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int64_t ReadableFile::Size() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

int64_t ReadableFile::ReadAt(uint64_t offset, std::span<uint8_t> destination) const {
    if (fd_ < 0) {
        return -1;
    }
    size_t done = 0;
    while (done < destination.size()) {
        const ssize_t got = ::pread(fd_, destination.data() + done, destination.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;  // end of file
        }
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

WritableFile::~WritableFile() { Close(); }

WritableFile::WritableFile(WritableFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

WritableFile& WritableFile::operator=(WritableFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool WritableFile::Create(const std::string& native_path, CreateMode mode, unsigned permissions) {
    Close();
    // A symbolic link in the file's place is never written through: it could
    // point anywhere.
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    switch (mode) {
        case CreateMode::kTruncate: flags |= O_TRUNC; break;
        case CreateMode::kCreateNew: flags |= O_EXCL; break;
        case CreateMode::kAppend: flags |= O_APPEND; break;
    }
    fd_ = ::open(native_path.c_str(), flags, static_cast<mode_t>(permissions));
    return fd_ >= 0;
}

bool WritableFile::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) {
        return false;
    }
    IgnoreFileSizeSignal();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (put == 0) {
            return false;  // a full device that does not say so
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

bool WritableFile::Sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }

bool WritableFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    const int rc = ::close(std::exchange(fd_, -1));
    // After EINTR the descriptor is gone on Linux; only a real error counts.
    return rc == 0 || errno == EINTR;
}

}  // namespace velk::platform
