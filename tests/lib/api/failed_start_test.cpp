// A start-up that fails half-way takes down what it had started, so the
// program can end cleanly or try again; and the start options that leave
// the graphics out or colour the screens.

#include <string>
#include <vector>

#include "lib/core/input/device_input.h"
#include "lib/api/library_api.h"
#include "lib/api/startup_log_texts.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/sound/sound_log_texts.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk::testing {
namespace {

class FailedStartTest : public StartupTest {
protected:
    // Expects every part down again and the library ready for a new start.
    void ExpectNothingLeftStarted() {
        EXPECT_FALSE(IsLibraryInitialized());
        EXPECT_FALSE(IsLibraryStarting());
        EXPECT_EQ(GetMainWindowHWND(), 0u);
        EXPECT_FALSE(IsInputStarted());
        EXPECT_FALSE(audio.Started());
        EXPECT_EQ(LineOf("Alloc memory dump"), -1);
    }

    // Graphics steps that record what was asked and fail their start.
    void FailGraphicsStart() {
        GraphicsStartSteps steps;
        steps.start = [this] {
            calls.push_back("start");
            return -1;
        };
        steps.end = [this] {
            calls.push_back("end");
            return 0;
        };
        SetGraphicsStartSteps(steps);
    }

    std::vector<std::string> calls;
};

TEST_F(FailedStartTest, AWindowThatCannotBeMadeLeavesNothingStarted) {
    backend.SetFailOpen(true);
    EXPECT_EQ(InitLibrary(), -1);
    ExpectNothingLeftStarted();
    EXPECT_LT(LineOf(startup_log_text::kComStart), LineOf(startup_log_text::kComEnded));

    backend.SetFailOpen(false);
    EXPECT_EQ(InitLibrary(), 0);
    EXPECT_EQ(EndLibrary(), 0);
}

TEST_F(FailedStartTest, AnotherRunningInstanceIsRefused) {
    // The window class is the title's, here the one the program set.
    SetMainWindowText("Game");
    backend.SetDisplayName("x11::0");
    std::optional<platform::SingleInstanceLock> first = platform::SingleInstanceLock::Acquire("Game", "x11::0");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(InitLibrary(), -1);
    ExpectNothingLeftStarted();
}

TEST_F(FailedStartTest, GraphicsThatCannotStartTakeDownTheWindowInputSoundAndThemselves) {
    FailGraphicsStart();
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "end"}));
    ExpectNothingLeftStarted();
    const int sound_end = LineOf(sound_text::kEndFinished);
    EXPECT_NE(sound_end, -1);
    EXPECT_LT(sound_end, LineOf(startup_log_text::kComEnded));

    // The next start, with the screen's own steps, works.
    RegisterLibraryParts();
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_NE(GetMainWindowHWND(), 0u);
    EXPECT_EQ(EndLibrary(), 0);
}

TEST_F(FailedStartTest, TheNoGraphicsOptionStartsEverythingButTheGraphics) {
    FailGraphicsStart();
    LibraryStartOptions options;
    options.no_graphics = 1;
    SetLibraryStartOptions(options);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_NE(GetMainWindowHWND(), 0u);
    EXPECT_TRUE(IsInputStarted());
    EXPECT_EQ(ProcessMessages(), 0);
    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_NE(LineOf("Alloc memory dump"), -1);
}

TEST_F(StartupTest, TheBackgroundColourFillsTheScreensAndItsClears) {
    LibraryStartOptions options;
    options.background_red = 40;
    options.background_green = 80;
    options.background_blue = 300;  // cut to 255
    SetLibraryStartOptions(options);
    SetScreenMode(640, 480, 32, 60);
    ASSERT_EQ(InitLibrary(), 0);
    SetDrawScreen(kBackScreen);
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(FlipScreen(), 0);
    platform::PresentedFrame frame;
    ASSERT_TRUE(output.output().ReadPresentedPixels(GetMainWindowHWND(), &frame));
    EXPECT_EQ(frame.at(320, 240), 0x2850FFu);
    EXPECT_EQ(EndLibrary(), 0);
}

TEST_F(StartupTest, TheSystemRecordHoldsTheVideoDriverOnceGraphicsRun) {
    ASSERT_EQ(InitLibrary(), 0);
    const SystemInformation& record = GetSystemInfoBlock();
    EXPECT_EQ(record.directx_version, kDirectXVersion7);
    EXPECT_EQ(record.os_code, kOsCodeWindowsXp);
    EXPECT_FALSE(record.video_driver_name.empty());
    EXPECT_LE(record.video_driver_name.size(), kVideoDriverTextMax);
    EXPECT_EQ(EndLibrary(), 0);
}

}  // namespace
}  // namespace velk::testing
