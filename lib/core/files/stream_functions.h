#pragma once
// What image, sound and movie loaders read from: a table of six stream
// operations and the data they work on, either a file of the active file
// access set or a block of memory. A loader never learns which.
//
// Read with an element size of 1 to get byte counts from both kinds: a plain
// file counts whole elements, a file inside an archive counts bytes.

#include <cstddef>
#include <cstdint>

#include "lib/core/files/file_access.h"
#include "lib/core/files/mem_stream.h"

namespace velk {

struct StreamFunctions {
    int64_t (*tell)(void* data);
    int (*seek)(void* data, int64_t offset, int origin);
    size_t (*read)(void* buffer, size_t element_size, size_t count, void* data);
    int (*eof)(void* data);
    int (*idle)(void* data);
    int (*close)(void* data);
};

struct StreamData {
    StreamFunctions functions;
    void* data = nullptr;
};

// The table whose data is a FileAccessHandle; it follows whichever file
// access set is active.
const StreamFunctions& GetFileStreamFunctions();
// The table whose data is a MemStream.
const StreamFunctions& GetMemStreamFunctions();

// A stream over an open file or an open memory stream.
StreamData MakeFileStreamData(FileAccessHandle file);
StreamData MakeMemStreamData(MemStream* stream);

}  // namespace velk
