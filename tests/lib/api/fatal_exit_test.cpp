// The fatal exit: the message in the log, an orderly shut-down (or the undoing
// of a start-up still in progress), exit code -1.

#include "lib/api/library_api.h"
#include "lib/api/startup_log_texts.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/sound/sound_data.h"
#include "lib/sound/sound_log_texts.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk::testing {
namespace {

constexpr int kFatalExitCode = 255;  // -1 as the shell sees it

class FatalExitTest : public StartupTest {
protected:
    FatalExitTest() { GTEST_FLAG_SET(death_test_style, "fast"); }

    // The log as the ended child left it: the message, then the lines that
    // follow it.
    void ExpectEndedAfter(const char* message) {
        const int fatal = LineOf(message);
        ASSERT_NE(fatal, -1);
        EXPECT_LT(fatal, LineOf(sound_text::kEndFinished));
        EXPECT_LT(fatal, LineOf(startup_log_text::kComEnded));
    }
};

TEST_F(FatalExitTest, EndsTheRunningLibraryInOrderAndListsTheLeaks) {
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EXIT(ExitOnFatalError("the game cannot go on"), ::testing::ExitedWithCode(kFatalExitCode), "");
    ExpectEndedAfter("the game cannot go on");
    std::vector<std::string> lines = LogLines();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Alloc memory dump");
}

TEST_F(FatalExitTest, GraphicsAndSoundEndThroughIt) {
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EXIT(GraphicsFatalError("graphics gave up"), ::testing::ExitedWithCode(kFatalExitCode), "");
    ExpectEndedAfter("graphics gave up");
    ASSERT_EQ(CreateLogFile(), 0);  // each ended child wrote its own account
    EXPECT_EXIT(ExitOnSoundFatalError("sound gave up"), ::testing::ExitedWithCode(kFatalExitCode), "");
    ExpectEndedAfter("sound gave up");
}

TEST_F(FatalExitTest, ADisplayThatCannotBeUsedAtAllUndoesTheStartUp) {
    platform::SetDisplayDeviceCreationFails(true);
    EXPECT_EXIT(InitLibrary(), ::testing::ExitedWithCode(kFatalExitCode), "");
    ExpectEndedAfter(screen_log::kDdCreateFatal);
    EXPECT_EQ(LineOf("Alloc memory dump"), -1);
}

TEST_F(FatalExitTest, AFatalErrorDuringTheShutDownEndsAtOnce) {
    GraphicsStartSteps steps;
    steps.end = [] {
        ExitOnFatalError("lost during the end");
        return 0;
    };
    SetGraphicsStartSteps(steps);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EXIT(EndLibrary(), ::testing::ExitedWithCode(kFatalExitCode), "");
    EXPECT_NE(LineOf("lost during the end"), -1);
    EXPECT_EQ(LineOf(sound_text::kEndFinished), -1);
    // This process still runs the library; it ends without the failing step.
    SetGraphicsStartSteps(GraphicsStartSteps{});
}

}  // namespace
}  // namespace velk::testing
