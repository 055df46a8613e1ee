#include "platform/input/manual_input_devices.h"

#include <cstring>

namespace velk::platform {

bool ManualInputDevices::ReadKeyboard(uint8_t state[256]) {
    ++keyboard_reads_;
    std::memcpy(state, keys_.data(), keys_.size());
    keyboard_changed_ = false;
    return true;
}

bool ManualInputDevices::OpenJoypad(int index, JoystickInfo* info) {
    if (index < 0 || index >= JoypadCount()) return false;
    Pad& pad = pads_[static_cast<size_t>(index)];
    if (!pad.can_open) return false;
    pad.open = true;
    *info = pad.info;
    return true;
}

void ManualInputDevices::CloseJoypad(int index) {
    if (index >= 0 && index < JoypadCount()) pads_[static_cast<size_t>(index)].open = false;
}

bool ManualInputDevices::ReadJoypad(int index, JoystickState* state) {
    if (index < 0 || index >= JoypadCount()) return false;
    const Pad& pad = pads_[static_cast<size_t>(index)];
    if (!pad.open || !pad.readable) return false;
    *state = pad.state;
    return true;
}

void ManualInputDevices::SetJoypadEffects(int index, bool constant_force, bool sine) {
    if (index < 0 || index >= JoypadCount()) return;
    pads_[static_cast<size_t>(index)].constant_force = constant_force;
    pads_[static_cast<size_t>(index)].sine = sine;
}

int32_t ManualInputDevices::SetUp(InputSetupStep step, int joypad) {
    steps_run_.push_back(step);
    for (const auto& key : {std::pair{step, joypad}, std::pair{step, -1}}) {
        const auto answer = answers_.find(key);
        if (answer != answers_.end()) return answer->second;
    }
    return kInputStepDone;
}

void ManualInputDevices::SetKey(uint8_t code, bool down) {
    keys_[code] = down ? 0x80 : 0;
    keyboard_changed_ = true;
}

int ManualInputDevices::AddJoypad(JoystickInfo info, bool can_open) {
    Pad pad;
    pad.info = std::move(info);
    pad.can_open = can_open;
    pads_.push_back(std::move(pad));
    return JoypadCount() - 1;
}

ScopedManualInputDevices::ScopedManualInputDevices() {
    auto devices = std::make_unique<ManualInputDevices>();
    devices_ = devices.get();
    SetInputDevices(std::move(devices));
}

ScopedManualInputDevices::~ScopedManualInputDevices() { SetInputDevices(std::make_unique<ManualInputDevices>()); }

}  // namespace velk::platform
