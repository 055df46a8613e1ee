#pragma once
// The main window's state, shared by the window's creation, its procedure,
// the message processing and the window-mode switch.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lib/core/math.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_messages.h"

namespace velk {

struct WindowState {
    // Settings the program makes before start-up; they survive the reset at
    // window creation.
    std::string class_name;
    std::string title;  // Shift-JIS; empty means none set
    int icon_id = 0;
    int window_mode = 0;  // 1 window, 0 full screen
    double size_rate = 1.0;
    int always_run = 0;

    // Everything below is reset when the window is created.
    platform::WindowHandle main_window = 0;
    uint32_t window_thread = 0;
    int active = 0;
    int creating = 0;
    int closed = 0;
    int close_posted = 0;
    int ending_state = 0;  // 0 running, 1 library shut-down, 4 closed by the user
    int display_changed = 0;
    int mode_changing = 0;
    int inside_paint = 0;
    Rect client_rect;  // on the screen
    int wheel_count = 0;
    std::vector<std::string> dropped_files;
    int cursor_requested = 0;
    int cursor_effective = 0;
    int style_applied = 0;
    int desktop_width = 0;
    int desktop_height = 0;
    int desktop_bits = 0;
    int char_code_mode = 1;
    // The memory found at creation, in bytes.
    uint64_t total_physical_memory = 0;
    uint64_t available_physical_memory = 0;
    // Held while the window exists, so a second instance is refused.
    std::optional<platform::SingleInstanceLock> instance_lock;
    // Set while the key-input editing step runs.
    int reentry_guard = 0;
};

WindowState& MainWindowState();
// Back to the state before any setting (for tests and a later start).
void ResetWindowState();

constexpr uint32_t kWindowModeStyle = 0x80CA0000u;
constexpr uint32_t kWindowModeExStyle = 0x300u;
constexpr uint32_t kFullScreenStyle = 0x80000000u;
constexpr uint32_t kFullScreenExStyle = 0x8u;
constexpr int kMaxDroppedFiles = 1000;

}  // namespace velk
