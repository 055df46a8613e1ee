#pragma once
// The event commands that change the current map's tiles: one tile's flag
// word, the whole tileset, and a painted rectangle of one layer.

#include "game/event/command_table.h"

namespace velk {

class MapRedrawNotices;
class MapState;

class MapTileCommands : public CommandHandlerSet {
public:
    MapTileCommands(MapState& map, MapRedrawNotices& notices) : map_(map), notices_(notices) {}
    void RegisterInto(CommandTable& table) override;

    CommandResult SetTilePassability(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult ChangeTileset(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult ChangeMapTiles(EventInterpreter& interpreter, const EventCommand& command);

private:
    MapState& map_;
    MapRedrawNotices& notices_;
};

}  // namespace velk
