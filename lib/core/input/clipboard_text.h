#pragma once
// The clipboard's text for the library, in Shift-JIS.

#include <optional>
#include <string>

namespace velk {

// -1 when the clipboard holds no text. With a null buffer: the room the
// text needs (its length plus 2). Otherwise copies the text, cut to whole
// characters that fit with the terminator in `buffer_size` bytes, and
// returns 0.
int GetClipboardText(char* buffer, int buffer_size);
// The clipboard's text, or nullopt when it holds none.
std::optional<std::string> GetClipboardTextString();
// Replaces the clipboard's contents with the text. Returns 0.
int SetClipboardText(const char* text);

// Processes messages until any key, pad button or mouse button that is
// held is let go and then one is pressed: the key code, -1, or 0 when the
// program is to end.
int WaitForAnyKey();

}  // namespace velk
