#pragma once
// The one table of file operations through which the library and the game
// read every file. Two sets can fill it: the archive set (the default), which
// looks for a file inside an archive of its folder's name first, and the
// plain set, which reads plain files only. Paths are game paths (Shift-JIS,
// '\' or '/'), resolved on disk by the platform's path resolver.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/base/calendar_time.h"

namespace velk {

// 0 is failure. The plain set hands out slot numbers of its open files, the
// archive set 0xF0000000 | its own slot; a handle goes back only to the set
// that made it.
using FileAccessHandle = uint32_t;

// What a find reports of each match; the name is in the game's form.
struct FileInfo {
    std::string name;
    int32_t is_directory = 0;
    uint32_t size_low = 0;
    uint32_t size_high = 0;
    CalendarTime creation;
    CalendarTime last_write;
};

// Seek origins.
inline constexpr int kSeekSet = 0;
inline constexpr int kSeekCurrent = 1;
inline constexpr int kSeekEnd = 2;

struct FileAccessFunctions {
    // path, cache flag, a flag no open reads (callers pass 1), asynchronous flag
    FileAccessHandle (*open)(const std::string& path, int cache, int unused, int async);
    // 0, -1 on a bad handle
    int (*close)(FileAccessHandle file);
    // The read position in bytes, -1 on a bad handle.
    int64_t (*tell)(FileAccessHandle file);
    // 0, -1 on failure
    int (*seek)(FileAccessHandle file, int64_t offset, int origin);
    // Plain files: whole elements read. Files inside archives: bytes read.
    size_t (*read)(void* buffer, size_t element_size, size_t count, FileAccessHandle file);
    // -1 once a read met the end, else 0
    int (*eof)(FileAccessHandle file);
    // 1 when no read or seek is still in progress, 0 while one is
    int (*idle)(FileAccessHandle file);
    int (*chdir)(const std::string& path);
    int (*getdir)(std::string* path);
    // A find handle, -1 when nothing matches; info may be null.
    int32_t (*find_first)(const std::string& pattern, FileInfo* info);
    // 0, -1 when nothing more matches
    int (*find_next)(int32_t find, FileInfo* info);
    int (*find_close)(int32_t find);
};

const FileAccessFunctions& PlainFileAccessFunctions();
const FileAccessFunctions& ArchiveFileAccessFunctions();

// The table in use (the archive set until something else is installed).
const FileAccessFunctions& ActiveFileAccessFunctions();

// With a null table, installs the archive set, or the plain set when the
// plain-files-only flag is set; otherwise installs the given table. Returns 0.
int InstallFileAccessFunctions(const FileAccessFunctions* table);

// 1 reads through archives, 0 plain files only. When the choice changes and
// a built-in set is active, the set for the new choice is installed. Returns 0.
int SetUseArchiveFlagBody(int flag);

// Thin entries through the active table's first nine operations.
FileAccessHandle FileAccessOpen(const std::string& path, int cache, int unused, int async);
int FileAccessClose(FileAccessHandle file);
int64_t FileAccessTell(FileAccessHandle file);
int FileAccessSeek(FileAccessHandle file, int64_t offset, int origin);
size_t FileAccessRead(void* buffer, size_t element_size, size_t count, FileAccessHandle file);
int FileAccessEof(FileAccessHandle file);
int FileAccessIdle(FileAccessHandle file);
int FileAccessChDir(const std::string& path);
int FileAccessGetDir(std::string* path);

}  // namespace velk
