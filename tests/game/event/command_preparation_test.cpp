#include <gtest/gtest.h>

#include "game/event/event_page_conditions.h"
#include "tests/game/event/event_test_support.h"

namespace velk {
namespace {

using testing::Cmd;
using testing::End;
using testing::OperationFlags;

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
