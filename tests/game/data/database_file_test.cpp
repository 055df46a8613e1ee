#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/databases.h"
#include "tests/game/data/data_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/archive/archive_writer.h"
#include "tools/gamedata/database_writer.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk {
namespace {

using gamedata::DatabaseDescription;
using gamedata::DatabaseTypeDescription;
using testing::Sjis;

// Three types, one for each way a type record can start, the middle one with
// items of every kind.
DatabaseDescription ThreeTypes() {
    DatabaseDescription database;
    database.seeds = {12, 250, 3};
    DatabaseTypeDescription& plain = database.types.emplace_back();
    plain.name = Sjis("平凡");
    plain.marker.reset();
    gamedata::AddNumberItem(plain, "a", 5);
    gamedata::AddRow(plain, "r0", {1});

    DatabaseTypeDescription& mixed = database.types.emplace_back();
    mixed.name = Sjis("混合");
    mixed.memo = Sjis("メモ");
    mixed.marker = -1;
    for (int32_t kind : {1000, 2000, 1001, 2001, 3000}) {
        gamedata::DatabaseItemDescription& item = mixed.items.emplace_back();
        item.kind = kind;
        item.name = "item" + std::to_string(kind);
        item.defaultValue = kind / 100;
        item.flag = static_cast<uint8_t>(kind / 1000);
        item.text = "text" + std::to_string(kind);
        item.stringList = {"x", Sjis("選択")};
        item.numberList = {kind, -kind};
    }
    gamedata::AddRow(mixed, Sjis("一行目"), {11, 12}, {Sjis("甲"), "b"});
    gamedata::AddRow(mixed, "second", {21, 22}, {"c", "d"});

    DatabaseTypeDescription& named = database.types.emplace_back();
    named.name = "named";
    named.marker = -7;
    named.dataNameSource = 1;
    gamedata::AddStringItem(named, "name");
    gamedata::AddRow(named, "unused", {}, {"from the row"});
    return database;
}

Database Parsed(const DatabaseDescription& description, DatabaseFileStatus expected = DatabaseFileStatus::kLoaded) {
    std::vector<uint8_t> data = gamedata::WriteDatabaseData(description);
    std::vector<uint8_t> project = gamedata::WriteDatabaseProject(description);
    Database database;
    uint8_t version = 0;
    EXPECT_EQ(ParseDatabaseData(data, database, version), expected);
    EXPECT_EQ(ParseDatabaseProject(project, version, database), DatabaseFileStatus::kLoaded);
    return database;
}

TEST(DatabaseFiles, ReadEveryRecordLayoutTheWriterProduces) {
    Database database = Parsed(ThreeTypes());
    ASSERT_EQ(database.GetTypeCount(), 3);
    EXPECT_EQ(database.types[0].marker, -2);
    EXPECT_EQ(database.types[0].itemKinds, std::vector<int32_t>{1000});
    EXPECT_EQ(database.types[1].marker, -1);
    EXPECT_EQ(database.types[1].dataNameSource, 0);
    EXPECT_EQ(database.types[2].marker, -7);
    EXPECT_EQ(database.types[2].dataNameSource, 1);

    const DbTypeData& mixed = database.types[1];
    ASSERT_EQ(mixed.rows.size(), 2u);
    EXPECT_EQ(mixed.rows[0].numbers, (std::vector<int32_t>{11, 12}));
    EXPECT_EQ(mixed.rows[0].strings, (std::vector<std::string>{Sjis("甲"), "b"}));
    EXPECT_EQ(mixed.rows[1].numbers, (std::vector<int32_t>{21, 22}));

    const DbTypeDef& definition = database.typeDefs[1];
    EXPECT_EQ(definition.typeName, Sjis("混合"));
    EXPECT_EQ(definition.memo, Sjis("メモ"));
    EXPECT_EQ(definition.dataNames, (std::vector<std::string>{Sjis("一行目"), "second"}));
    EXPECT_EQ(definition.itemNames.size(), 5u);
    EXPECT_EQ(definition.itemNames[4], "item3000");
    EXPECT_EQ(definition.itemBytes.size(), 100u);
    EXPECT_EQ(definition.itemBytes[1], 2);
    EXPECT_EQ(definition.itemStrings[2], "text1001");
    EXPECT_EQ(definition.itemStringLists[3], (std::vector<std::string>{"x", Sjis("選択")}));
    EXPECT_EQ(definition.itemNumberLists[4], (std::vector<int32_t>{3000, -3000}));
    EXPECT_EQ(definition.itemDefaults, (std::vector<int32_t>{10, 20, 10, 20, 30}));
}

TEST(DatabaseFiles, VersionOneNinetyTwoProjectsCarryNamesOnly) {
    DatabaseDescription description = ThreeTypes();
    description.version = 192;
    description.closingVersion = 192;
    Database database = Parsed(description);
    const DbTypeDef& definition = database.typeDefs[1];
    EXPECT_EQ(definition.itemNames.size(), 5u);
    EXPECT_EQ(definition.memo, Sjis("メモ"));
    EXPECT_EQ(definition.itemBytes, std::vector<uint8_t>(100, 0));
    EXPECT_EQ(definition.itemDefaults, std::vector<int32_t>(5, 0));
    EXPECT_EQ(definition.itemStrings, std::vector<std::string>(5));
}

TEST(DatabaseFiles, EmptyAndUnscrambledDatabasesRead) {
    DatabaseDescription description;
    Database database = Parsed(description);
    EXPECT_EQ(database.GetTypeCount(), 0);
    EXPECT_TRUE(database.typeDefs.empty());
}

TEST(DatabaseFiles, MoreItemSettingsThanItemsAreKept) {
    DatabaseDescription description;
    DatabaseTypeDescription& type = description.types.emplace_back();
    gamedata::AddNumberItem(type, "only");
    // A project whose lists run longer than the items, as an older editor
    // may have left them.
    ByteWriter project;
    project.WriteU32(1);
    project.WriteString("t");
    project.WriteU32(1);
    project.WriteString("only");
    project.WriteU32(0);
    project.WriteString("");
    project.WriteU32(150);
    for (int i = 0; i < 150; ++i) project.WriteU8(static_cast<uint8_t>(i));
    project.WriteU32(2);
    project.WriteString("s0");
    project.WriteString("s1");
    project.WriteU32(0);
    project.WriteU32(0);
    project.WriteU32(3);
    for (int32_t value : {4, 5, 6}) project.WriteI32(value);
    Database database;
    ASSERT_EQ(ParseDatabaseProject(project.Bytes(), 193, database), DatabaseFileStatus::kLoaded);
    EXPECT_EQ(database.typeDefs[0].itemBytes.size(), 150u);
    EXPECT_EQ(database.typeDefs[0].itemBytes[149], 149);
    EXPECT_EQ(database.typeDefs[0].itemStrings, (std::vector<std::string>{"s0", "s1"}));
    EXPECT_EQ(database.typeDefs[0].itemDefaults, (std::vector<int32_t>{4, 5, 6}));
}

TEST(DatabaseFiles, VersionBytesDecideTheOutcome) {
    DatabaseDescription description = ThreeTypes();
    description.version = 191;
    std::vector<uint8_t> data = gamedata::WriteDatabaseData(description);
    Database database;
    uint8_t version = 0;
    EXPECT_EQ(ParseDatabaseData(data, database, version), DatabaseFileStatus::kBadVersion);
    EXPECT_EQ(database.GetTypeCount(), 0);

    description = ThreeTypes();
    description.closingVersion = 0;
    data = gamedata::WriteDatabaseData(description);
    EXPECT_EQ(ParseDatabaseData(data, database, version), DatabaseFileStatus::kBadClosingByte);
    EXPECT_EQ(database.GetTypeCount(), 3);
}

TEST(DatabaseFiles, EveryCutIsDamagedNeverACrash) {
    std::vector<uint8_t> data = gamedata::WriteDatabaseData(ThreeTypes());
    std::vector<uint8_t> project = gamedata::WriteDatabaseProject(ThreeTypes());
    for (size_t length = 0; length < data.size(); ++length) {
        std::vector<uint8_t> cut(data.begin(), data.begin() + length);
        Database database;
        uint8_t version = 0;
        EXPECT_EQ(ParseDatabaseData(cut, database, version), DatabaseFileStatus::kDamaged) << length;
    }
    for (size_t length = 0; length < project.size(); ++length) {
        Database database;
        EXPECT_EQ(ParseDatabaseProject(std::span(project.data(), length), 193, database),
                  DatabaseFileStatus::kDamaged)
            << length;
    }
}

// The head of an unscrambled data file: ten bytes of seeds and sum, the
// version, the type count.
ByteWriter DataHead(uint32_t types) {
    ByteWriter data;
    for (int i = 0; i < 10; ++i) data.WriteU8(0);
    data.WriteU8(193);
    data.WriteU32(types);
    return data;
}

TEST(DatabaseFiles, CountsBeyondTheFileAreDamage) {
    // No items (rows take no bytes) with row counts beyond the bound, in one
    // type or over two; a marked type with a negative item count.
    const std::vector<int32_t> cases[] = {
        {0, -1}, {0, 0x7FFFFFFF}, {0, kMaxRowsWithoutItems + 1}, {0, 1, 0, kMaxRowsWithoutItems}, {-1, -5}};
    for (const std::vector<int32_t>& fields : cases) {
        ByteWriter data = DataHead(static_cast<uint32_t>(fields.size() / 2));
        for (int32_t field : fields) data.WriteI32(field);
        if (fields[0] == 0) data.WriteU8(193);
        Database database;
        uint8_t version = 0;
        EXPECT_EQ(ParseDatabaseData(data.MutableBytes(), database, version), DatabaseFileStatus::kDamaged)
            << fields[1];
    }
}

TEST(DatabaseFiles, RowsWithoutItemsAreReadWhateverTheFilesSize) {
    // A type without items and 70000 rows in a file of a few dozen bytes;
    // each row is only its record.
    ByteWriter data = DataHead(2);
    data.WriteI32(0);
    data.WriteI32(70000);
    data.WriteI32(1);  // one string item
    data.WriteI32(2000);
    data.WriteI32(1);
    data.WriteString("x");
    data.WriteU8(193);
    Database database;
    uint8_t version = 0;
    ASSERT_EQ(ParseDatabaseData(data.MutableBytes(), database, version), DatabaseFileStatus::kLoaded);
    EXPECT_EQ(database.GetDataCount(0), 70000);
    EXPECT_EQ(database.types[0].rows.back().strings.capacity(), 0u);
    EXPECT_EQ(database.GetString(1, 0, 0), "x");
}

class DatabaseLoading : public ::testing::Test {
protected:
    void WriteDatabase(const DatabaseDescription& description, const std::string& name = "DataBase") {
        std::filesystem::path folder = scratch_.path() / "Data" / "BasicData";
        ASSERT_TRUE(gamedata::WriteFileBytes(folder / (name + ".dat"), gamedata::WriteDatabaseData(description), nullptr));
        ASSERT_TRUE(gamedata::WriteFileBytes(folder / (name + ".project"), gamedata::WriteDatabaseProject(description),
                                             nullptr));
    }
    std::filesystem::path DataFile(const std::string& file) { return scratch_.path() / "Data" / "BasicData" / file; }

    testing::ScratchDir scratch_;
    testing::InFolder inside_{scratch_.path()};
    testing::RecordingReporter reporter_;
};

TEST_F(DatabaseLoading, FindsItsFilesInAnArchiveOfTheDataFolder) {
    tools::ArchiveBuilder archive;
    archive.AddFile("BasicData\\DataBase.dat", gamedata::WriteDatabaseData(ThreeTypes()));
    archive.AddFile("BasicData\\DataBase.project", gamedata::WriteDatabaseProject(ThreeTypes()));
    ASSERT_TRUE(gamedata::WriteFileBytes(scratch_.path() / "Data.arc", archive.Build(), nullptr));
    Database database;
    EXPECT_TRUE(database.Load("BasicData\\DataBase"));
    EXPECT_EQ(database.GetTypeCount(), 3);
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(DatabaseLoading, MatchesFileNamesWhateverTheirCase) {
    std::filesystem::path folder = scratch_.path() / "data" / "basicdata";
    ASSERT_TRUE(gamedata::WriteFileBytes(folder / "database.DAT", gamedata::WriteDatabaseData(ThreeTypes()), nullptr));
    ASSERT_TRUE(gamedata::WriteFileBytes(folder / "DATABASE.project", gamedata::WriteDatabaseProject(ThreeTypes()),
                                         nullptr));
    Database database;
    EXPECT_TRUE(database.Load("BasicData\\DataBase"));
    EXPECT_EQ(database.GetTypeCount(), 3);
    EXPECT_EQ(database.typeDefs.size(), 3u);
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(DatabaseLoading, AMissingFileEndsTheProgramAfterItsMessage) {
    Database database;
    EXPECT_FALSE(database.Load("BasicData\\DataBase"));
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line1,
              Sjis("データベースファイル読み込みに失敗、強制終了します。\n\r\n\rData\\BasicData\\DataBase.dat\r\n"
                   "のファイルがあるか確認してください"));
    EXPECT_EQ(reporter_.messages[0].line2, Sjis("読み込みエラー"));
    EXPECT_EQ(reporter_.exitCodes, std::vector<int>{1});

    WriteDatabase(ThreeTypes());
    std::filesystem::remove(DataFile("DataBase.project"));
    EXPECT_FALSE(database.Load("BasicData\\DataBase"));
    EXPECT_NE(reporter_.messages.back().line1.find("DataBase.project"), std::string::npos);
    EXPECT_EQ(reporter_.exitCodes.size(), 2u);
}

TEST_F(DatabaseLoading, AWrongVersionByteShowsTheDamagedOrOldMessage) {
    DatabaseDescription description = ThreeTypes();
    description.version = 100;
    WriteDatabase(description);
    Database database;
    EXPECT_FALSE(database.Load("BasicData\\DataBase"));
    description = ThreeTypes();
    description.closingVersion = 1;
    WriteDatabase(description);
    Database second;
    EXPECT_FALSE(second.Load("BasicData\\DataBase"));
    EXPECT_EQ(second.GetTypeCount(), 3);
    EXPECT_TRUE(second.typeDefs.empty());
    ASSERT_EQ(reporter_.messages.size(), 2u);
    for (const testing::ReportedBox& message : reporter_.messages) {
        EXPECT_EQ(message.line1, Sjis("データベースファイル\nBasicData\\DataBaseが\n破損しているか、バージョンが古い可能性があります。"));
        EXPECT_EQ(message.line2, "MsgBox");
    }
    EXPECT_TRUE(reporter_.exitCodes.empty());
}

TEST_F(DatabaseLoading, ATamperedFileEndsTheProgramThroughTheErrorBox) {
    WriteDatabase(ThreeTypes());
    std::vector<uint8_t> data = gamedata::WriteDatabaseData(ThreeTypes());
    data[2] ^= 1;  // the stored sum
    ASSERT_TRUE(gamedata::WriteFileBytes(DataFile("DataBase.dat"), data, nullptr));
    Database database;
    EXPECT_FALSE(database.Load("BasicData\\DataBase"));
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_NE(reporter_.boxes[0].line1.find("Data\\BasicData\\DataBase.dat"), std::string::npos);
    EXPECT_EQ(reporter_.exitCodes, std::vector<int>{1});
}

TEST_F(DatabaseLoading, StartUpGivesTheSoundTypesTenSpareRows) {
    DatabaseDescription system;
    for (int type = 0; type < 4; ++type) {
        DatabaseTypeDescription& sound = system.types.emplace_back();
        gamedata::AddStringItem(sound, "file");
        gamedata::AddNumberItem(sound, "volume", 100);
        for (int row = 0; row < type; ++row) gamedata::AddRow(sound, "", {80}, {"f"});
    }
    WriteDatabase(system, "SysDataBase");
    WriteDatabase(ThreeTypes(), "DataBase");
    WriteDatabase(ThreeTypes(), "CDataBase");
    DatabaseSet databases;
    LoadDatabases(databases);
    EXPECT_EQ(databases.system.GetDataCount(0), -1);
    EXPECT_EQ(databases.system.GetDataCount(1), 11);
    EXPECT_EQ(databases.system.GetDataCount(2), 12);
    EXPECT_EQ(databases.system.GetDataCount(3), 13);
    EXPECT_EQ(databases.system.GetInt(3, 12, 1), 100);  // a spare row takes the item's default
    EXPECT_EQ(databases.user.GetTypeCount(), 3);
    EXPECT_EQ(databases.changeable.GetTypeCount(), 3);
    EXPECT_TRUE(reporter_.boxes.empty());
}

}  // namespace
}  // namespace velk
