#include "game/data/data_file_cursor.h"

namespace velk {

bool DataFileCursor::ReadI32s(std::span<int32_t> values) {
    if (!CanHold(values.size(), 4)) return false;
    if (values.empty()) return true;
    const uint8_t* at = bytes_.data() + position_;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(values.data(), at, values.size() * 4);
    } else {
        for (size_t i = 0; i < values.size(); ++i, at += 4) {
            values[i] = static_cast<int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24));
        }
    }
    position_ += values.size() * 4;
    return true;
}

}  // namespace velk
