#include "platform/window/message_box.h"

#include <mutex>

#include "platform/base/debug_output.h"
#include "platform/base/text_encoding.h"
#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

std::mutex hook_mutex;
MessageBoxHook installed_hook;

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

int ShowMessageBox(WindowHandle parent, std::string_view text, std::string_view title, uint32_t flags) {
    MessageBoxRequest request{ShiftJisToUtf8(text), ShiftJisToUtf8(title), flags};
    MessageBoxHook hook;
    {
        std::lock_guard lock(hook_mutex);
        hook = installed_hook;
    }
    if (hook) return hook(request);
    if (std::optional<int> answer = ActiveWindowBackend().ShowMessageBox(request, parent)) return *answer;
    std::string line(title);
    line += ": ";
    line += text;
    line += "\n";
    DebugOutput(line);
    return FirstButtonOf(flags);
}

}  // namespace velk::platform
