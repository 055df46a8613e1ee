#include "platform/display/display_palette.h"

#include <algorithm>

namespace velk::platform {

DdPalette::DdPalette(const DdPaletteEntry* entries) {
    if (entries != nullptr) std::copy(entries, entries + 256, entries_.begin());
}

DdResult DdPalette::GetEntries(uint32_t, uint32_t start, uint32_t count, DdPaletteEntry* out) const {
    if (out == nullptr || start > 256 || count > 256 - start) return kDdErrInvalidParams;
    std::copy(entries_.begin() + start, entries_.begin() + start + count, out);
    return kDdOk;
}

DdResult DdPalette::SetEntries(uint32_t, uint32_t start, uint32_t count, const DdPaletteEntry* entries) {
    if (entries == nullptr || start > 256 || count > 256 - start) return kDdErrInvalidParams;
    std::copy(entries, entries + count, entries_.begin() + start);
    return kDdOk;
}

}  // namespace velk::platform
