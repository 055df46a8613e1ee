#pragma once
// The system clipboard's text, in Shift-JIS.

#include <optional>
#include <string>
#include <string_view>

namespace velk::platform {

// nullopt when the clipboard cannot be read or holds no text.
std::optional<std::string> GetClipboardShiftJis();
// Replaces the clipboard's contents; false when the clipboard refused.
bool SetClipboardShiftJis(std::string_view text);

}  // namespace velk::platform
