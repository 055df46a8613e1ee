#pragma once
// A table of records behind 32-bit handles: bits 0-15 the slot, bits 16-26 a
// check counter (0 to 2047, wrapping) that the record keeps, bits 27-30 the
// kind. A handle is refused when it is negative, of another kind, out of
// range, names an empty slot, or carries another check than the slot's record
// (a stale handle whose slot was reused).
//
// Records are any type with `uint32_t check` and `int32_t handle` members;
// the table stores pointers and never owns them.

#include <cstdint>
#include <algorithm>
#include <vector>

namespace velk {

inline constexpr uint32_t kHandleSlotMask = 0xFFFF;
inline constexpr uint32_t kHandleCheckMask = 0x07FF0000;
inline constexpr int kHandleCheckShift = 16;
inline constexpr uint32_t kHandleTypeMask = 0x78000000;
inline constexpr uint32_t kHandleCheckLimit = 2048;

template <typename Record>
class HandleTable {
public:
    HandleTable(int slots, uint32_t type) : slots_(static_cast<size_t>(slots), nullptr), type_(type) {}

    int capacity() const { return static_cast<int>(slots_.size()); }
    int count() const { return count_; }
    // One past the highest used slot: the limit of every walk over the table.
    int end() const { return end_; }
    bool full() const { return count_ >= capacity(); }

    // Puts the record in a slot (appending while the end is below the
    // capacity, else the lowest empty slot), gives it the next check value
    // and its handle. -1 when the table is full.
    int32_t Add(Record* record) {
        if (full()) {
            return -1;
        }
        int slot = end_;
        if (end_ >= capacity()) {
            slot = 0;
            while (slots_[static_cast<size_t>(slot)] != nullptr) {
                ++slot;
            }
        }
        record->check = next_check_;
        next_check_ = (next_check_ + 1) % kHandleCheckLimit;
        record->handle = static_cast<int32_t>(type_ | (record->check << kHandleCheckShift) | static_cast<uint32_t>(slot));
        slots_[static_cast<size_t>(slot)] = record;
        ++count_;
        if (slot == end_) {
            ++end_;
        }
        return record->handle;
    }

    // The live record of a handle, or null.
    Record* Get(int32_t handle) const {
        if (handle < 0 || (static_cast<uint32_t>(handle) & kHandleTypeMask) != type_) {
            return nullptr;
        }
        const uint32_t slot = static_cast<uint32_t>(handle) & kHandleSlotMask;
        if (slot >= slots_.size()) {
            return nullptr;
        }
        Record* record = slots_[slot];
        if (record == nullptr ||
            (record->check << kHandleCheckShift) != (static_cast<uint32_t>(handle) & kHandleCheckMask)) {
            return nullptr;
        }
        return record;
    }

    Record* AtSlot(int slot) const { return slots_[static_cast<size_t>(slot)]; }

    // Empties the slot of a live handle and returns its record (null when the
    // handle is not live). The end moves down past the empty slots below.
    Record* Remove(int32_t handle) {
        Record* record = Get(handle);
        if (record == nullptr) {
            return nullptr;
        }
        const int slot = static_cast<int>(static_cast<uint32_t>(handle) & kHandleSlotMask);
        slots_[static_cast<size_t>(slot)] = nullptr;
        --count_;
        if (slot == end_ - 1) {
            while (end_ > 0 && slots_[static_cast<size_t>(end_ - 1)] == nullptr) {
                --end_;
            }
        }
        return record;
    }

    // The check value the next record gets (tests and restore use it).
    uint32_t next_check() const { return next_check_; }
    void Reset() {
        std::fill(slots_.begin(), slots_.end(), nullptr);
        count_ = 0;
        end_ = 0;
    }

private:
    std::vector<Record*> slots_;
    uint32_t type_;
    int count_ = 0;
    int end_ = 0;
    uint32_t next_check_ = 0;
};

}  // namespace velk
