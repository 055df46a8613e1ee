#pragma once
// The escape codes that game authors write into texts: value codes (\v[n],
// \s[n], \udb[t:d:f]...) are replaced by the values they name, and format
// codes (\c[n], \f[n], \i[n], <C>...) become TextCodes for the layout and the
// renderer. Every error shows the game's error box and the conversion goes
// on; a text always comes back.

#include <cstdint>
#include <string>
#include <string_view>

namespace velk {

class VariableStore;

struct EscapeCodeOptions {
    // The running event (-1 where none): the map event's and the common
    // event's self variables, and the map whose self variables \self[ reads
    // (-1: the current map).
    int32_t mapEventId = -1;
    int32_t commonEventId = -1;
    int32_t mapId = -1;
    // Stop after the values: format codes and doubled backslashes stay text.
    bool valuesOnly = false;
    // Put `prefix` before and `suffix` after the text first.
    bool wrap = false;
    std::string prefix;
    std::string suffix;
    // A first line "@n" sets system variable 0 to n and is removed.
    bool leadingAtSignLine = false;
};

std::string ConvertEscapeCodes(VariableStore& store, std::string text, const EscapeCodeOptions& options);

// Turns the TextCodes without parameters back into their escape text; the
// others stay as they are.
std::string RevertEscapeCodes(std::string_view text);

// How many value codes one conversion replaces at most, and how long its
// text may grow, before it stops expanding (a string that holds its own code
// would otherwise expand without end).
inline constexpr int kMaxValueReplacements = 10000;
inline constexpr size_t kMaxExpandedTextBytes = size_t{1} << 20;

}  // namespace velk
