#pragma once
// The game's file operations (public operations of the library), all through
// the active file access set.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "lib/core/files/file_access.h"

namespace velk {

// Opens a file for reading (asynchronous reading when the flag is non-zero).
// 0 on failure.
FileAccessHandle OpenFileForRead(const std::string& path, int async = 0);
// The length in bytes, -1 when the file cannot be opened.
int64_t GetFileLength(const std::string& path);
// 0, -1 on a bad handle.
int CloseFile(FileAccessHandle file);
// 1 when all `size` bytes were read (for plain files and archive entries
// alike), else 0.
int ReadFromFile(void* buffer, size_t size, FileAccessHandle file);
// A key for the file that OpenFileForRead opens under `path`, the same under
// every spelling of its name (case, "." and "..", separators, links), so
// that a file loaded once is known again; nullopt when none opens.
std::optional<std::string> GetFileIdentity(const std::string& path);
// Reads one line into the buffer (0-terminated, without its CR LF) and
// returns its length; -1 at the end of the file or when nothing was read. A
// line longer than buffer_size - 1 bytes comes back in pieces; a Shift-JIS
// pair is never cut unless the buffer holds only one byte; a lead byte that
// ends the file ends the last line; a 0 byte ends the line and reading goes on
// after it. The call after the last line returns -1.
int ReadFileLine(char* buffer, int buffer_size, FileAccessHandle file);

// The archive settings, as the game sets them at start-up.
int SetUseArchiveFlag(int flag);
int SetArchiveExtension(const char* extension);
int SetArchiveKeyString(const char* key_string);

}  // namespace velk
