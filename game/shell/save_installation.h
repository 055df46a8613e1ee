#pragma once
// Saving and loading joined to the game: the slot cache over the home's
// objects and the save commands in the command table. The home keeps what
// this returns for as long as its objects live, empties the cache in the
// title/reset block (Clear) and drops what a load replaced when the scene
// restarts after it (DropReplaced).

#include <memory>

#include "game/shell/save_commands.h"
#include "game/shell/save_slot_cache.h"

namespace velk {

class CommandTable;

struct Saves {
    std::unique_ptr<SaveSlotCache> cache;
    std::unique_ptr<SaveCommands> commands;
};

Saves InstallSaves(const SaveGameState& state, SaveHooks hooks, SaveCommandHooks commandHooks, CommandTable& table);

}  // namespace velk
