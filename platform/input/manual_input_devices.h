#pragma once
// Input devices whose state tests set by hand.

#include <array>
#include <map>
#include <utility>
#include <vector>

#include "platform/input/input_devices.h"

namespace velk::platform {

class ManualInputDevices final : public InputDevices {
public:
    bool ReadKeyboard(uint8_t state[256]) override;
    bool KeyboardChanged() override { return keyboard_changed_; }
    uint32_t MouseButtons() override { return mouse_buttons_; }
    int JoypadCount() override { return static_cast<int>(pads_.size()); }
    bool OpenJoypad(int index, JoystickInfo* info) override;
    void CloseJoypad(int index) override;
    bool ReadJoypad(int index, JoystickState* state) override;
    bool JoypadChanged(int index) override { return true; }
    void SetJoypadEffects(int index, bool constant_force, bool sine) override;
    int32_t SetUp(InputSetupStep step, int joypad) override;

    // Test controls.
    void SetKey(uint8_t code, bool down);
    void SetMouseButtons(uint32_t buttons) { mouse_buttons_ = buttons; }
    // Adds an attached joypad; returns its index.
    int AddJoypad(JoystickInfo info = {}, bool can_open = true);
    JoystickState& Joypad(int index) { return pads_.at(static_cast<size_t>(index)).state; }
    void SetJoypadReadable(int index, bool readable) { pads_.at(static_cast<size_t>(index)).readable = readable; }
    bool JoypadOpen(int index) const { return pads_.at(static_cast<size_t>(index)).open; }
    int keyboard_reads() const { return keyboard_reads_; }
    // Makes a set-up step answer `result` (for every joypad, or for one).
    void AnswerStep(InputSetupStep step, int32_t result, int joypad = -1) { answers_[{step, joypad}] = result; }
    // The steps run so far, in order.
    const std::vector<InputSetupStep>& steps_run() const { return steps_run_; }

private:
    struct Pad {
        JoystickInfo info;
        JoystickState state;
        bool can_open = true;
        bool open = false;
        bool readable = true;
        bool constant_force = false;
        bool sine = false;
    };
    std::array<uint8_t, 256> keys_{};
    bool keyboard_changed_ = false;
    uint32_t mouse_buttons_ = 0;
    std::vector<Pad> pads_;
    int keyboard_reads_ = 0;
    std::map<std::pair<InputSetupStep, int>, int32_t> answers_;
    std::vector<InputSetupStep> steps_run_;
};

// Installs manual devices for the life of a scope.
class ScopedManualInputDevices {
public:
    ScopedManualInputDevices();
    ~ScopedManualInputDevices();
    ScopedManualInputDevices(const ScopedManualInputDevices&) = delete;
    ScopedManualInputDevices& operator=(const ScopedManualInputDevices&) = delete;
    ManualInputDevices& devices() { return *devices_; }

private:
    ManualInputDevices* devices_;
};

}  // namespace velk::platform
