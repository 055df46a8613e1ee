#include "game/map/map_file_writer.h"

#include <algorithm>

#include "game/data/byte_writer.h"
#include "game/data/game_file_source.h"
#include "platform/base/clock.h"
#include "platform/base/crt_random.h"

namespace velk {
namespace {

constexpr uint32_t kLeadWord = 100;
constexpr uint32_t kUnusedEventWord = 12345;
constexpr uint8_t kMapMarker = 'e';
constexpr uint8_t kMapEndMarker = 'f';
constexpr uint8_t kEventMarker = 'o';
constexpr uint8_t kEventEndMarker = 'p';
constexpr uint8_t kPageMarker = 'y';
constexpr uint8_t kPageEndMarker = 'z';
// Header bytes that hold the second and third check bytes: never computed,
// always 0.
constexpr size_t kSpareCheckOffsets[] = {6, 8};

void WriteByteList(ByteWriter& out, const std::vector<uint8_t>& bytes) {
    out.WriteU32(static_cast<uint32_t>(bytes.size()));
    out.WriteBytes(bytes);
}

}  // namespace

void WriteEventPage(ByteWriter& out, const EventPage& page) {
    out.WriteU8(kPageMarker);
    out.WriteI32(page.graphic.tileNumber);
    out.WriteString(page.graphic.fileName);
    out.WriteU8(page.graphic.facing);
    out.WriteU8(page.graphic.pattern);
    out.WriteU8(page.graphic.opacity);
    out.WriteU8(page.graphic.blendMode);
    out.WriteU8(page.conditions.trigger);
    for (uint8_t flags : page.conditions.flags)
        out.WriteU8(flags);
    for (int32_t left : page.conditions.left)
        out.WriteI32(left);
    for (int32_t right : page.conditions.right)
        out.WriteI32(right);
    WriteMoveRoute(out, page.route);
    // The count is that of the list written: a count field that disagreed
    // with it would make the reader take the following bytes for commands.
    out.WriteU32(static_cast<uint32_t>(page.commands.size()));
    for (const EventCommand& command : page.commands)
        WriteEventCommand(out, command);
    WriteByteList(out, page.bytes);
    out.WriteU8(kPageEndMarker);
}

void WriteMapEvent(ByteWriter& out, const MapEventData& event) {
    out.WriteU8(kEventMarker);
    out.WriteU32(kUnusedEventWord);
    out.WriteI32(event.id);
    out.WriteString(event.name);
    out.WriteI32(event.x);
    out.WriteI32(event.y);
    out.WriteU32(static_cast<uint32_t>(event.pages.size()));
    WriteByteList(out, event.bytes);
    for (const EventPage& page : event.pages)
        WriteEventPage(out, page);
    out.WriteU8(kEventEndMarker);
}

std::vector<uint8_t> EncodeMapFile(const MapData& map, const ContainerSeeds& seeds) {
    // Sized as the map needs: a large map does not fit a buffer fixed in
    // advance.
    ByteWriter out;
    out.WriteBytes(std::vector<uint8_t>(kMapFileLayout.headerLength, 0));
    out.WriteU32(kLeadWord);
    out.WriteU8(kMapMarker);
    out.WriteString(map.header.name);
    out.WriteI32(map.header.tileset);
    out.WriteI32(map.header.width);
    out.WriteI32(map.header.height);
    out.WriteU32(static_cast<uint32_t>(map.events.size()));
    const size_t cells =
        static_cast<size_t>(std::max(map.header.width, 0)) * static_cast<size_t>(std::max(map.header.height, 0));
    for (const auto& layer : map.layers) {
        // Layers that do not match the header are written as the header
        // says: what is missing as empty cells.
        for (size_t cell = 0; cell < cells; ++cell)
            out.WriteI32(cell < layer.size() ? layer[cell] : kEmptyTileValue);
    }
    for (const MapEventData& event : map.events)
        WriteMapEvent(out, event);
    out.WriteU8(kMapEndMarker);

    std::vector<uint8_t>& file = out.MutableBytes();
    SealContainer(file, kMapFileLayout, seeds);
    // The filler comes from the generator as the scrambling left it.
    for (size_t i = 0; i < kMapFileLayout.headerLength; ++i) {
        const auto filler = static_cast<uint8_t>((platform::CrtRand() & 0xFF00) >> 8);
        const bool seed = i == kMapFileLayout.seedOffsets[0] || i == kMapFileLayout.seedOffsets[1] ||
                          i == kMapFileLayout.seedOffsets[2];
        if (seed || static_cast<int>(i) == kMapFileLayout.checkOffset) continue;
        file[i] = filler;
    }
    for (size_t offset : kSpareCheckOffsets)
        file[offset] = 0;
    return std::move(file);
}

ContainerSeeds DrawMapFileSeeds() {
    platform::CrtSrand(static_cast<uint32_t>(platform::ActiveClock().WallSeconds()));
    ContainerSeeds seeds{};
    auto draw = [&seeds] {
        for (uint8_t& seed : seeds)
            seed = static_cast<uint8_t>((platform::CrtRand() & 0xFF0) >> 4);
    };
    draw();
    if (seeds[0] == 0 && seeds[1] == 0 && seeds[2] == 0) draw();
    return seeds;
}

bool MapData::Write(const std::string& path) const {
    const std::vector<uint8_t> file = EncodeMapFile(*this, DrawMapFileSeeds());
    return WriteLocalFileAtomically(path, file);
}

}  // namespace velk
