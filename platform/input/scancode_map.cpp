#include "platform/input/scancode_map.h"

#include <SDL.h>

#include <array>

#include "platform/input/key_codes.h"

namespace velk::platform {

namespace {

struct Entry {
    SDL_Scancode scancode;
    uint8_t code;
};

// Every key by its position on a US keyboard.
constexpr Entry kPositional[] = {
    {SDL_SCANCODE_ESCAPE, key::kEscape},
    {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03}, {SDL_SCANCODE_3, 0x04}, {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06}, {SDL_SCANCODE_6, 0x07}, {SDL_SCANCODE_7, 0x08}, {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A}, {SDL_SCANCODE_0, key::k0},
    {SDL_SCANCODE_MINUS, key::kMinus}, {SDL_SCANCODE_EQUALS, key::kEquals},
    {SDL_SCANCODE_BACKSPACE, key::kBack}, {SDL_SCANCODE_TAB, key::kTab},
    {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_W, 0x11}, {SDL_SCANCODE_E, 0x12}, {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14}, {SDL_SCANCODE_Y, 0x15}, {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18}, {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, key::kLeftBracket}, {SDL_SCANCODE_RIGHTBRACKET, key::kRightBracket},
    {SDL_SCANCODE_RETURN, key::kReturn}, {SDL_SCANCODE_LCTRL, key::kLeftControl},
    {SDL_SCANCODE_A, 0x1E}, {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_D, 0x20}, {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23}, {SDL_SCANCODE_J, 0x24}, {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, key::kSemicolon}, {SDL_SCANCODE_APOSTROPHE, key::kApostrophe},
    {SDL_SCANCODE_GRAVE, key::kGrave}, {SDL_SCANCODE_LSHIFT, key::kLeftShift},
    {SDL_SCANCODE_BACKSLASH, key::kBackslash}, {SDL_SCANCODE_NONUSHASH, key::kBackslash},
    {SDL_SCANCODE_Z, 0x2C}, {SDL_SCANCODE_X, 0x2D}, {SDL_SCANCODE_C, 0x2E}, {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30}, {SDL_SCANCODE_N, 0x31}, {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, key::kComma}, {SDL_SCANCODE_PERIOD, key::kPeriod}, {SDL_SCANCODE_SLASH, key::kSlash},
    {SDL_SCANCODE_RSHIFT, key::kRightShift}, {SDL_SCANCODE_KP_MULTIPLY, key::kMultiply},
    {SDL_SCANCODE_LALT, key::kLeftMenu}, {SDL_SCANCODE_SPACE, key::kSpace},
    {SDL_SCANCODE_CAPSLOCK, key::kCapital},
    {SDL_SCANCODE_F1, 0x3B}, {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D}, {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F}, {SDL_SCANCODE_F6, 0x40}, {SDL_SCANCODE_F7, 0x41}, {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43}, {SDL_SCANCODE_F10, key::kF10},
    {SDL_SCANCODE_NUMLOCKCLEAR, key::kNumLock}, {SDL_SCANCODE_SCROLLLOCK, key::kScroll},
    {SDL_SCANCODE_KP_7, key::kNumpad7}, {SDL_SCANCODE_KP_8, key::kNumpad8}, {SDL_SCANCODE_KP_9, key::kNumpad9},
    {SDL_SCANCODE_KP_MINUS, key::kSubtract},
    {SDL_SCANCODE_KP_4, key::kNumpad4}, {SDL_SCANCODE_KP_5, key::kNumpad5}, {SDL_SCANCODE_KP_6, key::kNumpad6},
    {SDL_SCANCODE_KP_PLUS, key::kAdd},
    {SDL_SCANCODE_KP_1, key::kNumpad1}, {SDL_SCANCODE_KP_2, key::kNumpad2}, {SDL_SCANCODE_KP_3, key::kNumpad3},
    {SDL_SCANCODE_KP_0, key::kNumpad0}, {SDL_SCANCODE_KP_PERIOD, key::kDecimal},
    {SDL_SCANCODE_NONUSBACKSLASH, key::kOem102},
    {SDL_SCANCODE_F11, key::kF11}, {SDL_SCANCODE_F12, key::kF12},
    {SDL_SCANCODE_F13, key::kF13}, {SDL_SCANCODE_F14, key::kF14}, {SDL_SCANCODE_F15, key::kF15},
    {SDL_SCANCODE_INTERNATIONAL2, key::kKana}, {SDL_SCANCODE_LANG3, key::kKana}, {SDL_SCANCODE_LANG4, key::kKana},
    {SDL_SCANCODE_INTERNATIONAL1, key::kAbntC1},
    {SDL_SCANCODE_INTERNATIONAL4, key::kConvert}, {SDL_SCANCODE_INTERNATIONAL5, key::kNoConvert},
    {SDL_SCANCODE_INTERNATIONAL3, key::kYen}, {SDL_SCANCODE_LANG5, key::kKanji},
    {SDL_SCANCODE_KP_EQUALS, key::kNumpadEquals},
    {SDL_SCANCODE_KP_ENTER, key::kNumpadEnter}, {SDL_SCANCODE_RCTRL, key::kRightControl},
    {SDL_SCANCODE_MUTE, key::kMute}, {SDL_SCANCODE_VOLUMEDOWN, key::kVolumeDown},
    {SDL_SCANCODE_VOLUMEUP, key::kVolumeUp}, {SDL_SCANCODE_KP_COMMA, key::kNumpadComma},
    {SDL_SCANCODE_KP_DIVIDE, key::kDivide}, {SDL_SCANCODE_PRINTSCREEN, key::kSysRq},
    {SDL_SCANCODE_RALT, key::kRightMenu}, {SDL_SCANCODE_PAUSE, key::kPause},
    {SDL_SCANCODE_HOME, key::kHome}, {SDL_SCANCODE_UP, key::kUp}, {SDL_SCANCODE_PAGEUP, key::kPrior},
    {SDL_SCANCODE_LEFT, key::kLeft}, {SDL_SCANCODE_RIGHT, key::kRight}, {SDL_SCANCODE_END, key::kEnd},
    {SDL_SCANCODE_DOWN, key::kDown}, {SDL_SCANCODE_PAGEDOWN, key::kNext},
    {SDL_SCANCODE_INSERT, key::kInsert}, {SDL_SCANCODE_DELETE, key::kDelete},
    {SDL_SCANCODE_LGUI, key::kLeftWindows}, {SDL_SCANCODE_RGUI, key::kRightWindows},
    {SDL_SCANCODE_APPLICATION, key::kApps},
};

// A Japanese keyboard's keys at the US punctuation places, with the codes a
// Japanese system gives them.
constexpr Entry kJisOverrides[] = {
    {SDL_SCANCODE_GRAVE, key::kKanji},              // hankaku/zenkaku
    {SDL_SCANCODE_EQUALS, key::kCircumflex},        // ^
    {SDL_SCANCODE_LEFTBRACKET, key::kAt},           // @
    {SDL_SCANCODE_RIGHTBRACKET, key::kLeftBracket}, // [
    {SDL_SCANCODE_BACKSLASH, key::kRightBracket},   // ]
    {SDL_SCANCODE_NONUSHASH, key::kRightBracket},
    {SDL_SCANCODE_APOSTROPHE, key::kColon},         // :
    {SDL_SCANCODE_INTERNATIONAL1, key::kBackslash}, // \ and "ro"
};

using Table = std::array<uint8_t, SDL_NUM_SCANCODES>;

Table BuildTable(KeyboardLayout layout) {
    Table table{};
    for (const auto& entry : kPositional) table[entry.scancode] = entry.code;
    if (layout == KeyboardLayout::kJis) {
        for (const auto& entry : kJisOverrides) table[entry.scancode] = entry.code;
    }
    return table;
}

}  // namespace

uint8_t KeyCodeFromScancode(int scancode, KeyboardLayout layout) {
    static const Table us = BuildTable(KeyboardLayout::kUs);
    static const Table jis = BuildTable(KeyboardLayout::kJis);
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return (layout == KeyboardLayout::kJis ? jis : us)[static_cast<size_t>(scancode)];
}

}  // namespace velk::platform
