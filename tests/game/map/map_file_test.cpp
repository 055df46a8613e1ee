#include <gtest/gtest.h>

#include "game/data/data_texts.h"
#include "game/data/text_format.h"
#include "game/map/map_data.h"
#include "game/map/map_texts.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/map/map_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/map_writer.h"

namespace velk {
namespace {

using testing::Bytes;

// One page: a graphic file, condition 0 in use, a route stored with its
// option bytes in file order, and the given commands.
void AppendPage(Bytes& b, uint32_t commandCount, bool withCommands, std::vector<uint8_t> pageBytes) {
    b.U8('y').U32(0xFFFFFFFF).Text("a.png").U8(4).U8(0).U8(128).U8(2);
    b.U8(1).U8(0x21).U8(0x20).U8(0x20).U8(0x20);
    b.U32(2000000).U32(0).U32(0).U32(0).U32(5).U32(0).U32(0).U32(0);
    b.U8(7).U8(8).U8(9).U8(6).U8(10).U8(11).U32(1);
    b.U8(3).U8(1).U32(9).U8(1).U8(0);  // move command 3 (9), empty text
    b.U32(commandCount);
    if (withCommands) {
        b.U8(2).U32(101).U32(7).U8(1).U8(1).Text("hi").U8(0);
        b.U8(1).U32(0).U8(0).U8(0).U8(0);
    }
    b.U32(static_cast<uint32_t>(pageBytes.size()));
    for (uint8_t value : pageBytes)
        b.U8(value);
    b.U8('z');
}

void AppendEvent(Bytes& b, uint32_t id, const char* name, uint32_t pages, std::vector<uint8_t> bytes) {
    b.U8('o').U32(0xDEADBEEF).U32(id).Text(name).U32(3).U32(4).U32(pages);
    b.U32(static_cast<uint32_t>(bytes.size()));
    for (uint8_t value : bytes)
        b.U8(value);
}

// A plain 2 x 1 map with three events stored as ids 5, 2, 5.
std::vector<uint8_t> HandWrittenMap() {
    Bytes b;
    b.Zeros(20).U32(77).U8('e').Text("Abc").U32(1).U32(2).U32(1).U32(3);
    for (uint32_t value : {7u, 8u, 100000u, 200000u, 100000u, 100000u})
        b.U32(value);
    AppendEvent(b, 5, "first", 1, {1, 2});
    AppendPage(b, 2, true, {9, 1, 2, 3});
    b.U8('p');
    AppendEvent(b, 2, "second", 0, {});
    b.U8('p');
    AppendEvent(b, 5, "third", 1, {});
    AppendPage(b, 0, false, {});
    b.U8('p');
    b.U8('f');
    return b.data;
}

TEST(MapFile, HandWrittenBytesReadAsLaidOut) {
    std::vector<uint8_t> file = HandWrittenMap();
    MapData map;
    ASSERT_EQ(ParseMapFile(file, map), MapFileStatus::kLoaded);
    EXPECT_EQ(map.header.name, "Abc");
    EXPECT_EQ(map.header.tileset, 1);
    EXPECT_EQ(map.header.width, 2);
    EXPECT_EQ(map.header.height, 1);
    // Column by column, layer after layer.
    EXPECT_EQ(map.Tile(0, 0, 0), 7);
    EXPECT_EQ(map.Tile(0, 1, 0), 8);
    EXPECT_EQ(map.Tile(1, 1, 0), 200000);

    ASSERT_EQ(map.events.size(), 3u);
    EXPECT_EQ(map.events[0].name, "second");
    EXPECT_EQ(map.events[1].name, "first");
    EXPECT_EQ(map.events[2].name, "third");
    EXPECT_EQ(map.FindEventIndex(5), 1);
    EXPECT_EQ(map.FindEventIndex(4), -1);
    // No pages stored: the event has none to choose from.
    EXPECT_TRUE(map.events[0].pages.empty());

    const MapEventData& first = map.events[1];
    EXPECT_EQ(first.x, 3);
    EXPECT_EQ(first.y, 4);
    EXPECT_EQ(first.bytes, (std::vector<uint8_t>{1, 2}));
    ASSERT_EQ(first.pages.size(), 1u);
    const EventPage& page = first.pages[0];
    EXPECT_EQ(page.graphic.tileNumber, -1);
    EXPECT_EQ(page.graphic.fileName, "a.png");
    EXPECT_EQ(page.graphic.facing, 4);
    EXPECT_EQ(page.graphic.opacity, 128);
    EXPECT_EQ(page.graphic.blendMode, 2);
    EXPECT_EQ(page.conditions.trigger, 1);
    EXPECT_EQ(page.conditions.flags[0], 0x21);
    EXPECT_EQ(page.conditions.left[0], 2000000);
    EXPECT_EQ(page.conditions.right[0], 5);
    EXPECT_EQ(page.route.options, (std::array<uint8_t, 6>{6, 7, 8, 9, 10, 11}));
    ASSERT_EQ(page.route.commands.size(), 1u);
    EXPECT_EQ(page.route.commands[0].arguments, (std::vector<int32_t>{9}));
    ASSERT_EQ(page.commands.size(), 2u);
    EXPECT_EQ(page.commands[0].arguments, (std::vector<int32_t>{101, 7}));
    EXPECT_EQ(page.commands[0].indent, 1);
    EXPECT_EQ(page.commands[0].strings, (std::vector<std::string>{"hi"}));
    // The last stored command is the end mark.
    EXPECT_EQ(page.commands[1].arguments, (std::vector<int32_t>{kEndOfListCode}));
    EXPECT_EQ(page.bytes, (std::vector<uint8_t>{9, 1, 2, 3}));
    EXPECT_EQ(page.CollisionExtent(0, 0), 1);
    EXPECT_EQ(page.CollisionExtent(1, 1), 2);
    EXPECT_EQ(page.CollisionExtent(1, 0), 0);

    // A page stored without commands still ends with the end mark, and an
    // empty byte list keeps the three default bytes.
    const EventPage& empty = map.events[2].pages.at(0);
    ASSERT_EQ(empty.commands.size(), 1u);
    EXPECT_EQ(empty.commands[0].Code(), kEndOfListCode);
    EXPECT_EQ(empty.bytes, (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_FALSE(empty.HasCollisionExtents());
}

TEST(MapFile, EveryCutAndDamageIsRefusedWithoutHarm) {
    const std::vector<uint8_t> whole = HandWrittenMap();
    for (size_t length = 0; length + 1 < whole.size(); ++length) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        MapData map;
        EXPECT_NE(ParseMapFile(cut, map), MapFileStatus::kLoaded) << length;
    }
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"marker", 24, 0x66},
        {"width 0", 37, 0},
        {"negative height", 41, 0xFFFFFFFF},
        {"huge size", 37, 0x7FFFFFFF},
        {"event count", 45, 0x10000000},
        {"name past the file", 25, 513},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = whole;
        if (c.offset == 24) {
            file[24] = static_cast<uint8_t>(c.value);
        } else {
            for (int i = 0; i < 4; ++i)
                file[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
        }
        MapData map;
        EXPECT_EQ(ParseMapFile(file, map), MapFileStatus::kDamaged) << c.what;
    }
    // A map without cells, otherwise whole.
    for (uint32_t width : {0u, 1u}) {
        Bytes b;
        b.Zeros(20).U32(100).U8('e').Text("").U32(0).U32(width).U32(1).U32(0);
        b.Zeros(12 * width).U8('f');
        MapData map;
        EXPECT_EQ(ParseMapFile(b.data, map), width == 0 ? MapFileStatus::kDamaged : MapFileStatus::kLoaded);
    }
}

constexpr char kDescribedMap[] = R"(
map "MapData\\Town.mps"
  name "町"
  tileset 2
  size 4 3
  seeds 1 2 3
  layout-seed 9
  lead-word 5
  fill 0 0 0 4 3 12
  tile 2 3 2 300000
  event 9 "nine" 1 2
    bytes 4 4
    page
      graphic 5 "" 8 2 200 1
      trigger 3
      condition 3 0x41 1000001 -7
      route 1 2 3 4 5 1
      move 14 "say" 1 2
      command 201 3 indent 2 text "a" text ""
      command-route 0 3 3 3 3 3
      move 0 ""
  event 4 "four" 0 0
    page-count 0
)";

TEST(MapFile, ScrambledRoundTripThroughTheWriter) {
    std::string error;
    auto description = gamedata::ParseGameDescription(kDescribedMap, &error);
    ASSERT_TRUE(description) << error;
    const std::vector<uint8_t> written = gamedata::WriteMapFile(description->maps.at(0));
    std::vector<uint8_t> file = written;
    // Scrambled: the plain marker is not to be seen.
    EXPECT_NE(file[24], 'e');
    MapData map;
    ASSERT_EQ(ParseMapFile(file, map), MapFileStatus::kLoaded);
    EXPECT_EQ(map.header.name, testing::Sjis("町"));
    EXPECT_EQ(map.header.tileset, 2);
    EXPECT_EQ(map.Tile(0, 2, 1), 12);
    EXPECT_EQ(map.Tile(2, 3, 2), 300000);
    EXPECT_EQ(map.Tile(2, 3, 1), kEmptyTileValue);
    ASSERT_EQ(map.events.size(), 2u);
    EXPECT_EQ(map.events[0].id, 4);
    EXPECT_TRUE(map.events[0].pages.empty());
    const EventPage& page = map.events[1].pages.at(0);
    EXPECT_EQ(page.graphic.tileNumber, 5);
    EXPECT_EQ(page.conditions.flags[3], 0x41);
    EXPECT_EQ(page.conditions.right[3], -7);
    EXPECT_EQ(page.route.options, (std::array<uint8_t, 6>{1, 2, 3, 4, 5, 1}));
    EXPECT_EQ(page.route.commands.at(0).text, "say");
    ASSERT_EQ(page.commands.size(), 2u);
    EXPECT_EQ(page.commands[0].indent, 2);
    EXPECT_EQ(page.commands[0].strings, (std::vector<std::string>{"a", ""}));
    ASSERT_EQ(page.commands[0].routes.size(), 1u);
    EXPECT_EQ(page.commands[0].routes[0].commands.size(), 1u);
    EXPECT_EQ(page.commands[1].Code(), kEndOfListCode);

    // The stored sum no longer matching the plain bytes.
    file = written;
    file[2] ^= 0xFF;
    EXPECT_EQ(ParseMapFile(file, map), MapFileStatus::kSumMismatch);
}

TEST(MapFile, AFailedReadShowsItsMessageAndLeavesAnEmptyMap) {
    testing::ScratchDir scratch;
    scratch.WriteFile("Data/bad.mps", std::string(40, 'x'));
    testing::InFolder inside(scratch.path());
    struct Case {
        const char* name;
        std::string text;
        const char* caption;
        MessageBoxButtons buttons;
    } cases[] = {
        {"", texts::kMapFileNameNotSet, texts::kReadErrorCaption, MessageBoxButtons::kOkCancel},
        {"nope.mps", FormatText(texts::kMapFileMissing, "Data\\nope.mps"), texts::kReadErrorCaption,
         MessageBoxButtons::kOkCancel},
        {"bad.mps", FormatText(texts::kMapDataDamaged, "Data\\bad.mps"), texts::kMapChangeErrorCaption,
         MessageBoxButtons::kOk},
    };
    for (const Case& c : cases) {
        testing::RecordingReporter reporter;
        MapData map;
        map.header.width = 50;
        map.events.emplace_back(3);
        EXPECT_FALSE(map.Read(c.name));
        ASSERT_EQ(reporter.messages.size(), 1u) << c.name;
        EXPECT_EQ(reporter.messages[0].line1, c.text);
        EXPECT_EQ(reporter.messages[0].line2, c.caption);
        EXPECT_EQ(reporter.messageButtons[0], c.buttons) << c.name;
        EXPECT_EQ(map.header.width, 20);
        EXPECT_EQ(map.layers[2].size(), 300u);
        EXPECT_TRUE(map.events.empty());
    }
}

}  // namespace
}  // namespace velk
