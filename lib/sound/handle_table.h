#pragma once
// A table of library handles: a signed 32-bit value whose bits 0-15 name the
// slot, bits 16-26 hold an 11-bit check counter and bits 27-30 the type. A
// handle is refused when negative, of another type, beyond the table, naming
// an empty slot, or carrying another counter than its slot's record (stale).
// Graph and font handles follow the same layout; the tables could share this.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace velk {

template <typename Record>
class HandleTable {
public:
    static constexpr int32_t kTypeMask = 0x78000000;
    static constexpr int32_t kCounterMask = 0x7FF;

    HandleTable(int32_t slot_count, int32_t type) : slots_(static_cast<size_t>(slot_count)), type_(type) {}

    int32_t SlotCount() const { return static_cast<int32_t>(slots_.size()); }
    int32_t UsedCount() const { return used_count_; }
    int32_t EndMark() const { return end_mark_; }
    bool Full() const { return used_count_ == SlotCount(); }

    // The record behind a handle, or null when the handle is refused.
    Record* Find(int32_t handle) const {
        if (handle < 0 || (handle & kTypeMask) != type_) return nullptr;
        const int32_t slot = handle & 0xFFFF;
        if (slot >= SlotCount() || !slots_[static_cast<size_t>(slot)].record) return nullptr;
        const Slot& entry = slots_[static_cast<size_t>(slot)];
        return entry.counter == ((handle >> 16) & kCounterMask) ? entry.record.get() : nullptr;
    }

    // The slot a new record goes to: the end mark, or the first free slot once
    // the end mark has reached the table's end; -1 when the table is full.
    int32_t FreeSlot() const {
        if (Full()) return -1;
        if (end_mark_ < SlotCount()) return end_mark_;
        for (int32_t slot = 0; slot < SlotCount(); ++slot) {
            if (!slots_[static_cast<size_t>(slot)].record) return slot;
        }
        return -1;
    }

    // True when `handle` names a free slot of this table (its counter may be
    // reused for a record put back under the same handle).
    bool IsFreeHandleSlot(int32_t handle) const {
        const int32_t slot = handle & 0xFFFF;
        return handle >= 0 && slot < SlotCount() && !slots_[static_cast<size_t>(slot)].record;
    }

    // Puts a record into a free slot with the given counter; returns its handle.
    int32_t Insert(int32_t slot, int32_t counter, std::unique_ptr<Record> record) {
        Slot& entry = slots_[static_cast<size_t>(slot)];
        entry.record = std::move(record);
        entry.counter = counter & kCounterMask;
        ++used_count_;
        end_mark_ = std::max({end_mark_, slot + 1, used_count_});
        return HandleOf(slot);
    }

    // The next counter for a new handle (0..2047, wrapping).
    int32_t NextCounter() {
        const int32_t counter = counter_source_;
        counter_source_ = counter_source_ == kCounterMask ? 0 : counter_source_ + 1;
        return counter;
    }

    // Takes the record out; the slot becomes free.
    std::unique_ptr<Record> Remove(int32_t handle) {
        if (Find(handle) == nullptr) return nullptr;
        const int32_t slot = handle & 0xFFFF;
        std::unique_ptr<Record> record = std::move(slots_[static_cast<size_t>(slot)].record);
        --used_count_;
        if (slot + 1 == end_mark_) {
            while (end_mark_ > 0 && !slots_[static_cast<size_t>(end_mark_ - 1)].record) --end_mark_;
        }
        return record;
    }

    // The handle of an occupied slot, rebuilt from its counter.
    int32_t HandleOf(int32_t slot) const {
        return type_ | (slots_[static_cast<size_t>(slot)].counter << 16) | slot;
    }
    bool Occupied(int32_t slot) const { return slots_[static_cast<size_t>(slot)].record != nullptr; }

private:
    struct Slot {
        std::unique_ptr<Record> record;
        int32_t counter = 0;
    };
    std::vector<Slot> slots_;
    int32_t type_;
    int32_t used_count_ = 0;
    int32_t end_mark_ = 0;
    int32_t counter_source_ = 0;
};

}  // namespace velk
