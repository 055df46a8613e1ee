#include "game/data/data_file_cursor.h"

#include <bit>
#include <cstring>

namespace velk {

bool DataFileCursor::ReadI32s(std::span<int32_t> values) {
    if (!CanHold(values.size(), 4)) return false;
    auto bytes = Take(values.size() * 4);
    if (!bytes || values.empty()) return bytes.has_value();
    const uint8_t* at = bytes->data();
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(values.data(), at, values.size() * 4);
    } else {
        for (size_t i = 0; i < values.size(); ++i, at += 4) {
            values[i] = static_cast<int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24));
        }
    }
    return true;
}

// The text ends at its first zero byte or at its length.
std::optional<std::string> DataFileCursor::ReadText(size_t length) {
    std::string text;
    if (!ReadTextInto(length, text)) return std::nullopt;
    return text;
}

bool DataFileCursor::ReadTextInto(size_t length, std::string& text) {
    auto bytes = Take(length);
    if (!bytes) return false;
    const char* start = reinterpret_cast<const char*>(bytes->data());
    const void* zero = length != 0 ? std::memchr(start, 0, length) : nullptr;
    text.assign(start, zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : length);
    return true;
}

}  // namespace velk
