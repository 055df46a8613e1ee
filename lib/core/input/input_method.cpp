// The input method: switched on while key-input handles exist. Its
// composition, clauses and candidate list are read when the system reports
// them and shown at the active handle's cursor.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "lib/core/input/input_log_texts.h"
#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "platform/window/input_method.h"
#include "platform/window/window_system.h"

namespace velk {

using namespace key_input_internal;

namespace key_input_internal {

CandidateListCopy& CandidateListCopy::operator=(CandidateListCopy&& other) noexcept {
    if (this != &other) {
        Free();
        bytes_ = other.bytes_;
        size_ = other.size_;
        other.bytes_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

void CandidateListCopy::Free() {
    if (bytes_ != nullptr) MemFree(bytes_);
    bytes_ = nullptr;
    size_ = 0;
}

uint32_t CandidateListCopy::Field(size_t offset) const {
    uint32_t value = 0;
    if (bytes_ != nullptr && offset + 4 <= size_) std::memcpy(&value, bytes_ + offset, 4);
    return value;
}

int CandidateListCopy::Count() const {
    // Only as many entries as the copy holds offsets for, which end where
    // the first entry's text begins: a header claiming more would read
    // texts as offsets.
    const size_t end = std::min<size_t>(size_, Field(24));
    const size_t room = end >= 24 ? (end - 24) / 4 : 0;
    return static_cast<int>(std::min<size_t>(Field(8), room));
}

int CandidateListCopy::Selection() const { return static_cast<int>(Field(12)); }

std::string CandidateListCopy::Entry(int index) const {
    if (index < 0 || index >= Count()) return {};
    const size_t at = Field(24 + static_cast<size_t>(index) * 4);
    if (at >= size_) return {};
    const auto* text = reinterpret_cast<const char*>(bytes_ + at);
    return std::string(text, strnlen(text, size_ - at));
}

}  // namespace key_input_internal

namespace {

constexpr size_t kMaxComposition = 1024;
// The clause data holds up to 1024 bytes of 4-byte offsets.
constexpr size_t kMaxClauseEntries = 256;

void ClearComposition(ImeState& ime) {
    ime.composition.clear();
    ime.composition_cursor = 0;
    ime.clauses.clear();
    ime.composing = false;
}

// The input context's number in the log: the window's, as there is one.
void ReadCandidateList(int32_t window) {
    ImeState& ime = Ime();
    const size_t size = platform::ReadCandidateList(nullptr, 0);
    if (size == 0) {
        WriteLogFormat(input_log_text::kCandidateSizeZero, static_cast<unsigned>(window),
                       static_cast<unsigned>(window));
        return;
    }
    ime.candidates.Free();
    auto* bytes = static_cast<uint8_t*>(VELK_ALLOC(size));
    if (bytes == nullptr) {
        char message[256];
        std::snprintf(message, sizeof(message), input_log_text::kCandidateMemoryFatal, static_cast<int>(size));
        ExitOnFatalError(message);
    }
    if (platform::ReadCandidateList(bytes, size) == 0) {
        MemFree(bytes);
        WriteLogFormat(input_log_text::kCandidateReadFailed, static_cast<int>(size));
        return;
    }
    ime.candidates = CandidateListCopy(bytes, size);
}

}  // namespace

int SetIMEEnable(int flag) {
    ImeState& ime = Ime();
    const bool enable = flag != 0;
    if (enable == ime.enabled) return 0;
    platform::SetTextInputEnabled(enable);
    ime.enabled = enable;
    ime.open = enable;
    if (!enable) {
        ime.candidates.Free();
        ClearComposition(ime);
    }
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
            if ((lparam & platform::kCompositionClause) != 0) {
                ime.clauses.assign(composition.clauses.begin(),
                                   composition.clauses.begin() +
                                       static_cast<ptrdiff_t>(std::min(composition.clauses.size(), kMaxClauseEntries)));
            }
            return 0;
        }
        case msg::kImeSetContext:
            return platform::DefaultWindowProcedure(window, message, wparam, 0);
        case msg::kImeNotify:
            switch (wparam) {
                case platform::kImeNotifyOpenCandidate:
                case platform::kImeNotifyChangeCandidate:
                case platform::kImeNotifySetCandidatePosition:
                    ReadCandidateList(window);
                    return 0;
                case platform::kImeNotifyCloseCandidate:
                    ime.candidates.Free();
                    return 0;
                case platform::kImeNotifySetOpenStatus:
                    ime.open = platform::TextInputEnabled();
                    break;
                default:
                    break;
            }
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
