#pragma once
// The escape codes that game authors write into texts: value codes (\v[n],
// \s[n], \udb[t:d:f]...) are replaced by the values they name, and format
// codes (\c[n], \f[n], \i[n], <C>...) become TextCodes for the layout and the
// renderer. Every error shows the game's error box and the conversion goes
// on; a text always comes back.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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

// Many texts converted one after another with the same options, each only to
// be compared with one converted text, as a search for a label does.
//
// Matches(text) answers ConvertEscapeCodes(store, text, options) == wanted,
// with the same boxes in the same order and the same store afterwards, but
// spares the expansions that cannot change the answer or what the player
// sees. A text that holds no code is compared as it is. A text whose codes
// are all value codes with their brackets, and whose values hold no code, no
// TextCode and no carriage return, is compared piece by piece with the values
// it reads, so a long string costs once per search, not once per text. Any
// other text is converted whole; when that conversion reads only what no
// conversion changes, its answer and its boxes are kept, and the same text
// met again shows those boxes again without the work.
//
// Valid while nothing but the texts' own conversions changes the store: the
// values read are kept for the whole search.
class EscapedNameMatcher {
public:
    EscapedNameMatcher(VariableStore& store, EscapeCodeOptions options, std::string wanted);

    bool Matches(const std::string& text);

private:
    struct StringValue {
        std::string text;
        // Holds no backslash, no '<', no carriage return and no TextCode.
        bool inert = false;
    };
    struct Outcome {
        bool equal = false;
        std::vector<std::array<std::string, 3>> boxes;
    };

    // nullopt when the text is not one of value codes alone.
    std::optional<bool> MatchValueCodes(const std::string& text);
    bool MatchConverted(std::string text);
    const StringValue& String(VariableId id);
    bool SameAt(VariableId id, const std::string& value, size_t at);

    VariableStore& store_;
    EscapeCodeOptions options_;
    std::string wanted_;
    std::unordered_map<VariableId, StringValue> strings_;
    // Whether a string's value lies in the wanted text at an offset.
    std::map<std::pair<VariableId, size_t>, bool> placed_;
    std::unordered_map<std::string, Outcome> outcomes_;
};

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
