// Input's start-up as the device layer answers it: each step refused in turn
// through the manual devices, with what the log then says and how input runs.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lib/core/input/input_log_texts.h"
#include "lib/core/log.h"
#include "tests/lib/core/input/input_fixture.h"

namespace velk {
namespace {

namespace key = platform::key;
namespace text = input_log_text;
using Step = platform::InputSetupStep;

constexpr int kFatalExitCode = 255;  // -1 as the shell sees it

class InputStartTest : public InputTest {
protected:
    InputStartTest() {
        GTEST_FLAG_SET(death_test_style, "fast");
        ForgetInputLayerRefusal();
        SetLogOutputFlag(1);
        SetLogStartDirectory(scratch.path().string());
        CreateLogFile();
    }
    ~InputStartTest() override {
        ForgetInputLayerRefusal();
        SetLogStartDirectory("");
    }

    // The log with its line ends as the texts write them.
    std::string Log() const {
        std::string log = scratch.ReadFile("Log.txt");
        for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at)) log.erase(at, 1);
        return log;
    }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
};

TEST_F(InputStartTest, VersionSevenFirstThenEightAndTheLogSaysHowEachWent) {
    struct Case {
        const char* name;
        Step refused;
        std::vector<std::string> in_order;
    };
    const std::string code = "0x80004005";
    const Case cases[] = {
        {"seven cannot be made", Step::kCreateLayer7,
         {text::kGetting7, text::kGetFailed7, code, text::kTrying8, text::kSuccess, text::kInitialized, text::kAllDone}},
        {"seven does not start", Step::kInitializeLayer7,
         {text::kGetting7, text::kSuccess, text::kContinue, text::kInitFailed, text::kTrying8, text::kAllDone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CreateLogFile();
        devices.AnswerStep(c.refused, platform::kInputStepRefused);
        EXPECT_EQ(InitInput(), 0);
        EXPECT_FALSE(IsInputWithoutDeviceLayer());
        size_t from = 0;
        const std::string log = Log();
        for (const std::string& line : c.in_order) {
            const size_t at = log.find(line, from);
            EXPECT_NE(at, std::string::npos) << line;
            if (at != std::string::npos) from = at + line.size();
        }
        EXPECT_FALSE(Logged(text::kNoLayer));
        TerminateInput();
        devices.AnswerStep(c.refused, platform::kInputStepDone);
    }
}

TEST_F(InputStartTest, WithoutTheLayerTheWindowsKeysAndPlainJoypadsAreRead) {
    devices.AnswerStep(Step::kCreateLayer7, platform::kInputStepRefused);
    devices.AnswerStep(Step::kInitializeLayer8, platform::kInputStepRefused);
    platform::JoystickInfo two_axes;
    devices.AddJoypad(two_axes);
    EXPECT_EQ(InitInput(), 0);
    EXPECT_TRUE(IsInputWithoutDeviceLayer());
    EXPECT_TRUE(Logged(text::kNoLayer));
    EXPECT_TRUE(Logged(std::string(text::kStartedWithoutLayer)));
    char count_line[64];
    std::snprintf(count_line, sizeof count_line, text::kPadCount, 1);
    EXPECT_TRUE(Logged(count_line));
    EXPECT_FALSE(Logged(text::kAllDone)) << "the log must not claim the layer started";
    EXPECT_FALSE(Logged(text::kMouse));

    // The arrows are not among the window's keys; Z, X and Space are.
    devices.SetKey(key::kLeft, true);
    EXPECT_EQ(GetPadInputState(0x1001), 0);
    devices.SetKey(key::kZ, true);
    clock.AdvanceMilliseconds(1);
    EXPECT_EQ(GetPadInputState(0x1001), 1 << 4);
    // A pad of two axes reads no Z; a missing pad reads as at rest.
    devices.Joypad(0).x = -1000;
    devices.Joypad(0).z = 500;
    EXPECT_EQ(GetPadInputState(1), kPadLeft);
    EXPECT_EQ(GetPadInputState(16), 0);
    EXPECT_EQ(GetJoypadCount(), 16);
    devices.SetMouseButtons(0xFF);
    EXPECT_EQ(GetMouseButtonState(), 7);

    // A later start does not try the layer again.
    TerminateInput();
    EXPECT_TRUE(Logged(text::kEndWithoutLayer));
    const size_t steps_before = devices.steps_run().size();
    EXPECT_EQ(InitInput(), 0);
    EXPECT_EQ(devices.steps_run().size(), steps_before);
    EXPECT_TRUE(IsInputWithoutDeviceLayer());
}

TEST_F(InputStartTest, AMouseOrKeyboardThatCannotBeSetUpEndsTheProgram) {
    struct Case {
        Step refused;
        const char* message;
    };
    const Case cases[] = {
        {Step::kCreateMouse, text::kMouseCreateFailed},
        {Step::kMouseDataFormat, text::kMouseFormatFailed},
        {Step::kMouseCooperativeLevel, text::kMouseCooperationFailed},
        {Step::kCreateKeyboard, text::kKeyboardCreateFailed},
        {Step::kKeyboardDataFormat, text::kKeyboardFormatFailed},
        {Step::kKeyboardCooperativeLevel, text::kKeyboardCooperationFailed},
        {Step::kAcquireKeyboard, text::kKeyboardCreateFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CreateLogFile();
        devices.AnswerStep(c.refused, platform::kInputStepRefused);
        EXPECT_EXIT(InitInput(), ::testing::ExitedWithCode(kFatalExitCode), "");
        EXPECT_TRUE(Logged(std::string(c.message) + "\n"));
        devices.AnswerStep(c.refused, platform::kInputStepDone);
    }
}

TEST_F(InputStartTest, TheKeyboardsOptionalStepsOnlyLogOrStopTheStart) {
    // A property that cannot be set only logs.
    devices.AnswerStep(Step::kKeyboardBufferSize, platform::kInputStepRefused);
    EXPECT_EQ(InitInput(), 0);
    EXPECT_TRUE(Logged(text::kKeyboardPropertyFailed));
    TerminateInput();

    // Without its notification the start stops there: result 1, no key map.
    CreateLogFile();
    devices.AnswerStep(Step::kKeyboardNotification, platform::kInputStepRefused);
    EXPECT_EQ(InitInput(), 1);
    EXPECT_TRUE(Logged(text::kKeyboardEventFailed));
    EXPECT_FALSE(Logged(text::kAllDone));
    devices.SetKey(key::kLeft, true);
    EXPECT_EQ(GetPadInputState(0x1001), 0);
    char keys[256];
    GetAllKeyStates(keys);
    EXPECT_EQ(keys[key::kLeft], 1) << "the keyboard itself is still read";
    TerminateInput();

    // A polled device counts as set up.
    CreateLogFile();
    devices.AnswerStep(Step::kKeyboardNotification, platform::kPolledDevice);
    EXPECT_EQ(InitInput(), 0);
    EXPECT_EQ(GetPadInputState(0x1001), kPadLeft);
}

TEST_F(InputStartTest, AJoypadThatFailsAStepIsSkippedWithThatStepsText) {
    struct Case {
        Step refused;
        const char* message;
        bool counted;
    };
    const Case cases[] = {
        {Step::kJoypadDataFormat, text::kJoypadFormatFailed, false},
        {Step::kJoypadCooperativeLevel, text::kJoypadCooperationFailed, false},
        {Step::kJoypadXRange, text::kJoypadXRangeFailed, false},
        {Step::kJoypadYRange, text::kJoypadYRangeFailed, false},
        {Step::kJoypadXDeadZone, text::kJoypadXDeadZoneFailed, false},
        {Step::kJoypadYDeadZone, text::kJoypadYDeadZoneFailed, false},
        {Step::kJoypadNotification, text::kJoypadEventFailed, false},
        {Step::kJoypadConstantForce, text::kJoypadEffectFailed, true},
    };
    devices.AddJoypad();
    devices.AddJoypad();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CreateLogFile();
        devices.AnswerStep(c.refused, platform::kInputStepRefused, 0);
        EXPECT_EQ(InitInput(), 0);
        EXPECT_TRUE(Logged(c.message));
        EXPECT_EQ(GetJoypadCount(), c.counted ? 2 : 1);
        EXPECT_EQ(devices.JoypadOpen(0), c.counted);
        EXPECT_TRUE(devices.JoypadOpen(1));
        TerminateInput();
        devices.AnswerStep(c.refused, platform::kInputStepDone, 0);
    }
}

}  // namespace
}  // namespace velk
