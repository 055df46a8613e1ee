#include "platform/base/debug_output.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/base/text_encoding.h"

namespace velk::platform {

namespace {

// Like a debugger's channel, the output is seen only when someone asks for
// it: a player's terminal stays quiet unless VELK_DEBUG_OUTPUT is set.
std::atomic<bool>& Enabled() {
    static std::atomic<bool> enabled{std::getenv("VELK_DEBUG_OUTPUT") != nullptr};
    return enabled;
}

}  // namespace

void DebugOutput(std::string_view sjis_text) {
    if (!Enabled().load()) {
        return;
    }
    const std::string utf8 = ShiftJisToUtf8(sjis_text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

void SetDebugOutputEnabled(bool enabled) {
    Enabled().store(enabled);
}

}  // namespace velk::platform
