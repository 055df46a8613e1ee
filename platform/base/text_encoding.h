#pragma once
// Game text is Shift-JIS (code page 932) bytes everywhere above the platform
// layer; these convert at the boundary (file names, window title, message
// boxes, clipboard, glyph codes).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::platform {

// 0x81-0x9F or 0xE0-0xFC: the first byte of a two-byte Shift-JIS character.
constexpr bool IsShiftJisLeadByte(uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Converts CP932 bytes to UTF-8. Bytes that do not decode come out as U+FFFD,
// so the result is always valid UTF-8.
std::string ShiftJisToUtf8(std::string_view sjis);

// Converts UTF-8 to CP932. Characters CP932 cannot hold come out as '?'.
std::string Utf8ToShiftJis(std::string_view utf8);

// Strict forms: nullopt when any byte sequence does not convert exactly.
std::optional<std::string> ShiftJisToUtf8Exact(std::string_view sjis);
std::optional<std::string> Utf8ToShiftJisExact(std::string_view utf8);

}  // namespace velk::platform
