#include "lib/core/files/stream_functions.h"

namespace velk {

namespace {

FileAccessHandle HandleOf(void* data) {
    return static_cast<FileAccessHandle>(reinterpret_cast<uintptr_t>(data));
}

MemStream* MemOf(void* data) { return static_cast<MemStream*>(data); }

}  // namespace

const StreamFunctions& GetFileStreamFunctions() {
    static const StreamFunctions table{
        [](void* data) { return FileAccessTell(HandleOf(data)); },
        [](void* data, int64_t offset, int origin) { return FileAccessSeek(HandleOf(data), offset, origin); },
        [](void* buffer, size_t size, size_t count, void* data) {
            return FileAccessRead(buffer, size, count, HandleOf(data));
        },
        [](void* data) { return FileAccessEof(HandleOf(data)); },
        [](void* data) { return FileAccessIdle(HandleOf(data)); },
        [](void* data) { return FileAccessClose(HandleOf(data)); },
    };
    return table;
}

const StreamFunctions& GetMemStreamFunctions() {
    static const StreamFunctions table{
        [](void* data) { return TellMemStream(MemOf(data)); },
        [](void* data, int64_t offset, int origin) { return SeekMemStream(MemOf(data), offset, origin); },
        [](void* buffer, size_t size, size_t count, void* data) {
            return ReadMemStream(buffer, size, count, MemOf(data));
        },
        [](void* data) { return EofMemStream(MemOf(data)); },
        [](void* data) { return IdleMemStream(MemOf(data)); },
        [](void* data) { return CloseMemStream(MemOf(data)); },
    };
    return table;
}

StreamData MakeFileStreamData(FileAccessHandle file) {
    return {GetFileStreamFunctions(), reinterpret_cast<void*>(static_cast<uintptr_t>(file))};
}

StreamData MakeMemStreamData(MemStream* stream) { return {GetMemStreamFunctions(), stream}; }

}  // namespace velk
