#pragma once
// Map files written: the layout the reader takes (lead word 100, the unused
// word 12345 before every event id, the record markers), sealed in the map
// container. Every stored count is that of the list written, so a written
// file always reads back whole.

#include <cstdint>
#include <vector>

#include "game/data/data_container.h"
#include "game/map/map_data.h"

namespace velk {

class ByteWriter;

void WriteEventPage(ByteWriter& out, const EventPage& page);
void WriteMapEvent(ByteWriter& out, const MapEventData& event);

// The whole file, scrambled with `seeds` (all 0: a plain body). The header's
// filler comes from the main thread's C runtime generator as the scrambling
// leaves it; header bytes 6 and 8 are 0.
std::vector<uint8_t> EncodeMapFile(const MapData& map, const ContainerSeeds& seeds);

// Three seeds drawn from the generator seeded with the wall time, drawn once
// more when all three came out 0.
ContainerSeeds DrawMapFileSeeds();

}  // namespace velk
