#pragma once
// The plain set of file operations: files on disk, read directly by the
// calling thread or through a reading thread of their own (with the cache
// flag, the asynchronous flag or both). The cache is a 128 KiB read-ahead
// block that the thread refills while no command is pending and that serves
// reads continuing where the last one ended.
//
// Reads report what really arrived: a read that the disk cuts short or fails
// counts only the bytes delivered, and the read position moves by exactly
// those. An asynchronous read answers at once with the whole count; once it
// has finished (idle reports 1, or the next operation waited for it), a
// shortfall moves the position back to where the data really ended.

#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/core/files/file_access.h"

namespace velk {

inline constexpr size_t kPlainFileCacheSize = 131072;

FileAccessHandle PlainFileOpen(const std::string& path, int cache, int unused, int async);
// Opens a file named by its native path, as the archive reader does with the
// archive files it found.
FileAccessHandle PlainFileOpenNative(const std::string& native_path, int cache, int async);
int PlainFileClose(FileAccessHandle file);
int64_t PlainFileTell(FileAccessHandle file);
int PlainFileSeek(FileAccessHandle file, int64_t offset, int origin);
size_t PlainFileRead(void* buffer, size_t element_size, size_t count, FileAccessHandle file);
int PlainFileEof(FileAccessHandle file);
int PlainFileIdle(FileAccessHandle file);
int PlainChDir(const std::string& path);
int PlainGetDir(std::string* path);
int32_t PlainFindFirst(const std::string& pattern, FileInfo* info);
int PlainFindNext(int32_t find, FileInfo* info);
int PlainFindClose(int32_t find);

// The size taken at open, -1 on a bad handle.
int64_t PlainFileSize(FileAccessHandle file);
// Waits for the command in flight and returns how many bytes the most recent
// read really delivered; -1 when it failed or on a bad handle.
int64_t PlainFileFinishRead(FileAccessHandle file);

// How many plain files are open (for tests and shut-down checks).
size_t OpenPlainFileCount();

}  // namespace velk
