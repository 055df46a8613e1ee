#pragma once
// The game's view of the player's input for one frame: four directions with
// a combined 8-way and 4-way direction and key repeat, the four game buttons
// (confirm, cancel, sub, fourth), the mouse in game pixels, and the keys the
// test-play tools use. The shell reads the devices once per frame into an
// InputDeviceFrame and calls Update; everything here is a function of those
// readings, the key configuration and the replay link.

#include <array>
#include <cstdint>
#include <string>

namespace velk {

// Keyboard codes (the keyboard's scan codes, as games store them).
namespace game_key {
inline constexpr uint8_t kEscape = 0x01;
inline constexpr uint8_t kBackspace = 0x0E;
inline constexpr uint8_t kEnter = 0x1C;
inline constexpr uint8_t kLeftControl = 0x1D;
inline constexpr uint8_t kLeftShift = 0x2A;
inline constexpr uint8_t kZ = 0x2C;
inline constexpr uint8_t kX = 0x2D;
inline constexpr uint8_t kC = 0x2E;
inline constexpr uint8_t kRightShift = 0x36;
inline constexpr uint8_t kSpace = 0x39;
inline constexpr uint8_t kF4 = 0x3E;
inline constexpr uint8_t kF5 = 0x3F;
inline constexpr uint8_t kF8 = 0x42;
inline constexpr uint8_t kF9 = 0x43;
inline constexpr uint8_t kNumPad0 = 0x52;
inline constexpr uint8_t kF12 = 0x58;
inline constexpr uint8_t kPlaybackCancel = 0x94;
inline constexpr uint8_t kRightControl = 0x9D;
inline constexpr uint8_t kPrintScreen = 0xB7;
inline constexpr uint8_t kInsert = 0xD2;
}  // namespace game_key

// Pad and mapped-keyboard direction bits, and the fourth button.
inline constexpr uint32_t kPadBitDown = 0x1;
inline constexpr uint32_t kPadBitLeft = 0x2;
inline constexpr uint32_t kPadBitRight = 0x4;
inline constexpr uint32_t kPadBitUp = 0x8;
inline constexpr uint32_t kPadBitFourth = 0x4000;

// Which keys act as confirm, cancel and sub: a keyboard code each (scan code
// + 100, so 100-255) and a mask of pad 1's buttons each (0x10 for button 1
// up to 0x40000 for button 15). The main interpreter keeps one.
struct KeyConfig {
    std::array<int32_t, 3> keyboard = {100 + 0x2C, 100 + 0x2D, 100 + 0x2E};
    std::array<int32_t, 3> padMask = {0x10, 0x20, 0x40};
};

inline constexpr int32_t kFirstKeyboardCode = 100;
inline constexpr int32_t kLastKeyboardCode = 255;
inline constexpr int32_t kFirstPadCode = 301;
inline constexpr int32_t kLastPadCode = 315;

// Stores a key for button `which` (0 confirm, 1 cancel, 2 sub). A pad code
// 301-315 becomes its mask first. When another button holds the same key it
// takes the old key of this one (they swap). A code outside 100-255
// (keyboard) or 301-315 (pad) is ignored: it would name no key.
void SetKeyConfig(KeyConfig& config, int32_t code, int which, bool keyboard);
// The keyboard code of the button, or for the pad the code 301-315 of its
// mask (0 when the mask is not one of the fifteen buttons).
int32_t GetKeyConfig(const KeyConfig& config, int which, bool keyboard);
// The pad button's name ("ボタン1" to "ボタン15", Shift-JIS); empty for the
// keyboard, whose names come from the key-name table of the key-input
// commands, and for masks that are no single button.
std::string GetPadKeyConfigName(const KeyConfig& config, int which);

// What the devices said this frame.
struct InputDeviceFrame {
    bool windowActive = true;
    // The keyboard state by scan code (non-zero: held).
    std::array<uint8_t, 256> keys{};
    // Pad 1 combined with the keyboard's direction keys (directions only).
    uint32_t padWithKeyboard = 0;
    // Pad 1 alone (buttons from 0x10).
    uint32_t pad = 0;
    // The mouse in screen pixels, its buttons (1 left, 2 right, 4 middle)
    // and the wheel's turns since the last frame.
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    uint32_t mouseButtons = 0;
    int32_t wheelTurns = 0;
    double windowRate = 1.0;
};

// The replay record as the input update sees it; the default records
// nothing and never plays back.
class ReplayLink {
public:
    virtual ~ReplayLink() = default;
    virtual bool Playing() { return false; }
    virtual bool Ended() { return false; }
    // Eight flags: up, down, left, right, confirm, cancel, sub, fourth.
    virtual void Record(const std::array<uint8_t, 8>& buttons) {}
    virtual std::array<uint8_t, 8> Play() { return {}; }
};

struct InputContext {
    const KeyConfig* keyConfig = nullptr;
    // Key repeat settings in frames (the main interpreter's).
    int32_t repeatStart = 16;
    int32_t repeatInterval = 5;
    int32_t frameStep = 1;
    // 16 or 32: with 16-pixel chips the game's pixels are doubled.
    int32_t chipSize = 32;
    ReplayLink* replay = nullptr;
};

enum GameButton { kButtonConfirm = 0, kButtonCancel = 1, kButtonSub = 2, kButtonFourth = 3 };
enum Direction { kUp = 0, kDown = 1, kLeft = 2, kRight = 3 };

class InputState {
public:
    InputState() { Reset(); }

    // What the title/reset block clears: wheel, mouse movement and previous
    // position, repeat flags and held counters, last-pressed directions, the
    // keyboard state and PrintScreen. Buttons held last frame stay, so one
    // still held does not count as newly pressed afterwards.
    void Reset();
    void Update(const InputDeviceFrame& devices, const InputContext& context);

    // Held and newly pressed, as the game sees them (after replay).
    bool Held(GameButton button) const { return held_[button] != 0; }
    bool Pressed(GameButton button) const { return pressed_[button] != 0; }
    bool DeviceHeld(GameButton button) const { return deviceHeld_[button] != 0; }
    bool DirectionHeld(Direction direction) const { return dirHeld_[direction] != 0; }
    bool DirectionPressed(Direction direction) const { return dirPressed_[direction] != 0; }
    bool ConfirmRepeat() const { return confirmRepeat_ != 0; }
    bool CancelRepeat() const { return cancelRepeat_ != 0; }
    int32_t ConfirmHeldFrames() const { return confirmHeldFrames_; }
    // Numeric-keypad codes (8 up, 2 down, 4 left, 6 right, 7 9 1 3 diagonals, 0 none).
    int32_t Direction8() const { return direction8_; }
    int32_t Direction4() const { return direction4_; }
    int32_t NewDirection() const { return newDirection_; }
    int32_t Repeat4() const { return repeat4_; }
    int32_t Repeat8() const { return repeat8_; }

    int32_t MouseX() const { return mouseX_; }
    int32_t MouseY() const { return mouseY_; }
    // A coordinate the game placed the mouse at: read back at once, and no
    // movement at the next update.
    void PlaceMouseX(int32_t x) { mouseX_ = previousMouseX_ = x; }
    void PlaceMouseY(int32_t y) { mouseY_ = previousMouseY_ = y; }
    int32_t MouseMoveX() const { return mouseMoveX_; }
    int32_t MouseMoveY() const { return mouseMoveY_; }
    int32_t WheelTurns() const { return wheelTurns_; }
    // 0 left, 1 right, 2 middle.
    bool MouseHeld(int button) const { return mouseHeld_[button] != 0; }
    bool MouseClicked(int button) const { return mouseClicked_[button] != 0; }
    bool CtrlHeld() const { return ctrlHeld_ != 0; }
    bool ShiftHeld() const { return shiftHeld_ != 0; }

    // Test-play keys: F4, F5, F8, F9, F12 and PrintScreen.
    enum ToolKey { kF4Key, kF5Key, kF8Key, kF9Key, kF12Key, kPrintScreenKey, kToolKeyCount };
    bool ToolKeyHeld(ToolKey key) const { return toolHeld_[key] != 0; }
    bool ToolKeyPressed(ToolKey key) const { return toolPressed_[key] != 0; }

private:
    void ReadDeviceButtons(const InputDeviceFrame& devices, const KeyConfig& config, bool playback);
    void UpdateDirections(int32_t previous8);

    std::array<uint8_t, 3> previousMouse_{};
    std::array<uint8_t, 4> dirHeld_{};
    uint8_t ctrlHeld_ = 0, shiftHeld_ = 0, ctrlPressed_ = 0, shiftPressed_ = 0;
    std::array<uint8_t, 4> dirPressed_{};
    std::array<uint8_t, 4> lastPressed_{};
    std::array<uint8_t, 3> mouseHeld_{};
    std::array<uint8_t, 3> mouseClicked_{};
    int32_t mouseX_ = 0, mouseY_ = 0;
    int32_t direction8_ = 0, direction4_ = 0, newDirection_ = 0, repeat4_ = 0, lastDifferent8_ = 0, repeat8_ = 0;
    int32_t wheelTurns_ = 0, mouseMoveX_ = 0, mouseMoveY_ = 0;
    std::array<uint8_t, 4> deviceHeld_{};
    std::array<uint8_t, 4> devicePressed_{};
    std::array<uint8_t, 4> held_{};
    std::array<uint8_t, 4> pressed_{};
    std::array<uint8_t, kToolKeyCount> toolHeld_{};
    std::array<uint8_t, kToolKeyCount> toolPressed_{};
    int32_t previousMouseX_ = 0, previousMouseY_ = 0;
    std::array<uint8_t, 256> keys_{};
    int32_t confirmRepeat_ = 0, cancelRepeat_ = 0, confirmHeldFrames_ = 0, cancelHeldFrames_ = 0;
    int32_t directionFrames_ = 0;
};

}  // namespace velk
