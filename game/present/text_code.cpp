#include "game/present/text_code.h"

#include <algorithm>

#include "platform/base/text_encoding.h"

namespace velk {
namespace {

char ParameterByte(int32_t value) { return static_cast<char>(value + kParameterOffset); }

std::string WideCode(uint8_t code, int32_t value) {
    value = std::clamp(value, 0, kWideValueLimit);
    std::string out{kTextCodeStart, static_cast<char>(kCodeWide), static_cast<char>(code)};
    out += ParameterByte(value / (kWideDigitBase * kWideDigitBase));
    out += ParameterByte(value / kWideDigitBase % kWideDigitBase);
    out += ParameterByte(value % kWideDigitBase);
    return out;
}

int32_t ByteAt(std::string_view text, size_t index) {
    return index < text.size() ? static_cast<uint8_t>(text[index]) : 0;
}

}  // namespace

int TextCodeParameterCount(uint8_t code) {
    switch (code) {
        case kCodeColor:
        case kCodeFontSize:
        case kCodeLineHeight:
        case kCodeSpacing:
        case kCodeFontSlot: return 1;
        case kCodeSpeed:
        case kCodeLineGap:
        case kCodeIcon:
        case kCodeMoveX:
        case kCodeMoveY: return 2;
        case kCodeWide: return 4;
        default: return 0;
    }
}

std::string EncodeBareCode(uint8_t code) { return std::string{kTextCodeStart, static_cast<char>(code)}; }

std::string EncodeByteCode(uint8_t code, int32_t value) {
    if (value < 0 || value + kParameterOffset > 255) return WideCode(code, value);
    return EncodeBareCode(code) + ParameterByte(value);
}

std::string EncodeSpacingCode(int32_t value) {
    // The byte is the value itself (its low eight bits), 255 standing for 0
    // and 12 for 13, as converted texts have always held it; only where those
    // bits would be 0 (the text's end) or 13 (a carriage return) does the
    // wide form carry the value instead.
    if (value == 0) return EncodeBareCode(kCodeSpacing) + static_cast<char>(255);
    if (value == 13) return EncodeBareCode(kCodeSpacing) + static_cast<char>(12);
    const auto byte = static_cast<uint8_t>(static_cast<uint32_t>(value));
    if (byte != 0 && byte != 13) return EncodeBareCode(kCodeSpacing) + static_cast<char>(byte);
    return WideCode(kCodeSpacing, value);
}

std::string EncodeWordCode(uint8_t code, int32_t value) {
    if (value < 0 || value / 256 + kParameterOffset > 255 || value % 256 + kParameterOffset > 255) {
        return WideCode(code, value);
    }
    return EncodeBareCode(code) + ParameterByte(value / 256) + ParameterByte(value % 256);
}

size_t TextUnitLength(std::string_view text, size_t index) {
    if (index >= text.size()) return 0;
    const auto byte = static_cast<uint8_t>(text[index]);
    if (byte == static_cast<uint8_t>(kTextCodeStart)) return ReadTextCode(text, index).length;
    if (platform::IsShiftJisLeadByte(byte) && index + 1 < text.size() && text[index + 1] != '\0') return 2;
    return 1;
}

TextCodeRead ReadTextCode(std::string_view text, size_t index) {
    TextCodeRead read;
    const size_t left = text.size() - index;
    if (left < 2) {
        read.length = left;
        return read;
    }
    read.code = static_cast<uint8_t>(text[index + 1]);
    const size_t wanted = static_cast<size_t>(TextCodeParameterCount(read.code));
    read.parameterBytes = std::min(wanted, left - 2);
    read.length = 2 + read.parameterBytes;
    const size_t p = index + 2;
    if (read.code == kCodeWide) {
        read.code = static_cast<uint8_t>(ByteAt(text, p));
        const int32_t d2 = ByteAt(text, p + 1) - kParameterOffset;
        const int32_t d1 = ByteAt(text, p + 2) - kParameterOffset;
        const int32_t d0 = ByteAt(text, p + 3) - kParameterOffset;
        read.value = (d2 * kWideDigitBase + d1) * kWideDigitBase + d0;
        return read;
    }
    switch (wanted) {
        case 1:
            read.value = ByteAt(text, p);
            if (read.code == kCodeSpacing) {
                if (read.value == 255) read.value = 0;
            } else {
                read.value -= kParameterOffset;
            }
            break;
        case 2: read.value = (ByteAt(text, p) - kParameterOffset) * 256 + ByteAt(text, p + 1) - kParameterOffset; break;
        default: break;
    }
    return read;
}

}  // namespace velk
