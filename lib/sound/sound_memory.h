#pragma once
// Blocks of sound data (file images, PCM, decode buffers) come from the
// library's tracking allocator and go back to it when their owner lets go.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "lib/core/memory_tracker.h"

namespace velk {

struct SoundMemoryFree {
    void operator()(uint8_t* block) const { MemFree(block); }
};
using SoundMemory = std::unique_ptr<uint8_t, SoundMemoryFree>;

// Null when memory is exhausted or the size is beyond any sound's.
inline SoundMemory AllocateSoundMemory(size_t bytes) {
    // No sound file holds more than this; a size past it comes from damaged data.
    constexpr size_t kLargestSoundBlock = size_t{1} << 30;
    if (bytes > kLargestSoundBlock) return nullptr;
    return SoundMemory(static_cast<uint8_t*>(MemAlloc(bytes == 0 ? 1 : bytes, "", 0)));
}

}  // namespace velk
