#pragma once
// A map event as the map state holds it. Until characters walk, an event is
// its record from the map file plus the character values a save carries;
// movement, pages and triggers join it with the characters.

#include <cstdint>
#include <string>
#include <vector>

#include "game/event/event_records.h"
#include "game/map/map_data.h"

namespace velk {

class ByteWriter;
class SaveStream;

// The values of a character that a save stores, in the order it stores them.
struct CharacterSavePart {
    int32_t id = -2;
    int32_t gridX = 0;
    int32_t gridY = 0;
    int32_t height = 0;
    uint8_t erased = 0;
    int32_t graphicTileNumber = -1;
    std::string graphicFileName;
    int16_t opacity = 255;
    uint16_t blendMode = 0;
    int16_t facing = 2;
    int16_t pattern = 1;
    uint8_t forcedRoute = 0;
    uint8_t passThrough = 0;
    MoveRoute currentRoute;
    MoveRoute suspendedRoute;
    int16_t moveType = 0;
    int16_t moveSpeed = 4;
    int16_t moveFrequency = 6;
    int16_t animationSpeed = 2;
    uint16_t routeIndex = 0;
    uint16_t suspendedIndex = 0;
    uint8_t fixedFacing = 0;
    uint8_t drawAbove = 0;
    uint8_t turnedForEvent = 0;
    std::vector<int32_t> extraInts;

    void WriteSave(ByteWriter& out) const;
    // False (with the stream's error flag set) on short data; the values
    // read before the shortage are kept.
    bool ReadSave(SaveStream& save);
};

class MapEvent {
public:
    MapEvent(int32_t mapId, MapEventData data);

    // One frame of the event (movement and its own interpreter come with
    // the characters).
    void Update() {}
    // Chooses the page whose conditions hold (comes with the characters).
    void RefreshPage() {}

    int32_t mapId;
    MapEventData data;
    CharacterSavePart character;
};

}  // namespace velk
