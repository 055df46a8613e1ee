#pragma once
// The library's tracking allocator: every block carries a header with the
// allocating source file, line, serial and size, all live blocks are kept in
// one list, damaged headers are detected, and blocks still alive at shut-down
// are listed in the log as leaks. Safe to use from several threads.

#include <cstddef>

namespace velk {

// The bytes in front of every block: source name (16), serial, line, size,
// previous and next block, then a guard copy of those fields. A multiple of
// 16, so the caller's block keeps the heap's 16-byte alignment.
constexpr size_t kMemoryBlockHeaderSize = 80;

// `source` may be null (no name); `line` is kept as a 16-bit value (-1 for
// none). Null when the heap is exhausted or the size does not fit a header;
// the live blocks are then dumped to the log and checked.
void* MemAlloc(size_t size, const char* source, int line);
void* MemCalloc(size_t size, const char* source, int line);
// A null block allocates. Bytes added at the end read as 0. On failure the
// old block stays valid and null is returned.
void* MemRealloc(void* block, size_t size, const char* source, int line);
// A null block does nothing. A block whose header is damaged is reported and
// left alone rather than unlinked through broken pointers.
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
