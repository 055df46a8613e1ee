#pragma once
// Keyboard, mouse and joypad input. Keys are kept as one state byte per key
// code; a joypad's state becomes the 32 pad bits, into which keyboard keys
// are folded by a fixed key-to-pad map.

#include <cstdint>

namespace velk {

// Pad bits: 0 down, 1 left, 2 right, 3 up, 4-27 buttons 1 to 24.
constexpr int kPadDown = 1 << 0;
constexpr int kPadLeft = 1 << 1;
constexpr int kPadRight = 1 << 2;
constexpr int kPadUp = 1 << 3;
// The flag of an input type that folds the mapped keyboard keys in.
constexpr int kPadWithKeyboard = 0x1000;

// 0 on success, also when input already runs; 1 when the keyboard's
// notification could not be set up (input then runs without the key map). A
// mouse or keyboard that cannot be set up ends the program.
int InitInput();
int TerminateInput();
// The per-frame step: joypad vibration.
void PollInput();
void ReacquireInputDevices();
void UpdateJoypadEffects();
// The window's procedure reports the F10 key held this way.
void SetF10HeldFlag(bool held);

// Writes 1 for each key code whose key is down, else 0 (256 bytes).
int GetAllKeyStatesBody(char* buffer);
int CheckKeyDown(int key_code);
// Pad number 1 to 16 in the low bits, plus kPadWithKeyboard.
int GetPadInputStateBody(int input_type);
int GetMouseButtonStateBody();
// Flags: 1 keyboard and pads, 4 mouse. A key code, -1, or 0.
int CheckAnyInputBody(int flags);
int StopJoypadVibration(int pad_number);

// The public operations.
int GetAllKeyStates(char* buffer);
int GetPadInputState(int input_type);
int GetMouseButtonState();
int CheckAnyInput(int flags);

// Connects polling, re-acquiring and the F10 flag to the window's procedure
// and message processing.
void RegisterInputWithWindow();

// Whether input runs (for tests and the start-up order).
bool IsInputStarted();
// Whether input runs without the device layer (neither version could be had).
bool IsInputWithoutDeviceLayer();
// Once refused, the layer is not tried again by later starts; this lets the
// next start try it again.
void ForgetInputLayerRefusal();
int GetJoypadCount();

}  // namespace velk
