#include "lib/core/memory_tracker.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "lib/core/log.h"
#include "lib/core/log_texts.h"
#include "lib/core/string_format.h"

namespace velk {

namespace {

struct MemoryBlockHeader;

// The part of the header that the guard copies.
struct BlockFields {
    char source[16];
    uint16_t serial;
    int16_t line;
    uint32_t size;
    MemoryBlockHeader* prev;
    MemoryBlockHeader* next;
};

struct alignas(16) MemoryBlockHeader {
    BlockFields fields;
    BlockFields guard;
};

static_assert(sizeof(BlockFields) == 40, "the fields must hold no padding the guard would miss");
static_assert(sizeof(MemoryBlockHeader) == kMemoryBlockHeaderSize);
static_assert(kMemoryBlockHeaderSize % 16 == 0);

constexpr size_t kLargestBlock = UINT32_MAX - kMemoryBlockHeaderSize;
constexpr size_t kShownDataBytes = 16;

struct Allocator {
    std::mutex mutex;
    // The first element of the list; never handed out.
    MemoryBlockHeader anchor{};
    // Null until the first allocation, then the newest block (the anchor when
    // the list is empty again).
    MemoryBlockHeader* last = nullptr;
    uint64_t total_size = 0;
    uint64_t block_count = 0;
    uint16_t next_serial = 0;
    // Diagnostics settings; nothing in the program changes them.
    int trace_flag = 0;
    int64_t trace_size = 0;
    int print_totals_flag = 0;
    int check_every_time_flag = 0;
};

Allocator& TheAllocator() {
    static Allocator allocator;
    return allocator;
}

MemoryBlockHeader* HeaderOf(void* block) {
    return reinterpret_cast<MemoryBlockHeader*>(static_cast<char*>(block) - kMemoryBlockHeaderSize);
}

void* BlockOf(MemoryBlockHeader* header) {
    return reinterpret_cast<char*>(header) + kMemoryBlockHeaderSize;
}

void RefreshGuard(MemoryBlockHeader* header) {
    if (header != nullptr) {
        std::memcpy(&header->guard, &header->fields, sizeof(BlockFields));
    }
}

bool IsIntact(const MemoryBlockHeader* header) {
    return std::memcmp(&header->guard, &header->fields, sizeof(BlockFields)) == 0;
}

// The last 15 characters of the source file's name.
void SetSource(MemoryBlockHeader* header, const char* source) {
    std::memset(header->fields.source, 0, sizeof header->fields.source);
    if (source == nullptr) {
        return;
    }
    const size_t keep = sizeof header->fields.source - 1;
    const size_t length = std::strlen(source);
    const char* tail = length > keep ? source + (length - keep) : source;
    std::memcpy(header->fields.source, tail, std::min(length, keep));
}

std::string BlockLine(const MemoryBlockHeader* header) {
    const BlockFields& fields = header->fields;
    const std::string source(fields.source, strnlen(fields.source, sizeof fields.source));
    const void* block = BlockOf(const_cast<MemoryBlockHeader*>(header));
    std::string line = FormatString("\tsize:%u(%.3fkb)  file:%s  line:%d  ID:%u  addr:%08" PRIxPTR "  data:<",
                                    fields.size, fields.size / 1024.0, source.c_str(), fields.line,
                                    static_cast<unsigned>(fields.serial), reinterpret_cast<uintptr_t>(block));
    // The smaller of the two recorded sizes: a damaged size must not make the
    // dump read beyond the block.
    const size_t shown = std::min<size_t>({kShownDataBytes, fields.size, header->guard.size});
    const auto* bytes = static_cast<const uint8_t*>(block);
    for (size_t i = 0; i < shown; ++i) {
        line += (bytes[i] < 32 || bytes[i] > 127) ? '.' : static_cast<char>(bytes[i]);
    }
    line += "> [";
    for (size_t i = 0; i < shown; ++i) {
        line += FormatString("%02x ", bytes[i]);
    }
    line.back() = ']';
    line += '\n';
    return line;
}

std::string TotalsLine(const Allocator& allocator) {
    return FormatString("\tTotal size:%" PRIu64 "(%.3fkb)  Alloc num:%" PRIu64 "\n", allocator.total_size,
                        allocator.total_size / 1024.0, allocator.block_count);
}

void ReportDamage(const MemoryBlockHeader* header) {
    // The block's line follows on the same log line.
    WriteLog(log_text::kMemoryBlockDamaged);
    WriteLog(BlockLine(header).c_str());
}

// The functions below run with the allocator's mutex held.

int CheckLocked(Allocator& allocator) {
    for (MemoryBlockHeader* header = allocator.last; header != nullptr && header != &allocator.anchor;
         header = header->fields.prev) {
        if (!IsIntact(header)) {
            ReportDamage(header);
            return -1;
        }
    }
    return 0;
}

void DumpLocked(Allocator& allocator) {
    WriteLog("\n");
    WriteLog("Alloc memory dump\n");
    for (MemoryBlockHeader* header = allocator.last; header != nullptr && header != &allocator.anchor;
         header = header->fields.prev) {
        WriteLog(BlockLine(header).c_str());
        if (!IsIntact(header)) {
            break;  // its link to the older blocks cannot be trusted
        }
    }
    WriteLog(TotalsLine(allocator).c_str());
    WriteLog("\n");
}

// With the settings at 0, exactly the blocks of size 0 are traced.
void TraceChange(const Allocator& allocator, const char* what, const MemoryBlockHeader* header) {
    const uint32_t size = header->fields.size;
    if (allocator.trace_size < 0 || allocator.trace_size == size || allocator.trace_flag == 1) {
        WriteLog((std::string(what) + BlockLine(header)).c_str());
    }
    if (allocator.print_totals_flag == 1) {
        WriteLog(TotalsLine(allocator).c_str());
    }
}

void* FailAllocation(Allocator& allocator) {
    DumpLocked(allocator);
    CheckLocked(allocator);
    return nullptr;
}

}  // namespace

void* MemAlloc(size_t size, const char* source, int line) {
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    void* raw = size <= kLargestBlock ? std::malloc(size + kMemoryBlockHeaderSize) : nullptr;
    if (raw == nullptr) {
        return FailAllocation(allocator);
    }
    auto* header = new (raw) MemoryBlockHeader{};
    header->fields.size = static_cast<uint32_t>(size);
    SetSource(header, source);
    header->fields.line = static_cast<int16_t>(line);
    header->fields.serial = allocator.next_serial++;

    if (allocator.last == nullptr) {
        allocator.last = &allocator.anchor;
    }
    allocator.last->fields.next = header;
    header->fields.prev = allocator.last;
    header->fields.next = nullptr;
    allocator.last = header;
    RefreshGuard(header);
    RefreshGuard(header->fields.prev);

    allocator.total_size += size;
    ++allocator.block_count;
    TraceChange(allocator, "mem alloc  ", header);
    if (allocator.check_every_time_flag == 1) {
        CheckLocked(allocator);
    }
    return BlockOf(header);
}

void* MemCalloc(size_t size, const char* source, int line) {
    void* block = MemAlloc(size, source, line);
    if (block != nullptr) {
        std::memset(block, 0, size);
    }
    return block;
}

void* MemRealloc(void* block, size_t size, const char* source, int line) {
    if (block == nullptr) {
        return MemAlloc(size, source, line);
    }
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    MemoryBlockHeader* header = HeaderOf(block);
    if (!IsIntact(header)) {
        ReportDamage(header);
        return nullptr;
    }
    const uint32_t old_size = header->fields.size;
    MemoryBlockHeader* prev = header->fields.prev;
    MemoryBlockHeader* next = header->fields.next;
    const bool was_last = allocator.last == header;
    void* raw = size <= kLargestBlock ? std::realloc(header, size + kMemoryBlockHeaderSize) : nullptr;
    if (raw == nullptr) {
        DumpLocked(allocator);
        return nullptr;
    }
    header = static_cast<MemoryBlockHeader*>(raw);
    if (size > old_size) {
        std::memset(static_cast<char*>(BlockOf(header)) + old_size, 0, size - old_size);
    }
    header->fields.size = static_cast<uint32_t>(size);
    SetSource(header, source);
    header->fields.line = static_cast<int16_t>(line);
    header->fields.serial = allocator.next_serial++;
    if (prev != nullptr) {
        prev->fields.next = header;
    }
    if (next != nullptr) {
        next->fields.prev = header;
    }
    if (was_last) {
        allocator.last = header;
    }
    RefreshGuard(header);
    RefreshGuard(prev);
    RefreshGuard(next);

    allocator.total_size = allocator.total_size - old_size + size;
    TraceChange(allocator, "mem realloc  ", header);
    if (allocator.check_every_time_flag == 1) {
        CheckLocked(allocator);
    }
    return BlockOf(header);
}

void MemFree(void* block) {
    if (block == nullptr) {
        return;
    }
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    MemoryBlockHeader* header = HeaderOf(block);
    if (!IsIntact(header)) {
        ReportDamage(header);
        return;
    }
    allocator.total_size -= header->fields.size;
    --allocator.block_count;
    if (allocator.check_every_time_flag == 1) {
        CheckLocked(allocator);
    }
    MemoryBlockHeader* prev = header->fields.prev;
    MemoryBlockHeader* next = header->fields.next;
    if (prev != nullptr) {
        prev->fields.next = next;
    }
    if (next != nullptr) {
        next->fields.prev = prev;
    }
    if (allocator.last == header) {
        allocator.last = prev;
    }
    RefreshGuard(next);
    RefreshGuard(prev);
    TraceChange(allocator, "mem free  ", header);
    std::free(header);
}

int CheckMemoryBlocks() {
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    return CheckLocked(allocator);
}

int DumpMemoryBlocks() {
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    DumpLocked(allocator);
    return 0;
}

int WriteMemoryTotals() {
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    WriteLog(TotalsLine(allocator).c_str());
    return 0;
}

size_t LiveMemoryBlockCount() {
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    return static_cast<size_t>(allocator.block_count);
}

size_t LiveMemoryTotalSize() {
    Allocator& allocator = TheAllocator();
    std::lock_guard guard(allocator.mutex);
    return static_cast<size_t>(allocator.total_size);
}

}  // namespace velk
