// The real window on a display (an X server such as Xvfb). Without a
// display the test is skipped.

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/base/sync.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

// The desktop bus library that SDL's X11 driver loads keeps a block for the
// life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace velk {
namespace {

TEST(RealWindow, OpensResizesWithTheRateAndClosesThroughTheCloseBox) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') GTEST_SKIP() << "no display";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    platform::SetDebugOutputEnabled(false);
    testing::ScratchDir scratch;
    platform::SetInstanceLockFolder(scratch.path().string());
    platform::ManualClock clock;
    platform::ScopedClock installed(clock);
    SetIdleSleepFunction([&](uint32_t milliseconds) {
        platform::SleepMilliseconds(0);
        clock.AdvanceMilliseconds(milliseconds);
    });
    platform::SetWindowBackend(platform::CreateSdlWindowBackend());
    ResetWindowState();

    MainWindowState().window_mode = 1;
    ASSERT_EQ(CreateMainWindow(), 0);
    auto* sdl = static_cast<SDL_Window*>(platform::NativeWindowOf(GetMainWindowHWND()));
    ASSERT_NE(sdl, nullptr);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_TRUE((SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) != 0);

    SetWindowSizeExtendRate(2.0);
    ProcessMessagesBody();
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 960);

    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = SDL_GetWindowID(sdl);
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
    int result = 0;
    for (int i = 0; i < 100 && result == 0; ++i) result = ProcessMessagesBody();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(MainWindowState().ending_state, 4);
    EXPECT_EQ(EndMainWindow(), 0);

    ResetWindowState();
    platform::SetWindowBackend(std::make_unique<platform::ManualWindowBackend>());
    SetIdleSleepFunction(nullptr);
    platform::SetInstanceLockFolder("");
    unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
}  // namespace velk
