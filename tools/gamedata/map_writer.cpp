#include "tools/gamedata/map_writer.h"

#include "game/data/byte_writer.h"
#include "game/map/map_data.h"
#include "game/map/map_file_writer.h"
#include "platform/base/crt_random.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::gamedata {
namespace {

void WriteHeaderFiller(ByteWriter& writer, size_t length, uint32_t layoutSeed) {
    platform::CrtRandom random(layoutSeed);
    for (size_t i = 0; i < length; ++i)
        writer.WriteU8(static_cast<uint8_t>((random.Next() & 0xFF00) >> 8));
}

void WriteBytes(ByteWriter& writer, const std::vector<uint8_t>& bytes) {
    writer.WriteU32(static_cast<uint32_t>(bytes.size()));
    writer.WriteBytes(bytes);
}

EventPage PageOf(const PageDescription& description) {
    EventPage page;
    page.graphic = {description.graphicTile, description.graphicFile, description.facing,
                    description.pattern,     description.opacity,     description.blendMode};
    page.conditions.trigger = description.trigger;
    page.conditions.flags = description.conditionFlags;
    page.conditions.left = description.conditionLeft;
    page.conditions.right = description.conditionRight;
    page.route = description.route;
    page.commands = description.commands;
    if (description.appendEnd) page.commands.emplace_back();
    page.commandCount = static_cast<int32_t>(page.commands.size());
    page.bytes = description.bytes;
    return page;
}

MapData MapOf(const MapDescription& description) {
    MapData map;
    map.header.name = description.name;
    map.header.tileset = description.tileset;
    map.header.width = description.width;
    map.header.height = description.height;
    map.header.eventCount = static_cast<int32_t>(description.events.size());
    for (int layer = 0; layer < MapData::kLayerCount; ++layer)
        map.layers[layer] = description.layers[layer];
    // In the description's order, which need not be the ids' order.
    for (const MapEventDescription& event : description.events) {
        MapEventData& record = map.events.emplace_back(event.id);
        record.name = event.name;
        record.x = event.x;
        record.y = event.y;
        record.bytes = event.bytes;
        record.pages.clear();
        for (const PageDescription& page : event.pages)
            record.pages.push_back(PageOf(page));
        record.pageCount = static_cast<int32_t>(record.pages.size());
    }
    return map;
}

bool WritesAsTheGameDoes(const MapDescription& map) {
    if (map.leadWord != 100 || map.eventCount) return false;
    for (const MapEventDescription& event : map.events) {
        if (event.unusedWord != 12345 || event.pageCount) return false;
    }
    return true;
}

void PutU32(std::vector<uint8_t>& file, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// The words a stored game may carry otherwise than the game writes them, put
// into the plain file at their places.
void PutStoredWords(std::vector<uint8_t>& file, const MapDescription& description, const MapData& map) {
    constexpr size_t kLeadWordAt = 20;
    PutU32(file, kLeadWordAt, description.leadWord);
    // Lead word, marker, the name with its length, tileset, width, height.
    const size_t countAt = kLeadWordAt + 4 + 1 + 4 + description.name.size() + 1 + 12;
    if (description.eventCount) PutU32(file, countAt, static_cast<uint32_t>(*description.eventCount));
    const size_t cells = description.layers[0].size() + description.layers[1].size() + description.layers[2].size();
    size_t eventAt = countAt + 4 + 4 * cells;
    for (size_t i = 0; i < map.events.size(); ++i) {
        const MapEventDescription& event = description.events[i];
        PutU32(file, eventAt + 1, event.unusedWord);
        // Marker, unused word, id, the name with its length, x, y.
        const size_t pageCountAt = eventAt + 1 + 4 + 4 + 4 + event.name.size() + 1 + 8;
        if (event.pageCount) PutU32(file, pageCountAt, static_cast<uint32_t>(*event.pageCount));
        ByteWriter record;
        WriteMapEvent(record, map.events[i]);
        eventAt += record.Bytes().size();
    }
}

}  // namespace

void MapDescription::SizeLayers() {
    const size_t cells = static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0);
    for (auto& layer : layers)
        layer.assign(cells, 100000);
}

std::vector<uint8_t> WriteMapFile(const MapDescription& description) {
    const MapData map = MapOf(description);
    // The filler the game's writer draws comes from the generator: seeded
    // here, the same description gives the same bytes.
    platform::CrtRandom& generator = platform::MainThreadCrtRandom();
    const uint32_t kept = generator.State();
    generator.Seed(description.layoutSeed);
    std::vector<uint8_t> file;
    if (WritesAsTheGameDoes(description)) {
        file = EncodeMapFile(map, description.seeds);
    } else {
        file = EncodeMapFile(map, {0, 0, 0});
        PutStoredWords(file, description, map);
        SealContainer(file, kMapFileLayout, description.seeds);
    }
    generator.Seed(kept);
    return file;
}

std::vector<uint8_t> WriteTilesetFile(const TilesetFileDescription& description) {
    ByteWriter writer;
    WriteHeaderFiller(writer, kDataFileLayout.headerLength, description.layoutSeed);
    writer.WriteU8(description.version);
    writer.WriteU32(static_cast<uint32_t>(description.tilesets.size()));
    const bool byteFlags = description.version == 0xCF;
    for (const TilesetDescription& tileset : description.tilesets) {
        writer.WriteString(tileset.name);
        for (const std::string& image : tileset.images)
            writer.WriteString(image);
        writer.WriteU8(tileset.marker);
        WriteBytes(writer, tileset.terrainTags);
        writer.WriteU8(0);
        writer.WriteU32(static_cast<uint32_t>(tileset.tileFlags.size()));
        for (int32_t flags : tileset.tileFlags) {
            if (byteFlags) {
                writer.WriteU8(static_cast<uint8_t>(flags));
            } else {
                writer.WriteI32(flags);
            }
        }
    }
    writer.WriteU8(description.closing);
    std::vector<uint8_t> file = writer.Take();
    SealContainer(file, kDataFileLayout, description.seeds);
    return file;
}

bool WriteMapFiles(const GameDescription& description, const std::filesystem::path& dataFolder, std::string* error) {
    for (const MapDescription& map : description.maps) {
        std::filesystem::path path = dataFolder;
        std::string part;
        for (size_t i = 0; i < map.fileName.size(); ++i) {
            const auto byte = static_cast<uint8_t>(map.fileName[i]);
            if (byte == '\\') {
                path /= part;
                part.clear();
                continue;
            }
            part.push_back(map.fileName[i]);
            // The second byte of a Shift-JIS pair may be a backslash.
            const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
            if (lead && i + 1 < map.fileName.size()) part.push_back(map.fileName[++i]);
        }
        path /= part;
        if (!WriteFileBytes(path, WriteMapFile(map), error)) return false;
    }
    if (!description.tilesets) return true;
    return WriteFileBytes(dataFolder / "BasicData" / "TileSetData.dat", WriteTilesetFile(*description.tilesets), error);
}

}  // namespace velk::gamedata
