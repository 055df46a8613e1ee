#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/game_info.h"
#include "game/data/player_settings.h"
#include "game/data/random_source.h"
#include "game/data/variable_store.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"

namespace velk {
namespace {

using testing::Sjis;

// A type with a number item and a string item (kinds 1000, 2000).
void AddType(Database& database, int32_t rows) {
    DbTypeData& type = database.types.emplace_back();
    type.itemKinds = {1000, 2000};
    type.rows.assign(static_cast<size_t>(rows), DbRow{{0}, {""}});
    DbTypeDef& definition = database.typeDefs.emplace_back();
    definition.itemNames = {"number", "text"};
    definition.itemDefaults = {0, 0};
}

class VariableStoreTest : public ::testing::Test {
protected:
    VariableStoreTest() {
        // Types 14 and 15 size the normal variables (100) and spare group 1 (3).
        for (int32_t type = 0; type < 16; ++type) AddType(databases_.system, type == 14 ? 100 : type == 15 ? 3 : 0);
        for (int32_t type = 0; type < 6; ++type) AddType(databases_.changeable, 3);
        AddType(databases_.user, 2);
        databases_.user.SetInt(0, 1, 0, 77);
        databases_.user.SetString(0, 1, 1, "user text");
        owners_.events.count = 5;
        owners_.map.mapId = 3;
        store_ = VariableStore(&interpreter_, &databases_);
    }

    const testing::ReportedBox& LastBox() const { return reporter_.boxes.back(); }
    std::string Place() const { return FormatErrorLocation(); }

    testing::RecordingReporter reporter_;
    testing::FakeOwners owners_;
    testing::FakeInterpreter interpreter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
};

TEST_F(VariableStoreTest, LiteralsReadAsThemselvesAndRefuseWrites) {
    EXPECT_EQ(store_.GetInt(999999), 999999);
    EXPECT_EQ(store_.GetInt(-5), -5);
    EXPECT_TRUE(store_.IsIntId(-5));
    store_.SetInt(-5, 1);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(LastBox().line1, Sjis("格納先IDが1000000未満です => -5"));
    EXPECT_EQ(LastBox().line2, Place());
    EXPECT_EQ(store_.GetString(5), "<<ERROR>>");
    EXPECT_EQ(store_.GetString(-5), "<<ERROR>>");
    store_.SetString(12, "x");
    EXPECT_EQ(LastBox().line1,
              Sjis("格納先 12 代入値「x」  文字列操作：「文字列」を格納すべき場所に「変数」を代入しようとしました"));
}

TEST_F(VariableStoreTest, SelfVariablesGrowOnWriteForTheMapInForce) {
    store_.SetInt(1000000 + 500 * 10 + 9, 42);
    const auto& self = store_.Contents().selfVariables;
    ASSERT_EQ(self.size(), 4u);
    EXPECT_EQ(self[3].size(), 501u);
    EXPECT_EQ(self[3][500].size(), 10u);
    EXPECT_EQ(store_.GetInt(1005009), 42);
    EXPECT_EQ(store_.GetInt(1105009), 42);  // the hundred-thousands digit plays no part
    EXPECT_EQ(store_.GetInt(1005019), 0);
    owners_.map.mapId = 2;
    EXPECT_EQ(store_.GetInt(1005009), 0);
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(VariableStoreTest, TheMapOverrideServesOneAccess) {
    store_.SetMapOverride(7);
    store_.SetInt(1000001, 5);
    EXPECT_EQ(store_.MapOverride(), -1);
    EXPECT_EQ(store_.GetInt(1000001), 0);  // map 3 again
    store_.SetMapOverride(7);
    EXPECT_EQ(store_.GetInt(1000001), 5);
    EXPECT_EQ(store_.GetInt(1000001), 0);
    // String reads leave it; string writes take it; database reads leave it.
    store_.SetMapOverride(7);
    store_.GetString(3000000);
    store_.GetInt(1000000000);
    EXPECT_EQ(store_.MapOverride(), 7);
    store_.SetString(3000000, "s");
    EXPECT_EQ(store_.MapOverride(), -1);
}

TEST_F(VariableStoreTest, WithoutAMapThereIsNoSelfVariable) {
    owners_.map.mapId = -1;
    store_.SetInt(1000003, 9);
    EXPECT_TRUE(store_.Contents().selfVariables.empty());
    EXPECT_EQ(store_.GetInt(1000003), 0);
    // Map ids no storage could hold are refused, not allocated.
    store_.SetMapOverride(2000000000);
    store_.SetInt(1000003, 9);
    store_.SetMapOverride(1 << 20);
    store_.SetInt(1000003, 9);
    EXPECT_TRUE(store_.Contents().selfVariables.empty());
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(VariableStoreTest, SelfVariablesOfMapsBeyondTheMapListAreStored) {
    // Whatever the system database lists, a write grows the storage to its map.
    for (int32_t map : {10000, 250000, (1 << 20) - 1}) {
        store_.SetMapOverride(map);
        store_.SetInt(1000047, 5);
        ASSERT_EQ(store_.Contents().selfVariables.size(), static_cast<size_t>(map) + 1);
        store_.SetMapOverride(map);
        EXPECT_EQ(store_.GetInt(1000047), 5) << map;
    }
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(VariableStoreTest, OldCommonSelfVariablesAreRefusedEveryWay) {
    EXPECT_EQ(store_.GetInt(1500000), 0);
    EXPECT_EQ(LastBox().line1, Sjis("読込先IDが1500000～1600000[旧ｺﾓﾝｲﾍﾞﾝﾄｾﾙﾌ変数]です、読み込めません"));
    store_.SetInt(1599999, 1);
    EXPECT_EQ(LastBox().line1, Sjis("格納先IDが1500000～1600000[旧ｺﾓﾝｲﾍﾞﾝﾄｾﾙﾌ変数指定]です、格納できません"));
    EXPECT_EQ(store_.GetString(1500001), "<<ERROR>>");
    EXPECT_EQ(reporter_.boxes.size(), 3u);
    store_.SetString(1500001, "x");
    EXPECT_EQ(LastBox().line1, Sjis("格納先IDが1500000～1600000[旧ｺﾓﾝｲﾍﾞﾝﾄｾﾙﾌ変数指定]です､格納できません"));
    EXPECT_EQ(LastBox().line2, Place());
}

TEST_F(VariableStoreTest, RelativeCommonSelfFormsThatReachTheStoreNameNothing) {
    EXPECT_EQ(store_.GetInt(1600001), 0);
    store_.SetInt(1600001, 4);
    EXPECT_EQ(store_.GetString(1600006), "<<ERROR>>");
    EXPECT_TRUE(reporter_.boxes.empty());
    store_.SetString(1600006, "x");
    EXPECT_EQ(reporter_.boxes.size(), 1u);
}

TEST_F(VariableStoreTest, CommonSelfStringSlotsAreExactlyFiveToNine) {
    // The relative form, its resolved form and the store's own form alike.
    struct Case {
        int32_t slot;
        bool integer;
    };
    const Case cases[] = {{0, true}, {4, true}, {5, false}, {9, false}, {10, true}, {99, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(store_.IsIntId(1600000 + c.slot), c.integer) << c.slot;
        EXPECT_EQ(store_.IsIntId(15000200 + c.slot), c.integer) << c.slot;
        EXPECT_EQ(store_.ResolveIntPointer(1600000 + c.slot, 2) != nullptr, c.integer) << c.slot;
        EXPECT_EQ(store_.ResolveIntPointer(15000200 + c.slot, 2) != nullptr, c.integer) << c.slot;
        // Strings go to slots 5-9, integers to the others; the wrong kind is refused.
        const size_t boxes = reporter_.boxes.size();
        if (c.integer) {
            store_.SetInt(15000200 + c.slot, 40 + c.slot);
            EXPECT_EQ(store_.GetInt(15000200 + c.slot), 40 + c.slot);
            store_.SetString(15000200 + c.slot, "s");
        } else {
            store_.SetString(15000200 + c.slot, "s" + std::to_string(c.slot));
            EXPECT_EQ(store_.GetString(15000200 + c.slot), "s" + std::to_string(c.slot));
            store_.SetInt(15000200 + c.slot, 1);
        }
        EXPECT_EQ(reporter_.boxes.size(), boxes + 1) << "the wrong kind for slot " << c.slot;
    }
    EXPECT_EQ(store_.IsIntId(1600100), true) << "beyond the relative form's slots";
}

TEST_F(VariableStoreTest, NormalAndSpareVariablesHoldWhatTheSystemDatabaseSizes) {
    store_.SetInt(2000099, -3);
    EXPECT_EQ(store_.GetInt(2000099), -3);
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_EQ(store_.GetInt(2000100), 0);
    store_.SetInt(2000100, 1);
    EXPECT_EQ(LastBox().line1, Place());
    EXPECT_EQ(LastBox().line2, Sjis("エラー：変数の保存領域が確保されていません、指定変数のサイズを増やしてください"));
    EXPECT_EQ(LastBox().line3, Sjis("通常変数 100"));
    store_.SetInt(2100005, 1);
    EXPECT_EQ(LastBox().line3, Sjis("予備変数1 5"));
    store_.SetInt(2999999, 1);
    EXPECT_EQ(LastBox().line3, Sjis("予備変数9 99999"));
}

TEST_F(VariableStoreTest, FifteenTypesOrFewerLeaveEveryGroupEmpty) {
    databases_.system.types.resize(12);
    store_.Resize();
    store_.SetInt(2000000, 1);
    EXPECT_EQ(LastBox().line3, Sjis("通常変数 0"));
    EXPECT_EQ(store_.Contents().groups.size(), 10u);
}

TEST_F(VariableStoreTest, StringVariablesGrowOnWriteAndRefuseIntegerReads) {
    store_.SetString(3000005, "abc");
    ASSERT_EQ(store_.Contents().strings.size(), 6u);
    EXPECT_EQ(store_.Contents().strings[0], "");
    EXPECT_EQ(store_.GetString(3000005), "abc");
    EXPECT_EQ(store_.GetString(3000006), "");
    store_.SetInt(3000005, 1);
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_EQ(store_.GetInt(3000005), -1);
    EXPECT_EQ(LastBox().line1, Sjis("「変数」呼び出し時の呼び出しIDが不適切です => ID 3000005"));
    EXPECT_FALSE(store_.IsIntId(3999999));
}

TEST_F(VariableStoreTest, AStringLongerThanSixteenMebibytesIsRefusedAndTheOldTextStays) {
    const std::string fits(size_t{16} << 20, 'a');
    store_.SetString(3000002, "old");
    store_.SetString(1100000000 + 1 * 1000000 + 2 * 100 + 1, "cell");
    store_.SetString(3000001, fits);
    EXPECT_EQ(store_.GetString(3000001).size(), fits.size());
    EXPECT_TRUE(reporter_.boxes.empty());
    for (VariableId id : {3000002, 1100000000 + 1 * 1000000 + 2 * 100 + 1}) {
        const std::string before = store_.GetString(id);
        store_.SetString(id, fits + "b");
        EXPECT_EQ(store_.GetString(id), before) << id;
    }
    ASSERT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(LastBox().line1, Sjis("エラー：文字列が長すぎるため格納しませんでした（上限 16777216 バイト）"));
    EXPECT_EQ(LastBox().line3, Sjis("格納先 1101000201"));
}

TEST_F(VariableStoreTest, StringsTogetherStayWithinTheirBoundWhereverTheyAreHeld) {
    struct RestoredBound {
        ~RestoredBound() { SetHeldStringLimit(kMaxHeldStringBytes); }
    } restored;
    SetHeldStringLimit(4000);
    const std::string kilo(1000, 'k');  // 1001 bytes held
    const VariableId cell = 1100000000 + 1 * 1000000 + 2 * 100 + 1;
    for (VariableId id : {VariableId{3000001}, VariableId{15000305}, cell, VariableId{3000002}})
        store_.SetString(id, kilo);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(LastBox().line1, Sjis("エラー：文字列が長すぎるため格納しませんでした（上限 4000 バイト）"));
    EXPECT_EQ(LastBox().line3, Sjis("格納先 3000002"));
    EXPECT_EQ(store_.GetString(3000002), "");
    // A short text gives back what the long one held, and so do rows cut
    // outside the store.
    store_.SetString(3000001, "s");
    store_.SetString(3000002, kilo);
    databases_.changeable.SetDataCount(1, 0);
    store_.SetString(3000003, kilo);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(store_.GetString(3000003), kilo);
}

TEST_F(VariableStoreTest, RandomNumbersAdvanceTheGameRandomSourceOnce) {
    UpdateRandomSeed(2, 1);
    EXPECT_EQ(store_.GetInt(8000000), 0);
    EXPECT_EQ(UpdateRandomSeed(1, 0), 68975585u);
    UpdateRandomSeed(2, 12345);
    EXPECT_EQ(store_.GetInt(8000006), static_cast<int32_t>(222156127u % 7));
    int32_t drawn = store_.GetInt(8999999);
    EXPECT_EQ(drawn, static_cast<int32_t>(UpdateRandomSeed(1, 0) % 1000000));
    store_.SetInt(8000006, 1);
    EXPECT_EQ(store_.GetString(8000006), "<<ERROR>>");
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(VariableStoreTest, CommonEventSelfVariablesSplitIntoIntegersAndStrings) {
    store_.SetInt(15000310, 6);
    EXPECT_EQ(store_.GetInt(15000310), 6);
    store_.SetString(15000309, "slot nine");
    EXPECT_EQ(store_.Contents().commonSelfStrings[3][4], "slot nine");
    EXPECT_EQ(store_.GetString(15000309), "slot nine");
    EXPECT_EQ(store_.GetInt(15000309), 0);
    EXPECT_EQ(store_.GetString(15000310), "<<ERROR>>");
    EXPECT_TRUE(reporter_.boxes.empty());

    store_.SetInt(15000307, 1);
    EXPECT_EQ(LastBox().line1, Sjis("整数をコモンセルフの文字列域に代入しようとしました"));
    EXPECT_EQ(LastBox().line2, "");
    store_.SetString(15000310, "x");
    EXPECT_EQ(LastBox().line1, Sjis("文字列をコモンセルフの整数域に代入しようとしました"));
    EXPECT_EQ(LastBox().line3, Sjis("格納先 15000310"));

    // Beyond the loaded common events integers go nowhere; strings grow.
    store_.SetInt(15000900, 1);
    EXPECT_EQ(store_.GetInt(15000900), 0);
    store_.SetString(15000905, "far");
    EXPECT_EQ(store_.Contents().commonSelfStrings.size(), 10u);
    EXPECT_EQ(store_.GetString(15000905), "far");
}

TEST_F(VariableStoreTest, CharacterDataReadsAndWritesTheirFields) {
    owners_.map.events[12] = {7, -3, 16, ""};
    EXPECT_EQ(store_.GetInt(9100120), 3);
    EXPECT_EQ(store_.GetInt(9100121), -1);  // -3 / 2 truncates toward zero
    EXPECT_EQ(store_.GetInt(9100124), 16);
    EXPECT_EQ(store_.GetInt(9100129), 0);
    store_.SetInt(9100120, 5);
    store_.SetInt(9100123, 11);
    store_.SetInt(9100124, -2);
    store_.SetInt(9100127, 99);
    EXPECT_EQ(owners_.map.events[12].halfTileX, 10);
    EXPECT_EQ(owners_.map.events[12].halfTileY, 11);
    EXPECT_EQ(owners_.map.events[12].height, -2);
    EXPECT_EQ(store_.GetInt(9100130), 0);  // no event 13
    store_.SetInt(9100131, 1);

    owners_.map.party = {{4, 6, 0, "hero.png"}, {8, 10, 1, "f.png"}};
    EXPECT_EQ(store_.GetInt(9180000), 2);
    EXPECT_EQ(store_.GetInt(9180011), 5);
    EXPECT_EQ(store_.GetInt(9180020), -1);  // no second follower
    EXPECT_EQ(store_.GetInt(9180025), -1);
    store_.SetInt(9180011, 1);
    EXPECT_EQ(owners_.map.party[1].halfTileY, 2);
    store_.SetInt(9180020, 1);
    EXPECT_EQ(store_.GetInt(9190000), 0);
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(VariableStoreTest, DatabaseCellsFollowTheRulesOfTheirDatabase) {
    EXPECT_EQ(store_.GetInt(DatabaseCellId(kUserDatabaseBase, 0, 1, 0)), 77);
    EXPECT_EQ(store_.GetString(DatabaseCellId(kUserDatabaseBase, 0, 1, 1)), "user text");
    store_.SetInt(DatabaseCellId(kUserDatabaseBase, 0, 1, 0), 5);
    EXPECT_EQ(databases_.user.GetInt(0, 1, 0), 77);
    EXPECT_TRUE(reporter_.boxes.empty());
    store_.SetString(DatabaseCellId(kUserDatabaseBase, 0, 1, 1), "no");
    EXPECT_EQ(reporter_.boxes.size(), 1u);

    // Reading past the changeable rows grows the type first.
    EXPECT_EQ(store_.GetInt(DatabaseCellId(kChangeableDatabaseBase, 5, 20, 0)), 0);
    EXPECT_EQ(databases_.changeable.GetDataCount(5), 21);
    store_.SetInt(DatabaseCellId(kChangeableDatabaseBase, 4, 30, 0), 9);
    EXPECT_EQ(databases_.changeable.GetInt(4, 30, 0), 9);
    store_.SetString(DatabaseCellId(kChangeableDatabaseBase, 4, 30, 1), "t");
    EXPECT_EQ(store_.GetString(DatabaseCellId(kChangeableDatabaseBase, 4, 30, 1)), "t");
    EXPECT_EQ(reporter_.boxes.size(), 1u);

    store_.SetInt(DatabaseCellId(kChangeableDatabaseBase, 4, 0, 1), 9);
    EXPECT_EQ(LastBox().line1, Sjis("可変DBの「変数」を格納すべき場所に「文字列変数」を代入しようとしました"));
    EXPECT_EQ(LastBox().line3, Sjis("格納先 1104000001"));
    store_.SetString(DatabaseCellId(kChangeableDatabaseBase, 4, 0, 0), "x");
    EXPECT_EQ(LastBox().line1, Sjis("DBの「文字列」を格納すべき場所に「変数」を代入しようとしました"));

    // A database given in place of the changeable one takes the accesses.
    Database saved = databases_.changeable;
    store_.SetInt(DatabaseCellId(kChangeableDatabaseBase, 0, 1, 0), 123, &saved);
    EXPECT_EQ(saved.GetInt(0, 1, 0), 123);
    EXPECT_EQ(store_.GetInt(DatabaseCellId(kChangeableDatabaseBase, 0, 1, 0), 0, &saved), 123);
    EXPECT_EQ(databases_.changeable.GetInt(0, 1, 0), 0);
    store_.SetString(DatabaseCellId(kChangeableDatabaseBase, 0, 1, 0), "x", &saved);
    EXPECT_EQ(LastBox().line1, Sjis("可変DBの「文字列」を格納すべき場所に「変数」を代入しようとしました"));

    size_t before = reporter_.boxes.size();
    store_.SetInt(DatabaseCellId(kSystemDatabaseBase, 1, 0, 0), 3);
    EXPECT_EQ(reporter_.boxes[before].line1, Sjis("格納先 1301000000 代入値 3  変数処理:エラー、代入できません"));
    store_.SetInt(1203000000, 3);
    store_.SetInt(1400000000, 3);
    EXPECT_EQ(reporter_.boxes.size(), before + 3);
    EXPECT_EQ(store_.GetInt(1203000000), 0);
    EXPECT_EQ(store_.GetString(1203000000), "<<ERROR>>");

    // A changeable type that does not exist is reported once.
    before = reporter_.boxes.size();
    store_.SetInt(DatabaseCellId(kChangeableDatabaseBase, 50, 0, 0), 1);
    ASSERT_EQ(reporter_.boxes.size(), before + 1);
    EXPECT_EQ(LastBox().line1, Sjis("このDBにタイプ50は存在しません、対象DBを間違えていないかご確認下さい"));
}

TEST_F(VariableStoreTest, IsIntIdAsksTheItemKindOfDatabaseCells) {
    EXPECT_TRUE(store_.IsIntId(DatabaseCellId(kChangeableDatabaseBase, 0, 0, 0)));
    EXPECT_FALSE(store_.IsIntId(DatabaseCellId(kChangeableDatabaseBase, 0, 0, 1)));
    EXPECT_FALSE(store_.IsIntId(DatabaseCellId(kChangeableDatabaseBase, 0, 0, 2)));
    EXPECT_FALSE(store_.IsIntId(DatabaseCellId(kSystemDatabaseBase, 40, 0, 0)));
    EXPECT_TRUE(store_.IsIntId(DatabaseCellId(kUserDatabaseBase, 0, 9999, 0)));
    EXPECT_TRUE(store_.IsIntId(1203000000));
    EXPECT_FALSE(store_.IsIntId(9900000));
    EXPECT_TRUE(store_.IsIntId(9000000));
}

TEST_F(VariableStoreTest, ResolvedPointersReachTheSlotsThemselves) {
    int32_t* normal = store_.ResolveIntPointer(2000005, -1);
    ASSERT_NE(normal, nullptr);
    *normal = 31;
    EXPECT_EQ(store_.GetInt(2000005), 31);
    EXPECT_EQ(store_.ResolveIntPointer(2000100, -1), nullptr);
    ASSERT_NE(store_.ResolveIntPointer(1600010, 2), nullptr);
    *store_.ResolveIntPointer(1600010, 2) = 4;
    EXPECT_EQ(store_.GetInt(15000210), 4);
    EXPECT_EQ(store_.ResolveIntPointer(1600010, -1), nullptr);
    EXPECT_EQ(store_.ResolveIntPointer(1600010, 5), nullptr);
    EXPECT_NE(store_.ResolveIntPointer(15000412, 0), nullptr);
    EXPECT_EQ(store_.ResolveIntPointer(15000506, 0), nullptr);
    EXPECT_EQ(store_.ResolveIntPointer(1000000, 0), nullptr);
    EXPECT_EQ(store_.ResolveIntPointer(9000000, 0), nullptr);
    EXPECT_NE(store_.ResolveIntPointer(DatabaseCellId(kChangeableDatabaseBase, 1, 2, 0), -1), nullptr);
    EXPECT_EQ(store_.ResolveIntPointer(DatabaseCellId(kChangeableDatabaseBase, 1, 2, 1), -1), nullptr);
}

TEST_F(VariableStoreTest, BlockSystemVariablesKeepTheirWidthsAndLimits) {
    SystemVariableBlock& block = interpreter_.block;
    store_.SetInt(9000000, 12);
    EXPECT_EQ(block.sysVar0, 12);
    store_.SetInt(9000005, 70000);
    EXPECT_EQ(store_.GetInt(9000005), 4464);
    store_.SetInt(9000041, -2);
    EXPECT_EQ(store_.GetInt(9000041), -2);
    store_.SetInt(9000014, 200);
    EXPECT_EQ(store_.GetInt(9000014), -56);
    store_.SetInt(9000015, -8);
    EXPECT_EQ(store_.GetInt(9000015), 1);
    store_.SetInt(9000022, 9);
    EXPECT_EQ(store_.GetInt(9000022), 3);
    block.textPromptState = -1;
    store_.SetInt(9000039, 5);
    store_.SetInt(9000024, 5);
    EXPECT_EQ(store_.GetInt(9000039), -1);
    EXPECT_EQ(store_.GetInt(9000024), 0);
    store_.SetInt(9000089, 17);
    EXPECT_EQ(block.slotValues[2], 17);
    EXPECT_EQ(store_.GetInt(9000091), -1);
    for (int32_t unknown : {26, 58, 106}) {
        store_.SetInt(9000000 + unknown, 5);
        EXPECT_EQ(store_.GetInt(9000000 + unknown), -1) << unknown;
    }
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(VariableStoreTest, OwnedSystemVariablesGoToTheirOwners) {
    owners_.scene.messageWindowOpen = 1;
    owners_.scene.choiceItem = 4;
    interpreter_.running = true;
    EXPECT_EQ(store_.GetInt(9000012), 1);
    EXPECT_EQ(store_.GetInt(9000013), 1);
    EXPECT_EQ(store_.GetInt(9000020), 4);
    store_.SetInt(9000020, 9);
    EXPECT_EQ(owners_.scene.choiceItem, 4);
    EXPECT_EQ(store_.GetInt(9000023), 3);
    owners_.scene.keptMap = 8;
    EXPECT_EQ(store_.GetInt(9000023), 8);
    store_.SetInt(9000033, 7);
    EXPECT_EQ(owners_.scene.frameSkip, 2);
    store_.SetInt(9000033, -1);
    EXPECT_EQ(store_.GetInt(9000033), 0);
    owners_.map.heroMoving = true;
    EXPECT_EQ(store_.GetInt(9000035), 1);
    EXPECT_EQ(store_.GetInt(9000043), 430);
    EXPECT_EQ(store_.GetInt(9000048), 480);

    // Each reads its own: 52-54 the keyboard's three buttons, 55-57 the pad's.
    const int32_t keys[] = {144, 145, 146, 301, 302, 303};
    for (int32_t i = 0; i < 6; ++i)
        EXPECT_EQ(store_.GetInt(9000052 + i), keys[i]) << 52 + i;
    store_.SetInt(9000056, 305);
    EXPECT_EQ(owners_.input.keys[1][1], 305);
    store_.SetInt(9000072, 200);
    EXPECT_EQ(store_.GetInt(9000072), 200);
    store_.SetInt(9000074, 5);
    EXPECT_TRUE(owners_.input.cursorShown);
    store_.SetInt(9000074, 0);
    EXPECT_FALSE(owners_.input.cursorShown);
    EXPECT_EQ(store_.GetInt(9000074), 0);
    EXPECT_EQ(interpreter_.block.sysVar74, 0);

    EXPECT_EQ(store_.GetInt(9000082), 58);
    store_.SetInt(9000077, 1);
    EXPECT_EQ(store_.GetInt(9000077), 2024);

    GlobalGameInfo().settings[0] = 16;
    EXPECT_EQ(store_.GetInt(9000084), 0);
    GlobalGameInfo().settings[0] = 32;
    EXPECT_EQ(store_.GetInt(9000084), 1);
    EXPECT_EQ(store_.GetInt(9000085), 1);
    owners_.scene.uses3D = true;
    EXPECT_EQ(store_.GetInt(9000085), 0);
}

TEST_F(VariableStoreTest, VolumeAndSpeedWritesStartSoundChanges) {
    interpreter_.block.sysVar100 = 50;
    store_.SetInt(9000095, 80);
    ASSERT_EQ(owners_.sound.changes.size(), 1u);
    EXPECT_EQ(owners_.sound.changes[0], std::make_pair(SoundChannel::kMusic, 40));
    EXPECT_EQ(store_.GetInt(9000095), 40);
    store_.SetInt(9000097, 60);
    EXPECT_EQ(owners_.sound.changes[1], std::make_pair(SoundChannel::kBackgroundSound, 60));
    store_.SetInt(9000096, 150);
    EXPECT_EQ(store_.GetInt(9000096), 150);
    store_.SetInt(9000098, 70);
    EXPECT_EQ(owners_.sound.speed[1], 70);

    // Base volumes: the playing sound's volume becomes base x g / max(g, 1)
    // with g its recorded reference, so the base itself while g is 1 or
    // more; the stored base is never negative.
    owners_.sound.reference = {80, 70};
    store_.SetInt(9000100, 90);
    EXPECT_EQ(owners_.sound.changes.back(), std::make_pair(SoundChannel::kMusic, 90));
    EXPECT_EQ(store_.GetInt(9000100), 90);
    store_.SetInt(9000101, -5);
    EXPECT_EQ(owners_.sound.changes.back(), std::make_pair(SoundChannel::kBackgroundSound, -5));
    EXPECT_EQ(store_.GetInt(9000101), 0);
    owners_.sound.reference = {0, -2};
    store_.SetInt(9000100, 60);
    EXPECT_EQ(owners_.sound.changes.back(), std::make_pair(SoundChannel::kMusic, 0));
    store_.SetInt(9000101, 60);
    EXPECT_EQ(owners_.sound.changes.back(), std::make_pair(SoundChannel::kBackgroundSound, -120));
}

TEST_F(VariableStoreTest, ScrollWritesStayInsideTheMap) {
    GlobalGameInfo().settings[0] = 32;
    store_.SetInt(9000104, 1000);
    EXPECT_EQ(store_.GetInt(9000104), 320);
    EXPECT_EQ(owners_.map.scrollX, 1280);
    store_.SetInt(9000104, -50);
    EXPECT_EQ(store_.GetInt(9000104), 0);
    // The bottom edge is one pixel past the map's last screen.
    store_.SetInt(9000105, 1000);
    EXPECT_EQ(store_.GetInt(9000105), 481);
    owners_.map.loopsX = true;
    owners_.map.loopsY = true;
    store_.SetInt(9000104, -1000);
    EXPECT_EQ(store_.GetInt(9000104), -319);
    store_.SetInt(9000105, -1000);
    EXPECT_EQ(store_.GetInt(9000105), -241);
    store_.SetInt(9000105, 5000);
    EXPECT_EQ(store_.GetInt(9000105), 721);
    GlobalGameInfo().settings[0] = 16;
    store_.SetInt(9000105, 5000);
    EXPECT_EQ(store_.GetInt(9000105), 361);
    GlobalGameInfo().settings[0] = 32;
}

TEST_F(VariableStoreTest, WithoutAnInterpreterSystemVariablesReadZero) {
    VariableStore lone(nullptr, &databases_);
    EXPECT_EQ(lone.GetInt(9000009), 0);
    EXPECT_EQ(lone.GetInt(9000026), 0);
    lone.SetInt(9000033, 2);
    EXPECT_EQ(owners_.scene.frameSkip, 0);
    EXPECT_EQ(lone.GetString(9900026), "");
}

TEST_F(VariableStoreTest, SystemStringsComeFromTheirOwners) {
    EXPECT_EQ(store_.GetString(9900006), "pad2");
    owners_.map.party = {{0, 0, 0, "hero.png"}, {0, 0, 0, "first.png"}};
    EXPECT_EQ(store_.GetString(9900010), "hero.png");
    EXPECT_EQ(store_.GetString(9900011), "first.png");
    EXPECT_EQ(store_.GetString(9900012), "");
    store_.SetString(9900010, "new.png");
    store_.SetString(9900013, "nobody.png");
    EXPECT_EQ(owners_.map.party[0].graphic, "new.png");
    EXPECT_EQ(owners_.map.party.size(), 2u);

    GlobalPlayerSettings().proxy = "";
    store_.SetString(9900020, "proxy.host");
    store_.SetString(9900021, "3128");
    EXPECT_EQ(GlobalPlayerSettings().proxy, "proxy.host");
    EXPECT_EQ(store_.GetString(9900021), "3128");
    GlobalPlayerSettings() = PlayerSettings();

    EXPECT_EQ(store_.GetString(9900025), "last");
    store_.SetString(9900025, "ignored");
    store_.SetString(9900026, Sjis("「"));
    store_.SetString(9900027, Sjis("」"));
    EXPECT_EQ(interpreter_.block.sysString26, Sjis("「"));
    EXPECT_EQ(store_.GetString(9900027), Sjis("」"));
    store_.SetString(9900030, "sky.png");
    EXPECT_EQ(owners_.map.panorama, "sky.png");
    EXPECT_TRUE(owners_.scene.panoramaChanged);
    EXPECT_FALSE(owners_.scene.fogChanged);
    store_.SetString(9900031, "mist.png");
    EXPECT_EQ(store_.GetString(9900031), "mist.png");
    EXPECT_TRUE(owners_.scene.fogChanged);
    EXPECT_EQ(store_.GetString(9900034), "ambience.ogg");
    EXPECT_EQ(store_.GetString(9900049), "choice9");
    EXPECT_EQ(store_.GetString(9900050), "");
    EXPECT_EQ(store_.GetInt(9900025), 0);
    store_.SetInt(9900025, 1);
    EXPECT_TRUE(reporter_.boxes.empty());
}

}  // namespace
}  // namespace velk
