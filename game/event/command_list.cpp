#include "game/event/command_list.h"

#include "game/data/variable_store.h"

namespace velk {

void CommandList::Bind(VariableStore& store) const {
    quickLines_.resize(commands_.size());
    slots_.clear();
    for (size_t line = 0; line < commands_.size(); ++line) {
        const EventCommand& command = commands_[line];
        quickLines_[line] = {command.Code(), -1};
        if (command.resolved.empty()) continue;
        const size_t start = slots_.size();
        bool all = true;
        for (int32_t reference : command.resolved) {
            int32_t* slot = nullptr;
            if (reference >= 0) {
                slot = store.ResolveIntPointer(reference, commonIndex_);
            } else if (size_t k = static_cast<size_t>(-1 - static_cast<int64_t>(reference));
                       k < command.arguments.size()) {
                // The list never changes once prepared, so its arguments stay put.
                slot = const_cast<int32_t*>(&command.arguments[k]);
            }
            all = all && slot;
            slots_.push_back(slot);
        }
        if (all) {
            quickLines_[line].slotStart = static_cast<int32_t>(start);
        } else {
            slots_.resize(start);
        }
    }
    boundGeneration_ = IntSlotGeneration;
    bound_ = true;
}

}  // namespace velk
