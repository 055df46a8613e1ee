#include "game/event/command_table.h"

namespace velk {

void RegisterFlowCommands(CommandTable& table);

CommandTable::CommandTable() { RegisterFlowCommands(*this); }

void CommandTable::Register(CommandCode code, uint8_t minimumArguments, uint8_t minimumStrings,
                            CommandHandler handler) {
    const int32_t value = CodeValue(code);
    // Only codes the dispatcher looks up in the table have a place here.
    if (value < 0 || value > kLargestTableCode) return;
    entries_[static_cast<size_t>(value + 1)] = {std::move(handler),
                                                minimumArguments < 1 ? uint8_t{1} : minimumArguments, minimumStrings};
}

void CommandTable::Unregister(CommandCode code) {
    const int32_t value = CodeValue(code);
    if (value < 0 || value > kLargestTableCode) return;
    entries_[static_cast<size_t>(value + 1)] = {};
}

CommandTable& ActiveCommandTable() {
    static CommandTable table;
    return table;
}

}  // namespace velk
