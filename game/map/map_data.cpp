#include "game/map/map_data.h"

#include <algorithm>

#include "game/data/data_container.h"
#include "game/data/data_file_cursor.h"
#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/text_format.h"
#include "game/map/map_texts.h"

namespace velk {
namespace {

constexpr uint8_t kMapMarker = 0x65;
// The fewest bytes an event record and a page record can take: what lets a
// count be checked against the file before anything is sized from it.
constexpr size_t kSmallestEventBytes = 30;
constexpr size_t kSmallestPageBytes = 69;

std::optional<std::string> ReadName(DataFileCursor& cursor) {
    auto length = cursor.U32();
    if (!length || *length > kMaxMapNameLength) return std::nullopt;
    auto bytes = cursor.Take(*length);
    if (!bytes) return std::nullopt;
    const auto zero = std::find(bytes->begin(), bytes->end(), uint8_t{0});
    return std::string(bytes->begin(), zero);
}

bool ReadHeader(DataFileCursor& cursor, MapHeader& header) {
    auto name = ReadName(cursor);
    if (!name) return false;
    header.name = std::move(*name);
    int32_t values[4];
    if (!cursor.ReadI32s(values)) return false;
    header.tileset = values[0];
    header.width = values[1];
    header.height = values[2];
    header.eventCount = values[3];
    return true;
}

bool ReadLayers(DataFileCursor& cursor, MapData& map) {
    const int32_t width = map.header.width;
    const int32_t height = map.header.height;
    // A map without cells leaves nothing to stand on and nothing to wrap
    // positions around.
    if (width <= 0 || height <= 0) return false;
    const uint64_t cells = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (!cursor.CanHold(cells * MapData::kLayerCount, 4)) return false;
    for (auto& layer : map.layers) {
        layer.resize(static_cast<size_t>(cells));
        if (!cursor.ReadI32s(layer)) return false;
    }
    return true;
}

bool ReadEvent(DataFileCursor& cursor, MapEventData& event) {
    if (!cursor.Skip(1 + 4)) return false;
    auto id = cursor.I32();
    if (!id) return false;
    event.id = *id;
    auto name = ReadName(cursor);
    if (!name) return false;
    event.name = std::move(*name);
    int32_t values[3];
    if (!cursor.ReadI32s(values)) return false;
    event.x = values[0];
    event.y = values[1];
    event.pageCount = values[2];
    auto byteCount = cursor.U32();
    if (!byteCount) return false;
    auto bytes = cursor.Take(*byteCount);
    if (!bytes) return false;
    if (event.bytes.size() < bytes->size()) event.bytes.resize(bytes->size());
    std::copy(bytes->begin(), bytes->end(), event.bytes.begin());

    const uint32_t pageCount = static_cast<uint32_t>(event.pageCount);
    if (event.pageCount < 0 || !cursor.CanHold(pageCount, kSmallestPageBytes)) return false;
    event.pages.clear();
    event.pages.reserve(pageCount);
    for (uint32_t i = 0; i < pageCount; ++i) {
        auto page = ReadEventPage(cursor);
        if (!page) return false;
        event.pages.push_back(std::move(*page));
    }
    return cursor.Skip(1);
}

bool ReadEvents(DataFileCursor& cursor, MapData& map) {
    const int32_t count = map.header.eventCount;
    if (count < 0 || !cursor.CanHold(static_cast<uint32_t>(count), kSmallestEventBytes)) return false;
    map.events.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        MapEventData event(-1);
        if (!ReadEvent(cursor, event)) return false;
        map.events.push_back(std::move(event));
    }
    // Ascending ids; records with the same id keep their order in the file.
    std::stable_sort(map.events.begin(), map.events.end(),
                     [](const MapEventData& a, const MapEventData& b) { return a.id < b.id; });
    return true;
}

MapFileStatus ParseInto(std::span<uint8_t> file, MapData& map) {
    auto opened = UnscrambleContainer(file, kMapFileLayout);
    if (!opened) return MapFileStatus::kDamaged;
    DataFileCursor cursor(file, kMapFileLayout.headerLength);
    auto marker = (cursor.Skip(4) ? cursor.U8() : std::nullopt);
    if (!marker || *marker != kMapMarker) return MapFileStatus::kDamaged;
    if (!ReadHeader(cursor, map.header) || !ReadLayers(cursor, map) || !ReadEvents(cursor, map)) {
        return MapFileStatus::kDamaged;
    }
    // The closing byte is not looked at, and a file cut just before it loses nothing.
    cursor.TakeUpTo(1);
    if (!ContainerSumMatches(file, kMapFileLayout, *opened, cursor.position())) return MapFileStatus::kSumMismatch;
    return MapFileStatus::kLoaded;
}

}  // namespace

MapFileStatus ParseMapFile(std::span<uint8_t> file, MapData& map) {
    // The layers keep their memory: maps of one game are mostly of a size,
    // and a map change then neither frees nor faults in megabytes of cells.
    map.header = MapHeader();
    map.events.clear();
    const MapFileStatus status = ParseInto(file, map);
    if (status != MapFileStatus::kLoaded) {
        map.header = MapHeader();
        map.events.clear();
        map.Clear();
    }
    return status;
}

bool MapData::Read(const std::string& name) {
    const std::string path = "Data\\" + name;
    auto file = ReadGameFile(path);
    if (!file) {
        *this = MapData();
        const std::string text =
            name.empty() ? std::string(texts::kMapFileNameNotSet) : FormatText(texts::kMapFileMissing, path.c_str());
        ActiveErrorReporter().ShowMessageBox(text, texts::kReadErrorCaption, MessageBoxButtons::kOkCancel);
        return false;
    }
    switch (ParseMapFile(*file, *this)) {
        case MapFileStatus::kLoaded: return true;
        case MapFileStatus::kSumMismatch: ReportTamperedFile(path); return false;
        case MapFileStatus::kDamaged: break;
    }
    ActiveErrorReporter().ShowMessageBox(FormatText(texts::kMapDataDamaged, path.c_str()),
                                         texts::kMapChangeErrorCaption);
    return false;
}

void MapData::Clear() {
    const size_t cells =
        static_cast<size_t>(std::max(header.width, 0)) * static_cast<size_t>(std::max(header.height, 0));
    for (auto& layer : layers)
        layer.assign(cells, kEmptyTileValue);
}

int32_t MapData::FindEventIndex(int32_t id) const {
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].id == id) return static_cast<int32_t>(i);
    }
    return -1;
}

bool MapData::ResizeLayers(bool fillAll, int32_t keptWidth, int32_t keptHeight) {
    const int32_t width = std::max(header.width, 0);
    const int32_t height = std::max(header.height, 0);
    const size_t cells = static_cast<size_t>(width) * static_cast<size_t>(height);
    keptWidth = std::max(keptWidth, 0);
    keptHeight = std::max(keptHeight, 0);
    for (auto& layer : layers) {
        std::vector<int32_t> resized(cells, kEmptyTileValue);
        // Old layers smaller than the size they claim keep nothing.
        const bool keep = !fillAll && layer.size() >= static_cast<size_t>(keptWidth) * static_cast<size_t>(keptHeight);
        for (int32_t x = 0; keep && x < std::min(width, keptWidth); ++x) {
            for (int32_t y = 0; y < std::min(height, keptHeight); ++y) {
                resized[static_cast<size_t>(x) * static_cast<size_t>(height) + static_cast<size_t>(y)] =
                    layer[static_cast<size_t>(x) * static_cast<size_t>(keptHeight) + static_cast<size_t>(y)];
            }
        }
        layer = std::move(resized);
    }
    return true;
}

int32_t MapData::PlaceWithFreeId(MapEventData record) {
    int32_t previous = -1;
    size_t at = 0;
    for (; at < events.size(); ++at) {
        // Ids repeated or out of order leave no gap behind them.
        if (events[at].id > previous + 1) break;
        previous = std::max(previous, events[at].id);
    }
    record.SetId(previous + 1);
    events.insert(events.begin() + static_cast<std::ptrdiff_t>(at), std::move(record));
    ++header.eventCount;
    return previous + 1;
}

int32_t MapData::AddEvent(int32_t x, int32_t y) {
    for (const MapEventData& event : events) {
        if (event.x == x && event.y == y) return 2;
    }
    if (x < 0 || y < 0 || x >= header.width || y >= header.height) return 0;
    MapEventData record;
    record.x = x;
    record.y = y;
    PlaceWithFreeId(std::move(record));
    return 1;
}

bool MapData::RemoveEvent(int32_t id) {
    const int32_t index = FindEventIndex(id);
    if (index < 0) return false;
    events.erase(events.begin() + index);
    --header.eventCount;
    return true;
}

int32_t MapData::CopyEvent(int32_t id, int32_t x, int32_t y) {
    const int32_t index = FindEventIndex(id);
    if (index < 0) return -1;
    return InsertEvent(events[static_cast<size_t>(index)], x, y);
}

int32_t MapData::InsertEvent(const MapEventData& record, int32_t x, int32_t y) {
    MapEventData copy = record;
    copy.x = x;
    copy.y = y;
    return PlaceWithFreeId(std::move(copy));
}

}  // namespace velk
