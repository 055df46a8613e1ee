#pragma once
// The game data formats' reader: the library's bounded byte cursor plus the
// length-prefixed strings and integer runs the data files are made of.

#include <optional>
#include <span>
#include <string>

#include "lib/core/byte_cursor.h"

namespace velk {

class DataFileCursor : public ByteCursor {
public:
    explicit DataFileCursor(std::span<const uint8_t> bytes, size_t position = 0) : ByteCursor(bytes) {
        Seek(position < bytes.size() ? position : bytes.size());
    }

    // A string stored as a 32-bit length that counts its terminating zero
    // byte, then the bytes. The text ends at the first zero byte; a length of
    // 0 is an empty string with no bytes.
    std::optional<std::string> ReadString() {
        auto length = U32();
        if (!length) return std::nullopt;
        return ReadText(*length);
    }
    // The same into `text`, whose storage is reused; false (text unchanged)
    // when the bytes run out.
    bool ReadStringInto(std::string& text) {
        auto length = U32();
        return length && ReadTextInto(*length, text);
    }
    // The same with a 16-bit length.
    std::optional<std::string> ReadShortString() {
        auto length = U16();
        if (!length) return std::nullopt;
        return ReadText(*length);
    }
    // `values.size()` little-endian 32-bit integers at once.
    bool ReadI32s(std::span<int32_t> values);

private:
    std::optional<std::string> ReadText(size_t length);
    bool ReadTextInto(size_t length, std::string& text);
};

}  // namespace velk
