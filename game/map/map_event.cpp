#include "game/map/map_event.h"

#include "game/data/byte_writer.h"
#include "game/data/save_stream.h"

namespace velk {
namespace {

// The fields of the save form, in order, read with one helper each so that
// the first short read stops the rest.
template <typename T, typename Read>
bool Take(std::optional<Read> value, T& into) {
    if (!value) return false;
    into = static_cast<T>(*value);
    return true;
}

}  // namespace

void CharacterSavePart::WriteSave(ByteWriter& out) const {
    out.WriteI32(id);
    out.WriteI32(gridX);
    out.WriteI32(gridY);
    out.WriteI32(height);
    out.WriteU8(erased);
    out.WriteI32(graphicTileNumber);
    // The length is 16 bits; no graphic name comes near it.
    out.WriteShortString(graphicFileName.substr(0, 65533));
    out.WriteU16(static_cast<uint16_t>(opacity));
    out.WriteU16(blendMode);
    out.WriteU16(static_cast<uint16_t>(facing));
    out.WriteU16(static_cast<uint16_t>(pattern));
    out.WriteU8(forcedRoute);
    out.WriteU8(passThrough);
    WriteMoveRoute(out, currentRoute);
    WriteMoveRoute(out, suspendedRoute);
    out.WriteU16(static_cast<uint16_t>(moveType));
    out.WriteU16(static_cast<uint16_t>(moveSpeed));
    out.WriteU16(static_cast<uint16_t>(moveFrequency));
    out.WriteU16(static_cast<uint16_t>(animationSpeed));
    out.WriteU16(routeIndex);
    out.WriteU16(suspendedIndex);
    out.WriteU8(fixedFacing);
    out.WriteU8(drawAbove);
    out.WriteU8(turnedForEvent);
    out.WriteU32(static_cast<uint32_t>(extraInts.size()));
    for (int32_t value : extraInts)
        out.WriteI32(value);
}

bool CharacterSavePart::ReadSave(SaveStream& save) {
    if (!Take(save.ReadI32(), id) || !Take(save.ReadI32(), gridX) || !Take(save.ReadI32(), gridY) ||
        !Take(save.ReadI32(), height) || !Take(save.ReadU8(), erased) || !Take(save.ReadI32(), graphicTileNumber)) {
        return false;
    }
    // Any stored length that the data holds is taken, so every save this
    // program writes can be read back.
    auto name = save.ReadShortString();
    if (!name) return false;
    graphicFileName = std::move(*name);
    if (!Take(save.ReadU16(), opacity) || !Take(save.ReadU16(), blendMode) || !Take(save.ReadU16(), facing) ||
        !Take(save.ReadU16(), pattern) || !Take(save.ReadU8(), forcedRoute) || !Take(save.ReadU8(), passThrough)) {
        return false;
    }
    auto current = ReadMoveRoute(save);
    if (!current) return false;
    currentRoute = std::move(*current);
    auto suspended = ReadMoveRoute(save);
    if (!suspended) return false;
    suspendedRoute = std::move(*suspended);
    if (!Take(save.ReadU16(), moveType) || !Take(save.ReadU16(), moveSpeed) || !Take(save.ReadU16(), moveFrequency) ||
        !Take(save.ReadU16(), animationSpeed) || !Take(save.ReadU16(), routeIndex) ||
        !Take(save.ReadU16(), suspendedIndex) || !Take(save.ReadU8(), fixedFacing) || !Take(save.ReadU8(), drawAbove) ||
        !Take(save.ReadU8(), turnedForEvent)) {
        return false;
    }
    auto count = save.ReadU32();
    if (!count || !save.CanHold(*count, 4)) return false;
    extraInts.resize(*count);
    for (int32_t& value : extraInts) {
        if (!Take(save.ReadI32(), value)) return false;
    }
    return true;
}

MapEvent::MapEvent(int32_t mapId, MapEventData data) : mapId(mapId), data(std::move(data)) {
    character.id = this->data.id;
    character.gridX = this->data.x * 2;
    character.gridY = this->data.y * 2;
}

}  // namespace velk
