#pragma once
// The start conditions of a map event's page: its trigger and up to four
// comparisons of variables, tested when the map selects each event's page.

#include <array>
#include <cstdint>

namespace velk {

class VariableStore;

struct EventPageConditions {
    // 0-4; 1 starts by itself.
    uint8_t trigger = 0;
    // Per condition: bit 0 the condition is used; bits 4-7 the comparison.
    std::array<uint8_t, 4> flags = {0x20, 0x20, 0x20, 0x20};
    // Per condition: the variable ID compared, and the value or ID it is
    // compared with.
    std::array<int32_t, 4> left{};
    std::array<int32_t, 4> right{};

    // Whether every used condition holds for map event `mapEventId`; the
    // conditions after the first unused one are not looked at. Self
    // variables are those of the current map.
    bool Evaluate(int32_t mapEventId, VariableStore& store) const;

    bool operator==(const EventPageConditions&) const = default;
};

}  // namespace velk
