#include "platform/file/whole_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file/native_file.h"

namespace velk::platform {

namespace {

std::string FolderOf(const std::string& native_path) {
    const size_t slash = native_path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : native_path.substr(0, slash);
}

// Makes the rename itself durable; a folder that cannot be synced (some file
// systems refuse) does not make the write a failure, the data is already safe.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool WriteFileAtomically(const std::string& native_path, std::span<const uint8_t> bytes) {
    if (native_path.empty() || native_path.back() == '/') {
        return false;
    }
    mode_t permissions = 0644;
    struct stat old_info {};
    if (::stat(native_path.c_str(), &old_info) == 0) {
        if (!S_ISREG(old_info.st_mode)) {
            return false;  // never replace a folder or a device
        }
        permissions = old_info.st_mode & 07777;
    }

    std::string temporary = native_path + ".tmpXXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    WritableFile file;
    file.Adopt(fd);
    bool ok = ::fchmod(fd, permissions) == 0;
    ok = ok && file.Write(bytes);
    ok = ok && file.Sync();
    ok = file.Close() && ok;
    ok = ok && ::rename(temporary.c_str(), native_path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(FolderOf(native_path));
    return true;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& native_path, uint64_t max_size) {
    ReadableFile file;
    if (!file.Open(native_path)) {
        return std::nullopt;
    }
    const int64_t size = file.Size();
    if (size < 0 || static_cast<uint64_t>(size) > max_size) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file.ReadAt(0, bytes) != size) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace velk::platform
