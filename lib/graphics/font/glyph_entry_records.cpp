#include "lib/graphics/font/glyph_entry_records.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace velk {

void GlyphEntryRecords::Free::operator()(void* memory) const { std::free(memory); }

GlyphEntryRecords::Slot* GlyphEntryRecords::SlotFor(const void* cells, uint64_t made) {
    if (slots_ == nullptr) {
        // (calloc: pages never touched are never taken.)
        memory_.reset(std::calloc(1, kBytes + alignof(Slot)));
        if (!memory_) {
            return nullptr;
        }
        const auto start = reinterpret_cast<uintptr_t>(memory_.get());
        slots_ = reinterpret_cast<Slot*>((start + alignof(Slot) - 1) & ~uintptr_t{alignof(Slot) - 1});
    }
    // Cells of one cache lie a cell apart, whatever the cell's size: every
    // bit of the address mixed into every bit of the group's number (a
    // multiply alone sends some strides to a few groups only).
    uint64_t mixed = reinterpret_cast<uintptr_t>(cells);
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ull;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBull;
    const size_t set = static_cast<size_t>((mixed ^ (mixed >> 31)) % kSets);
    Owner* group = owners_ + set * kWays;
    ++uses_;
    int way = 0;
    for (int w = 0; w < kWays; ++w) {
        if (group[w].cells == cells) {
            way = w;
            break;
        }
        if (group[w].used < group[way].used) {
            way = w;
        }
    }
    Owner& owner = group[way];
    Slot& slot = slots_[set * kWays + static_cast<size_t>(way)];
    // (Steps recorded for another glyph of the same making may stay: they
    // serve only the very cell values they hold.)
    if (owner.made != made) {
        std::memset(slot.cells, 0, sizeof(slot.cells));
        owner.made = made;
    }
    owner.cells = cells;
    owner.used = uses_;
    return &slot;
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
