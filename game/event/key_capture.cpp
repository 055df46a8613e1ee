// Key capture: the keyboard and the first pad turned into one number per
// key, with a key held when a wait begins not taken until it is released.
#include <iterator>
#include <string>

#include "game/event/value_commands.h"
#include "game/event/value_texts.h"

namespace velk {
namespace {

constexpr int32_t kKeyboardCodeBase = 100;
constexpr int32_t kRightControl = 157;
constexpr int32_t kPadCodeBase = 300;
constexpr int32_t kPadButtons = 15;
constexpr int32_t kFirstPadBit = 4;

// The any-key scan leaves out the keys that have their own meaning in
// typing and menus.
bool SkippedInAnyKeyScan(int32_t key) {
    switch (key) {
        case 1:   // Esc
        case 14:  // Back
        case 28:  // Enter
        case 42:  // left Shift
        case 54:  // right Shift
        case 57:  // Space
        case 58:  // Caps Lock
            return true;
        default: return false;
    }
}

bool PadButtonHeld(uint32_t buttons, int32_t code) {
    return (buttons >> (kFirstPadBit + code - kPadCodeBase - 1) & 1) != 0;
}

struct KeyName {
    int32_t code;
    const char* name;
};

constexpr KeyName kKeyNames[] = {
    {1, "ESC"}, {11, "0"}, {12, "-"}, {14, "BS"}, {15, "TAB"}, {16, "Q"}, {17, "W"}, {18, "E"}, {19, "R"},
    {20, "T"}, {21, "Y"}, {22, "U"}, {23, "I"}, {24, "O"}, {25, "P"}, {26, "["}, {27, "]"}, {28, "Enter"},
    {29, value_texts::kKeyLeftControl}, {30, "A"}, {31, "S"}, {32, "D"}, {33, "F"}, {34, "G"}, {35, "H"},
    {36, "J"}, {37, "K"}, {38, "L"}, {39, value_texts::kKeySemicolon}, {42, value_texts::kKeyLeftShift},
    {43, "\\"}, {44, "Z"}, {45, "X"}, {46, "C"}, {47, "V"}, {48, "B"}, {49, "N"}, {50, "M"},
    {51, value_texts::kKeyComma}, {52, "."}, {53, "/"}, {54, value_texts::kKeyRightShift},
    {56, value_texts::kKeyLeftAlt}, {57, "SPACE"}, {58, "Caps"}, {59, "F1"}, {60, "F2"}, {61, "F3"}, {62, "F4"},
    {63, "F5"}, {64, "F6"}, {65, "F7"}, {66, "F8"}, {67, "F9"}, {68, "F10"}, {70, "Scroll"}, {87, "F11"},
    {88, "F12"}, {125, "\\"}, {144, "^"}, {145, "@"}, {146, value_texts::kKeyColon},
    {157, value_texts::kKeyRightControl}, {184, value_texts::kKeyRightAlt}, {197, "Pause"}, {199, "HOME"},
    {200, value_texts::kKeyUp}, {201, "PageUp"}, {203, value_texts::kKeyLeft}, {205, value_texts::kKeyRight},
    {207, "END"}, {208, value_texts::kKeyDown}, {209, "PageDown"}, {211, "DEL"},
};

}  // namespace

int32_t CaptureKeyboardKey(bool init, bool wait, int32_t& state, int32_t option,
                           const std::array<uint8_t, 256>& keys) {
    if (init) state = 0;
    if (option >= kKeyboardCodeBase && option <= kKeyboardCodeBase + 255) {
        return keys[static_cast<size_t>(option - kKeyboardCodeBase)] != 0 ? option : 0;
    }
    for (int32_t key = 2; key <= 124; ++key) {
        if (SkippedInAnyKeyScan(key) || keys[static_cast<size_t>(key)] == 0) continue;
        if (!init && !wait) return key + kKeyboardCodeBase;
        if (state == key) return 0;
        state = init ? key : 0;
        return key + kKeyboardCodeBase;
    }
    // Right Ctrl answers with its scan code alone and leaves the state.
    if (keys[kRightControl] != 0) return kRightControl;
    state = 0;
    return 0;
}

int32_t CapturePadButton(bool init, bool wait, int32_t& state, int32_t option, uint32_t padButtons) {
    if (init && !wait) state = 0;
    int32_t pressed = 0;
    if (option >= kPadCodeBase && option <= kPadCodeBase + 20) {
        if (option > kPadCodeBase && option <= kPadCodeBase + kPadButtons && PadButtonHeld(padButtons, option)) {
            pressed = option;
        }
    } else {
        for (int32_t code = kPadCodeBase + 1; code <= kPadCodeBase + kPadButtons && pressed == 0; ++code) {
            if (PadButtonHeld(padButtons, code)) pressed = code;
        }
    }
    if (pressed == 0) {
        state = 0;
        return 0;
    }
    if (state == pressed) return 0;
    state = init ? pressed : 0;
    return pressed;
}

std::string GetKeyCodeName(int32_t code) {
    if (code >= 2 && code <= 10) return std::string(1, static_cast<char>(code + 47));
    for (const KeyName& entry : kKeyNames) {
        if (entry.code == code) return entry.name;
    }
    return {};
}

}  // namespace velk
