#pragma once
// Prepared event commands keep direct references to integer slots of the
// variable store and the databases. Whatever can move such a slot (a resize
// of its vector, the replacement of the object holding it) advances this
// count, and a prepared command renews its references before it next uses
// them. Objects that hold slots carry a SlotGenerationMark, so copying,
// moving or replacing them advances the count without anyone remembering to.

#include <cstdint>

namespace velk {

inline uint32_t IntSlotGeneration = 0;

inline void AdvanceIntSlotGeneration() { ++IntSlotGeneration; }

class SlotGenerationMark {
public:
    SlotGenerationMark() = default;
    SlotGenerationMark(const SlotGenerationMark&) { AdvanceIntSlotGeneration(); }
    SlotGenerationMark(SlotGenerationMark&&) noexcept { AdvanceIntSlotGeneration(); }
    SlotGenerationMark& operator=(const SlotGenerationMark&) {
        AdvanceIntSlotGeneration();
        return *this;
    }
    SlotGenerationMark& operator=(SlotGenerationMark&&) noexcept {
        AdvanceIntSlotGeneration();
        return *this;
    }
    ~SlotGenerationMark() { AdvanceIntSlotGeneration(); }
    bool operator==(const SlotGenerationMark&) const { return true; }
};

}  // namespace velk
