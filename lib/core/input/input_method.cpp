// The input method: switched on while key-input handles exist; its
// composition is shown at the active handle's cursor. The system gives the
// composition and its cursor, no clauses and no candidate list.

#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "platform/window/window_system.h"

namespace velk {

using namespace key_input_internal;

namespace {

constexpr size_t kMaxComposition = 1024;

void ClearComposition(ImeState& ime) {
    ime.composition.clear();
    ime.composition_cursor = 0;
    ime.composing = false;
}

}  // namespace

int SetIMEEnable(int flag) {
    ImeState& ime = Ime();
    const bool enable = flag != 0;
    if (enable == ime.enabled) return 0;
    platform::SetTextInputEnabled(enable);
    ime.enabled = enable;
    ime.open = enable;
    if (!enable) ClearComposition(ime);
    return 0;
}

bool IsImeEnabled() { return Ime().enabled; }

void RequestImeReopen() {
    if (Ime().enabled && Ime().open) Ime().reopen_step = 1;
}

int64_t HandleIMEMessage(uint64_t wparam, int64_t lparam, uint32_t message, int32_t window) {
    namespace msg = platform::msg;
    ImeState& ime = Ime();
    RestartBlink();
    switch (message) {
        case msg::kImeStartComposition:
            ime.composing = true;
            ime.composition_cursor = 0;
            return 0;
        case msg::kImeEndComposition:
            ClearComposition(ime);
            return 0;
        case msg::kImeComposition: {
            const platform::Composition composition = platform::CurrentComposition();
            if ((lparam & platform::kCompositionString) != 0) {
                ime.composition = composition.text.substr(0, kMaxComposition);
            }
            if ((lparam & platform::kCompositionCursor) != 0) ime.composition_cursor = composition.cursor;
            return 0;
        }
        case msg::kImeSetContext:
            return platform::DefaultWindowProcedure(window, message, wparam, 0);
        case msg::kImeNotify:
            if (wparam == platform::kImeNotifySetOpenStatus) ime.open = platform::TextInputEnabled();
            return platform::DefaultWindowProcedure(window, message, wparam, lparam);
        default:
            return 0;
    }
}

void RegisterTextInputWithWindow() {
    WindowTextInputServices services;
    services.char_buffer_full = [] { return IsCharBufferFull(); };
    services.stock_input_char = [](unsigned char byte) { return StockInputChar(byte); };
    services.handle_ime_message = [](uint64_t wparam, int64_t lparam, uint32_t message, int32_t window) {
        return HandleIMEMessage(wparam, lparam, message, window);
    };
    services.ime_enabled = [] { return IsImeEnabled(); };
    services.request_ime_reopen = [] { RequestImeReopen(); };
    services.process_key_input = [] { return ProcessKeyInput(); };
    services.end_key_input = [] { EndKeyInput(); };
    SetWindowTextInputServices(std::move(services));
}

}  // namespace velk
