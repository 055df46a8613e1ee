#pragma once
// The keyboard's key codes as games store them in their data and saves: the
// DirectInput codes, which are the keyboard's set-1 scan codes, with the
// Japanese keyboard's own codes for its extra keys.

#include <cstdint>

namespace velk::platform::key {

constexpr uint8_t kEscape = 0x01;
constexpr uint8_t k1 = 0x02;  // to k9 = 0x0A
constexpr uint8_t k0 = 0x0B;
constexpr uint8_t kMinus = 0x0C;
constexpr uint8_t kEquals = 0x0D;
constexpr uint8_t kBack = 0x0E;
constexpr uint8_t kTab = 0x0F;
constexpr uint8_t kQ = 0x10;
constexpr uint8_t kW = 0x11;
constexpr uint8_t kLeftBracket = 0x1A;
constexpr uint8_t kRightBracket = 0x1B;
constexpr uint8_t kReturn = 0x1C;
constexpr uint8_t kLeftControl = 0x1D;
constexpr uint8_t kA = 0x1E;
constexpr uint8_t kS = 0x1F;
constexpr uint8_t kD = 0x20;
constexpr uint8_t kSemicolon = 0x27;
constexpr uint8_t kApostrophe = 0x28;
constexpr uint8_t kGrave = 0x29;
constexpr uint8_t kLeftShift = 0x2A;
constexpr uint8_t kBackslash = 0x2B;
constexpr uint8_t kZ = 0x2C;
constexpr uint8_t kX = 0x2D;
constexpr uint8_t kC = 0x2E;
constexpr uint8_t kComma = 0x33;
constexpr uint8_t kPeriod = 0x34;
constexpr uint8_t kSlash = 0x35;
constexpr uint8_t kRightShift = 0x36;
constexpr uint8_t kMultiply = 0x37;
constexpr uint8_t kLeftMenu = 0x38;
constexpr uint8_t kSpace = 0x39;
constexpr uint8_t kCapital = 0x3A;
constexpr uint8_t kF1 = 0x3B;  // to F10 = 0x44
constexpr uint8_t kF10 = 0x44;
constexpr uint8_t kNumLock = 0x45;
constexpr uint8_t kScroll = 0x46;
constexpr uint8_t kNumpad7 = 0x47;
constexpr uint8_t kNumpad8 = 0x48;
constexpr uint8_t kNumpad9 = 0x49;
constexpr uint8_t kSubtract = 0x4A;
constexpr uint8_t kNumpad4 = 0x4B;
constexpr uint8_t kNumpad5 = 0x4C;
constexpr uint8_t kNumpad6 = 0x4D;
constexpr uint8_t kAdd = 0x4E;
constexpr uint8_t kNumpad1 = 0x4F;
constexpr uint8_t kNumpad2 = 0x50;
constexpr uint8_t kNumpad3 = 0x51;
constexpr uint8_t kNumpad0 = 0x52;
constexpr uint8_t kDecimal = 0x53;
constexpr uint8_t kOem102 = 0x56;
constexpr uint8_t kF11 = 0x57;
constexpr uint8_t kF12 = 0x58;
constexpr uint8_t kF13 = 0x64;
constexpr uint8_t kF14 = 0x65;
constexpr uint8_t kF15 = 0x66;
constexpr uint8_t kKana = 0x70;
constexpr uint8_t kAbntC1 = 0x73;  // Japanese keyboard: the "ro" key outside the JIS table
constexpr uint8_t kConvert = 0x79;
constexpr uint8_t kNoConvert = 0x7B;
constexpr uint8_t kYen = 0x7D;
constexpr uint8_t kNumpadEquals = 0x8D;
constexpr uint8_t kCircumflex = 0x90;
constexpr uint8_t kAt = 0x91;
constexpr uint8_t kColon = 0x92;
constexpr uint8_t kKanji = 0x94;
constexpr uint8_t kNumpadEnter = 0x9C;
constexpr uint8_t kRightControl = 0x9D;
constexpr uint8_t kMute = 0xA0;
constexpr uint8_t kVolumeDown = 0xAE;
constexpr uint8_t kVolumeUp = 0xB0;
constexpr uint8_t kNumpadComma = 0xB3;
constexpr uint8_t kDivide = 0xB5;
constexpr uint8_t kSysRq = 0xB7;
constexpr uint8_t kRightMenu = 0xB8;
constexpr uint8_t kPause = 0xC5;
constexpr uint8_t kHome = 0xC7;
constexpr uint8_t kUp = 0xC8;
constexpr uint8_t kPrior = 0xC9;
constexpr uint8_t kLeft = 0xCB;
constexpr uint8_t kRight = 0xCD;
constexpr uint8_t kEnd = 0xCF;
constexpr uint8_t kDown = 0xD0;
constexpr uint8_t kNext = 0xD1;
constexpr uint8_t kInsert = 0xD2;
constexpr uint8_t kDelete = 0xD3;
constexpr uint8_t kLeftWindows = 0xDB;
constexpr uint8_t kRightWindows = 0xDC;
constexpr uint8_t kApps = 0xDD;

}  // namespace velk::platform::key
