#pragma once
// The TextCode: the compact form in which converted texts carry their format
// codes to the layout and the renderer, and in which string pictures keep
// their text in saves. A TextCode is the byte 0x01, a code byte and 0, 1 or 2
// parameter bytes, each holding its value + 14.
//
// Parameter bytes never fall on 0x00 or 0x0D (a zero would end the text, a
// 13 would be taken for a carriage return), and those of every code but the
// spacing code (whose byte is its value itself) never into 0x00-0x0D: a value
// whose plain form would wrap into those bytes is written in the wide form
// instead, 0x01 kWide <code> d2 d1 d0, the value being
// ((d2 - 14) x 242 + d1 - 14) x 242 + d0 - 14. Every value that the plain form carries intact is still written
// in the plain form, so texts kept from earlier runs read as they did.
//
// Everything that scans converted text walks TextCodes as whole units
// (NextTextUnit), so a parameter byte is never taken for a character.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velk {

inline constexpr char kTextCodeStart = 0x01;

enum TextCodeByte : uint8_t {
    kCodeBackslash = 0x01,
    kCodeColor = 0x02,
    kCodeFontSize = 0x03,
    kCodeLineHeight = 0x04,
    kCodeEdgeOn = 0x05,
    kCodeEdgeOff = 0x06,
    kCodeSpacing = 0x07,
    kCodeRuby = 0x09,
    kCodeInstantOn = 0x0A,
    kCodeInstantOff = 0x0B,
    kCodeSpeed = 0x0C,
    kCodeTimedPause = 0x0E,
    kCodeKeyWait = 0x0F,
    kCodeClose = 0x10,
    kCodeFontSlot = 0x11,
    kCodeLineGap = 0x12,
    kCodeAlignLeft = 0x13,
    kCodeAlignCenter = 0x14,
    kCodeAlignRight = 0x15,
    kCodeIcon = 0x16,
    kCodeImage = 0x17,
    kCodeMoveX = 0x18,
    kCodeMoveY = 0x19,
    // Carries the code byte that follows with a value in three digits.
    kCodeWide = 0x1A,
};

inline constexpr int kParameterOffset = 14;
inline constexpr int kWideDigitBase = 242;
// The largest value the wide form holds.
inline constexpr int32_t kWideValueLimit = kWideDigitBase * kWideDigitBase * kWideDigitBase - 1;

// Number of parameter bytes of a code in its plain form.
int TextCodeParameterCount(uint8_t code);

// A one-byte parameter code: plain when value + 14 fits one byte at or above
// 14, else wide. The value must lie in 0..kWideValueLimit.
std::string EncodeByteCode(uint8_t code, int32_t value);
// The spacing code, whose plain byte holds the value itself (255 for 0, 12
// for 13), wide only where that byte would be 0 or 13.
std::string EncodeSpacingCode(int32_t value);
// A two-byte parameter code (value 0..kWideValueLimit).
std::string EncodeWordCode(uint8_t code, int32_t value);
// A code without parameters.
std::string EncodeBareCode(uint8_t code);

// The unit of text starting at `index`: a TextCode (cut short at the text's
// end), a Shift-JIS pair, or one byte. Returns its length (0 at the end).
size_t TextUnitLength(std::string_view text, size_t index);

// A TextCode read at `index` (text[index] == 0x01).
struct TextCodeRead {
    uint8_t code = 0;
    // The parameter's value (0 for codes without one; missing bytes read 0).
    int32_t value = 0;
    // Bytes of the whole TextCode within the text.
    size_t length = 0;
    // Bytes behind the code byte: the parameter bytes, or for the wide form
    // everything behind 0x01 0x1A.
    size_t parameterBytes = 0;
};
TextCodeRead ReadTextCode(std::string_view text, size_t index);

}  // namespace velk
