#pragma once
// The store behind every variable ID: self variables of map events (per map),
// normal and spare variables, string variables and common-event self
// variables, and the way through to system variables, system strings,
// character data and database cells, which other objects hold. Misuse of an
// ID is shown in the error box and the game goes on.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/game_owners.h"
#include "game/data/slot_generation.h"
#include "game/data/variable_id.h"

namespace velk {

class Database;
struct DatabaseSet;
class SaveStream;

struct VariableStoreContents {
    // By map id, by map-event id, by slot.
    std::vector<std::vector<std::vector<int32_t>>> selfVariables;
    // Group 0 the normal variables, groups 1-9 the spare ones.
    std::vector<std::vector<int32_t>> groups;
    std::vector<std::string> strings;
    // By common event: 100 integer slots, and the 5 string slots 5-9.
    std::vector<std::vector<int32_t>> commonSelfInts;
    std::vector<std::vector<std::string>> commonSelfStrings;
    // Replacing the contents moves every slot.
    SlotGenerationMark mark;
};

// The longest string a string variable or database cell holds (16 MiB).
inline constexpr size_t kMaxStringLength = size_t{16} << 20;
// The error box of a longer string meant for `id`, which keeps its text.
void ShowStringTooLong(VariableId id);

// The most memory that the strings a store holds take together (256 MiB):
// string variables, common-event self strings and the string cells of the
// changeable database. A write that would pass it is refused with the box of
// a string that is too long, and the target keeps its text.
inline constexpr size_t kMaxHeldStringBytes = size_t{256} << 20;
// The bound in force: kMaxHeldStringBytes unless a test set another.
size_t HeldStringLimit();
void SetHeldStringLimit(size_t bytes);
// The error box of a text refused because what is held would pass the bound
// in force; `target` names where the text was meant to go.
void ShowHeldStringLimitReached(int32_t target);
// What a string of this capacity takes of the heap: nothing while its text
// fits inside the string itself.
size_t StringHeapBytes(size_t capacity);

class VariableStore {
public:
    // `interpreter` holds the system-variable block; without one every system
    // variable reads 0 and writes go nowhere. `databases` defaults to the
    // databases of this run. Sizes come from Resize().
    explicit VariableStore(MainInterpreterLink* interpreter = nullptr, DatabaseSet* databases = nullptr);

    // Empties everything and sizes the common-event self variables by the
    // common events loaded and the variable groups by the system database.
    void Resize();
    // Gives common events up to `count` (loaded since) their self variables:
    // 100 integers and 5 strings each. Never shrinks.
    void GrowCommonSelfVariables(int32_t count);

    // `db` stands in for the changeable database (a save's copy of it).
    int32_t GetInt(VariableId id, int32_t unused = 0, Database* db = nullptr);
    void SetInt(VariableId id, int32_t value, Database* db = nullptr);
    std::string GetString(VariableId id, int32_t unused = 0, Database* db = nullptr);
    void SetString(VariableId id, std::string value, Database* db = nullptr);
    // Whether the ID names an integer (everything but the string slots).
    bool IsIntId(VariableId id) const;

    int32_t GetSystemVariable(int32_t number);
    void SetSystemVariable(int32_t number, int32_t value);
    std::string GetSystemString(int32_t index);
    // Always returns the empty string.
    std::string SetSystemString(int32_t index, const std::string& value);

    // A direct reference to an integer slot for commands prepared in advance;
    // null for IDs that have none. Valid until the slot's vector is resized.
    int32_t* ResolveIntPointer(VariableId id, int32_t commonIndex);

    // The map whose self variables the next integer read, integer write or
    // string write uses (-1: the current map); that access consumes it.
    void SetMapOverride(int32_t map) { mapOverride_ = map; }
    int32_t MapOverride() const { return mapOverride_; }

    // The variables' part of a save.
    bool WriteSave(SaveStream& stream) const;
    // Reads it back; nothing changes unless the whole part reads, nor when
    // memory runs out (std::bad_alloc is thrown on). With `restoreRandom` the
    // game's random source takes the saved state.
    bool ReadSave(SaveStream& stream, bool restoreRandom);

    const VariableStoreContents& Contents() const { return contents_; }

private:
    int32_t TakeMapOverride();
    Database& DatabaseOf(DatabaseKind kind, Database* changeableStandIn) const;
    // Grows a changeable-database type to hold `data`; false when the type
    // does not exist (the database has said so).
    bool GrowToHold(Database& database, int32_t type, int32_t data);
    int32_t ReadCharacter(const VariableAddress& address);
    void WriteCharacter(const VariableAddress& address, int32_t value);
    void SetVariable(const VariableAddress& address, VariableId id, int32_t value);
    void SetChangeableInt(VariableId id, const VariableAddress& address, int32_t value, Database* db);
    void SetChangeableString(VariableId id, const VariableAddress& address, const std::string& value, Database* db);
    // Stores `value` into a string of the store unless the strings held
    // would pass their bound.
    void StoreHeld(VariableId id, std::string& slot, std::string value);
    // Whether a string taking `added` bytes may replace one taking `replaced`;
    // shows the box when it may not.
    bool MayHold(VariableId id, size_t replaced, size_t added);
    size_t HeldAfter(size_t replaced, size_t added) const;
    size_t CountHeldStringBytes() const;
    void SetScroll(bool vertical, int32_t pixels);
    void SetVolume(SoundChannel channel, int32_t volume);

    MainInterpreterLink* interpreter_;
    DatabaseSet* databases_;
    int32_t mapOverride_ = -1;
    VariableStoreContents contents_;
    // Kept up to date by the writes through the store; counted afresh when
    // the contents are replaced and before a write is refused.
    size_t heldStringBytes_ = 0;
};

// The store of this run.
VariableStore& GlobalVariableStore();

}  // namespace velk
