#pragma once
// The 256-entry palette of an 8-bit display.

#include <array>
#include <cstdint>

#include "platform/display/display_types.h"

namespace velk::platform {

class DdPalette {
public:
    explicit DdPalette(const DdPaletteEntry* entries);

    // Entries start .. start + count - 1; a range beyond 256 is refused.
    DdResult GetEntries(uint32_t flags, uint32_t start, uint32_t count, DdPaletteEntry* out) const;
    DdResult SetEntries(uint32_t flags, uint32_t start, uint32_t count, const DdPaletteEntry* entries);

    const std::array<DdPaletteEntry, 256>& entries() const { return entries_; }

private:
    std::array<DdPaletteEntry, 256> entries_{};
};

}  // namespace velk::platform
