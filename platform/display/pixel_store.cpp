#include "platform/display/pixel_store.h"

#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace velk::platform {

namespace {

constexpr size_t kHugePageBytes = size_t{2} << 20;

}  // namespace

template <class T>
void* PixelStoreAllocator<T>::AllocatePixelMemory(size_t bytes, bool huge_pages) {
    if (huge_pages) {
        const size_t rounded = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
        if (void* memory = std::aligned_alloc(kHugePageBytes, rounded)) {
            // Only a request: a system without huge pages keeps small ones.
            madvise(memory, rounded, MADV_HUGEPAGE);
            return memory;
        }
    }
    if (void* memory = std::malloc(bytes != 0 ? bytes : 1)) return memory;
    throw std::bad_alloc();
}

template <class T>
void PixelStoreAllocator<T>::FreePixelMemory(void* pointer) noexcept {
    std::free(pointer);
}

template class PixelStoreAllocator<uint8_t>;

}  // namespace velk::platform
