#include "lib/graphics/font/glyph_entry_records.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace velk {

void GlyphEntryRecords::Free::operator()(void* memory) const { std::free(memory); }

bool GlyphEntryRecords::Allocate() {
    // (calloc: pages never touched are never taken.)
    memory_.reset(std::calloc(1, kBytes + alignof(Slot)));
    if (!memory_) {
        return false;
    }
    const auto start = reinterpret_cast<uintptr_t>(memory_.get());
    slots_ = reinterpret_cast<Slot*>((start + alignof(Slot) - 1) & ~uintptr_t{alignof(Slot) - 1});
    return true;
}

void GlyphEntryRecords::Clear() {
    for (Owner& owner : owners_) {
        owner = Owner{};
    }
    if (slots_ != nullptr) {
        for (int s = 0; s < kSets * kWays; ++s) {
            std::memset(slots_[s].cells, 0, sizeof(Slot::cells));
        }
    }
}

GlyphEntryRecords& ThreadGlyphEntryRecords() {
    thread_local GlyphEntryRecords records;
    return records;
}

uint64_t NewEntriesMaking() {
    static std::atomic<uint64_t> makings{0};
    return makings.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace velk
