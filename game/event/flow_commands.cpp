// Branches and loops: event command lists have no nested blocks, every
// command carries an indent, and these commands move the line by indent.
#include "game/data/game_owners.h"
#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"

namespace velk {

void EventInterpreter::SkipToSameIndent() {
    const int32_t indent = IndentAt(line);
    const int32_t last = static_cast<int32_t>(list_ ? list_->Size() : 0) - 1;
    // With nothing more at this indent the line stops on the last command,
    // so the list runs out and the event ends.
    while (line < last && IndentAt(line + 1) != indent) {
        ++line;
    }
}

void EventInterpreter::RepeatLoop() {
    if (loopCounters.empty()) return;
    --loopCounters.back();
    const int32_t indent = loopIndents.back();
    do {
        --line;
    } while (line >= 0 && IndentAt(line) != indent);
    // No loop head before it: the list is damaged, and the event ends.
    if (line < 0) line = static_cast<int32_t>(list_->Size());
}

void EventInterpreter::BreakLoop() {
    if (loopIndents.empty() || !list_) return;
    const int32_t indent = loopIndents.back();
    // The last command (the end of the list) is not looked at.
    const int32_t last = static_cast<int32_t>(list_->Size()) - 1;
    for (int32_t at = line + 1; at < last; ++at) {
        const EventCommand& command = (*list_)[static_cast<size_t>(at)];
        if (IsLoopEndCode(command.Code()) && command.indent == indent) {
            line = at;
            PopLoop();
            return;
        }
    }
}

void EventInterpreter::PushLoop(int32_t indent, int32_t count) {
    loopIndents.push_back(indent);
    loopCounters.push_back(count);
}

void EventInterpreter::PopLoop() {
    if (loopIndents.empty()) return;
    loopIndents.pop_back();
    loopCounters.pop_back();
}

// The interpreter's own commands, registered in every table.
class FlowCommands {
public:
    static void RegisterInto(CommandTable& table) {
        table.Register(CommandCode::kCaseHead, 2, 0, CaseHead);
        table.Register(CommandCode::kElseHead, 2, 0, CaseHead);
        table.Register(CommandCode::kCaseHeadPlain, 2, 0, CaseHeadPlain);
        table.Register(CommandCode::kElseHeadPlain, 2, 0, CaseHeadPlain);
        table.Register(CommandCode::kBranchEnd, 1, 0, BranchEnd);
        table.Register(CommandCode::kLoopStart, 1, 0, LoopStart);
        table.Register(CommandCode::kLoopCount, 2, 0, LoopCount);
        table.Register(CommandCode::kBreakLoop, 1, 0, BreakLoop);
        table.Register(CommandCode::kContinueLoop, 1, 0, ContinueLoop);
        table.Register(CommandCode::kLoopEnd, 1, 0, LoopEnd);
        table.Register(CommandCode::kEndEvent, 1, 0, EndEvent);
        table.Register(CommandCode::kEraseEvent, 3, 0, EraseEvent);
    }

private:
    using Result = CommandResult;

    static bool Prepared(const EventCommand& command) { return command.jumps.size() > 1 && command.jumps[0] != 0; }

    // The case body runs when the branch's value equals the head's; a taken
    // case marks the branch so no later head of it matches.
    static bool Matches(EventInterpreter& in, const EventCommand& command) {
        int32_t* slot = in.BranchSlot(command.indent);
        if ((slot ? *slot : 0) != command.arguments[1]) return false;
        if (slot) *slot = EventInterpreter::kCaseTaken;
        return true;
    }

    static Result CaseHead(EventInterpreter& in, const EventCommand& command) {
        if (Prepared(command) && command.jumps[0] == 2) {
            in.line = command.jumps[1] - 1;
            return Result::kNext;
        }
        if (Matches(in, command)) return Result::kNext;
        if (Prepared(command)) {
            in.line = command.jumps[1] - 1;
        } else {
            in.SkipToSameIndent();
        }
        return Result::kNext;
    }

    static Result CaseHeadPlain(EventInterpreter& in, const EventCommand& command) {
        if (!Matches(in, command)) in.SkipToSameIndent();
        return Result::kNext;
    }

    static Result BranchEnd(EventInterpreter& in, const EventCommand& command) {
        if (int32_t* slot = in.BranchSlot(command.indent)) *slot = EventInterpreter::kCaseTaken;
        return Result::kNext;
    }

    static Result LoopStart(EventInterpreter& in, const EventCommand& command) {
        in.PushLoop(command.indent, EventInterpreter::kEndlessLoopCount);
        return Result::kNext;
    }

    static Result LoopCount(EventInterpreter& in, const EventCommand& command) {
        // The count is read twice (a random count draws twice), as stored
        // games and replays expect.
        const int32_t count = in.GetValue(command.arguments[1]);
        in.PushLoop(command.indent, static_cast<int32_t>(static_cast<uint32_t>(count) - 1u));
        if (in.GetValue(command.arguments[1]) <= 0) in.BreakLoop();
        return Result::kNext;
    }

    static Result BreakLoop(EventInterpreter& in, const EventCommand&) {
        in.BreakLoop();
        return Result::kNext;
    }

    static Result ContinueLoop(EventInterpreter& in, const EventCommand&) {
        if (!in.loopCounters.empty() && in.loopCounters.back() > 0) {
            in.RepeatLoop();
        } else {
            in.BreakLoop();
        }
        return Result::kNext;
    }

    static Result LoopEnd(EventInterpreter& in, const EventCommand& command) {
        if (in.loopCounters.empty()) return Result::kNext;
        if (in.loopCounters.back() <= 0) {
            in.PopLoop();
            return Result::kNext;
        }
        --in.loopCounters.back();
        // Prepared lists know the loop head already.
        if (Prepared(command)) {
            in.line = command.jumps[1];
            return Result::kNext;
        }
        const int32_t indent = command.indent;
        do {
            --in.line;
        } while (in.line >= 0 && in.IndentAt(in.line) != indent);
        if (in.line < 0) in.line = static_cast<int32_t>(in.list_->Size());
        return Result::kNext;
    }

    static Result EndEvent(EventInterpreter& in, const EventCommand&) {
        in.CmdEndOfList();
        return Result::kAdvance;
    }

    // Ends the frame either way; erasing this event also ends it, even where
    // there is no map event to erase (it would otherwise run again every
    // frame).
    static Result EraseEvent(EventInterpreter& in, const EventCommand& command) {
        EventMapLink& map = *ActiveEventLinks().map;
        const int32_t frames = command.arguments[2];
        if (command.arguments[1] <= -1) {
            if (in.eventId >= 0 && in.mapId == ActiveGameOwners().map->CurrentMapId()) {
                map.StartErase(in.eventId, frames);
            }
            in.CmdEndOfList();
            return Result::kStopFrame;
        }
        const int32_t target = in.GetValue(command.arguments[1]);
        if (target >= 0 && map.HasEvent(target)) map.StartErase(target, frames);
        ++in.line;
        return Result::kStopFrame;
    }
};

void RegisterFlowCommands(CommandTable& table) { FlowCommands::RegisterInto(table); }

}  // namespace velk
