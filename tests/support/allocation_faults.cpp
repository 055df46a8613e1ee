#include "tests/support/allocation_faults.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace velk::testing {
namespace {

std::atomic<bool> counting{false};
std::atomic<size_t> counted{0};
// Allocations still made before the refusal; below 0 none is planned.
std::atomic<long long> beforeRefusal{-1};
std::atomic<bool> refused{false};

void* Allocate(size_t bytes) {
    if (counting.load(std::memory_order_relaxed)) counted.fetch_add(1, std::memory_order_relaxed);
    if (beforeRefusal.load(std::memory_order_relaxed) >= 0 && beforeRefusal.fetch_sub(1) == 0) {
        refused = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(bytes != 0 ? bytes : 1)) return memory;
    throw std::bad_alloc();
}

}  // namespace

void CountAllocations() {
    counted = 0;
    counting = true;
}

size_t StopCountingAllocations() {
    counting = false;
    return counted;
}

void FailAllocationAfter(size_t succeeding) {
    refused = false;
    beforeRefusal = static_cast<long long>(succeeding);
}

bool EndAllocationFault() {
    beforeRefusal = -1;
    return refused.exchange(false);
}

}  // namespace velk::testing

// Freed with free() in every form, so that a sanitizer sees malloc and free
// paired: the nothrow forms are replaced too, or a sanitizer's own would make
// what the replaced delete frees. The aligned forms keep the library's new
// and delete together.
void* operator new(size_t bytes) { return velk::testing::Allocate(bytes); }
void* operator new[](size_t bytes) { return velk::testing::Allocate(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return velk::testing::Allocate(bytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t bytes, const std::nothrow_t& nothrow) noexcept { return operator new(bytes, nothrow); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
