// The database operation: cells read and written by number or by name, row
// and item counts, and rows given their defaults again.
#include <utility>

#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/random_source.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/event/value_arithmetic.h"
#include "game/event/value_command_support.h"
#include "game/event/value_commands.h"
#include "game/event/value_texts.h"

namespace velk {
namespace {

// Raw arguments that stand for every row or a whole row (writes), and for a
// count (reads).
constexpr int32_t kEveryRow = -2;
constexpr int32_t kCount = -1;
// A cell's fields in its ID: types 0-99, data 0-9999, items 0-99.
constexpr int32_t kTypeLimit = 100;
constexpr int32_t kDataLimit = 10000;
constexpr int32_t kItemLimit = 100;

enum OperandMode { kOperandVariable = 0, kOperandIndirect = 1, kOperandText = 2 };

VariableId BaseOf(int32_t kind) {
    switch (kind) {
        case kCommandChangeableDatabase: return kChangeableDatabaseBase;
        case kCommandSystemDatabase: return kSystemDatabaseBase;
        default: return kUserDatabaseBase;
    }
}

// Strings take only = and +=.
bool AssignText(int32_t assignment, const std::string& current, const std::string& operand, std::string& result) {
    if (assignment == 0) {
        result = operand;
    } else if (assignment == 1) {
        result = current + operand;
    } else {
        return false;
    }
    return true;
}

// The name's number in a map; nullopt when absent.
std::optional<int32_t> LookUp(const std::map<std::string, int32_t>& names, const std::string& name) {
    auto found = names.find(name);
    if (found == names.end()) return std::nullopt;
    return found->second;
}

const std::map<std::string, int32_t>* TypeNames(std::vector<std::map<std::string, int32_t>>& maps, int32_t type) {
    return type >= 0 && static_cast<size_t>(type) < maps.size() ? &maps[static_cast<size_t>(type)] : nullptr;
}

void ShowBox(const std::string& line1, const std::string& line2, const std::string& line3) {
    ActiveErrorReporter().ShowErrorBox(line1, line2, line3);
}

}  // namespace

bool ValueCommands::CellNumbersValid(int32_t type, int32_t data, int32_t item, bool testPlayOnlyNegatives) {
    bool valid = true;
    auto negative = [&](int32_t value, const char* text) {
        if (value >= 0) return;
        valid = false;
        if (testPlayOnlyNegatives) {
            ShowTestPlayBox(text, FormatErrorLocation(), "");
        } else {
            ShowBox(text, FormatErrorLocation(), "");
        }
    };
    negative(type, value_texts::kDbTypeNegative);
    negative(data, value_texts::kDbDataNegative);
    negative(item, value_texts::kDbItemNegative);
    if (!valid) return false;
    // Beyond its field a number would reach into the next row or type.
    auto tooLarge = [&](int32_t value, int32_t limit, const char* text) {
        if (value < limit) return;
        valid = false;
        ShowTestPlayBox(text, FormatErrorLocation(), "");
    };
    tooLarge(type, kTypeLimit, value_texts::kDbTypeTooLarge);
    tooLarge(data, kDataLimit, value_texts::kDbDataTooLarge);
    tooLarge(item, kItemLimit, value_texts::kDbItemTooLarge);
    return valid;
}

CommandResult ValueCommands::DatabaseOperation(EventInterpreter& in, const EventCommand& command) {
    if (RunPreparedDatabaseOperation(in, command)) return CommandResult::kNext;
    const int32_t flags = Arg(command, 4);
    const int32_t operandMode = flags & 0xF;
    const int32_t assignment = (flags >> 4) & 0xF;
    const int32_t kind = (flags >> 8) & 0xF;
    const int32_t mode = (flags >> 12) & 0xF;
    if (mode > 1) return CommandResult::kNext;
    Database* database = databases_.ByCommandKind(kind);
    if (!database) {
        ShowTestPlayBox(value_texts::kDbNoSuchDatabase, FormatErrorLocation(), "");
        return CommandResult::kNext;
    }
    const int32_t rawData = Arg(command, 2);
    const int32_t rawItem = Arg(command, 3);
    int32_t type = in.GetValue(Arg(command, 1));
    int32_t data = in.GetValue(rawData);
    int32_t item = in.GetValue(rawItem);
    if ((flags & 0xF0000) != 0 && command.strings.size() >= 4) {
        const size_t k = static_cast<size_t>(kind);
        if (flags & 0x10000) {
            auto found = LookUp(databases_.typeNameMaps[k], command.strings[1]);
            if (!found) {
                ShowBox(value_texts::kDbNoTypeName, command.strings[1], FormatErrorLocation());
                return CommandResult::kNext;
            }
            type = *found;
        }
        if (flags & 0x20000) {
            const auto* names = TypeNames(databases_.dataNameMaps[k], type);
            auto found = names ? LookUp(*names, command.strings[2]) : std::nullopt;
            if (!found) {
                ShowBox(FormatText(value_texts::kDbNoDataName, type), command.strings[2], FormatErrorLocation());
                return CommandResult::kNext;
            }
            data = *found;
        }
        if (flags & 0x40000) {
            const auto* names = TypeNames(databases_.itemNameMaps[k], type);
            auto found = names ? LookUp(*names, command.strings[3]) : std::nullopt;
            if (!found) {
                ShowBox(FormatText(value_texts::kDbNoItemName, type, data), command.strings[3], FormatErrorLocation());
                return CommandResult::kNext;
            }
            item = *found;
        }
    }
    const int32_t operandCode = Arg(command, 5);
    if (mode == 0) {
        if (rawData == kEveryRow || rawItem == kEveryRow) {
            // Resets name their rows by number, whatever the names said.
            const int32_t resetType = in.GetValue(Arg(command, 1));
            const int32_t row = in.GetValue(rawData);
            Database& changeable = databases_.changeable;
            if (row == kEveryRow) {
                const int32_t rows = changeable.GetDataCount(resetType);
                for (int32_t r = 0; r < rows; ++r) changeable.ResetData(resetType, r);
            } else if (in.GetValue(rawItem) == kEveryRow) {
                changeable.ResetData(resetType, row);
            }
            return CommandResult::kNext;
        }
        if (!CellNumbersValid(type, data, item, false)) return CommandResult::kNext;
        // Writes go to the changeable database, the only one a game changes.
        const VariableId cell = DatabaseCellId(kChangeableDatabaseBase, type, data, item);
        const bool numberCell = variables_.IsIntId(cell);
        int32_t current = 0;
        std::string currentText;
        if (numberCell) {
            current = in.GetValue(cell);
        } else {
            currentText = in.GetStringVariable(cell);
        }
        auto storeNumber = [&](VariableId from) {
            int32_t value = in.GetValue(from);
            // The larger and the smaller read their operand again to store it.
            if ((assignment == 6 && current < value) || (assignment == 7 && current > value)) {
                value = in.GetValue(from);
            }
            int32_t result = 0;
            if (AssignDatabase(assignment, current, value, result)) in.SetIntVariable(cell, result);
        };
        auto storeText = [&](const std::string& operand) {
            std::string result;
            if (AssignText(assignment, currentText, operand, result)) in.SetStringVariable(cell, std::move(result));
        };
        if (operandMode == kOperandVariable) {
            if (numberCell) {
                if (!variables_.IsIntId(operandCode)) {
                    ShowBox(value_texts::kDbWriteError1, FormatErrorLocation(), "");
                    return CommandResult::kNext;
                }
                storeNumber(operandCode);
            } else {
                if (variables_.IsIntId(operandCode)) {
                    ShowBox(value_texts::kDbWriteError2, FormatErrorLocation(), FormatIntText(cell));
                    return CommandResult::kNext;
                }
                storeText(in.GetStringVariable(operandCode));
            }
        } else if (operandMode == kOperandIndirect) {
            const int32_t named = in.GetValue(operandCode);
            if (numberCell) {
                if (!variables_.IsIntId(named)) {
                    ShowBox(value_texts::kDbWriteError35, FormatText(value_texts::kDbStoreTarget, cell),
                            FormatErrorLocation());
                    return CommandResult::kNext;
                }
                storeNumber(named);
            } else {
                if (variables_.IsIntId(named)) {
                    ShowBox(value_texts::kDbWriteError4, FormatErrorLocation(), "");
                    return CommandResult::kNext;
                }
                storeText(in.GetStringVariable(named));
            }
        } else if (operandMode == kOperandText) {
            if (numberCell) {
                ShowBox(value_texts::kDbWriteError5, FormatErrorLocation(), "");
                return CommandResult::kNext;
            }
            storeText(Expand(in, Text(command, 0), true));
        }
        return CommandResult::kNext;
    }
    const VariableId target = operandMode == kOperandIndirect ? in.GetValue(operandCode) : operandCode;
    int32_t operand = 0;
    if (rawData == kCount || rawItem == kCount) {
        const int32_t countType = in.GetValue(Arg(command, 1));
        if (rawData == kCount) operand = database->GetDataCount(countType);
        if (rawItem == kCount) {
            // A type that does not exist has no count.
            operand = countType >= 0 && countType < database->GetTypeCount() ? database->GetItemCount(countType) : -1;
        }
    } else {
        if (!CellNumbersValid(type, data, item, false)) return CommandResult::kNext;
        const VariableId cell = DatabaseCellId(BaseOf(kind), type, data, item);
        if (variables_.IsIntId(cell)) {
            if (!variables_.IsIntId(target)) {
                ShowBox(value_texts::kDbReadError6, FormatText(value_texts::kDbStoreTargetAndSource, cell, target),
                        FormatErrorLocation());
                return CommandResult::kNext;
            }
            operand = in.GetValue(cell);
        } else {
            if (variables_.IsIntId(target)) {
                ShowBox(value_texts::kDbReadError7, FormatErrorLocation(), "");
                return CommandResult::kNext;
            }
            std::string result;
            if (AssignText(assignment, in.GetStringVariable(target), in.GetStringVariable(cell), result)) {
                in.SetStringVariable(target, std::move(result));
            }
            return CommandResult::kNext;
        }
    }
    int32_t result = 0;
    if (AssignDatabase(assignment, in.GetValue(target), operand, result)) in.SetIntVariable(target, result);
    return CommandResult::kNext;
}

bool ValueCommands::RunPreparedDatabaseOperation(EventInterpreter& in, const EventCommand& command) {
    if (command.jumps.size() < 4 || command.jumps[0] != 1 || !in.List()) return false;
    int32_t* const* slots = in.List()->BoundSlots(static_cast<size_t>(in.line), variables_);
    if (!slots) return false;
    const int32_t flags = Arg(command, 4);
    Database* database = databases_.ByCommandKind((flags >> 8) & 0xF);
    const int32_t type = Arg(command, 1);
    const int32_t item = Arg(command, 3);
    const size_t slot = static_cast<size_t>(command.jumps[1]);
    const int32_t assignment = command.jumps[2];
    const int32_t data = *slots[0];
    if (!database || type < 0 || type >= database->GetTypeCount()) return false;
    if (data < 0) {
        ShowBox(value_texts::kDbDataNegative, FormatErrorLocation(), "");
        return true;
    }
    if (data >= kDataLimit) {
        ShowTestPlayBox(value_texts::kDbDataTooLarge, FormatErrorLocation(), "");
        return true;
    }
    DbTypeData& rows = database->types[static_cast<size_t>(type)];
    const bool rowExists = static_cast<size_t>(data) < rows.rows.size();
    int32_t result = 0;
    if (command.jumps[3] == 0) {
        const int32_t operand = *slots[1];
        if (!rowExists) database->SetDataCount(type, data + 1);
        if (static_cast<size_t>(data) >= rows.rows.size()) return false;
        std::vector<int32_t>& numbers = rows.rows[static_cast<size_t>(data)].numbers;
        if (slot >= numbers.size()) return false;
        if (AssignDatabase(assignment, numbers[slot], operand, result)) numbers[slot] = result;
        return true;
    }
    int32_t operand = 0;
    if (rowExists) {
        const std::vector<int32_t>& numbers = rows.rows[static_cast<size_t>(data)].numbers;
        if (slot >= numbers.size()) return false;
        operand = numbers[slot];
    } else {
        if (static_cast<size_t>(type) < database->typeDefs.size()) {
            const std::vector<int32_t>& defaults = database->typeDefs[static_cast<size_t>(type)].itemDefaults;
            operand = static_cast<size_t>(item) < defaults.size() ? defaults[static_cast<size_t>(item)] : 0;
        }
    }
    if (AssignDatabase(assignment, *slots[1], operand, result)) *slots[1] = result;
    return true;
}

}  // namespace velk
