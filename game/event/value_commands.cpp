// The variable operation and the condition branches.
#include "game/event/value_commands.h"

#include <algorithm>
#include <utility>

#include "game/data/data_texts.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/text_search.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/value_arithmetic.h"
#include "game/event/value_command_support.h"
#include "game/event/value_texts.h"

namespace velk {
namespace {

// The option word of the variable operation.
constexpr int32_t kSixDigits = 0x1;
constexpr int32_t kRealMode = 0x2;
constexpr int32_t kConstantA = 0x4;
constexpr int32_t kConstantB = 0x8;
constexpr int32_t kIndirectTarget = 0x10;
constexpr int32_t kIndirectA = 0x20;
constexpr int32_t kIndirectB = 0x40;
constexpr int32_t kRange = 0x10000;
constexpr int64_t kCellsPerDatabaseType = 1000000;

// A plain number n named as a variable is normal variable n.
int32_t AsVariableId(int32_t value) { return value < kMapSelfBase ? value + kVariableBase : value; }

// How many ids from `first` on a range may name, at most `wanted`: the
// range stays in the storage that `first` names (one group of variables,
// one database type, one band of ids) and among variables goes one past the
// last that exists, so that a range running off the end reports it once.
// Ids that name no storage at all take only `first`.
int64_t RangeLength(const VariableStore& store, VariableId first, int64_t wanted) {
    const VariableAddress address = DecodeVariableId(first);
    int64_t last = first;
    switch (address.kind) {
        case VariableKind::kVariable: {
            const auto& groups = store.Contents().groups;
            const int64_t rows = address.owner < static_cast<int32_t>(groups.size())
                                     ? static_cast<int64_t>(groups[address.owner].size())
                                     : 0;
            last = int64_t{first} + std::max<int64_t>(rows - address.index, 0);
            break;
        }
        case VariableKind::kMapSelf: last = kOldCommonSelfBase - 1; break;
        case VariableKind::kRelativeCommonSelf: last = 1699999; break;
        case VariableKind::kRandom: last = kSystemVariableBase - 1; break;
        case VariableKind::kSystem: last = kMapEventDataBase - 1; break;
        case VariableKind::kMapEventData: last = kPartyDataBase - 1; break;
        case VariableKind::kPartyData: last = kRelativeEventDataBase - 1; break;
        case VariableKind::kCommonSelf: last = 15999999; break;
        case VariableKind::kDatabaseCell:
            last = int64_t{first} - (address.index * 100 + address.item) + kCellsPerDatabaseType - 1;
            break;
        default: break;
    }
    return std::clamp<int64_t>(last - first + 1, 1, wanted);
}

bool Compare(int32_t comparison, int32_t left, int32_t right) {
    switch (comparison) {
        case 0: return left > right;
        case 1: return left >= right;
        case 2: return left == right;
        case 3: return left <= right;
        case 4: return left < right;
        case 5: return left != right;
        case 6: return (left & right) == right;
        default: return false;
    }
}

bool CompareText(uint32_t comparison, const std::string& left, const std::string& right) {
    switch (comparison) {
        case 0: return left == right;
        case 1: return left != right;
        case 2: return TextContains(left, right);
        default: return false;
    }
}

}  // namespace

ValueCommands::ValueCommands(VariableStore& variables, DatabaseSet& databases, SystemVariableBlock& systemVariables,
                             ValueCommandLinks links, bool testPlay)
    : variables_(variables),
      databases_(databases),
      systemVariables_(systemVariables),
      links_(links),
      testPlay_(testPlay) {}

void ValueCommands::RegisterInto(CommandTable& table) {
    auto bind = [this](CommandResult (ValueCommands::*handler)(EventInterpreter&, const EventCommand&)) {
        return [this, handler](EventInterpreter& in, const EventCommand& command) {
            return (this->*handler)(in, command);
        };
    };
    table.Register(CommandCode::kConditionBranch, 2, 0, bind(&ValueCommands::ConditionBranch));
    table.Register(CommandCode::kStringConditionBranch, 2, 0, bind(&ValueCommands::StringConditionBranch));
    table.Register(CommandCode::kVariableOperation, 5, 0, bind(&ValueCommands::VariableOperation));
    table.Register(CommandCode::kStringOperation, 3, 0, bind(&ValueCommands::StringOperation));
    table.Register(CommandCode::kKeyInput, 3, 0, bind(&ValueCommands::KeyInput));
    table.Register(CommandCode::kAssignGameValue, 3, 0, bind(&ValueCommands::AssignGameValue));
    table.Register(CommandCode::kDatabaseOperation, 6, 0, bind(&ValueCommands::DatabaseOperation));
}

std::string ValueCommands::Expand(EventInterpreter& in, const std::string& text, bool leadingAtSignLine) {
    EventTextOptions options;
    options.mapEventId = in.eventId;
    options.commonEventId = in.commonId;
    options.mapId = in.mapId;
    options.leadingAtSignLine = leadingAtSignLine;
    return links_.text->ConvertEscapeCodes(text, options);
}

void ValueCommands::ShowTestPlayBox(const std::string& line1, const std::string& line2, const std::string& line3) {
    if (testPlay_) ActiveErrorReporter().ShowErrorBox(line1, line2, line3);
}

CommandResult ValueCommands::VariableOperation(EventInterpreter& in, const EventCommand& command) {
    if (RunPreparedVariableOperation(in, command)) return CommandResult::kNext;
    const int32_t first = Arg(command, 1);
    const int32_t flags = Arg(command, 4);
    const int32_t assignment = (flags >> 8) & 0xF;
    const int32_t operation = (flags >> 12) & 0xF;
    const bool databaseTarget = first == kChangeableDatabaseBase;
    // With the marker the count is still argument 5, and every turn names
    // the same cell.
    const int32_t further = (flags & kRange) != 0 && Arg(command, 5) > 0 ? Arg(command, 5) : 0;
    // A database target's turns repeat on one cell: they are held to as
    // many as one database type has cells.
    const int64_t length = databaseTarget ? std::min<int64_t>(int64_t{further} + 1, kCellsPerDatabaseType)
                                          : RangeLength(variables_, first, int64_t{further} + 1);
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    for (int64_t i = 0; i < length; ++i) {
        // One box for the whole range; a closed window ends it at once.
        if (i > 0 && (ErrorBoxesAskedFor() != boxesBefore || ActiveEventLinks().system->SceneState() < 1)) break;
        int32_t target = WrapId(int64_t{first} + i);
        if (databaseTarget) {
            const int32_t type = in.GetValue(Arg(command, 5));
            const int32_t data = in.GetValue(Arg(command, 6));
            const int32_t item = in.GetValue(Arg(command, 7));
            // A number outside its field would name another cell.
            if (!CellNumbersValid(type, data, item, true)) return CommandResult::kNext;
            target = DatabaseCellId(kChangeableDatabaseBase, type, data, item);
        }
        const int32_t named = target;
        if (flags & kIndirectTarget) target = in.GetValue(target);
        if (!variables_.IsIntId(target)) {
            AssignToStringTarget(in, command, target);
            return CommandResult::kNext;
        }
        int32_t current = in.GetValue(named);
        auto operand = [&](int32_t argument, int32_t constantBit, int32_t indirectBit) {
            const int32_t code = Arg(command, argument);
            int32_t value = 0;
            if (flags & constantBit) {
                value = code;
            } else if (variables_.IsIntId(code)) {
                value = in.GetValue(code);
            } else {
                value = DecimalValue(in.GetStringVariable(code));
            }
            if (flags & indirectBit) {
                const int32_t id = AsVariableId(value);
                value = variables_.IsIntId(id) ? in.GetValue(id) : DecimalValue(in.GetStringVariable(id));
            }
            return value;
        };
        const int32_t a = operand(2, kConstantA, kIndirectA);
        const int32_t b = operand(3, kConstantB, kIndirectB);
        int32_t store = target;
        if (flags & kIndirectTarget) {
            store = AsVariableId(current);
            current = in.GetValue(store);
        }
        int32_t result = 0;
        const bool stores = (flags & kRealMode) ? AssignReal(assignment, current, CalculateReal(operation, a, b), result)
                                                : AssignInt(assignment, current, CalculateInt(operation, a, b), result);
        if (stores) in.SetIntVariable(store, ClampToSixDigits((flags & kSixDigits) != 0, result));
    }
    return CommandResult::kNext;
}

bool ValueCommands::RunPreparedVariableOperation(EventInterpreter& in, const EventCommand& command) {
    if (command.jumps.size() < 3 || (command.jumps[0] != 1 && command.jumps[0] != 2) || !in.List()) return false;
    int32_t* const* slots = in.List()->BoundSlots(static_cast<size_t>(in.line), variables_);
    if (!slots) return false;
    const int32_t v = command.jumps[0] == 2 ? *slots[1] : CalculateWrapped(command.jumps[2], *slots[1], *slots[2]);
    int32_t result = 0;
    if (AssignWrapped(command.jumps[1], *slots[0], v, result)) *slots[0] = result;
    return true;
}

void ValueCommands::AssignToStringTarget(EventInterpreter& in, const EventCommand& command, int32_t target) {
    const int32_t flags = Arg(command, 4);
    std::string head;
    if (((flags >> 8) & 0xF) == 1) head = in.GetStringVariable(target);
    int32_t a = Arg(command, 2);
    int32_t b = Arg(command, 3);
    if (flags & kIndirectA) a = in.GetValue(a);
    if (flags & kIndirectB) b = in.GetValue(b);
    if (a != 0 && (variables_.IsIntId(a) || (flags & kConstantA))) {
        ActiveErrorReporter().ShowErrorBox(value_texts::kStringTargetGotNumber, value_texts::kStringTargetGotNumber2,
                                           FormatErrorLocation());
        return;
    }
    std::string tail;
    if (((flags >> 12) & 0xF) == 0 && b != 0) {
        std::string text = in.GetStringVariable(b);
        if (text != texts::kErrorValue) tail = std::move(text);
    }
    in.SetStringVariable(target, head + Expand(in, tail, true));
}

CommandResult ValueCommands::ConditionBranch(EventInterpreter& in, const EventCommand& command) {
    if (RunPreparedBranch(in, command)) return CommandResult::kNext;
    const int32_t count = Arg(command, 1) & 15;
    int32_t result = 0;
    for (int32_t i = 0; i < count && result == 0; ++i) {
        const int32_t left = in.GetValue(Arg(command, 2 + 3 * i));
        const int32_t flags = Arg(command, 4 + 3 * i);
        const int32_t rightCode = Arg(command, 3 + 3 * i);
        const int32_t right = (flags & 0x10) ? rightCode : in.GetValue(rightCode);
        if (Compare(flags & 15, left, right)) result = i + 1;
    }
    // The case heads of a prepared branch jump to its end whatever the
    // table holds, so the chosen case must be entered by its line here too.
    if (PreparedBranch(command)) {
        EnterCase(in, command, result);
        return CommandResult::kNext;
    }
    if (int32_t* slot = in.BranchSlot(command.indent)) *slot = result;
    return CommandResult::kNext;
}

bool ValueCommands::RunPreparedBranch(EventInterpreter& in, const EventCommand& command) {
    if (!PreparedBranch(command) || !in.List()) return false;
    const int32_t count = command.jumps[1];
    // A branch without conditions has no slots to bind and needs none.
    int32_t* const* slots = count > 0 ? in.List()->BoundSlots(static_cast<size_t>(in.line), variables_) : nullptr;
    if (count > 0 && !slots) return false;
    int32_t result = 0;
    for (int32_t i = 0; i < count && i < 3 && result == 0; ++i) {
        if (Compare(command.jumps[static_cast<size_t>(2 + i)], *slots[2 * i], *slots[2 * i + 1])) result = i + 1;
    }
    EnterCase(in, command, result);
    return true;
}

bool ValueCommands::PreparedBranch(const EventCommand& command) {
    return command.jumps.size() >= 9 && command.jumps[0] == 1;
}

void ValueCommands::EnterCase(EventInterpreter& in, const EventCommand& command, int32_t result) {
    if (int32_t* slot = in.BranchSlot(command.indent)) *slot = EventInterpreter::kCaseTaken;
    in.line = result > 0 ? command.jumps[static_cast<size_t>(4 + result)] : command.jumps[8];
}

CommandResult ValueCommands::StringConditionBranch(EventInterpreter& in, const EventCommand& command) {
    const int32_t count = Arg(command, 1) & 15;
    int32_t result = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t word = static_cast<uint32_t>(Arg(command, 2 + i));
        const std::string left = in.GetStringVariable(static_cast<int32_t>(word & 0xFFFFFF));
        const std::string right = (word & 0x0F000000) != 0 ? in.GetStringVariable(Arg(command, 2 + count + i))
                                                           : Text(command, static_cast<size_t>(i));
        if (CompareText(word >> 28, left, right)) {
            result = i + 1;
            break;
        }
    }
    if (int32_t* slot = in.BranchSlot(command.indent)) *slot = result;
    return CommandResult::kNext;
}

}  // namespace velk
