#pragma once
// The input method beside the window: while text input is on it sees the
// keys first and reports what the player composes (the reading or its
// conversion, split into clauses), the text it commits and the list of
// candidates for the selected clause. The window stand-in turns its reports
// into the composition and candidate messages. Without one, SDL's own text
// input gives the composition string alone.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velk::platform {

struct InputMethodEvent {
    enum class Kind {
        kComposition,  // text, cursor, clauses; empty text ends the composition
        kCommit,       // text
        kCandidates,   // candidates, selection, page size: shown or changed
        kCandidatesClosed,
    };
    Kind kind = Kind::kComposition;
    std::string text;  // UTF-8
    int cursor = 0;    // in characters
    // The first character of each clause, ascending from 0; empty when the
    // input method tells no clauses.
    std::vector<int> clause_starts;
    // The clause being converted, -1 for none.
    int selected_clause = -1;
    std::vector<std::string> candidates;  // UTF-8
    int selection = 0;
    int page_size = 0;
};

struct InputMethodKey {
    uint32_t virtual_key = 0;
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool release = false;
};

class InputMethodBackend {
public:
    virtual ~InputMethodBackend() = default;
    // Text input switched on (the input method gets focus) or off.
    virtual void SetFocus(bool focused) = 0;
    // True when the input method took the key; the window then sees neither
    // the key nor the character it would type.
    virtual bool FilterKey(const InputMethodKey& key) = 0;
    // Appends what the input method reported since the last call.
    virtual void PumpEvents(std::vector<InputMethodEvent>& out) = 0;
    // Drops the composition without committing it.
    virtual void Reset() = 0;
    // The page of candidates the program shows: its size and first entry.
    virtual void SetCandidatePage(int page_size, int page_start) = 0;
};

// The back-end on the session's IBus daemon (with the pre-edit and
// lookup-table capabilities), or null when no daemon answers. An engine name
// switches the context to that engine; "" keeps the one the player chose.
std::unique_ptr<InputMethodBackend> CreateIbusInputMethod(const std::string& engine = "");

// Installs the input method that the window's events pass through (null:
// none). Returns the previous one.
std::unique_ptr<InputMethodBackend> SetInputMethodBackend(std::unique_ptr<InputMethodBackend> backend);
InputMethodBackend* ActiveInputMethod();

// The candidate list in the system's packed form, for copying: six 32-bit
// fields (whole size, style 1, count, selection, page start, page size),
// one 32-bit offset per candidate from the record's start, then the
// candidates as 0-terminated Shift-JIS. With a null buffer, the size needed
// (0 without a list); else the bytes written, 0 when the buffer is too small.
size_t ReadCandidateList(void* buffer, size_t size);
// The program shows this page of the candidates; passed to the input method.
void SetCandidatePage(int page_size, int page_start);

}  // namespace velk::platform
