// The real window back-end on SDL2.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <SDL.h>
#include <SDL_syswm.h>
#include <signal.h>

#include "platform/base/debug_output.h"
#include "platform/window/message_box.h"
#include "platform/window/sdl_virtual_keys.h"
#include "platform/window/window_backend.h"
#include "platform/window/x11_connection_loss.h"

namespace velk::platform {

namespace {

constexpr int kMinimumDesktopWidth = 640;
constexpr int kMinimumDesktopHeight = 480;
// The window system is asked for news at most this often. Every wait of the
// program sleeps at least a millisecond between its looks at the queue, so
// each of those looks still asks once; the several looks one pass of message
// processing makes in a row do not ask again.
constexpr auto kNewsInterval = std::chrono::microseconds(900);
// Events are taken from SDL's queue this many at a time.
constexpr int kEventBatch = 16;

// The terminal that started the player went away: the player ends as SIGTERM
// ends it, which SDL turns into a quit request that the next pump brings.
// raise is async-signal-safe; errno is the interrupted code's.
void EndAsTerminated(int) {
    const int saved = errno;
    std::raise(SIGTERM);
    errno = saved;
}

// Once per process, after SDL has put its own handlers in place. A hang-up
// that is ignored (nohup) or handled by someone else stays so.
void EndOnHangUpAsOnTermination() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGHUP, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
        struct sigaction hang_up {};
        hang_up.sa_handler = EndAsTerminated;
        sigemptyset(&hang_up.sa_mask);
        hang_up.sa_flags = SA_RESTART;
        sigaction(SIGHUP, &hang_up, nullptr);
    });
}

bool IsHeadlessDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver == nullptr || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

WindowEvent KeyEvent(const SDL_KeyboardEvent& key, WindowEvent::Kind kind) {
    WindowEvent event;
    event.kind = kind;
    event.key = VirtualKeyFromSdl(key.keysym.scancode, key.keysym.sym);
    event.control = (key.keysym.mod & KMOD_CTRL) != 0;
    event.shift = (key.keysym.mod & KMOD_SHIFT) != 0;
    event.alt = (key.keysym.mod & KMOD_ALT) != 0;
    event.repeat = key.repeat != 0;
    return event;
}

class SdlWindowBackend final : public WindowBackend {
public:
    SdlWindowBackend() {
        // Our own code draws the composition; the system's candidate window
        // shows where the input method puts it.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            DebugOutput(std::string("SDL video could not be started: ") + SDL_GetError() + "\n");
            return;
        }
        video_ready_ = true;
        EndOnHangUpAsOnTermination();
    }

    ~SdlWindowBackend() override {
        // SDL waits for the server to confirm that a window is gone; on a
        // lost display that wait never ends, so the windows are left to the
        // process's end.
        if (DisplayLost()) return;
        for (auto& [handle, window] : windows_) SDL_DestroyWindow(window.sdl);
        windows_.clear();
        if (video_ready_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool OpenWindow(WindowHandle handle, const NativeWindowState& state) override {
        if (!Usable()) return false;
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (!state.decorated) flags |= SDL_WINDOW_BORDERLESS;
        if (state.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        const int width = std::max(1, state.client.right - state.client.left);
        const int height = std::max(1, state.client.bottom - state.client.top);
        SDL_Window* window = SDL_CreateWindow(state.title_utf8.c_str(), state.client.left, state.client.top,
                                              width, height, flags);
        if (window == nullptr) return false;
        WatchConnectionOf(window);
        windows_[handle] = Native{window, NativeWindowState{}};
        windows_[handle].applied.client = state.client;
        windows_[handle].applied.title_utf8 = state.title_utf8;
        windows_[handle].applied.decorated = state.decorated;
        windows_[handle].applied.topmost = state.topmost;
        UpdateWindow(handle, state);
        return true;
    }

    void UpdateWindow(WindowHandle handle, const NativeWindowState& state) override {
        auto found = windows_.find(handle);
        if (found == windows_.end() || DisplayLost()) return;
        Native& native = found->second;
        SDL_Window* window = native.sdl;
        NativeWindowState& applied = native.applied;
        if (state.title_utf8 != applied.title_utf8) SDL_SetWindowTitle(window, state.title_utf8.c_str());
        if (state.fullscreen != applied.fullscreen) {
            SDL_SetWindowFullscreen(window, state.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        }
        if (state.decorated != applied.decorated) SDL_SetWindowBordered(window, state.decorated ? SDL_TRUE : SDL_FALSE);
        if (state.topmost != applied.topmost) {
            SDL_SetWindowAlwaysOnTop(window, state.topmost ? SDL_TRUE : SDL_FALSE);
        }
        if (!state.fullscreen) {
            const int width = std::max(1, state.client.right - state.client.left);
            const int height = std::max(1, state.client.bottom - state.client.top);
            if (width != applied.client.right - applied.client.left ||
                height != applied.client.bottom - applied.client.top) {
                SDL_SetWindowSize(window, width, height);
            }
            if (state.client.left != applied.client.left || state.client.top != applied.client.top) {
                SDL_SetWindowPosition(window, state.client.left, state.client.top);
            }
        }
        if (state.visible != applied.visible) {
            if (state.visible) {
                SDL_ShowWindow(window);
            } else {
                SDL_HideWindow(window);
            }
        }
        if (state.visible && state.minimized != applied.minimized) {
            if (state.minimized) {
                SDL_MinimizeWindow(window);
            } else {
                SDL_RestoreWindow(window);
            }
        }
        applied = state;
    }

    void CloseWindow(WindowHandle handle) override {
        auto found = windows_.find(handle);
        if (found == windows_.end()) return;
        if (!DisplayLost()) SDL_DestroyWindow(found->second.sdl);
        windows_.erase(found);
    }

    void RaiseWindow(WindowHandle handle) override {
        auto found = windows_.find(handle);
        if (found != windows_.end() && !DisplayLost()) SDL_RaiseWindow(found->second.sdl);
    }

    void* NativeHandle(WindowHandle handle) override {
        auto found = windows_.find(handle);
        return found == windows_.end() ? nullptr : found->second.sdl;
    }

    void PumpEvents(std::vector<WindowEvent>& out) override {
        if (!video_ready_) return;
        if (!DisplayLost()) {
            // Asking the window system costs system calls (and, under X, a
            // round to the server); what SDL has already queued, events pushed
            // by the program itself included, is taken on every call.
            const auto now = std::chrono::steady_clock::now();
            if (now - last_news_ >= kNewsInterval) {
                last_news_ = now;
                SDL_PumpEvents();
            }
            SDL_Event events[kEventBatch];
            int taken = 0;
            while ((taken = SDL_PeepEvents(events, kEventBatch, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
                for (int i = 0; i < taken; ++i)
                    Convert(events[i], out);
            }
        }
        // The loss may be noticed by any call, the graphics side's included;
        // it is reported here, once.
        if (DisplayLost() && !loss_reported_) {
            loss_reported_ = true;
            WindowEvent lost;
            lost.kind = WindowEvent::Kind::kDisplayLost;
            out.push_back(lost);
        }
    }

    bool ClosePending() override {
        if (!video_ready_) return false;
        // A lost display closes every window at the next pump.
        if (DisplayLost()) return true;
        // The pump turns a pending interrupt or termination signal into a
        // quit request and brings the window manager's close; peeking
        // leaves every event where it is.
        last_news_ = std::chrono::steady_clock::now();
        SDL_PumpEvents();
        if (SDL_HasEvent(SDL_QUIT)) return true;
        const int count = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
        if (count <= 0) return false;
        std::vector<SDL_Event> events(static_cast<size_t>(count));
        const int peeked = SDL_PeepEvents(events.data(), count, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
        for (int i = 0; i < peeked; ++i) {
            if (events[static_cast<size_t>(i)].window.event == SDL_WINDOWEVENT_CLOSE) return true;
        }
        return false;
    }

    FrameInsets FrameFor(uint32_t style, uint32_t ex_style) override {
        // The window manager draws the frame outside the area SDL places, so
        // our windows are measured by their client area.
        return FrameInsets{};
    }

    Rect DesktopRect() override {
        Rect desktop{0, 0, kMinimumDesktopWidth, kMinimumDesktopHeight};
        if (!Usable() || IsHeadlessDriver()) return desktop;
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(0, &bounds) == 0) {
            desktop.right = std::max(kMinimumDesktopWidth, bounds.w);
            desktop.bottom = std::max(kMinimumDesktopHeight, bounds.h);
        }
        return desktop;
    }

    Rect WorkArea() override {
        if (!Usable() || IsHeadlessDriver()) return DesktopRect();
        SDL_Rect bounds;
        // Without a window manager that tells its panels, the whole display.
        if (SDL_GetDisplayUsableBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) return DesktopRect();
        return Rect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
    }

    std::optional<std::string> DisplayName() override {
        if (!video_ready_ || IsHeadlessDriver()) return std::nullopt;
        const std::string driver = SDL_GetCurrentVideoDriver();
        const char* display = nullptr;
        if (driver == "x11") {
            display = std::getenv("DISPLAY");
        } else if (driver == "wayland") {
            display = std::getenv("WAYLAND_DISPLAY");
            // Without the variable a Wayland client connects to the default.
            if (display == nullptr || display[0] == '\0') display = "wayland-0";
        }
        return driver + ":" + (display != nullptr ? display : "");
    }

    void SetCursorVisible(bool visible) override {
        if (Usable()) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    void WarpCursor(WindowHandle handle, int x, int y) override {
        auto found = windows_.find(handle);
        if (found != windows_.end() && !DisplayLost()) SDL_WarpMouseInWindow(found->second.sdl, x, y);
    }

    std::optional<std::string> ClipboardText() override {
        if (!Usable() || !SDL_HasClipboardText()) return std::nullopt;
        char* text = SDL_GetClipboardText();
        if (text == nullptr) return std::nullopt;
        std::string result(text);
        SDL_free(text);
        return result;
    }

    bool SetClipboardText(const std::string& utf8) override {
        return Usable() && SDL_SetClipboardText(utf8.c_str()) == 0;
    }

    std::optional<int> ShowMessageBox(const MessageBoxRequest& request, WindowHandle parent) override {
        SDL_MessageBoxButtonData buttons[2];
        int count = 1;
        switch (request.flags & 0xF) {
            case kMessageBoxOkCancel:
                buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kMessageBoxResultOk, "OK"};
                buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kMessageBoxResultCancel, "Cancel"};
                count = 2;
                break;
            case kMessageBoxYesNo:
                buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kMessageBoxResultYes, "Yes"};
                buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kMessageBoxResultNo, "No"};
                count = 2;
                break;
            default:
                buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                              kMessageBoxResultOk, "OK"};
                break;
        }
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if ((request.flags & 0xF0) == kMessageBoxIconError) flags = SDL_MESSAGEBOX_ERROR;
        if ((request.flags & 0xF0) == kMessageBoxIconWarning) flags = SDL_MESSAGEBOX_WARNING;
        auto found = windows_.find(parent);
        SDL_MessageBoxData data{flags,
                                found == windows_.end() ? nullptr : found->second.sdl,
                                request.title_utf8.c_str(),
                                request.text_utf8.c_str(),
                                count,
                                buttons,
                                nullptr};
        int pressed = -1;
        if (!Usable() || SDL_ShowMessageBox(&data, &pressed) != 0) return std::nullopt;
        if (pressed < 0) return count == 2 ? buttons[1].buttonid : buttons[0].buttonid;  // closed
        return pressed;
    }

    void SetScreenSaverEnabled(bool enabled) override {
        if (!Usable()) return;
        if (enabled) {
            SDL_EnableScreenSaver();
        } else {
            SDL_DisableScreenSaver();
        }
    }

    void SetTextInputEnabled(bool enabled) override {
        if (!Usable()) return;
        if (enabled) {
            SDL_StartTextInput();
        } else {
            SDL_StopTextInput();
        }
    }

private:
    struct Native {
        SDL_Window* sdl = nullptr;
        NativeWindowState applied;
    };

    static bool DisplayLost() { return X11ConnectionLost(); }
    bool Usable() const { return video_ready_ && !DisplayLost(); }

    // Xlib would end the process from inside the call that finds the server
    // gone; watched, the call fails instead and the pump reports the loss.
    static void WatchConnectionOf(SDL_Window* window) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
        WatchX11Connection(info.info.x11.display);
    }

    WindowHandle HandleOf(Uint32 window_id) const {
        for (const auto& [handle, native] : windows_) {
            if (SDL_GetWindowID(native.sdl) == window_id) return handle;
        }
        return 0;
    }

    void Convert(const SDL_Event& event, std::vector<WindowEvent>& out) {
        WindowEvent converted;
        using Kind = WindowEvent::Kind;
        switch (event.type) {
            case SDL_WINDOWEVENT:
                converted.window = HandleOf(event.window.windowID);
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_FOCUS_GAINED: converted.kind = Kind::kFocusGained; break;
                    case SDL_WINDOWEVENT_FOCUS_LOST: converted.kind = Kind::kFocusLost; break;
                    case SDL_WINDOWEVENT_MINIMIZED: converted.kind = Kind::kMinimized; break;
                    case SDL_WINDOWEVENT_RESTORED: converted.kind = Kind::kRestored; break;
                    case SDL_WINDOWEVENT_CLOSE: converted.kind = Kind::kCloseRequested; break;
                    case SDL_WINDOWEVENT_EXPOSED: converted.kind = Kind::kExposed; break;
                    case SDL_WINDOWEVENT_MOVED:
                        converted.kind = Kind::kMoved;
                        converted.x = event.window.data1;
                        converted.y = event.window.data2;
                        break;
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        converted.kind = Kind::kResized;
                        converted.x = event.window.data1;
                        converted.y = event.window.data2;
                        break;
                    default:
                        return;
                }
                break;
            case SDL_QUIT:
                // An interrupt from the terminal closes the game like its close box.
                converted.kind = Kind::kCloseRequested;
                break;
            case SDL_KEYDOWN:
                converted = KeyEvent(event.key, Kind::kKeyDown);
                converted.window = HandleOf(event.key.windowID);
                break;
            case SDL_KEYUP:
                converted = KeyEvent(event.key, Kind::kKeyUp);
                converted.window = HandleOf(event.key.windowID);
                break;
            case SDL_TEXTINPUT:
                converted.kind = Kind::kText;
                converted.window = HandleOf(event.text.windowID);
                converted.text = event.text.text;
                break;
            case SDL_TEXTEDITING:
                converted.kind = Kind::kComposition;
                converted.window = HandleOf(event.edit.windowID);
                converted.text = event.edit.text;
                converted.x = event.edit.start;
                break;
            case SDL_MOUSEMOTION:
                converted.kind = Kind::kMouseMove;
                converted.window = HandleOf(event.motion.windowID);
                converted.x = event.motion.x;
                converted.y = event.motion.y;
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                converted.kind = event.type == SDL_MOUSEBUTTONDOWN ? Kind::kMouseButtonDown : Kind::kMouseButtonUp;
                converted.window = HandleOf(event.button.windowID);
                converted.button = event.button.button;
                converted.x = event.button.x;
                converted.y = event.button.y;
                break;
            case SDL_MOUSEWHEEL:
                converted.kind = Kind::kMouseWheel;
                converted.window = HandleOf(event.wheel.windowID);
                converted.y = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
                break;
            case SDL_DROPFILE:
                converted.kind = Kind::kDropFile;
                converted.window = HandleOf(event.drop.windowID);
                if (event.drop.file != nullptr) {
                    converted.text = event.drop.file;
                    SDL_free(event.drop.file);
                }
                break;
            case SDL_DROPCOMPLETE:
                converted.kind = Kind::kDropComplete;
                converted.window = HandleOf(event.drop.windowID);
                break;
            case SDL_DROPTEXT:
                // Only files are taken; the text is ours to free all the same.
                SDL_free(event.drop.file);
                return;
            default:
                return;
        }
        out.push_back(std::move(converted));
    }

    bool video_ready_ = false;
    bool loss_reported_ = false;
    std::chrono::steady_clock::time_point last_news_{};
    std::map<WindowHandle, Native> windows_;
};

}  // namespace

std::unique_ptr<WindowBackend> CreateSdlWindowBackend() { return std::make_unique<SdlWindowBackend>(); }

}  // namespace velk::platform
