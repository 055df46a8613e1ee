#include "game/map/map_tile_commands.h"

#include <gtest/gtest.h>

#include "game/event/event_interpreter.h"
#include "game/event/event_records.h"
#include "game/map/map_links.h"
#include "game/map/map_state.h"

namespace velk {
namespace {

struct CountingNotices : MapRedrawNotices {
    void TileFlagsChanged() override { ++flags; }
    void TilesetChanged() override { ++tilesets; }
    int flags = 0;
    int tilesets = 0;
};

EventCommand Command(std::vector<int32_t> arguments) {
    EventCommand command;
    command.arguments = std::move(arguments);
    return command;
}

TEST(MapTileCommands, DecodeTheirArgumentsAndTellTheDrawing) {
    MapState state{MapSettings()};
    state.mapId = 0;
    state.map.header.width = 3;
    state.map.header.height = 3;
    state.map.Clear();
    state.tileFlags = std::vector<int32_t>(10, 0);
    state.loadedTileFlags = state.tileFlags;
    Tileset second;
    second.images[0] = "second.png";
    state.tilesets.tilesets = {Tileset(), second};
    CountingNotices notices;
    MapTileCommands commands(state, notices);
    CommandTable table;
    table.Register(commands);
    ASSERT_NE(table.Find(240), nullptr);
    EXPECT_EQ(table.Find(240)->minimumArguments, 3);
    EXPECT_EQ(table.Find(242)->minimumArguments, 7);
    EventInterpreter interpreter;

    // The flag value is taken as it stands, never as a variable.
    EXPECT_EQ(commands.SetTilePassability(interpreter, Command({240, 9, 2000000})), CommandResult::kNext);
    EXPECT_EQ(state.tileFlags[9], 2000000);
    commands.SetTilePassability(interpreter, Command({240, 10, 15}));
    commands.SetTilePassability(interpreter, Command({240, -1, 15}));
    EXPECT_EQ(notices.flags, 1);
    commands.SetTilePassability(interpreter, Command({240, -1000000, 0}));
    EXPECT_EQ(state.tileFlags[9], 0);
    EXPECT_EQ(notices.flags, 2);

    commands.ChangeTileset(interpreter, Command({241, 2}));
    EXPECT_EQ(notices.tilesets, 0);
    commands.ChangeTileset(interpreter, Command({241, 1}));
    EXPECT_EQ(notices.tilesets, 1);
    EXPECT_EQ(state.baseImageName, "second.png");

    // Layer numbers count from 1.
    commands.ChangeMapTiles(interpreter, Command({242, 3, 1, 1, 1, 1, 3}));
    EXPECT_EQ(state.map.Tile(2, 1, 1), 400000);
    commands.ChangeMapTiles(interpreter, Command({242, 0, 1, 1, 1, 1, 3}));
    EXPECT_EQ(state.map.Tile(0, 1, 1), kEmptyTileValue);
}

}  // namespace
}  // namespace velk
