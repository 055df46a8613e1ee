// The per-frame editing step of the active key-input handle.

#include <algorithm>
#include <optional>

#include "lib/core/input/clipboard_text.h"
#include "lib/core/input/device_input.h"
#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "lib/core/window/main_window.h"
#include "platform/base/text_encoding.h"
#include "platform/input/key_codes.h"
#include "platform/window/window_system.h"

namespace velk {

using namespace key_input_internal;

namespace {

// The codes of the ring that edit rather than type.
constexpr unsigned char kCopy = 3;
constexpr unsigned char kBackspace = 8;
constexpr unsigned char kTab = 9;
constexpr unsigned char kEnter = 13;
constexpr unsigned char kDelete = 16;
constexpr unsigned char kPaste = 22;
constexpr unsigned char kCut = 24;
constexpr unsigned char kEnd = 25;
constexpr unsigned char kHome = 26;
constexpr unsigned char kEscape = 27;
constexpr unsigned char kRight = 28;
constexpr unsigned char kLeft = 29;
constexpr unsigned char kUp = 30;
constexpr unsigned char kDown = 31;

bool ShiftHeld() {
    return CheckKeyDown(platform::key::kLeftShift) != 0 || CheckKeyDown(platform::key::kRightShift) != 0;
}

bool HasSelection(const KeyInputData& data) {
    return data.selection_start >= 0 && data.selection_end >= 0 && data.selection_start != data.selection_end;
}

int SelectionStart(const KeyInputData& data) { return std::min(data.selection_start, data.selection_end); }
int SelectionEnd(const KeyInputData& data) { return std::max(data.selection_start, data.selection_end); }

void ClearSelection(KeyInputData& data) {
    data.selection_start = -1;
    data.selection_end = -1;
}

int Length(const KeyInputData& data) { return static_cast<int>(data.text.size()); }

void DeleteSelection(KeyInputData& data) {
    const int start = SelectionStart(data);
    const int end = SelectionEnd(data);
    data.text.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
    data.cursor = start;
    ClearSelection(data);
    data.first_visible = std::min(data.first_visible, Length(data));
}

std::string SelectedText(const KeyInputData& data) {
    return data.text.substr(static_cast<size_t>(SelectionStart(data)),
                            static_cast<size_t>(SelectionEnd(data) - SelectionStart(data)));
}

// Moves the cursor to `target`; with Shift the selection follows.
void MoveCursor(KeyInputData& data, int target, bool shift) {
    if (!shift) {
        ClearSelection(data);
    } else if (data.selection_start >= 0 && data.selection_end >= 0) {
        data.selection_end = target;
    } else {
        data.selection_start = data.cursor;
        data.selection_end = target;
    }
    data.cursor = target;
}

bool AcceptedByMode(const KeyInputData& data, const char* character, int size) {
    if (data.single_byte_only && size == 2) return false;
    if (!data.digits_only) return true;
    if (size != 1) return false;
    const char c = character[0];
    if (c >= '0' && c <= '9') return true;
    if (c == '-') return data.cursor == 0;
    if (c == '.') return data.text.find('.') == std::string::npos;
    return false;
}

// Types one character at the cursor. When the text is full its last
// character makes room; a character that could not fit even an empty text
// is refused.
void TypeCharacter(KeyInputData& data, const char* character, int size) {
    if (HasSelection(data)) DeleteSelection(data);
    if (!AcceptedByMode(data, character, size) || size > data.max_length) return;
    while (Length(data) + size > data.max_length) {
        const bool cursor_at_end = data.cursor == Length(data);
        data.text.resize(static_cast<size_t>(PreviousCharStart(data.text, Length(data))));
        if (cursor_at_end || data.cursor > Length(data)) data.cursor = Length(data);
    }
    data.text.insert(static_cast<size_t>(data.cursor), character, static_cast<size_t>(size));
    data.cursor += size;
    // An empty selection left behind would point into text that moved.
    ClearSelection(data);
}

// Pasted text goes in as text: control bytes are dropped, pairs stay whole,
// and what does not fit the maximum length is left out.
void PasteText(KeyInputData& data, const std::string& pasted) {
    if (HasSelection(data)) DeleteSelection(data);
    for (int i = 0; i < static_cast<int>(pasted.size());) {
        const int size = std::max(1, CharSizeAt(pasted, i));
        const auto first = static_cast<unsigned char>(pasted[static_cast<size_t>(i)]);
        const char* character = pasted.data() + i;
        i += size;
        if (size == 1 && (first < 0x20 || first == 0x7F || platform::IsShiftJisLeadByte(first))) continue;
        if (size == 2 && static_cast<unsigned char>(character[1]) < 0x40) continue;  // not a real pair
        if (!AcceptedByMode(data, character, size)) continue;
        if (Length(data) + size > data.max_length) break;
        data.text.insert(static_cast<size_t>(data.cursor), character, static_cast<size_t>(size));
        data.cursor += size;
    }
    ClearSelection(data);
}

void HandleDelete(KeyInputData& data) {
    if (HasSelection(data)) {
        if (ShiftHeld()) SetClipboardText(SelectedText(data).c_str());
        DeleteSelection(data);
        return;
    }
    if (data.cursor < Length(data)) {
        data.text.erase(static_cast<size_t>(data.cursor), static_cast<size_t>(CharSizeAt(data.text, data.cursor)));
    }
    ClearSelection(data);
}

void HandleBackspace(KeyInputData& data) {
    if (HasSelection(data)) {
        DeleteSelection(data);
        return;
    }
    if (data.cursor <= 0) return;
    const int start = PreviousCharStart(data.text, data.cursor);
    data.text.erase(static_cast<size_t>(start), static_cast<size_t>(data.cursor - start));
    data.cursor = start;
    ClearSelection(data);
}

void HandleEndOrHome(KeyInputData& data, int target) {
    if (!ShiftHeld()) {
        ClearSelection(data);
        data.cursor = target;
        return;
    }
    MoveCursor(data, target, true);
}

// Runs one character of the ring on the handle.
void Edit(KeyInputData& data, const char* character, int size) {
    const auto code = static_cast<unsigned char>(character[0]);
    if (size == 2) {
        TypeCharacter(data, character, size);
        return;
    }
    switch (code) {
        case kCopy:
            if (HasSelection(data)) SetClipboardText(SelectedText(data).c_str());
            return;
        case kBackspace:
            HandleBackspace(data);
            return;
        case kTab:
        case kUp:
        case kDown:
            return;
        case kEnter:
            data.finished = true;
            return;
        case kDelete:
            HandleDelete(data);
            return;
        case kPaste:
            if (std::optional<std::string> pasted = GetClipboardTextString()) PasteText(data, *pasted);
            return;
        case kCut:
            if (HasSelection(data)) {
                SetClipboardText(SelectedText(data).c_str());
                DeleteSelection(data);
            }
            return;
        case kEnd:
            HandleEndOrHome(data, Length(data));
            return;
        case kHome:
            HandleEndOrHome(data, 0);
            return;
        case kEscape:
            if (data.cancel_allowed) {
                data.cancelled = true;
                data.finished = true;
            }
            return;
        case kRight:
            if (data.cursor < Length(data)) {
                MoveCursor(data, data.cursor + CharSizeAt(data.text, data.cursor), ShiftHeld());
            }
            return;
        case kLeft:
            if (data.cursor > 0) MoveCursor(data, PreviousCharStart(data.text, data.cursor), ShiftHeld());
            return;
        default:
            // Control bytes without an editing meaning (Ctrl+letters, the
            // page keys' codes, Ctrl+Backspace's 0x7F) are typed as they
            // come. Only a 0 byte stays out: every reader of the text takes
            // it for the end.
            if (code == 0) return;
            TypeCharacter(data, character, size);
            return;
    }
}

void RunImeReopen() {
    ImeState& ime = Ime();
    if (ime.reopen_step == 0) return;
    // The input method is closed and opened again after the window came
    // back; what the player was composing is kept and set again afterwards,
    // so switching windows loses no text.
    const std::string saved = ime.composition;
    ime.composition.clear();
    ime.composing = false;
    platform::SetTextInputEnabled(false);
    platform::SetTextInputEnabled(true);
    platform::SetCompositionString(GetMainWindowHWND(), saved);
    ime.reopen_step = 0;
}

}  // namespace

int ProcessKeyInput() {
    RunImeReopen();
    const int active = Settings().active;
    if (active == -1) return 0;
    KeyInputData* data = Find(active);
    if (data == nullptr) return -1;
    char character[2];
    while (!data->finished) {
        const int size = GetInputChar(character, 1);
        if (size == 0) break;
        RestartBlink();
        Edit(*data, character, size);
        // The clipboard or Shift checks may have run message processing,
        // which cannot delete the handle, but stay safe.
        data = Find(active);
        if (data == nullptr) return -1;
    }
    return 0;
}

}  // namespace velk
