#include "game/data/data_file_cursor.h"

#include <algorithm>
#include <cstring>

namespace velk {

DataFileCursor::DataFileCursor(std::span<const uint8_t> bytes, size_t position)
    : bytes_(bytes), position_(std::min(position, bytes.size())) {}

std::optional<uint8_t> DataFileCursor::ReadU8() {
    if (Remaining() < 1) return std::nullopt;
    return bytes_[position_++];
}

std::optional<uint16_t> DataFileCursor::ReadU16() {
    if (Remaining() < 2) return std::nullopt;
    const uint8_t* p = bytes_.data() + position_;
    position_ += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

std::optional<uint32_t> DataFileCursor::ReadU32() {
    if (Remaining() < 4) return std::nullopt;
    const uint8_t* p = bytes_.data() + position_;
    position_ += 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::optional<int32_t> DataFileCursor::ReadI32() {
    auto value = ReadU32();
    if (!value) return std::nullopt;
    return static_cast<int32_t>(*value);
}

std::optional<std::string> DataFileCursor::ReadString() {
    auto length = ReadU32();
    if (!length) return std::nullopt;
    return ReadText(*length);
}

std::optional<std::string> DataFileCursor::ReadShortString() {
    auto length = ReadU16();
    if (!length) return std::nullopt;
    return ReadText(*length);
}

std::optional<std::string> DataFileCursor::ReadText(size_t length) {
    if (Remaining() < length) return std::nullopt;
    const char* start = reinterpret_cast<const char*>(bytes_.data() + position_);
    position_ += length;
    const void* zero = std::memchr(start, 0, length);
    size_t textLength = zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : length;
    return std::string(start, textLength);
}

std::optional<std::span<const uint8_t>> DataFileCursor::ReadBytes(size_t count) {
    if (Remaining() < count) return std::nullopt;
    auto result = bytes_.subspan(position_, count);
    position_ += count;
    return result;
}

bool DataFileCursor::CanHold(uint64_t count, size_t minimumBytes) const {
    if (minimumBytes == 0) return true;
    return count <= Remaining() / minimumBytes;
}

bool DataFileCursor::Seek(size_t position) {
    if (position > bytes_.size()) return false;
    position_ = position;
    return true;
}

}  // namespace velk
