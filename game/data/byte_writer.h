#pragma once
// Builds the little-endian byte layouts the data cursor reads: save parts and
// the game-data writer's files.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velk {

class ByteWriter {
public:
    void WriteU8(uint8_t value) { bytes_.push_back(value); }
    void WriteU16(uint16_t value);
    void WriteU32(uint32_t value);
    void WriteI32(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
    // A 32-bit length counting the terminating zero byte, the bytes, the zero.
    void WriteString(std::string_view text);
    // The same with a 16-bit length; the caller keeps the text below 65535 bytes.
    void WriteShortString(std::string_view text);
    void WriteBytes(std::span<const uint8_t> bytes);
    // Overwrites four bytes already written (offsets fixed up after the fact).
    void PatchU32(size_t offset, uint32_t value);

    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t>& MutableBytes() { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace velk
