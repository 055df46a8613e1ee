#include "lib/core/window/system_message_box.h"

#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "platform/window/message_box.h"

namespace velk {

std::optional<int> TryShowSystemMessageBox(const std::string& text, const std::string& caption,
                                           SystemMessageBoxButtons buttons) {
    const uint32_t flags =
        buttons == SystemMessageBoxButtons::kOkCancel ? platform::kMessageBoxOkCancel : platform::kMessageBoxOk;
    return platform::TryShowMessageBox(GetMainWindowHWND(), text, caption, flags);
}

int ShowSystemMessageBox(const std::string& text, const std::string& caption, SystemMessageBoxButtons buttons) {
    if (std::optional<int> pressed = TryShowSystemMessageBox(text, caption, buttons)) return *pressed;
    // Standard error and, where it is written, the log keep what the player
    // could not be shown.
    platform::PrintUnshownMessageBox(text, caption);
    std::string line = caption.empty() ? text : caption + ": " + text;
    if (line.empty() || line.back() != '\n') line += '\n';
    WriteLog(line.c_str());
    return platform::kMessageBoxResultOk;
}

}  // namespace velk
