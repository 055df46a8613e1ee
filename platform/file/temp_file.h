#pragma once
// An empty file of a fresh name in the system's temporary folder ($TMPDIR,
// else /tmp), for data that a decoder must read back from a real file.

#include <string>

#include "platform/file/native_file.h"

namespace velk::platform {

// Creates the file, open for writing. False when no name could be made or the
// file could not be created. The native path goes to `path` when given.
bool CreateTempFile(WritableFile* file, std::string* path);

// Removes a file made above (any native path); false when it could not be.
bool DeleteTempFile(const std::string& path);

}  // namespace velk::platform
