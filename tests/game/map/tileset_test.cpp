#include "game/map/tileset.h"

#include <gtest/gtest.h>

#include "game/map/map_texts.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/map/map_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/map_writer.h"

namespace velk {
namespace {

using testing::Bytes;

void AppendRecord(Bytes& b, const char* name, uint8_t marker) {
    b.Text(name).Text("base.png");
    for (int i = 1; i < 8; ++i)
        b.Text("");
    b.U8(marker).U32(9);
    for (uint8_t tag : {0, 1, 2, 3, 4, 5, 6, 7, 9})
        b.U8(tag);
    b.U8(0xEE).U32(9);
}

// A plain file of the one-byte-flags version with two records, the second
// with a bad marker.
std::vector<uint8_t> HandWrittenTilesets(uint8_t closing = 0xCF) {
    Bytes b;
    b.Zeros(10).U8(0xCF).U32(2);
    AppendRecord(b, "Field", 255);
    for (uint8_t flags : {0, 0, 0, 0, 0, 0, 0, 0, 0x10})
        b.U8(flags);
    AppendRecord(b, "Cave", 3);
    for (uint8_t flags : {15, 0, 0, 0, 0, 0, 0, 0, 0x80})
        b.U8(flags);
    b.U8(closing);
    return b.data;
}

TEST(TilesetFile, HandWrittenBytesReadAsLaidOut) {
    std::vector<uint8_t> file = HandWrittenTilesets();
    TilesetList list;
    TilesetParse parse = ParseTilesetFile(file, list);
    EXPECT_EQ(parse.status, TilesetFileStatus::kLoaded);
    EXPECT_EQ(parse.badRecordMarkers, 1);
    EXPECT_EQ(list.formatVersion, 1);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.tilesets[0].name, "Field");
    EXPECT_EQ(list.tilesets[0].images[0], "base.png");
    EXPECT_EQ(list.tilesets[0].terrainTags.back(), 9);
    EXPECT_EQ(list.tilesets[0].tileFlags, (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0x10}));
    EXPECT_EQ(list.tilesets[1].tileFlags[0], 15);
    EXPECT_EQ(list.tilesets[1].tileFlags[8], 0x80);

    for (size_t length = 0; length + 1 < HandWrittenTilesets().size(); ++length) {
        std::vector<uint8_t> cut = HandWrittenTilesets();
        cut.resize(length);
        TilesetList damaged;
        EXPECT_NE(ParseTilesetFile(cut, damaged).status, TilesetFileStatus::kLoaded) << length;
    }
}

TEST(TilesetFile, WriterRoundTripsBothVersions) {
    gamedata::TilesetFileDescription description;
    description.seeds = {4, 5, 6};
    auto& tileset = description.tilesets.emplace_back();
    tileset.name = "Town";
    tileset.images[7] = "water.png";
    tileset.tileFlags = {0, 0x110, 0, 0, 0, 0, 0, 0, -1};
    for (uint8_t version : {0xD0, 0xCF}) {
        description.version = version;
        std::vector<uint8_t> file = gamedata::WriteTilesetFile(description);
        TilesetList list;
        ASSERT_EQ(ParseTilesetFile(file, list).status, TilesetFileStatus::kLoaded);
        ASSERT_EQ(list.GetCount(), 1);
        EXPECT_EQ(list.tilesets[0].images[7], "water.png");
        // One-byte flags keep only their low eight bits.
        EXPECT_EQ(list.tilesets[0].tileFlags[1], version == 0xD0 ? 0x110 : 0x10);
        EXPECT_EQ(list.tilesets[0].tileFlags[8], version == 0xD0 ? -1 : 255);
    }
    description.tilesets.clear();
    std::vector<uint8_t> empty = gamedata::WriteTilesetFile(description);
    TilesetList list;
    EXPECT_EQ(ParseTilesetFile(empty, list).status, TilesetFileStatus::kLoaded);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(TilesetFile, LoadReportsAsTheGameDoes) {
    testing::ScratchDir scratch;
    std::vector<uint8_t> good = HandWrittenTilesets();
    std::vector<uint8_t> badClosing = HandWrittenTilesets(0xD0);
    std::vector<uint8_t> badVersion = HandWrittenTilesets();
    badVersion[10] = 0xD1;
    scratch.WriteFile("Data/good.dat", std::string(good.begin(), good.end()));
    scratch.WriteFile("Data/closing.dat", std::string(badClosing.begin(), badClosing.end()));
    scratch.WriteFile("Data/version.dat", std::string(badVersion.begin(), badVersion.end()));
    testing::InFolder inside(scratch.path());
    struct Case {
        const char* name;
        bool loaded;
        int count;
        std::vector<testing::ReportedBox> messages;
        std::vector<MessageBoxButtons> buttons;
    } cases[] = {
        {"good.dat", true, 2, {{texts::kTilesetRecordDamaged, "", ""}}, {MessageBoxButtons::kOk}},
        {"closing.dat",
         false,
         2,
         {{texts::kTilesetRecordDamaged, "", ""}, {texts::kTilesetFileFailed, texts::kFileReadErrorCaption, ""}},
         {MessageBoxButtons::kOk, MessageBoxButtons::kOkCancel}},
        {"version.dat", false, 1, {}, {}},
        {"missing.dat", false, 1, {}, {}},
    };
    for (const Case& c : cases) {
        testing::RecordingReporter reporter;
        TilesetList list;
        EXPECT_EQ(list.Load(c.name), c.loaded) << c.name;
        EXPECT_EQ(list.GetCount(), c.count) << c.name;
        ASSERT_EQ(reporter.messages.size(), c.messages.size()) << c.name;
        EXPECT_EQ(reporter.messageButtons, c.buttons) << c.name;
        for (size_t i = 0; i < c.messages.size(); ++i) {
            EXPECT_EQ(reporter.messages[i].line1, c.messages[i].line1);
            EXPECT_EQ(reporter.messages[i].line2, c.messages[i].line2);
        }
    }
}

}  // namespace
}  // namespace velk
