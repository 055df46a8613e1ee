// The input state from device readings: directions and their priorities,
// buttons, repeat, the mouse in game pixels, and the key configuration.
#include <gtest/gtest.h>

#include "game/data/input_state.h"

namespace velk {
namespace {

InputDeviceFrame Pad(uint32_t directions, uint32_t pad = 0) {
    InputDeviceFrame frame;
    frame.padWithKeyboard = directions;
    frame.pad = pad;
    return frame;
}

InputDeviceFrame Key(uint8_t code) {
    InputDeviceFrame frame;
    frame.keys[code] = 0x80;
    return frame;
}

TEST(InputState, TheDirectionPressedLaterWinsAndReleasingItGivesTheOtherBack) {
    InputState input;
    InputContext context;
    struct Step {
        uint32_t held;
        int32_t four;
        int32_t eight;
    };
    const Step steps[] = {
        {kPadBitLeft, 4, 4},
        {kPadBitLeft | kPadBitRight, 6, 6},
        {kPadBitLeft, 4, 4},
        {kPadBitUp | kPadBitRight, 8, 9},
        {kPadBitDown | kPadBitLeft, 2, 1},
        {kPadBitDown | kPadBitLeft | kPadBitUp, 8, 7},
        {0, 0, 0},
    };
    for (const Step& step : steps) {
        input.Update(Pad(step.held), context);
        EXPECT_EQ(input.Direction4(), step.four) << step.held;
        EXPECT_EQ(input.Direction8(), step.eight) << step.held;
    }
}

TEST(InputState, ButtonsComeFromPadConfiguredKeysAndFixedKeysAndCountNewPressesOnce) {
    InputContext context;
    KeyConfig config;
    context.keyConfig = &config;
    struct Case {
        InputDeviceFrame frame;
        GameButton button;
    };
    const Case cases[] = {
        {Key(game_key::kEnter), kButtonConfirm}, {Key(game_key::kSpace), kButtonConfirm},
        {Key(game_key::kZ), kButtonConfirm},     {Pad(0, 0x10), kButtonConfirm},
        {Key(game_key::kEscape), kButtonCancel}, {Key(game_key::kX), kButtonCancel},
        {Key(game_key::kInsert), kButtonCancel}, {Key(game_key::kLeftShift), kButtonSub},
        {Key(game_key::kC), kButtonSub},         {Pad(0, kPadBitFourth), kButtonFourth},
    };
    for (const Case& c : cases) {
        InputState input;
        input.Update(c.frame, context);
        EXPECT_TRUE(input.Held(c.button) && input.Pressed(c.button)) << c.button;
        input.Update(c.frame, context);
        EXPECT_TRUE(input.Held(c.button));
        EXPECT_FALSE(input.Pressed(c.button));
    }
    InputState inactive;
    InputDeviceFrame frame = Key(game_key::kEnter);
    frame.padWithKeyboard = kPadBitUp;
    frame.mouseButtons = 1;
    frame.windowActive = false;
    inactive.Update(frame, context);
    EXPECT_FALSE(inactive.Held(kButtonConfirm));
    EXPECT_EQ(inactive.Direction4(), 0);
    EXPECT_FALSE(inactive.MouseHeld(0));
}

TEST(InputState, RepeatTicksAtTheStartAndEveryIntervalScaledByTheFrameStep) {
    for (int32_t frameStep : {1, 2}) {
        InputState input;
        InputContext context;
        context.repeatStart = 16;
        context.repeatInterval = 5;
        context.frameStep = frameStep;
        std::vector<int> ticks;
        for (int frame = 1; frame <= 30; ++frame) {
            input.Update(Key(game_key::kEnter), context);
            if (input.ConfirmRepeat()) ticks.push_back(frame);
        }
        std::vector<int> expected = frameStep == 1 ? std::vector<int>{16, 21, 26} : std::vector<int>{8, 10, 12, 14, 16,
                                                                                                   18, 20, 22, 24, 26,
                                                                                                   28, 30};
        EXPECT_EQ(ticks, expected) << frameStep;
    }
}

TEST(InputState, TheMouseIsClampedAndHalvedWithSmallChips) {
    struct Case {
        int32_t chipSize;
        double rate;
        int32_t x, y;
        int32_t gameX, gameY;
    };
    const Case cases[] = {
        {32, 1.0, 100, 50, 100, 50},   {32, 2.0, 100, 50, 101, 51}, {32, 1.0, 700, -40, 640, -10},
        {16, 1.0, 639, 479, 320, 240}, {16, 1.0, -5, -40, 0, -5},
    };
    for (const Case& c : cases) {
        InputState input;
        InputContext context;
        context.chipSize = c.chipSize;
        InputDeviceFrame frame;
        frame.mouseX = c.x;
        frame.mouseY = c.y;
        frame.windowRate = c.rate;
        input.Update(frame, context);
        EXPECT_EQ(input.MouseX(), c.gameX);
        EXPECT_EQ(input.MouseY(), c.gameY);
    }
}

TEST(InputState, AResetKeepsHeldButtonsSoTheyAreNotNewlyPressedAfterIt) {
    InputState input;
    InputContext context;
    input.Update(Key(game_key::kEnter), context);
    input.Reset();
    input.Update(Key(game_key::kEnter), context);
    EXPECT_TRUE(input.Held(kButtonConfirm));
    EXPECT_FALSE(input.Pressed(kButtonConfirm));
}

TEST(KeyConfig, SwapsSharedKeysConvertsPadCodesAndIgnoresCodesOutsideTheRanges) {
    KeyConfig config;
    SetKeyConfig(config, GetKeyConfig(config, 0, true), 1, true);
    EXPECT_EQ(config.keyboard[1], 100 + game_key::kZ);
    EXPECT_EQ(config.keyboard[0], 100 + game_key::kX);

    SetKeyConfig(config, 303, 0, false);
    EXPECT_EQ(config.padMask[0], 0x40);
    EXPECT_EQ(config.padMask[2], 0x10);
    EXPECT_EQ(GetKeyConfig(config, 0, false), 303);
    EXPECT_EQ(GetPadKeyConfigName(config, 0), "\x83{\x83^\x83\x93" "3");

    KeyConfig before = config;
    for (int32_t code : {99, 256, -1}) SetKeyConfig(config, code, 0, true);
    for (int32_t code : {300, 316, 0}) SetKeyConfig(config, code, 0, false);
    EXPECT_EQ(config.keyboard, before.keyboard);
    EXPECT_EQ(config.padMask, before.padMask);

    // A stored code the keyboard does not have (from an older save) is no key.
    InputState input;
    InputContext context;
    config.keyboard[0] = 400;
    context.keyConfig = &config;
    InputDeviceFrame frame;
    frame.keys.fill(0x80);
    frame.keys[game_key::kEnter] = frame.keys[game_key::kSpace] = 0;
    input.Update(frame, context);
    EXPECT_FALSE(input.Held(kButtonConfirm));
}

}  // namespace
}  // namespace velk
