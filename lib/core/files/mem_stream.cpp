#include "lib/core/files/mem_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "lib/core/files/file_access.h"

namespace velk {

MemStream* OpenMemStream(const void* data, uint32_t size) {
    auto* stream = new (std::nothrow) MemStream;
    if (stream == nullptr) {
        return nullptr;
    }
    stream->data = static_cast<const uint8_t*>(data);
    stream->size = size;
    return stream;
}

int CloseMemStream(MemStream* stream) {
    delete stream;
    return 0;
}

int64_t TellMemStream(MemStream* stream) { return stream->position; }

int SeekMemStream(MemStream* stream, int64_t offset, int origin) {
    int64_t target = offset;
    if (origin == kSeekCurrent) {
        target = static_cast<int64_t>(stream->position) + offset;
    } else if (origin == kSeekEnd) {
        target = static_cast<int64_t>(stream->size) + offset;
    }
    stream->position = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, stream->size));
    stream->eof = 0;
    return 0;
}

size_t ReadMemStream(void* buffer, size_t element_size, size_t count, MemStream* stream) {
    if (stream->position >= stream->size) {
        stream->eof = 1;
        return 0;
    }
    if (element_size == 0 || count == 0) {
        return 0;
    }
    const size_t left = stream->size - stream->position;
    auto* destination = static_cast<uint8_t*>(buffer);
    if (left < element_size) {
        // The last bytes make part of one element: they are read, and the
        // rest of the element is zeroed rather than left as it was.
        std::memcpy(destination, stream->data + stream->position, left);
        std::memset(destination + left, 0, element_size - left);
        stream->position = stream->size;
        stream->eof = 0;
        return 1;
    }
    count = std::min(count, left / element_size);
    std::memcpy(destination, stream->data + stream->position, count * element_size);
    stream->position += static_cast<uint32_t>(count * element_size);
    stream->eof = 0;
    return count;
}

int EofMemStream(MemStream* stream) { return stream->eof; }

int IdleMemStream(MemStream*) { return 1; }

}  // namespace velk
