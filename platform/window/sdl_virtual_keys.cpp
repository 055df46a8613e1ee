#include "platform/window/sdl_virtual_keys.h"

#include "platform/window/window_messages.h"

namespace velk::platform {

namespace {

struct ScancodeKey {
    SDL_Scancode scancode;
    uint32_t key;
};

constexpr ScancodeKey kPositionalKeys[] = {
    {SDL_SCANCODE_BACKSPACE, vk::kBack},
    {SDL_SCANCODE_TAB, vk::kTab},
    {SDL_SCANCODE_RETURN, vk::kReturn},
    {SDL_SCANCODE_KP_ENTER, vk::kReturn},
    {SDL_SCANCODE_LSHIFT, vk::kShift},
    {SDL_SCANCODE_RSHIFT, vk::kShift},
    {SDL_SCANCODE_LCTRL, vk::kControl},
    {SDL_SCANCODE_RCTRL, vk::kControl},
    {SDL_SCANCODE_LALT, vk::kMenu},
    {SDL_SCANCODE_RALT, vk::kMenu},
    {SDL_SCANCODE_PAUSE, vk::kPause},
    {SDL_SCANCODE_CAPSLOCK, vk::kCapital},
    // The half-width/full-width key switches the input method on and off:
    // on a JIS keyboard it lies where the grave key lies on others.
    {SDL_SCANCODE_LANG5, vk::kKanji},
    {SDL_SCANCODE_GRAVE, vk::kKanji},
    {SDL_SCANCODE_LANG3, vk::kKana},
    {SDL_SCANCODE_INTERNATIONAL2, vk::kKana},
    {SDL_SCANCODE_ESCAPE, vk::kEscape},
    {SDL_SCANCODE_INTERNATIONAL4, vk::kConvert},
    {SDL_SCANCODE_INTERNATIONAL5, vk::kNonConvert},
    {SDL_SCANCODE_SPACE, vk::kSpace},
    {SDL_SCANCODE_PAGEUP, vk::kPrior},
    {SDL_SCANCODE_PAGEDOWN, vk::kNext},
    {SDL_SCANCODE_END, vk::kEnd},
    {SDL_SCANCODE_HOME, vk::kHome},
    {SDL_SCANCODE_LEFT, vk::kLeft},
    {SDL_SCANCODE_UP, vk::kUp},
    {SDL_SCANCODE_RIGHT, vk::kRight},
    {SDL_SCANCODE_DOWN, vk::kDown},
    {SDL_SCANCODE_PRINTSCREEN, vk::kSnapshot},
    {SDL_SCANCODE_INSERT, vk::kInsert},
    {SDL_SCANCODE_DELETE, vk::kDelete},
    {SDL_SCANCODE_KP_MULTIPLY, vk::kMultiply},
    {SDL_SCANCODE_KP_PLUS, vk::kAdd},
    {SDL_SCANCODE_KP_MINUS, vk::kSubtract},
    {SDL_SCANCODE_KP_PERIOD, vk::kDecimal},
    {SDL_SCANCODE_KP_DIVIDE, vk::kDivide},
    {SDL_SCANCODE_NUMLOCKCLEAR, vk::kNumLock},
    {SDL_SCANCODE_SCROLLLOCK, vk::kScroll},
    {SDL_SCANCODE_SEMICOLON, vk::kOemPlus},  // JIS: ';' '+'
    {SDL_SCANCODE_APOSTROPHE, vk::kOem1},    // JIS: ':' '*'
    {SDL_SCANCODE_COMMA, vk::kOemComma},
    {SDL_SCANCODE_MINUS, vk::kOemMinus},
    {SDL_SCANCODE_PERIOD, vk::kOemPeriod},
    {SDL_SCANCODE_SLASH, vk::kOem2},
    {SDL_SCANCODE_LEFTBRACKET, vk::kOem3},   // JIS: '@'
    {SDL_SCANCODE_EQUALS, vk::kOem7},        // JIS: '^'
    {SDL_SCANCODE_RIGHTBRACKET, vk::kOem4},  // JIS: '['
    {SDL_SCANCODE_BACKSLASH, vk::kOem6},     // JIS: ']'
    {SDL_SCANCODE_NONUSHASH, vk::kOem6},
    {SDL_SCANCODE_INTERNATIONAL3, vk::kOem5},  // yen
    {SDL_SCANCODE_INTERNATIONAL1, vk::kOem102},  // backslash, '_'
    {SDL_SCANCODE_NONUSBACKSLASH, vk::kOem102},
};

}  // namespace

uint32_t VirtualKeyFromSdl(SDL_Scancode scancode, SDL_Keycode symbol) {
    if (symbol >= SDLK_a && symbol <= SDLK_z) return vk::kLetterA + static_cast<uint32_t>(symbol - SDLK_a);
    if (symbol >= SDLK_0 && symbol <= SDLK_9) return vk::kDigit0 + static_cast<uint32_t>(symbol - SDLK_0);
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return vk::kLetterA + static_cast<uint32_t>(scancode - SDL_SCANCODE_A);
    }
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return vk::kDigit0 + 1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_1);
    }
    if (scancode == SDL_SCANCODE_0) return vk::kDigit0;
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
        return vk::kF1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F1);
    }
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) {
        return vk::kNumpad0 + 1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_KP_1);
    }
    if (scancode == SDL_SCANCODE_KP_0) return vk::kNumpad0;
    for (const auto& entry : kPositionalKeys) {
        if (entry.scancode == scancode) return entry.key;
    }
    return 0;
}

}  // namespace velk::platform
