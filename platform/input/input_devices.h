#pragma once
// The devices input reads: the keyboard as 256 key-code state bytes, the
// mouse's buttons, and up to 16 joypads as a joystick record. The SDL
// back-end reads the real devices; the manual one is a fake whose state
// tests set.

#include <cstdint>
#include <memory>
#include <string>

namespace velk::platform {

constexpr int kMaxJoypads = 16;

// A joypad's state: axes in -1000..1000, point-of-view hats in hundredths
// of a degree (0xFFFFFFFF centred), button bytes with bit 7 set while down.
struct JoystickState {
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    int32_t rx = 0;
    int32_t ry = 0;
    int32_t rz = 0;
    int32_t sliders[2] = {};
    uint32_t pov[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    uint8_t buttons[32] = {};
};

struct JoystickInfo {
    std::string instance_name;  // Shift-JIS
    std::string product_name;   // Shift-JIS
    // Whether the joypad reports a Z and a rotation axis besides X and Y.
    bool four_axes = false;
};

// The steps of bringing input up, each of which the device layer may refuse.
// The layer comes in two versions, tried in order; devices are then set up
// one step at a time.
enum class InputSetupStep {
    kCreateLayer7,
    kInitializeLayer7,
    kCreateLayer8,
    kInitializeLayer8,
    kCreateMouse,
    kMouseDataFormat,
    kMouseCooperativeLevel,
    kCreateKeyboard,
    kKeyboardDataFormat,
    kKeyboardCooperativeLevel,
    kKeyboardBufferSize,
    kKeyboardNotification,
    kAcquireKeyboard,
    kJoypadDataFormat,
    kJoypadCooperativeLevel,
    kJoypadXRange,
    kJoypadYRange,
    kJoypadXDeadZone,
    kJoypadYDeadZone,
    kJoypadConstantForce,
    kJoypadNotification,
};
// A step's answer: 0 done; for a notification, kPolledDevice also counts as
// done (the device is read by polling); anything else is the layer's error
// code.
constexpr int32_t kInputStepDone = 0;
constexpr int32_t kPolledDevice = 2;
constexpr int32_t kInputStepRefused = static_cast<int32_t>(0x80004005u);

class InputDevices {
public:
    virtual ~InputDevices() = default;

    // Fills 256 bytes, one per key code, bit 7 set while the key is down.
    virtual bool ReadKeyboard(uint8_t state[256]) = 0;
    // Whether the keyboard changed since the last read.
    virtual bool KeyboardChanged() = 0;
    // Bits 0-7: left, right, middle, then the further buttons.
    virtual uint32_t MouseButtons() = 0;

    // The attached joypads, in the system's order.
    virtual int JoypadCount() = 0;
    virtual bool OpenJoypad(int index, JoystickInfo* info) = 0;
    virtual void CloseJoypad(int index) = 0;
    virtual bool ReadJoypad(int index, JoystickState* state) = 0;
    virtual bool JoypadChanged(int index) = 0;
    // Starts or stops the two force-feedback effects.
    virtual void SetJoypadEffects(int index, bool constant_force, bool sine) = 0;

    // Runs one set-up step (on the joypad of that index for the joypad steps).
    virtual int32_t SetUp(InputSetupStep step, int joypad) = 0;
};

// Installs the devices (nullptr: the SDL devices on next use).
void SetInputDevices(std::unique_ptr<InputDevices> devices);
InputDevices& ActiveInputDevices();

std::unique_ptr<InputDevices> CreateSdlInputDevices();

// A joystick position of 0..65535 (centre 32767) on the -1000..1000 scale
// with a dead zone of a quarter of the range around the centre: 0 gives
// -1000, 65535 gives 1000, 24576 to 40960 give 0, the rest grows in
// proportion (truncated toward zero).
int32_t ScaleJoystickPosition(uint32_t position);
// SDL's axis value (-32768..32767) on the same scale.
int32_t ScaleSdlAxis(int16_t value);

}  // namespace velk::platform
