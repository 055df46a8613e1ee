#include <SDL.h>
#include <gtest/gtest.h>

#include <set>

#include "platform/input/input_devices.h"
#include "platform/input/key_codes.h"
#include "platform/input/scancode_map.h"

namespace velk::platform {
namespace {

TEST(KeyCodes, KeysByPositionOnAUsKeyboard) {
    constexpr auto kUs = KeyboardLayout::kUs;
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_ESCAPE, kUs), key::kEscape);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_A, kUs), 0x1E);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_Z, kUs), 0x2C);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_M, kUs), 0x32);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_0, kUs), 0x0B);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_F10, kUs), 0x44);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_F11, kUs), 0x57);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_LEFT, kUs), 0xCB);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_RIGHT, kUs), 0xCD);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_UP, kUs), 0xC8);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_DOWN, kUs), 0xD0);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_KP_2, kUs), 0x50);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_KP_8, kUs), 0x48);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_KP_0, kUs), 0x52);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_KP_ENTER, kUs), 0x9C);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_RCTRL, kUs), 0x9D);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_RALT, kUs), 0xB8);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_DELETE, kUs), 0xD3);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_LEFTBRACKET, kUs), 0x1A);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_GRAVE, kUs), 0x29);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_UNKNOWN, kUs), 0);
    EXPECT_EQ(KeyCodeFromScancode(-5, kUs), 0);
    EXPECT_EQ(KeyCodeFromScancode(100000, kUs), 0);
}

TEST(KeyCodes, JapaneseKeys) {
    constexpr auto kJis = KeyboardLayout::kJis;
    // The keys only a Japanese keyboard has give the same codes either way.
    for (auto layout : {KeyboardLayout::kUs, kJis}) {
        EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL2, layout), key::kKana);
        EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL3, layout), key::kYen);
        EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL4, layout), key::kConvert);
        EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL5, layout), key::kNoConvert);
        EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_LANG5, layout), key::kKanji);
        EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_A, layout), 0x1E);
    }
    // The punctuation keys at the US places.
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_GRAVE, kJis), key::kKanji);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_EQUALS, kJis), key::kCircumflex);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_LEFTBRACKET, kJis), key::kAt);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_RIGHTBRACKET, kJis), key::kLeftBracket);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_BACKSLASH, kJis), key::kRightBracket);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_APOSTROPHE, kJis), key::kColon);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_SEMICOLON, kJis), key::kSemicolon);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL1, kJis), key::kBackslash);
    EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_CAPSLOCK, kJis), key::kCapital);
}

TEST(KeyCodes, NoTwoUsKeysShareACode) {
    std::set<uint8_t> seen;
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        // Keys that are one key on some keyboards and another on others.
        if (scancode == SDL_SCANCODE_NONUSHASH || scancode == SDL_SCANCODE_LANG3 || scancode == SDL_SCANCODE_LANG4) {
            continue;
        }
        const uint8_t code = KeyCodeFromScancode(scancode, KeyboardLayout::kUs);
        if (code == 0) continue;
        EXPECT_TRUE(seen.insert(code).second) << "code " << int{code} << " twice, scancode " << scancode;
    }
    EXPECT_GT(seen.size(), 100u);
}

TEST(JoystickScale, MatchesTheRangeAndDeadZone) {
    EXPECT_EQ(ScaleJoystickPosition(0), -1000);
    EXPECT_EQ(ScaleJoystickPosition(10000), -593);
    EXPECT_EQ(ScaleJoystickPosition(24575), 0);
    EXPECT_EQ(ScaleJoystickPosition(30000), 0);
    EXPECT_EQ(ScaleJoystickPosition(32767), 0);
    EXPECT_EQ(ScaleJoystickPosition(40960), 0);
    EXPECT_EQ(ScaleJoystickPosition(50000), 367);
    EXPECT_EQ(ScaleJoystickPosition(65534), 999);
    EXPECT_EQ(ScaleJoystickPosition(65535), 1000);
    EXPECT_EQ(ScaleSdlAxis(-32768), -1000);
    EXPECT_EQ(ScaleSdlAxis(32767), 1000);
    EXPECT_EQ(ScaleSdlAxis(0), 0);
    EXPECT_EQ(ScaleSdlAxis(-8000), 0);  // inside the quarter-range dead zone
    EXPECT_LT(ScaleSdlAxis(-9000), 0);
}

TEST(SdlInputDevices, StartWithoutDevicesHeadless) {
    auto devices = CreateSdlInputDevices();
    uint8_t keys[256];
    devices->ReadKeyboard(keys);
    for (uint8_t key_state : keys) EXPECT_EQ(key_state, 0);
    EXPECT_EQ(devices->MouseButtons(), 0u);
    JoystickState state;
    EXPECT_FALSE(devices->ReadJoypad(0, &state));
    EXPECT_FALSE(devices->ReadJoypad(99, &state));
}

// Nothing pumps SDL's events here: a read of the pad alone must bring in what
// the pad reported since the last read, and a pad pulled out reads no more.
TEST(SdlInputDevices, AReadTakesThePadsNewsWithoutAnEventPump) {
    auto devices = CreateSdlInputDevices();
    const int before = devices->JoypadCount();
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 4, 1);
    if (device < 0) GTEST_SKIP() << "no virtual joysticks in this SDL: " << SDL_GetError();
    ASSERT_EQ(devices->JoypadCount(), before + 1);
    ASSERT_LT(device, kMaxJoypads);
    JoystickInfo info;
    ASSERT_TRUE(devices->OpenJoypad(device, &info));
    SDL_Joystick* pad = SDL_JoystickOpen(device);
    ASSERT_NE(pad, nullptr);

    JoystickState state;
    ASSERT_TRUE(devices->ReadJoypad(device, &state));
    EXPECT_EQ(state.x, 0);
    EXPECT_EQ(state.buttons[2], 0);
    for (int round = 0; round < 2; ++round) {
        const bool pressed = round == 0;
        SDL_JoystickSetVirtualAxis(pad, 0, pressed ? -32768 : 0);
        SDL_JoystickSetVirtualAxis(pad, 1, pressed ? 32767 : 0);
        SDL_JoystickSetVirtualButton(pad, 2, pressed ? SDL_PRESSED : SDL_RELEASED);
        SDL_JoystickSetVirtualHat(pad, 0, pressed ? SDL_HAT_RIGHTDOWN : SDL_HAT_CENTERED);
        // The window's event pump, which runs a thousand times a second while
        // the program waits, leaves the pads alone.
        SDL_PumpEvents();
        EXPECT_EQ(SDL_JoystickGetButton(pad, 2), pressed ? 0 : 1) << round;
        ASSERT_TRUE(devices->ReadJoypad(device, &state));
        EXPECT_EQ(state.x, pressed ? -1000 : 0) << round;
        EXPECT_EQ(state.y, pressed ? 1000 : 0) << round;
        EXPECT_EQ(state.buttons[1], 0) << round;
        EXPECT_EQ(state.buttons[2], pressed ? 0x80 : 0) << round;
        EXPECT_EQ(state.pov[0], pressed ? 13500u : 0xFFFFFFFFu) << round;
    }

    SDL_JoystickClose(pad);
    ASSERT_EQ(SDL_JoystickDetachVirtual(device), 0);
    EXPECT_FALSE(devices->ReadJoypad(device, &state));
    EXPECT_EQ(devices->JoypadCount(), before);
    devices->CloseJoypad(device);
}

}  // namespace
}  // namespace velk::platform
