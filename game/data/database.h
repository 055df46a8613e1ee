#pragma once
// The game's tables of data. A database is a list of types; a type has items
// (each a number or a string) and data rows holding one value per item, and a
// separate definition naming the type, its items and rows. Three databases of
// this class exist: the fixed user database, the changeable one (saved with
// the game) and the system database.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "game/data/slot_generation.h"

namespace velk {

// An item kind / 1000: 1 a number item, 2 a string item (any other kind has
// no storage). Kind % 1000 is the item's slot in the row's numbers or strings.
inline constexpr int32_t kNumberItemClass = 1;
inline constexpr int32_t kStringItemClass = 2;

struct DbRow {
    std::vector<int32_t> numbers;
    std::vector<std::string> strings = {std::string()};
};

struct DbTypeData {
    std::vector<int32_t> itemKinds = {2000};
    std::vector<DbRow> rows = {DbRow()};
    // -1 or -2 and below as the file gives it; -2 when the file gives none.
    int32_t marker = -2;
    // Where data names come from: 0 the definition's names, 1 each row's first
    // string, 2 the nearest earlier type whose source is not 2.
    int32_t dataNameSource = 0;
    // Moving or replacing a type moves its rows' number slots.
    SlotGenerationMark mark;
};

struct DbTypeDef {
    std::string typeName;
    std::string memo;
    std::vector<std::string> dataNames = {std::string()};
    // Its length is the type's item count for every question by name.
    std::vector<std::string> itemNames = {std::string()};
    std::vector<uint8_t> itemBytes = std::vector<uint8_t>(100, 0);
    std::vector<std::string> itemStrings = {std::string()};
    std::vector<std::vector<std::string>> itemStringLists = {{}};
    std::vector<std::vector<int32_t>> itemNumberLists = {{}};
    // The value a new row's number item starts with.
    std::vector<int32_t> itemDefaults = {0};
    SlotGenerationMark mark;
};

class Database {
public:
    // Loads "Data\<name>.dat" and "Data\<name>.project". A missing file shows
    // its message box and ends the program; a damaged or old file shows the
    // damaged-or-old message. True when both files were read whole.
    bool Load(const std::string& name);

    int32_t GetTypeCount() const { return static_cast<int32_t>(types.size()); }
    // Rows of the type; -1 when the type does not exist or has no rows.
    int32_t GetDataCount(int32_t type) const;
    // Items of the type; 0 when it does not exist.
    int32_t GetItemCount(int32_t type) const;
    // Item kind / 1000 by the type's definition; -1 beyond the definitions.
    int32_t GetItemKindClass(int32_t type, int32_t item) const;

    // Cell reads. A missing type or row shows its error box and sets the read
    // error flag; a read of the wrong kind of item gives 0 or "<<ERROR>>".
    int32_t GetInt(int32_t type, int32_t data, int32_t item, int32_t* out = nullptr);
    std::string GetString(int32_t type, int32_t data, int32_t item, std::string* out = nullptr);
    // The number cell itself (or, with numberOnly false, the item's kind);
    // null outside the counts. Valid until the type's rows are resized.
    int32_t* GetIntPtr(int32_t type, int32_t data, int32_t item, bool numberOnly);
    // Cell writes: false (nothing stored) when the cell does not exist or the
    // item is of the other kind.
    bool SetInt(int32_t type, int32_t data, int32_t item, int32_t value);
    bool SetString(int32_t type, int32_t data, int32_t item, const std::string& value);
    // The string cell, quietly; null where SetString would store nothing.
    const std::string* FindStringCell(int32_t type, int32_t data, int32_t item) const;

    // Names; "×NoData" where there is none.
    std::string GetTypeName(int32_t type) const;
    std::string GetItemName(int32_t type, int32_t item) const;
    std::string GetDataName(int32_t type, int32_t data) const;

    // Grows or cuts the type's rows; new rows take the items' defaults.
    void SetDataCount(int32_t type, int32_t count);
    // Gives one row its items' defaults again.
    void ResetData(int32_t type, int32_t data);

    // 1: a change of a type's row count also resizes its data names.
    uint8_t namesKept = 1;
    std::vector<DbTypeData> types;
    std::vector<DbTypeDef> typeDefs;

private:
    bool HasRow(int32_t type, int32_t data) const;
    void GiveRowItsDefaults(int32_t type, int32_t data);
};

// Set by a read of a type or row that does not exist; the interpreter reports
// it after the command and clears it.
extern int DatabaseReadErrorFlag;

class DataFileCursor;

// Rows of types without number or string items take no bytes of a file,
// so its size cannot bound their count; this does, over a whole database
// (each such row holds only its record).
inline constexpr uint32_t kMaxRowsWithoutItems = uint32_t{1} << 20;

// The record readers. False: a count or length does not fit the bytes left
// (the record is then partial), or the type's rows without items would pass
// what is left of `rowsWithoutItemsLeft` (which they use up).
bool ReadDbTypeData(DataFileCursor& cursor, DbTypeData& type, uint32_t& rowsWithoutItemsLeft);
bool ReadDbRow(DataFileCursor& cursor, size_t numberCount, size_t stringCount, DbRow& row);
bool ReadDbTypeDef(DataFileCursor& cursor, uint8_t version, DbTypeDef& definition);

// The files. Both readers return what they found and report nothing.
enum class DatabaseFileStatus {
    kLoaded,
    // The first byte is not a known format version; nothing was read.
    kBadVersion,
    // The closing byte is not a known version; the types read are kept.
    kBadClosingByte,
    // A count or length does not fit the file; the types read so far are kept.
    kDamaged,
    // Parsed, but the sum of the plain bytes does not match the header.
    kSumMismatch,
};
// The ".dat" file held in memory (scrambled; unscrambled in place) into
// `database.types`; `version` receives its format version (192 or 193).
DatabaseFileStatus ParseDatabaseData(std::span<uint8_t> file, Database& database, uint8_t& version);
// The ".project" file (plain) into `database.typeDefs`; the item settings are
// present only from format version 193.
DatabaseFileStatus ParseDatabaseProject(std::span<const uint8_t> file, uint8_t version, Database& database);

}  // namespace velk
