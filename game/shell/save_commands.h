#pragma once
// The event commands that save the game into a slot, load a slot (or its
// replay), and read or write one variable of another slot's save.

#include <functional>
#include <string>

#include "game/event/command_table.h"

namespace velk {

class SaveSlotCache;

struct SaveCommandHooks {
    // A load by the command succeeded: the screen transition starts as the
    // transition command starts it, and no interpreter runs on in this frame.
    std::function<void()> gameLoaded;
    // A replay was started: no interpreter runs on in this frame.
    std::function<void()> replayStarted;
};

class SaveCommands : public CommandHandlerSet {
public:
    SaveCommands(SaveSlotCache& cache, SaveCommandHooks hooks) : cache_(cache), hooks_(std::move(hooks)) {}
    void RegisterInto(CommandTable& table) override;

    CommandResult SaveLoad(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult ReadSaveValue(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult WriteSaveValue(EventInterpreter& interpreter, const EventCommand& command);

private:
    SaveSlotCache& cache_;
    SaveCommandHooks hooks_;
};

}  // namespace velk
