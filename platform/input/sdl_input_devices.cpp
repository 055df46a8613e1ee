// The real input devices on SDL2: the keyboard state, the mouse buttons,
// and joypads as game controllers (a known layout) or plain joysticks.

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/base/text_encoding.h"
#include "platform/input/input_devices.h"
#include "platform/input/scancode_map.h"

namespace velk::platform {

namespace {

constexpr uint8_t kDown = 0x80;
constexpr uint32_t kCentred = 0xFFFFFFFFu;

uint32_t HatToPov(Uint8 hat) {
    switch (hat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return kCentred;
    }
}

// Pads whose direction buttons are a hat or a d-pad move the axes too while
// the stick rests, so the d-pad walks like the stick.
void FoldHatIntoAxes(Uint8 hat, JoystickState* state) {
    if (state->x == 0) {
        if ((hat & SDL_HAT_LEFT) != 0) state->x = -1000;
        if ((hat & SDL_HAT_RIGHT) != 0) state->x = 1000;
    }
    if (state->y == 0) {
        if ((hat & SDL_HAT_UP) != 0) state->y = -1000;
        if ((hat & SDL_HAT_DOWN) != 0) state->y = 1000;
    }
}

class SdlInputDevices final : public InputDevices {
public:
    SdlInputDevices() {
        // Left to itself SDL looks for joypads plugged in or out and reads the
        // open ones on every pump of the window's events, a thousand times a
        // second while the program waits; they are read here when asked for
        // instead. Nothing reads SDL's sensors.
        SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
        SDL_SetHint(SDL_HINT_AUTO_UPDATE_SENSORS, "0");
        ready_ = SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0;
        if (ready_) SDL_AddEventWatch(&SdlInputDevices::Watch, this);
    }

    ~SdlInputDevices() override {
        for (int i = 0; i < kMaxJoypads; ++i) CloseJoypad(i);
        if (ready_) {
            SDL_DelEventWatch(&SdlInputDevices::Watch, this);
            SDL_QuitSubSystem(SDL_INIT_EVENTS | SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
        }
    }

    bool ReadKeyboard(uint8_t state[256]) override {
        std::memset(state, 0, 256);
        if (!ready_) return false;
        keyboard_seen_ = keyboard_changes_.load();
        const KeyboardLayout layout =
            SDL_GetKeyFromScancode(SDL_SCANCODE_LEFTBRACKET) == SDLK_AT ? KeyboardLayout::kJis : KeyboardLayout::kUs;
        int count = 0;
        const Uint8* keys = SDL_GetKeyboardState(&count);
        for (int scancode = 0; scancode < count; ++scancode) {
            if (keys[scancode] == 0) continue;
            const uint8_t code = KeyCodeFromScancode(scancode, layout);
            if (code != 0) state[code] = kDown;
        }
        return true;
    }

    bool KeyboardChanged() override { return keyboard_changes_.load() != keyboard_seen_; }

    uint32_t MouseButtons() override {
        if (!ready_) return 0;
        const Uint32 sdl = SDL_GetMouseState(nullptr, nullptr);
        uint32_t bits = 0;
        if ((sdl & SDL_BUTTON(SDL_BUTTON_LEFT)) != 0) bits |= 1u;
        if ((sdl & SDL_BUTTON(SDL_BUTTON_RIGHT)) != 0) bits |= 2u;
        if ((sdl & SDL_BUTTON(SDL_BUTTON_MIDDLE)) != 0) bits |= 4u;
        if ((sdl & SDL_BUTTON(SDL_BUTTON_X1)) != 0) bits |= 8u;
        if ((sdl & SDL_BUTTON(SDL_BUTTON_X2)) != 0) bits |= 16u;
        return bits;
    }

    int JoypadCount() override {
        if (!ready_) return 0;
        SDL_JoystickUpdate();
        return std::max(0, SDL_NumJoysticks());
    }

    bool OpenJoypad(int index, JoystickInfo* info) override {
        if (!ready_ || index < 0 || index >= kMaxJoypads) return false;
        CloseJoypad(index);
        Pad& pad = pads_[index];
        if (SDL_IsGameController(index)) {
            pad.controller = SDL_GameControllerOpen(index);
            if (pad.controller != nullptr) pad.joystick = SDL_GameControllerGetJoystick(pad.controller);
        } else {
            pad.joystick = SDL_JoystickOpen(index);
        }
        if (pad.joystick == nullptr) return false;
        const char* name = SDL_JoystickName(pad.joystick);
        info->instance_name = Utf8ToShiftJis(name != nullptr ? name : "");
        info->product_name = info->instance_name;
        info->four_axes = pad.controller != nullptr || SDL_JoystickNumAxes(pad.joystick) >= 4;
        return true;
    }

    void CloseJoypad(int index) override {
        if (index < 0 || index >= kMaxJoypads) return;
        Pad& pad = pads_[index];
        if (pad.controller != nullptr) {
            SDL_GameControllerClose(pad.controller);
        } else if (pad.joystick != nullptr) {
            SDL_JoystickClose(pad.joystick);
        }
        pad = Pad{};
    }

    bool ReadJoypad(int index, JoystickState* state) override {
        if (index < 0 || index >= kMaxJoypads) return false;
        Pad& pad = pads_[index];
        if (pad.joystick == nullptr) return false;
        // Brings in what the pad reported since the last read, and notices a
        // pad that was pulled out.
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(pad.joystick)) return false;
        *state = JoystickState{};
        if (pad.controller != nullptr) {
            ReadController(pad.controller, state);
        } else {
            ReadJoystick(pad.joystick, state);
        }
        return true;
    }

    bool JoypadChanged(int index) override { return true; }

    void SetJoypadEffects(int index, bool constant_force, bool sine) override {
        if (index < 0 || index >= kMaxJoypads || pads_[index].joystick == nullptr) return;
        const Uint16 low = constant_force ? 0xC000 : 0;
        const Uint16 high = sine ? 0xC000 : 0;
        SDL_JoystickRumble(pads_[index].joystick, low, high, low != 0 || high != 0 ? 0xFFFFFFFFu : 0);
    }

    // SDL is the one device layer: it answers for both versions alike, and a
    // step can only fail when SDL's input could not be started or when a
    // joypad lacks what the step sets up.
    int32_t SetUp(InputSetupStep step, int joypad) override {
        if (!ready_) return kInputStepRefused;
        const bool pad_open = joypad >= 0 && joypad < kMaxJoypads && pads_[joypad].joystick != nullptr;
        switch (step) {
            case InputSetupStep::kJoypadDataFormat:
            case InputSetupStep::kJoypadCooperativeLevel:
            case InputSetupStep::kJoypadXRange:
            case InputSetupStep::kJoypadYRange:
            case InputSetupStep::kJoypadXDeadZone:
            case InputSetupStep::kJoypadYDeadZone:
                return pad_open ? kInputStepDone : kInputStepRefused;
            case InputSetupStep::kJoypadConstantForce:
                return pad_open && SDL_JoystickHasRumble(pads_[joypad].joystick) == SDL_TRUE ? kInputStepDone
                                                                                             : kInputStepRefused;
            case InputSetupStep::kJoypadNotification:
                // Joypads are read by polling.
                return pad_open ? kPolledDevice : kInputStepRefused;
            default:
                return kInputStepDone;
        }
    }

private:
    struct Pad {
        SDL_GameController* controller = nullptr;
        SDL_Joystick* joystick = nullptr;
    };

    static int Watch(void* self, SDL_Event* event) {
        if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) {
            static_cast<SdlInputDevices*>(self)->keyboard_changes_.fetch_add(1);
        }
        return 0;
    }

    static void ReadController(SDL_GameController* controller, JoystickState* state) {
        auto axis = [controller](SDL_GameControllerAxis which) { return SDL_GameControllerGetAxis(controller, which); };
        state->x = ScaleSdlAxis(axis(SDL_CONTROLLER_AXIS_LEFTX));
        state->y = ScaleSdlAxis(axis(SDL_CONTROLLER_AXIS_LEFTY));
        // Both triggers share one axis, as such pads report them elsewhere.
        const int triggers = axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT) - axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
        state->z = ScaleSdlAxis(static_cast<int16_t>(std::clamp(triggers, -32768, 32767)));
        state->rx = ScaleSdlAxis(axis(SDL_CONTROLLER_AXIS_RIGHTX));
        state->ry = ScaleSdlAxis(axis(SDL_CONTROLLER_AXIS_RIGHTY));
        constexpr SDL_GameControllerButton kButtons[] = {
            SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,          SDL_CONTROLLER_BUTTON_X,
            SDL_CONTROLLER_BUTTON_Y,         SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
            SDL_CONTROLLER_BUTTON_BACK,      SDL_CONTROLLER_BUTTON_START,      SDL_CONTROLLER_BUTTON_LEFTSTICK,
            SDL_CONTROLLER_BUTTON_RIGHTSTICK,
        };
        for (size_t i = 0; i < std::size(kButtons); ++i) {
            if (SDL_GameControllerGetButton(controller, kButtons[i]) != 0) state->buttons[i] = kDown;
        }
        Uint8 hat = SDL_HAT_CENTERED;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0) hat |= SDL_HAT_UP;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0) hat |= SDL_HAT_DOWN;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0) hat |= SDL_HAT_LEFT;
        if (SDL_GameControllerGetButton(controller, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0) hat |= SDL_HAT_RIGHT;
        state->pov[0] = HatToPov(hat);
        FoldHatIntoAxes(hat, state);
    }

    static void ReadJoystick(SDL_Joystick* joystick, JoystickState* state) {
        int32_t* axes[] = {&state->x, &state->y, &state->z, &state->rx, &state->ry, &state->rz,
                           &state->sliders[0], &state->sliders[1]};
        const int axis_count = std::min<int>(SDL_JoystickNumAxes(joystick), static_cast<int>(std::size(axes)));
        for (int i = 0; i < axis_count; ++i) *axes[i] = ScaleSdlAxis(SDL_JoystickGetAxis(joystick, i));
        const int hats = std::min(SDL_JoystickNumHats(joystick), 4);
        for (int i = 0; i < hats; ++i) state->pov[i] = HatToPov(SDL_JoystickGetHat(joystick, i));
        if (hats > 0) FoldHatIntoAxes(SDL_JoystickGetHat(joystick, 0), state);
        const int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
        for (int i = 0; i < buttons; ++i) {
            if (SDL_JoystickGetButton(joystick, i) != 0) state->buttons[i] = kDown;
        }
    }

    bool ready_ = false;
    std::atomic<uint64_t> keyboard_changes_{1};
    uint64_t keyboard_seen_ = 0;
    Pad pads_[kMaxJoypads];
};

}  // namespace

std::unique_ptr<InputDevices> CreateSdlInputDevices() { return std::make_unique<SdlInputDevices>(); }

}  // namespace velk::platform
