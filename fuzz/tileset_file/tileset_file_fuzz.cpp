// The tileset file: any bytes read as the list of tilesets; each tileset
// read then becomes the current one of a small map, which is passed over.
#include <cstdint>
#include <vector>

#include "game/map/map_state.h"
#include "tests/game/data/data_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::testing::RecordingReporter quiet;
    std::vector<uint8_t> file(data, data + size);
    static velk::MapState state{velk::MapSettings()};
    velk::ParseTilesetFile(file, state.tilesets);
    state.mapId = 0;
    state.map.header.width = 3;
    state.map.header.height = 2;
    state.map.Clear();
    for (int32_t x = 0; x < 3; ++x) {
        state.map.Tile(0, x, 0) = x;
        state.map.Tile(1, x, 1) = 200000 * x + 4444;
    }
    for (int32_t number = -1; number <= state.tilesets.GetCount() && number < 16; ++number) {
        state.ChangeTileset(number);
        for (int32_t y = -1; y < 4; ++y) {
            for (int32_t x = -1; x < 6; ++x) {
                state.IsPassable(x, y, 2 + 2 * (x & 3), -1, 1);
                state.GetTerrainTag(x, y);
                state.IsNearCounter(x, y);
            }
        }
        state.SetTileFlag(number, 0x20);
        state.ChangeMapTiles(1, 1, 0, 2, 2, number);
        state.RestoreTileFlags();
    }
    return 0;
}
