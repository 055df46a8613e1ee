// Map files written by the map's own writer: the bytes of a small map laid
// out by hand, the container's seeds, sum and filler, round trips through the
// reader (a map larger than a fixed buffer of five megabytes too), and the
// editing operations with the lowest-free-id rule.

#include "game/map/map_file_writer.h"

#include <gtest/gtest.h>

#include "game/data/data_container.h"
#include "game/map/map_data.h"
#include "platform/base/clock.h"
#include "platform/base/crt_random.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/map/map_test_support.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

// A 2 x 1 map named "m" on tileset 3 with event 4 "ev" at (1, 0): one page
// showing "g.png", started by the confirm key, with a command 101 7 (indent
// 1, text "hi") and the end command.
MapData SmallMap() {
    MapData map;
    map.header.name = "m";
    map.header.tileset = 3;
    map.header.width = 2;
    map.header.height = 1;
    map.Clear();
    map.Tile(0, 0, 0) = 5;
    map.Tile(0, 1, 0) = 6;
    map.Tile(1, 1, 0) = 7;
    MapEventData& event = map.events.emplace_back(4);
    event.name = "ev";
    event.x = 1;
    event.bytes = {9};
    EventPage& page = event.pages.at(0);
    page.graphic.fileName = "g.png";
    page.conditions.trigger = 1;
    EventCommand command;
    command.arguments = {101, 7};
    command.indent = 1;
    command.strings = {"hi"};
    page.commands = {command, EventCommand()};
    map.header.eventCount = 1;
    return map;
}

// The plain bytes from offset 20 on, field by field.
std::vector<uint8_t> SmallMapBody() {
    testing::Bytes b;
    b.U32(100).U8('e').Text("m").U32(3).U32(2).U32(1).U32(1);
    b.U32(5).U32(6).U32(100000).U32(7).U32(100000).U32(100000);
    b.U8('o').U32(12345).U32(4).Text("ev").U32(1).U32(0).U32(1).U32(1).U8(9);
    b.U8('y').U32(0xFFFFFFFF).Text("g.png").U8(2).U8(1).U8(255).U8(0);
    b.U8(1).U8(0x20).U8(0x20).U8(0x20).U8(0x20).Zeros(32);
    // Route options in the order 1, 2, 3, 0, 4, 5, no commands.
    b.U8(3).U8(3).U8(3).U8(0).U8(3).U8(2).U32(0);
    b.U32(2);
    b.U8(2).U32(101).U32(7).U8(1).U8(1).Text("hi").U8(0);
    b.U8(1).U32(0).U8(0).U8(0).U8(0);
    b.U32(3).U8(0).U8(0).U8(0).U8('z');
    b.U8('p').U8('f');
    return b.data;
}

// The header's filler as the C runtime generator gives it after `draws`
// draws from `seed`: (rand() & 0xFF00) >> 8 per byte.
std::vector<uint8_t> Filler(uint32_t seed, size_t draws) {
    platform::CrtRandom generator(seed);
    for (size_t i = 0; i < draws; ++i)
        generator.Next();
    std::vector<uint8_t> filler;
    for (int i = 0; i < 20; ++i)
        filler.push_back(static_cast<uint8_t>((generator.Next() & 0xFF00) >> 8));
    return filler;
}

TEST(MapFileWriter, WritesTheLayoutOfASmallMapPlainWithoutSeeds) {
    platform::CrtSrand(77);
    const std::vector<uint8_t> file = EncodeMapFile(SmallMap(), {0, 0, 0});
    const std::vector<uint8_t> body = SmallMapBody();
    ASSERT_EQ(file.size(), 20 + body.size());
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 20, file.end()), body);
    // The header: filler drawn from the generator as it was, seeds and check
    // bytes 0.
    std::vector<uint8_t> header = Filler(77, 0);
    for (size_t at : {0, 2, 3, 6, 8, 9})
        header[at] = 0;
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 20), header);
}

TEST(MapFileWriter, SealsTheBodyWithTheSeedsAndItsSum) {
    const std::vector<uint8_t> body = SmallMapBody();
    uint32_t sum = 0;
    for (uint8_t byte : body)
        sum += byte;
    std::vector<uint8_t> file = EncodeMapFile(SmallMap(), {0x11, 0x22, 0x33});
    ASSERT_EQ(file.size(), 20 + body.size());
    EXPECT_EQ(file[0], 0x11);
    EXPECT_EQ(file[3], 0x22);
    EXPECT_EQ(file[9], 0x33);
    EXPECT_EQ(file[2], static_cast<uint8_t>(sum));
    EXPECT_EQ(file[6], 0);
    EXPECT_EQ(file[8], 0);
    // The filler follows the last pass, which drew once for every fifth body
    // byte from the third seed.
    const std::vector<uint8_t> filler = Filler(0x33, (body.size() + 4) / 5);
    for (size_t at : {1, 4, 5, 7, 10, 11, 19})
        EXPECT_EQ(file[at], filler[at]) << at;
    EXPECT_NE(std::vector<uint8_t>(file.begin() + 20, file.end()), body);
    auto opened = UnscrambleContainer(file, kMapFileLayout);
    ASSERT_TRUE(opened);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 20, file.end()), body);
}

TEST(MapFileWriter, DrawnSeedsComeFromTheWallTimeAndAreNeverAllZero) {
    platform::ManualClock clock;
    clock.SetWallSeconds(1700000123);
    platform::ScopedClock installed(clock);
    platform::CrtRandom generator(1700000123);
    const ContainerSeeds seeds = DrawMapFileSeeds();
    EXPECT_FALSE(seeds[0] == 0 && seeds[1] == 0 && seeds[2] == 0);
    ContainerSeeds expected{};
    for (uint8_t& seed : expected)
        seed = static_cast<uint8_t>((generator.Next() & 0xFF0) >> 4);
    if (expected[0] == 0 && expected[1] == 0 && expected[2] == 0) {
        for (uint8_t& seed : expected)
            seed = static_cast<uint8_t>((generator.Next() & 0xFF0) >> 4);
    }
    EXPECT_EQ(seeds, expected);
}

TEST(MapFileWriter, WrittenMapsReadBackWhole) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    testing::RecordingReporter reporter;
    std::filesystem::create_directories(scratch.path() / "Data" / "MapData");

    MapData small = SmallMap();
    MapEventData& second = small.events.emplace_back(9);
    second.pages.resize(3);
    second.pages[2].route.commands.push_back({14, {1, 2}, "say"});
    ASSERT_TRUE(small.Write("Data\\MapData\\Small.mps"));
    // Scrambled with seeds drawn anew: never all three 0.
    const std::string written = scratch.ReadFile("Data/MapData/Small.mps");
    ASSERT_GT(written.size(), 20u);
    EXPECT_TRUE(written[0] != 0 || written[3] != 0 || written[9] != 0);
    MapData read;
    ASSERT_TRUE(read.Read("MapData\\Small.mps"));
    EXPECT_EQ(read.header.name, "m");
    EXPECT_EQ(read.header.tileset, 3);
    EXPECT_EQ(read.header.eventCount, 2);
    for (int layer = 0; layer < 3; ++layer)
        EXPECT_EQ(read.layers[layer], small.layers[layer]);
    ASSERT_EQ(read.events.size(), 2u);
    EXPECT_EQ(read.events[0].bytes, std::vector<uint8_t>{9});
    EXPECT_EQ(read.events[0].pages.at(0).commands.at(0), small.events[0].pages[0].commands[0]);
    EXPECT_EQ(read.events[1].pageCount, 3);
    EXPECT_EQ(read.events[1].pages.at(2).route, second.pages[2].route);

    // Larger than the five megabytes a fixed buffer would hold.
    MapData large;
    large.header.width = 700;
    large.header.height = 700;
    large.Clear();
    large.Tile(2, 699, 699) = 42;
    ASSERT_TRUE(large.Write("Data\\MapData\\Large.mps"));
    ASSERT_TRUE(read.Read("MapData\\Large.mps"));
    EXPECT_EQ(read.header.width, 700);
    EXPECT_EQ(read.Tile(2, 699, 699), 42);
    EXPECT_EQ(read.Tile(2, 699, 698), kEmptyTileValue);
    EXPECT_TRUE(reporter.messages.empty());

    // A file that cannot be made: a folder stands in its place.
    std::filesystem::create_directories(scratch.path() / "Data" / "MapData" / "Taken.mps");
    EXPECT_FALSE(small.Write("Data\\MapData\\Taken.mps"));
}

std::vector<int32_t> Ids(const MapData& map) {
    std::vector<int32_t> ids;
    for (const MapEventData& event : map.events)
        ids.push_back(event.id);
    return ids;
}

MapData MapWithEvents(std::initializer_list<int32_t> ids) {
    MapData map;
    int32_t x = 0;
    for (int32_t id : ids) {
        MapEventData& event = map.events.emplace_back(id);
        event.x = x++;
        event.y = 5;
    }
    map.header.eventCount = static_cast<int32_t>(map.events.size());
    return map;
}

TEST(MapDataEditing, NewEventsTakeTheLowestFreeId) {
    // A gap after 1: id 2, between 1 and 3.
    MapData gap = MapWithEvents({0, 1, 3});
    EXPECT_EQ(gap.AddEvent(7, 7), 1);
    EXPECT_EQ(Ids(gap), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(gap.events[2].x, 7);
    EXPECT_EQ(gap.events[2].y, 7);
    EXPECT_EQ(gap.events[2].pages.size(), 1u);
    EXPECT_EQ(gap.header.eventCount, 4);
    // No gap: one above the last, at the end.
    MapData full = MapWithEvents({0, 1, 2});
    EXPECT_EQ(full.AddEvent(7, 7), 1);
    EXPECT_EQ(Ids(full), (std::vector<int32_t>{0, 1, 2, 3}));
    // Ids that do not start at 0: 0 goes first.
    MapData late = MapWithEvents({2, 3});
    EXPECT_EQ(late.AddEvent(7, 7), 1);
    EXPECT_EQ(Ids(late), (std::vector<int32_t>{0, 2, 3}));
    // A repeated id leaves no gap behind it.
    MapData twice = MapWithEvents({0, 0, 1});
    EXPECT_EQ(twice.AddEvent(7, 7), 1);
    EXPECT_EQ(Ids(twice), (std::vector<int32_t>{0, 0, 1, 2}));
    MapData none;
    EXPECT_EQ(none.AddEvent(0, 0), 1);
    EXPECT_EQ(Ids(none), std::vector<int32_t>{0});
}

TEST(MapDataEditing, AddingNeedsAFreeCellOnTheMap) {
    MapData map = MapWithEvents({0, 1});  // at (0, 5) and (1, 5) of a 20 x 15 map
    EXPECT_EQ(map.AddEvent(1, 5), 2);
    EXPECT_EQ(map.AddEvent(20, 3), 0);
    EXPECT_EQ(map.AddEvent(3, 15), 0);
    EXPECT_EQ(map.AddEvent(-1, 3), 0);
    EXPECT_EQ(map.AddEvent(3, -1), 0);
    EXPECT_EQ(map.events.size(), 2u);
    EXPECT_EQ(map.header.eventCount, 2);
    EXPECT_EQ(map.AddEvent(19, 14), 1);
    EXPECT_EQ(map.header.eventCount, 3);
}

TEST(MapDataEditing, RemoveCopyAndInsert) {
    MapData map = MapWithEvents({0, 1, 2, 3});
    map.events[2].name = "two";
    map.events[2].pages.resize(2);
    EXPECT_FALSE(map.RemoveEvent(7));
    EXPECT_EQ(map.header.eventCount, 4);
    EXPECT_TRUE(map.RemoveEvent(1));
    EXPECT_EQ(Ids(map), (std::vector<int32_t>{0, 2, 3}));
    EXPECT_EQ(map.header.eventCount, 3);

    // The copy fills the gap the removal left.
    EXPECT_EQ(map.CopyEvent(2, 9, 10), 1);
    EXPECT_EQ(Ids(map), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(map.events[1].name, "two");
    EXPECT_EQ(map.events[1].pages.size(), 2u);
    EXPECT_EQ(map.events[1].x, 9);
    EXPECT_EQ(map.events[1].y, 10);
    EXPECT_EQ(map.events[2].x, 2) << "the original stays where it was";
    EXPECT_EQ(map.header.eventCount, 4);
    EXPECT_EQ(map.CopyEvent(8, 1, 1), -1);
    EXPECT_EQ(map.header.eventCount, 4);

    MapEventData record(55);
    record.name = "new";
    EXPECT_EQ(map.InsertEvent(record, 4, 4), 4);
    EXPECT_EQ(Ids(map), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(map.events[4].name, "new");
    EXPECT_EQ(map.events[4].x, 4);
    EXPECT_EQ(map.header.eventCount, 5);
}

TEST(MapDataEditing, ResizedLayersKeepTheCellsInsideTheKeptSize) {
    MapData map;
    map.header.width = 3;
    map.header.height = 2;
    map.Clear();
    for (int layer = 0; layer < 3; ++layer) {
        for (int32_t x = 0; x < 3; ++x) {
            for (int32_t y = 0; y < 2; ++y)
                map.Tile(layer, x, y) = layer * 100 + x * 10 + y;
        }
    }
    // 3 x 2 becomes 2 x 4: columns 0-1 keep rows 0-1, the rest is empty.
    MapData grown = map;
    grown.header.width = 2;
    grown.header.height = 4;
    EXPECT_TRUE(grown.ResizeLayers(false, 3, 2));
    ASSERT_EQ(grown.layers[1].size(), 8u);
    EXPECT_EQ(grown.Tile(1, 1, 1), 111);
    EXPECT_EQ(grown.Tile(2, 0, 1), 201);
    EXPECT_EQ(grown.Tile(1, 1, 2), kEmptyTileValue);
    EXPECT_EQ(grown.Tile(0, 0, 3), kEmptyTileValue);
    // 3 x 2 becomes 2 x 1: what lies inside both stays.
    MapData shrunk = map;
    shrunk.header.width = 2;
    shrunk.header.height = 1;
    EXPECT_TRUE(shrunk.ResizeLayers(false, 3, 2));
    EXPECT_EQ(shrunk.layers[0], (std::vector<int32_t>{0, 10}));
    EXPECT_EQ(shrunk.layers[2], (std::vector<int32_t>{200, 210}));
    // Layers smaller than the size claimed keep nothing.
    MapData claimed = map;
    EXPECT_TRUE(claimed.ResizeLayers(false, 3, 3));
    EXPECT_EQ(claimed.layers[1], std::vector<int32_t>(6, kEmptyTileValue));
    // Filling all empties every cell.
    MapData filled = map;
    EXPECT_TRUE(filled.ResizeLayers(true, 3, 2));
    EXPECT_EQ(filled.layers[2], std::vector<int32_t>(6, kEmptyTileValue));
}

}  // namespace
}  // namespace velk
