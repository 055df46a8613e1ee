#include "game/shell/save_installation.h"

namespace velk {

Saves InstallSaves(const SaveGameState& state, SaveHooks hooks, SaveCommandHooks commandHooks, CommandTable& table) {
    Saves saves;
    saves.cache = std::make_unique<SaveSlotCache>(state, std::move(hooks));
    saves.commands = std::make_unique<SaveCommands>(*saves.cache, std::move(commandHooks));
    table.Register(*saves.commands);
    return saves;
}

}  // namespace velk
