#pragma once
// The memory of a surface's pixels. A large store can be asked to sit on huge
// pages: a frame-sized store that the back buffer clears, draws and hands to
// the primary every frame is walked whole after the frame's waits, which
// leave its hundreds of small pages' translations cold; on 2 MB pages it
// needs one.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velk::platform {

// Where the system has no huge pages the store is ordinary memory. Stores of
// either kind free alike, so any two allocators are interchangeable.
template <class T>
class PixelStoreAllocator {
public:
    using value_type = T;

    PixelStoreAllocator() = default;
    explicit PixelStoreAllocator(bool huge_pages) : huge_pages_(huge_pages) {}
    template <class U>
    PixelStoreAllocator(const PixelStoreAllocator<U>& other) : huge_pages_(other.huge_pages()) {}

    T* allocate(size_t count) { return static_cast<T*>(AllocatePixelMemory(count * sizeof(T), huge_pages_)); }
    void deallocate(T* pointer, size_t) noexcept { FreePixelMemory(pointer); }
    bool huge_pages() const { return huge_pages_; }

    template <class U>
    bool operator==(const PixelStoreAllocator<U>&) const {
        return true;
    }

private:
    static void* AllocatePixelMemory(size_t bytes, bool huge_pages);
    static void FreePixelMemory(void* pointer) noexcept;

    bool huge_pages_ = false;
};

using PixelStore = std::vector<uint8_t, PixelStoreAllocator<uint8_t>>;

// The size from which a store the back buffer takes in turn asks for huge
// pages: below it the rounding up to a whole huge page would cost more
// memory than the store.
inline constexpr size_t kHugePixelStoreBytes = size_t{1} << 20;

}  // namespace velk::platform
