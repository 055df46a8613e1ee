#include "platform/base/debug_output.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/base/text_encoding.h"

namespace velk::platform {

namespace {

std::atomic<bool>& Enabled() {
    static std::atomic<bool> enabled{std::getenv("VELK_QUIET") == nullptr};
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
