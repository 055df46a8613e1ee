#include <gtest/gtest.h>

#include "game/map/map_state.h"

namespace velk {
namespace {

// Base tiles of the test tileset (tile index = value + 8).
enum BaseTile : int32_t {
    kWall = 0,         // 15
    kOverhead = 1,     // 0x10: drawn above characters
    kFloor = 2,        // 0
    kBlocksRight = 3,  // 0x04
    kQuarter = 4,      // 0x20 | 0x02: bottom-left quarter blocked
    kCounter = 5,      // 0x80
    kBush = 6,         // 0x40
    kBlocksDown = 7,   // 0x01
    kAmong = 8,        // 0x100
    kBlocksLeft = 9,   // 0x02 (added by the directions test only)
};

MapState TestMap(int32_t stepSetting = 0) {
    MapSettings settings;
    settings.stepSetting = stepSetting;
    MapState state(settings);
    state.mapId = 1;
    state.map.header.width = 4;
    state.map.header.height = 4;
    state.map.Clear();
    for (int32_t x = 0; x < 4; ++x) {
        for (int32_t y = 0; y < 4; ++y)
            state.map.Tile(0, x, y) = kFloor;
    }
    state.tileFlags = {0, 0, 0, 0, 0, 0, 0, 0, 15, 0x10, 0, 0x04, 0x22, 0x80, 0x40, 0x01, 0x100};
    state.terrainTags = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 3, 0, 0, 0, 0, 5, 0};
    state.loadedTileFlags = state.tileFlags;
    return state;
}

TEST(Passability, TileIndexesWrapAndNameTheirLists) {
    MapState state = TestMap();
    struct Case {
        int32_t value, index;
    } cases[] = {{100000, 0}, {200000, 1}, {804321, 7}, {5, 13}, {-8, 0}, {-9, -1}, {-20, -1}};
    for (const Case& c : cases) {
        state.map.Tile(1, 3, 3) = c.value;
        EXPECT_EQ(state.GetTileIndex(6, 7, 1), c.index) << c.value;
        // Half-tile cells wrap around the map in both directions.
        EXPECT_EQ(state.GetTileIndex(-1, -2, 1), c.index) << c.value;
        EXPECT_EQ(state.GetTileIndex(15, 14, 1), c.index) << c.value;
    }
}

TEST(Passability, CellsLayersAndDirections) {
    struct Case {
        const char* what;
        int32_t layer1, layer2;  // at tile (1, 1), -1 leaves the cell empty
        int32_t x, y, direction, mode, stepSetting;
        bool passable;
    } cases[] = {
        {"floor", -1, -1, 2, 1, 2, 1, 0, true},
        {"wall under an empty top layer", kWall, -1, 2, 1, 2, 1, 0, false},
        {"wall asked without a direction", kWall, -1, 2, 1, 0, 1, 0, false},
        {"overhead tile over a wall", kWall, kOverhead, 2, 1, 6, 1, 0, false},
        {"among-characters tile over a wall", kWall, kAmong, 2, 1, 6, 1, 0, false},
        {"plain tile hides the wall", kWall, kFloor, 2, 1, 6, 1, 0, true},
        {"overhead tile over floor", -1, kOverhead, 2, 1, 6, 1, 0, true},
        {"blocks right, even x, half steps", kBlocksRight, -1, 2, 1, 6, 1, 0, false},
        {"blocks right, odd x, half steps", kBlocksRight, -1, 1, 1, 6, 1, 0, true},
        {"blocks right, moving left", kBlocksRight, -1, 2, 1, 4, 1, 0, true},
        {"blocks right, full steps, odd x", kBlocksRight, -1, 3, 1, 6, 1, 1, false},
        {"blocks right, full steps, even x", kBlocksRight, -1, 2, 1, 6, 1, 1, false},
        {"blocks down, even y", kBlocksDown, -1, 2, 2, 2, 1, 0, false},
        {"blocks down, odd y", kBlocksDown, -1, 2, 1, 2, 1, 0, true},
        {"blocks down, full steps, odd y", kBlocksDown, -1, 2, 1, 2, 1, 1, false},
        {"blocks left, full steps", kBlocksLeft, -1, 2, 1, 4, 1, 1, false},
        {"blocks left, full steps, moving right", kBlocksLeft, -1, 2, 1, 6, 1, 1, true},
        {"blocks left, full steps, moving up", kBlocksLeft, -1, 2, 1, 8, 1, 1, true},
        {"blocks left, odd x, half steps", kBlocksLeft, -1, 1, 1, 4, 1, 0, false},
        {"blocks left, even x, half steps", kBlocksLeft, -1, 2, 1, 4, 1, 0, false},
        {"left foot on the blocked quarter", kQuarter, -1, 2, 2, 0, 1, 0, false},
        {"feet on the tile's upper half", kQuarter, -1, 2, 1, 4, 1, 0, true},
        {"feet right of the blocked quarter", kQuarter, -1, 3, 2, 0, 1, 0, true},
        {"quarter mode 2 refuses it", kQuarter, -1, 2, 1, 2, 2, 0, false},
        {"tile outside the tileset", 100, -1, 2, 1, 2, 1, 0, false},
        {"negative tile value", -20, -1, 2, 1, 2, 1, 0, false},
        {"left of the map", -1, -1, -1, 1, 0, 1, 0, false},
        {"right edge column", -1, -1, 7, 1, 0, 1, 0, false},
        {"below the map", -1, -1, 2, 7, 0, 1, 0, false},
    };
    for (const Case& c : cases) {
        MapState state = TestMap(c.stepSetting);
        state.tileFlags.push_back(0x02);
        if (c.layer1 >= 0 || c.layer1 < -1) state.map.Tile(1, 1, 1) = c.layer1;
        if (c.layer2 >= 0) state.map.Tile(2, 1, 1) = c.layer2;
        EXPECT_EQ(state.IsPassable(c.x, c.y, c.direction, -1, c.mode), c.passable) << c.what;
    }
}

TEST(Passability, QuarterModeBlocksByFootCell) {
    MapState state = TestMap();
    state.map.Tile(0, 1, 0) = kQuarter;
    // Feet on (2, 1) and (3, 1): the left foot stands on the blocked
    // bottom-left quarter of tile (1, 0).
    EXPECT_FALSE(state.IsPassable(2, 0, 2, -1, 1));
    // Feet on (1, 1) and (2, 1): the right foot stands there.
    EXPECT_FALSE(state.IsPassable(1, 0, 2, -1, 1));
    // Feet on the top row of the tile's lower neighbour.
    EXPECT_TRUE(state.IsPassable(2, 1, 2, -1, 1));
}

TEST(Passability, LoopingMapsHaveNoEdges) {
    MapState state = TestMap();
    state.loopX = true;
    state.loopY = true;
    EXPECT_TRUE(state.IsInside(-1, 100));
    EXPECT_TRUE(state.IsPassable(-1, 1, 4, -1, 1));
    EXPECT_TRUE(state.IsPassable(7, 7, 2, -1, 1));
    state.map.Tile(1, 3, 0) = kWall;
    // Cell -1 wraps onto the last column, row 8 onto the first.
    EXPECT_FALSE(state.IsPassable(-2, 7, 2, -1, 1));
}

TEST(Passability, CountersBushesAndTerrain) {
    MapState state = TestMap();
    state.map.Tile(1, 1, 1) = kCounter;
    EXPECT_TRUE(state.IsNearCounter(4, 1));
    EXPECT_TRUE(state.IsNearCounter(2, 2));
    EXPECT_FALSE(state.IsNearCounter(6, 1));
    EXPECT_FALSE(state.IsNearCounter(0, 1));  // a cell lies left of the map
    // Half a tile left of it: the counter lies under the right-hand cell.
    EXPECT_TRUE(state.IsNearCounter(1, 1));
    EXPECT_TRUE(state.IsNearCounter(1, 2));
    EXPECT_FALSE(state.IsNearCounter(1, 0)) << "its row lies below both rows looked at";
    state.map.Tile(1, 3, 0) = kCounter;
    EXPECT_TRUE(state.IsNearCounter(5, 0));
    EXPECT_FALSE(state.IsNearCounter(7, 0)) << "a cell lies right of the map";

    state.map.Tile(2, 2, 1) = kBush;
    EXPECT_TRUE(state.IsFlag40Pair(4, 1));
    EXPECT_FALSE(state.IsFlag40Pair(5, 1));

    // The floor's tag 3 lies under an empty top layer; tile (3, 1) carries 5.
    EXPECT_EQ(state.GetTerrainTag(0, 1), 3);
    state.map.Tile(1, 3, 1) = kBlocksDown;
    EXPECT_EQ(state.GetTerrainTag(5, 1), 5);
    state.map.Tile(2, 2, 1) = kOverhead;
    state.map.Tile(2, 3, 1) = kWall;
    EXPECT_EQ(state.GetTerrainTag(5, 1), 1);

    state.mapId = -1;
    EXPECT_EQ(state.GetTerrainTag(0, 1), 0);
    EXPECT_FALSE(state.IsNearCounter(4, 1));
}

TEST(MapTileChanges, AutoTileShapes) {
    struct Case {
        const char* what;
        int32_t fieldTile;  // the whole layer is painted with it first
        int32_t x, y, w, h, tile;
        int32_t cellX, cellY, expected;
    } cases[] = {
        {"alone in a plain field", 10, 2, 2, 1, 1, 3, 2, 2, 400000},
        {"inside its own kind", 3, 2, 2, 1, 1, 3, 2, 2, 404444},
        {"at the corner", 10, 0, 0, 1, 1, 3, 0, 0, 404120},
        {"row of two, right cell", 10, 2, 2, 2, 1, 3, 3, 2, 402020},
        {"row of two, left cell", 10, 2, 2, 2, 1, 3, 2, 2, 400202},
        {"clipped at the right edge", 10, 4, 3, 100, 1, 3, 5, 3, 402222},
        {"the empty kind keeps its shape", 10, 2, 2, 1, 1, 0, 2, 2, 104444},
        {"base tile", 3, 2, 2, 1, 1, 9, 2, 2, 1},
    };
    for (const Case& c : cases) {
        MapState state = TestMap();
        state.map.header.width = 6;
        state.map.header.height = 5;
        state.map.Clear();
        ASSERT_TRUE(state.ChangeMapTiles(1, 0, 0, 6, 5, c.fieldTile));
        ASSERT_TRUE(state.ChangeMapTiles(1, c.x, c.y, c.w, c.h, c.tile)) << c.what;
        EXPECT_EQ(state.map.Tile(1, c.cellX, c.cellY), c.expected) << c.what;
        EXPECT_EQ(state.map.Tile(0, c.cellX, c.cellY), kEmptyTileValue) << c.what;
    }
}

TEST(MapTileChanges, RefusedArguments) {
    MapState state = TestMap();
    const std::vector<int32_t> layer = state.map.layers[1];
    struct Case {
        int layer;
        int32_t x, y, tile;
    } cases[] = {{-1, 0, 0, 3}, {3, 0, 0, 3}, {1, 4, 0, 3}, {1, -1, 0, 3}, {1, 0, 4, 3}, {1, 0, 0, -1}, {1, 0, 0, 17}};
    for (const Case& c : cases)
        EXPECT_FALSE(state.ChangeMapTiles(c.layer, c.x, c.y, 1, 1, c.tile));
    // A rectangle of no cells paints nothing.
    EXPECT_TRUE(state.ChangeMapTiles(1, 0, 0, INT32_MIN, INT32_MIN, 3));
    EXPECT_TRUE(state.ChangeMapTiles(1, 3, 3, 0, 5, 3));
    EXPECT_EQ(state.map.layers[1], layer);
}

TEST(MapTileChanges, FlagsAndTilesets) {
    MapState state = TestMap();
    EXPECT_TRUE(state.SetTileFlag(10, 15));
    EXPECT_TRUE(state.SetTileFlag(8, 0));
    EXPECT_FALSE(state.IsPassable(2, 1, 2, -1, 1));
    EXPECT_FALSE(state.SetTileFlag(-1, 15));
    EXPECT_FALSE(state.SetTileFlag(17, 15));
    state.RestoreTileFlags();
    EXPECT_EQ(state.tileFlags, state.loadedTileFlags);
    EXPECT_TRUE(state.IsPassable(2, 1, 2, -1, 1));

    Tileset other;
    other.images[0] = "cave.png";
    other.images[7] = "lava.png";
    other.tileFlags = {0, 0, 0, 0, 0, 0, 0, 0, 15};
    other.terrainTags = {9};
    state.tilesets.tilesets = {Tileset(), other};
    EXPECT_FALSE(state.ChangeTileset(2));
    EXPECT_FALSE(state.ChangeTileset(-1));
    EXPECT_EQ(state.tileFlags.size(), 17u);
    EXPECT_TRUE(state.ChangeTileset(1));
    EXPECT_EQ(state.baseImageName, "cave.png");
    EXPECT_EQ(state.autoTileImageNames[6], "lava.png");
    EXPECT_EQ(state.loadedTileFlags, other.tileFlags);
    EXPECT_EQ(state.terrainTags, other.terrainTags);
    // The floor (base tile 2) is no longer in the flag list.
    EXPECT_FALSE(state.IsPassable(2, 1, 2, -1, 1));
}

}  // namespace
}  // namespace velk
