// A map file: any bytes read as a map; what was read then becomes the
// current map, whose tiles are looked up, passed, repainted and saved.
#include <cstdint>
#include <vector>

#include "game/data/byte_writer.h"
#include "game/data/save_stream.h"
#include "game/map/map_state.h"
#include "tests/game/data/data_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::testing::RecordingReporter quiet;
    std::vector<uint8_t> file(data, data + size);
    static velk::MapState state{velk::MapSettings()};
    if (velk::ParseMapFile(file, state.map) != velk::MapFileStatus::kLoaded) return 0;
    state.mapId = 0;
    state.tileFlags = {0, 0x20 | 0x0F, 0x10, 0x100, 0x80, 0x40, 15, 0x22, 0, 0x11, 0x104};
    state.terrainTags = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    state.loopX = size % 2 == 1;
    state.loopY = size % 3 == 1;
    const int32_t width = state.GetWidth();
    const int32_t height = state.GetHeight();
    for (int32_t y = -2; y < 6; ++y) {
        for (int32_t x = -2; x < 6; ++x) {
            for (int32_t direction : {0, 2, 4, 6, 8, 9})
                state.IsPassable(x, y, direction, -1, 1 + (x & 1));
            state.IsNearCounter(x, y);
            state.IsFlag40Pair(x, y);
            state.GetTerrainTag(x, y);
        }
    }
    state.ChangeMapTiles(static_cast<int>(size % 3), width - 1, height - 1, 3, 3, 3);
    state.ChangeMapTiles(1, 0, 0, width, 2, 1);
    state.ChangeMapTiles(2, width / 2, 0, static_cast<int32_t>(size) - 2048, INT32_MIN + static_cast<int32_t>(size), 2);
    for (const velk::MapEventData& event : state.map.events) {
        for (const velk::EventPage& page : event.pages)
            page.CollisionExtent(1, 1);
    }
    velk::ByteWriter out;
    state.WriteSave(out);
    return 0;
}
