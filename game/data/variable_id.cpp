#include "game/data/variable_id.h"

namespace velk {
namespace {

VariableAddress Address(VariableKind kind, int32_t owner, int32_t index, int32_t item = 0) {
    return {kind, owner, index, item, DatabaseKind::kUser};
}

VariableAddress DatabaseCell(DatabaseKind database, VariableId base, VariableId id) {
    return {VariableKind::kDatabaseCell, (id % base) / 1000000, (id % 1000000) / 100, id % 100, database};
}

}  // namespace

VariableAddress DecodeVariableId(VariableId id) {
    if (id < kMapSelfBase) return Address(VariableKind::kLiteral, 0, id);
    if (id < kOldCommonSelfBase) return Address(VariableKind::kMapSelf, (id % 100000) / 10, id % 10);
    if (id < kRelativeCommonSelfBase) return Address(VariableKind::kOldCommonSelf, 0, 0);
    if (id < 1700000) return Address(VariableKind::kRelativeCommonSelf, 0, id % 100);
    if (id < kVariableBase) return Address(VariableKind::kNothing, 0, 0);
    if (id < kStringBase) return Address(VariableKind::kVariable, (id - kVariableBase) / 100000, id % 100000);
    if (id < 4000000) return Address(VariableKind::kString, 0, id % 1000000);
    if (id < kRandomBase) return Address(VariableKind::kNothing, 0, 0);
    if (id < kSystemVariableBase) return Address(VariableKind::kRandom, 0, id % kRandomBase);
    if (id < kMapEventDataBase) return Address(VariableKind::kSystem, 0, id % 1000000);
    if (id < kPartyDataBase) return Address(VariableKind::kMapEventData, (id % kMapEventDataBase) / 10, id % 10);
    if (id < kRelativeEventDataBase) return Address(VariableKind::kPartyData, (id % kPartyDataBase) / 10, id % 10);
    if (id < kSystemStringBase) return Address(VariableKind::kNothing, 0, 0);
    if (id < 10000000) return Address(VariableKind::kSystemString, 0, id % 100000);
    if (id < kCommonSelfBase) return Address(VariableKind::kNothing, 0, 0);
    if (id < 16000000) return Address(VariableKind::kCommonSelf, (id % 1000000) / 100, id % 100);
    if (id < kUserDatabaseBase) return Address(VariableKind::kNothing, 0, 0);
    if (id < kChangeableDatabaseBase) return DatabaseCell(DatabaseKind::kUser, kUserDatabaseBase, id);
    if (id < 1200000000) return DatabaseCell(DatabaseKind::kChangeable, kChangeableDatabaseBase, id);
    if (id < kSystemDatabaseBase) return Address(VariableKind::kNothing, 0, 0);
    if (id < 1400000000) return DatabaseCell(DatabaseKind::kSystem, kSystemDatabaseBase, id);
    return Address(VariableKind::kNothing, 0, 0);
}

}  // namespace velk
