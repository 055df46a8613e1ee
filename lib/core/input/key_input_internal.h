#pragma once
// State shared by the parts of text input; not for use outside
// lib/core/input.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lib/core/input/key_input.h"

namespace velk::key_input_internal {

constexpr int kHandleType = 0x50000000;
constexpr int kHandleTypeMask = 0x78000000;
constexpr int kCounterLimit = 2048;

struct KeyInputData {
    bool used = false;
    int counter = 0;
    bool finished = false;
    bool cancelled = false;
    int max_length = 0;
    int selection_start = -1;
    int selection_end = -1;
    int first_visible = 0;
    int cursor = 0;
    std::string text;  // Shift-JIS, never longer than max_length
    bool cancel_allowed = false;
    bool single_byte_only = false;
    bool digits_only = false;
};

enum Colour {
    kText,
    kCursor,
    kImeBackground,
    kImeCursor,
    kImeUnderline,
    kImeSelected,
    kUnused7,
    kTextEdge,
    kSelectedCandidateEdge,
    kUnused10,
    kCandidateFrame,
    kCandidateBackground,
    kSelectedText,
    kSelectedTextEdge,
    kSelectionBackground,
    kColourCount,
};

struct KeyInputSettings {
    int active = -1;
    int font = -1;
    bool blink = false;
    int32_t blink_start = 0;
    int blink_interval = 500;
    bool cursor_shown = true;
    std::array<uint32_t, kColourCount> colours{};
};

// The input method's candidate list, copied out of the system in its packed
// form (see platform/window/input_method.h) into a block of the tracking
// allocator. Entries are read with bounds checks, as the copy is the
// system's.
class CandidateListCopy {
public:
    CandidateListCopy() = default;
    CandidateListCopy(uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    CandidateListCopy(CandidateListCopy&& other) noexcept { *this = std::move(other); }
    CandidateListCopy& operator=(CandidateListCopy&& other) noexcept;
    CandidateListCopy(const CandidateListCopy&) = delete;
    CandidateListCopy& operator=(const CandidateListCopy&) = delete;
    ~CandidateListCopy() { Free(); }

    bool empty() const { return bytes_ == nullptr; }
    size_t size() const { return size_; }
    void Free();
    int Count() const;
    int Selection() const;
    // The entry's Shift-JIS text; "" outside the list.
    std::string Entry(int index) const;

private:
    uint32_t Field(size_t offset) const;

    uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
};

struct ImeState {
    bool enabled = false;
    bool open = false;
    bool composing = false;
    std::string composition;  // Shift-JIS
    int composition_cursor = 0;  // in characters
    // The clause data: byte offsets where clauses begin, then the end.
    std::vector<uint32_t> clauses;
    CandidateListCopy candidates;
    int reopen_step = 0;
};

// The page of candidates the key-input drawing shows.
constexpr int kCandidatePageSize = 5;

std::array<KeyInputData, kMaxKeyInputs>& Slots();
KeyInputSettings& Settings();
ImeState& Ime();
int& NextCounter();

const KeyInputDrawServices& DrawServices();

// The slot a handle names, or null for a bad handle.
KeyInputData* Find(int handle);
void RestartBlink();
void SetStartColours();

// Character boundaries of Shift-JIS text, found from its start so a second
// byte that looks like a lead byte is never taken for one.
int CharSizeAt(const std::string& text, int position);
int PreviousCharStart(const std::string& text, int position);

}  // namespace velk::key_input_internal
