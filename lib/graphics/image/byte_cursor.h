#pragma once
// A bounds-checked reader over a block of bytes: every image decoder reads its
// file through one of these, so a count, length or offset that does not fit
// the bytes present turns into "damaged" instead of a read past the end.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace velk {

class ByteCursor {
public:
    ByteCursor() = default;
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    size_t position() const { return position_; }
    size_t remaining() const { return bytes_.size() - position_; }
    std::span<const uint8_t> bytes() const { return bytes_; }

    // Moves to an absolute offset; false (and no move) when it lies past the end.
    bool Seek(size_t offset) {
        if (offset > bytes_.size()) {
            return false;
        }
        position_ = offset;
        return true;
    }
    bool Skip(size_t count) {
        if (count > remaining()) {
            return false;
        }
        position_ += count;
        return true;
    }

    // The next count bytes, or nullopt when fewer remain.
    std::optional<std::span<const uint8_t>> Take(size_t count) {
        if (count > remaining()) {
            return std::nullopt;
        }
        auto part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }
    // At most count bytes: what remains when fewer do.
    std::span<const uint8_t> TakeUpTo(size_t count) {
        const size_t n = count < remaining() ? count : remaining();
        auto part = bytes_.subspan(position_, n);
        position_ += n;
        return part;
    }

    std::optional<uint8_t> U8() {
        if (remaining() < 1) {
            return std::nullopt;
        }
        return bytes_[position_++];
    }
    std::optional<uint16_t> U16() {
        auto part = Take(2);
        if (!part) {
            return std::nullopt;
        }
        return static_cast<uint16_t>((*part)[0] | ((*part)[1] << 8));
    }
    std::optional<uint32_t> U32() {
        auto part = Take(4);
        if (!part) {
            return std::nullopt;
        }
        return static_cast<uint32_t>((*part)[0]) | (static_cast<uint32_t>((*part)[1]) << 8) |
               (static_cast<uint32_t>((*part)[2]) << 16) | (static_cast<uint32_t>((*part)[3]) << 24);
    }
    std::optional<int32_t> I32() {
        auto value = U32();
        if (!value) {
            return std::nullopt;
        }
        return static_cast<int32_t>(*value);
    }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

}  // namespace velk
