#pragma once
// One event command list as interpreters run it. A list is shared: the
// common-event list, a map event's page and every interpreter running it hold
// the same list, so growing or replacing the owner never frees a list that is
// running. A list is prepared once, before it first runs (see
// PrepareCommandList and PrepareCommonEventList).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/data/slot_generation.h"
#include "game/event/event_records.h"

namespace velk {

class VariableStore;

class CommandList {
public:
    CommandList() = default;
    explicit CommandList(std::vector<EventCommand> commands) : commands_(std::move(commands)) {}

    const std::vector<EventCommand>& Commands() const { return commands_; }
    // Bound anew before it runs next.
    std::vector<EventCommand>& MutableCommands() {
        bound_ = false;
        return commands_;
    }
    size_t Size() const { return commands_.size(); }
    const EventCommand& operator[](size_t line) const { return commands_[line]; }

    // The common event whose self variables the prepared references name;
    // -1 for lists that were not prepared as a common event.
    int32_t CommonIndex() const { return commonIndex_; }
    void SetCommonIndex(int32_t index) { commonIndex_ = index; }

    // The integer slots behind the resolved references of the command at
    // `line` (see ResolvedArgument), renewed first when the variable store or
    // a database has moved its slots since they were last looked up. Null
    // when the command has none or one of them no longer names a slot; the
    // command then runs in its general form.
    int32_t* const* BoundSlots(size_t line, VariableStore& store) const {
        EnsureBound(store);
        return SlotsAt(line);
    }
    // The same in two steps for the dispatcher, which renews once per turn
    // and after every handler (only handlers can move slots).
    void EnsureBound(VariableStore& store) const {
        if (boundGeneration_ != IntSlotGeneration || !bound_) Bind(store);
    }
    int32_t* const* SlotsAt(size_t line) const {
        const int32_t start = quickLines_[line].slotStart;
        return start < 0 ? nullptr : &slots_[static_cast<size_t>(start)];
    }

    // What the dispatcher reads of every line it runs, side by side in one
    // small record so that commands without a handler cost a load or two:
    // the code, and where the line's bound slots start in Slots() (-1 none).
    // Valid once bound, until the list is bound anew.
    struct QuickLine {
        int32_t code;
        int32_t slotStart;
    };
    const QuickLine* QuickLines() const { return quickLines_.data(); }
    int32_t* const* Slots() const { return slots_.data(); }

private:
    void Bind(VariableStore& store) const;

    std::vector<EventCommand> commands_;
    int32_t commonIndex_ = -1;
    // By line.
    mutable std::vector<QuickLine> quickLines_;
    mutable std::vector<int32_t*> slots_;
    mutable uint32_t boundGeneration_ = 0;
    mutable bool bound_ = false;
};

using SharedCommandList = std::shared_ptr<const CommandList>;

// A resolved reference stored in EventCommand::resolved: a variable ID (0 or
// more) that names an integer slot, or the command's own argument k, stored
// as -1 - k (a literal operand).
inline constexpr int32_t ResolvedArgument(int32_t k) { return -1 - k; }

}  // namespace velk
