#include "game/map/map_tile_commands.h"

#include "game/event/event_interpreter.h"
#include "game/event/event_records.h"
#include "game/map/map_links.h"
#include "game/map/map_state.h"

namespace velk {
namespace {

// Argument 1 of the flag command: every flag back as the tileset has it.
constexpr int32_t kRestoreAllFlags = -1000000;

}  // namespace

void MapTileCommands::RegisterInto(CommandTable& table) {
    table.Register(CommandCode::kSetTilePassability, 3, 0, [this](EventInterpreter& in, const EventCommand& command) {
        return SetTilePassability(in, command);
    });
    table.Register(CommandCode::kChangeTileset, 2, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return ChangeTileset(in, command); });
    table.Register(CommandCode::kChangeMapTiles, 7, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return ChangeMapTiles(in, command); });
}

CommandResult MapTileCommands::SetTilePassability(EventInterpreter& interpreter, const EventCommand& command) {
    if (command.arguments[1] == kRestoreAllFlags) {
        map_.RestoreTileFlags();
        notices_.TileFlagsChanged();
    } else if (map_.SetTileFlag(interpreter.GetValue(command.arguments[1]), command.arguments[2])) {
        notices_.TileFlagsChanged();
    }
    return CommandResult::kNext;
}

CommandResult MapTileCommands::ChangeTileset(EventInterpreter& interpreter, const EventCommand& command) {
    if (map_.ChangeTileset(interpreter.GetValue(command.arguments[1]))) notices_.TilesetChanged();
    return CommandResult::kNext;
}

CommandResult MapTileCommands::ChangeMapTiles(EventInterpreter& interpreter, const EventCommand& command) {
    int32_t values[6];
    for (int i = 0; i < 6; ++i)
        values[i] = interpreter.GetValue(command.arguments[static_cast<size_t>(i) + 1]);
    map_.ChangeMapTiles(values[0] - 1, values[1], values[2], values[3], values[4], values[5]);
    return CommandResult::kNext;
}

}  // namespace velk
