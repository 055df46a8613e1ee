// Key-input handles: creation, deletion, activation, state, text and colours.

#include <algorithm>
#include <cstring>

#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "platform/base/clock.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace key_input_internal {

std::array<KeyInputData, kMaxKeyInputs>& Slots() {
    static std::array<KeyInputData, kMaxKeyInputs> slots;
    return slots;
}

KeyInputSettings& Settings() {
    static KeyInputSettings settings;
    return settings;
}

ImeState& Ime() {
    static ImeState ime;
    return ime;
}

int& NextCounter() {
    static int counter = 0;
    return counter;
}

KeyInputData* Find(int handle) {
    if (handle < 0 || (handle & kHandleTypeMask) != kHandleType) return nullptr;
    const int slot = handle & 0xFFFF;
    if (slot >= kMaxKeyInputs) return nullptr;
    KeyInputData& data = Slots()[static_cast<size_t>(slot)];
    if (!data.used || data.counter != ((handle >> 16) & 0x7FF)) return nullptr;
    return &data;
}

void RestartBlink() {
    Settings().blink_start = platform::Milliseconds31();
    Settings().cursor_shown = true;
}

int CharSizeAt(const std::string& text, int position) {
    if (position < 0 || position >= static_cast<int>(text.size())) return 0;
    const bool lead = platform::IsShiftJisLeadByte(static_cast<uint8_t>(text[static_cast<size_t>(position)]));
    return lead && position + 1 < static_cast<int>(text.size()) ? 2 : 1;
}

int PreviousCharStart(const std::string& text, int position) {
    int start = 0;
    for (int i = 0; i < position;) {
        start = i;
        i += std::max(1, CharSizeAt(text, i));
    }
    return start;
}

}  // namespace key_input_internal

using namespace key_input_internal;

namespace {

// The start values of the fifteen colours (colour 11 follows colour 3).
constexpr int kStartColours[kColourCount][3] = {
    {255, 255, 255}, {255, 255, 255}, {255, 255, 0},   {0, 255, 255}, {255, 255, 255},
    {255, 0, 0},     {255, 255, 20},  {0, 0, 0},       {0, 0, 0},     {0, 0, 0},
    {255, 255, 0},   {0, 0, 0},       {255, 255, 255}, {0, 0, 0},     {128, 128, 128},
};

constexpr uint64_t kNotGiven = ~uint64_t{0};

uint32_t StartColour(int index) {
    const int* rgb = kStartColours[index];
    return DrawServices().get_color_value(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

namespace key_input_internal {

void SetStartColours() {
    for (int i = 0; i < kColourCount; ++i) Settings().colours[static_cast<size_t>(i)] = StartColour(i);
}

}  // namespace key_input_internal

int CreateKeyInputBody(int max_length, int cancel_allowed, int single_byte_only, int digits_only) {
    // A handle that can hold no character could never take one.
    if (max_length < 1) return -1;
    auto& slots = Slots();
    auto free_slot = std::find_if(slots.begin(), slots.end(), [](const KeyInputData& d) { return !d.used; });
    if (free_slot == slots.end()) return -1;
    KeyInputData& data = *free_slot;
    data = KeyInputData{};
    data.used = true;
    data.max_length = max_length;
    data.cancel_allowed = cancel_allowed != 0;
    data.single_byte_only = single_byte_only != 0;
    data.digits_only = digits_only != 0;
    data.counter = NextCounter();
    NextCounter() = (NextCounter() + 1) % kCounterLimit;
    if (!Ime().enabled) SetIMEEnable(1);
    ClearInputCharBuf();
    const int slot = static_cast<int>(free_slot - slots.begin());
    return kHandleType | (data.counter << 16) | slot;
}

int DeleteKeyInputBody(int handle) {
    KeyInputData* data = Find(handle);
    if (data == nullptr) return -1;
    *data = KeyInputData{};
    if (Settings().active == handle) Settings().active = -1;
    const bool any_used = std::any_of(Slots().begin(), Slots().end(), [](const KeyInputData& d) { return d.used; });
    if (!any_used) SetIMEEnable(0);
    return 0;
}

int SetActiveKeyInputBody(int handle) {
    KeyInputData* data = nullptr;
    if (handle != -1) {
        data = Find(handle);
        if (data == nullptr) return -1;
    }
    RestartBlink();
    KeyInputSettings& settings = Settings();
    if (handle == settings.active) return 0;
    if (KeyInputData* previous = Find(settings.active)) {
        previous->selection_start = -1;
        previous->selection_end = -1;
    }
    settings.active = handle;
    if (data != nullptr) {
        data->finished = false;
        data->cancelled = false;
    }
    return 0;
}

int GetKeyInputStateBody(int handle) {
    const KeyInputData* data = Find(handle);
    if (data == nullptr) return -1;
    if (data->cancelled) return 2;
    return data->finished ? 1 : 0;
}

int SetKeyInputTextBody(const char* text, int handle) {
    KeyInputData* data = Find(handle);
    if (data == nullptr) return -1;
    std::string copied = text == nullptr ? std::string() : std::string(text);
    if (static_cast<int>(copied.size()) > data->max_length) {
        // Cut at the limit, but never inside a character.
        int length = 0;
        while (length < data->max_length) {
            const int size = CharSizeAt(copied, length);
            if (length + size > data->max_length) break;
            length += size;
        }
        copied.resize(static_cast<size_t>(length));
    }
    data->text = std::move(copied);
    data->selection_start = -1;
    data->selection_end = -1;
    data->cursor = static_cast<int>(data->text.size());
    data->first_visible = std::min(data->first_visible, data->cursor);
    RestartBlink();
    return 0;
}

int GetKeyInputTextBody(char* buffer, int buffer_size, int handle) {
    const KeyInputData* data = Find(handle);
    if (data == nullptr || buffer == nullptr || buffer_size < 1) return -1;
    int length = 0;
    while (length < static_cast<int>(data->text.size())) {
        const int size = CharSizeAt(data->text, length);
        if (length + size > buffer_size - 1) break;
        length += size;
    }
    std::memcpy(buffer, data->text.data(), static_cast<size_t>(length));
    buffer[length] = '\0';
    return 0;
}

bool GetKeyInputTextString(int handle, std::string* text) {
    const KeyInputData* data = Find(handle);
    if (data == nullptr) return false;
    *text = data->text;
    return true;
}

int SetKeyInputColorsBody(const uint64_t colours[15]) {
    auto& stored = Settings().colours;
    for (int i = 0; i <= kCandidateFrame; ++i) {
        if (colours[i] != kNotGiven) stored[static_cast<size_t>(i)] = static_cast<uint32_t>(colours[i]);
    }
    if (colours[kCandidateFrame] == kNotGiven && colours[kImeBackground] != kNotGiven) {
        stored[kCandidateFrame] = stored[kImeBackground];
    }
    for (int i = kCandidateBackground; i < kColourCount; ++i) {
        stored[static_cast<size_t>(i)] =
            colours[i] != kNotGiven ? static_cast<uint32_t>(colours[i]) : StartColour(i);
    }
    return 0;
}

void EndKeyInput() {
    for (int slot = 0; slot < kMaxKeyInputs; ++slot) {
        KeyInputData& data = Slots()[static_cast<size_t>(slot)];
        if (data.used) data = KeyInputData{};
    }
    Ime().candidates.Free();
    Settings().active = -1;
}

int CreateKeyInput(int max_length, int cancel_allowed, int single_byte_only, int digits_only) {
    return CreateKeyInputBody(max_length, cancel_allowed, single_byte_only, digits_only);
}
int DeleteKeyInput(int handle) { return DeleteKeyInputBody(handle); }
int SetActiveKeyInput(int handle) { return SetActiveKeyInputBody(handle); }
int GetKeyInputState(int handle) { return GetKeyInputStateBody(handle); }
int DrawKeyInputString(int x, int y, int handle) { return DrawKeyInputStringBody(x, y, handle); }
int SetKeyInputText(const char* text, int handle) { return SetKeyInputTextBody(text, handle); }
int GetKeyInputText(char* buffer, int buffer_size, int handle) {
    return GetKeyInputTextBody(buffer, buffer_size, handle);
}

int SetKeyInputColors(int64_t text, int64_t cursor, int64_t ime_background, int64_t ime_cursor,
                      int64_t ime_underline, int64_t ime_selected, int64_t unused7, int64_t text_edge,
                      int64_t selected_candidate_edge, int64_t unused10, int64_t candidate_frame,
                      int64_t candidate_background, int64_t selected_text, int64_t selected_text_edge,
                      int64_t selection_background) {
    const int64_t given[15] = {text,        cursor,          ime_background,   ime_cursor,
                               ime_underline, ime_selected,  unused7,          text_edge,
                               selected_candidate_edge,      unused10,         candidate_frame,
                               candidate_background,         selected_text,    selected_text_edge,
                               selection_background};
    uint64_t colours[15];
    for (int i = 0; i < 15; ++i) colours[i] = static_cast<uint64_t>(given[i]);
    return SetKeyInputColorsBody(colours);
}

}  // namespace velk
