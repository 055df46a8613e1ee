#include <gtest/gtest.h>

#include "lib/core/input/clipboard_text.h"
#include "lib/core/library.h"
#include "tests/lib/core/input/input_fixture.h"

namespace velk {
namespace {

namespace key = platform::key;

using DeviceInputTest = InputTest;

TEST_F(DeviceInputTest, ReadingKeysBeforeInputStartedStartsItAndReads) {
    devices.SetKey(key::kX, true);
    ASSERT_FALSE(IsInputStarted());
    char keys[256];
    std::fill(std::begin(keys), std::end(keys), 7);
    EXPECT_EQ(GetAllKeyStates(keys), 0);
    EXPECT_TRUE(IsInputStarted());
    for (int code = 0; code < 256; ++code) EXPECT_EQ(keys[code], code == key::kX ? 1 : 0) << code;
}

TEST_F(DeviceInputTest, TheKeyboardReachesPadOneWithTheGamesFlags) {
    EXPECT_EQ(GetPadInputState(0x1001), 0);
    devices.SetKey(key::kLeft, true);
    EXPECT_EQ(GetPadInputState(0x1001), kPadLeft);
    EXPECT_EQ(GetPadInputState(1), 0);  // no joypad and no keyboard flag
    devices.SetKey(key::kLeft, false);
    devices.SetKey(key::kNumpad8, true);
    devices.SetKey(key::kZ, true);
    devices.SetKey(key::kSpace, true);
    devices.SetKey(key::kEscape, true);
    EXPECT_EQ(GetPadInputState(0x1001), kPadUp | 1 << 4 | 1 << 12 | 1 << 13);
    devices.SetKey(key::kNumpad8, false);
    devices.SetKey(key::kDown, true);
    devices.SetKey(key::kW, true);
    EXPECT_EQ(GetPadInputState(0x1001) & (kPadDown | 1 << 11), kPadDown | 1 << 11);
    // Type 0x1000 is the keyboard alone; pad numbers above 16 read nothing.
    EXPECT_NE(GetPadInputState(0x1000), 0);
    EXPECT_EQ(GetPadInputState(0x1000 | 17), 0);
    EXPECT_EQ(GetPadInputState(0x1000 | 0xFFF), 0);
}

TEST_F(DeviceInputTest, JoypadsGiveDirectionsAndButtons) {
    const int pad = devices.AddJoypad({"Pad", "Pad Product"});
    InitInput();
    ASSERT_EQ(GetJoypadCount(), 1);
    auto& state = devices.Joypad(pad);
    state.x = -1000;
    state.y = 300;
    state.buttons[0] = 0x80;
    state.buttons[23] = 0x80;
    state.buttons[24] = 0x80;  // beyond the 24 buttons the bits hold
    clock.AdvanceMilliseconds(1);
    EXPECT_EQ(GetPadInputState(1), kPadLeft | kPadDown | 1 << 4 | 1 << 27);
    EXPECT_EQ(GetPadInputState(2), 0);  // out of range while pads exist
    // A pad that stops answering keeps its last state.
    devices.SetJoypadReadable(pad, false);
    clock.AdvanceMilliseconds(1);
    EXPECT_EQ(GetPadInputState(1), kPadLeft | kPadDown | 1 << 4 | 1 << 27);
}

TEST_F(DeviceInputTest, AtMostSixteenJoypadsAndFailuresLeaveNoGap) {
    devices.AddJoypad({"Broken", "Broken"}, false);
    for (int i = 0; i < 17; ++i) devices.AddJoypad({"Pad", "Pad"});
    InitInput();
    EXPECT_EQ(GetJoypadCount(), 16);
    devices.Joypad(1).buttons[1] = 0x80;  // the first pad that opened
    EXPECT_EQ(GetPadInputState(1), 1 << 5);
    TerminateInput();
    EXPECT_FALSE(devices.JoypadOpen(1));
}

TEST_F(DeviceInputTest, AnyInputSkipsLockKeysAndSeesPadsAndTheMouse) {
    devices.SetKey(key::kCapital, true);
    devices.SetKey(key::kKana, true);
    devices.SetKey(key::kKanji, true);
    EXPECT_EQ(CheckAnyInput(1), 0);
    SetF10HeldFlag(true);
    EXPECT_EQ(CheckAnyInput(1), key::kF10);
    SetF10HeldFlag(false);
    devices.SetKey(key::kX, true);
    devices.SetKey(key::kZ, true);
    EXPECT_EQ(CheckAnyInput(1), key::kZ);  // the lowest code
    devices.SetKey(key::kX, false);
    devices.SetKey(key::kZ, false);

    const int pad = devices.AddJoypad();
    TerminateInput();
    InitInput();
    devices.Joypad(pad).buttons[3] = 0x80;
    EXPECT_EQ(CheckAnyInput(1), -1);
    EXPECT_EQ(CheckAnyInput(4), 0);
    devices.Joypad(pad).buttons[3] = 0;

    Rect client;
    GetWindowClientRect(&client);
    platform::SetCursorScreenPosition(client.left + 10, client.top + 10);
    devices.SetMouseButtons(1);
    EXPECT_EQ(CheckAnyInput(4), -1);
    EXPECT_EQ(GetMouseButtonState(), 1);
    platform::SetCursorScreenPosition(client.left - 5, client.top + 10);
    EXPECT_EQ(CheckAnyInput(4), 0);
}

TEST_F(DeviceInputTest, VibrationStaysOffAndStopping) {
    const int pad = devices.AddJoypad();
    InitInput();
    PollInput();
    EXPECT_EQ(StopJoypadVibration(1), 0);
    EXPECT_EQ(StopJoypadVibration(40), -1);
    (void)pad;
}

TEST_F(DeviceInputTest, WaitForAnyKeyWaitsForAReleaseThenAPress) {
    RegisterMessageProcessingBody();
    devices.SetKey(key::kReturn, true);
    int passes = 0;
    SetIdleSleepFunction([&](uint32_t milliseconds) {
        clock.AdvanceMilliseconds(milliseconds);
        ++passes;
        if (passes == 3) devices.SetKey(key::kReturn, false);
        if (passes == 6) devices.SetKey(key::kC, true);
    });
    EXPECT_EQ(WaitForAnyKey(), key::kC);
    EXPECT_EQ(passes, 6);
    // The program's end ends the wait.
    devices.SetKey(key::kC, false);
    platform::PostQuit(0);
    EXPECT_EQ(WaitForAnyKey(), 0);
    SetLibraryLifeBodies({});
}

TEST_F(DeviceInputTest, TheWindowPassesPollingAndTheF10FlagOn) {
    RegisterInputWithWindow();
    InitInput();
    platform::PostWindowMessage(window(), platform::msg::kF10Held, 1, 0);
    ProcessMessagesBody();
    EXPECT_EQ(CheckAnyInput(1), key::kF10);
    platform::PostWindowMessage(window(), platform::msg::kF10Held, 0, 0);
    ProcessMessagesBody();
    EXPECT_EQ(CheckAnyInput(1), 0);
}

TEST_F(DeviceInputTest, ClipboardTextIsCutToWholeCharacters) {
    SetClipboardText("ab\x82\xA0");
    EXPECT_EQ(GetClipboardText(nullptr, 0), 6);
    char buffer[4];
    EXPECT_EQ(GetClipboardText(buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "ab");
    char whole[8];
    GetClipboardText(whole, sizeof(whole));
    EXPECT_STREQ(whole, "ab\x82\xA0");
    backend.SetClipboard(std::nullopt);
    EXPECT_EQ(GetClipboardText(whole, sizeof(whole)), -1);
}

}  // namespace
}  // namespace velk
