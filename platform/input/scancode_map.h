#pragma once
// Which key code each physical key gives. Keys are found by position (SDL's
// scancodes); the punctuation keys of a Japanese keyboard give the codes a
// Japanese system reports for them, which differ from the US ones at the
// same places.

#include <cstdint>

namespace velk::platform {

enum class KeyboardLayout { kUs, kJis };

// The key code of an SDL scancode, 0 for a key without one.
uint8_t KeyCodeFromScancode(int scancode, KeyboardLayout layout);

}  // namespace velk::platform
