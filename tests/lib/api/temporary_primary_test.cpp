#include <cstring>

#include <gtest/gtest.h>

#include "lib/api/library_api.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/base/system_info.h"
#include "platform/display/display_surface.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk::testing {
namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;

// Where the system composes the desktop, the front screen is drawn into a
// temporary primary that a 17 ms window timer copies into the window.
class TemporaryPrimaryTest : public StartupTest {
protected:
    TemporaryPrimaryTest() { platform::SetReportWindowsVistaForTests(true); }
    ~TemporaryPrimaryTest() override {
        EndLibrary();
        platform::SetReportWindowsVistaForTests(false);
    }

    void Start(int window_mode) {
        MainWindowState().window_mode = window_mode;
        SetScreenMode(640, 480, 32, 60);
        ASSERT_EQ(InitLibrary(), 0);
        ASSERT_EQ(GetSystemInfoBlock().os_code, kOsCodeWindowsVista);
    }

    uint32_t Shown(int x, int y) {
        platform::PresentedFrame frame;
        EXPECT_TRUE(output.output().ReadPresentedPixels(GetMainWindowHWND(), &frame));
        return frame.width > x && frame.height > y ? frame.at(x, y) & 0xFFFFFF : 0xDEAD;
    }

    static uint32_t SurfacePixel(platform::DdSurface* surface, int x, int y) {
        platform::DdSurfaceDesc desc;
        if (surface == nullptr || surface->Lock(nullptr, &desc, platform::kDdLockWait) != platform::kDdOk)
            return 0xDEAD;
        const auto* row = static_cast<const uint8_t*>(desc.surface) + static_cast<ptrdiff_t>(y) * desc.pitch;
        uint32_t pixel = 0;
        std::memcpy(&pixel, row + x * 4, 4);
        surface->Unlock(nullptr);
        return pixel & 0xFFFFFF;
    }
    static uint32_t TempPrimaryPixel(int x, int y) { return SurfacePixel(Screen().temp_primary.get(), x, y); }

    // Lets the window's timers run as `milliseconds` pass.
    void Wait(int milliseconds) {
        clock.AdvanceMilliseconds(static_cast<uint32_t>(milliseconds));
        ProcessMessages();
    }

    void ShowBack(uint32_t colour) {
        SetDrawScreen(kBackScreen);
        DrawBox(0, 0, 640, 480, GetColorValue(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF), 1);
        ASSERT_EQ(FlipScreen(), 0);
    }
};

TEST_F(TemporaryPrimaryTest, OnlyTheSwitchMakesTheStandInReportTheComposedDesktop) {
    platform::SetReportWindowsVistaForTests(false);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(GetSystemInfoBlock().os_code, kOsCodeWindowsXp);
    EXPECT_EQ(Screen().temp_primary_flag, 0);
    EXPECT_FALSE(Screen().temp_primary);
    EXPECT_FALSE(Screen().half_temp_primary);
}

TEST_F(TemporaryPrimaryTest, StartUpMakesBothTemporaryPrimaries) {
    Start(1);
    EXPECT_EQ(Screen().temp_primary_flag, 1);
    ASSERT_TRUE(Screen().temp_primary);
    EXPECT_EQ(Screen().temp_primary->width(), 640u);
    EXPECT_EQ(Screen().temp_primary->height(), 480u);
    ASSERT_TRUE(Screen().half_temp_primary);
    EXPECT_EQ(Screen().half_temp_primary->width(), 320u);
    EXPECT_EQ(Screen().half_temp_primary->height(), 240u);
    Rect on_primary;
    GetScreenWindowRect(&on_primary);
    EXPECT_EQ(on_primary.left, 0) << "the temporary primary has no window offset";
}

TEST_F(TemporaryPrimaryTest, FrontScreenDrawingReachesTheWindowAtTheTimersTickAndWhenTheFrontIsLeft) {
    Start(1);
    ShowBack(kRed);
    ASSERT_EQ(Shown(100, 100), kRed);

    // Taking the front starts from what the window shows.
    SetDrawScreen(kFrontScreen);
    EXPECT_EQ(TempPrimaryPixel(100, 100), kRed);
    DrawBox(50, 50, 150, 150, GetColorValue(0, 255, 0), 1);
    EXPECT_EQ(TempPrimaryPixel(100, 100), kGreen);
    EXPECT_EQ(Shown(100, 100), kRed) << "not before the timer's tick";
    Wait(16);
    EXPECT_EQ(Shown(100, 100), kRed) << "the tick comes after 17 ms";
    Wait(1);
    EXPECT_EQ(Shown(100, 100), kGreen);
    EXPECT_EQ(Shown(300, 300), kRed);

    // The timer goes on while the front is drawn into.
    DrawBox(250, 250, 350, 350, GetColorValue(0, 0, 255), 1);
    Wait(17);
    EXPECT_EQ(Shown(300, 300), kBlue);

    // Leaving the front copies once more and stops the timer.
    DrawBox(50, 50, 150, 150, GetColorValue(0, 0, 255), 1);
    SetDrawScreen(kBackScreen);
    EXPECT_EQ(Shown(100, 100), kBlue);
    SetDrawScreen(kFrontScreen);
    SetDrawScreen(kBackScreen);
    // A change made to the temporary primary behind the library's back is
    // no longer carried into the window.
    const Rect corner{0, 0, 10, 10};
    platform::DdBltFx fx;
    fx.fill_color = 0x00FF00;
    Screen().temp_primary->Blt(&corner, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
    Wait(40);
    EXPECT_NE(Shown(5, 5), kGreen);
}

TEST_F(TemporaryPrimaryTest, AHalfSizeFullScreenFrameIsStretchedOnTheBackAndFlipped) {
    Start(0);
    SetHalfSizeMode(1);
    SetDrawScreen(kBackScreen);
    DrawBox(0, 0, 640, 480, GetColorValue(0, 0, 0), 1);
    // Of the upper-left quarter, its own lower-right quarter is green.
    DrawBox(160, 120, 320, 240, GetColorValue(0, 255, 0), 1);
    DrawBox(320, 240, 640, 480, GetColorValue(255, 0, 0), 1);
    ASSERT_EQ(FlipScreen(), 0);
    EXPECT_EQ(Shown(100, 100), 0u);
    EXPECT_EQ(Shown(400, 300), kGreen);
    EXPECT_EQ(Shown(639, 479), kGreen) << "the quarter fills the screen; the rest of the back is not shown";
    EXPECT_EQ(Shown(330, 100), 0u);
    // The stretch went through the half-size temporary primary onto the back
    // surface itself.
    EXPECT_EQ(SurfacePixel(Screen().half_temp_primary.get(), 200, 150), kGreen);
    EXPECT_EQ(SurfacePixel(Screen().back.get(), 400, 300), kGreen);
}

}  // namespace
}  // namespace velk::testing
