// The library on a real display (an X server such as Xvfb): the player's
// window opens at 640 x 480 and shows the frames the game flips. Without a
// display the test is skipped.

#include "tests/lib/api/real_display.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "lib/api/library_api.h"
#include "platform/display/display_output.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

TEST(RealDisplay, ShowsTheFlippedFrameInA640By480Window) {
#if defined(__SANITIZE_ADDRESS__)
    // SDL's X11 video leaves allocations in libraries it unloads before the
    // leak check can name them.
    GTEST_SKIP() << "not under the address sanitizer";
#endif
    if (!testing::HasRealDisplay()) GTEST_SKIP() << "no display";
    testing::ScratchDir scratch;
    testing::RealDisplay real_display(scratch.path());

    RegisterLibraryParts();
    SetLogOutputFlag(0);
    SetScreenMode(640, 480, 32, 60);
    ChangeWindowMode(1);
    ASSERT_EQ(InitLibrary(), 0);
    auto* sdl = static_cast<SDL_Window*>(platform::NativeWindowOf(GetMainWindowHWND()));
    ASSERT_NE(sdl, nullptr);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    SetDrawScreen(kBackScreen);
    ClearDrawScreen();
    DrawBox(100, 100, 300, 200, GetColorValue(0, 200, 100), 1);
    ASSERT_EQ(FlipScreen(), 0);
    // What the window's renderer drew: the screenshot of the window.
    platform::PresentedFrame shot;
    ASSERT_TRUE(platform::ActiveDisplayOutput().ReadPresentedPixels(GetMainWindowHWND(), &shot));
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    EXPECT_EQ(shot.at(150, 150), 0x00C864u);
    EXPECT_EQ(shot.at(50, 50), 0u);
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_EQ(EndLibrary(), 0);
}

}  // namespace
}  // namespace velk
