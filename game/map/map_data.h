#pragma once
// One map file in memory: its header, three layers of tile values and the
// map's events with their pages, kept in ascending id order.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "game/map/event_page.h"

namespace velk {

// The value of an empty cell, and of every cell of a cleared map.
inline constexpr int32_t kEmptyTileValue = 100000;

struct MapHeader {
    std::string name;
    int32_t tileset = 0;
    int32_t width = 20;
    int32_t height = 15;
    int32_t eventCount = 0;
};

struct MapEventData {
    explicit MapEventData(int32_t eventId = -1) : id(eventId) {}
    void SetId(int32_t eventId) { id = eventId; }

    int32_t id;
    std::string name;
    // The start cell in tiles.
    int32_t x = 0;
    int32_t y = 0;
    int32_t pageCount = 1;
    std::vector<uint8_t> bytes;
    std::vector<EventPage> pages = std::vector<EventPage>(1);
};

enum class MapFileStatus {
    kLoaded,
    // The file is not a map file, or a count, length or size does not fit it.
    kDamaged,
    // Parsed, but the sum of the plain bytes does not match the header.
    kSumMismatch,
};

class MapData {
public:
    static constexpr int kLayerCount = 3;

    MapData() { Clear(); }

    // Reads "Data\<name>". On failure the message has been shown and the map
    // is a cleared 20 x 15 map without events, so nothing that still looks at
    // it this frame finds layers that do not match the header.
    bool Read(const std::string& name);

    // Writes the file at a path of the game folder, scrambled with seeds
    // drawn from the wall time (map_file_writer.h has the layout); the old
    // file stays whole when the write fails. False when the file cannot be
    // made.
    bool Write(const std::string& path) const;

    // Every layer becomes width x height cells of the empty value.
    void Clear();
    // The layers take the header's size. A cell keeps its value when
    // `fillAll` is false and it lay inside the size the layers had,
    // `keptWidth` x `keptHeight` (its old value at the same x and y); every
    // other cell is empty. Always true.
    bool ResizeLayers(bool fillAll, int32_t keptWidth, int32_t keptHeight);
    // Index of the event with this id in `events`, -1 when none.
    int32_t FindEventIndex(int32_t id) const;

    // Editing. A new record takes the lowest id no event has, where the
    // id order first leaves a gap (events 0, 1, 3: id 2, placed between 1
    // and 3), else one above the last; the header's count follows.
    // 2 when an event stands at (x, y) already, 0 when (x, y) lies off the
    // map, else 1 after adding a default record there.
    int32_t AddEvent(int32_t x, int32_t y);
    // False when no event has the id.
    bool RemoveEvent(int32_t id);
    // The copy's id; -1 when no event has `id`.
    int32_t CopyEvent(int32_t id, int32_t x, int32_t y);
    // The id a copy of `record` placed at (x, y) was given.
    int32_t InsertEvent(const MapEventData& record, int32_t x, int32_t y);

    // The cell's value; the caller keeps x, y inside the header's size.
    int32_t Tile(int layer, int32_t x, int32_t y) const {
        return layers[layer][static_cast<size_t>(x) * static_cast<size_t>(header.height) + static_cast<size_t>(y)];
    }
    int32_t& Tile(int layer, int32_t x, int32_t y) {
        return layers[layer][static_cast<size_t>(x) * static_cast<size_t>(header.height) + static_cast<size_t>(y)];
    }

    MapHeader header;
    // Per layer, column by column: x * height + y, as the file stores them.
    std::vector<int32_t> layers[kLayerCount];
    std::vector<MapEventData> events;

private:
    // Places the record at the lowest free id; its id.
    int32_t PlaceWithFreeId(MapEventData record);
};

// Reads a whole map file held in memory (scrambled; unscrambled in place)
// into `map`. On any status but kLoaded the map is a cleared 20 x 15 map
// without events.
MapFileStatus ParseMapFile(std::span<uint8_t> file, MapData& map);

// The longest map, event or page graphic name, its terminator included.
inline constexpr uint32_t kMaxMapNameLength = 512;

}  // namespace velk
