#include "platform/window/message_box.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/base/text_encoding.h"
#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

std::mutex hook_mutex;
MessageBoxHook installed_hook;
// Set once the back-end could not show a box.
std::atomic<bool> backend_failed{false};

int FirstButtonOf(uint32_t flags) {
    return (flags & 0xF) == kMessageBoxYesNo ? kMessageBoxResultYes : kMessageBoxResultOk;
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(hook_mutex);
    MessageBoxHook previous = std::move(installed_hook);
    installed_hook = std::move(hook);
    return previous;
}

std::optional<int> TryShowMessageBox(WindowHandle parent, std::string_view text, std::string_view title,
                                     uint32_t flags) {
    MessageBoxHook hook;
    {
        std::lock_guard lock(hook_mutex);
        hook = installed_hook;
    }
    MessageBoxRequest request{ShiftJisToUtf8(text), ShiftJisToUtf8(title), flags};
    if (hook) return hook(request);
    if (backend_failed.load()) return std::nullopt;
    std::optional<int> answer = ActiveWindowBackend().ShowMessageBox(request, parent);
    if (!answer) backend_failed.store(true);
    return answer;
}

int ShowMessageBox(WindowHandle parent, std::string_view text, std::string_view title, uint32_t flags) {
    if (std::optional<int> answer = TryShowMessageBox(parent, text, title, flags)) return *answer;
    PrintUnshownMessageBox(text, title);
    return FirstButtonOf(flags);
}

void PrintUnshownMessageBox(std::string_view text, std::string_view title) {
    std::string line = ShiftJisToUtf8(title);
    if (!line.empty()) line += ": ";
    line += ShiftJisToUtf8(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void ForgetMessageBoxFailure() { backend_failed.store(false); }

}  // namespace velk::platform
