#pragma once

#include <cstdint>

namespace velk::platform {

// A rectangle of the platform's kind: right and bottom are exclusive.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace velk::platform
