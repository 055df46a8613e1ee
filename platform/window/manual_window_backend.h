#pragma once
// A window back-end without a display: it keeps what it is told, hands out
// the events a test injects, and answers message boxes with a set result.

#include <map>
#include <mutex>

#include "platform/window/window_backend.h"

namespace velk::platform {

class ManualWindowBackend final : public WindowBackend {
public:
    bool OpenWindow(WindowHandle window, const NativeWindowState& state) override;
    void UpdateWindow(WindowHandle window, const NativeWindowState& state) override;
    void CloseWindow(WindowHandle window) override;
    void RaiseWindow(WindowHandle window) override;
    void* NativeHandle(WindowHandle window) override { return nullptr; }
    void PumpEvents(std::vector<WindowEvent>& out) override;
    bool ClosePending() override;
    FrameInsets FrameFor(uint32_t style, uint32_t ex_style) override;
    Rect DesktopRect() override { return desktop_; }
    Rect WorkArea() override { return work_area_.value_or(desktop_); }
    std::optional<std::string> DisplayName() override { return display_name_; }
    void SetCursorVisible(bool visible) override { cursor_visible_ = visible; }
    void WarpCursor(WindowHandle window, int x, int y) override;
    std::optional<std::string> ClipboardText() override {
        return clipboard_available_ ? clipboard_ : std::nullopt;
    }
    bool SetClipboardText(const std::string& utf8) override;
    std::optional<int> ShowMessageBox(const MessageBoxRequest& request, WindowHandle parent) override;
    void SetScreenSaverEnabled(bool enabled) override { screen_saver_enabled_ = enabled; }
    void SetTextInputEnabled(bool enabled) override { text_input_enabled_ = enabled; }

    // Test controls.
    void Inject(WindowEvent event);
    void SetDesktop(Rect desktop) { desktop_ = desktop; }
    // The whole desktop unless a test keeps panels free.
    void SetWorkArea(std::optional<Rect> area) { work_area_ = area; }
    // Headless (nullopt) unless a test names a display.
    void SetDisplayName(std::optional<std::string> name) { display_name_ = std::move(name); }
    // The frame that styles with a caption get (styles without one get none).
    void SetCaptionFrame(FrameInsets frame) { caption_frame_ = frame; }
    void SetFailOpen(bool fail) { fail_open_ = fail; }
    void SetClipboardAvailable(bool available) { clipboard_available_ = available; }
    void SetClipboard(std::optional<std::string> utf8) { clipboard_ = std::move(utf8); }
    // nullopt (as at first): the desktop shows no boxes.
    void SetMessageBoxAnswer(std::optional<int> answer) { message_box_answer_ = answer; }
    // Reports the display as lost, as the X server going away does: the
    // next pump tells, and no message box can be shown from then on.
    void LoseDisplay();

    // What the stand-in asked for.
    bool HasWindow(WindowHandle window) const { return windows_.count(window) != 0; }
    const NativeWindowState& WindowState(WindowHandle window) const { return windows_.at(window); }
    size_t OpenWindowCount() const { return windows_.size(); }
    bool cursor_visible() const { return cursor_visible_; }
    bool screen_saver_enabled() const { return screen_saver_enabled_; }
    bool text_input_enabled() const { return text_input_enabled_; }
    int raise_count() const { return raise_count_; }
    const std::vector<MessageBoxRequest>& message_boxes() const { return message_boxes_; }
    struct Warp {
        WindowHandle window;
        int x;
        int y;
    };
    const std::vector<Warp>& warps() const { return warps_; }

private:
    std::map<WindowHandle, NativeWindowState> windows_;
    std::mutex events_mutex_;
    std::vector<WindowEvent> pending_;
    Rect desktop_{0, 0, 1920, 1080};
    std::optional<Rect> work_area_;
    std::optional<std::string> display_name_;
    FrameInsets caption_frame_{};
    bool fail_open_ = false;
    bool cursor_visible_ = true;
    bool screen_saver_enabled_ = true;
    bool text_input_enabled_ = true;
    bool clipboard_available_ = true;
    std::optional<std::string> clipboard_;
    std::optional<int> message_box_answer_;
    std::vector<MessageBoxRequest> message_boxes_;
    std::vector<Warp> warps_;
    int raise_count_ = 0;
    bool display_lost_ = false;
};

}  // namespace velk::platform
