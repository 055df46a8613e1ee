#include "game/present/escape_codes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <functional>
#include <iterator>
#include <vector>

#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/data/variable_id.h"
#include "game/data/variable_store.h"
#include "game/present/present_texts.h"
#include "game/present/text_code.h"
#include "platform/base/text_encoding.h"

namespace velk {
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

// Every search walks the text the same way: a TextCode is one step, and when
// walking whole characters so is a Shift-JIS pair, so that neither a
// parameter byte nor a trail byte is taken for the start of a code.
size_t NextWalkPosition(std::string_view text, size_t i, bool wholeCharacters) {
    const char byte = text[i];
    if (byte == kTextCodeStart) {
        const size_t left = text.size() - i;
        if (left < 2) return text.size();
        return i + 2 + std::min<size_t>(TextCodeParameterCount(static_cast<uint8_t>(text[i + 1])), left - 2);
    }
    if (wholeCharacters && platform::IsShiftJisLeadByte(static_cast<uint8_t>(byte)) && i + 1 < text.size() &&
        text[i + 1] != '\0') {
        return i + 2;
    }
    return i + 1;
}

// Whether the walk may treat the byte as anything but a one-byte step.
bool Steps(char byte, bool wholeCharacters) {
    return byte == kTextCodeStart || (wholeCharacters && platform::IsShiftJisLeadByte(static_cast<uint8_t>(byte)));
}

// The first occurrence of `search` at or after `from` that is not inside a
// TextCode; with `wholeCharacters` also not starting at a trail byte.
size_t FindCode(std::string_view text, std::string_view search, size_t from, bool wholeCharacters) {
    const char first = search[0];
    size_t i = from;
    while (i < text.size()) {
        const char byte = text[i];
        if (byte == first) {
            if (text.compare(i, search.size(), search) == 0) return i;
            ++i;
        } else if (Steps(byte, wholeCharacters)) {
            i = NextWalkPosition(text, i, wholeCharacters);
        } else {
            ++i;
        }
    }
    return kNone;
}

// Finds value codes again and again in a text that each replacement changes
// from the replaced code on. Searching from the start each time would make
// a long text with many codes cost its length once per code; instead a
// search resumes at a position that the walk reached before the change and
// whose reading the change did not touch. The walk is the same for every
// kind of code, so such positions serve all kinds.
class ValueCodeFinder {
public:
    static constexpr size_t kKinds = 16;

    // Until the text first changes only the codes that it spells out can be
    // found; `spelled` tells whether it spells out `search` anywhere.
    size_t Find(std::string_view text, size_t kind, std::string_view search, bool spelled) {
        if (!changed_ && !spelled) return kNone;
        // The last checkpoint at or before the point below which this kind
        // is known not to occur.
        const auto after = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), clean_[kind]);
        for (size_t i = *std::prev(after); i < text.size();) {
            if (i >= checkpoints_.back() + kCheckpointSpacing) checkpoints_.push_back(i);
            const char byte = text[i];
            if (byte == search[0] && text.compare(i, search.size(), search) == 0) {
                clean_[kind] = i;
                return i;
            }
            i = byte == kTextCodeStart ? NextWalkPosition(text, i, false) : i + 1;
        }
        clean_[kind] = text.size();
        return kNone;
    }

    // The text changed from `at` on.
    void Changed(size_t at) {
        changed_ = true;
        // A walk position reads at most kReach bytes (the longest code, or a
        // TextCode's length byte and the text's end within a TextCode's size).
        const size_t unchangedUpTo = at >= kReach ? at - kReach : 0;
        while (checkpoints_.size() > 1 && checkpoints_.back() > unchangedUpTo)
            checkpoints_.pop_back();
        for (size_t& clean : clean_)
            clean = std::min(clean, unchangedUpTo);
    }

private:
    static constexpr size_t kReach = 8;
    static constexpr size_t kCheckpointSpacing = 64;
    std::vector<size_t> checkpoints_{0};
    std::array<size_t, kKinds> clean_{};
    bool changed_ = false;
};

// The value codes, in the order in which they are expanded (the finder's
// kinds).
constexpr std::array<std::string_view, 16> kValueSearches = {
    "\\v[",  "\\v1[", "\\v2[",   "\\v3[",    "\\v4[",  "\\v5[",  "\\v6[",  "\\v7[",
    "\\v8[", "\\v9[", "\\self[", "\\cself[", "\\udb[", "\\cdb[", "\\sdb[", "\\s[",
};

// The value codes that the text spells out, as bits by kind.
uint32_t ValueCodesSpelled(std::string_view text) {
    uint32_t spelled = 0;
    for (size_t i = text.find('\\'); i != kNone && i + 1 < text.size(); i = text.find('\\', i + 1)) {
        for (size_t k = 0; k < kValueSearches.size(); ++k) {
            if (kValueSearches[k][1] == text[i + 1] &&
                text.compare(i, kValueSearches[k].size(), kValueSearches[k]) == 0)
                spelled |= uint32_t{1} << k;
        }
    }
    return spelled;
}

// Counts the replacements of the value codes so that a value holding its own
// code cannot expand without end.
class ValueExpansion {
public:
    ValueExpansion(VariableStore& store, const EscapeCodeOptions& options) : store_(store), options_(options) {}

    void Run(std::string& text) {
        spelled_ = ValueCodesSpelled(text);
        ExpandNumbered(text, kVariable, kVariableBase, 1, texts::kVariableBracketMissing);
        for (int d = 1; d <= 9; ++d) {
            ExpandNumbered(text, kVariable + d, kVariableBase + d * 100000, 1, texts::kSpareVariableBracketMissing);
        }
        ExpandSelf(text);
        ExpandCommonSelf(text);
        ExpandDatabases(text);
        ExpandSingle(text, kString, texts::kStringBracketMissing,
                     [&](int32_t n) { return store_.GetString(HeldId(int64_t{kStringBase} + n)); });
    }

private:
    // The finder's kinds.
    enum Kind : size_t {
        kVariable = 0,
        kSelf = 10,
        kCommonSelf,
        kUserDatabase,
        kChangeableDatabase,
        kSystemDatabase,
        kString
    };

    // The next occurrence, or kNone once the bound was reached.
    size_t Next(const std::string& text, size_t kind) {
        if (stopped_) return kNone;
        const size_t at = finder_.Find(text, kind, kValueSearches[kind], (spelled_ >> kind & 1) != 0);
        if (at == kNone || !Count(text)) return kNone;
        return at;
    }

    // Counts a replacement; false once the bound was reached.
    bool Count(const std::string& text) {
        if (++replacements_ > kMaxValueReplacements || text.size() > kMaxExpandedTextBytes) {
            Stop();
            return false;
        }
        return true;
    }

    void Stop() {
        stopped_ = true;
        Report(texts::kExpansionRunaway);
    }

    void Replace(std::string& text, size_t at, size_t end, const std::string& value) {
        // Measured before the text grows: a long string inserted behind a
        // long text would make a text longer than any string first.
        if (text.size() - (end - at) + value.size() > kMaxStringLength) {
            Stop();
            return;
        }
        text.replace(at, end - at, value);
        finder_.Changed(at);
    }

    // Replaces from the backslash through the closing bracket; without one
    // only the backslash and the character after it go.
    static size_t CodeEnd(const std::string& text, size_t at, size_t close) {
        return close == kNone ? std::min(at + 2, text.size()) : close + 1;
    }

    void ExpandSingle(std::string& text, size_t kind, const char* missing,
                      const std::function<std::string(int32_t)>& value) {
        for (size_t at; (at = Next(text, kind)) != kNone;) {
            const size_t open = at + kValueSearches[kind].size();
            const size_t close = text.find(']', open);
            if (close == kNone) Report(missing);
            const std::string replacement = value(ReadNumber(text, open));
            Replace(text, at, CodeEnd(text, at, close), replacement);
        }
    }

    void ExpandNumbered(std::string& text, size_t kind, int64_t base, int64_t scale, const char* missing) {
        ExpandSingle(text, kind, missing,
                     [&](int32_t n) { return std::to_string(store_.GetInt(HeldId(base + scale * n))); });
    }

    void ExpandSelf(std::string& text) {
        ExpandSingle(text, kSelf, texts::kSelfBracketMissing, [&](int32_t n) -> std::string {
            // A common event run without a map event has no self variables of
            // a map event; they read 0 as unwritten ones do.
            if (options_.mapEventId < 0) return "0";
            store_.SetMapOverride(options_.mapId);
            return std::to_string(store_.GetInt(HeldId(kMapSelfBase + int64_t{options_.mapEventId} * 10 + n)));
        });
    }

    void ExpandCommonSelf(std::string& text) {
        ExpandSingle(text, kCommonSelf, texts::kCommonSelfBracketMissing, [&](int32_t n) {
            const VariableId id = HeldId(kCommonSelfBase + int64_t{options_.commonEventId} * 100 + n);
            return IsCommonSelfStringSlot(n) ? store_.GetString(id) : std::to_string(store_.GetInt(id));
        });
    }

    void ExpandDatabases(std::string& text) {
        static constexpr std::array<int64_t, 3> kBase = {kUserDatabaseBase, kChangeableDatabaseBase,
                                                         kSystemDatabaseBase};
        while (!stopped_) {
            size_t kind = 0, at = kNone;
            for (; kind < kBase.size(); ++kind) {
                const size_t k = kUserDatabase + kind;
                at = finder_.Find(text, k, kValueSearches[k], (spelled_ >> k & 1) != 0);
                if (at != kNone) break;
            }
            if (at == kNone || !Count(text)) return;
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
            Replace(text, at, CodeEnd(text, at, close), value);
        }
    }

    VariableStore& store_;
    const EscapeCodeOptions& options_;
    ValueCodeFinder finder_;
    uint32_t spelled_ = 0;
    int replacements_ = 0;
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

// The first ']' at or after a position of a text that does not change: the
// last answer serves every later position up to it, so that codes without
// their bracket do not search the rest of the text each.
class CloseFinder {
public:
    explicit CloseFinder(std::string_view text) : text_(text) {}
    size_t From(size_t open) {
        if (open < searchedFrom_ || (found_ != kNone && found_ < open)) {
            searchedFrom_ = open;
            found_ = text_.find(']', open);
        }
        return found_;
    }

private:
    std::string_view text_;
    size_t searchedFrom_ = kNone;
    size_t found_ = kNone;
};

// Whether the byte at `index` may lie inside a TextCode: only then can a code
// that ends there leave the walk behind it out of step with the text.
bool MayBeInsideTextCode(std::string_view text, size_t index) {
    const size_t from = index >= 5 ? index - 5 : 0;
    return text.substr(from, index - from).find(kTextCodeStart) != std::string_view::npos;
}

// Converts the code of `kind` found at `at` in `text`, appending what
// replaces it to `out`; returns the end of what it replaced. Sets `inStep`
// to false when that end may fall inside a TextCode.
size_t ConvertFormatCode(std::string_view text, size_t at, const FormatKind& kind, CloseFinder& closes,
                         std::string& out, bool& inStep) {
    const size_t searchLength = std::string_view(kind.search).size();
    if (kind.form == Form::kBare) {
        out += EncodeBareCode(kind.code);
        return at + searchLength;
    }
    const size_t open = at + searchLength;
    const size_t close = closes.From(open);
    const int32_t n = ReadNumber(text, open);
    bool wholeCode = close != kNone;
    if (!wholeCode) Report(kind.missing);
    if (kind.code == kCodeColor && wholeCode && n > 200) {
        ActiveErrorReporter().ShowErrorBox(texts::kColorTooLarge, FormatText(texts::kColorTooLargeDetail, n),
                                           FormatErrorLocation());
        wholeCode = false;
    }
    if (kind.code == kCodeFontSlot && (n < 0 || n > 3)) Report(texts::kFontOutOfRange, "");
    out += EncodeBracketed(kind.code, n);
    if (!wholeCode) return std::min(at + 2, text.size());
    if (MayBeInsideTextCode(text, close)) inStep = false;
    return close + 1;
}

// Converts every code of one kind in one walk, writing the text anew rather
// than replacing in place, so that many codes cost one copy of the text.
// Returns false when the walk after a converted code may be out of step with
// the text (see KindsPresent).
bool ConvertFormatKind(std::string& text, const FormatKind& kind) {
    std::string out;
    CloseFinder closes(text);
    bool inStep = true;
    size_t copied = 0;
    // A converted code is opaque to every later search and never forms a new
    // code with its neighbours, so one left-to-right walk converts what
    // repeated searches from the start would.
    for (size_t at = 0; (at = FindCode(text, kind.search, at, true)) != kNone;) {
        if (copied == 0) out.reserve(text.size());
        out.append(text, copied, at - copied);
        at = copied = ConvertFormatCode(text, at, kind, closes, out, inStep);
    }
    if (copied == 0) return inStep;
    out.append(text, copied);
    text = std::move(out);
    return inStep;
}

// The kinds whose code begins with each pair of bytes, as bits.
struct KindIndex {
    std::array<uint32_t, 256> afterBackslash{};
    std::array<uint32_t, 256> afterAngle{};
};

const KindIndex& Kinds() {
    static const KindIndex index = [] {
        KindIndex built;
        for (size_t k = 0; k < kFormatKinds.size(); ++k) {
            const std::string_view search = kFormatKinds[k].search;
            auto& table = search[0] == '\\' ? built.afterBackslash : built.afterAngle;
            table[static_cast<uint8_t>(search[1])] |= uint32_t{1} << k;
        }
        return built;
    }();
    return index;
}

// The kinds of which the text spells out at least one code, anywhere, found
// in one pass by the two bytes that begin each code. Converting a code
// removes codes but never makes one, so the kinds absent here need no walk
// of their own; the one exception is a code whose closing bracket is a
// TextCode's parameter byte, after which the walk may read the rest of that
// TextCode as text.
uint32_t KindsPresent(std::string_view text) {
    const KindIndex& index = Kinds();
    uint32_t present = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const char byte = text[i];
        if (byte != '\\' && byte != '<') continue;
        uint32_t candidates =
            (byte == '\\' ? index.afterBackslash : index.afterAngle)[static_cast<uint8_t>(text[i + 1])] & ~present;
        for (; candidates != 0; candidates &= candidates - 1) {
            const auto k = static_cast<size_t>(std::countr_zero(candidates));
            if (text.compare(i, std::string_view(kFormatKinds[k].search).size(), kFormatKinds[k].search) == 0) {
                present |= uint32_t{1} << k;
            }
        }
    }
    return present;
}

void ConvertFormatCodes(std::string& text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    uint32_t present = KindsPresent(text);
    for (size_t k = 0; k < kFormatKinds.size(); ++k) {
        if ((present >> k & 1) == 0) continue;
        if (!ConvertFormatKind(text, kFormatKinds[k])) present = ~uint32_t{0};
    }
}

}  // namespace

std::string ConvertEscapeCodes(VariableStore& store, std::string text, const EscapeCodeOptions& options) {
    if (options.leadingAtSignLine) TakeAtSignLine(store, text);
    if (options.wrap) text = options.prefix + text + options.suffix;
    ValueExpansion(store, options).Run(text);
    if (options.valuesOnly) return text;
    ConvertDoubledBackslashes(text);
    ConvertFormatCodes(text);
    return text;
}

std::string RevertEscapeCodes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = std::max<size_t>(1, TextUnitLength(text, i));
        const char* escape = nullptr;
        if (text[i] == kTextCodeStart && length == 2) {
            switch (static_cast<uint8_t>(text[i + 1])) {
                case kCodeBackslash: escape = "\\\\"; break;
                case kCodeEdgeOn: escape = "\\E"; break;
                case kCodeEdgeOff: escape = "\\N"; break;
                case kCodeRuby: escape = "\\r["; break;
                case kCodeInstantOn: escape = "\\>"; break;
                case kCodeInstantOff: escape = "\\<"; break;
                case kCodeTimedPause: escape = "\\."; break;
                case kCodeKeyWait: escape = "\\!"; break;
                case kCodeClose: escape = "\\^"; break;
                case kCodeImage: escape = "\\img["; break;
                default: break;
            }
        }
        if (escape != nullptr) {
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace velk
