#include "platform/file/temp_file.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace velk::platform {

bool CreateTempFile(WritableFile* file, std::string* path) {
    const char* folder = std::getenv("TMPDIR");
    std::string name = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    if (name.back() != '/') {
        name += '/';
    }
    name += "tmpXXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    file->Adopt(fd);
    if (path != nullptr) {
        *path = name;
    }
    return true;
}

bool DeleteTempFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace velk::platform
