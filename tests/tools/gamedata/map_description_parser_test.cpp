#include <gtest/gtest.h>

#include "tools/gamedata/description_parser.h"

namespace velk::gamedata {
namespace {

TEST(MapDescriptionParser, RefusesWhatCannotBeWritten) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"map \"a\"\n  graphic -1 \"x\" 2 1 255 0", "line 2: 'event' must come first"},
        {"map \"a\"\n  event 1 \"e\" 0 0\n  trigger 1", "line 3: 'page' must come first"},
        {"map \"a\"\n  size 2 2\n  fill 0 1 1 2 1 5", "line 3: the cells lie outside the map"},
        {"map \"a\"\n  tile 3 0 0 5", "line 2: the cells lie outside the map"},
        {"map \"a\"\n  size 5000 5000", "line 2: the map is too large to write"},
        {"map \"a\"\n  event 1 \"e\" 0 0\n  page\n  command 1\n  move 0 \"\"\n  command-route 0 0 0 0 0 0\n"
         "  command 2\n  move 0 \"\"",
         "line 8: the last command has no route"},
        {"map \"a\"\n  event 1 \"e\" 0 0\n  page\n  condition 4 1 2 3", "line 4: number out of range: 4"},
        {"map \"a\"\n  event 1 \"e\" 0 0\n  page\n  command indent 1", "line 4: a command needs its code"},
        {"tilesets\n  flags 1 2", "line 2: 'tileset' must come first"},
        {"tilesets\n  tileset \"t\"\n  images a b c d e f g h i", "line 3: a tileset has eight images"},
        {"map \"a\"\n  bogus 1", "line 2: unknown map statement 'bogus'"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseGameDescription(c.text, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(MapDescriptionParser, SectionsSitBesideTheOthers) {
    std::string error;
    auto description = ParseGameDescription(
        "map \"MapData\\\\A.mps\"\n  size 2 1\n  tile 1 1 0 0x186A0\n"
        "database system\n  type \"t\"\n"
        "tilesets\n  version 207\n  tileset \"x\"\n  flags 0x110\n"
        "map \"B.mps\"\n  event-count 4\n",
        &error);
    ASSERT_TRUE(description) << error;
    ASSERT_EQ(description->maps.size(), 2u);
    EXPECT_EQ(description->maps[0].fileName, "MapData\\A.mps");
    EXPECT_EQ(description->maps[0].layers[1][1], 100000);
    EXPECT_EQ(description->maps[1].eventCount, 4);
    EXPECT_EQ(description->systemDatabase.types.size(), 1u);
    ASSERT_TRUE(description->tilesets);
    EXPECT_EQ(description->tilesets->version, 207);
    EXPECT_EQ(description->tilesets->tilesets.at(0).tileFlags, (std::vector<int32_t>{0x110}));
}

}  // namespace
}  // namespace velk::gamedata
