#include "game/data/input_state.h"

#include <algorithm>
#include <cstdio>

namespace velk {
namespace {

// ボタン%d
constexpr char kPadButtonName[] = "\x83{\x83^\x83\x93%d";

bool ValidCode(int32_t code, bool keyboard) {
    return keyboard ? code >= kFirstKeyboardCode && code <= kLastKeyboardCode
                    : code >= kFirstPadCode && code <= kLastPadCode;
}

// The pad code 301-315 of a mask, 0 when it is no single button of the fifteen.
int32_t PadCodeOfMask(int32_t mask) {
    for (int32_t code = kFirstPadCode; code <= kLastPadCode; ++code) {
        if (mask == (0x10 << (code - kFirstPadCode))) return code;
    }
    return 0;
}

bool InRange(int which) { return which >= 0 && which < 3; }

// Keypad code of a vertical and a horizontal direction.
int32_t Combine(bool up, bool down, bool left, bool right) {
    static constexpr int32_t kCodes[3][3] = {{7, 8, 9}, {4, 0, 6}, {1, 2, 3}};
    int row = up ? 0 : down ? 2 : 1;
    int column = left ? 0 : right ? 2 : 1;
    return kCodes[row][column];
}

int32_t FourWay(const std::array<uint8_t, 4>& flags) {
    if (flags[kUp]) return 8;
    if (flags[kDown]) return 2;
    if (flags[kLeft]) return 4;
    if (flags[kRight]) return 6;
    return 0;
}

bool RepeatTick(int32_t frames, int32_t start, int32_t interval) {
    return frames == start || (frames > start && (frames - start) % interval == 0);
}

}  // namespace

void SetKeyConfig(KeyConfig& config, int32_t code, int which, bool keyboard) {
    if (!InRange(which) || !ValidCode(code, keyboard)) return;
    std::array<int32_t, 3>& keys = keyboard ? config.keyboard : config.padMask;
    int32_t stored = keyboard ? code : (0x10 << (code - kFirstPadCode));
    for (int other = 0; other < 3; ++other) {
        if (other != which && keys[other] == stored) keys[other] = keys[which];
    }
    keys[which] = stored;
}

int32_t GetKeyConfig(const KeyConfig& config, int which, bool keyboard) {
    if (!InRange(which)) return 0;
    return keyboard ? config.keyboard[which] : PadCodeOfMask(config.padMask[which]);
}

std::string GetPadKeyConfigName(const KeyConfig& config, int which) {
    int32_t code = GetKeyConfig(config, which, false);
    if (code == 0) return {};
    char name[32];
    std::snprintf(name, sizeof name, kPadButtonName, code - kFirstPadCode + 1);
    return name;
}

void InputState::Reset() {
    wheelTurns_ = 0;
    mouseMoveX_ = mouseMoveY_ = 0;
    previousMouseX_ = previousMouseY_ = 0;
    confirmRepeat_ = cancelRepeat_ = 0;
    confirmHeldFrames_ = cancelHeldFrames_ = 0;
    lastPressed_ = {};
    keys_ = {};
    toolHeld_[kPrintScreenKey] = 0;
    toolPressed_[kPrintScreenKey] = 0;
}

void InputState::ReadDeviceButtons(const InputDeviceFrame& devices, const KeyConfig& config, bool playback) {
    std::array<uint8_t, 4> previous = deviceHeld_;
    deviceHeld_ = {};
    if (devices.windowActive) {
        auto key = [&](int32_t code) { return code >= 0 && code < 256 && keys_[static_cast<size_t>(code)] != 0; };
        // A configured code outside the keyboard's range names no key.
        auto configured = [&](int which) {
            int32_t code = config.keyboard[which];
            return ValidCode(code, true) && key(code - kFirstKeyboardCode);
        };
        uint32_t pad = devices.pad;
        deviceHeld_[kButtonConfirm] = (pad & static_cast<uint32_t>(config.padMask[0])) || configured(0) ||
                                      key(game_key::kEnter) || key(game_key::kSpace);
        deviceHeld_[kButtonCancel] = (pad & static_cast<uint32_t>(config.padMask[1])) || configured(1) ||
                                     key(game_key::kNumPad0) || key(game_key::kInsert) || key(game_key::kEscape) ||
                                     key(game_key::kBackspace) || (playback && key(game_key::kPlaybackCancel));
        deviceHeld_[kButtonSub] = (pad & static_cast<uint32_t>(config.padMask[2])) || key(game_key::kLeftShift) ||
                                  key(game_key::kRightShift) || configured(2);
        deviceHeld_[kButtonFourth] = (pad & kPadBitFourth) != 0;
    }
    for (size_t i = 0; i < 4; ++i) devicePressed_[i] = deviceHeld_[i] && !previous[i];
}

void InputState::Update(const InputDeviceFrame& devices, const InputContext& context) {
    static const KeyConfig kDefaultConfig;
    const KeyConfig& config = context.keyConfig ? *context.keyConfig : kDefaultConfig;
    ReplayLink* replay = context.replay;
    bool playback = replay && replay->Playing();
    if (playback && replay->Ended()) return;

    std::array<uint8_t, 4> previousDirections = dirHeld_;
    uint8_t previousCtrl = ctrlHeld_, previousShift = shiftHeld_;
    std::array<uint8_t, 4> previousHeld = held_;
    std::array<uint8_t, kToolKeyCount> previousTools = toolHeld_;
    int32_t previous8 = direction8_;
    dirHeld_ = {};
    ctrlHeld_ = shiftHeld_ = 0;
    mouseHeld_ = {};
    mouseClicked_ = {};
    keys_ = devices.keys;
    direction8_ = direction4_ = newDirection_ = 0;
    auto key = [&](uint8_t code) { return keys_[code] != 0; };

    if (!playback) {
        if (devices.windowActive) {
            uint32_t pad = devices.padWithKeyboard;
            dirHeld_[kUp] = (pad & kPadBitUp) != 0;
            dirHeld_[kDown] = (pad & kPadBitDown) != 0;
            dirHeld_[kLeft] = (pad & kPadBitLeft) != 0;
            dirHeld_[kRight] = (pad & kPadBitRight) != 0;
        }
        int32_t x = devices.mouseX, y = devices.mouseY;
        if (!(context.chipSize == 32 && devices.windowRate == 1.0)) {
            x += 1;
            y += 1;
        }
        x = std::clamp(x, 0, 640);
        y = std::clamp(y, -10, 480);
        if (context.chipSize == 16) {
            x /= 2;
            y /= 2;
        }
        mouseX_ = x;
        mouseY_ = y;
        mouseMoveX_ = x - previousMouseX_;
        mouseMoveY_ = y - previousMouseY_;
        previousMouseX_ = x;
        previousMouseY_ = y;
        if (devices.windowActive) {
            static constexpr uint32_t kBits[3] = {1, 2, 4};
            for (size_t i = 0; i < 3; ++i) {
                mouseHeld_[i] = (devices.mouseButtons & kBits[i]) != 0;
                mouseClicked_[i] = mouseHeld_[i] && !previousMouse_[i];
            }
        }
        previousMouse_ = mouseHeld_;
        wheelTurns_ = devices.windowActive ? devices.wheelTurns : 0;
        ctrlHeld_ = key(game_key::kLeftControl) || key(game_key::kRightControl);
        shiftHeld_ = key(game_key::kLeftShift) || key(game_key::kRightShift);
        ctrlPressed_ = ctrlHeld_ && !previousCtrl;
        shiftPressed_ = shiftHeld_ && !previousShift;
        ReadDeviceButtons(devices, config, false);
        held_ = deviceHeld_;
        if (replay) {
            replay->Record({dirHeld_[kUp], dirHeld_[kDown], dirHeld_[kLeft], dirHeld_[kRight], held_[0], held_[1],
                            held_[2], held_[3]});
        }
    } else {
        ReadDeviceButtons(devices, config, true);
        std::array<uint8_t, 8> played = replay->Play();
        if (replay->Ended()) {
            // The record ran out in this update, and the box that said so
            // read the devices until the player closed it: what the player
            // holds now is held already, so closing the box presses nothing
            // in the game.
            pressed_ = {};
            dirPressed_ = {};
            return;
        }
        for (size_t i = 0; i < 4; ++i) {
            dirHeld_[i] = played[i] != 0;
            held_[i] = played[4 + i] != 0;
        }
    }

    for (size_t i = 0; i < 4; ++i) pressed_[i] = held_[i] && !previousHeld[i];
    confirmHeldFrames_ = held_[kButtonConfirm] ? confirmHeldFrames_ + 1 : 0;
    cancelHeldFrames_ = held_[kButtonCancel] ? cancelHeldFrames_ + 1 : 0;

    for (size_t i = 0; i < 4; ++i) dirPressed_[i] = dirHeld_[i] && !previousDirections[i];
    UpdateDirections(previous8);

    int32_t start = std::max(1, context.repeatStart / std::max(1, context.frameStep));
    int32_t interval = std::max(1, context.repeatInterval / std::max(1, context.frameStep));
    confirmRepeat_ = RepeatTick(confirmHeldFrames_, start, interval);
    cancelRepeat_ = RepeatTick(cancelHeldFrames_, start, interval);
    repeat4_ = newDirection_ != 0 ? newDirection_
                                  : (RepeatTick(directionFrames_, start, interval) ? direction4_ : 0);
    repeat8_ = direction8_;

    static constexpr uint8_t kToolCodes[kToolKeyCount] = {game_key::kF4, game_key::kF5, game_key::kF8,
                                                          game_key::kF9, game_key::kF12, game_key::kPrintScreen};
    for (size_t i = 0; i < kToolKeyCount; ++i) {
        toolHeld_[i] = key(kToolCodes[i]);
        toolPressed_[i] = toolHeld_[i] && !previousTools[i];
    }
}

void InputState::UpdateDirections(int32_t previous8) {
    // Of two opposite directions held together the one pressed later wins;
    // releasing it gives the other back.
    static constexpr std::array<std::pair<Direction, Direction>, 2> kAxes = {
        std::pair{kUp, kDown}, std::pair{kLeft, kRight}};
    for (auto [a, b] : kAxes) {
        for (auto [self, other] : {std::pair{a, b}, std::pair{b, a}}) {
            if (dirPressed_[self]) {
                lastPressed_[self] = 1;
                lastPressed_[other] = 0;
            }
        }
        for (auto [self, other] : {std::pair{a, b}, std::pair{b, a}}) {
            if (!dirHeld_[self]) lastPressed_[self] = 0;
        }
        for (auto [self, other] : {std::pair{a, b}, std::pair{b, a}}) {
            if (dirHeld_[self] && !lastPressed_[other]) lastPressed_[self] = 1;
        }
        // Both held with neither pressed later (after a reset): the first one.
        if (lastPressed_[a] && lastPressed_[b]) lastPressed_[b] = 0;
    }
    direction4_ = FourWay(lastPressed_);
    direction8_ = Combine(lastPressed_[kUp], lastPressed_[kDown], lastPressed_[kLeft], lastPressed_[kRight]);
    if (direction8_ != previous8) lastDifferent8_ = previous8;
    newDirection_ = FourWay(dirPressed_);
    bool any = dirHeld_[kUp] || dirHeld_[kDown] || dirHeld_[kLeft] || dirHeld_[kRight];
    directionFrames_ = any ? directionFrames_ + 1 : 0;
}

}  // namespace velk
