#include "platform/window/manual_window_backend.h"

#include <algorithm>

namespace velk::platform {

bool ManualWindowBackend::OpenWindow(WindowHandle window, const NativeWindowState& state) {
    if (fail_open_) return false;
    windows_[window] = state;
    return true;
}

void ManualWindowBackend::UpdateWindow(WindowHandle window, const NativeWindowState& state) {
    auto found = windows_.find(window);
    if (found != windows_.end()) found->second = state;
}

void ManualWindowBackend::CloseWindow(WindowHandle window) { windows_.erase(window); }

void ManualWindowBackend::RaiseWindow(WindowHandle window) { ++raise_count_; }

void ManualWindowBackend::PumpEvents(std::vector<WindowEvent>& out) {
    std::lock_guard lock(events_mutex_);
    for (auto& event : pending_) out.push_back(std::move(event));
    pending_.clear();
}

bool ManualWindowBackend::ClosePending() {
    std::lock_guard lock(events_mutex_);
    return std::any_of(pending_.begin(), pending_.end(), [](const WindowEvent& event) {
        return event.kind == WindowEvent::Kind::kCloseRequested || event.kind == WindowEvent::Kind::kDisplayLost;
    });
}

FrameInsets ManualWindowBackend::FrameFor(uint32_t style, uint32_t ex_style) {
    return (style & kStyleCaption) == kStyleCaption ? caption_frame_ : FrameInsets{};
}

void ManualWindowBackend::WarpCursor(WindowHandle window, int x, int y) { warps_.push_back({window, x, y}); }

bool ManualWindowBackend::SetClipboardText(const std::string& utf8) {
    if (!clipboard_available_) return false;
    clipboard_ = utf8;
    return true;
}

std::optional<int> ManualWindowBackend::ShowMessageBox(const MessageBoxRequest& request, WindowHandle parent) {
    message_boxes_.push_back(request);
    if (display_lost_) return std::nullopt;
    return message_box_answer_;
}

void ManualWindowBackend::Inject(WindowEvent event) {
    std::lock_guard lock(events_mutex_);
    pending_.push_back(std::move(event));
}

void ManualWindowBackend::LoseDisplay() {
    display_lost_ = true;
    WindowEvent lost;
    lost.kind = WindowEvent::Kind::kDisplayLost;
    Inject(lost);
}

}  // namespace velk::platform
