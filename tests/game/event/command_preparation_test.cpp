#include <deque>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "game/event/event_page_conditions.h"
#include "tests/game/event/event_test_support.h"

namespace velk {
namespace {

using testing::Cmd;
using testing::End;
using testing::OperationFlags;
using testing::RawCmd;

constexpr int32_t V = kVariableBase;

using Jumps = std::vector<int32_t>;

class PreparationTest : public testing::EventTest {
protected:
    std::vector<EventCommand> Prepared(std::vector<EventCommand> commands, int32_t common = 0) {
        return MakeList(std::move(commands), common)->Commands();
    }
};

TEST_F(PreparationTest, VariableOperationsBecomeFastCodesOnlyOnPlainSlots) {
    struct Case {
        int32_t target, first, second, flags, code;
        Jumps jumps;
    };
    const Case cases[] = {
        {V + 5, V + 3, 7, OperationFlags(0, 0), 210000, {1, 0, 0, 0, 0, 0, 0, 0}},
        {V + 5, V + 3, 0, OperationFlags(2, 1), 210021, {2, 2, 1, 0, 0, 0, 0, 0}},
        {V + 5, V + 3, 0, OperationFlags(4, 0), 121, {2, 4, 0, 0, 0, 0, 0, 0}},  // prepared, no fast form
        {V + 5, V + 3, 7, OperationFlags(0, 0) | 1, 121, {}},                    // low flag bits
        {V + 5, V + 3, 7, OperationFlags(0, 0) | 0x10000, 121, {}},
        {kMapSelfBase + 5, 1, 2, OperationFlags(0, 0), 121, Jumps(8, 0)},  // self variables have no slot
        {V + 5, kStringBase, 2, OperationFlags(0, 0), 121, {}},            // not an integer
        {V + 500, 1, 2, OperationFlags(0, 0), 121, Jumps(8, 0)},           // beyond the variables
        {kRelativeCommonSelfBase + 4, V + 1, 2, OperationFlags(1, 2), 210012, {1, 1, 2, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto commands =
            Prepared({Cmd(CommandCode::kVariableOperation, {c.target, c.first, c.second, c.flags}), End()}, 2);
        EXPECT_EQ(commands[0].Code(), c.code) << c.target << " " << c.flags;
        EXPECT_EQ(commands[0].jumps, c.jumps) << c.target << " " << c.flags;
    }
    // Map-event lists are never pre-resolved.
    EXPECT_EQ(MakeList({Cmd(CommandCode::kVariableOperation, {V, V, 7, 0}), End()})->Commands()[0].Code(), 121);
}

TEST_F(PreparationTest, CaseHeadsAndLoopEndsLearnWhereTheyContinue) {
    auto commands = Prepared({
        Cmd(CommandCode::kLoopStart),         // 0
        Cmd(CommandCode::kCaseHead, {1}, 1),  // 1
        Cmd(CommandCode::kLoopEnd, {}, 2),    // 2 (no head at its indent before it)
        Cmd(CommandCode::kCaseHead, {2}, 1),  // 3
        Cmd(CommandCode::kLoopEnd),           // 4
        End(),
    });
    EXPECT_EQ(commands[1].jumps, (Jumps{1, 3}));
    EXPECT_EQ(commands[2].jumps, Jumps{});
    EXPECT_EQ(commands[3].jumps, Jumps{});  // nothing after it at its indent
    EXPECT_EQ(commands[4].jumps, (Jumps{1, 0}));
}

TEST_F(PreparationTest, ConditionBranchesWithRoomArePrepared) {
    std::vector<EventCommand> branch = {
        Cmd(CommandCode::kConditionBranch, {1, V + 3, 5, 2}),  // 0: v3 == 5
        Cmd(CommandCode::kCaseHead, {1}),                      // 1
        Cmd(CommandCode::kLoopStart, {}, 1),                   // 2
        Cmd(CommandCode::kElseHead, {0}),                      // 3
        Cmd(CommandCode::kLoopStart, {}, 1),                   // 4
        Cmd(CommandCode::kBranchEnd),                          // 5
        End(),
    };
    auto commands = Prepared(branch);
    EXPECT_EQ(commands[0].jumps, (Jumps{1, 1, 2, 0, 0, 1, 0, 0, 3}));
    EXPECT_EQ(commands[0].resolved, (Jumps{V + 3, ResolvedArgument(3)}));
    EXPECT_EQ(commands[1].jumps, (Jumps{2, 5}));
    EXPECT_EQ(commands[3].jumps, (Jumps{2, 5}));
    // Four conditions do not fit: the branch runs in its general form and the
    // heads learn only their next head.
    branch[0] = Cmd(CommandCode::kConditionBranch, {4, V, 0, 2, V, 0, 2, V, 0, 2, V, 0, 2});
    commands = Prepared(branch);
    EXPECT_TRUE(commands[0].jumps.empty());
    EXPECT_EQ(commands[1].jumps, (Jumps{1, 3}));
}

TEST_F(PreparationTest, LabelJumpsCarryTheirLoopStackChanges) {
    auto jumpOf = [&](std::vector<EventCommand> commands, size_t line) {
        return Prepared(std::move(commands))[line].jumps;
    };
    // Backward out of a loop entered after the label: leave it.
    EXPECT_EQ(jumpOf({Cmd(CommandCode::kLabel, {}, 0, {"a"}), Cmd(CommandCode::kLoopStart),
                      Cmd(CommandCode::kJumpToLabel, {}, 1, {"a"}), Cmd(CommandCode::kLoopEnd), End()},
                     2),
              (Jumps{1, 0, 1, -1, -1}));
    // Forward into a counted loop: enter it with no passes left.
    EXPECT_EQ(jumpOf({Cmd(CommandCode::kJumpToLabel, {}, 0, {"b"}), Cmd(CommandCode::kLoopCount, {3}),
                      Cmd(CommandCode::kLabel, {}, 1, {"b"}), Cmd(CommandCode::kLoopEnd), End()},
                     0),
              (Jumps{1, 2, 1, 0, 0}));
    // Forward out of an endless loop, and backward into one.
    EXPECT_EQ(jumpOf({Cmd(CommandCode::kLoopStart), Cmd(CommandCode::kJumpToLabel, {}, 1, {"c"}),
                      Cmd(CommandCode::kLoopEnd), Cmd(CommandCode::kLabel, {}, 0, {"c"}), End()},
                     1),
              (Jumps{1, 3, 1, -1, -1}));
    EXPECT_EQ(jumpOf({Cmd(CommandCode::kLoopStart, {}, 2), Cmd(CommandCode::kLabel, {}, 3, {"d"}),
                      Cmd(CommandCode::kLoopEnd, {}, 2), Cmd(CommandCode::kJumpToLabel, {}, 2, {"d"}), End()},
                     3),
              (Jumps{1, 1, 1, 2, 2000000000}));
    // Labels with escape codes, and labels that do not exist, are not cached.
    EXPECT_EQ(
        jumpOf({Cmd(CommandCode::kLabel, {}, 0, {"\\v[1]"}), Cmd(CommandCode::kJumpToLabel, {}, 0, {"\\v[1]"}), End()},
               1),
        Jumps{});
    EXPECT_EQ(jumpOf({Cmd(CommandCode::kJumpToLabel, {}, 0, {"e"}), End()}, 0), Jumps{});
}

// The loop-stack changes of a jump, found as the rule says: one walk of the
// whole list from line 0 for every jump.
Jumps WalkedLabelJump(const std::vector<EventCommand>& commands, size_t line) {
    const EventCommand& jump = commands[line];
    if (jump.strings.empty() || jump.strings[0].find('\\') != std::string::npos) return {};
    const std::string& label = jump.strings[0];
    enum class Mode { kBefore, kBetween, kAfter } mode = Mode::kBefore;
    std::vector<int32_t> nesting;
    std::deque<int32_t> edits;
    int32_t found = -1;
    for (size_t at = 0; at < commands.size(); ++at) {
        const EventCommand& command = commands[at];
        int32_t entry = -1;
        if (command.Code() == CodeValue(CommandCode::kLoopStart)) entry = command.indent * 10 + 1;
        if (command.Code() == CodeValue(CommandCode::kLoopCount)) entry = command.indent * 10;
        const bool loopEnd = IsLoopEndCode(command.Code());
        const bool isLabel =
            command.Code() == CodeValue(CommandCode::kLabel) && !command.strings.empty() && command.strings[0] == label;
        if (mode == Mode::kBefore) {
            if (at == line) {
                mode = Mode::kAfter;
                continue;
            }
            if (entry >= 0) nesting.push_back(entry);
            if (loopEnd && !nesting.empty()) nesting.pop_back();
            if (isLabel) {
                found = static_cast<int32_t>(at);
                mode = Mode::kBetween;
            }
        } else if (mode == Mode::kBetween) {
            if (at == line) break;
            if (entry >= 0) {
                nesting.push_back(entry);
                edits.push_front(-1);
            }
            if (loopEnd && !nesting.empty()) {
                edits.push_front(nesting.back());
                nesting.pop_back();
            }
        } else {
            if (loopEnd) {
                if (!nesting.empty()) nesting.pop_back();
                edits.push_back(-1);
            }
            if (isLabel) {
                found = static_cast<int32_t>(at);
                break;
            }
            if (entry >= 0) {
                nesting.push_back(entry);
                edits.push_back(entry);
            }
        }
    }
    if (found < 0) return {};
    Jumps jumps = {1, found, 0};
    for (int32_t edit : edits) {
        ++jumps[2];
        if (edit < 0) {
            jumps.insert(jumps.end(), {-1, -1});
        } else {
            jumps.insert(jumps.end(), {edit / 10, edit % 10 == 1 ? 2000000000 : 0});
        }
    }
    return jumps;
}

// A loop entered and left again on the way changes nothing: a push followed
// by a pop is dropped, so what is left pops first and pushes after.
Jumps WithoutEnteredAndLeftLoops(const Jumps& jumps) {
    if (jumps.size() < 3) return jumps;
    Jumps steps;
    for (size_t at = 3; at + 1 < jumps.size(); at += 2) {
        const bool pop = jumps[at] == -1 && jumps[at + 1] == -1;
        if (pop && !steps.empty() && !(steps[steps.size() - 2] == -1 && steps.back() == -1)) {
            steps.resize(steps.size() - 2);
        } else {
            steps.insert(steps.end(), {jumps[at], jumps[at + 1]});
        }
    }
    Jumps kept = {jumps[0], jumps[1], static_cast<int32_t>(steps.size() / 2)};
    kept.insert(kept.end(), steps.begin(), steps.end());
    return kept;
}

// The loop stacks after the steps, as the interpreter applies them: a pop of
// an empty stack does nothing.
std::vector<std::pair<int32_t, int32_t>> Applied(std::vector<std::pair<int32_t, int32_t>> loops, const Jumps& jumps) {
    for (size_t at = 3; at + 1 < jumps.size(); at += 2) {
        if (jumps[at] == -1 && jumps[at + 1] == -1) {
            if (!loops.empty()) loops.pop_back();
        } else {
            loops.emplace_back(jumps[at], jumps[at + 1]);
        }
    }
    return loops;
}

TEST_F(PreparationTest, LabelJumpsAgreeWithAWalkOfTheWholeListOnRandomLists) {
    std::mt19937 random(4242);
    const char* names[] = {"a", "b", "c", "d", "\\s[1]", ""};
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    for (int round = 0; round < 3000; ++round) {
        std::vector<EventCommand> commands;
        const int length = 1 + pick(round % 10 == 0 ? 200 : 40);
        for (int i = 0; i < length; ++i) {
            // Mostly small indents; now and then one that makes no loop entry.
            const int32_t indent = pick(12) == 0 ? -1 - pick(3) : pick(4);
            const std::string name = names[pick(6)];
            switch (pick(12)) {
                case 0:
                case 1: commands.push_back(Cmd(CommandCode::kLabel, {}, indent, {name})); break;
                case 2: commands.push_back(Cmd(CommandCode::kLabel, {}, indent)); break;
                case 3:
                case 4: commands.push_back(Cmd(CommandCode::kJumpToLabel, {}, indent, {name})); break;
                case 5:
                case 6: commands.push_back(Cmd(CommandCode::kLoopStart, {}, indent)); break;
                case 7: commands.push_back(Cmd(CommandCode::kLoopCount, {3}, indent)); break;
                case 8:
                case 9: commands.push_back(Cmd(CommandCode::kLoopEnd, {}, indent)); break;
                case 10:
                    commands.push_back(
                        RawCmd(pick(2) == 0 ? CodeValue(CommandCode::kFastJump) : CodeValue(CommandCode::kFastLoopEnd),
                               {}, indent));
                    break;
                default: commands.push_back(RawCmd(101, {}, indent)); break;
            }
        }
        commands.push_back(End());
        const std::vector<EventCommand> prepared = Prepared(commands);
        for (size_t line = 0; line < commands.size(); ++line) {
            if (commands[line].Code() != CodeValue(CommandCode::kJumpToLabel)) continue;
            const Jumps walked = WalkedLabelJump(commands, line);
            ASSERT_EQ(prepared[line].jumps, WithoutEnteredAndLeftLoops(walked))
                << "round " << round << " line " << line;
            // Whatever loops are open when the jump runs, the stacks end as
            // the full list of steps would leave them.
            for (size_t open = 0; open < 4; ++open) {
                std::vector<std::pair<int32_t, int32_t>> loops;
                for (size_t k = 0; k < open; ++k)
                    loops.emplace_back(static_cast<int32_t>(k), static_cast<int32_t>(k * 7));
                ASSERT_EQ(Applied(loops, prepared[line].jumps), Applied(loops, walked))
                    << "round " << round << " line " << line;
            }
        }
    }
}

TEST_F(PreparationTest, DatabaseNamesBecomeNumbers) {
    databases.typeNameMaps[0]["Hero"] = 3;
    databases.dataNameMaps[0].resize(4);
    databases.dataNameMaps[0][3]["Ann"] = 7;
    databases.itemNameMaps[0].resize(4);
    auto commands =
        Prepared({Cmd(CommandCode::kDatabaseOperation, {0, 0, 0, 0x70000, 0}, 0, {"", "Hero", "Ann", "HP"}), End()});
    EXPECT_EQ(commands[0].arguments, (Jumps{250, 3, 7, 0, 0x40000, 0}));  // the unknown item keeps its flag
}

TEST_F(PreparationTest, DatabaseCommandsOnNumberCellsArePrepared) {
    DbTypeData& type = databases.changeable.types.emplace_back();
    type.itemKinds = {1001, 2000};
    type.rows.assign(2, DbRow{{0, 0}, {""}});
    databases.changeable.typeDefs.emplace_back().itemNames = {"a", "b"};
    struct Case {
        int32_t data, item, flags, operand;
        Jumps jumps, resolved;
    };
    const Case cases[] = {
        {1, 0, 0x0020, V + 2, {1, 1, 2, 0, 1}, {ResolvedArgument(2), V + 2}},
        {5, 0, 0x1000, V + 2, {1, 1, 0, 1, 0}, {ResolvedArgument(2), V + 2}},  // the row comes later
        {V + 4, 0, 0, 7, {1, 1, 0, 0, 0}, {V + 4, ResolvedArgument(5)}},
        {1, 1, 0, V + 2, {}, {}},       // a string item
        {1, 0, 0x1000, 7, {}, {}},      // a read into a literal
        {1, 0, 0x0001, V + 2, {}, {}},  // low flag bits
        {1, 0, 0x0300, V + 2, {}, {}},  // no such database
        {1, 2, 0, V + 2, {}, {}},       // beyond the items
    };
    for (const Case& c : cases) {
        auto commands =
            Prepared({Cmd(CommandCode::kDatabaseOperation, {0, c.data, c.item, c.flags, c.operand}), End()});
        EXPECT_EQ(commands[0].jumps, c.jumps) << c.data << " " << c.item << " " << c.flags;
        EXPECT_EQ(commands[0].resolved, c.resolved) << c.data << " " << c.item << " " << c.flags;
    }
}

TEST_F(PreparationTest, PageConditions) {
    store.SetInt(kMapSelfBase + 123, 5);  // self variable 3 of event 12
    store.SetInt(kMapSelfBase + 3, 9);    // self variable 3 of event 0
    SetVar(1, 0b101);
    struct Case {
        uint8_t flag;
        int32_t left, right;
        bool holds;
    };
    const Case cases[] = {
        {0x21, kMapSelfBase + 3, 5, true},  // left self IDs are this event's
        {0x21, kRelativeMapSelfBase + 3, 5, true},
        {0x21, V + 1, kMapSelfBase + 3, false},         // a right self ID keeps its event (0: 9)
        {0x21, V + 1, kRelativeMapSelfBase + 3, true},  // a relative one is this event's (12: 5)
        {0x51, V + 1, kMapSelfBase + 3, true},
        {0x61, V + 1, 5, true},  // bits 0 and 2 set
        {0x61, V + 1, 6, false},
        {0x71, V + 1, 5, false},  // no such comparison
        {0x01, V + 1, 4, true},
        {0x20, V + 1, 99, true},  // unused
    };
    for (const Case& c : cases) {
        EventPageConditions conditions;
        conditions.flags = {c.flag, 0x21, 0x21, 0x21};
        conditions.left = {c.left, V + 1, V + 1, V + 1};
        conditions.right = {c.right, 0, 0, 0};  // the later ones fail when looked at
        EXPECT_EQ(conditions.Evaluate(12, store), c.holds && (c.flag & 1) == 0) << int(c.flag) << " " << c.left;
        conditions.flags = {c.flag, 0x20, 0x21, 0x21};  // only the first is looked at
        EXPECT_EQ(conditions.Evaluate(12, store), c.holds) << int(c.flag) << " " << c.left;
    }
}

}  // namespace
}  // namespace velk
