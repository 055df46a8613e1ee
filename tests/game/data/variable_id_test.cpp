#include <gtest/gtest.h>

#include "game/data/variable_id.h"

namespace velk {
namespace {

void ExpectAddress(VariableId id, VariableKind kind, int32_t owner, int32_t index, int32_t item = 0) {
    VariableAddress address = DecodeVariableId(id);
    EXPECT_EQ(address.kind, kind) << id;
    EXPECT_EQ(address.owner, owner) << id;
    EXPECT_EQ(address.index, index) << id;
    EXPECT_EQ(address.item, item) << id;
}

TEST(VariableId, DecodesEveryRange) {
    ExpectAddress(999999, VariableKind::kLiteral, 0, 999999);
    ExpectAddress(-5, VariableKind::kLiteral, 0, -5);
    ExpectAddress(1000000, VariableKind::kMapSelf, 0, 0);
    ExpectAddress(1234567, VariableKind::kMapSelf, 3456, 7);
    ExpectAddress(1499999, VariableKind::kMapSelf, 9999, 9);
    ExpectAddress(1500000, VariableKind::kOldCommonSelf, 0, 0);
    ExpectAddress(1600042, VariableKind::kRelativeCommonSelf, 0, 42);
    ExpectAddress(1700000, VariableKind::kNothing, 0, 0);
    ExpectAddress(2000000, VariableKind::kVariable, 0, 0);
    ExpectAddress(2100005, VariableKind::kVariable, 1, 5);
    ExpectAddress(2999999, VariableKind::kVariable, 9, 99999);
    ExpectAddress(3000000, VariableKind::kString, 0, 0);
    ExpectAddress(4000000, VariableKind::kNothing, 0, 0);
    ExpectAddress(8000006, VariableKind::kRandom, 0, 6);
    ExpectAddress(9000105, VariableKind::kSystem, 0, 105);
    ExpectAddress(9100000, VariableKind::kMapEventData, 0, 0);
    ExpectAddress(9179994, VariableKind::kMapEventData, 7999, 4);
    ExpectAddress(9180000, VariableKind::kPartyData, 0, 0);
    ExpectAddress(9180034, VariableKind::kPartyData, 3, 4);
    ExpectAddress(9190003, VariableKind::kNothing, 0, 0);
    ExpectAddress(9900025, VariableKind::kSystemString, 0, 25);
    ExpectAddress(10000000, VariableKind::kNothing, 0, 0);
    ExpectAddress(15000310, VariableKind::kCommonSelf, 3, 10);
    ExpectAddress(15999999, VariableKind::kCommonSelf, 9999, 99);
    ExpectAddress(16000000, VariableKind::kNothing, 0, 0);
    ExpectAddress(1100030205, VariableKind::kDatabaseCell, 0, 302, 5);
    ExpectAddress(1203000000, VariableKind::kNothing, 0, 0);
    ExpectAddress(1305020199, VariableKind::kDatabaseCell, 5, 201, 99);
    ExpectAddress(1099999999, VariableKind::kDatabaseCell, 99, 9999, 99);
    ExpectAddress(1400000000, VariableKind::kNothing, 0, 0);
    ExpectAddress(INT32_MIN, VariableKind::kLiteral, 0, INT32_MIN);
    ExpectAddress(INT32_MAX, VariableKind::kNothing, 0, 0);
    EXPECT_EQ(DecodeVariableId(1000000000).database, DatabaseKind::kUser);
    EXPECT_EQ(DecodeVariableId(1100000000).database, DatabaseKind::kChangeable);
    EXPECT_EQ(DecodeVariableId(1300000000).database, DatabaseKind::kSystem);
    EXPECT_EQ(DatabaseCellId(kChangeableDatabaseBase, 5, 20, 1), 1105002001);
}

}  // namespace
}  // namespace velk
