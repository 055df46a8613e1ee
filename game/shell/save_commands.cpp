#include "game/shell/save_commands.h"

#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/event_records.h"
#include "game/shell/save_slot_cache.h"
#include "game/shell/save_texts.h"

namespace velk {
namespace {

enum SaveOperation { kSave = 0, kLoad = 1, kLoadReplay = 2 };

// What a string read gives when the code names no string variable.
constexpr char kNoStringVariable[] = "<<ERROR>>";
// Option bit of the slot commands: the ID inside the save is read as a value.
constexpr int32_t kIndirectId = 1;

struct SlotName {
    int32_t slot = 0;
    std::string prefix = save_texts::kSlotPrefix;
};

// A slot number, or a string variable whose text names the file (slot 0).
SlotName SlotOfValueOrText(EventInterpreter& interpreter, int32_t code) {
    SlotName name;
    if (ActiveEventLinks().variables->IsIntId(code)) {
        name.slot = interpreter.GetValue(code);
    } else {
        name.prefix = interpreter.GetStringVariable(code);
    }
    return name;
}

VariableId IdInsideSave(EventInterpreter& interpreter, const EventCommand& command) {
    const auto& args = command.arguments;
    if (args.size() >= 5 && (args[4] & kIndirectId) != 0) return interpreter.GetValue(args[3]);
    return args[3];
}

}  // namespace

void SaveCommands::RegisterInto(CommandTable& table) {
    table.Register(CommandCode::kSaveLoad, 3, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return SaveLoad(in, command); });
    table.Register(CommandCode::kReadSaveValue, 4, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return ReadSaveValue(in, command); });
    table.Register(CommandCode::kWriteSaveValue, 4, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return WriteSaveValue(in, command); });
}

CommandResult SaveCommands::SaveLoad(EventInterpreter& interpreter, const EventCommand& command) {
    SlotName name;
    std::string text = interpreter.GetStringVariable(command.arguments[2]);
    if (text == kNoStringVariable) {
        name.slot = interpreter.GetValue(command.arguments[2]);
    } else {
        name.prefix = std::move(text);
    }
    switch (command.arguments[1]) {
        case kSave:
            cache_.Save(name.slot, true, name.prefix);
            break;
        case kLoad:
            if (cache_.Load(name.slot, true, false, name.prefix) && hooks_.gameLoaded) hooks_.gameLoaded();
            break;
        case kLoadReplay:
            if (cache_.Load(name.slot, false, true, name.prefix) && hooks_.replayStarted) hooks_.replayStarted();
            break;
        default: break;
    }
    return CommandResult::kAdvance;
}

CommandResult SaveCommands::ReadSaveValue(EventInterpreter& interpreter, const EventCommand& command) {
    const SlotName name = SlotOfValueOrText(interpreter, command.arguments[2]);
    const VariableId id = IdInsideSave(interpreter, command);
    const int32_t target = command.arguments[1];
    if (ActiveEventLinks().variables->IsIntId(target)) {
        interpreter.SetIntVariable(target, cache_.GetSlotInt(name.slot, id, name.prefix));
    } else {
        interpreter.SetStringVariable(target, cache_.GetSlotString(name.slot, id, 0, name.prefix));
    }
    return CommandResult::kAdvance;
}

CommandResult SaveCommands::WriteSaveValue(EventInterpreter& interpreter, const EventCommand& command) {
    // The value goes into the slot's file at once.
    const SlotName name = SlotOfValueOrText(interpreter, command.arguments[2]);
    const VariableId id = IdInsideSave(interpreter, command);
    const int32_t source = command.arguments[1];
    if (ActiveEventLinks().variables->IsIntId(source)) {
        cache_.SetSlotInt(name.slot, id, interpreter.GetValue(source), name.prefix);
    } else {
        cache_.SetSlotString(name.slot, id, interpreter.GetStringVariable(source), name.prefix);
    }
    return CommandResult::kAdvance;
}

}  // namespace velk
