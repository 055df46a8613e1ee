#pragma once
// The debugger's output channel: standard error, as UTF-8.

#include <string_view>

namespace velk::platform {

// Writes Shift-JIS text to the debug channel, converted to UTF-8.
void DebugOutput(std::string_view sjis_text);

// Turns the channel on or off (off unless VELK_DEBUG_OUTPUT is set).
void SetDebugOutputEnabled(bool enabled);

}  // namespace velk::platform
