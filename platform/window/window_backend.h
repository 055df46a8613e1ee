#pragma once
// What the window stand-in needs of the system below it: a native window to
// show, events to turn into messages, the cursor, the clipboard, message
// boxes, the screen saver and text input. The SDL back-end is the real one;
// the manual back-end is a headless fake whose events tests inject.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/rect.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

// One event of the system, already stripped of its back-end's types.
struct WindowEvent {
    enum class Kind {
        kFocusGained,
        kFocusLost,
        kMinimized,
        kRestored,
        kCloseRequested,
        kMoved,     // x, y: the client area's new top-left corner on the screen
        kResized,   // x, y: the client area's new width and height
        kExposed,
        kKeyDown,   // key: virtual key; modifiers; repeat
        kKeyUp,
        kText,      // text: UTF-8 of typed characters
        kComposition,  // text: UTF-8 of the text being composed; x: cursor in characters
        kMouseMove,    // x, y: in client coordinates
        kMouseButtonDown,  // button: 1 left, 2 middle, 3 right; x, y
        kMouseButtonUp,
        kMouseWheel,   // y: notches, positive away from the user
        kDropFile,     // text: UTF-8 path
        kDropComplete,
        kDisplayChanged,  // x, y: new desktop size
        // The connection to the display is gone for good: nothing can be
        // shown or asked any more, so every window is closed.
        kDisplayLost,
    };
    Kind kind = Kind::kExposed;
    WindowHandle window = 0;
    int x = 0;
    int y = 0;
    uint32_t key = 0;
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool repeat = false;
    int button = 0;
    std::string text;
};

// What a native window is asked to look like.
struct NativeWindowState {
    std::string title_utf8;
    Rect client;  // on the screen
    bool visible = false;
    bool minimized = false;
    bool fullscreen = false;
    bool topmost = false;
    bool decorated = true;
};

// The frame a style adds around the client area.
struct FrameInsets {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct MessageBoxRequest {
    std::string text_utf8;
    std::string title_utf8;
    uint32_t flags = 0;
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    virtual bool OpenWindow(WindowHandle window, const NativeWindowState& state) = 0;
    virtual void UpdateWindow(WindowHandle window, const NativeWindowState& state) = 0;
    virtual void CloseWindow(WindowHandle window) = 0;
    virtual void RaiseWindow(WindowHandle window) = 0;
    // The native window object (SDL_Window*) for the graphics side, or null.
    virtual void* NativeHandle(WindowHandle window) = 0;

    // Appends the events that arrived since the last call.
    virtual void PumpEvents(std::vector<WindowEvent>& out) = 0;
    // Whether a close of a window (or of the whole program, or the loss of
    // the display, which closes every window) waits among the events not
    // yet pumped. Nothing is taken out: the events keep their order for the
    // next pump. A long run of work between two pumps ends early on it.
    virtual bool ClosePending() = 0;

    virtual FrameInsets FrameFor(uint32_t style, uint32_t ex_style) = 0;
    // The desktop's size in pixels.
    virtual Rect DesktopRect() = 0;
    // The part of the desktop a window may fill: the desktop without the
    // panels and docks that the window manager keeps free.
    virtual Rect WorkArea() = 0;
    // The display the windows open on, as a name that tells two displays of
    // one machine apart ("x11:0", "wayland:wayland-0"); nullopt for a
    // headless back-end, where any number of players may run.
    virtual std::optional<std::string> DisplayName() { return std::nullopt; }

    virtual void SetCursorVisible(bool visible) = 0;
    // Moves the cursor to a point of the window's client area.
    virtual void WarpCursor(WindowHandle window, int x, int y) = 0;

    virtual std::optional<std::string> ClipboardText() = 0;
    virtual bool SetClipboardText(const std::string& utf8) = 0;

    // Result as the message-box hook gives it (see message_box.h); nullopt
    // when no box could be shown.
    virtual std::optional<int> ShowMessageBox(const MessageBoxRequest& request, WindowHandle parent) = 0;

    virtual void SetScreenSaverEnabled(bool enabled) = 0;
    virtual void SetTextInputEnabled(bool enabled) = 0;
};

// The SDL back-end: initialises SDL's video (and the game-controller
// subsystem that input needs) on first use.
std::unique_ptr<WindowBackend> CreateSdlWindowBackend();

}  // namespace velk::platform
