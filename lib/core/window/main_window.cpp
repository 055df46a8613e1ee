#include "lib/core/window/main_window.h"

#include <algorithm>

#include "lib/core/base_routines.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/string_format.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_log_texts.h"
#include "lib/core/window/window_procedure.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/base/sync.h"
#include "platform/base/system_info.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

constexpr char kDefaultClassName[] = "Z123987A";
constexpr char kDefaultTitle[] = "RiRar";
constexpr int kCreationPumpMilliseconds = 200;
constexpr int kTimerTestChanges = 60;
constexpr int kTimerTestMilliseconds = 1000;
// The hit-test code of the client area, which a set-cursor message carries.
constexpr int kHitClient = 1;

WindowState& State() { return MainWindowState(); }

void DrawScreenSize(int* width, int* height) { WindowGraphics().get_draw_screen_size(width, height); }

int ScaledByRate(int size) { return static_cast<int>(size * GetWindowSizeExtendRate()); }

void LogMemoryStatus() {
    const platform::MemoryStatus memory = platform::QueryMemoryStatus();
    constexpr double kMegabyte = 1048576.0;
    WriteLogFormat(window_log_text::kMemoryStatus, memory.total_physical / kMegabyte,
                   memory.available_physical / kMegabyte);
    platform::DebugOutput(FormatString("%.2fMB\n", memory.total_virtual / kMegabyte));
    State().total_physical_memory = memory.total_physical;
    State().available_physical_memory = memory.available_physical;
}

// Counts how often the millisecond clock and the microsecond clock change
// while messages are processed, and reports which one the library times
// with. Each pass gives up the processor for a millisecond rather than
// spinning.
void RunTimerTest() {
    WriteLog(window_log_text::kTimerTest);
    const int32_t start = platform::Milliseconds31();
    int32_t last_ms = start;
    int64_t last_counter = platform::ActiveClock().Microseconds();
    int ms_changes = 0;
    int counter_changes = 0;
    while (ms_changes < kTimerTestChanges && counter_changes < kTimerTestChanges) {
        if (ProcessMessagesBody() != 0) break;
        const int32_t now_ms = platform::Milliseconds31();
        const int64_t now_counter = platform::ActiveClock().Microseconds();
        if (now_ms != last_ms) ++ms_changes;
        if (now_counter != last_counter) ++counter_changes;
        last_ms = now_ms;
        last_counter = now_counter;
        if (platform::ElapsedMilliseconds31(start, now_ms) >= kTimerTestMilliseconds) break;
        IdleSleep(1);
    }
    WriteLogFormat(window_log_text::kTimerTestResult, ms_changes, counter_changes);
    // The microsecond clock follows the choice.
    SetUsePerformanceCounter(ms_changes <= counter_changes);
    if (ms_changes > counter_changes) {
        WriteLogFormat(window_log_text::kUseMultimediaTimer, 1);
    } else {
        WriteLogFormat(window_log_text::kUsePerformanceCounter, 1000.0);
    }
}

// Kept outside the window state, which the failed start-up resets, so the
// program can still say why it did not start.
bool second_instance_refused = false;

// Marks creation as failed: the window is counted as closed and the screen
// saver, switched off on the way, is given back.
int FailCreation() {
    State().closed = 1;
    State().creating = 0;
    platform::SetScreenSaverActive(true);
    return -1;
}

Rect CenteredWindowRect(int client_width, int client_height, uint32_t style, uint32_t ex_style, int desktop_width,
                        int desktop_height) {
    Rect framed = platform::AdjustRectForStyle(Rect{0, 0, client_width, client_height}, style, ex_style);
    const int dx = (desktop_width - (framed.right - framed.left)) / 2;
    const int dy = (desktop_height - (framed.bottom - framed.top)) / 2;
    return Rect{framed.left + dx, framed.top + dy, framed.right + dx, framed.bottom + dy};
}

void PumpMessagesFor(int milliseconds) {
    const int32_t start = platform::Milliseconds31();
    while (platform::ElapsedMilliseconds31(start, platform::Milliseconds31()) < milliseconds) {
        if (ProcessMessagesBody() != 0) break;
        IdleSleep(1);
    }
}

}  // namespace

WindowState& MainWindowState() {
    static WindowState state;
    return state;
}

void ResetWindowState() { MainWindowState() = WindowState{}; }

int CreateMainWindow() {
    WindowState& state = State();
    {
        WindowState fresh;
        fresh.class_name = state.class_name;
        fresh.title = state.title;
        fresh.icon_id = state.icon_id;
        fresh.window_mode = state.window_mode;
        fresh.size_rate = state.size_rate;
        fresh.always_run = state.always_run;
        state = std::move(fresh);
    }
    if (state.class_name.empty()) state.class_name = state.title.empty() ? kDefaultClassName : state.title;
    state.window_thread = platform::CurrentThreadId();

    LogMemoryStatus();
    const Rect desktop = platform::DesktopRectangle();
    state.desktop_width = desktop.right - desktop.left;
    state.desktop_height = desktop.bottom - desktop.top;
    state.desktop_bits = platform::kDesktopColorBits;
    int screen_width = 0;
    int screen_height = 0;
    DrawScreenSize(&screen_width, &screen_height);

    RunTimerTest();
    platform::SetScreenSaverActive(false);

    WriteLog(window_log_text::kDoubleLaunchCheck);
    state.instance_lock = platform::SingleInstanceLock::Acquire(state.class_name, platform::CurrentDisplayName());
    second_instance_refused = !state.instance_lock;
    if (!state.instance_lock) {
        WriteLog(window_log_text::kDoubleLaunched);
        return FailCreation();
    }
    WriteLog(window_log_text::kNotDoubleLaunched);

    state.creating = 1;
    WriteLog(window_log_text::kRegisterClass);
    if (!platform::RegisterWindowClass(state.class_name, MainWindowProc, state.icon_id)) {
        WriteLog(window_log_text::kRegisterClassFailed);
        state.instance_lock.reset();
        return FailCreation();
    }
    WriteLog(window_log_text::kRegisterClassDone);
    if (state.title.empty()) state.title = kDefaultTitle;

    platform::WindowCreateParams params;
    params.class_name = state.class_name;
    params.title = state.title;
    if (state.window_mode != 0) {
        WriteLog(window_log_text::kCreateWindowMode);
        state.cursor_requested = 1;
        params.style = kWindowModeStyle;
        params.ex_style = kWindowModeExStyle;
        params.window_rect = CenteredWindowRect(ScaledByRate(screen_width), ScaledByRate(screen_height),
                                                params.style, params.ex_style, state.desktop_width,
                                                state.desktop_height);
    } else {
        WriteLog(window_log_text::kCreateFullScreen);
        state.cursor_requested = 0;
        params.style = kFullScreenStyle;
        params.ex_style = kFullScreenExStyle;
        params.window_rect = Rect{0, 0, screen_width, screen_height};
    }
    state.main_window = platform::CreateAppWindow(params);
    if (state.main_window == 0) {
        WriteLog(window_log_text::kCreateFailed);
        platform::UnregisterWindowClass(state.class_name);
        state.instance_lock.reset();
        return FailCreation();
    }
    WriteLog(window_log_text::kCreateDone);

    platform::ShowAppWindow(state.main_window, platform::kShowDefault);
    platform::InvalidateWindow(state.main_window);
    state.close_posted = 0;
    state.active = 1;
    if (state.window_mode == 0) {
        WriteLog(window_log_text::kCursorHidden);
        platform::ClearCursorShape();
    }
    WriteLog(window_log_text::kImeDisabled);
    if (!WindowTextInput().ime_enabled()) platform::SetTextInputEnabled(false);
    if (state.window_mode != 0) state.client_rect = platform::GetClientAreaOnScreen(state.main_window);
    state.char_code_mode = 1;  // the system's code page is 932, not 949
    SetMouseCursorShowFlag(state.cursor_requested);

    state.ending_state = 0;
    platform::BringAppWindowToTop(state.main_window);
    PumpMessagesFor(kCreationPumpMilliseconds);
    FitWindowToDrawScreen();
    state.creating = 0;
    return 0;
}

int EndMainWindow() {
    WindowState& state = State();
    if (state.main_window == 0) return 0;
    platform::SetScreenSaverActive(true);
    platform::SetTextInputEnabled(true);
    SetMouseCursorShowFlag(1);
    if (state.close_posted == 0) {
        state.close_posted = 1;
        platform::PostWindowMessage(state.main_window, platform::msg::kClose, 0, 0);
        // The close ends in the quit message; the wait is bounded all the
        // same, in case a procedure refuses to close.
        const int32_t start = platform::Milliseconds31();
        while (ProcessMessagesBody() == 0) {
            if (!platform::IsAppWindow(state.main_window) &&
                platform::ElapsedMilliseconds31(start, platform::Milliseconds31()) >= kDisplayChangeWaitMilliseconds) {
                break;
            }
            IdleSleep(1);
        }
    }
    if (platform::IsAppWindow(state.main_window)) platform::DestroyAppWindow(state.main_window);
    platform::UnregisterWindowClass(state.class_name);
    WindowTextInput().end_key_input();
    FreeDroppedFileNames();
    state.main_window = 0;
    state.instance_lock.reset();
    return 0;
}

int FitWindowToDrawScreen() {
    WindowState& state = State();
    if (state.main_window == 0) return 0;
    int width = 0;
    int height = 0;
    DrawScreenSize(&width, &height);
    if (state.window_mode != 0) {
        width = ScaledByRate(width);
        height = ScaledByRate(height);
    }
    const Rect window_rect = platform::GetWindowRectangle(state.main_window);
    const Rect client = platform::GetClientAreaOnScreen(state.main_window);
    const int frame_width = (window_rect.right - window_rect.left) - (client.right - client.left);
    const int frame_height = (window_rect.bottom - window_rect.top) - (client.bottom - client.top);
    platform::MoveAppWindow(state.main_window, Rect{window_rect.left, window_rect.top,
                                                    window_rect.left + width + frame_width,
                                                    window_rect.top + height + frame_height});
    if (state.window_mode != 0 && state.style_applied == 0) {
        state.style_applied = 1;
        ApplyWindowModeStyle();
    }
    return 0;
}

int ForceForegroundWindow(platform::WindowHandle window, int topmost) {
    platform::BringAppWindowToTop(window);
    if (topmost == 1) {
        platform::SetWindowStyles(window, platform::GetWindowStyle(window),
                                  platform::GetWindowExStyle(window) | platform::kExStyleTopmost);
    }
    return 0;
}

int GetWindowClientRect(Rect* rect) {
    if (rect != nullptr) *rect = State().client_rect;
    return 0;
}

int FreeDroppedFileNames() {
    State().dropped_files.clear();
    return 0;
}

bool SecondInstanceRefused() { return second_instance_refused; }

platform::WindowHandle GetMainWindowHWND() { return State().main_window; }
int GetWindowModeFlag() { return State().window_mode; }
int GetWindowActiveFlag() { return State().active; }
int GetWindowCloseFlag() { return State().closed; }

double GetWindowSizeExtendRate() {
    WindowState& state = State();
    if (state.window_mode == 0) return 1.0;
    if (!(state.size_rate > 0.0)) state.size_rate = 1.0;
    return state.size_rate;
}

int GetDesktopScreenMode(int* width, int* height, int* bits) {
    const WindowState& state = State();
    int found_width = state.desktop_width;
    int found_height = state.desktop_height;
    int found_bits = state.desktop_bits;
    if (!IsLibraryInitialized()) {
        const Rect desktop = platform::DesktopRectangle();
        found_width = desktop.right - desktop.left;
        found_height = desktop.bottom - desktop.top;
        found_bits = platform::kDesktopColorBits;
    }
    if (width != nullptr) *width = found_width;
    if (height != nullptr) *height = found_height;
    if (bits != nullptr) *bits = found_bits;
    return 0;
}

int GetDesktopWorkArea(int* width, int* height) {
    const Rect area = platform::WorkAreaRectangle();
    if (width != nullptr) *width = area.right - area.left;
    if (height != nullptr) *height = area.bottom - area.top;
    return 0;
}

int GetMouseCursorShowFlag() { return State().cursor_requested; }

int SetMainWindowText(const char* title) {
    WindowState& state = State();
    state.title = title == nullptr ? std::string() : std::string(title);
    if (state.main_window != 0) platform::SetWindowTitle(state.main_window, state.title);
    return 0;
}

int SetWindowIconId(int id) {
    WindowState& state = State();
    state.icon_id = id;
    if (state.main_window != 0) platform::SetWindowClassIcon(state.class_name, id);
    return 0;
}

int SetAlwaysRunFlag(int flag) {
    State().always_run = flag;
    return 0;
}

int GetMouseWheelTurns() {
    const int turns = State().wheel_count;
    State().wheel_count = 0;
    return turns;
}

int GetCloseRequestFlag() { return State().close_posted; }
int GetUseMenuFlag() { return 0; }
int GetWindowRgnFlag() { return 0; }

int SetMouseCursorShowFlag(int flag) {
    WindowState& state = State();
    state.cursor_requested = flag;
    const int effective = flag == 1 ? 1 : 0;
    if (effective != state.cursor_effective) {
        if (effective == 1) {
            while (platform::ShowCursorCount(true) < 0) {
            }
        } else {
            while (platform::ShowCursorCount(false) >= 0) {
            }
        }
        if (state.main_window != 0) {
            platform::PostWindowMessage(state.main_window, platform::msg::kSetCursor,
                                        static_cast<platform::WParam>(state.main_window),
                                        platform::MakeLParam(kHitClient, platform::msg::kMouseMove));
        }
        state.cursor_effective = effective;
    }
    return 0;
}

int GetMousePosition(int* x, int* y) {
    const WindowState& state = State();
    int screen_x = 0;
    int screen_y = 0;
    platform::GetCursorScreenPosition(&screen_x, &screen_y);
    if (state.window_mode != 0) {
        const double rate = GetWindowSizeExtendRate();
        screen_x = static_cast<int>((screen_x - state.client_rect.left) / rate);
        screen_y = static_cast<int>((screen_y - state.client_rect.top) / rate);
    }
    if (x != nullptr) *x = screen_x;
    if (y != nullptr) *y = screen_y;
    return 0;
}

int SetMousePosition(int x, int y) {
    const WindowState& state = State();
    int width = 0;
    int height = 0;
    DrawScreenSize(&width, &height);
    // The position is in client pixels: callers that think in draw-screen
    // pixels scale it by the window size rate themselves. It is held to the
    // client area, which at a rate above 1 is larger than the draw screen.
    if (state.window_mode != 0) {
        const double rate = GetWindowSizeExtendRate();
        width = static_cast<int>(width * rate);
        height = static_cast<int>(height * rate);
    }
    x = std::clamp(x, 0, width);
    y = std::clamp(y, 0, height);
    if (state.window_mode != 0) {
        x += state.client_rect.left;
        y += state.client_rect.top;
    }
    platform::SetCursorScreenPosition(x, y);
    return 0;
}

}  // namespace velk
