// The string operation: assign and append, first line and first character,
// remove and replace, read and write text files, list a folder, and the
// player's text prompt.
#include <algorithm>
#include <utility>

#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/random_source.h"
#include "game/data/system_variable_block.h"
#include "game/data/text_format.h"
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

// Every occurrence removed, searching again from the start after each.
void RemoveAll(std::string& text, const std::string& part) {
    if (part.empty()) return;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part)) text.erase(at, part.size());
}

// Every occurrence replaced, going on after the replacement. A one-byte
// part matches only a whole single-byte character, never a byte inside a
// two-byte one.
void ReplaceAll(std::string& text, const std::string& part, const std::string& replacement) {
    if (part.empty()) return;
    size_t at = 0;
    while ((at = text.find(part, at)) != std::string::npos) {
        if (part.size() == 1 && GetSjisByteClass(text, static_cast<int>(at)) != 0) {
            ++at;
            continue;
        }
        text.replace(at, part.size(), replacement);
        at += replacement.size();
    }
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
        ReplaceAll(head, text, Text(command, 1));
        text.clear();
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
