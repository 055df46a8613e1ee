#pragma once
// The table behind every kind of library handle (graphs, surfaces, images,
// sounds, fonts, ...). A handle is a signed 32-bit value: bits 0-15 the slot,
// bits 16-26 a check counter (0 to 2047, wrapping), bits 27-30 the kind, bit
// 31 clear. A handle is refused when it is negative, of another kind, out of
// range, names an empty slot, or carries another check than the slot's record
// (a stale handle whose slot was reused).
//
// `Pointer` is `Record*` for a table that only points at records its owner
// keeps, or `std::unique_ptr<Record>` for a table that owns them. Records
// with `check` and `handle` members have them kept up to date.

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace velk {

inline constexpr uint32_t kHandleSlotMask = 0xFFFF;
inline constexpr uint32_t kHandleCheckMask = 0x07FF0000;
inline constexpr int kHandleCheckShift = 16;
inline constexpr uint32_t kHandleTypeMask = 0x78000000;
inline constexpr uint32_t kHandleCheckLimit = 2048;

template <typename Record, typename Pointer = Record*>
class HandleTable {
public:
    HandleTable(int slots, uint32_t type) : slots_(static_cast<size_t>(slots)), type_(type) {}

    int capacity() const { return static_cast<int>(slots_.size()); }
    int count() const { return count_; }
    // One past the highest used slot: the limit of every walk over the table.
    int end() const { return end_; }
    bool full() const { return count_ >= capacity(); }

    // The slot the next Add takes: the end while it is below the capacity,
    // else the lowest empty slot; -1 when the table is full.
    int NextSlot() const { return end_ < capacity() ? end_ : LowestFreeSlot(); }
    int LowestFreeSlot() const {
        for (int slot = 0; slot < capacity(); ++slot) {
            if (!slots_[static_cast<size_t>(slot)].record) {
                return slot;
            }
        }
        return -1;
    }

    // The check value the next new record gets, and taking it.
    uint32_t next_check() const { return next_check_; }
    uint32_t TakeNextCheck() {
        const uint32_t check = next_check_;
        next_check_ = (next_check_ + 1) % kHandleCheckLimit;
        return check;
    }

    // Puts the record in the next slot with the next check value and returns
    // its handle; -1 when the table is full.
    int32_t Add(Pointer record) {
        const int slot = NextSlot();
        if (slot < 0) {
            return -1;
        }
        return AddAt(slot, TakeNextCheck(), std::move(record));
    }

    // Puts the record in a given empty slot under a given check value (a
    // record re-made under the handle it had); -1 when the slot is out of
    // range or taken.
    int32_t AddAt(int slot, uint32_t check, Pointer record) {
        if (!InRange(slot) || slots_[static_cast<size_t>(slot)].record) {
            return -1;
        }
        Slot& entry = slots_[static_cast<size_t>(slot)];
        entry.check = check % kHandleCheckLimit;
        entry.record = std::move(record);
        const int32_t handle = HandleOf(slot);
        Record* raw = Raw(entry.record);
        if constexpr (requires { raw->check; }) {
            raw->check = entry.check;
        }
        if constexpr (requires { raw->handle; }) {
            raw->handle = handle;
        }
        ++count_;
        if (slot >= end_) {
            end_ = slot + 1;
        }
        return handle;
    }

    // The live record of a handle, or null.
    Record* Get(int32_t handle) const {
        const int slot = LiveSlot(handle);
        return slot < 0 ? nullptr : Raw(slots_[static_cast<size_t>(slot)].record);
    }
    Record* AtSlot(int slot) const {
        return InRange(slot) ? Raw(slots_[static_cast<size_t>(slot)].record) : nullptr;
    }
    // The handle of an occupied slot.
    int32_t HandleOf(int slot) const {
        return static_cast<int32_t>(type_ | (slots_[static_cast<size_t>(slot)].check << kHandleCheckShift) |
                                    static_cast<uint32_t>(slot));
    }
    // Whether a handle of this kind names an empty slot (so a record may be
    // put back under it).
    bool NamesEmptySlot(int32_t handle) const {
        const uint32_t slot = static_cast<uint32_t>(handle) & kHandleSlotMask;
        return handle >= 0 && (static_cast<uint32_t>(handle) & kHandleTypeMask) == type_ &&
               slot < slots_.size() && !slots_[slot].record;
    }

    // Empties the slot of a live handle and gives its record back (null when
    // the handle is not live). The end moves down past the empty slots below.
    Pointer Remove(int32_t handle) {
        const int slot = LiveSlot(handle);
        if (slot < 0) {
            return Pointer{};
        }
        Pointer record = std::move(slots_[static_cast<size_t>(slot)].record);
        slots_[static_cast<size_t>(slot)].record = Pointer{};
        --count_;
        while (end_ > 0 && !slots_[static_cast<size_t>(end_ - 1)].record) {
            --end_;
        }
        return record;
    }

    // Empties every slot; the check counter goes on.
    void Clear() {
        for (Slot& slot : slots_) {
            slot.record = Pointer{};
        }
        count_ = 0;
        end_ = 0;
    }
    // Empties every slot and restarts the check counter.
    void Reset() {
        Clear();
        next_check_ = 0;
    }

private:
    struct Slot {
        Pointer record{};
        uint32_t check = 0;
    };

    static Record* Raw(const Pointer& pointer) {
        if constexpr (std::is_pointer_v<Pointer>) {
            return pointer;
        } else {
            return pointer.get();
        }
    }

    bool InRange(int slot) const { return slot >= 0 && static_cast<size_t>(slot) < slots_.size(); }

    int LiveSlot(int32_t handle) const {
        if (handle < 0 || (static_cast<uint32_t>(handle) & kHandleTypeMask) != type_) {
            return -1;
        }
        const uint32_t slot = static_cast<uint32_t>(handle) & kHandleSlotMask;
        if (slot >= slots_.size() || !slots_[slot].record) {
            return -1;
        }
        const uint32_t check = (static_cast<uint32_t>(handle) & kHandleCheckMask) >> kHandleCheckShift;
        return slots_[slot].check == check ? static_cast<int>(slot) : -1;
    }

    std::vector<Slot> slots_;
    uint32_t type_;
    int count_ = 0;
    int end_ = 0;
    uint32_t next_check_ = 0;
};

}  // namespace velk
