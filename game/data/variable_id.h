#pragma once
// The variable ID: one signed 32-bit number names every value the event
// language reads or writes. Its decimal range selects the storage; this file
// decodes an ID into what it names, as the variable store sees it (the forms
// relative to the running event are rewritten by the interpreter first).

#include <cstdint>

namespace velk {

using VariableId = int32_t;

enum class VariableKind {
    kLiteral,             // below 1000000: the value itself
    kMapSelf,             // 1000000-1499999: owner = map event, index = slot 0-9
    kOldCommonSelf,       // 1500000-1599999: refused
    kRelativeCommonSelf,  // 1600000-1699999 reaching the store: index = slot 0-99
    kVariable,            // 2000000-2999999: owner = group 0-9 (0 normal, 1-9 spare), index 0-99999
    kString,              // 3000000-3999999: index 0-999999
    kRandom,              // 8000000-8999999: index = the largest value drawn
    kSystem,              // 9000000-9099999: index = system variable number
    kMapEventData,        // 9100000-9179999: owner = map event id, index = field
    kPartyData,           // 9180000-9189999: owner = member (0 hero, n follower n - 1), index = field
    kSystemString,        // 9900000-9999999: index
    kCommonSelf,          // 15000000-15999999: owner = common event, index = slot 0-99
    kDatabaseCell,        // owner = type, index = data, item; `database` says which
    kNothing,
};

enum class DatabaseKind { kUser, kChangeable, kSystem };

struct VariableAddress {
    VariableKind kind = VariableKind::kNothing;
    int32_t owner = 0;
    int32_t index = 0;
    int32_t item = 0;
    DatabaseKind database = DatabaseKind::kUser;
};

VariableAddress DecodeVariableId(VariableId id);

// Range bounds the store and the interpreter test directly.
inline constexpr VariableId kMapSelfBase = 1000000;
inline constexpr VariableId kRelativeMapSelfBase = 1100000;
inline constexpr VariableId kOldCommonSelfBase = 1500000;
inline constexpr VariableId kRelativeCommonSelfBase = 1600000;
inline constexpr VariableId kVariableBase = 2000000;
inline constexpr VariableId kStringBase = 3000000;
inline constexpr VariableId kRandomBase = 8000000;
inline constexpr VariableId kSystemVariableBase = 9000000;
inline constexpr VariableId kMapEventDataBase = 9100000;
inline constexpr VariableId kPartyDataBase = 9180000;
inline constexpr VariableId kRelativeEventDataBase = 9190000;
inline constexpr VariableId kSystemStringBase = 9900000;
inline constexpr VariableId kCommonSelfBase = 15000000;
inline constexpr VariableId kUserDatabaseBase = 1000000000;
inline constexpr VariableId kChangeableDatabaseBase = 1100000000;
inline constexpr VariableId kSystemDatabaseBase = 1300000000;

// Common-event self slots 5-9 hold strings (string index slot - 5).
inline constexpr bool IsCommonSelfStringSlot(int32_t slot) { return slot >= 5 && slot <= 9; }

// The ID of a database cell: base + type x 1000000 + data x 100 + item.
inline constexpr VariableId DatabaseCellId(VariableId base, int32_t type, int32_t data, int32_t item) {
    return base + type * 1000000 + data * 100 + item;
}

// The character fields of map-event and party data.
enum CharacterDataField : int32_t {
    kFieldTileX = 0,
    kFieldTileY = 1,
    kFieldHalfTileX = 2,
    kFieldHalfTileY = 3,
    kFieldHeight = 4,
};

}  // namespace velk
