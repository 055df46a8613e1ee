#pragma once
// The commands that start other events or move within the running list:
// call an event (a common event or a page of a map event) as a child of the
// caller, reserve one, call a common event by name (loading a ".common" file
// once when the name is one), and jump to a label.
//
// Calls nest up to the interpreter's nesting limit; a call beyond it does
// not happen, so an event that calls itself on every run cannot exhaust the
// stack. A called event runs on its caller's share of the frame, so calls
// that branch or repeat end the frame at the same limit of commands.

#include <cstdint>
#include <optional>
#include <string>

#include "game/event/command_table.h"

namespace velk {

class CommonEventList;
class EventMapLink;
class EventSystemLink;
class EventTextLink;
class VariableStore;

class CallCommands final : public CommandHandlerSet {
public:
    CallCommands(CommonEventList& commonEvents, VariableStore& variables, EventTextLink& text);

    void RegisterInto(CommandTable& table) override;

    CommandResult CallEvent(EventInterpreter& in, const EventCommand& command);
    CommandResult ReserveEvent(EventInterpreter& in, const EventCommand& command);
    CommandResult CallCommonEventByName(EventInterpreter& in, const EventCommand& command);
    CommandResult JumpToLabel(EventInterpreter& in, const EventCommand& command);

private:
    // The common event an event number of 500000 and above names: relative
    // numbers (600000 and above) counted from the caller's common event and
    // kept within the list. May lie outside the list.
    int64_t CommonIndexOf(const EventInterpreter& in, int32_t number) const;
    // Stores the arguments in the callee's self variables, then starts it
    // as the caller's child.
    void CallCommon(EventInterpreter& in, const EventCommand& command, int32_t bits, int32_t common);
    // The common event a ".common" file's first record landed at; nullopt
    // when the file cannot be loaded.
    std::optional<int32_t> LoadCommonFile(const std::string& name);
    // Messages meant for the game's maker, shown in test play only.
    void ShowTestPlayError(const std::string& line);

    CommonEventList& commonEvents_;
    VariableStore& variables_;
    EventTextLink& text_;
};

}  // namespace velk
