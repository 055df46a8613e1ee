#include "lib/core/input/device_input.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "lib/core/input/input_log_texts.h"
#include "lib/core/library.h"
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
    bool four_axes = false;
    Vibration vibration;
    std::string instance_name;
    std::string product_name;
};

struct InputState {
    bool started = false;
    // Input runs without the device layer: the keyboard is read through the
    // keys the window knows by name, joypads by their plain positions.
    bool without_layer = false;
    int32_t keyboard_poll_time = -1;
    std::array<uint8_t, 256> key_states{};
    int32_t key_map[platform::kMaxJoypads][kPadBits][kKeysPerBit]{};
    int pad_count = 0;
    // How many of the pads below are open: message processing polls input on
    // every pass, and without a joypad there is nothing to walk.
    int open_pads = 0;
    std::array<PadState, platform::kMaxJoypads> pads;
    bool f10_held = false;
};

InputState& State() {
    static InputState state;
    return state;
}

// Once input has run without the device layer it does not try the layer
// again; this outlives the zeroing of the state at each start.
bool no_layer = false;

using platform::InputSetupStep;

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
    state.open_pads = 0;
}

bool StepDone(InputSetupStep step, int joypad = -1) {
    return Devices().SetUp(step, joypad) == platform::kInputStepDone;
}

bool NotificationSetUp(InputSetupStep step, int joypad = -1) {
    const int32_t result = Devices().SetUp(step, joypad);
    return result == platform::kInputStepDone || result == platform::kPolledDevice;
}

// The joypad's set-up steps after it was opened; a refused step releases it
// with that step's text.
bool SetUpJoypad(int index) {
    struct Step {
        InputSetupStep step;
        const char* failure;
    };
    const Step kRequired[] = {
        {InputSetupStep::kJoypadDataFormat, input_log_text::kJoypadFormatFailed},
        {InputSetupStep::kJoypadCooperativeLevel, input_log_text::kJoypadCooperationFailed},
        {InputSetupStep::kJoypadXRange, input_log_text::kJoypadXRangeFailed},
        {InputSetupStep::kJoypadYRange, input_log_text::kJoypadYRangeFailed},
        {InputSetupStep::kJoypadXDeadZone, input_log_text::kJoypadXDeadZoneFailed},
        {InputSetupStep::kJoypadYDeadZone, input_log_text::kJoypadYDeadZoneFailed},
    };
    for (const Step& step : kRequired) {
        if (!StepDone(step.step, index)) {
            Devices().CloseJoypad(index);
            WriteLog(step.failure);
            return false;
        }
    }
    // Without its effect a joypad still reads; the effects are never started.
    if (!StepDone(InputSetupStep::kJoypadConstantForce, index)) WriteLog(input_log_text::kJoypadEffectFailed);
    if (!NotificationSetUp(InputSetupStep::kJoypadNotification, index)) {
        Devices().CloseJoypad(index);
        WriteLog(input_log_text::kJoypadEventFailed);
        return false;
    }
    return true;
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
        if (!SetUpJoypad(index)) continue;
        // A device that fails leaves no gap: pads are numbered as they are added.
        PadState& pad = state.pads[state.pad_count];
        pad.open = true;
        ++state.open_pads;
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

// The keys the window's keyboard state names, as key codes: without the
// device layer only these are seen (the arrows and the numeric pad are not).
constexpr uint8_t kWindowKnownKeys[] = {
    // Letters, digits, punctuation, Delete, Escape, Space, Backspace, Tab, Enter.
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
    0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
    0x27, 0x92, 0x1A, 0x1B, 0x91, 0x2B, 0x33, 0x0C, 0x7D, 0x34, 0x35, 0xD3, 0x01, 0x39, 0x0E, 0x0F, 0x1C,
    // Numeric-pad Enter, Shift, Ctrl, the page and edit keys, Alt, the locks, Pause, F1-F12.
    0x9C, 0x2A, 0x36, 0x1D, 0x9D, 0xC9, 0xD1, 0xCF, 0xC7, 0xD2, 0x38, 0xB8, 0x46, 0x3A, 0xC5, 0x3B, 0x3C, 0x3D,
    0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57, 0x58,
};

std::array<uint8_t, 256> WindowKnownKeys(const std::array<uint8_t, 256>& read) {
    std::array<uint8_t, 256> known{};
    for (uint8_t code : kWindowKnownKeys) known[code] = read[code];
    // The window knows one Enter key for both.
    const uint8_t enter = read[key::kReturn] | read[key::kNumpadEnter];
    known[key::kReturn] = enter;
    known[key::kNumpadEnter] = enter;
    return known;
}

bool UpdateKeyboardState() {
    InputState& state = State();
    if (!state.started) return false;
    const int32_t now = platform::Milliseconds31();
    if (now == state.keyboard_poll_time && (state.without_layer || !Devices().KeyboardChanged())) return false;
    if (ProcessMessagesBody() != 0) return false;
    std::array<uint8_t, 256> read{};
    if (!Devices().ReadKeyboard(read.data())) return false;
    state.key_states = state.without_layer ? WindowKnownKeys(read) : read;
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
    if (state.without_layer) {
        // Plain positions: X and Y, Z and the rotation only on a pad that has
        // both, and 24 buttons; a failed read is a pad at rest.
        platform::JoystickState plain;
        if (Devices().ReadJoypad(pad.device, &read)) {
            plain.x = read.x;
            plain.y = read.y;
            if (pad.four_axes) {
                plain.z = read.z;
                plain.rz = read.rz;
            }
            std::copy_n(read.buttons, 24, plain.buttons);
        }
        pad.joystick = plain;
        return 0;
    }
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

namespace {

// The log indents input's start-up raised, to be lowered when it ends.
int start_indents = 0;

void IndentStartLog() {
    IncreaseLogIndent();
    ++start_indents;
}

void RestoreLogIndent() {
    for (; start_indents > 0; --start_indents) DecreaseLogIndent();
}

// Version 7 of the device layer first, then version 8; false when neither
// can be had. The log says which attempt ended how.
bool StartDeviceLayer() {
    WriteLog(input_log_text::kGetting7);
    const int32_t created = Devices().SetUp(InputSetupStep::kCreateLayer7, -1);
    if (created == platform::kInputStepDone) {
        WriteLog(input_log_text::kSuccess);
        IndentStartLog();
        WriteLog(input_log_text::kContinue);
        if (StepDone(InputSetupStep::kInitializeLayer7)) {
            WriteLog(input_log_text::kInitialized);
            return true;
        }
        WriteLog(input_log_text::kInitFailed);
    } else {
        WriteLog(input_log_text::kGetFailed7);
        WriteLogFormat(input_log_text::kErrorCode, static_cast<unsigned>(created));
    }
    WriteLog(input_log_text::kTrying8);
    if (!StepDone(InputSetupStep::kCreateLayer8)) {
        WriteLog(input_log_text::kGetFailed8);
        return false;
    }
    WriteLog(input_log_text::kSuccess);
    WriteLog(input_log_text::kContinue);
    if (StepDone(InputSetupStep::kInitializeLayer8)) {
        WriteLog(input_log_text::kInitialized);
        return true;
    }
    WriteLog(input_log_text::kInitFailed);
    return false;
}

// The mouse and the keyboard must come up: without them the program ends.
void SetUpMouse() {
    WriteLog(input_log_text::kMouse);
    if (!StepDone(InputSetupStep::kCreateMouse)) ExitOnFatalError(input_log_text::kMouseCreateFailed);
    if (!StepDone(InputSetupStep::kMouseDataFormat)) ExitOnFatalError(input_log_text::kMouseFormatFailed);
    if (!StepDone(InputSetupStep::kMouseCooperativeLevel)) ExitOnFatalError(input_log_text::kMouseCooperationFailed);
    WriteLog(input_log_text::kInitialized);
}

// False when the keyboard's notification could not be set up: input then
// runs without the key map.
bool SetUpKeyboard() {
    WriteLog(input_log_text::kKeyboard);
    if (!StepDone(InputSetupStep::kCreateKeyboard)) ExitOnFatalError(input_log_text::kKeyboardCreateFailed);
    if (!StepDone(InputSetupStep::kKeyboardDataFormat)) ExitOnFatalError(input_log_text::kKeyboardFormatFailed);
    if (!StepDone(InputSetupStep::kKeyboardCooperativeLevel)) {
        ExitOnFatalError(input_log_text::kKeyboardCooperationFailed);
    }
    if (!StepDone(InputSetupStep::kKeyboardBufferSize)) WriteLog(input_log_text::kKeyboardPropertyFailed);
    if (!NotificationSetUp(InputSetupStep::kKeyboardNotification)) {
        WriteLog(input_log_text::kKeyboardEventFailed);
        return false;
    }
    if (!StepDone(InputSetupStep::kAcquireKeyboard) && !StepDone(InputSetupStep::kAcquireKeyboard)) {
        ExitOnFatalError(input_log_text::kKeyboardCreateFailed);
    }
    WriteLog(input_log_text::kInitialized);
    return true;
}

// Joypads by their plain positions: ids are probed from 0 until one fails;
// all 16 are then read, and the missing ones read as at rest.
void StartWithoutLayer(InputState& state) {
    int found = 0;
    for (; found < platform::kMaxJoypads; ++found) {
        platform::JoystickInfo info;
        if (found >= Devices().JoypadCount() || !Devices().OpenJoypad(found, &info)) break;
        PadState& pad = state.pads[found];
        pad.open = true;
        ++state.open_pads;
        pad.device = found;
        pad.four_axes = info.four_axes;
    }
    WriteLogFormat(input_log_text::kPadCount, found);
    WriteLog(input_log_text::kStartedWithoutLayer);
    state.pad_count = platform::kMaxJoypads;
}

}  // namespace

int InitInput() {
    InputState& state = State();
    if (state.started) return 0;
    ReleasePads(state);
    state = InputState{};

    bool with_layer = false;
    if (!no_layer) {
        WriteLog(input_log_text::kStart);
        IndentStartLog();
        with_layer = StartDeviceLayer();
        if (!with_layer) {
            WriteLog(input_log_text::kNoLayer);
            no_layer = true;
        }
    }
    state.started = true;
    if (!with_layer) {
        state.without_layer = true;
        StartWithoutLayer(state);
    } else {
        if (GetMainWindowHWND() != 0) platform::BringAppWindowToTop(GetMainWindowHWND());
        ProcessMessagesBody();
        InitJoypads(state);
        SetUpMouse();
        state.keyboard_poll_time = -1;
        if (!SetUpKeyboard()) {
            RestoreLogIndent();
            return 1;
        }
        WriteLog(input_log_text::kAllDone);
    }
    RestoreLogIndent();
    FillKeyMap(state);
    return 0;
}

int TerminateInput() {
    InputState& state = State();
    if (!state.started) return 0;
    WriteLog(state.without_layer ? input_log_text::kEndWithoutLayer : input_log_text::kEnd);
    ReleasePads(state);
    state = InputState{};
    return 0;
}

void PollInput() {
    InputState& state = State();
    if (!state.started || state.open_pads == 0) return;
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
    if (!state.started || state.open_pads == 0) return;
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
    // The window's key state names only the left, right and middle buttons.
    return static_cast<int>(buttons & (State().without_layer ? 0x07u : 0xFFu));
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
bool IsInputWithoutDeviceLayer() { return State().started && State().without_layer; }
void ForgetInputLayerRefusal() { no_layer = false; }
int GetJoypadCount() { return State().pad_count; }

}  // namespace velk
