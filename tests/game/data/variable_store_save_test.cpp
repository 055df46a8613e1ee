#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/random_source.h"
#include "game/data/save_stream.h"
#include "game/data/variable_store.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"

namespace velk {
namespace {

using testing::Sjis;

class VariableSaveTest : public ::testing::Test {
protected:
    VariableSaveTest() {
        for (int32_t type = 0; type < 16; ++type) {
            DbTypeData& data = databases_.system.types.emplace_back();
            data.rows.resize(type == 14 ? 20 : 2);
        }
        owners_.events.count = 4;
        owners_.map.mapId = 2;
    }

    // A store with something in every part.
    VariableStore Populated() {
        VariableStore store(nullptr, &databases_);
        store.SetInt(1000019, 7);
        store.SetMapOverride(0);
        store.SetInt(1000000, -1);
        store.SetInt(2000004, 400);
        store.SetInt(2100001, -400);
        store.SetString(3000000, Sjis("日本語の文字列"));
        store.SetString(3000002, std::string(40000, 'L'));
        store.SetInt(15000199, 9);
        store.SetString(15000305, "common");
        return store;
    }

    std::vector<uint8_t> Saved(const VariableStore& store) {
        SaveStream stream;
        EXPECT_TRUE(store.WriteSave(stream));
        return stream.Bytes();
    }

    testing::RecordingReporter reporter_;
    testing::FakeOwners owners_;
    DatabaseSet databases_;
};

TEST_F(VariableSaveTest, RoundTripsEveryPartAndTheRandomState) {
    VariableStore original = Populated();
    UpdateRandomSeed(2, 555);
    std::vector<uint8_t> bytes = Saved(original);
    UpdateRandomSeed(2, 1);

    VariableStore loaded(nullptr, &databases_);
    SaveStream stream(bytes);
    ASSERT_TRUE(loaded.ReadSave(stream, true));
    EXPECT_FALSE(stream.errorFlag);
    EXPECT_EQ(stream.Position(), bytes.size());
    EXPECT_EQ(UpdateRandomSeed(1, 0), 555u);

    const VariableStoreContents& a = original.Contents();
    const VariableStoreContents& b = loaded.Contents();
    EXPECT_EQ(a.selfVariables, b.selfVariables);
    EXPECT_EQ(a.groups, b.groups);
    EXPECT_EQ(a.commonSelfInts, b.commonSelfInts);
    EXPECT_EQ(a.commonSelfStrings, b.commonSelfStrings);
    ASSERT_EQ(b.strings.size(), 3u);
    EXPECT_EQ(b.strings[0], Sjis("日本語の文字列"));
    EXPECT_EQ(b.strings[2], std::string(32000, 'L'));  // saves cut strings at 32000 bytes

    SaveStream again(bytes);
    UpdateRandomSeed(2, 1);
    ASSERT_TRUE(loaded.ReadSave(again, false));
    EXPECT_EQ(UpdateRandomSeed(1, 0), 1u);
}

TEST_F(VariableSaveTest, CommonEventsAddedSinceTheSaveStartEmpty) {
    owners_.events.count = 120;
    VariableStore original(nullptr, &databases_);
    original.SetInt(15011901, 5);
    std::vector<uint8_t> bytes = Saved(original);
    owners_.events.count = 130;
    VariableStore loaded(nullptr, &databases_);
    loaded.SetInt(15012501, 3);
    SaveStream stream(bytes);
    ASSERT_TRUE(loaded.ReadSave(stream, false));
    ASSERT_EQ(loaded.Contents().commonSelfInts.size(), 130u);
    EXPECT_EQ(loaded.GetInt(15011901), 5);
    EXPECT_EQ(loaded.Contents().commonSelfInts[125], std::vector<int32_t>(100, 0));
    EXPECT_EQ(loaded.Contents().commonSelfStrings[129], std::vector<std::string>(5));
}

TEST_F(VariableSaveTest, OlderSavesCarryStringsWithSixteenBitLengths) {
    // Many empty strings: at two bytes each they fill more of the part than
    // the 32-bit lengths of version 111 would leave room for.
    for (uint16_t version : {110, 111}) {
        ByteWriter part;
        auto length = [&](uint32_t n) { version < 111 ? part.WriteU16(static_cast<uint16_t>(n)) : part.WriteU32(n); };
        part.WriteU32(77);  // random state
        part.WriteU32(0);   // maps
        part.WriteU32(0);   // groups
        part.WriteU32(30);
        length(3);
        part.WriteBytes(std::vector<uint8_t>{'a', 'b', 'c'});
        for (int i = 1; i < 30; ++i)
            length(0);
        part.WriteU32(1);
        part.WriteU8(1);
        part.WriteI32(-8);
        part.WriteU32(1);
        part.WriteU8(1);
        length(2);
        part.WriteBytes(std::vector<uint8_t>{'h', 'i'});
        VariableStore loaded(nullptr, &databases_);
        SaveStream stream(part.Take());
        stream.version = version;
        ASSERT_TRUE(loaded.ReadSave(stream, false)) << version;
        EXPECT_EQ(stream.Position(), stream.Bytes().size()) << version;
        std::vector<std::string> strings(30);
        strings[0] = "abc";
        EXPECT_EQ(loaded.Contents().strings, strings) << version;
        EXPECT_EQ(loaded.GetInt(15000000), -8);
        EXPECT_EQ(loaded.GetString(15000005), "hi");
    }
}

TEST_F(VariableSaveTest, AShortPartIsRefusedAndChangesNothing) {
    std::vector<uint8_t> bytes = Saved(Populated());
    for (size_t length = 0; length < bytes.size(); length += (length < 200 ? 1 : 997)) {
        VariableStore loaded(nullptr, &databases_);
        loaded.SetInt(2000001, 11);
        SaveStream stream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        EXPECT_FALSE(loaded.ReadSave(stream, true)) << length;
        EXPECT_TRUE(stream.errorFlag);
        EXPECT_EQ(loaded.GetInt(2000001), 11);
        EXPECT_TRUE(loaded.Contents().strings.empty());
    }
}

TEST_F(VariableSaveTest, ANegativeCountEndsThePartQuietly) {
    ByteWriter part;
    part.WriteU32(1);
    part.WriteU32(1);   // one map
    part.WriteI32(-1);  // whose event count ends the part
    VariableStore loaded(nullptr, &databases_);
    SaveStream stream(part.Take());
    EXPECT_TRUE(loaded.ReadSave(stream, false));
    EXPECT_FALSE(stream.errorFlag);
    EXPECT_EQ(loaded.Contents().selfVariables.size(), 1u);
    EXPECT_EQ(loaded.Contents().groups.size(), 10u);
}

TEST_F(VariableSaveTest, CountsBeyondTheBufferAreDamageNotAllocations) {
    for (uint32_t count : {0x7FFFFFFFu, 1000u}) {
        ByteWriter part;
        part.WriteU32(1);
        part.WriteU32(0);
        part.WriteU32(1);
        part.WriteU32(count);  // the size of group 0
        VariableStore loaded(nullptr, &databases_);
        SaveStream stream(part.Take());
        EXPECT_FALSE(loaded.ReadSave(stream, false));
        EXPECT_TRUE(stream.errorFlag);
    }
}

}  // namespace
}  // namespace velk
