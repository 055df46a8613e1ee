#include "tests/game/present/escape_codes_reference.h"

#include <algorithm>
#include <array>
#include <climits>
#include <functional>

#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/data/variable_id.h"
#include "game/data/variable_store.h"
#include "game/present/present_texts.h"
#include "game/present/text_code.h"

namespace velk::testing {
namespace {

constexpr size_t kNone = std::string::npos;

void Report(const std::string& line1, const std::string& line2) {
    ActiveErrorReporter().ShowErrorBox(line1, line2, "");
}
void Report(const char* line1) { Report(line1, FormatErrorLocation()); }

// atoi's reading (blanks, a sign, digits), held to the int range.
int32_t ReadNumber(std::string_view text, size_t from) {
    size_t i = from;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT_MAX} + 1);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

VariableId HeldId(int64_t id) { return static_cast<VariableId>(std::clamp<int64_t>(id, INT_MIN, INT_MAX)); }

// The first occurrence of `search` at or after `from` that is not inside a
// TextCode; with `wholeCharacters` also not starting at a trail byte.
size_t FindCode(std::string_view text, std::string_view search, size_t from, bool wholeCharacters) {
    size_t i = from;
    while (i < text.size()) {
        if (text[i] == kTextCodeStart) {
            i += std::max<size_t>(1, ReadTextCode(text, i).length);
            continue;
        }
        if (text.compare(i, search.size(), search) == 0) return i;
        i += wholeCharacters ? TextUnitLength(text, i) : 1;
    }
    return kNone;
}

// Replaces every value code, each pass searching from the start of the text
// again after every replacement, until a string that holds its own code
// stops it.
class ValueExpansion {
public:
    ValueExpansion(VariableStore& store, const EscapeCodeOptions& options) : store_(store), options_(options) {}

    void Run(std::string& text) {
        longest_ = text.size();
        ExpandNumbered(text, "\\v[", kVariableBase, 1, texts::kVariableBracketMissing);
        for (int d = 1; d <= 9; ++d) {
            ExpandNumbered(text, "\\v" + std::to_string(d) + "[", kVariableBase + d * 100000, 1,
                           texts::kSpareVariableBracketMissing);
        }
        ExpandSelf(text);
        ExpandCommonSelf(text);
        ExpandDatabases(text);
        ExpandSingle(text, "\\s[", texts::kStringBracketMissing,
                     [&](int32_t n) { return store_.GetString(HeldId(int64_t{kStringBase} + n)); });
    }

private:
    // The next occurrence, or kNone once the expansion stopped.
    size_t Next(const std::string& text, std::string_view search) {
        if (stopped_) return kNone;
        return FindCode(text, search, 0, false);
    }

    // Replaces from the backslash through the closing bracket; without one
    // only the backslash and the character after it go.
    static size_t CodeEnd(const std::string& text, size_t at, size_t close) {
        return close == kNone ? std::min(at + 2, text.size()) : close + 1;
    }

    void ExpandSingle(std::string& text, const std::string& search, const char* missing,
                      const std::function<std::string(int32_t)>& value) {
        written_ = 0;
        for (size_t at; (at = Next(text, search)) != kNone;) {
            const size_t open = at + search.size();
            const size_t close = text.find(']', open);
            if (close == kNone) Report(missing);
            const std::string replacement = value(ReadNumber(text, open));
            if (!Replace(text, at, CodeEnd(text, at, close), replacement)) return;
        }
    }

    // False, with the text kept, when the result would be longer than a
    // string, or when the replacement ends a run of kMaxStalledReplacements
    // in a row each of which begins before the end of the value the one
    // before it wrote and does not make the text longer than it has been.
    bool Replace(std::string& text, size_t at, size_t end, const std::string& value) {
        const size_t size = text.size() - (end - at) + value.size();
        stalled_ = at >= written_ || size > longest_ ? 0 : stalled_ + 1;
        if (size > kMaxStringLength || stalled_ > kMaxStalledReplacements) {
            stopped_ = true;
            Report(texts::kExpansionRunaway);
            return false;
        }
        longest_ = std::max(longest_, size);
        text.replace(at, end - at, value);
        written_ = at + value.size();
        return true;
    }

    void ExpandNumbered(std::string& text, const std::string& search, int64_t base, int64_t scale,
                        const char* missing) {
        ExpandSingle(text, search, missing,
                     [&](int32_t n) { return std::to_string(store_.GetInt(HeldId(base + scale * n))); });
    }

    void ExpandSelf(std::string& text) {
        ExpandSingle(text, "\\self[", texts::kSelfBracketMissing, [&](int32_t n) -> std::string {
            // A common event run without a map event has no self variables of
            // a map event; they read 0 as unwritten ones do.
            if (options_.mapEventId < 0) return "0";
            store_.SetMapOverride(options_.mapId);
            return std::to_string(store_.GetInt(HeldId(kMapSelfBase + int64_t{options_.mapEventId} * 10 + n)));
        });
    }

    void ExpandCommonSelf(std::string& text) {
        ExpandSingle(text, "\\cself[", texts::kCommonSelfBracketMissing, [&](int32_t n) {
            const VariableId id = HeldId(kCommonSelfBase + int64_t{options_.commonEventId} * 100 + n);
            return IsCommonSelfStringSlot(n) ? store_.GetString(id) : std::to_string(store_.GetInt(id));
        });
    }

    void ExpandDatabases(std::string& text) {
        static constexpr std::array<const char*, 3> kSearch = {"\\udb[", "\\cdb[", "\\sdb["};
        static constexpr std::array<int64_t, 3> kBase = {kUserDatabaseBase, kChangeableDatabaseBase,
                                                         kSystemDatabaseBase};
        written_ = 0;
        while (!stopped_) {
            size_t kind = 0, at = kNone;
            for (; kind < kSearch.size(); ++kind) {
                at = Next(text, kSearch[kind]);
                if (at != kNone) break;
            }
            if (at == kNone) return;
            const size_t open = at + 5;
            size_t first = text.find(':', open);
            if (first == kNone) {
                Report(texts::kDatabaseColonMissing);
                first = open;
            }
            size_t second = text.find(':', first + 1);
            if (second == kNone) {
                Report(texts::kDatabaseColonMissing);
                second = first + 1;
            }
            const size_t close = text.find(']', second + 1);
            if (close == kNone) Report(texts::kDatabaseBracketMissing);
            const int64_t type = ReadNumber(text, open);
            const int64_t data = ReadNumber(text, first + 1);
            const int64_t item = ReadNumber(text, second + 1);
            const int64_t id = kBase[kind] + type * 1000000 + data * 100 + item;
            std::string value;
            if (id < INT_MIN || id > INT_MAX) {
                Report(texts::kDatabaseOutOfRange);
            } else {
                value = store_.GetString(static_cast<VariableId>(id));
                if (value == "<<ERROR>>") value = std::to_string(store_.GetInt(static_cast<VariableId>(id)));
            }
            if (!Replace(text, at, CodeEnd(text, at, close), value)) return;
        }
    }

    VariableStore& store_;
    const EscapeCodeOptions& options_;
    // Where the value of the pass's last replacement ends.
    size_t written_ = 0;
    size_t longest_ = 0;
    int stalled_ = 0;
    bool stopped_ = false;
};

void TakeAtSignLine(VariableStore& store, std::string& text) {
    if (text.empty() || text[0] != '@') return;
    const size_t lineFeed = text.find('\n');
    if (lineFeed == kNone) {
        text.erase(0, 1);
        return;
    }
    int32_t n = 0;
    if (lineFeed - 1 < 10) {
        n = ReadNumber(std::string_view(text).substr(1, lineFeed - 1), 0);
    } else {
        Report(texts::kAtSignNotNumber, "");
    }
    store.SetInt(kSystemVariableBase, n);
    text.erase(0, lineFeed + 1);
}

void ConvertDoubledBackslashes(std::string& text) {
    for (size_t at = 0; (at = FindCode(text, "\\\\", at, true)) != kNone; at += 2) {
        text.replace(at, 2, EncodeBareCode(kCodeBackslash));
    }
}

enum class Form { kBare, kBracketed };

struct FormatKind {
    const char* search;
    Form form;
    uint8_t code;
    const char* missing;
};

constexpr std::array<FormatKind, 22> kFormatKinds = {{
    {"\\c[", Form::kBracketed, kCodeColor, texts::kColorBracketMissing},
    {"\\font[", Form::kBracketed, kCodeFontSlot, texts::kFontBracketMissing},
    {"\\f[", Form::kBracketed, kCodeFontSize, texts::kFontSizeBracketMissing},
    {"\\m[", Form::kBracketed, kCodeLineHeight, texts::kLineHeightBracketMissing},
    {"\\E", Form::kBare, kCodeEdgeOn, nullptr},
    {"\\N", Form::kBare, kCodeEdgeOff, nullptr},
    {"\\-[", Form::kBracketed, kCodeSpacing, texts::kSpacingBracketMissing},
    {"\\r[", Form::kBare, kCodeRuby, nullptr},
    {"\\>", Form::kBare, kCodeInstantOn, nullptr},
    {"\\<", Form::kBare, kCodeInstantOff, nullptr},
    {"\\sp[", Form::kBracketed, kCodeSpeed, texts::kSpeedBracketMissing},
    {"\\.", Form::kBare, kCodeTimedPause, nullptr},
    {"\\!", Form::kBare, kCodeKeyWait, nullptr},
    {"\\^", Form::kBare, kCodeClose, nullptr},
    {"\\space[", Form::kBracketed, kCodeLineGap, texts::kLineGapBracketMissing},
    {"<L>", Form::kBare, kCodeAlignLeft, nullptr},
    {"<C>", Form::kBare, kCodeAlignCenter, nullptr},
    {"<R>", Form::kBare, kCodeAlignRight, nullptr},
    {"\\i[", Form::kBracketed, kCodeIcon, texts::kIconBracketMissing},
    {"\\img[", Form::kBare, kCodeImage, nullptr},
    {"\\mx[", Form::kBracketed, kCodeMoveX, texts::kMoveXBracketMissing},
    {"\\my[", Form::kBracketed, kCodeMoveY, texts::kMoveYBracketMissing},
}};

int32_t IconValue(int32_t n) { return n < 0 ? 10000 : std::min(n, 9999); }

// The TextCode of a bracketed code with its argument n.
std::string EncodeBracketed(uint8_t code, int32_t n) {
    switch (code) {
        case kCodeColor: return EncodeByteCode(code, std::clamp(n, 0, 200));
        case kCodeFontSlot: return EncodeByteCode(code, std::clamp(n, 0, 3));
        case kCodeFontSize:
        case kCodeLineHeight: return EncodeByteCode(code, std::clamp<int64_t>(int64_t{n} + 14, 15, 254) - 14);
        case kCodeSpacing: return EncodeSpacingCode(n);
        case kCodeSpeed:
            // 0 asks for the game's default speed.
            return EncodeWordCode(code, n < 1 ? 0 : std::min(n, 60000));
        case kCodeLineGap: {
            const int64_t v = std::min<int64_t>(int64_t{n} + 32000, 60000);
            return EncodeWordCode(code, v < 1 ? 65535 : static_cast<int32_t>(v));
        }
        default: return EncodeWordCode(code, IconValue(n));
    }
}

// Converts the code found at `at`; returns the length of what replaced it.
size_t ConvertFormatCode(std::string& text, size_t at, const FormatKind& kind) {
    const size_t searchLength = std::string_view(kind.search).size();
    if (kind.form == Form::kBare) {
        const std::string replacement = EncodeBareCode(kind.code);
        text.replace(at, searchLength, replacement);
        return replacement.size();
    }
    const size_t open = at + searchLength;
    const size_t close = text.find(']', open);
    const int32_t n = ReadNumber(text, open);
    bool wholeCode = close != kNone;
    if (!wholeCode) Report(kind.missing);
    if (kind.code == kCodeColor && wholeCode && n > 200) {
        ActiveErrorReporter().ShowErrorBox(texts::kColorTooLarge, FormatText(texts::kColorTooLargeDetail, n),
                                           FormatErrorLocation());
        wholeCode = false;
    }
    if (kind.code == kCodeFontSlot && (n < 0 || n > 3)) Report(texts::kFontOutOfRange, "");
    const size_t end = wholeCode ? close + 1 : std::min(at + 2, text.size());
    const std::string replacement = EncodeBracketed(kind.code, n);
    text.replace(at, end - at, replacement);
    return replacement.size();
}

void ConvertFormatCodes(std::string& text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    // A converted code is opaque to every later search and never forms a new
    // code with its neighbours, so one left-to-right walk per kind converts
    // what repeated searches from the start would.
    for (const FormatKind& kind : kFormatKinds) {
        for (size_t at = 0; (at = FindCode(text, kind.search, at, true)) != kNone;) {
            at += ConvertFormatCode(text, at, kind);
        }
    }
}

}  // namespace

std::string ReferenceConvertEscapeCodes(VariableStore& store, std::string text, const EscapeCodeOptions& options) {
    if (options.leadingAtSignLine) TakeAtSignLine(store, text);
    if (options.wrap) text = options.prefix + text + options.suffix;
    ValueExpansion(store, options).Run(text);
    if (options.valuesOnly) return text;
    ConvertDoubledBackslashes(text);
    ConvertFormatCodes(text);
    return text;
}

}  // namespace velk::testing
