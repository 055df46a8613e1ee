#pragma once
// State shared by the parts of the window stand-in; not for use outside
// platform/window.

#include <deque>
#include <map>
#include <mutex>

#include "platform/window/input_method.h"
#include "platform/window/window_system.h"

namespace velk::platform::window_internal {

struct WindowClassRecord {
    WindowProcedure procedure;
    int icon_id = 0;
};

struct WindowRecord {
    std::string class_name;
    WindowProcedure procedure;
    std::string title;  // Shift-JIS
    uint32_t style = 0;
    uint32_t ex_style = 0;
    Rect window_rect;
    bool minimized = false;
    bool needs_paint = false;
    bool destroying = false;
    uint32_t thread = 0;
};

struct TimerRecord {
    WindowHandle window = 0;
    uint32_t id = 0;
    uint32_t elapse_ms = 0;
    uint32_t due_ms = 0;
    uint32_t thread = 0;
    TimerCallback callback;
};

struct ThreadQueue {
    std::deque<Message> posted;
    bool quit_posted = false;
    int quit_code = 0;
};

// The candidate list the input method shows, Shift-JIS.
struct CandidateState {
    bool open = false;
    std::vector<std::string> items;
    int selection = 0;
    int page_size = 0;
    int page_start = 0;
};

struct WindowSystem {
    std::recursive_mutex mutex;
    std::unique_ptr<WindowBackend> backend;
    std::map<std::string, WindowClassRecord> classes;
    std::map<WindowHandle, WindowRecord> windows;
    std::map<uint32_t, ThreadQueue> queues;
    std::vector<TimerRecord> timers;
    WindowHandle next_handle = 0x10010;
    // The thread that opened the first window pumps the back-end's events.
    uint32_t event_thread = 0;

    std::vector<std::string> pending_drop;  // Shift-JIS
    std::map<uint64_t, std::vector<std::string>> drops;
    uint64_t next_drop = 1;

    Composition composition;
    bool composing = false;
    bool text_input_enabled = true;
    std::unique_ptr<InputMethodBackend> input_method;
    // Only text input switched on by the program gives the input method
    // focus: until then every key is the game's.
    bool input_method_focused = false;
    // The input method took the last key: the character SDL types for it
    // is not the player's.
    bool drop_next_text = false;
    CandidateState candidates;

    int cursor_count = 0;
    bool cursor_cleared = false;
    int cursor_x = 0;
    int cursor_y = 0;
};

WindowSystem& System();
// The record of a window, or null.
WindowRecord* FindWindow(WindowHandle window);
// The back-end, created on first use.
WindowBackend& Backend();
NativeWindowState NativeStateOf(const WindowRecord& record);
Rect ClientRectOf(const WindowRecord& record);
// Turns the back-end's events into messages and state.
void PumpBackendEvents();
void ApplyCursorVisibility();

}  // namespace velk::platform::window_internal
