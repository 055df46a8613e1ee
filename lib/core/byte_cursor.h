#pragma once
// The bounds-checked reader every binary format is read through: a running
// position over bytes in memory. A count, length or offset that does not fit
// the bytes present gives nullopt (or false), so a damaged file becomes
// "damaged", never a read past the end or a container sized from garbage.

#include <bit>
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
    bool Seek(uint64_t offset) {
        if (offset > bytes_.size()) {
            return false;
        }
        position_ = static_cast<size_t>(offset);
        return true;
    }
    bool Skip(uint64_t count) {
        if (count > remaining()) {
            return false;
        }
        position_ += static_cast<size_t>(count);
        return true;
    }
    // Whether `count` records of at least `record_size` bytes each could
    // still follow; asked before anything is sized from a count.
    bool CanHold(uint64_t count, size_t record_size) const {
        return record_size == 0 || count <= remaining() / record_size;
    }

    // The next count bytes, or nullopt when fewer remain.
    std::optional<std::span<const uint8_t>> Take(uint64_t count) {
        if (count > remaining()) {
            return std::nullopt;
        }
        auto part = bytes_.subspan(position_, static_cast<size_t>(count));
        position_ += static_cast<size_t>(count);
        return part;
    }
    // At most count bytes: what remains when fewer do.
    std::span<const uint8_t> TakeUpTo(uint64_t count) {
        const size_t n = count < remaining() ? static_cast<size_t>(count) : remaining();
        auto part = bytes_.subspan(position_, n);
        position_ += n;
        return part;
    }

    // Little-endian integers.
    std::optional<uint8_t> U8() {
        if (remaining() < 1) {
            return std::nullopt;
        }
        return bytes_[position_++];
    }
    std::optional<uint16_t> U16() { return LittleEndian<uint16_t>(); }
    std::optional<uint32_t> U32() { return LittleEndian<uint32_t>(); }
    std::optional<uint64_t> U64() { return LittleEndian<uint64_t>(); }
    std::optional<int32_t> I32() {
        auto value = U32();
        if (!value) {
            return std::nullopt;
        }
        return static_cast<int32_t>(*value);
    }

    // A 0-terminated text (without its terminator); nullopt when no
    // terminator comes before the end.
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
    template <typename T>
    std::optional<T> LittleEndian() {
        auto part = Take(sizeof(T));
        if (!part) {
            return std::nullopt;
        }
        T value = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&value, part->data(), sizeof(T));
        } else {
            for (size_t i = 0; i < sizeof(T); ++i) {
                value |= static_cast<T>(static_cast<T>((*part)[i]) << (8 * i));
            }
        }
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

}  // namespace velk
