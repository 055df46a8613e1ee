#pragma once
// The escape codes that game authors write into texts: value codes (\v[n],
// \s[n], \udb[t:d:f]...) are replaced by the values they name, and format
// codes (\c[n], \f[n], \i[n], <C>...) become TextCodes for the layout and the
// renderer. Every error shows the game's error box and the conversion goes
// on; a text always comes back.

#include <cstdint>
#include <string>
#include <string_view>

#include "game/data/variable_store.h"

namespace velk {

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

// A string that holds its own value code expands without end, each
// replacement replacing a code that the one before wrote. One that grows stops
// where the text would pass the longest string; one that does not stops after
// this many such replacements in a row that do not make the text longer than
// it has been.
inline constexpr int kMaxStalledReplacements = 1000000;
// The most work one expansion of value codes does, in bytes moved, searched
// and written, before it stops: a mix of both kinds of string, made to last,
// ends within about a second.
inline constexpr size_t kMaxExpansionWork = size_t{128} * kMaxStringLength;
// The bound in force: kMaxExpansionWork unless a test set another.
size_t ExpansionWorkLimit();
void SetExpansionWorkLimit(size_t work);

}  // namespace velk
