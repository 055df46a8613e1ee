#pragma once
// Small helpers shared across the game: its own random source (separate from
// the C runtime generator of the data files, so a replay or a save can carry
// and restore it), short-lived number texts and Shift-JIS byte classes.

#include <cstdint>
#include <string>
#include <string_view>

namespace velk {

// The game's random source. On the first call of a run the state is taken
// from the millisecond clock. mode 0 advances it once, mode 2 sets it to
// `value`; every mode returns the state after the call (mode 1 just reads).
uint32_t UpdateRandomSeed(int mode, uint32_t value);
// Makes the next call the first of a run again (a fresh start of the game).
void RestartRandomSource();

// The decimal text of a number in the next of ten ring buffers; the text
// stays valid for ten further calls.
const char* FormatIntText(int32_t value);

// The class of text[index] in a Shift-JIS text read from its start: 0 a
// single-byte character, 1 the lead byte of a pair, 2 its trail byte; 0 at or
// past the end of the text (its length or its first zero byte).
int GetSjisByteClass(std::string_view text, int index);

// The program file's folder, ending in the path separator.
std::string GetExeFolder();

}  // namespace velk
