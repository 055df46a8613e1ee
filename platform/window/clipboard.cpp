#include "platform/window/clipboard.h"

#include "platform/base/text_encoding.h"
#include "platform/window/window_system.h"

namespace velk::platform {

std::optional<std::string> GetClipboardShiftJis() {
    std::optional<std::string> utf8 = ActiveWindowBackend().ClipboardText();
    if (!utf8 || utf8->empty()) return std::nullopt;
    return Utf8ToShiftJis(*utf8);
}

bool SetClipboardShiftJis(std::string_view text) {
    return ActiveWindowBackend().SetClipboardText(ShiftJisToUtf8(text));
}

}  // namespace velk::platform
