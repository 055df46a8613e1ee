#include "lib/core/input/clipboard_text.h"

#include <cstring>

#include "lib/core/input/device_input.h"
#include "lib/core/library.h"
#include "lib/core/window/window_services.h"
#include "platform/base/text_encoding.h"
#include "platform/window/clipboard.h"

namespace velk {

int GetClipboardText(char* buffer, int buffer_size) {
    std::optional<std::string> text = GetClipboardTextString();
    if (!text) return -1;
    if (buffer == nullptr) return static_cast<int>(text->size()) + 2;
    if (buffer_size < 1) return -1;
    size_t length = 0;
    while (length < text->size()) {
        const bool pair = platform::IsShiftJisLeadByte(static_cast<uint8_t>((*text)[length]));
        const size_t size = pair ? 2 : 1;
        if (length + size > static_cast<size_t>(buffer_size - 1)) break;
        length += size;
    }
    std::memcpy(buffer, text->data(), length);
    buffer[length] = '\0';
    return 0;
}

std::optional<std::string> GetClipboardTextString() {
    std::optional<std::string> text = platform::GetClipboardShiftJis();
    if (!text) return std::nullopt;
    // The text ends at its first zero byte, as a C string would.
    const size_t zero = text->find('\0');
    if (zero != std::string::npos) text->resize(zero);
    return text;
}

int SetClipboardText(const char* text) {
    platform::SetClipboardShiftJis(text == nullptr ? "" : text);
    return 0;
}

int WaitForAnyKey() {
    constexpr int kKeyboardPadsAndMouse = 7;
    if (ProcessMessages() != 0) return 0;
    while (CheckAnyInput(kKeyboardPadsAndMouse) != 0) {
        IdleSleep(1);
        if (ProcessMessages() != 0) return 0;
    }
    for (;;) {
        const int input = CheckAnyInput(kKeyboardPadsAndMouse);
        if (input != 0) return input;
        IdleSleep(1);
        if (ProcessMessages() != 0) return 0;
    }
}

}  // namespace velk
