#include "lib/core/files/file_access.h"

namespace velk {

namespace {

FileAccessFunctions& ActiveTable() {
    static FileAccessFunctions table = ArchiveFileAccessFunctions();
    return table;
}

int& PlainFilesOnlyFlag() {
    static int flag = 0;
    return flag;
}

bool SameTable(const FileAccessFunctions& a, const FileAccessFunctions& b) { return a.open == b.open; }

}  // namespace

const FileAccessFunctions& ActiveFileAccessFunctions() { return ActiveTable(); }

int InstallFileAccessFunctions(const FileAccessFunctions* table) {
    if (table != nullptr) {
        ActiveTable() = *table;
    } else {
        ActiveTable() = PlainFilesOnlyFlag() != 0 ? PlainFileAccessFunctions() : ArchiveFileAccessFunctions();
    }
    return 0;
}

int SetUseArchiveFlagBody(int flag) {
    const int plain_only = flag == 0 ? 1 : 0;
    if (plain_only == PlainFilesOnlyFlag()) {
        return 0;
    }
    PlainFilesOnlyFlag() = plain_only;
    const auto& active = ActiveTable();
    if (SameTable(active, PlainFileAccessFunctions()) || SameTable(active, ArchiveFileAccessFunctions())) {
        InstallFileAccessFunctions(nullptr);
    }
    return 0;
}

FileAccessHandle FileAccessOpen(const std::string& path, int cache, int unused, int async) {
    return ActiveTable().open(path, cache, unused, async);
}
int FileAccessClose(FileAccessHandle file) { return ActiveTable().close(file); }
int64_t FileAccessTell(FileAccessHandle file) { return ActiveTable().tell(file); }
int FileAccessSeek(FileAccessHandle file, int64_t offset, int origin) {
    return ActiveTable().seek(file, offset, origin);
}
size_t FileAccessRead(void* buffer, size_t element_size, size_t count, FileAccessHandle file) {
    return ActiveTable().read(buffer, element_size, count, file);
}
int FileAccessEof(FileAccessHandle file) { return ActiveTable().eof(file); }
int FileAccessIdle(FileAccessHandle file) { return ActiveTable().idle(file); }
int FileAccessChDir(const std::string& path) { return ActiveTable().chdir(path); }
int FileAccessGetDir(std::string* path) { return ActiveTable().getdir(path); }

}  // namespace velk
