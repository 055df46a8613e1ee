#include "game/event/common_events.h"

#include <algorithm>
#include <memory>
#include <new>

#include "game/data/data_container.h"
#include "game/data/data_file_cursor.h"
#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/event/command_codes.h"
#include "game/event/command_preparation.h"
#include "game/event/common_event_texts.h"

namespace velk {
namespace {

constexpr uint8_t kFormatVersion = 143;
constexpr uint8_t kShortRecordVersion = 142;
constexpr uint8_t kRecordEnd = 143;
constexpr uint32_t kCommonFileMagic = 0x030C386C;
// A record with an empty name, no commands and no byte list: lead, id,
// trigger, condition variable and value, two option bytes, three counts and
// the version byte.
constexpr size_t kSmallestRecord = 29;
// A command with no arguments, strings or route.
constexpr size_t kSmallestCommand = 4;

const SharedCommandList& DefaultCommands() {
    static const SharedCommandList list = std::make_shared<const CommandList>(std::vector<EventCommand>(1));
    return list;
}

std::optional<uint32_t> ReadCount(DataFileCursor& cursor, size_t smallest) {
    auto count = cursor.U32();
    if (!count || !cursor.CanHold(*count, smallest)) return std::nullopt;
    return count;
}

// Lists the file gives fewer entries than the default keep their extra
// default entries.
bool ReadStrings(DataFileCursor& cursor, std::vector<std::string>& into) {
    auto count = ReadCount(cursor, 4);
    if (!count) return false;
    into.resize(std::max<size_t>(into.size(), *count));
    for (uint32_t i = 0; i < *count; ++i) {
        auto text = cursor.ReadString();
        if (!text) return false;
        into[i] = std::move(*text);
    }
    return true;
}

bool ReadInts(DataFileCursor& cursor, std::vector<int32_t>& into) {
    auto count = ReadCount(cursor, 4);
    if (!count) return false;
    into.resize(std::max<size_t>(into.size(), *count));
    return cursor.ReadI32s(std::span(into.data(), *count));
}

bool ReadCommands(DataFileCursor& cursor, std::vector<EventCommand>& commands) {
    auto count = ReadCount(cursor, kSmallestCommand);
    if (!count) return false;
    commands.reserve(*count);
    for (uint32_t i = 0; i < *count; ++i) {
        auto command = ReadEventCommand(cursor);
        if (!command) return false;
        commands.push_back(std::move(*command));
    }
    // Every loaded list ends with the end command; a record without commands
    // gets one, so it ends at once.
    if (commands.empty()) commands.emplace_back();
    EventCommand& last = commands.back();
    if (last.arguments.empty()) last.arguments.push_back(0);
    last.arguments[0] = CodeValue(CommandCode::kEndOfList);
    return true;
}

bool ReadExtendedLists(DataFileCursor& cursor, CommonEvent& event) {
    if (!ReadStrings(cursor, event.argStrings)) return false;
    auto byteCount = cursor.U32();
    if (!byteCount) return false;
    auto bytes = cursor.Take(*byteCount);
    if (!bytes) return false;
    event.argBytes.assign(bytes->begin(), bytes->end());
    auto stringLists = ReadCount(cursor, 4);
    if (!stringLists) return false;
    event.argStringLists.resize(std::max<size_t>(event.argStringLists.size(), *stringLists));
    for (uint32_t k = 0; k < *stringLists; ++k) {
        if (!ReadStrings(cursor, event.argStringLists[k])) return false;
    }
    auto intLists = ReadCount(cursor, 4);
    if (!intLists) return false;
    event.argIntLists.resize(std::max<size_t>(event.argIntLists.size(), *intLists));
    for (uint32_t k = 0; k < *intLists; ++k) {
        if (!ReadInts(cursor, event.argIntLists[k])) return false;
    }
    return ReadInts(cursor, event.argInts);
}

// Reads `count` records; the ids become their places from `firstIndex` on.
bool ReadRecords(DataFileCursor& cursor, uint32_t count, int32_t firstIndex, ParsedCommonEvents& parsed) {
    parsed.events.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto event = ReadCommonEvent(cursor, &parsed.versionMismatches);
        if (!event) return false;
        event->id = firstIndex + static_cast<int32_t>(i);
        parsed.events.push_back(std::move(*event));
    }
    return true;
}

void ShowVersionMismatches(int count) {
    for (int i = 0; i < count; ++i) {
        ActiveErrorReporter().ShowMessageBox(texts::kCommonEventVersionMismatch, texts::kLoadFailedCaption);
    }
}

}  // namespace

CommonEvent::CommonEvent() : commands(DefaultCommands()) {}

bool CommonEvent::InsertEmptyCommand(int32_t index) {
    std::vector<EventCommand> list = commands ? commands->Commands() : std::vector<EventCommand>();
    const size_t at = std::min<size_t>(static_cast<size_t>(std::max(index, 0)), list.size());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), EventCommand());
    commands = std::make_shared<const CommandList>(std::move(list));
    return true;
}

bool CommonEvent::ConditionHolds(VariableStore& store) const {
    return CommonEventConditionHolds(trigger, conditionVariable, conditionValue, store);
}

std::optional<CommonEvent> ReadCommonEvent(DataFileCursor& cursor, int* versionMismatches) {
    CommonEvent event;
    auto lead = cursor.U8();
    auto id = cursor.I32();
    auto trigger = cursor.U8();
    auto variable = cursor.I32();
    auto value = cursor.I32();
    auto option0 = cursor.U8();
    auto option1 = cursor.U8();
    if (!lead || !id || !trigger || !variable || !value || !option0 || !option1) return std::nullopt;
    event.id = *id;
    event.trigger = *trigger;
    event.conditionVariable = *variable;
    event.conditionValue = *value;
    event.option0 = *option0;
    event.option1 = *option1;
    auto name = cursor.ReadString();
    if (!name) return std::nullopt;
    event.name = std::move(*name);
    std::vector<EventCommand> commands;
    if (!ReadCommands(cursor, commands)) return std::nullopt;
    event.commands = std::make_shared<const CommandList>(std::move(commands));

    auto byteCount = cursor.U32();
    if (!byteCount) return std::nullopt;
    auto bytes = cursor.Take(*byteCount);
    if (!bytes) return std::nullopt;
    if (event.extraBytes.size() < bytes->size()) event.extraBytes.resize(bytes->size());
    std::copy(bytes->begin(), bytes->end(), event.extraBytes.begin());
    if (*byteCount >= 1) {
        auto note = cursor.ReadString();
        if (!note) return std::nullopt;
        event.note = std::move(*note);
    }

    auto version = cursor.U8();
    if (!version) return std::nullopt;
    if (*version == kShortRecordVersion) return event;
    int mismatches = *version == kFormatVersion ? 0 : 1;
    if (!ReadExtendedLists(cursor, event)) return std::nullopt;
    auto end = cursor.U8();
    if (!end) return std::nullopt;
    if (*end != kRecordEnd) ++mismatches;
    if (versionMismatches) *versionMismatches += mismatches;
    return event;
}

ParsedCommonEvents ParseCommonEventData(std::span<uint8_t> file) {
    ParsedCommonEvents parsed;
    auto opened = UnscrambleContainer(file, kDataFileLayout);
    if (!opened) return parsed;
    DataFileCursor cursor(file, kDataFileLayout.headerLength);
    auto version = cursor.U8();
    if (!version) return parsed;
    if (*version != kFormatVersion) {
        parsed.status = CommonEventFileStatus::kBadVersion;
        return parsed;
    }
    auto count = ReadCount(cursor, kSmallestRecord);
    if (!count || !ReadRecords(cursor, *count, 0, parsed)) {
        parsed.events.clear();
        return parsed;
    }
    auto end = cursor.U8();
    if (!end) {
        parsed.events.clear();
        return parsed;
    }
    if (*end != kFormatVersion) {
        parsed.status = CommonEventFileStatus::kBadEndMarker;
    } else if (!ContainerSumMatches(file, kDataFileLayout, *opened, cursor.position())) {
        parsed.status = CommonEventFileStatus::kSumMismatch;
    } else {
        parsed.status = CommonEventFileStatus::kLoaded;
    }
    return parsed;
}

std::optional<ParsedCommonEvents> ParseCommonEventFile(std::span<const uint8_t> file) {
    DataFileCursor cursor(file);
    auto magic = cursor.U32();
    if (!magic || *magic != kCommonFileMagic) return std::nullopt;
    auto count = ReadCount(cursor, kSmallestRecord);
    if (!count) return std::nullopt;
    ParsedCommonEvents parsed;
    if (!ReadRecords(cursor, *count, 0, parsed)) return std::nullopt;
    parsed.status = CommonEventFileStatus::kLoaded;
    return parsed;
}

CommonEventList::CommonEventList() { Resize(10); }

bool CommonEventList::Load(const std::string& name) {
    const std::string path = "Data\\" + name;
    auto file = ReadGameFile(path);
    if (!file) {
        loadedFiles_.clear();
        RebuildNameMap();
        ActiveErrorReporter().ShowMessageBox(texts::kCommonEventsLoadFailed, texts::kReadErrorCaption);
        return false;
    }
    return LoadFromBytes(*file, path);
}

bool CommonEventList::LoadFromBytes(std::span<uint8_t> file, const std::string& name) {
    ParsedCommonEvents parsed;
    try {
        parsed = ParseCommonEventData(file);
    } catch (const std::bad_alloc&) {
        parsed = ParsedCommonEvents();  // shown as a file that does not load
    }
    ShowVersionMismatches(parsed.versionMismatches);
    bool loaded = false;
    switch (parsed.status) {
        case CommonEventFileStatus::kLoaded: loaded = true; [[fallthrough]];
        case CommonEventFileStatus::kBadEndMarker:
            events_ = std::move(parsed.events);
            Renumber();
            break;
        case CommonEventFileStatus::kSumMismatch: ReportTamperedFile(name); break;
        case CommonEventFileStatus::kDamaged:
            ActiveErrorReporter().ShowMessageBox(texts::kCommonEventsLoadFailed, texts::kReadErrorCaption);
            break;
        case CommonEventFileStatus::kBadVersion: break;
    }
    loadedFiles_.clear();
    RebuildNameMap();
    return loaded;
}

void CommonEventList::Resize(int32_t count) {
    events_.resize(static_cast<size_t>(std::max(count, 0)));
    Renumber();
}

void CommonEventList::Renumber() {
    for (size_t i = 0; i < events_.size(); ++i)
        events_[i].id = static_cast<int32_t>(i);
}

int32_t CommonEventList::AppendFile(const std::string& path, int32_t firstIndex, bool read) {
    auto file = ReadGameFile(path);
    if (!file) return -1;
    return AppendBytes(*file, firstIndex, read);
}

int32_t CommonEventList::AppendBytes(std::span<const uint8_t> file, int32_t firstIndex, bool read) {
    if (firstIndex < 0) return -1;
    // A file whose records the memory left cannot hold is refused like a
    // damaged one; the list stays as it was.
    std::optional<ParsedCommonEvents> parsed;
    try {
        parsed = ParseCommonEventFile(file);
        if (!parsed) return -1;
        const int64_t end = int64_t{firstIndex} + static_cast<int64_t>(parsed->events.size());
        if (end > INT32_MAX) return -1;
        if (end > Size()) Resize(static_cast<int32_t>(end));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    ShowVersionMismatches(parsed->versionMismatches);
    if (read) {
        for (size_t i = 0; i < parsed->events.size(); ++i) {
            const size_t at = static_cast<size_t>(firstIndex) + i;
            events_[at] = std::move(parsed->events[i]);
            events_[at].id = static_cast<int32_t>(at);
        }
    }
    return static_cast<int32_t>(parsed->events.size());
}

void CommonEventList::Prepare(const CommandTable& table, VariableStore& store, DatabaseSet& databases) {
    for (size_t i = 0; i < events_.size(); ++i) {
        auto list = std::make_shared<CommandList>(*events_[i].commands);
        PadCommands(*list, table);
        PreResolveCommonEvent(*list, static_cast<int32_t>(i), store, databases);
        events_[i].commands = std::move(list);
    }
}

void CommonEventList::PadRecords(int32_t first, int32_t last, const CommandTable& table) {
    for (int32_t i = std::max(first, 0); i < std::min(last, Size()); ++i) {
        CommonEvent& event = events_[static_cast<size_t>(i)];
        auto list = std::make_shared<CommandList>(*event.commands);
        PadCommands(*list, table);
        event.commands = std::move(list);
    }
}

std::optional<int32_t> CommonEventList::FindByName(const std::string& name) const {
    auto found = nameMap_.find(name);
    if (found == nameMap_.end()) return std::nullopt;
    return found->second;
}

void CommonEventList::RebuildNameMap() {
    nameMap_.clear();
    for (size_t i = events_.size(); i-- > 0;) {
        if (!events_[i].name.empty()) nameMap_[events_[i].name] = static_cast<int32_t>(i);
    }
}

std::optional<int32_t> CommonEventList::LoadedFileIndex(const std::string& path) const {
    const std::optional<std::string> file = GameFileIdentity(path);
    if (!file) return std::nullopt;
    auto found = loadedFiles_.find(*file);
    if (found == loadedFiles_.end()) return std::nullopt;
    return found->second;
}

void CommonEventList::RecordLoadedFile(const std::string& path, int32_t firstIndex) {
    if (const std::optional<std::string> file = GameFileIdentity(path)) loadedFiles_[*file] = firstIndex;
}

std::optional<CommonEventStart> CommonEventList::Get(int32_t index) {
    const CommonEvent* event = Find(index);
    if (!event) return std::nullopt;
    return CommonEventStart{event->id, event->trigger, event->conditionVariable, event->conditionValue,
                            event->commands};
}

}  // namespace velk
