#pragma once
// The library's tracking allocator: every block carries a header with the
// allocating source file, line, serial and size, all live blocks are kept in
// one list, damaged headers are detected, and blocks still alive at shut-down
// are listed in the log as leaks. Safe to use from several threads.

#include <cstddef>

namespace velk {

void* MemAlloc(size_t size, const char* source, int line);
void* MemCalloc(size_t size, const char* source, int line);
void* MemRealloc(void* block, size_t size, const char* source, int line);
void MemFree(void* block);

// 0 when every live header is intact, -1 after logging the first damaged one.
int CheckMemoryBlocks();
// Writes every live block, newest first, and the totals to the log.
int DumpMemoryBlocks();
int WriteMemoryTotals();

// Totals of the live blocks.
size_t LiveMemoryBlockCount();
size_t LiveMemoryTotalSize();

}  // namespace velk

// Allocation with the caller's file and line recorded.
#define VELK_ALLOC(size) ::velk::MemAlloc((size), __FILE__, __LINE__)
#define VELK_CALLOC(size) ::velk::MemCalloc((size), __FILE__, __LINE__)
#define VELK_REALLOC(block, size) ::velk::MemRealloc((block), (size), __FILE__, __LINE__)
