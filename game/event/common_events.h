#pragma once
// Common events: the game-wide command lists that run by number (called,
// reserved, started by their condition or run in parallel), the data file
// that holds them and the ".common" files that add more at run time, and the
// two tables the calling commands look names up in.
//
// Every record holds its commands as a shared list: an interpreter running a
// common event keeps its list alive, so growing the list or reading a file
// over a record never frees commands that still run.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "game/data/game_owners.h"
#include "game/event/command_list.h"
#include "game/event/event_links.h"

namespace velk {

class CommandTable;
class DataFileCursor;
class VariableStore;
struct DatabaseSet;

struct CommonEvent {
    CommonEvent();

    // The record's index in the list (renumbered on every resize).
    int32_t id = 0;
    std::string name;
    // Low nibble: 0 called only, 1 auto start, 2 parallel while the
    // condition holds, 3 parallel always; high nibble: the comparison.
    uint8_t trigger = 0x20;
    int32_t conditionVariable = 2000000;
    int32_t conditionValue = 0;
    uint8_t option0 = 0;
    uint8_t option1 = 0;
    SharedCommandList commands;
    // Kept as the file has them; nothing here reads them.
    std::vector<uint8_t> extraBytes = {0};
    std::string note;
    std::vector<std::string> argStrings = std::vector<std::string>(10);
    std::vector<uint8_t> argBytes = std::vector<uint8_t>(10, 0);
    std::vector<std::vector<std::string>> argStringLists = std::vector<std::vector<std::string>>(10);
    std::vector<std::vector<int32_t>> argIntLists = std::vector<std::vector<int32_t>>(10);
    std::vector<int32_t> argInts = std::vector<int32_t>(5, 0);

    // A default command before position min(index, count); the record gets
    // a new list, so a running copy of the old one is not disturbed.
    bool InsertEmptyCommand(int32_t index);
    int32_t TriggerKind() const { return trigger & 0x0F; }
    bool ConditionHolds(VariableStore& store) const;
};

// One record in its file form. `versionMismatches` counts the record's
// version or end byte that is not a known one (the record is still read, in
// the extended form). nullopt: a count or length does not fit the bytes left.
std::optional<CommonEvent> ReadCommonEvent(DataFileCursor& cursor, int* versionMismatches);

enum class CommonEventFileStatus {
    kLoaded,
    // The format byte is not the known one: nothing was read.
    kBadVersion,
    // The records were read but the closing byte is wrong: they are kept.
    kBadEndMarker,
    // A count or length does not fit the file: nothing is kept.
    kDamaged,
    // Parsed whole, but the sum of the plain bytes does not match the header.
    kSumMismatch,
};

struct ParsedCommonEvents {
    CommonEventFileStatus status = CommonEventFileStatus::kDamaged;
    std::vector<CommonEvent> events;
    int versionMismatches = 0;
};

// The data file as it lies on disk (scrambled; unscrambled in place).
ParsedCommonEvents ParseCommonEventData(std::span<uint8_t> file);
// A ".common" file (plain); nullopt when it is damaged or not one.
std::optional<ParsedCommonEvents> ParseCommonEventFile(std::span<const uint8_t> file);

// The game's list of common events. It answers the interpreters' questions
// about common events and tells the variable store how many there are.
class CommonEventList final : public CommonEventLink, public EventOwner {
public:
    // Ten default records.
    CommonEventList();

    // Replaces the list by the data file "Data\<name>", shows the failures
    // the player must see, and rebuilds the name map and empties the table
    // of loaded ".common" files whatever the outcome, so no entry outlives
    // the list it was made for. False when the file is missing, damaged or
    // of another version (the list is then left as it was, or, for a wrong
    // closing byte, holds the records read).
    bool Load(const std::string& name);
    // The same from bytes already in memory.
    bool LoadFromBytes(std::span<uint8_t> file, const std::string& name);

    // Grows with default records or cuts to `count`; every id becomes its
    // index.
    void Resize(int32_t count);
    // Loads the ".common" file at `path` (a game path) from `firstIndex` on,
    // growing the list to hold it; with `read` unset only the list grows.
    // The number of records the file holds, or -1 (list unchanged) when it
    // does not open, is not such a file, is damaged or is too large for the
    // memory left.
    int32_t AppendFile(const std::string& path, int32_t firstIndex, bool read);
    int32_t AppendBytes(std::span<const uint8_t> file, int32_t firstIndex, bool read);

    // Pads every list to the table's shortest argument lists and prepares
    // every record for fast running; the variable store must already hold
    // the self variables of every common event.
    void Prepare(const CommandTable& table, VariableStore& store, DatabaseSet& databases);
    // Pads the lists of records [first, last) only.
    void PadRecords(int32_t first, int32_t last, const CommandTable& table);

    const std::vector<CommonEvent>& Events() const { return events_; }
    const CommonEvent* Find(int32_t index) const {
        return index >= 0 && static_cast<size_t>(index) < events_.size() ? &events_[static_cast<size_t>(index)]
                                                                         : nullptr;
    }
    int32_t Size() const { return static_cast<int32_t>(events_.size()); }

    // Name -> index; for equal names the lowest index.
    const std::map<std::string, int32_t>& NameMap() const { return nameMap_; }
    std::optional<int32_t> FindByName(const std::string& name) const;
    void SetName(const std::string& name, int32_t index) { nameMap_[name] = index; }
    void RebuildNameMap();
    // The index of the first record that the ".common" file at `path` added,
    // loaded under this or any other spelling of its name; nullopt when it
    // was not loaded or is not there.
    std::optional<int32_t> LoadedFileIndex(const std::string& path) const;
    void RecordLoadedFile(const std::string& path, int32_t firstIndex);

    int32_t Count() override { return Size(); }
    std::optional<CommonEventStart> Get(int32_t index) override;
    int32_t CommonEventCount() override { return Size(); }

private:
    void Renumber();

    std::vector<CommonEvent> events_;
    std::map<std::string, int32_t> nameMap_;
    // By what names the file (GameFileIdentity).
    std::map<std::string, int32_t> loadedFiles_;
};

}  // namespace velk
