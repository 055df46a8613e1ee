#pragma once
// The event commands that talk to the message and choice windows: show a
// message, offer choices, close the choice window, close the message window.
// They expand the texts' escape codes, leave requests in the game system,
// register the waiting interpreter and let it wait; the windows do the rest.

#include "game/event/command_table.h"

namespace velk {

class GameSystem;
class VariableStore;
class WindowWaiters;

class MessageCommands final : public CommandHandlerSet {
public:
    MessageCommands(GameSystem& system, VariableStore& store, WindowWaiters& waiters)
        : system_(system), store_(store), waiters_(waiters) {}

    void RegisterInto(CommandTable& table) override;

private:
    CommandResult Message(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult Choices(EventInterpreter& interpreter, const EventCommand& command);
    // Sets the choice request up; false when there is nothing to choose from
    // (the cancel value was delivered at once).
    bool OpenChoices(EventInterpreter& interpreter, const EventCommand& command);
    bool WindowsBusy() const;

    GameSystem& system_;
    VariableStore& store_;
    WindowWaiters& waiters_;
};

}  // namespace velk
