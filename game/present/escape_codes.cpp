#include "game/present/escape_codes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
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

// What a conversion showed, and whether the same text converted again later
// in the same search would read the same and so show the same.
struct ConversionTrace {
    bool steady = true;
    std::vector<std::array<std::string, 3>> boxes;
};
ConversionTrace* active_trace = nullptr;

void ShowBox(const std::string& line1, const std::string& line2, const std::string& line3) {
    if (active_trace) active_trace->boxes.push_back({line1, line2, line3});
    ActiveErrorReporter().ShowErrorBox(line1, line2, line3);
}
void Report(const std::string& line1, const std::string& line2) { ShowBox(line1, line2, ""); }
void Report(const char* line1) { Report(line1, FormatErrorLocation()); }

// Whether a read of the ID gives what no conversion changes and does nothing
// a later read would notice: no box, no random draw, no database growth. An
// integer read below the databases takes the map override, which every
// conversion leaves unset. Strings of every kind not listed read the same
// error text.
bool SteadyRead(VariableId id, bool asString) {
    const VariableKind kind = DecodeVariableId(id).kind;
    if (asString) {
        return kind != VariableKind::kOldCommonSelf && kind != VariableKind::kSystemString &&
               kind != VariableKind::kDatabaseCell;
    }
    if (id >= kUserDatabaseBase) return false;
    switch (kind) {
        case VariableKind::kLiteral:
        case VariableKind::kMapSelf:
        case VariableKind::kRelativeCommonSelf:
        case VariableKind::kVariable:
        case VariableKind::kCommonSelf:
        case VariableKind::kSystemString:
        case VariableKind::kNothing: return true;
        default: return false;
    }
}

void NoteUnsteady() {
    if (active_trace) active_trace->steady = false;
}

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

// The value codes, in the order in which they are expanded (the kinds).
constexpr std::array<std::string_view, 16> kValueSearches = {
    "\\v[",  "\\v1[", "\\v2[",   "\\v3[",    "\\v4[",  "\\v5[",  "\\v6[",  "\\v7[",
    "\\v8[", "\\v9[", "\\self[", "\\cself[", "\\udb[", "\\cdb[", "\\sdb[", "\\s[",
};
constexpr size_t kKinds = kValueSearches.size();
enum ValueKind : size_t {
    kVariable = 0,
    kSelf = 10,
    kCommonSelf,
    kUserDatabase,
    kChangeableDatabase,
    kSystemDatabase,
    kString
};
// The longest value an integer code writes ("-2147483648").
constexpr size_t kLongestNumber = 11;

// What the value of a code of a kind other than the database ones reads.
struct ValueRead {
    enum class How { kZero, kInt, kMapSelfInt, kString } how;
    VariableId id;
};

ValueRead ReadOf(const EscapeCodeOptions& options, size_t kind, int32_t n) {
    switch (kind) {
        case kSelf:
            // A common event run without a map event has no self variables
            // of a map event; they read 0 as unwritten ones do.
            if (options.mapEventId < 0) return {ValueRead::How::kZero, 0};
            return {ValueRead::How::kMapSelfInt, HeldId(kMapSelfBase + int64_t{options.mapEventId} * 10 + n)};
        case kCommonSelf: {
            const VariableId id = HeldId(kCommonSelfBase + int64_t{options.commonEventId} * 100 + n);
            return {IsCommonSelfStringSlot(n) ? ValueRead::How::kString : ValueRead::How::kInt, id};
        }
        case kString: return {ValueRead::How::kString, HeldId(int64_t{kStringBase} + n)};
        default: return {ValueRead::How::kInt, HeldId(kVariableBase + static_cast<int64_t>(kind) * 100000 + n)};
    }
}

std::string ReadValue(VariableStore& store, const EscapeCodeOptions& options, const ValueRead& read) {
    if (read.how != ValueRead::How::kZero && !SteadyRead(read.id, read.how == ValueRead::How::kString)) {
        NoteUnsteady();
    }
    switch (read.how) {
        case ValueRead::How::kZero: return "0";
        case ValueRead::How::kMapSelfInt: store.SetMapOverride(options.mapId); break;
        case ValueRead::How::kString: return store.GetString(read.id);
        case ValueRead::How::kInt: break;
    }
    return std::to_string(store.GetInt(read.id));
}
// The longest value code ("\cself[") and the longest TextCode (0x01, the wide
// mark, a code byte and three digits).
constexpr size_t kLongestValueSearch = 7;
constexpr size_t kLongestTextCode = 6;

// Whether `search` begins at `at`; compared in place, cheaper than a library
// call for the few bytes of a code.
bool StartsWith(std::string_view text, size_t at, std::string_view search) {
    if (text.size() - at < search.size()) return false;
    for (size_t i = 0; i < search.size(); ++i) {
        if (text[at + i] != search[i]) return false;
    }
    return true;
}

// The value codes that the text spells out, as bits by kind.
uint32_t ValueCodesSpelled(std::string_view text) {
    uint32_t spelled = 0;
    for (size_t i = text.find('\\'); i != kNone && i + 1 < text.size(); i = text.find('\\', i + 1)) {
        for (size_t k = 0; k < kValueSearches.size(); ++k) {
            if (StartsWith(text, i, kValueSearches[k])) spelled |= uint32_t{1} << k;
        }
    }
    return spelled;
}

size_t expansion_work_limit = kMaxExpansionWork;

// Fewer bytes than this are searched and moved one by one.
constexpr size_t kNearBytes = 32;

// The text that value codes are expanded in, held with a gap where the
// expansion works: the text before the gap, then the rest. A value is
// written in front of the rest, so a replacement costs its value and the
// bytes the gap moved over since the last one, where replacing in place
// costs the whole tail each time: one pass over a text with a million codes
// costs about one copy of it.
class GapText {
public:
    // The gap starts empty at the front.
    explicit GapText(std::string text) : buffer_(std::move(text)) {}

    size_t Size() const { return front_ + buffer_.size() - back_; }
    size_t Gap() const { return front_; }
    std::string_view Front() const { return {buffer_.data(), front_}; }
    std::string_view Rest() const { return {buffer_.data() + back_, buffer_.size() - back_}; }

    // Puts the gap at `at`; returns the bytes moved.
    size_t MoveGap(size_t at) {
        char* data = buffer_.data();
        const size_t moved = at < front_ ? front_ - at : at - front_;
        if (at < front_) {
            Move(data + back_ - moved, data + at, moved);
            back_ -= moved;
        } else {
            Move(data + front_, data + back_, moved);
            back_ += moved;
        }
        front_ = at;
        return moved;
    }

    // Replaces the first `length` bytes of the rest with `value`.
    void ReplaceRestStart(size_t length, std::string_view value) {
        back_ += length;
        if (value.size() > back_ - front_) Widen(value.size());
        back_ -= value.size();
        std::memcpy(buffer_.data() + back_, value.data(), value.size());
    }

    std::string Take() {
        MoveGap(Size());
        buffer_.resize(front_);
        // A gap that grew with the text is not kept with it.
        if (widened_ && buffer_.capacity() - buffer_.size() > buffer_.size() / 4) buffer_.shrink_to_fit();
        return std::move(buffer_);
    }

private:
    // Moves within the buffer; the few bytes that a replacement moves back
    // and on again are moved one by one, cheaper than a library call.
    static void Move(char* to, const char* from, size_t bytes) {
        if (to == from) return;
        if (bytes > kNearBytes) {
            std::memmove(to, from, bytes);
        } else if (to < from) {
            for (size_t i = 0; i < bytes; ++i)
                to[i] = from[i];
        } else {
            for (size_t i = bytes; i > 0; --i)
                to[i - 1] = from[i - 1];
        }
    }

    void Widen(size_t needed) {
        const size_t rest = buffer_.size() - back_;
        const size_t gap = std::max({needed, Size() / 2, size_t{256}});
        std::string wider(front_ + gap + rest, '\0');
        std::memcpy(wider.data(), buffer_.data(), front_);
        std::memcpy(wider.data() + front_ + gap, buffer_.data() + back_, rest);
        back_ = front_ + gap;
        buffer_ = std::move(wider);
        widened_ = true;
    }

    std::string buffer_;
    size_t front_ = 0;
    size_t back_ = 0;
    bool widened_ = false;
};

// Replaces the value codes pass by pass, kind by kind. Each replacement is
// the first occurrence of its kind that a search from the start of the text
// would find, but the searches do not start there: for every kind the
// expansion keeps a range of the text outside which the kind is known not to
// occur, and a replacement widens the ranges only by the bytes whose reading
// it may have changed.
class ValueExpansion {
public:
    ValueExpansion(VariableStore& store, const EscapeCodeOptions& options, std::string text)
        : store_(store), options_(options), text_(std::move(text)), longest_(text_.Size()) {}

    std::string Run() {
        const uint32_t spelled = ValueCodesSpelled(text_.Rest());
        for (size_t k = 0; k < kKinds; ++k) {
            if ((spelled >> k & 1) != 0) to_[k] = text_.Size();
        }
        // The database codes share a pass: each replacement takes the first
        // kind present, in order.
        for (size_t first = 0; first < kKinds;) {
            const size_t last = first == kUserDatabase ? kSystemDatabase : first;
            Expand(first, last);
            first = last + 1;
        }
        return text_.Take();
    }

private:
    // What a replacement costs beyond the bytes it moves, in bytes: a store
    // read and a value written.
    static constexpr size_t kReplacementWork = 64;
    static constexpr size_t kCheckpointSpacing = 64;
    // How many TextCodes a search for a place that every walk reaches steps
    // back or on over before it takes a farther one.
    static constexpr int kSyncTries = 8;

    struct Code {
        // Bytes from the code's backslash through what it replaces.
        size_t length;
        std::string value;
    };

    void Expand(size_t first, size_t last) {
        passFirst_ = first;
        written_ = 0;
        while (!stopped_) {
            size_t kind = first, at = kNone;
            while (kind <= last && (at = Find(kind)) == kNone)
                ++kind;
            if (at == kNone) return;
            Replace(kind, at);
        }
    }

    // The first occurrence of the kind, or kNone.
    size_t Find(size_t kind) {
        const size_t from = from_[kind], to = std::min(to_[kind], text_.Size());
        if (from >= to) return kNone;
        work_ += text_.MoveGap(from);
        const size_t found = Walk(text_.Rest(), to - from, kValueSearches[kind], from);
        if (found == kNone) {
            from_[kind] = to_[kind] = 0;
            return kNone;
        }
        from_[kind] = from + found;
        return from + found;
    }

    // The first occurrence of `search` at a walk position below `until` of
    // `rest`, which begins at the walk position `base` of the text. TextCodes
    // are stepped over whole; between them every byte is a walk position, so
    // the walk looks only for the next backslash and the next TextCode.
    size_t Walk(std::string_view rest, size_t until, std::string_view search, size_t base) {
        const char* data = rest.data();
        size_t i = 0;
        // The few bytes to the next code, which a string that holds its own
        // code has millions of times, are walked byte by byte: a library
        // call costs more there than it saves.
        for (const size_t near = std::min(until, kNearBytes); i < near;) {
            if (data[i] == '\\') {
                if (StartsWith(rest, i, search)) return Walked(i);
                Checkpoint(base + i);
                ++i;
            } else if (data[i] == kTextCodeStart) {
                i = NextWalkPosition(rest, i, false);
                Checkpoint(base + i);
            } else {
                ++i;
            }
        }
        size_t backslash = kNone;
        while (i < until) {
            if (backslash == kNone || backslash < i) {
                const void* found = std::memchr(data + i, '\\', until - i);
                backslash = found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - data) : until;
            }
            if (const void* code = std::memchr(data + i, kTextCodeStart, backslash - i); code != nullptr) {
                i = NextWalkPosition(rest, static_cast<size_t>(static_cast<const char*>(code) - data), false);
                Checkpoint(base + i);
                continue;
            }
            if (backslash >= until) break;
            if (StartsWith(rest, backslash, search)) return Walked(backslash);
            Checkpoint(base + backslash);
            i = backslash + 1;
        }
        Walked(until);
        return kNone;
    }

    size_t Walked(size_t bytes) {
        work_ += bytes;
        return bytes;
    }

    // The first `byte` at or after `from`; kNone when there is none.
    static size_t FindByte(std::string_view text, char byte, size_t from) {
        for (const size_t near = std::min(text.size(), from + kNearBytes); from < near; ++from) {
            if (text[from] == byte) return from;
        }
        return text.find(byte, from);
    }

    // Keeps walk positions now and then, for the places to search again from
    // after a change that TextCodes crowd.
    void Checkpoint(size_t at) {
        if (at >= checkpoints_.back() + kCheckpointSpacing) checkpoints_.push_back(at);
    }

    void Replace(size_t kind, size_t at) {
        work_ += text_.MoveGap(at);
        const Code code = Read(kind, text_.Rest());
        work_ += code.value.size() + kReplacementWork;
        if (!MayReplace(at, text_.Size() - code.length + code.value.size())) {
            stopped_ = true;
            Report(texts::kExpansionRunaway);
            return;
        }
        text_.ReplaceRestStart(code.length, code.value);
        written_ = at + code.value.size();
        Changed(at, code.length, code.value.size());
    }

    // Whether the text may be expanded further. A string that holds its own
    // code, directly or through others, expands without end: each of its
    // replacements replaces a code that the one before wrote (or made with
    // the bytes before it). Where it grows, it stops where the text would
    // pass the longest string (measured before the text grows, so that no
    // text longer than a string is ever made). Where it does not (S5 =
    // "\s[5]", or S5 = "\s[6]" and S6 = "\s[5]"), it stops after a run of
    // kMaxStalledReplacements such replacements that do not make the text
    // longer than it has been: a game meets that only through a chain of
    // that many strings. What a game made to last can mix of both is held by
    // the bound of work, to about a second.
    bool MayReplace(size_t at, size_t size) {
        if (size > kMaxStringLength) return false;
        if (at >= written_ || size > longest_) {
            stalled_ = 0;
        } else if (++stalled_ > kMaxStalledReplacements) {
            return false;
        }
        if (work_ > expansion_work_limit) return false;
        longest_ = std::max(longest_, size);
        return true;
    }

    // The code at the start of `rest` and its value; reports a missing
    // separator as it reads.
    Code Read(size_t kind, std::string_view rest) {
        if (kind >= kUserDatabase && kind <= kSystemDatabase) return ReadDatabase(kind, rest);
        const size_t open = kValueSearches[kind].size();
        const size_t close = FindByte(rest, ']', open);
        work_ += close == kNone ? rest.size() : close;
        if (close == kNone) Report(MissingBracket(kind));
        return {CodeLength(rest, close), ReadValue(store_, options_, ReadOf(options_, kind, ReadNumber(rest, open)))};
    }

    static const char* MissingBracket(size_t kind) {
        switch (kind) {
            case kVariable: return texts::kVariableBracketMissing;
            case kSelf: return texts::kSelfBracketMissing;
            case kCommonSelf: return texts::kCommonSelfBracketMissing;
            case kString: return texts::kStringBracketMissing;
            default: return texts::kSpareVariableBracketMissing;
        }
    }

    // From the backslash through the closing bracket; without one only the
    // backslash and the character after it go.
    static size_t CodeLength(std::string_view rest, size_t close) {
        return close == kNone ? std::min<size_t>(2, rest.size()) : close + 1;
    }

    Code ReadDatabase(size_t kind, std::string_view rest) {
        // A database read may grow the changeable database.
        NoteUnsteady();
        static constexpr std::array<int64_t, 3> kBase = {kUserDatabaseBase, kChangeableDatabaseBase,
                                                         kSystemDatabaseBase};
        const size_t open = 5;
        const auto find = [&](char separator, size_t from) {
            const size_t found = FindByte(rest, separator, from);
            work_ += std::min(found, rest.size()) - std::min(from, rest.size());
            return found;
        };
        size_t first = find(':', open);
        if (first == kNone) {
            Report(texts::kDatabaseColonMissing);
            first = open;
        }
        size_t second = find(':', first + 1);
        if (second == kNone) {
            Report(texts::kDatabaseColonMissing);
            second = first + 1;
        }
        const size_t close = find(']', second + 1);
        if (close == kNone) Report(texts::kDatabaseBracketMissing);
        const int64_t type = ReadNumber(rest, open);
        const int64_t data = ReadNumber(rest, first + 1);
        const int64_t item = ReadNumber(rest, second + 1);
        const int64_t id = kBase[kind - kUserDatabase] + type * 1000000 + data * 100 + item;
        std::string value;
        if (id < INT_MIN || id > INT_MAX) {
            Report(texts::kDatabaseOutOfRange);
        } else {
            value = store_.GetString(static_cast<VariableId>(id));
            if (value == "<<ERROR>>") value = std::to_string(store_.GetInt(static_cast<VariableId>(id)));
        }
        return {CodeLength(rest, close), std::move(value)};
    }

    // `removed` bytes at `at` became `added` bytes. A search from the start
    // would read everything before the last walk position that a code ending
    // in the change could begin at as it did, and everything after the first
    // place behind the change that every walk reaches; the kinds of this
    // pass and the later ones are searched for again in between.
    void Changed(size_t at, size_t removed, size_t added) {
        while (checkpoints_.size() > 1 && checkpoints_.back() > at)
            checkpoints_.pop_back();
        const size_t from = WalkPositionAtOrBefore(at - std::min(at, kLongestValueSearch - 1));
        const size_t to = ReachedByEveryWalk(at + added);
        const auto moved = [&](size_t p) {
            if (p <= at) return p;
            return p >= at + removed ? p - removed + added : at + added;
        };
        for (size_t k = passFirst_; k < kKinds; ++k) {
            if (from_[k] >= to_[k]) {
                from_[k] = from;
                to_[k] = to;
            } else {
                from_[k] = std::min(moved(from_[k]), from);
                to_[k] = std::max(moved(to_[k]), to);
            }
        }
    }

    // A TextCode spans at most kLongestTextCode bytes, so every walk stops
    // somewhere in any kLongestTextCode bytes in a row, and walks on byte by
    // byte where none begins: a position with no TextCode begun in the
    // kLongestTextCode - 1 bytes before it is reached by every walk.

    // A walk position at or before `limit` of the text before the gap.
    size_t WalkPositionAtOrBefore(size_t limit) {
        const std::string_view front = text_.Front();
        size_t at = limit;
        for (int tries = 0; tries < kSyncTries && at > 0; ++tries) {
            const size_t from = at - std::min(at, kLongestTextCode - 1);
            const size_t code = front.substr(from, at - from).rfind(kTextCodeStart);
            if (code == kNone) return at;
            at = from + code;
        }
        if (at == 0) return 0;
        return *std::prev(std::upper_bound(checkpoints_.begin(), checkpoints_.end(), limit));
    }

    // The first position at or after `from` (in the rest, which begins at
    // the gap) with kLongestTextCode - 1 bytes of the rest before it that
    // begin no TextCode; the text's end when none is near.
    size_t ReachedByEveryWalk(size_t from) {
        const std::string_view rest = text_.Rest();
        const size_t span = kLongestTextCode - 1;
        size_t at = from - text_.Gap() + span;
        for (int tries = 0; tries < kSyncTries && at < rest.size(); ++tries) {
            const size_t code = rest.substr(at - span, span).rfind(kTextCodeStart);
            if (code == kNone) return text_.Gap() + at;
            at += code + 1;
        }
        return text_.Size();
    }

    VariableStore& store_;
    const EscapeCodeOptions& options_;
    GapText text_;
    // By kind: the range outside which it does not occur.
    std::array<size_t, kKinds> from_{};
    std::array<size_t, kKinds> to_{};
    // Walk positions in rising order, all before the last change.
    std::vector<size_t> checkpoints_{0};
    size_t passFirst_ = 0;
    // The end of the value that the pass wrote last.
    size_t written_ = 0;
    // The longest the text has been.
    size_t longest_;
    int stalled_ = 0;
    size_t work_ = 0;
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
        ShowBox(texts::kColorTooLarge, FormatText(texts::kColorTooLargeDetail, n), FormatErrorLocation());
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

// All of the conversion after the leading at-sign line.
std::string ConvertTheRest(VariableStore& store, std::string text, const EscapeCodeOptions& options) {
    if (options.wrap) text = options.prefix + text + options.suffix;
    text = ValueExpansion(store, options, std::move(text)).Run();
    if (options.valuesOnly) return text;
    ConvertDoubledBackslashes(text);
    ConvertFormatCodes(text);
    return text;
}

class TraceScope {
public:
    explicit TraceScope(ConversionTrace& trace) : outer_(active_trace) { active_trace = &trace; }
    ~TraceScope() { active_trace = outer_; }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    ConversionTrace* outer_;
};

// Bytes that make a text more than its bytes to some step of the conversion
// after the value codes: format codes begin with a backslash or '<', and
// carriage returns are dropped. A TextCode changes how the value-code search
// steps over what follows it.
constexpr char kNotPlainText[] = "\\<\r\x01";

}  // namespace

std::string ConvertEscapeCodes(VariableStore& store, std::string text, const EscapeCodeOptions& options) {
    if (options.leadingAtSignLine) TakeAtSignLine(store, text);
    return ConvertTheRest(store, std::move(text), options);
}

EscapedNameMatcher::EscapedNameMatcher(VariableStore& store, EscapeCodeOptions options, std::string wanted)
    : store_(store), options_(std::move(options)), wanted_(std::move(wanted)) {}

bool EscapedNameMatcher::Matches(const std::string& text) {
    const bool atSignLine = options_.leadingAtSignLine && !text.empty() && text[0] == '@';
    if (!options_.wrap && !atSignLine && text.find_first_of("\\<\r") == kNone) return text == wanted_;
    std::string rest = text;
    if (options_.leadingAtSignLine) TakeAtSignLine(store_, rest);
    if (!options_.wrap) {
        if (const std::optional<bool> equal = MatchValueCodes(rest)) return *equal;
    }
    return MatchConverted(std::move(rest));
}

const EscapedNameMatcher::StringValue& EscapedNameMatcher::String(VariableId id) {
    auto found = strings_.find(id);
    if (found == strings_.end()) {
        StringValue value;
        value.text = store_.GetString(id);
        value.inert = true;
        for (const char byte : std::string_view(kNotPlainText)) {
            value.inert = value.inert && std::memchr(value.text.data(), byte, value.text.size()) == nullptr;
        }
        found = strings_.emplace(id, std::move(value)).first;
    }
    return found->second;
}

bool EscapedNameMatcher::SameAt(VariableId id, const std::string& value, size_t at) {
    auto [place, added] = placed_.try_emplace({id, at}, false);
    if (added) place->second = wanted_.compare(at, value.size(), value) == 0;
    return place->second;
}

// A text of value codes alone converts to its pieces with each code replaced
// by its value: with no backslash outside the codes and none inside the
// values, every search finds exactly the codes of the text, and nothing that
// the later steps change is left. The values are read in the order in which
// the expansion reads them (kind by kind, each from left to right), so that
// reads that do more than read happen as they would; strings, which no
// conversion changes, are read once per search. A text whose expansion
// could grow past the longest string or run out of work (and so show a box)
// is not one of these.
std::optional<bool> EscapedNameMatcher::MatchValueCodes(const std::string& text) {
    if (text.find_first_of("<\r\x01") != kNone) return std::nullopt;
    struct Code {
        size_t at, end, kind;
        ValueRead read;
        const std::string* value;
    };
    std::vector<Code> codes;
    size_t grown = 0;
    for (size_t at = text.find('\\'); at != kNone; at = text.find('\\', at)) {
        size_t kind = 0;
        while (kind < kKinds &&
               ((kind >= kUserDatabase && kind <= kSystemDatabase) || !StartsWith(text, at, kValueSearches[kind]))) {
            ++kind;
        }
        if (kind == kKinds) return std::nullopt;
        const size_t open = at + kValueSearches[kind].size();
        const size_t close = text.find(']', open);
        if (close == kNone || text.find('\\', open) < close) return std::nullopt;
        Code code{at, close + 1, kind, ReadOf(options_, kind, ReadNumber(text, open)), nullptr};
        size_t longest = kLongestNumber;
        if (code.read.how == ValueRead::How::kString) {
            if (!SteadyRead(code.read.id, true)) return std::nullopt;
            const StringValue& value = String(code.read.id);
            if (!value.inert) return std::nullopt;
            code.value = &value.text;
            longest = value.text.size();
        }
        grown += longest > code.end - code.at ? longest - (code.end - code.at) : 0;
        if (grown > kMaxStringLength) return std::nullopt;
        codes.push_back(code);
        at = code.end;
    }
    // The text is never longer than this while it expands. The expansion
    // counts as work each search (at most 2 x that: the gap moved and the
    // bytes walked; one per code and one more for each of the 16 kinds) and
    // each replacement (at most 3 x that + 64: the gap moved, the code read,
    // the value written), and stops when the count passes the bound.
    const size_t longest = text.size() + grown;
    if (longest > kMaxStringLength || codes.size() > kMaxStalledReplacements) return std::nullopt;
    const uint64_t work = (5 * uint64_t{codes.size()} + 32) * (uint64_t{longest} + 64);
    if (work > ExpansionWorkLimit()) return std::nullopt;

    std::vector<size_t> order(codes.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return codes[a].kind < codes[b].kind; });
    std::vector<std::string> numbers(codes.size());
    for (size_t i : order) {
        if (!codes[i].value) numbers[i] = ReadValue(store_, options_, codes[i].read);
    }
    size_t length = text.size();
    for (size_t i = 0; i < codes.size(); ++i) {
        length -= codes[i].end - codes[i].at;
        length += codes[i].value ? codes[i].value->size() : numbers[i].size();
    }
    if (length != wanted_.size()) return false;
    size_t from = 0, at = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        const size_t literal = codes[i].at - from;
        if (wanted_.compare(at, literal, text, from, literal) != 0) return false;
        at += literal;
        if (codes[i].value) {
            if (!SameAt(codes[i].read.id, *codes[i].value, at)) return false;
            at += codes[i].value->size();
        } else {
            if (wanted_.compare(at, numbers[i].size(), numbers[i]) != 0) return false;
            at += numbers[i].size();
        }
        from = codes[i].end;
    }
    return wanted_.compare(at, kNone, text, from, kNone) == 0;
}

// A text converted whole. Its answer and boxes serve the same text again
// when the conversion read only steady values and the map override was
// unset as it began (as it is then again: a conversion leaves it unset).
bool EscapedNameMatcher::MatchConverted(std::string text) {
    const bool overrideUnset = store_.MapOverride() < 0;
    if (overrideUnset) {
        if (auto found = outcomes_.find(text); found != outcomes_.end()) {
            for (const auto& box : found->second.boxes)
                ActiveErrorReporter().ShowErrorBox(box[0], box[1], box[2]);
            return found->second.equal;
        }
    }
    ConversionTrace trace;
    bool equal = false;
    {
        TraceScope scope(trace);
        equal = ConvertTheRest(store_, text, options_) == wanted_;
    }
    if (overrideUnset && trace.steady) outcomes_.emplace(std::move(text), Outcome{equal, std::move(trace.boxes)});
    return equal;
}

size_t ExpansionWorkLimit() { return expansion_work_limit; }
void SetExpansionWorkLimit(size_t work) { expansion_work_limit = work; }

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
