#include "lib/core/input/device_input.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "lib/core/input/input_log_texts.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/base/clock.h"
#include "platform/input/input_devices.h"
#include "platform/input/key_codes.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

namespace key = platform::key;

constexpr int kPadBits = 32;
constexpr int kKeysPerBit = 4;
constexpr int kFullPower = 10000;

struct Vibration {
    bool on = false;
    int power = kFullPower;
    int duration = -1;
    int elapsed = 0;
    int32_t last_count = 0;
    bool constant_running = false;
    bool sine_running = false;
};

struct PadState {
    bool open = false;
    int device = -1;  // the device's index among the attached ones
    platform::JoystickState joystick;
    int32_t last_poll = -1;
    Vibration vibration;
    std::string instance_name;
    std::string product_name;
};

struct InputState {
    bool started = false;
    int32_t keyboard_poll_time = -1;
    std::array<uint8_t, 256> key_states{};
    int32_t key_map[platform::kMaxJoypads][kPadBits][kKeysPerBit]{};
    int pad_count = 0;
    std::array<PadState, platform::kMaxJoypads> pads;
    bool f10_held = false;
};

InputState& State() {
    static InputState state;
    return state;
}

platform::InputDevices& Devices() { return platform::ActiveInputDevices(); }

struct MapEntry {
    int bit;
    int32_t keys[2];
};

// Pad 1's keys: the arrows and the numeric pad move, Z X C A S D Q W Esc
// Space are buttons 1 to 10.
constexpr MapEntry kPadOneKeys[] = {
    {0, {key::kNumpad2, key::kDown}},  {1, {key::kNumpad4, key::kLeft}}, {2, {key::kNumpad6, key::kRight}},
    {3, {key::kNumpad8, key::kUp}},    {4, {key::kZ, -1}},               {5, {key::kX, -1}},
    {6, {key::kC, -1}},                {7, {key::kA, -1}},               {8, {key::kS, -1}},
    {9, {key::kD, -1}},                {10, {key::kQ, -1}},              {11, {key::kW, -1}},
    {12, {key::kEscape, -1}},          {13, {key::kSpace, -1}},
};

void FillKeyMap(InputState& state) {
    for (auto& pad : state.key_map) {
        for (auto& bit : pad) {
            bit[0] = -1;
            bit[1] = -1;
            bit[2] = 0;
            bit[3] = 0;
        }
    }
    for (const auto& entry : kPadOneKeys) {
        state.key_map[0][entry.bit][0] = entry.keys[0];
        state.key_map[0][entry.bit][1] = entry.keys[1];
    }
}

void ReleasePads(InputState& state) {
    for (PadState& pad : state.pads) {
        if (pad.open) Devices().CloseJoypad(pad.device);
        pad = PadState{};
    }
    state.pad_count = 0;
}

void InitJoypads(InputState& state) {
    ReleasePads(state);
    WriteLog(input_log_text::kJoypads);
    const int attached = Devices().JoypadCount();
    for (int index = 0; index < attached && state.pad_count < platform::kMaxJoypads; ++index) {
        WriteLog(input_log_text::kDeviceFound);
        platform::JoystickInfo info;
        if (!Devices().OpenJoypad(index, &info)) {
            WriteLog(input_log_text::kDeviceFailed);
            continue;
        }
        IncreaseLogIndent();
        WriteLogFormat(input_log_text::kInstanceName, info.instance_name.c_str());
        WriteLogFormat(input_log_text::kProductName, info.product_name.c_str());
        DecreaseLogIndent();
        // A device that fails leaves no gap: pads are numbered as they are added.
        PadState& pad = state.pads[state.pad_count];
        pad.open = true;
        pad.device = index;
        pad.instance_name = std::move(info.instance_name);
        pad.product_name = std::move(info.product_name);
        pad.vibration = Vibration{};
        ++state.pad_count;
        WriteLog(input_log_text::kJoypadAdded);
    }
    WriteLog(input_log_text::kJoypadsDone);
}

// Readers start input when it has not been started and the window still
// exists; they then read, so the first read already sees the devices.
bool EnsureStarted() {
    InputState& state = State();
    if (!state.started && GetWindowCloseFlag() == 0) InitInput();
    return state.started;
}

bool UpdateKeyboardState() {
    InputState& state = State();
    if (!state.started) return false;
    const int32_t now = platform::Milliseconds31();
    if (now == state.keyboard_poll_time && !Devices().KeyboardChanged()) return false;
    if (ProcessMessagesBody() != 0) return false;
    std::array<uint8_t, 256> read{};
    if (!Devices().ReadKeyboard(read.data())) return false;
    state.key_states = read;
    state.keyboard_poll_time = now;
    return true;
}

int UpdateJoypadState(int index) {
    InputState& state = State();
    if (index < 0 || index >= platform::kMaxJoypads) return -1;
    PadState& pad = state.pads[index];
    if (!pad.open) {
        pad.joystick = platform::JoystickState{};
        return 0;
    }
    const int32_t now = platform::Milliseconds31();
    if (now == pad.last_poll && !Devices().JoypadChanged(pad.device)) return 0;
    pad.last_poll = now;
    platform::JoystickState read;
    if (!Devices().ReadJoypad(pad.device, &read)) {
        if (ProcessMessagesBody() != 0 || !state.started) return -1;
        if (!Devices().ReadJoypad(pad.device, &read)) return 0;  // the previous state stays
    }
    pad.joystick = read;
    return 0;
}

int JoypadBits(int index) {
    UpdateJoypadState(index);
    const platform::JoystickState& joystick = State().pads[index].joystick;
    int bits = 0;
    if (joystick.x < 0) bits |= kPadLeft;
    if (joystick.x > 0) bits |= kPadRight;
    if (joystick.y < 0) bits |= kPadUp;
    if (joystick.y > 0) bits |= kPadDown;
    for (int button = 0; button < 24; ++button) {
        if ((joystick.buttons[button] & 0x80) != 0) bits |= 1 << (4 + button);
    }
    return bits;
}

bool KeyDown(int code) { return code >= 0 && code < 256 && (State().key_states[code] & 0x80) != 0; }

void UpdatePadEffects(PadState& pad, bool active) {
    const bool constant = active && pad.vibration.on;
    const bool sine = active && pad.vibration.on && pad.vibration.power > 5000;
    if (constant == pad.vibration.constant_running && sine == pad.vibration.sine_running) return;
    pad.vibration.constant_running = constant;
    pad.vibration.sine_running = sine;
    Devices().SetJoypadEffects(pad.device, constant, sine);
}

}  // namespace

int InitInput() {
    InputState& state = State();
    if (state.started) return 0;
    ReleasePads(state);
    state = InputState{};

    WriteLog(input_log_text::kStart);
    IncreaseLogIndent();
    WriteLog(input_log_text::kGetting7);
    WriteLog(input_log_text::kSuccess);
    IncreaseLogIndent();
    WriteLog(input_log_text::kContinue);
    WriteLog(input_log_text::kInitialized);

    if (GetMainWindowHWND() != 0) platform::BringAppWindowToTop(GetMainWindowHWND());
    ProcessMessagesBody();
    InitJoypads(state);
    WriteLog(input_log_text::kMouse);
    WriteLog(input_log_text::kInitialized);
    WriteLog(input_log_text::kKeyboard);
    WriteLog(input_log_text::kInitialized);
    state.keyboard_poll_time = -1;
    WriteLog(input_log_text::kAllDone);
    DecreaseLogIndent();
    DecreaseLogIndent();

    // The key map is filled however the devices came up, so the keyboard
    // always reaches pad 1.
    FillKeyMap(state);
    state.started = true;
    return 0;
}

int TerminateInput() {
    InputState& state = State();
    if (!state.started) return 0;
    WriteLog(input_log_text::kEnd);
    ReleasePads(state);
    state = InputState{};
    return 0;
}

void PollInput() {
    InputState& state = State();
    if (!state.started) return;
    const int32_t now = platform::Milliseconds31();
    for (PadState& pad : state.pads) {
        Vibration& vibration = pad.vibration;
        if (!pad.open || !vibration.on || vibration.duration < 0) continue;
        const int32_t advance = now - vibration.last_count;
        vibration.last_count = now;
        if (advance < 0) continue;  // the clock went back: count again from here
        vibration.elapsed += advance;
        if (vibration.elapsed >= vibration.duration) {
            vibration.on = false;
            vibration.power = kFullPower;
        }
    }
    UpdateJoypadEffects();
}

void ReacquireInputDevices() {
    // The next read goes to the devices again.
    State().keyboard_poll_time = -1;
    for (PadState& pad : State().pads) pad.last_poll = -1;
}

void UpdateJoypadEffects() {
    InputState& state = State();
    if (!state.started) return;
    const bool active = GetWindowActiveFlag() != 0;
    for (PadState& pad : state.pads) {
        if (pad.open) UpdatePadEffects(pad, active);
    }
}

void SetF10HeldFlag(bool held) { State().f10_held = held; }

int GetAllKeyStatesBody(char* buffer) {
    WaitWhileInactive();
    EnsureStarted();
    UpdateKeyboardState();
    for (int code = 0; code < 256; ++code) buffer[code] = KeyDown(code) ? 1 : 0;
    return 0;
}

int CheckKeyDown(int key_code) {
    WaitWhileInactive();
    EnsureStarted();
    UpdateKeyboardState();
    return KeyDown(key_code) ? 1 : 0;
}

int GetPadInputStateBody(int input_type) {
    WaitWhileInactive();
    if (!EnsureStarted()) return 0;
    InputState& state = State();
    const int p = (input_type & ~kPadWithKeyboard) - 1;
    const bool with_keyboard = (input_type & kPadWithKeyboard) != 0;
    // A pad number outside 1-16 reads nothing (-1 with the keyboard flag is
    // the keyboard alone).
    if (p < -1 || p >= platform::kMaxJoypads) return 0;
    if ((p == -1 || p >= state.pad_count) && state.pad_count > 0 && !with_keyboard) return 0;
    int bits = 0;
    if (p >= 0 && p < state.pad_count) bits = JoypadBits(p);
    if (with_keyboard) {
        UpdateKeyboardState();
        const auto& map = state.key_map[std::max(p, 0)];
        for (int bit = 0; bit < kPadBits; ++bit) {
            for (int code : map[bit]) {
                if (code >= 0 && KeyDown(code)) bits |= static_cast<int>(1u << bit);
            }
        }
    }
    return bits;
}

int GetMouseButtonStateBody() {
    const uint32_t buttons = Devices().MouseButtons();
    return static_cast<int>(buttons & 0xFF);
}

int CheckAnyInputBody(int flags) {
    WaitWhileInactive();
    EnsureStarted();
    InputState& state = State();
    if ((flags & 1) != 0) {
        UpdateKeyboardState();
        for (int code = 0; code < 256; ++code) {
            if (code == key::kKanji || code == key::kCapital || code == key::kKana) continue;  // lock keys
            if (KeyDown(code)) return code;
        }
        if (state.f10_held) return key::kF10;
        for (int pad = 1; pad <= state.pad_count; ++pad) {
            if (GetPadInputStateBody(pad) != 0) return -1;
        }
    }
    if ((flags & 4) != 0) {
        int x = 0;
        int y = 0;
        GetMousePosition(&x, &y);
        const Rect client = platform::GetClientArea(GetMainWindowHWND());
        if (x >= 0 && y >= 0 && x <= client.right && y <= client.bottom && GetWindowActiveFlag() != 0 &&
            GetMouseButtonStateBody() != 0) {
            return -1;
        }
    }
    return 0;
}

int StopJoypadVibration(int pad_number) {
    WaitWhileInactive();
    if (!EnsureStarted()) return 0;
    const int index = pad_number - 1;
    if (index < 0 || index >= platform::kMaxJoypads) return -1;
    PadState& pad = State().pads[index];
    pad.vibration.on = false;
    pad.vibration.power = kFullPower;
    UpdateJoypadEffects();
    return 0;
}

int GetAllKeyStates(char* buffer) { return GetAllKeyStatesBody(buffer); }
int GetPadInputState(int input_type) { return GetPadInputStateBody(input_type); }
int GetMouseButtonState() { return GetMouseButtonStateBody(); }
int CheckAnyInput(int flags) { return CheckAnyInputBody(flags); }

void RegisterInputWithWindow() {
    WindowInputServices services;
    services.poll_input = [] { PollInput(); };
    services.reacquire_input_devices = [] { ReacquireInputDevices(); };
    services.update_joypad_effects = [] { UpdateJoypadEffects(); };
    services.set_f10_held = [](bool held) { SetF10HeldFlag(held); };
    SetWindowInputServices(std::move(services));
}

bool IsInputStarted() { return State().started; }
int GetJoypadCount() { return State().pad_count; }

}  // namespace velk
