#include "game/event/event_links.h"

#include "game/data/databases.h"
#include "game/data/system_variable_block.h"
#include "game/data/variable_store.h"
#include "game/event/command_table.h"

namespace velk {
namespace {

EventLinks IdleLinks() {
    static EventSystemLink system;
    static EventMapLink map;
    static CommonEventLink commonEvents;
    static TextPromptLink textPrompt;
    static KeyInputLink keyInput;
    static SystemVariableBlock systemVariables;
    return {&system,
            &map,
            &commonEvents,
            &textPrompt,
            &keyInput,
            &systemVariables,
            &GlobalVariableStore(),
            &GlobalDatabases(),
            &ActiveCommandTable()};
}

}  // namespace

EventLinks& ActiveEventLinks() {
    static EventLinks links = IdleLinks();
    return links;
}

void ResetEventLinks() { ActiveEventLinks() = IdleLinks(); }

bool CommonEventConditionHolds(uint8_t trigger, int32_t variable, int32_t value, VariableStore& store) {
    const int32_t current = store.GetInt(variable);
    switch (trigger >> 4) {
        case 0: return current > value;
        case 1: return current >= value;
        case 2: return current == value;
        case 3: return current <= value;
        case 4: return current < value;
        case 5: return current != value;
        case 6: return (current & value) == value;
        default: return false;
    }
}

}  // namespace velk
