#pragma once
// One page of a map event as map files store it: what the event looks like,
// when the page applies, how the event moves, and the commands it runs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/event/event_page_conditions.h"
#include "game/event/event_records.h"

namespace velk {

class ByteWriter;
class DataFileCursor;

struct EventPageGraphic {
    // -1: the graphic is the image file named below; else a tileset cell.
    int32_t tileNumber = -1;
    std::string fileName;
    uint8_t facing = 2;
    uint8_t pattern = 1;
    uint8_t opacity = 255;
    uint8_t blendMode = 0;
};

// The code of the command that ends every page's list.
inline constexpr int32_t kEndOfListCode = -1;

struct EventPage {
    EventPageGraphic graphic;
    EventPageConditions conditions;
    MoveRoute route;
    int32_t commandCount = 0;
    std::vector<EventCommand> commands = std::vector<EventCommand>(1);
    // Item 0 the shadow graphic number, items 1 and 2 the collision extents.
    std::vector<uint8_t> bytes = std::vector<uint8_t>(3, 0);

    // How far, in half tiles, the event reaches beyond its own cell for the
    // start and touch checks, by axis (0 across, 1 down the map) and side (0:
    // the event lies at lower coordinates than the cell tested, 1: higher).
    // Across, byte 1 on both sides; down the map, byte 2 and only for a
    // reference cell above the event (its drawn body rises above its feet,
    // so a taller body is touched from further up); never below it. 0 when
    // the page carries no extents.
    int32_t CollisionExtent(int axis, int side) const {
        if (bytes.size() < 3) return 0;
        if (axis == 0) return bytes[1];
        return side == 1 ? bytes[2] : 0;
    }
    // The page lets characters reach it from further than its own cell.
    bool HasCollisionExtents() const { return bytes.size() >= 3 && (bytes[1] != 0 || bytes[2] != 0); }
};

// Reads one page; nullopt when a count or length does not fit the bytes
// left or a name passes its limit. The last command's code becomes the end
// mark; a page that stores no commands gets one end-mark command.
std::optional<EventPage> ReadEventPage(DataFileCursor& cursor);

}  // namespace velk
