#pragma once

// A block of 32-bit pixels filled with one value, for the frame-sized fills
// (the screen's clear) whose value is not one byte repeated.

#include <cstddef>
#include <cstdint>

namespace velk::platform {

// Fills `count` 32-bit words from `dest`. On x86 one string store: over a
// large block the processor's fast string stores write whole cache lines
// without reading them first, which a loop of vector stores cannot do, and
// a cleared frame costs about a third less.
inline void FillWords32(uint8_t* dest, size_t count, uint32_t value) {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("rep stosl" : "+D"(dest), "+c"(count) : "a"(value) : "memory");
#else
    for (size_t i = 0; i < count; ++i)
        __builtin_memcpy(dest + i * 4, &value, 4);
#endif
}

}  // namespace velk::platform
