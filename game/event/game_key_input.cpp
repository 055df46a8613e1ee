#include "game/event/game_key_input.h"

#include "game/data/input_state.h"
#include "lib/core/input/device_input.h"

namespace velk {
namespace {

// The first pad alone, without the keyboard's direction keys.
constexpr int kFirstPadOnly = 1;

bool ValidButton(int button) { return button >= kButtonConfirm && button <= kButtonSub; }
bool ValidDirection(int direction) { return direction >= kUp && direction <= kRight; }
bool ValidMouseButton(int button) { return button >= 0 && button <= 2; }

}  // namespace

void GameKeyInput::ReadKeyboard(std::array<uint8_t, 256>& keys) {
    std::array<char, 256> states{};
    if (GetAllKeyStates(states.data()) != 0) states.fill(0);
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = states[i] != 0 ? 1 : 0;
}

uint32_t GameKeyInput::PadButtons() { return static_cast<uint32_t>(GetPadInputState(kFirstPadOnly)); }

bool GameKeyInput::ButtonHeld(int button) {
    return ValidButton(button) && input_.Held(static_cast<GameButton>(button));
}

bool GameKeyInput::ButtonPressed(int button) {
    return ValidButton(button) && input_.Pressed(static_cast<GameButton>(button));
}

bool GameKeyInput::ButtonRepeat(int button) {
    if (button == kButtonConfirm) return input_.ConfirmRepeat();
    if (button == kButtonCancel) return input_.CancelRepeat();
    return false;
}

bool GameKeyInput::DirectionHeld(int direction) {
    return ValidDirection(direction) && input_.DirectionHeld(static_cast<Direction>(direction));
}

bool GameKeyInput::DirectionPressed(int direction) {
    return ValidDirection(direction) && input_.DirectionPressed(static_cast<Direction>(direction));
}

int32_t GameKeyInput::Direction4() { return input_.Direction4(); }
int32_t GameKeyInput::Direction8() { return input_.Direction8(); }
int32_t GameKeyInput::Repeat4() { return input_.Repeat4(); }
int32_t GameKeyInput::Repeat8() { return input_.Repeat8(); }

int32_t GameKeyInput::MouseButton(int button) {
    if (!ValidMouseButton(button)) return 0;
    if (input_.MouseClicked(button)) return 2;
    return input_.MouseHeld(button) ? 1 : 0;
}

int32_t GameKeyInput::WheelTurns() { return input_.WheelTurns(); }
int32_t GameKeyInput::MouseMoveX() { return input_.MouseMoveX(); }
int32_t GameKeyInput::MouseMoveY() { return input_.MouseMoveY(); }

}  // namespace velk
