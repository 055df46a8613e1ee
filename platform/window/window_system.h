#pragma once
// The window stand-in: windows with a class and a window procedure, a
// message queue per thread (posted messages, the quit message, paint and
// timer messages, in that order), sent messages that reach the procedure at
// once, and events of the back-end turned into messages. Windows sends some
// messages synchronously and callers rely on it: destroying a window sends
// the destroy message before it returns, and moving or sizing it sends the
// move and size messages, each only when the position or size changed.
//
// Text passed in and out is Shift-JIS; the back-end sees UTF-8.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/rect.h"
#include "platform/window/window_backend.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

using WindowProcedure = std::function<MessageResult(WindowHandle, uint32_t, WParam, LParam)>;
using TimerCallback = std::function<void(WindowHandle, uint32_t timer_id)>;

// ---- Back-end ----

// Installs the back-end (nullptr: the SDL back-end on next use). Every window,
// queue, timer and class of the previous back-end is dropped without messages.
void SetWindowBackend(std::unique_ptr<WindowBackend> backend);
WindowBackend& ActiveWindowBackend();

// Installs a manual back-end for the life of a scope, with a fresh window
// system before and after.
class ScopedManualWindowBackend {
public:
    ScopedManualWindowBackend();
    ~ScopedManualWindowBackend();
    ScopedManualWindowBackend(const ScopedManualWindowBackend&) = delete;
    ScopedManualWindowBackend& operator=(const ScopedManualWindowBackend&) = delete;
    class ManualWindowBackend& backend() { return *backend_; }

private:
    class ManualWindowBackend* backend_;
};

// ---- Classes and windows ----

bool RegisterWindowClass(const std::string& class_name, WindowProcedure procedure, int icon_id);
bool UnregisterWindowClass(const std::string& class_name);
bool IsWindowClassRegistered(const std::string& class_name);
bool SetWindowClassIcon(const std::string& class_name, int icon_id);

struct WindowCreateParams {
    std::string class_name;
    std::string title;  // Shift-JIS
    uint32_t style = 0;
    uint32_t ex_style = 0;
    Rect window_rect;  // frame included, on the screen
};
// 0 when the class is unknown or the back-end cannot open a window.
WindowHandle CreateAppWindow(const WindowCreateParams& params);
// Sends the destroy message, then removes the window.
bool DestroyAppWindow(WindowHandle window);
bool IsAppWindow(WindowHandle window);
uint32_t WindowThreadOf(WindowHandle window);
void* NativeWindowOf(WindowHandle window);

// Frame included, on the screen.
Rect GetWindowRectangle(WindowHandle window);
// The client area in its own coordinates: (0, 0, width, height).
Rect GetClientArea(WindowHandle window);
// The client area on the screen.
Rect GetClientAreaOnScreen(WindowHandle window);
// The window rectangle that holds the given client rectangle with the frame
// of the styles.
Rect AdjustRectForStyle(const Rect& client, uint32_t style, uint32_t ex_style);

// Moves and sizes the window (frame included); sends the size and move
// messages when they changed.
bool MoveAppWindow(WindowHandle window, const Rect& window_rect);
uint32_t GetWindowStyle(WindowHandle window);
uint32_t GetWindowExStyle(WindowHandle window);
// The window keeps its rectangle; the client area follows the new frame.
void SetWindowStyles(WindowHandle window, uint32_t style, uint32_t ex_style);
bool ShowAppWindow(WindowHandle window, int show_command);
bool IsWindowMinimized(WindowHandle window);
bool IsWindowVisible(WindowHandle window);
void SetWindowTitle(WindowHandle window, std::string_view title);
std::string GetWindowTitle(WindowHandle window);
void BringAppWindowToTop(WindowHandle window);

// ---- Messages ----

// Posts to the window's thread (window 0: a message of the calling thread).
bool PostWindowMessage(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
void PostQuit(int exit_code);
// Calls the window's procedure at once.
MessageResult SendWindowMessage(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
// Filter 0: any message of the calling thread; kThreadMessagesOnly: only
// messages posted to the thread itself; otherwise the messages of that window.
bool PeekWindowMessage(Message* out, WindowHandle filter, bool remove);
// Whether a close waits for the calling thread: a posted close message, its
// quit message, or (on the thread that pumps the back-end's events) a close
// among the events the back-end has not handed over yet. Nothing is taken
// out and no other message is read, so work that runs long between two
// readings of the queue may look as often as it likes.
bool WindowClosePending();
// Posts the character message of a key message (control characters; typed
// text arrives as character messages of its own). True when one was posted.
bool TranslateWindowMessage(const Message& message);
MessageResult DispatchWindowMessage(const Message& message);
MessageResult DefaultWindowProcedure(WindowHandle window, uint32_t message, WParam wparam, LParam lparam);
// Tells every window that the display mode changed.
void PostDisplayChange(int bits, int width, int height);

// ---- Painting ----

void InvalidateWindow(WindowHandle window);
// The area to paint (client coordinates); the window counts as painted.
Rect BeginWindowPaint(WindowHandle window);
void EndWindowPaint(WindowHandle window);

// ---- Timers ----

// Without a callback the timer's message goes to the window procedure.
bool SetWindowTimer(WindowHandle window, uint32_t timer_id, uint32_t elapse_ms, TimerCallback callback);
bool KillWindowTimer(WindowHandle window, uint32_t timer_id);

// ---- Dropped files, text input ----

// The Shift-JIS names of a drop message's files; the drop is released.
std::vector<std::string> TakeDroppedFiles(WParam drop);

struct Composition {
    std::string text;  // Shift-JIS
    int cursor = 0;    // in characters
    // Byte offsets into the text where clauses begin, then the text's
    // length; empty when the system tells no clauses.
    std::vector<uint32_t> clauses;
};
Composition CurrentComposition();
void SetTextInputEnabled(bool enabled);
bool TextInputEnabled();
// Makes a Shift-JIS text the one being composed, its cursor at the end, as
// the input method reports a composition: the window gets the start of a
// composition (unless one runs) and the composition message. What the
// system's input method composes next replaces it.
void SetCompositionString(WindowHandle window, const std::string& text);

// ---- Cursor ----

// Raises (show) or lowers the display count and returns the new count; the
// cursor is shown while the count is 0 or above.
int ShowCursorCount(bool show);
// Clears the cursor shape (hidden until a window sets its class cursor).
void ClearCursorShape();
void RestoreClassCursor();
void GetCursorScreenPosition(int* x, int* y);
void SetCursorScreenPosition(int x, int y);

// ---- System ----

Rect DesktopRectangle();
// The desktop without the panels kept free (WindowBackend::WorkArea).
Rect WorkAreaRectangle();
// The display of the back-end in use (WindowBackend::DisplayName).
std::optional<std::string> CurrentDisplayName();
void SetScreenSaverActive(bool active);

}  // namespace velk::platform
