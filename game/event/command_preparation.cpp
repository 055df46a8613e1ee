#include "game/event/command_preparation.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/event/command_codes.h"
#include "game/event/command_table.h"

namespace velk {
namespace {

constexpr int32_t kDatabaseIdFloor = 1000000000;
constexpr int32_t kBranchLeftIdLimit = 1100000000;
// Types and items of a database cell ID run 0-99.
constexpr int32_t kCellFieldLimit = 100;
// The prepared condition branch has room for this many conditions and heads.
constexpr int32_t kBranchConditionRoom = 3;
constexpr size_t kBranchHeadRoom = 5;

int32_t Code(const EventCommand& command) { return command.Code(); }

bool Is(const EventCommand& command, CommandCode code) { return command.Code() == CodeValue(code); }

// The first line after `from` at `indent`, -1 when none.
int32_t NextAtIndent(const std::vector<EventCommand>& commands, size_t from, int32_t indent) {
    for (size_t at = from + 1; at < commands.size(); ++at) {
        if (commands[at].indent == indent) return static_cast<int32_t>(at);
    }
    return -1;
}

// An operand as a resolved reference: a literal is the argument itself, an
// ID must name an integer slot now. False when it names none.
bool ResolveOperand(const EventCommand& command, size_t argument, int32_t commonIndex, VariableStore& store,
                    int32_t& reference) {
    const int32_t id = command.arguments[argument];
    if (id < kMapSelfBase) {
        reference = ResolvedArgument(static_cast<int32_t>(argument));
        return true;
    }
    reference = id;
    return store.ResolveIntPointer(id, commonIndex) != nullptr;
}

void PrepareVariableOperation(EventCommand& command, int32_t commonIndex, VariableStore& store) {
    command.jumps.clear();
    command.resolved.clear();
    if (command.arguments.size() < 5) return;
    const int32_t target = command.arguments[1];
    const int32_t first = command.arguments[2];
    const int32_t second = command.arguments[3];
    const int32_t flags = command.arguments[4];
    if (target == kChangeableDatabaseBase || (flags & 0xFF) != 0 || (flags & 0x10000) != 0) return;
    // Of the database cells only the changeable database's take writes; the
    // ordinary form refuses the others, and so must this one.
    if (target >= kDatabaseIdFloor && target < kChangeableDatabaseBase) return;
    if (target >= kSystemDatabaseBase) return;
    if (!store.IsIntId(first) || !store.IsIntId(second) || first >= kDatabaseIdFloor || second >= kDatabaseIdFloor)
        return;
    command.jumps.assign(8, 0);
    std::vector<int32_t> resolved(3);
    resolved[0] = target;
    if (!store.ResolveIntPointer(target, commonIndex) || !ResolveOperand(command, 2, commonIndex, store, resolved[1]) ||
        !ResolveOperand(command, 3, commonIndex, store, resolved[2])) {
        return;
    }
    command.resolved = std::move(resolved);
    const int32_t assignment = (flags & 0xF00) >> 8;
    const int32_t operation = (flags & 0xF000) >> 12;
    command.jumps[1] = assignment;
    command.jumps[2] = operation;
    command.jumps[0] = (operation == 0 || operation == 1) && second == 0 ? 2 : 1;
    if (assignment < 4 && operation < 3) {
        command.arguments[0] = CodeValue(CommandCode::kFastArithmeticFirst) + 10 * assignment + operation;
    }
}

// A branch with more conditions or heads than the prepared layout holds is
// left to run in its general form.
void PrepareConditionBranch(std::vector<EventCommand>& commands, size_t line, int32_t commonIndex,
                            VariableStore& store) {
    EventCommand& command = commands[line];
    command.jumps.clear();
    command.resolved.clear();
    if (command.arguments.size() < 2) return;
    const int32_t count = command.arguments[1] & 15;
    if (count > kBranchConditionRoom || command.arguments.size() < static_cast<size_t>(3 * count + 2)) return;
    std::vector<int32_t> jumps(9, 0);
    std::vector<int32_t> resolved(static_cast<size_t>(2 * count));
    jumps[1] = count;
    for (int32_t i = 0; i < count; ++i) {
        const size_t left = static_cast<size_t>(3 * i + 2);
        const int32_t flags = command.arguments[left + 2];
        const int32_t leftId = command.arguments[left];
        if (leftId >= kBranchLeftIdLimit || !store.ResolveIntPointer(leftId, commonIndex)) return;
        resolved[static_cast<size_t>(2 * i)] = leftId;
        const int32_t right = command.arguments[left + 1];
        if ((flags & 0x10) == 0 && right >= kMapSelfBase) {
            if (!store.ResolveIntPointer(right, commonIndex)) return;
            resolved[static_cast<size_t>(2 * i + 1)] = right;
        } else {
            resolved[static_cast<size_t>(2 * i + 1)] = ResolvedArgument(static_cast<int32_t>(left + 1));
        }
        jumps[static_cast<size_t>(i + 2)] = flags & 15;
    }
    const int32_t indent = command.indent;
    std::vector<size_t> heads;
    int32_t end = -1;
    for (size_t at = line + 1; at < commands.size() && end < 0; ++at) {
        const EventCommand& next = commands[at];
        if (next.indent != indent) continue;
        if (Is(next, CommandCode::kCaseHead) || Is(next, CommandCode::kElseHead)) {
            if (heads.size() == kBranchHeadRoom) return;
            if (Is(next, CommandCode::kCaseHead)) {
                if (heads.size() >= 3) return;
                jumps[5 + heads.size()] = static_cast<int32_t>(at);
            }
            heads.push_back(at);
        } else if (Is(next, CommandCode::kBranchEnd)) {
            end = static_cast<int32_t>(at);
        }
    }
    if (end < 0) return;
    for (size_t head : heads)
        commands[head].jumps = {2, end};
    // A condition without its case head chooses no case; line 0 would run
    // the list again from its start.
    for (int32_t i = 0; i < count; ++i) {
        if (jumps[static_cast<size_t>(5 + i)] == 0) jumps[static_cast<size_t>(5 + i)] = end;
    }
    for (size_t at = line + 1; at < commands.size(); ++at) {
        const EventCommand& next = commands[at];
        if (next.indent == indent && (Is(next, CommandCode::kElseHead) || Is(next, CommandCode::kBranchEnd))) {
            jumps[8] = static_cast<int32_t>(at);
            break;
        }
    }
    jumps[0] = 1;
    command.jumps = std::move(jumps);
    command.resolved = std::move(resolved);
}

// The labels and loops of one list, gathered once for all its label jumps.
//
// A jump's loop-stack changes are those of the walk between the jump and its
// label: the loops it leaves and enters on the way. A loop entered and left
// again on the way cancels out (a push followed by its pop leaves the stacks
// as they were), so what remains pops the loops open at the start of the walk
// but not at its end, then pushes those open at its end but not at its
// start: the way from one nesting to the other through the loops that both
// still have open. Only that is written; a list with many loops between its
// labels and their jumps would otherwise carry the whole walk in every jump.
class LabelJumps {
public:
    explicit LabelJumps(const std::vector<EventCommand>& commands)
        : nestingAt_(commands.size()), strayEndsBefore_(commands.size()) {
        int32_t nesting = 0;
        int32_t strayEnds = 0;
        nodes_.push_back({-1, 0, 0});
        for (size_t at = 0; at < commands.size(); ++at) {
            nestingAt_[at] = nesting;
            strayEndsBefore_[at] = strayEnds;
            const EventCommand& command = commands[at];
            const int32_t entry = LoopEntry(command);
            if (entry >= 0) {
                nodes_.push_back({entry, nesting, nodes_[static_cast<size_t>(nesting)].depth + 1});
                nesting = static_cast<int32_t>(nodes_.size() - 1);
            } else if (IsLoopEndCode(Code(command))) {
                // A loop end with no loop open still leaves one when walked
                // forward from a jump to its label.
                if (nesting == 0) {
                    ++strayEnds;
                } else {
                    nesting = nodes_[static_cast<size_t>(nesting)].parent;
                }
            } else if (Is(command, CommandCode::kLabel) && !command.strings.empty()) {
                labels_[command.strings[0]].push_back(static_cast<int32_t>(at));
            }
        }
    }

    // [1, label line, k, k x (indent, counter)], (-1, -1) popping a loop;
    // empty when the label is not in the list. The label above the jump
    // that comes first wins, else the first one below it.
    std::vector<int32_t> JumpData(size_t line, const std::string& label) const {
        auto lines = labels_.find(label);
        if (lines == labels_.end()) return {};
        const std::vector<int32_t>& at = lines->second;
        int32_t found = at.front();
        const bool below = static_cast<size_t>(found) > line;
        if (below) {
            auto next = std::upper_bound(at.begin(), at.end(), static_cast<int32_t>(line));
            if (next == at.end()) return {};
            found = *next;
        }
        int32_t from = nestingAt_[line];
        int32_t to = nestingAt_[static_cast<size_t>(found)];
        // Walking forward, a loop end with no loop open pops whatever the
        // interpreter has open then; walking back it is not a step.
        int32_t pops = below ? strayEndsBefore_[static_cast<size_t>(found)] - strayEndsBefore_[line] : 0;
        std::vector<int32_t> pushes;
        while (from != to) {
            const Node& a = nodes_[static_cast<size_t>(from)];
            const Node& b = nodes_[static_cast<size_t>(to)];
            if (a.depth >= b.depth) {
                ++pops;
                from = a.parent;
            } else {
                pushes.push_back(b.entry);
                to = b.parent;
            }
        }
        std::vector<int32_t> jumps = {1, found, static_cast<int32_t>(pops + pushes.size())};
        jumps.reserve(3 + 2 * static_cast<size_t>(jumps[2]));
        for (int32_t k = 0; k < pops; ++k)
            jumps.insert(jumps.end(), {-1, -1});
        for (auto entry = pushes.rbegin(); entry != pushes.rend(); ++entry) {
            jumps.insert(jumps.end(), {*entry / 10, *entry % 10 == 1 ? 2000000000 : 0});
        }
        return jumps;
    }

private:
    // Indent x 10, + 1 for an endless loop; negative for anything else (a
    // loop head at a negative indent included).
    static int32_t LoopEntry(const EventCommand& command) {
        if (Is(command, CommandCode::kLoopStart)) return command.indent * 10 + 1;
        if (Is(command, CommandCode::kLoopCount)) return command.indent * 10;
        return -1;
    }

    // One open loop and the loops around it; node 0 is no loop open.
    struct Node {
        int32_t entry;
        int32_t parent;
        int32_t depth;
    };
    std::vector<Node> nodes_;
    // By line, before it: the innermost open loop, and the loop ends met so
    // far with no loop open.
    std::vector<int32_t> nestingAt_;
    std::vector<int32_t> strayEndsBefore_;
    // By name, the lines of its labels in order.
    std::unordered_map<std::string, std::vector<int32_t>> labels_;
};

// Names with a backslash may hold codes and are looked up when the jump runs.
void PrepareLabelJump(size_t line, EventCommand& jump, const std::optional<LabelJumps>& labels) {
    jump.jumps.clear();
    if (jump.strings.empty() || jump.strings[0].find('\\') != std::string::npos) return;
    jump.jumps = labels->JumpData(line, jump.strings[0]);
}

// Database names given in the command's strings become numbers where the
// name maps know them; a name not found keeps its flag.
void ResolveDatabaseNames(EventCommand& command, int32_t kind, DatabaseSet& databases) {
    int32_t& flags = command.arguments[4];
    if ((flags & 0xF0000) == 0 || command.strings.size() < 2) return;
    auto lookUp = [&](const std::map<std::string, int32_t>& names, size_t string, int32_t bit, int32_t& argument) {
        if ((flags & bit) == 0 || string >= command.strings.size()) return;
        auto found = names.find(command.strings[string]);
        if (found == names.end()) return;
        argument = found->second;
        flags &= ~bit;
    };
    lookUp(databases.typeNameMaps[static_cast<size_t>(kind)], 1, 0x10000, command.arguments[1]);
    const int32_t type = command.arguments[1];
    if (type < 0 || type >= kMapSelfBase) return;
    const auto& dataNames = databases.dataNameMaps[static_cast<size_t>(kind)];
    const auto& itemNames = databases.itemNameMaps[static_cast<size_t>(kind)];
    if (static_cast<size_t>(type) < dataNames.size()) {
        lookUp(dataNames[static_cast<size_t>(type)], 2, 0x20000, command.arguments[2]);
    }
    if (static_cast<size_t>(type) < itemNames.size()) {
        lookUp(itemNames[static_cast<size_t>(type)], 3, 0x40000, command.arguments[3]);
    }
}

// A database command on a number cell named by plain numbers: jump data
// [1, the item's slot among the row's numbers, assignment, mode (0 write,
// 1 read), 1 when the data row exists now], and resolved references to the
// data number and the operand. The database is the one the flag word names,
// and the item's default is looked up when needed: both may move.
void PrepareDatabaseOperation(EventCommand& command, int32_t commonIndex, VariableStore& store,
                              DatabaseSet& databases) {
    command.jumps.clear();
    command.resolved.clear();
    if (command.arguments.size() < 6) return;
    const int32_t kind = (command.arguments[4] & 0xF00) >> 8;
    if (kind > 2) return;
    ResolveDatabaseNames(command, kind, databases);
    const int32_t type = command.arguments[1];
    const int32_t data = command.arguments[2];
    const int32_t item = command.arguments[3];
    const int32_t flags = command.arguments[4];
    const int32_t operand = command.arguments[5];
    const int32_t mode = (flags & 0xF000) >> 12;
    // Writes go to the changeable database whatever database the names came
    // from; the ordinary form does that.
    if (mode == 0 && kind != kCommandChangeableDatabase) return;
    const Database* database = databases.ByCommandKind(kind);
    if (!database || !store.IsIntId(operand) || type < 0 || type >= kMapSelfBase || item >= kMapSelfBase ||
        (flags & 0xF) != 0 || data < 0 || item < 0 || type >= kCellFieldLimit || item >= kCellFieldLimit ||
        operand >= kDatabaseIdFloor || type >= database->GetTypeCount() || item >= database->GetItemCount(type) ||
        static_cast<size_t>(item) >= database->types[static_cast<size_t>(type)].itemKinds.size() ||
        (mode == 1 && operand < kMapSelfBase)) {
        return;
    }
    const int32_t itemKind = database->types[static_cast<size_t>(type)].itemKinds[static_cast<size_t>(item)];
    if (itemKind / 1000 != kNumberItemClass) return;
    std::vector<int32_t> resolved(2);
    if (!ResolveOperand(command, 2, commonIndex, store, resolved[0]) ||
        !ResolveOperand(command, 5, commonIndex, store, resolved[1])) {
        return;
    }
    command.jumps = {1, itemKind % 1000, (flags & 0xF0) >> 4, mode, data < database->GetDataCount(type) ? 1 : 0};
    command.resolved = std::move(resolved);
}

}  // namespace

void PadCommands(CommandList& list, const CommandTable& table) {
    for (EventCommand& command : list.MutableCommands()) {
        const CommandEntry* entry = table.Find(command.Code());
        if (!entry) continue;
        if (command.arguments.size() < entry->minimumArguments) command.arguments.resize(entry->minimumArguments, 0);
        if (command.strings.size() < entry->minimumStrings) command.strings.resize(entry->minimumStrings);
    }
}

void PreResolveCommonEvent(CommandList& list, int32_t commonIndex, VariableStore& store, DatabaseSet& databases) {
    list.SetCommonIndex(commonIndex);
    std::vector<EventCommand>& commands = list.MutableCommands();
    std::optional<LabelJumps> labels;
    for (size_t line = 0; line < commands.size(); ++line) {
        EventCommand& command = commands[line];
        switch (static_cast<CommandCode>(command.Code())) {
            case CommandCode::kCaseHead:
            case CommandCode::kElseHead:
                if (command.jumps.empty()) {
                    const int32_t next = NextAtIndent(commands, line, command.indent);
                    if (next >= 0) command.jumps = {1, next};
                }
                break;
            case CommandCode::kLoopEnd:
                for (size_t at = line; at-- > 0;) {
                    if (commands[at].indent == command.indent) {
                        command.jumps = {1, static_cast<int32_t>(at)};
                        break;
                    }
                }
                break;
            case CommandCode::kDatabaseOperation:
                PrepareDatabaseOperation(command, commonIndex, store, databases);
                break;
            case CommandCode::kConditionBranch: PrepareConditionBranch(commands, line, commonIndex, store); break;
            case CommandCode::kVariableOperation: PrepareVariableOperation(command, commonIndex, store); break;
            case CommandCode::kJumpToLabel:
                // The pass changes no loop, label or label name, so one look
                // at the list serves every jump in it.
                if (!labels) labels.emplace(commands);
                PrepareLabelJump(line, command, labels);
                break;
            default: break;
        }
    }
}

}  // namespace velk
