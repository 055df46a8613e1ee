#pragma once
// A bounds-checked reader over a block of bytes. The archive reader reads its
// header and tables only through one of these, so an offset, count or length
// that does not fit the bytes present becomes "damaged", never a read past
// the end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velk::files {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t position() const { return position_; }
    size_t remaining() const { return bytes_.size() - position_; }

    // Moves to an absolute offset; false (and no move) when it lies past the end.
    bool Seek(uint64_t offset) {
        if (offset > bytes_.size()) {
            return false;
        }
        position_ = static_cast<size_t>(offset);
        return true;
    }

    std::optional<std::span<const uint8_t>> Take(uint64_t count) {
        if (count > remaining()) {
            return std::nullopt;
        }
        auto part = bytes_.subspan(position_, static_cast<size_t>(count));
        position_ += static_cast<size_t>(count);
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
    std::optional<uint64_t> U64() {
        auto low = U32();
        auto high = U32();
        if (!low || !high) {
            return std::nullopt;
        }
        return static_cast<uint64_t>(*low) | (static_cast<uint64_t>(*high) << 32);
    }
    // A 0-terminated text; nullopt when no terminator comes before the end.
    std::optional<std::span<const uint8_t>> ZeroTerminated() {
        for (size_t end = position_; end < bytes_.size(); ++end) {
            if (bytes_[end] == 0) {
                auto text = bytes_.subspan(position_, end - position_);
                position_ = end + 1;
                return text;
            }
        }
        return std::nullopt;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

}  // namespace velk::files
