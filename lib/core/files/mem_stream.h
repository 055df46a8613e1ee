#pragma once
// A stream over a block of memory that the caller owns and keeps alive while
// the stream is open; closing frees only the stream record.

#include <cstddef>
#include <cstdint>

namespace velk {

struct MemStream {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t position = 0;
    int32_t eof = 0;
};

// nullptr when the record cannot be allocated.
MemStream* OpenMemStream(const void* data, uint32_t size);
int CloseMemStream(MemStream* stream);

int64_t TellMemStream(MemStream* stream);
// The target (origin 0 start, 1 current, 2 end) is clamped into 0..size;
// clears the end-of-file flag. Returns 0.
int SeekMemStream(MemStream* stream, int64_t offset, int origin);
// Whole elements, cut to what remains. When less than one element but some
// bytes remain, those bytes are copied, the rest of the element is zeroed and
// 1 is returned. At the end: 0 and the end-of-file flag set.
size_t ReadMemStream(void* buffer, size_t element_size, size_t count, MemStream* stream);
// 1 once a read met the end, else 0.
int EofMemStream(MemStream* stream);
// Always 1: memory never waits.
int IdleMemStream(MemStream* stream);

}  // namespace velk
