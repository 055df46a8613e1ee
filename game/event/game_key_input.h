#pragma once
// The key commands' view of the player's input as the game has it: the
// keyboard and the first pad read from the library when asked, the game
// buttons, directions and mouse from the input state of the frame.

#include <array>
#include <cstdint>

#include "game/event/event_links.h"

namespace velk {

class InputState;

class GameKeyInput final : public KeyInputLink {
public:
    explicit GameKeyInput(const InputState& input) : input_(input) {}

    void ReadKeyboard(std::array<uint8_t, 256>& keys) override;
    uint32_t PadButtons() override;
    bool ButtonHeld(int button) override;
    bool ButtonPressed(int button) override;
    bool ButtonRepeat(int button) override;
    bool DirectionHeld(int direction) override;
    bool DirectionPressed(int direction) override;
    int32_t Direction4() override;
    int32_t Direction8() override;
    int32_t Repeat4() override;
    int32_t Repeat8() override;
    int32_t MouseButton(int button) override;
    int32_t WheelTurns() override;
    int32_t MouseMoveX() override;
    int32_t MouseMoveY() override;

private:
    const InputState& input_;
};

}  // namespace velk
