#pragma once
// The one reader of every game data format: a running position over bytes in
// memory. Each read checks what is left first and gives nullopt when the value
// does not fit, so a damaged file can never make a reader step past its end
// or size a container from a count the bytes cannot hold.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

namespace velk {

class DataFileCursor {
public:
    explicit DataFileCursor(std::span<const uint8_t> bytes, size_t position = 0)
        : bytes_(bytes), position_(std::min(position, bytes.size())) {}

    // Little-endian integers.
    std::optional<uint8_t> ReadU8() {
        if (Remaining() < 1) return std::nullopt;
        return bytes_[position_++];
    }
    std::optional<uint16_t> ReadU16() { return ReadLittleEndian<uint16_t>(); }
    std::optional<uint32_t> ReadU32() { return ReadLittleEndian<uint32_t>(); }
    std::optional<int32_t> ReadI32() {
        auto value = ReadLittleEndian<uint32_t>();
        if (!value) return std::nullopt;
        return static_cast<int32_t>(*value);
    }
    // A string stored as a 32-bit length that counts its terminating zero
    // byte, then the bytes. The text ends at the first zero byte; a length of
    // 0 is an empty string with no bytes.
    std::optional<std::string> ReadString() {
        auto length = ReadU32();
        if (!length) return std::nullopt;
        return ReadText(*length);
    }
    // The same with a 16-bit length.
    std::optional<std::string> ReadShortString() {
        auto length = ReadU16();
        if (!length) return std::nullopt;
        return ReadText(*length);
    }
    // `count` raw bytes.
    std::optional<std::span<const uint8_t>> ReadBytes(size_t count) {
        if (Remaining() < count) return std::nullopt;
        auto result = bytes_.subspan(position_, count);
        position_ += count;
        return result;
    }
    // `values.size()` little-endian 32-bit integers at once.
    bool ReadI32s(std::span<int32_t> values);

    // Whether `count` entries of at least `minimumBytes` bytes each could
    // still follow. Readers ask this before they size anything from a count.
    bool CanHold(uint64_t count, size_t minimumBytes) const {
        return minimumBytes == 0 || count <= Remaining() / minimumBytes;
    }
    // Moves to an absolute position; false (and no move) beyond the end.
    bool Seek(size_t position) {
        if (position > bytes_.size()) return false;
        position_ = position;
        return true;
    }

    size_t Position() const { return position_; }
    size_t Remaining() const { return bytes_.size() - position_; }
    size_t Size() const { return bytes_.size(); }
    std::span<const uint8_t> Bytes() const { return bytes_; }

private:
    template <typename T>
    std::optional<T> ReadLittleEndian() {
        if (Remaining() < sizeof(T)) return std::nullopt;
        T value = 0;
        const uint8_t* at = bytes_.data() + position_;
        position_ += sizeof(T);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&value, at, sizeof(T));
        } else {
            for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(at[i]) << (8 * i));
        }
        return value;
    }

    std::optional<std::string> ReadText(size_t length) {
        if (Remaining() < length) return std::nullopt;
        if (length == 0) return std::string();
        const char* start = reinterpret_cast<const char*>(bytes_.data() + position_);
        position_ += length;
        const void* zero = std::memchr(start, 0, length);
        size_t textLength = zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : length;
        return std::string(start, textLength);
    }

    std::span<const uint8_t> bytes_;
    size_t position_;
};

}  // namespace velk
