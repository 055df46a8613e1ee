#pragma once
// The one table of command handlers, indexed by command code. The
// interpreter registers its own flow commands (branches, loops, the end of an
// event); the modules above it register theirs as handler sets when the game
// is wired together. Each entry names the shortest argument and string lists
// its handler reads: lists are padded to them when a command list is
// prepared, and a command that still falls short is refused by the
// dispatcher, so no handler needs to check its own arguments' count.

#include <array>
#include <cstdint>
#include <functional>

#include "game/event/command_codes.h"

namespace velk {

class EventInterpreter;
struct EventCommand;

// What a handler tells the dispatcher.
enum class CommandResult : uint8_t {
    // Go on with the next command within the same turn, without looking at
    // any wait (bookkeeping commands: branches, loops, variables).
    kNext,
    // Back to the run loop, which advances to the next command and looks at
    // every wait before it runs it, in the same frame.
    kAdvance,
    // Stop for this frame; the same command runs again in the next frame
    // (unless the handler moved the line itself).
    kStopFrame,
};

using CommandHandler = std::function<CommandResult(EventInterpreter& interpreter, const EventCommand& command)>;

struct CommandEntry {
    CommandHandler handler;
    // Including argument 0, the code.
    uint8_t minimumArguments = 1;
    uint8_t minimumStrings = 0;
};

class CommandTable;

// A module's handlers. A set is built with references to the state objects
// its handlers work on and registers itself into the table.
class CommandHandlerSet {
public:
    virtual ~CommandHandlerSet() = default;
    virtual void RegisterInto(CommandTable& table) = 0;
};

class CommandTable {
public:
    // Holds the interpreter's own flow commands.
    CommandTable();

    // Replaces the entry of `code`.
    void Register(CommandCode code, uint8_t minimumArguments, uint8_t minimumStrings, CommandHandler handler);
    void Register(CommandHandlerSet& set) { set.RegisterInto(*this); }
    void Unregister(CommandCode code);

    // The entry of a code with a handler; null for any other code.
    const CommandEntry* Find(int32_t code) const {
        if (code < -1 || code > kLargestTableCode) return nullptr;
        const CommandEntry& entry = entries_[static_cast<size_t>(code + 1)];
        return entry.handler ? &entry : nullptr;
    }

private:
    std::array<CommandEntry, kLargestTableCode + 2> entries_;
};

// The table of this run.
CommandTable& ActiveCommandTable();

}  // namespace velk
