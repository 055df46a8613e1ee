#pragma once
// The one reader of every game data format: a running position over bytes in
// memory. Each read checks what is left first and gives nullopt when the value
// does not fit, so a damaged file can never make a reader step past its end
// or size a container from a count the bytes cannot hold.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace velk {

class DataFileCursor {
public:
    explicit DataFileCursor(std::span<const uint8_t> bytes, size_t position = 0);

    // Little-endian integers.
    std::optional<uint8_t> ReadU8();
    std::optional<uint16_t> ReadU16();
    std::optional<uint32_t> ReadU32();
    std::optional<int32_t> ReadI32();
    // A string stored as a 32-bit length that counts its terminating zero
    // byte, then the bytes. The text ends at the first zero byte; a length of
    // 0 is an empty string with no bytes.
    std::optional<std::string> ReadString();
    // The same with a 16-bit length.
    std::optional<std::string> ReadShortString();
    // `count` raw bytes.
    std::optional<std::span<const uint8_t>> ReadBytes(size_t count);

    // Whether `count` entries of at least `minimumBytes` bytes each could
    // still follow. Readers ask this before they size anything from a count.
    bool CanHold(uint64_t count, size_t minimumBytes) const;
    // Moves to an absolute position; false (and no move) beyond the end.
    bool Seek(size_t position);

    size_t Position() const { return position_; }
    size_t Remaining() const { return bytes_.size() - position_; }
    size_t Size() const { return bytes_.size(); }
    std::span<const uint8_t> Bytes() const { return bytes_; }

private:
    std::optional<std::string> ReadText(size_t length);

    std::span<const uint8_t> bytes_;
    size_t position_;
};

}  // namespace velk
