// The switch between window mode and full screen, and the window's styles
// and size for each mode.

#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_log_texts.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/base/clock.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

constexpr int kHitClient = 1;

void ApplyFullScreenStyle(WindowState& state, int width, int height) {
    WriteLog(window_log_text::kStyleToFullScreen);
    platform::SetWindowStyles(state.main_window, kFullScreenStyle, kFullScreenExStyle);
    state.client_rect = Rect{0, 0, width, height};
    platform::ShowAppWindow(state.main_window, platform::kShowDefault);
    platform::MoveAppWindow(state.main_window, Rect{0, 0, width, height});
    SetMouseCursorShowFlag(0);
}

void ApplyWindowStyle(WindowState& state, int width, int height) {
    WriteLog(window_log_text::kStyleToWindow);
    const uint32_t style = kWindowModeStyle | (state.style_applied != 0 ? platform::kStyleVisible : 0u);
    platform::SetWindowStyles(state.main_window, style, kWindowModeExStyle);
    const double rate = GetWindowSizeExtendRate();
    const int client_width = static_cast<int>(width * rate);
    const int client_height = static_cast<int>(height * rate);
    Rect framed = platform::AdjustRectForStyle(Rect{0, 0, client_width, client_height}, style, kWindowModeExStyle);
    const int dx = (state.desktop_width - (framed.right - framed.left)) / 2;
    const int dy = (state.desktop_height - (framed.bottom - framed.top)) / 2;
    framed = Rect{framed.left + dx, framed.top + dy, framed.right + dx, framed.bottom + dy};
    platform::MoveAppWindow(state.main_window, framed);
    state.client_rect = platform::GetClientAreaOnScreen(state.main_window);
    if (state.client_rect.left < 0 || state.client_rect.top < 0) {
        // A window larger than the desktop keeps its client area's corner on
        // the screen.
        const int shift_x = -state.client_rect.left;
        const int shift_y = -state.client_rect.top;
        platform::MoveAppWindow(state.main_window, Rect{framed.left + shift_x, framed.top + shift_y,
                                                        framed.right + shift_x, framed.bottom + shift_y});
        state.client_rect = Rect{0, 0, client_width, client_height};
    }
    SetMouseCursorShowFlag(1);
}

}  // namespace

int ChangeWindowMode(int flag) {
    WindowState& state = MainWindowState();
    WriteLog(window_log_text::kChangeWindowMode);
    if (flag == state.window_mode) return 0;
    state.style_applied = 1;
    state.display_changed = 0;
    SetWindowModeFlag(flag);
    if (state.main_window == 0) return 0;

    state.mode_changing = 1;
    ApplyWindowModeStyle();
    const int result = WindowGraphics().change_display_mode(-1, -1, -1, 1, -1);
    // The display reports its change with a message; a switch that changes
    // nothing on the display may never get one, so the wait is bounded.
    const int32_t start = platform::Milliseconds31();
    while (ProcessMessagesBody() == 0 && state.display_changed == 0) {
        if (platform::ElapsedMilliseconds31(start, platform::Milliseconds31()) >= kDisplayChangeWaitMilliseconds) break;
        IdleSleep(1);
    }
    state.mode_changing = 0;
    return result;
}

int SetWindowModeFlag(int flag) {
    MainWindowState().window_mode = flag;
    WriteLog(flag == 1 ? window_log_text::kWindowModeFlagSet : window_log_text::kWindowModeFlagCleared);
    return 0;
}

int ApplyWindowModeStyle() {
    WindowState& state = MainWindowState();
    if (state.main_window == 0) return 0;
    int width = 0;
    int height = 0;
    WindowGraphics().get_draw_screen_size(&width, &height);
    if (state.window_mode == 0) {
        ApplyFullScreenStyle(state, width, height);
    } else {
        ApplyWindowStyle(state, width, height);
    }
    WriteLog(window_log_text::kStyleDone);
    platform::BringAppWindowToTop(state.main_window);
    platform::PostWindowMessage(state.main_window, platform::msg::kSetCursor,
                                static_cast<platform::WParam>(state.main_window),
                                platform::MakeLParam(kHitClient, platform::msg::kMouseMove));
    return 0;
}

int SetWindowSizeExtendRate(double rate) {
    WindowState& state = MainWindowState();
    if (rate == state.size_rate) return 0;
    state.size_rate = rate > 0.0 ? rate : 1.0;
    if (state.window_mode != 0) ApplyWindowModeStyle();
    return 0;
}

}  // namespace velk
