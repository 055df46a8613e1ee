#include "platform/file/name_pattern.h"

#include <cstdint>
#include <vector>

#include "platform/base/text_encoding.h"

namespace velk::platform {

namespace {

// The characters of a Shift-JIS text as views of one or two bytes.
std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> characters;
    characters.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = IsShiftJisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameCharacter(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    return a.size() == 2 ? a == b : FoldAscii(a[0]) == FoldAscii(b[0]);
}

bool IsStar(std::string_view c) { return c.size() == 1 && c[0] == '*'; }
bool IsQuestion(std::string_view c) { return c.size() == 1 && c[0] == '?'; }

// What is left of the pattern once the name has ended: only stars, or a dot
// followed by only stars.
bool MatchesEmpty(const std::vector<std::string_view>& pattern, size_t from) {
    if (from < pattern.size() && pattern[from] == ".") {
        ++from;
    }
    for (size_t i = from; i < pattern.size(); ++i) {
        if (!IsStar(pattern[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool MatchFileNamePattern(std::string_view pattern_text, std::string_view name_text) {
    const auto pattern = Characters(pattern_text);
    const auto name = Characters(name_text);
    size_t p = 0;
    size_t n = 0;
    // The last star met and the name position it was tried at: on a mismatch
    // the star takes one more character and matching resumes after it.
    size_t star = SIZE_MAX;
    size_t star_name = 0;
    while (n < name.size()) {
        if (p < pattern.size() && IsStar(pattern[p])) {
            star = p++;
            star_name = n;
        } else if (p < pattern.size() && (IsQuestion(pattern[p]) || SameCharacter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != SIZE_MAX) {
            p = star + 1;
            n = ++star_name;
        } else {
            return false;
        }
    }
    return MatchesEmpty(pattern, p);
}

bool HasWildcards(std::string_view pattern) {
    return pattern.find_first_of("*?") != std::string_view::npos;
}

}  // namespace velk::platform
