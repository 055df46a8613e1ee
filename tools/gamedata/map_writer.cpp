#include "tools/gamedata/map_writer.h"

#include "game/data/byte_writer.h"
#include "platform/base/crt_random.h"
#include "tools/gamedata/event_record_writer.h"
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

void WritePage(ByteWriter& writer, const PageDescription& page) {
    writer.WriteU8('y');
    writer.WriteI32(page.graphicTile);
    writer.WriteString(page.graphicFile);
    writer.WriteU8(page.facing);
    writer.WriteU8(page.pattern);
    writer.WriteU8(page.opacity);
    writer.WriteU8(page.blendMode);
    writer.WriteU8(page.trigger);
    for (uint8_t flag : page.conditionFlags)
        writer.WriteU8(flag);
    for (int32_t value : page.conditionLeft)
        writer.WriteI32(value);
    for (int32_t value : page.conditionRight)
        writer.WriteI32(value);
    WriteMoveRoute(writer, page.route);
    writer.WriteU32(static_cast<uint32_t>(page.commands.size() + (page.appendEnd ? 1 : 0)));
    for (const EventCommand& command : page.commands)
        WriteEventCommand(writer, command);
    if (page.appendEnd) WriteEventCommand(writer, EventCommand{});
    WriteBytes(writer, page.bytes);
    writer.WriteU8('z');
}

void WriteEvent(ByteWriter& writer, const MapEventDescription& event) {
    writer.WriteU8('o');
    writer.WriteU32(event.unusedWord);
    writer.WriteI32(event.id);
    writer.WriteString(event.name);
    writer.WriteI32(event.x);
    writer.WriteI32(event.y);
    writer.WriteI32(event.pageCount.value_or(static_cast<int32_t>(event.pages.size())));
    WriteBytes(writer, event.bytes);
    for (const PageDescription& page : event.pages)
        WritePage(writer, page);
    writer.WriteU8('p');
}

}  // namespace

void MapDescription::SizeLayers() {
    const size_t cells = static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0);
    for (auto& layer : layers)
        layer.assign(cells, 100000);
}

std::vector<uint8_t> WriteMapFile(const MapDescription& map) {
    ByteWriter writer;
    WriteHeaderFiller(writer, kMapFileLayout.headerLength, map.layoutSeed);
    writer.WriteU32(map.leadWord);
    writer.WriteU8('e');
    writer.WriteString(map.name);
    writer.WriteI32(map.tileset);
    writer.WriteI32(map.width);
    writer.WriteI32(map.height);
    writer.WriteI32(map.eventCount.value_or(static_cast<int32_t>(map.events.size())));
    for (const auto& layer : map.layers) {
        for (int32_t value : layer)
            writer.WriteI32(value);
    }
    for (const MapEventDescription& event : map.events)
        WriteEvent(writer, event);
    writer.WriteU8('f');
    std::vector<uint8_t> file = writer.Take();
    SealContainer(file, kMapFileLayout, map.seeds);
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
