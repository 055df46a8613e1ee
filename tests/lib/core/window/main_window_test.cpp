#include <gtest/gtest.h>

#include <vector>

#include "lib/core/base_routines.h"
#include "lib/core/window/window_procedure.h"
#include "tests/lib/core/window/window_fixture.h"

namespace velk {
namespace {

TEST_F(WindowTest, RateTwoGivesACentredDoubleSizeClientArea) {
    CreateWindowed(2.0);
    EXPECT_EQ(platform::GetClientArea(window()), (Rect{0, 0, 1280, 960}));
    // The framed rectangle (1286 by 989, from -3, -26) moves by half the
    // room the desktop leaves around it.
    EXPECT_EQ(platform::GetWindowRectangle(window()), (Rect{314, 19, 1600, 1008}));
    Rect client;
    GetWindowClientRect(&client);
    EXPECT_EQ(client, (Rect{317, 45, 1597, 1005}));
    EXPECT_EQ(platform::GetWindowStyle(window()), kWindowModeStyle | platform::kStyleVisible);
    EXPECT_EQ(platform::GetWindowExStyle(window()), kWindowModeExStyle);
    EXPECT_TRUE(backend.WindowState(window()).visible);
    EXPECT_EQ(GetWindowActiveFlag(), 1);
    EXPECT_EQ(GetMouseCursorShowFlag(), 1);
    // The screen saver stays off while the window exists.
    EXPECT_FALSE(backend.screen_saver_enabled());
    // The desktop's mode is the one found at creation.
    int width = 0, height = 0, bits = 0;
    GetDesktopScreenMode(&width, &height, &bits);
    EXPECT_EQ((std::vector<int>{width, height, bits}), (std::vector<int>{1920, 1080, 32}));
    GetDesktopScreenMode(nullptr, nullptr, nullptr);
}

TEST_F(WindowTest, DefaultNamesAndTheTitleAsClassName) {
    CreateWindowed();
    EXPECT_EQ(MainWindowState().class_name, "Z123987A");
    EXPECT_EQ(platform::GetWindowTitle(window()), "RiRar");
    EndMainWindow();
    ResetWindowState();
    SetMainWindowText("\x83\x51\x81\x5B\x83\x80");
    CreateWindowed();
    EXPECT_EQ(MainWindowState().class_name, "\x83\x51\x81\x5B\x83\x80");
    SetMainWindowText("new");
    EXPECT_EQ(platform::GetWindowTitle(window()), "new");
}

TEST_F(WindowTest, ARateNotAboveZeroCountsAsOne) {
    CreateWindowed();
    SetWindowSizeExtendRate(-3.0);
    EXPECT_EQ(GetWindowSizeExtendRate(), 1.0);
    EXPECT_EQ(platform::GetClientArea(window()), (Rect{0, 0, 640, 480}));
    SetWindowSizeExtendRate(1.5);
    EXPECT_EQ(platform::GetClientArea(window()), (Rect{0, 0, 960, 720}));
    MainWindowState().window_mode = 0;
    EXPECT_EQ(GetWindowSizeExtendRate(), 1.0);
}

TEST_F(WindowTest, AWindowLargerThanTheDesktopKeepsItsCornerOnScreen) {
    backend.SetDesktop(Rect{0, 0, 1024, 768});
    CreateWindowed(2.0);
    EXPECT_EQ(platform::GetClientAreaOnScreen(window()), (Rect{0, 0, 1280, 960}));
    Rect client;
    GetWindowClientRect(&client);
    EXPECT_EQ(client, (Rect{0, 0, 1280, 960}));
}

TEST_F(WindowTest, FullScreenWindowCoversTheDrawScreenWithoutCursor) {
    ASSERT_EQ(CreateMainWindow(), 0);
    EXPECT_EQ(platform::GetWindowRectangle(window()), (Rect{0, 0, 640, 480}));
    EXPECT_EQ(platform::GetWindowStyle(window()) & ~platform::kStyleVisible, kFullScreenStyle);
    EXPECT_TRUE(backend.WindowState(window()).fullscreen);
    EXPECT_FALSE(backend.cursor_visible());
    EXPECT_EQ(GetMouseCursorShowFlag(), 0);
}

TEST_F(WindowTest, ASecondInstanceIsRefused) {
    backend.SetDisplayName("x11::0");
    auto other = platform::SingleInstanceLock::Acquire("Z123987A", "x11::0");
    ASSERT_TRUE(other.has_value());
    MainWindowState().window_mode = 1;
    EXPECT_EQ(CreateMainWindow(), -1);
    EXPECT_TRUE(SecondInstanceRefused());
    EXPECT_EQ(GetWindowCloseFlag(), 1);
    EXPECT_EQ(window(), 0);
    EXPECT_EQ(backend.OpenWindowCount(), 0u);
    EXPECT_TRUE(backend.screen_saver_enabled());
    EXPECT_EQ(ProcessMessagesBody(), -1);
    other.reset();
    // While our window exists, another instance finds it.
    ResetWindowState();
    CreateWindowed();
    EXPECT_FALSE(platform::SingleInstanceLock::Acquire("Z123987A", "x11::0").has_value());
    EXPECT_TRUE(platform::SingleInstanceLock::Acquire("Z123987A", "x11::1").has_value()) << "another display";
    EndMainWindow();
    EXPECT_TRUE(platform::SingleInstanceLock::Acquire("Z123987A", "x11::0").has_value());
}

TEST_F(WindowTest, AHeadlessBackEndTakesNoLock) {
    // Headless runs (tests, CI) never refuse each other.
    backend.SetDisplayName(std::nullopt);
    CreateWindowed();
    EXPECT_EQ(MainWindowState().instance_lock->path(), "");
    EndMainWindow();
    ResetWindowState();
    backend.SetDisplayName("x11::0");
    CreateWindowed();
    EXPECT_NE(MainWindowState().instance_lock->path(), "");
    EXPECT_FALSE(SecondInstanceRefused());
    EndMainWindow();
}

TEST_F(WindowTest, AFailedWindowIsReportedAndNothingStaysBehind) {
    backend.SetFailOpen(true);
    MainWindowState().window_mode = 1;
    EXPECT_EQ(CreateMainWindow(), -1);
    EXPECT_EQ(GetWindowCloseFlag(), 1);
    EXPECT_FALSE(platform::IsWindowClassRegistered("Z123987A"));
    EXPECT_TRUE(platform::SingleInstanceLock::Acquire("Z123987A", "x11::0").has_value());
}

TEST_F(WindowTest, EndingClosesTheWindowAndEveryLaterPassReportsTheEnd) {
    CreateWindowed();
    int key_input_ended = 0;
    WindowTextInputServices text;
    text.end_key_input = [&] { ++key_input_ended; };
    SetWindowTextInputServices(text);
    EXPECT_EQ(EndMainWindow(), 0);
    EXPECT_EQ(key_input_ended, 1);
    EXPECT_EQ(backend.OpenWindowCount(), 0u);
    EXPECT_FALSE(platform::IsWindowClassRegistered("Z123987A"));
    EXPECT_TRUE(backend.screen_saver_enabled());
    EXPECT_EQ(GetWindowCloseFlag(), 1);
    EXPECT_EQ(ProcessMessagesBody(), -1);
    EXPECT_EQ(EndMainWindow(), 0);
}

TEST_F(WindowTest, MousePositionReadsInDrawScreenPixelsAndIsSetInClientPixels) {
    CreateWindowed(2.0);
    Rect client;
    GetWindowClientRect(&client);
    platform::SetCursorScreenPosition(client.left + 201, client.top + 99);
    int x = 0;
    int y = 0;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 49);
    // The caller scales by the rate; the position is not scaled again.
    SetMousePosition(600, 400);
    ASSERT_FALSE(backend.warps().empty());
    // Warps are in client pixels.
    EXPECT_EQ(backend.warps().back().x, 600);
    EXPECT_EQ(backend.warps().back().y, 400);
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 200);
    // Held to the client area, the whole of it.
    SetMousePosition(5000, -7);
    EXPECT_EQ(backend.warps().back().x, 1280);
    EXPECT_EQ(backend.warps().back().y, 0);
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 640);
    EXPECT_EQ(y, 0);
}

// A millisecond clock that moves on every pass and a microsecond counter that
// only moves every 16 milliseconds.
class CoarseCounterClock final : public platform::Clock {
public:
    uint32_t Milliseconds() override { return ms; }
    int64_t Microseconds() override { return static_cast<int64_t>(ms / 16) * 16000 + 7; }
    int64_t WallSeconds() override { return 0; }
    uint32_t ms = 5000;
};

TEST_F(WindowTest, TheMicrosecondClockFollowsTheTimerTestsChoice) {
    CreateWindowed();
    EndMainWindow();
    EXPECT_TRUE(GetUsePerformanceCounter()) << "both clocks moved alike";
    EXPECT_EQ(GetUsecCount(), clock.Microseconds());

    CoarseCounterClock coarse;
    platform::SetActiveClock(&coarse);
    SetIdleSleepFunction([&](uint32_t milliseconds) { coarse.ms += milliseconds; });
    ResetWindowState();
    CreateWindowed();
    EXPECT_FALSE(GetUsePerformanceCounter()) << "the millisecond clock changed more often";
    EXPECT_EQ(GetUsecCount(), static_cast<int64_t>(coarse.ms) * 1000);
    EndMainWindow();
    SetUsePerformanceCounter(true);
    platform::SetActiveClock(&clock);
}

TEST_F(WindowTest, CursorFlagDrivesTheDisplayCount) {
    CreateWindowed();
    EXPECT_TRUE(backend.cursor_visible());
    SetMouseCursorShowFlag(0);
    EXPECT_FALSE(backend.cursor_visible());
    SetMouseCursorShowFlag(0);
    EXPECT_EQ(platform::ShowCursorCount(true), 0);  // lowered only once
    platform::ShowCursorCount(false);
    SetMouseCursorShowFlag(1);
    EXPECT_TRUE(backend.cursor_visible());
    EXPECT_EQ(GetMouseCursorShowFlag(), 1);
}

TEST(KeepAspectWhileSizing, FollowsTheDraggedEdge) {
    // Frame 6 by 29, screen 640 by 480.
    Rect right_edge{0, 0, 806, 500};
    EXPECT_EQ(KeepAspectWhileSizing(2, &right_edge, 6, 29, 640, 480), 800);
    EXPECT_EQ(right_edge.bottom, 600 + 29);
    Rect bottom_edge{10, 10, 300, 10 + 29 + 240};
    EXPECT_EQ(KeepAspectWhileSizing(6, &bottom_edge, 6, 29, 640, 480), 320);
    EXPECT_EQ(bottom_edge.right, 10 + 320 + 6);
    Rect wide_corner{0, 0, 6 + 700, 29 + 300};  // the width is the larger part of the screen: it leads
    EXPECT_EQ(KeepAspectWhileSizing(8, &wide_corner, 6, 29, 640, 480), 700);
    EXPECT_EQ(wide_corner.right, 706);
    EXPECT_EQ(wide_corner.bottom, 29 + 525);
    Rect tall_corner{0, 0, 6 + 320, 29 + 480};
    EXPECT_EQ(KeepAspectWhileSizing(4, &tall_corner, 6, 29, 640, 480), 640);
    EXPECT_EQ(tall_corner.right, 646);
}

}  // namespace
}  // namespace velk
