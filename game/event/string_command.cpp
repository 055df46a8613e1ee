// The string operation: assign and append, first line and first character,
// remove and replace, read and write text files, list a folder, and the
// player's text prompt.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/random_source.h"
#include "game/data/system_variable_block.h"
#include "game/data/text_format.h"
#include "game/data/text_search.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/game_value_link.h"
#include "game/event/value_command_support.h"
#include "game/event/value_commands.h"
#include "game/event/value_texts.h"

namespace velk {
namespace {

enum StringSource { kSourceText = 0, kSourceVariable = 1, kSourceEitherVariable = 2, kSourcePrompt = 3 };
enum StringOperationCode {
    kAssign = 0,
    kAppend = 1,
    kFirstLine = 2,
    kTakeFirstLine = 3,
    kTakeFirstCharacter = 4,
    kReadFile = 5,
    kWriteFile = 6,
    kListFolder = 7,
    kRemove = 8,
    kReplace = 9,
};
constexpr int32_t kIndirectTarget = 0x10;
constexpr int32_t kPromptCancel = 0x1000;
constexpr int32_t kPromptStartsWithText = 0x2000;

bool ReadsTarget(int32_t operation) {
    return operation == kAppend || operation == kWriteFile || operation == kRemove || operation == kReplace;
}

void RemoveCarriageReturns(std::string& text) { std::erase(text, '\r'); }

// The text after the first line feed (empty when there is none); `text`
// keeps what comes before it.
std::string SplitFirstLine(std::string& text) {
    const size_t feed = text.find('\n');
    if (feed == std::string::npos) return {};
    std::string rest = text.substr(feed + 1);
    text.resize(feed);
    return rest;
}

// The bytes kept when every occurrence of the part is removed, as if the
// search began again at the start after each removal: a removal can join two
// halves into a new occurrence ("aabb" less "ab" is empty). The first
// occurrence of the text as it stands always ends after the bytes kept so
// far, and those hold none, so one pass finds them all: the kept bytes form a
// stack that remembers the matcher's state after each, and an occurrence
// completed at its top is dropped and the matcher goes on from the state
// below it. States stay below the part's length, so a short part keeps them
// in single bytes.
template <typename Matched>
std::string WithoutEach(std::string_view text, const TextSearch& search) {
    const size_t size = search.PartSize();
    std::string kept(text.size(), '\0');
    const auto matchedAfter = std::make_unique_for_overwrite<Matched[]>(text.size());
    size_t top = 0;
    uint32_t matched = 0;
    for (size_t at = 0; at < text.size();) {
        if (matched == 0) {
            // Up to the next byte that can begin the part, bytes are kept as
            // they are and leave the matcher where it was.
            const void* hit = std::memchr(text.data() + at, search.FirstByte(), text.size() - at);
            const size_t stop =
                hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
            std::memcpy(kept.data() + top, text.data() + at, stop - at);
            std::fill_n(matchedAfter.get() + top, stop - at, Matched{0});
            top += stop - at;
            at = stop;
            if (at == text.size()) break;
        }
        matched = search.Next(matched, text[at]);
        kept[top++] = text[at++];
        if (matched == size) {
            top -= size;
            matched = top == 0 ? 0 : matchedAfter[top - 1];
        } else {
            matchedAfter[top - 1] = static_cast<Matched>(matched);
        }
    }
    kept.resize(top);
    return kept;
}

void RemoveAll(std::string& text, const std::string& part) {
    if (part.empty()) return;
    const TextSearch search(part);
    if (part.size() - 1 <= UINT8_MAX) {
        text = WithoutEach<uint8_t>(text, search);
    } else if (part.size() - 1 <= UINT16_MAX) {
        text = WithoutEach<uint16_t>(text, search);
    } else {
        text = WithoutEach<uint32_t>(text, search);
    }
}

// The Shift-JIS class of each next byte of a text read from its start, as
// GetSjisByteClass gives it for that byte's index, without reading the text
// again from its start for every index.
class SjisClassReader {
public:
    int ClassOf(char next) const {
        const auto byte = static_cast<uint8_t>(next);
        if (ended_ || byte == 0) return 0;
        if (!afterLead_) return IsLead(byte) ? 1 : 0;
        return byte >= 0x40 && byte <= 0xFC && byte != 0x7F ? 2 : 0;
    }
    void Read(std::string_view bytes) {
        for (char c : bytes) {
            if (ended_) return;
            const auto byte = static_cast<uint8_t>(c);
            ended_ = byte == 0;
            // A byte after a lead byte is never a lead byte itself.
            afterLead_ = !afterLead_ && IsLead(byte);
        }
    }

private:
    static bool IsLead(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

    bool afterLead_ = false;
    // A zero byte ends the text: every byte after it counts as a single one.
    bool ended_ = false;
};

// Every occurrence replaced, going on after the replacement. A one-byte
// part matches only a whole single-byte character, never a byte inside a
// two-byte one, judged on the text as the replacements before it have left
// it. False when the result is longer than a string may be: it is refused,
// and a replacement longer than the part could otherwise build gigabytes
// before the refusal.
bool ReplaceAll(std::string& text, const std::string& part, const std::string& replacement) {
    if (part.empty()) return true;
    const TextSearch search(part);
    const bool oneByte = part.size() == 1;
    const bool grows = replacement.size() > part.size();
    SjisClassReader classes;
    std::string replaced;
    size_t copied = 0;
    size_t read = 0;
    for (size_t at; (at = search.FindIn(text, read)) != std::string::npos;) {
        if (oneByte) {
            classes.Read(std::string_view(text).substr(read, at - read));
            if (classes.ClassOf(part[0]) != 0) {
                classes.Read(part);
                read = at + 1;
                continue;
            }
            classes.Read(replacement);
        }
        if (copied == 0) replaced.reserve(text.size());
        replaced.append(text, copied, at - copied);
        replaced += replacement;
        copied = read = at + part.size();
        // What is left can only add to the result once it grows.
        if (grows && replaced.size() + (text.size() - copied) > kMaxStringLength) return false;
    }
    if (copied == 0) return true;
    replaced.append(text, copied);
    text = std::move(replaced);
    return true;
}

// A text file as text mode writes it: every line feed becomes CR LF.
std::vector<uint8_t> TextModeBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') bytes.push_back('\r');
        bytes.push_back(static_cast<uint8_t>(c));
    }
    return bytes;
}

// Names that leave the game folder: a drive or any ':', a "..", or a
// separator at the start.
bool LeavesGameFolder(const std::string& name) {
    return name.find(':') != std::string::npos || name.find("..") != std::string::npos || name[0] == '\\' ||
           name[0] == '/';
}

// Every escape code starts with a backslash or '<', and the conversion
// drops carriage returns; a text with none of them converts to itself. Long
// texts (a file read in, a string doubled) seldom hold any, and the
// conversion's search of every code would take seconds on them.
bool MayHoldEscapeCodes(const std::string& text) {
    // Three scans for one byte each are far faster than one for any of three.
    return text.find('\\') != std::string::npos || text.find('<') != std::string::npos ||
           text.find('\r') != std::string::npos;
}

}  // namespace

CommandResult ValueCommands::StringOperation(EventInterpreter& in, const EventCommand& command) {
    const int32_t flags = Arg(command, 2);
    const int32_t source = flags & 0xF;
    int32_t operation = (flags >> 8) & 0xF;
    if (operation > kReplace) operation = kAssign;
    const int32_t sourceCode = Arg(command, 3);
    const int32_t target = (flags & kIndirectTarget) ? in.GetValue(Arg(command, 1)) : Arg(command, 1);
    std::string head;
    std::string text;
    if (ReadsTarget(operation)) head = in.GetStringVariable(target);
    switch (source) {
        case kSourceText: text = Expand(in, Text(command, 0), false); break;
        case kSourceVariable: text = in.GetStringVariable(sourceCode); break;
        case kSourceEitherVariable:
            text = in.GetStringVariable(variables_.IsIntId(sourceCode) ? in.GetValue(sourceCode) : sourceCode);
            break;
        case kSourcePrompt:
            switch (OpenTextPrompt(in, command, target, head)) {
                case PromptStart::kBusy: return CommandResult::kStopFrame;
                case PromptStart::kOpened: break;
                case PromptStart::kFailed:
                    // It ended at once, as a cancel does: the target keeps its text.
                    if (operation != kWriteFile) in.StoreText(target, head);
                    return CommandResult::kAdvance;
            }
            break;
        default: break;
    }
    const bool fromVariable = source == kSourceVariable || source == kSourceEitherVariable;
    if (operation == kFirstLine || operation == kTakeFirstLine) {
        RemoveCarriageReturns(text);
        std::string rest = SplitFirstLine(text);
        if (operation == kTakeFirstLine && fromVariable) {
            const int32_t from = source == kSourceVariable || !variables_.IsIntId(sourceCode)
                                     ? sourceCode
                                     : in.GetValue(sourceCode);
            in.SetStringVariable(from, std::move(rest));
        }
    } else if (operation == kTakeFirstCharacter) {
        size_t length = GetSjisByteClass(text, 0) == 1 ? 2 : 1;
        length = std::min(length, text.size());
        if (fromVariable) {
            const int32_t from = source == kSourceVariable || in.GetStringVariable(sourceCode) != texts::kErrorValue
                                     ? sourceCode
                                     : in.GetValue(sourceCode);
            in.SetStringVariable(from, text.substr(length));
        }
        text.resize(length);
    } else if (operation == kReadFile) {
        const std::string fileName = links_.gameValues->RevertEscapeCodes(text);
        // A file longer than a string may be is refused before it is read:
        // reading it would hold the frame for as long as the disk takes.
        if (GameFileLength(fileName) > static_cast<int64_t>(kMaxStringLength)) {
            ActiveErrorReporter().ShowErrorBox(
                FormatText(value_texts::kReadFileTooLarge, static_cast<int>(kMaxStringLength)), fileName,
                FormatErrorLocation());
            return CommandResult::kAdvance;
        }
        std::optional<std::vector<uint8_t>> file = ReadGameFile(fileName);
        if (file) {
            const auto end = std::find(file->begin(), file->end(), uint8_t{0});
            text.assign(file->begin(), end);
        } else {
            text = value_texts::kNoFile;
        }
    } else if (operation == kWriteFile) {
        WriteTextFile(text, head);
        return CommandResult::kAdvance;
    } else if (operation == kListFolder) {
        text = ListFolder(text);
    } else if (operation == kRemove) {
        RemoveAll(head, text);
        text.clear();
    } else if (operation == kReplace) {
        const bool fits = ReplaceAll(head, text, Text(command, 1));
        text.clear();
        if (!fits) {
            ShowStringTooLong(target);
            return CommandResult::kAdvance;
        }
    }
    std::string expanded = MayHoldEscapeCodes(text) ? Expand(in, text, false) : std::move(text);
    std::string().swap(text);
    if (head.size() + expanded.size() > kMaxStringLength) {
        ShowStringTooLong(target);
        return CommandResult::kAdvance;
    }
    head += expanded;
    in.StoreText(target, std::move(head));
    return CommandResult::kAdvance;
}

ValueCommands::PromptStart ValueCommands::OpenTextPrompt(EventInterpreter& in, const EventCommand& command,
                                                          int32_t target, std::string& head) {
    TextPromptLink& prompt = *links_.prompt;
    if (prompt.PromptOpen()) return PromptStart::kBusy;
    const int32_t flags = Arg(command, 2);
    const int32_t maxLength = in.GetValue(Arg(command, 3));
    std::string start;
    if ((flags & kPromptStartsWithText) && maxLength > 0) {
        start = in.GetStringVariable(target);
        if (start.size() >= static_cast<size_t>(maxLength)) {
            // A two-byte character that the limit would split is left out whole.
            size_t keep = static_cast<size_t>(maxLength);
            if (GetSjisByteClass(start, maxLength - 1) == 1) --keep;
            start.resize(keep);
        }
    }
    systemVariables_.textPromptState = 1;
    const int32_t handle = prompt.Open(maxLength, (flags & kPromptCancel) != 0, start);
    if (handle == 0) {
        prompt.ClosePrompt();
        systemVariables_.textPromptState = -1;
        return PromptStart::kFailed;
    }
    in.textInput = handle;
    in.textTarget = target;
    in.textOld = std::move(head);
    head.clear();
    return PromptStart::kOpened;
}

void ValueCommands::WriteTextFile(const std::string& name, const std::string& text) {
    if (name.empty()) {
        ShowTestPlayBox(value_texts::kWriteNameEmpty, FormatErrorLocation(), "");
        return;
    }
    if (LeavesGameFolder(name)) {
        ShowTestPlayBox(value_texts::kWriteNameOutside, value_texts::kWriteNameOutside2, FormatErrorLocation());
        return;
    }
    const std::string fileName = links_.gameValues->RevertEscapeCodes(name);
    if (!WriteLocalFileAtomically(fileName, TextModeBytes(links_.gameValues->RevertEscapeCodes(text)))) {
        ActiveErrorReporter().ShowErrorBox(value_texts::kWriteFailed, value_texts::kWriteFailed2, fileName);
    }
}

std::string ValueCommands::ListFolder(const std::string& name) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\x01', '\\');
    // What the game may not write it may not look at either: a listing of
    // a folder outside the game's is empty, as one of a missing folder is.
    if (LeavesGameFolder(path)) return {};
    std::vector<std::string> names = ListGameFolder(path);
    std::string listing;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) listing += '\n';
        listing += names[i];
    }
    return listing;
}

}  // namespace velk
