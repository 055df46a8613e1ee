#include "lib/core/window/system_message_box.h"

#include "lib/core/window/main_window.h"
#include "platform/window/message_box.h"

namespace velk {

int ShowSystemMessageBox(const std::string& text, const std::string& caption, SystemMessageBoxButtons buttons) {
    const uint32_t flags =
        buttons == SystemMessageBoxButtons::kOkCancel ? platform::kMessageBoxOkCancel : platform::kMessageBoxOk;
    return platform::ShowMessageBox(GetMainWindowHWND(), text, caption, flags);
}

}  // namespace velk
