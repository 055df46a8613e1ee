#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "tests/game/data/data_test_support.h"

namespace velk {
namespace {

using testing::Sjis;

// A type with two number items (defaults 7 and 8) and one string item, and
// three rows.
void AddStatsType(Database& database, const std::string& name = "stats") {
    DbTypeData& type = database.types.emplace_back();
    type.itemKinds = {1000, 1001, 2000};
    type.rows.clear();
    for (int32_t row = 0; row < 3; ++row) type.rows.push_back({{row * 10, row * 10 + 1}, {"s" + std::to_string(row)}});
    DbTypeDef& definition = database.typeDefs.emplace_back();
    definition.typeName = name;
    definition.itemNames = {"hp", "mp", "title"};
    definition.dataNames = {"zero", "one", "two"};
    definition.itemDefaults = {7, 8, 0};
}

class DatabaseAccess : public ::testing::Test {
protected:
    void SetUp() override {
        AddStatsType(database_);
        DatabaseReadErrorFlag = 0;
    }
    testing::RecordingReporter reporter_;
    Database database_;
};

TEST_F(DatabaseAccess, ReadsCellsByTheirItemKind) {
    int32_t out = 0;
    EXPECT_EQ(database_.GetInt(0, 2, 1, &out), 21);
    EXPECT_EQ(out, 21);
    std::string text;
    EXPECT_EQ(database_.GetString(0, 1, 2, &text), "s1");
    EXPECT_EQ(text, "s1");
    // The other kind of item reads 0 or "<<ERROR>>" without a message.
    EXPECT_EQ(database_.GetInt(0, 1, 2), 0);
    EXPECT_EQ(database_.GetString(0, 1, 0), "<<ERROR>>");
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_EQ(DatabaseReadErrorFlag, 0);
}

TEST_F(DatabaseAccess, MissingTypesAndRowsAreReportedAndFlagged) {
    EXPECT_EQ(database_.GetInt(4, 0, 0), 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("エラー：存在しないタイプ番号 4 を読みに行っています"));
    EXPECT_EQ(reporter_.boxes[0].line2.rfind(Sjis("処理地点:【マップEv"), 0), 0u);
    EXPECT_EQ(DatabaseReadErrorFlag, 1);

    // A missing row reads the item's default, and 0 where there is none.
    EXPECT_EQ(database_.GetInt(0, 3, 1), 8);
    EXPECT_EQ(reporter_.boxes[1].line1, Sjis("エラー：タイプ 0 に存在しないデータ番号 3 を読みに行っています"));
    EXPECT_EQ(database_.GetInt(0, 3, 9), 0);

    EXPECT_EQ(database_.GetString(5, 0, 0), "<<ERROR>>");
    EXPECT_EQ(reporter_.boxes[3].line1, Sjis("エラー：存在しないタイプ番号を読みに行っています"));
    EXPECT_EQ(database_.GetString(0, 7, 0), "<<ERROR>>");
    EXPECT_EQ(reporter_.boxes[4].line1, Sjis("エラー：存在しないデータ番号を読みに行っています"));
    EXPECT_EQ(database_.GetString(0, 0, 3), "<<ERROR>>");
    EXPECT_EQ(reporter_.boxes[5].line1, Sjis("エラー：存在しない内容番号を読みに行っています"));
    EXPECT_EQ(reporter_.boxes[5].line2, Sjis("Type0 ﾃﾞｰﾀ番号0 内容3(Max3)"));
}

TEST_F(DatabaseAccess, NegativeIndexesAreRefusedQuietly) {
    EXPECT_EQ(database_.GetInt(-1, 0, 0), -1);
    EXPECT_EQ(database_.GetInt(0, -1, 0), -1);
    EXPECT_EQ(database_.GetInt(0, 0, -1), -1);
    EXPECT_EQ(database_.GetInt(0, 0, 3), -1);
    EXPECT_EQ(database_.GetString(-3, 0, 0), "<<ERROR>>");
    EXPECT_EQ(database_.GetIntPtr(-1, 0, 0, true), nullptr);
    EXPECT_EQ(database_.GetIntPtr(0, 0, -1, false), nullptr);
    EXPECT_FALSE(database_.SetInt(0, -1, 0, 5));
    EXPECT_FALSE(database_.SetString(-1, 0, 2, "x"));
    EXPECT_EQ(database_.GetDataCount(-1), -1);
    EXPECT_EQ(database_.GetItemCount(-1), 0);
    EXPECT_EQ(database_.GetItemKindClass(-1, 0), -1);
    EXPECT_EQ(database_.GetItemKindClass(0, 3), -1);
    EXPECT_EQ(database_.GetTypeName(-1), Sjis("×NoData"));
    EXPECT_EQ(database_.GetDataName(0, -1), Sjis("×NoData"));
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(DatabaseAccess, WritesOnlyTheMatchingKind) {
    EXPECT_TRUE(database_.SetInt(0, 1, 1, -9));
    EXPECT_EQ(database_.GetInt(0, 1, 1), -9);
    EXPECT_FALSE(database_.SetInt(0, 1, 2, 5));
    EXPECT_TRUE(database_.SetString(0, 1, 2, Sjis("勇者")));
    EXPECT_EQ(database_.GetString(0, 1, 2), Sjis("勇者"));
    EXPECT_FALSE(database_.SetString(0, 1, 0, "x"));
    EXPECT_FALSE(database_.SetInt(0, 3, 0, 1));
    int32_t* cell = database_.GetIntPtr(0, 2, 0, true);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(*cell, 20);
    EXPECT_EQ(database_.GetIntPtr(0, 2, 2, true), nullptr);
    EXPECT_EQ(*database_.GetIntPtr(0, 2, 2, false), 2000);
}

TEST_F(DatabaseAccess, KindsWhoseSlotTheRowsDoNotHoldReadNothing) {
    database_.types[0].itemKinds[1] = 1005;
    EXPECT_EQ(database_.GetInt(0, 0, 1), 0);
    EXPECT_FALSE(database_.SetInt(0, 0, 1, 3));
    EXPECT_EQ(database_.GetIntPtr(0, 0, 1, true), nullptr);
}

TEST_F(DatabaseAccess, GrowingRowsGivesTheNewOnesTheDefaults) {
    database_.SetDataCount(0, 5);
    ASSERT_EQ(database_.GetDataCount(0), 5);
    EXPECT_EQ(database_.GetInt(0, 3, 0), 7);
    EXPECT_EQ(database_.GetInt(0, 4, 1), 8);
    EXPECT_EQ(database_.GetString(0, 4, 2), "");
    EXPECT_EQ(database_.GetInt(0, 2, 0), 20);
    EXPECT_EQ(database_.typeDefs[0].dataNames.size(), 5u);
    database_.SetDataCount(0, 1);
    EXPECT_EQ(database_.GetDataCount(0), 1);
    EXPECT_EQ(database_.typeDefs[0].dataNames.size(), 1u);
    database_.SetDataCount(0, -4);
    EXPECT_EQ(database_.GetDataCount(0), -1);
    // A type without rows counts -1: ten more gives nine.
    database_.SetDataCount(0, database_.GetDataCount(0) + 10);
    EXPECT_EQ(database_.GetDataCount(0), 9);
    database_.SetDataCount(3, 2);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("このDBにタイプ3は存在しません、対象DBを間違えていないかご確認下さい"));
}

TEST_F(DatabaseAccess, ResettingARowRestoresTheDefaults) {
    database_.ResetData(0, 1);
    EXPECT_EQ(database_.GetInt(0, 1, 0), 7);
    EXPECT_EQ(database_.GetInt(0, 1, 1), 8);
    EXPECT_EQ(database_.GetString(0, 1, 2), "");
    EXPECT_EQ(database_.GetInt(0, 2, 0), 20);
    database_.ResetData(0, 99);
    database_.ResetData(-2, 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("DB初期化:初期化しようとしたタイプ番号-2がありません"));
}

TEST_F(DatabaseAccess, DataNamesComeFromTheirSource) {
    EXPECT_EQ(database_.GetDataName(0, 1), "one");
    database_.types[0].dataNameSource = 1;
    EXPECT_EQ(database_.GetDataName(0, 1), "s1");
    // Source 2 borrows from the nearest earlier type whose source is not 2.
    database_.types[0].dataNameSource = 0;
    AddStatsType(database_, "second");
    AddStatsType(database_, "third");
    database_.types[1].dataNameSource = 2;
    database_.types[2].dataNameSource = 2;
    database_.typeDefs[2].dataNames = {"a", "b", "c", "d"};
    EXPECT_EQ(database_.GetDataName(2, 2), "two");
    EXPECT_EQ(database_.GetDataName(2, 3), Sjis("×NoData"));
    database_.types[2].dataNameSource = 9;
    EXPECT_EQ(database_.GetDataName(2, 0), "");
}

TEST(DatabaseNameMaps, TheLowestNumberWinsAndMissingNamesCount) {
    DatabaseSet databases;
    AddStatsType(databases.user, "same");
    AddStatsType(databases.user, "same");
    databases.user.typeDefs[1].dataNames = {"x", "x", "x"};
    databases.user.types.emplace_back();  // a type without a definition
    AddStatsType(databases.changeable, "c");
    BuildNameMaps(databases);
    EXPECT_EQ(databases.typeNameMaps[kCommandUserDatabase].at("same"), 0);
    EXPECT_EQ(databases.typeNameMaps[kCommandUserDatabase].at(Sjis("×NoData")), 2);
    EXPECT_EQ(databases.dataNameMaps[kCommandUserDatabase][1].at("x"), 0);
    EXPECT_EQ(databases.itemNameMaps[kCommandUserDatabase][0].at("title"), 2);
    EXPECT_EQ(databases.typeNameMaps[kCommandChangeableDatabase].at("c"), 0);
    EXPECT_TRUE(databases.typeNameMaps[kCommandSystemDatabase].empty());
    EXPECT_EQ(databases.ByCommandKind(3), nullptr);
}

}  // namespace
}  // namespace velk
