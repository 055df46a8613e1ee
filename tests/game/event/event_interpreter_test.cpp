#include <climits>
#include <new>

#include <gtest/gtest.h>

#include "game/data/data_texts.h"
#include "game/data/text_format.h"
#include "game/event/event_texts.h"
#include "tests/game/event/event_test_support.h"
#include "tests/support/allocation_faults.h"

namespace velk {
namespace {

using testing::Cmd;
using testing::End;
using testing::OperationFlags;
using testing::RawCmd;
using testing::Sjis;

constexpr int32_t V = kVariableBase;

// Variable n += value (or = value), in the general form a map event runs.
EventCommand Add(int32_t n, int32_t value, int32_t indent = 0) {
    return Cmd(CommandCode::kVariableOperation, {V + n, value, 0, OperationFlags(1, 0)}, indent);
}

class InterpreterTest : public testing::EventTest {
protected:
    InterpreterTest() {
        // A small general form of the variable operation: = and += of the
        // first operand's value.
        table.Register(CommandCode::kVariableOperation, 5, 0, [this](EventInterpreter& in, const EventCommand& c) {
            ++generalOperations;
            const int32_t value = in.GetValue(c.arguments[2]);
            const int32_t assignment = (c.arguments[4] >> 8) & 15;
            in.SetIntVariable(c.arguments[1], assignment == 1 ? in.GetValue(c.arguments[1]) + value : value);
            return CommandResult::kNext;
        });
        // Stores the branch value for the case heads at its indent.
        table.Register(CommandCode::kStringConditionBranch, 2, 0, [](EventInterpreter& in, const EventCommand& c) {
            *in.BranchSlot(c.indent) = in.GetValue(c.arguments[1]);
            return CommandResult::kNext;
        });
    }

    int generalOperations = 0;
};

TEST_F(InterpreterTest, NestedLoopsWithBreakAndContinue) {
    Start({
        Cmd(CommandCode::kLoopCount, {3}, 0),
        Add(0, 1, 1),
        Cmd(CommandCode::kLoopCount, {4}, 1),
        Add(1, 1, 2),
        Cmd(CommandCode::kContinueLoop, {}, 2),
        Add(2, 1, 2),
        Cmd(CommandCode::kLoopEnd, {}, 1),
        Cmd(CommandCode::kLoopStart, {}, 1),
        Add(3, 1, 2),
        Cmd(CommandCode::kBreakLoop, {}, 2),
        Add(4, 1, 2),
        Cmd(CommandCode::kLoopEnd, {}, 1),
        Add(5, 1, 1),
        Cmd(CommandCode::kLoopEnd, {}, 0),
        End(),
    });
    RunFrames(1);
    EXPECT_EQ(Var(0), 3);
    EXPECT_EQ(Var(1), 12);  // continue on the last pass leaves the loop
    EXPECT_EQ(Var(2), 0);
    EXPECT_EQ(Var(3), 3);  // break leaves the inner loop only
    EXPECT_EQ(Var(4), 0);
    EXPECT_EQ(Var(5), 3);
    EXPECT_FALSE(interpreter_.HasCommandList());
    EXPECT_TRUE(interpreter_.loopIndents.empty());
}

TEST_F(InterpreterTest, CountedLoopsRunTheirCountAndSkipCountsBelowOne) {
    for (int32_t count : {3, 1, 0, -2, INT_MIN}) {
        SetVar(9, count);
        SetVar(0, 0);
        Start({Cmd(CommandCode::kLoopCount, {V + 9}), Add(0, 1, 1), Cmd(CommandCode::kLoopEnd), Add(1, 1), End()});
        RunFrames(1);
        EXPECT_EQ(Var(0), std::max(count, 0)) << count;
        EXPECT_TRUE(interpreter_.loopCounters.empty()) << count;
    }
    EXPECT_EQ(Var(1), 5);
}

TEST_F(InterpreterTest, FirstMatchingCaseHeadWinsPlainAndPrepared) {
    for (int32_t common : {-1, 0}) {
        for (int32_t value : {1, 2, 5}) {
            for (int n = 10; n < 14; ++n)
                SetVar(n, 0);
            SetVar(9, value);
            const CommandCode head = common < 0 ? CommandCode::kCaseHeadPlain : CommandCode::kCaseHead;
            Start({Cmd(CommandCode::kStringConditionBranch, {V + 9}), Cmd(head, {1}), Add(10, 1, 1), Cmd(head, {2}),
                   Add(11, 1, 1), Cmd(head, {2}), Add(12, 1, 1), Cmd(CommandCode::kBranchEnd), Add(13, 1), End()},
                  common);
            RunFrames(1);
            EXPECT_EQ(Var(10), value == 1) << common << " " << value;
            EXPECT_EQ(Var(11), value == 2) << common << " " << value;
            EXPECT_EQ(Var(12), 0) << common << " " << value;
            EXPECT_EQ(Var(13), 1) << common << " " << value;
            EXPECT_EQ(interpreter_.branchResult[0], EventInterpreter::kCaseTaken);
        }
    }
}

TEST_F(InterpreterTest, AStoppedCommandRunsAgainNextFrame) {
    int calls = 0;
    table.Register(CommandCode::kWait, 1, 0, [&](EventInterpreter&, const EventCommand&) {
        return ++calls < 3 ? CommandResult::kStopFrame : CommandResult::kAdvance;
    });
    Start({Add(0, 1), Cmd(CommandCode::kWait), Add(1, 1), End()});
    RunFrames(2);
    EXPECT_EQ(Var(0), 1);
    EXPECT_EQ(Var(1), 0);
    RunFrames(1);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(Var(1), 1);
    EXPECT_FALSE(interpreter_.HasCommandList());
}

TEST_F(InterpreterTest, ACommandThatRunsOutOfMemoryFailsWithABoxAndTheEventGoesOn) {
    // Once as a command of its own, once where it would go on in the same
    // turn, once in a called event.
    table.Register(CommandCode::kWait, 1, 0,
                   [](EventInterpreter&, const EventCommand&) -> CommandResult { throw std::bad_alloc(); });
    table.Register(CommandCode::kCallEvent, 1, 0, [this](EventInterpreter& in, const EventCommand&) {
        in.StartChild(MakeList({Cmd(CommandCode::kWait), Add(3, 1), End()}), 7, -1);
        return CommandResult::kAdvance;
    });
    Start({Add(0, 1), Cmd(CommandCode::kWait), Add(1, 1), Cmd(CommandCode::kWait), Cmd(CommandCode::kCallEvent),
           Add(2, 1), End()});
    RunFrames(2);
    for (int n = 0; n <= 3; ++n)
        EXPECT_EQ(Var(n), 1) << n;
    ASSERT_EQ(reporter.boxes.size(), 3u);
    // Each names the failed command's place: event 7, no common event, its line.
    const int lines[] = {1, 3, 0};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reporter.boxes[i].line1, texts::kCommandOutOfMemory) << i;
        EXPECT_EQ(reporter.boxes[i].line2, FormatText(texts::kErrorLocation, 7, -1, lines[i])) << i;
        EXPECT_EQ(reporter.boxes[i].line3, "") << i;
    }
    EXPECT_FALSE(interpreter_.HasCommandList());
}

TEST_F(InterpreterTest, TheBoxOfACommandThatRunsOutOfMemoryAsksForNoMemory) {
    // Nothing on the way from the failed command to the box may need the
    // memory that just ran out.
    class CountingReporter final : public ErrorReporter {
    public:
        void ShowErrorBox(const std::string& line1, const std::string&, const std::string&) override {
            allocations = testing::StopCountingAllocations();
            shown = line1 == texts::kCommandOutOfMemory;
        }
        void ShowMessageBox(const std::string&, const std::string&, MessageBoxButtons) override {}
        void EndProgram(int) override {}
        size_t allocations = 0;
        bool shown = false;
    } counting;
    const ScopedErrorReporter installed(counting);
    table.Register(CommandCode::kWait, 1, 0, [](EventInterpreter&, const EventCommand&) -> CommandResult {
        testing::CountAllocations();
        throw std::bad_alloc();
    });
    Start({Cmd(CommandCode::kWait), Add(0, 1), End()});
    RunFrames(1);
    EXPECT_TRUE(counting.shown);
    EXPECT_EQ(counting.allocations, 0u);
    EXPECT_EQ(Var(0), 1);
}

TEST_F(InterpreterTest, ChildrenRunFirstAndAFinishedChildLetsTheParentGoOn) {
    SharedCommandList quick = MakeList({Add(2, 1), End()});
    SharedCommandList slow = MakeList({Cmd(CommandCode::kWait), Add(4, 1), End()});
    bool waited = false;
    table.Register(CommandCode::kWait, 1, 0, [&](EventInterpreter&, const EventCommand&) {
        if (waited) return CommandResult::kAdvance;
        waited = true;
        return CommandResult::kStopFrame;
    });
    table.Register(CommandCode::kCallEvent, 2, 0, [&](EventInterpreter& in, const EventCommand& c) {
        in.StartChild(c.arguments[1] == 0 ? quick : slow, in.eventId, -1);
        return CommandResult::kAdvance;
    });
    Start({Cmd(CommandCode::kCallEvent, {0}), Add(3, 1), Cmd(CommandCode::kCallEvent, {1}), Add(5, 1), End()});
    RunFrames(1);
    EXPECT_EQ(Var(2), 1);
    EXPECT_EQ(Var(3), 1);  // the same frame
    ASSERT_EQ(interpreter_.children.size(), 1u);
    EXPECT_EQ(interpreter_.children[0].depth, 1);
    EXPECT_EQ(Var(5), 0);  // the parent waits for its waiting child
    RunFrames(1);
    EXPECT_EQ(Var(4), 1);
    EXPECT_EQ(Var(5), 1);
    EXPECT_TRUE(interpreter_.children.empty());
}

TEST_F(InterpreterTest, CallsNestOnlyToTheLimit) {
    SharedCommandList self;
    int refused = 0;
    table.Register(CommandCode::kCallEvent, 1, 0, [&](EventInterpreter& in, const EventCommand&) {
        if (!in.StartChild(self, -1, 0)) ++refused;
        return CommandResult::kAdvance;
    });
    self = MakeList({Add(0, 1), Cmd(CommandCode::kCallEvent), End()});
    interpreter_.Setup(self, -1, 0);
    RunFrames(1);
    EXPECT_EQ(Var(0), EventInterpreter::kMaxDepth + 1);
    EXPECT_EQ(refused, 1);
}

TEST_F(InterpreterTest, AGameLoadStopsEveryInterpreterForTheFrame) {
    // The command that loads runs again (and loads nothing) once the frame
    // of the load is over.
    int loads = 0;
    table.Register(CommandCode::kSaveLoad, 1, 0, [&](EventInterpreter&, const EventCommand&) {
        system.gameLoaded = ++loads == 1;
        return CommandResult::kAdvance;
    });
    SharedCommandList child = MakeList({Cmd(CommandCode::kSaveLoad), Add(1, 1), End()});
    table.Register(CommandCode::kCallEvent, 1, 0, [&](EventInterpreter& in, const EventCommand&) {
        in.StartChild(child, -1, -1);
        return CommandResult::kAdvance;
    });
    Start({Cmd(CommandCode::kCallEvent), Add(2, 1), End()});
    RunFrames(1);
    EXPECT_EQ(Var(1), 0);
    EXPECT_EQ(Var(2), 0);
    RunFrames(1);  // still the frame of the load
    EXPECT_EQ(Var(1), 0);
    system.gameLoaded = false;
    RunFrames(1);
    EXPECT_EQ(Var(1), 1);
    EXPECT_EQ(Var(2), 1);
}

TEST_F(InterpreterTest, TheFrameLimitShowsItsBoxOncePausesAndResumes) {
    // 600000 prepared additions of common event 0, or some of them and then
    // the rest in common event 1 that it calls: the child goes on with its
    // caller's count, and the box names the place of the one that passed the
    // limit. The run loop's turns count too; the last call leaves the
    // count just at the limit.
    struct Case {
        int32_t own, called, firstFrame;
        const char* place;
    };
    const Case cases[] = {
        {600000, 0, 499999, "イベント-1 (コモン0) 499999行"},
        {200000, 400000, 499997, "イベント-1 (コモン1) 299997行"},
        {499998, 100002, 499998, "イベント-1 (コモン1) 0行"},
    };
    const EventCommand addition = Cmd(CommandCode::kVariableOperation, {V, 1, 0, OperationFlags(1, 0)});
    SharedCommandList child;
    table.Register(CommandCode::kCallEvent, 1, 0, [&](EventInterpreter& in, const EventCommand&) {
        in.StartChild(child, in.eventId, 1);
        return CommandResult::kAdvance;
    });
    for (const Case& c : cases) {
        SetVar(0, 0);
        reporter.boxes.clear();
        std::vector<EventCommand> called(static_cast<size_t>(c.called), addition);
        called.push_back(End());
        child = MakeList(std::move(called), 1);
        std::vector<EventCommand> commands(static_cast<size_t>(c.own), addition);
        if (c.called > 0) commands.push_back(Cmd(CommandCode::kCallEvent));
        commands.push_back(End());
        Start(std::move(commands), 0);
        RunFrames(1);
        EXPECT_EQ(Var(0), c.firstFrame) << c.place;
        ASSERT_EQ(reporter.boxes.size(), 1u) << c.place;
        EXPECT_EQ(reporter.boxes[0].line1,
                  Sjis((std::string("1フレームあたりの処理が500000個を越えました！ ") + c.place).c_str()));
        EXPECT_EQ(reporter.boxes[0].line2, "");
        RunFrames(4);
        EXPECT_EQ(Var(0), c.firstFrame) << c.place;
        RunFrames(1);
        EXPECT_EQ(Var(0), 600000) << c.place;
        EXPECT_EQ(reporter.boxes.size(), 1u) << c.place;
        EXPECT_FALSE(interpreter_.HasCommandList()) << c.place;
    }
    EXPECT_EQ(generalOperations, 0);
}

TEST_F(InterpreterTest, FastArithmeticWrapsIn32Bits) {
    struct Case {
        int32_t assignment, operation, target, first, second, expected;
    };
    const Case cases[] = {
        {2, 1, 10, 7, 2, 5},             // t - (b - c)
        {3, 1, 3, 7, 2, 15},             // t x (b - c)
        {0, 2, 0, 6, -7, -42},           // b x c
        {1, 2, 1, 6, 7, 43},             // t + b x c
        {0, 0, 0, INT_MAX, 1, INT_MIN},  // wraps
        {2, 0, INT_MIN, 1, 0, INT_MAX},  // wraps
        {3, 2, 65536, 65536, 1, 0},      // 2^32 wraps to 0
    };
    for (const Case& c : cases) {
        SetVar(0, c.target);
        SetVar(1, c.first);
        SetVar(2, c.second);
        Start(
            {Cmd(CommandCode::kVariableOperation, {V, V + 1, V + 2, OperationFlags(c.assignment, c.operation)}), End()},
            0);
        EXPECT_EQ((*interpreter_.List())[0].Code(), 210000 + 10 * c.assignment + c.operation);
        RunFrames(1);
        EXPECT_EQ(Var(0), c.expected) << c.assignment << c.operation;
    }
    EXPECT_EQ(generalOperations, 0);
}

TEST_F(InterpreterTest, PreparedSlotsFollowTheStoreWhenItIsRebuilt) {
    SharedCommandList list = MakeList({Add(5, 1), End()}, 0);
    interpreter_.Setup(list, -1, 0);
    RunFrames(1);
    EXPECT_EQ(Var(5), 1);
    // A fresh store (as the title block or a load makes) moves every slot.
    store = VariableStore(&interpreter, &databases);
    interpreter_.Setup(list, -1, 0);
    RunFrames(1);
    EXPECT_EQ(Var(5), 1);
    EXPECT_EQ(generalOperations, 0);
    // Without normal variables the slot is gone: the general form runs.
    databases.system.types[14].rows.clear();
    store = VariableStore(&interpreter, &databases);
    reporter.boxes.clear();
    interpreter_.Setup(list, -1, 0);
    RunFrames(1);
    EXPECT_EQ(generalOperations, 1);
}

TEST_F(InterpreterTest, LabelsUnknownCodesAndFastJumpsGoOnInTheSameFrame) {
    // A fast loop end with the counter at 2 goes back twice; a fast jump
    // without jump data, like an unknown code, is passed over.
    EventCommand loopEnd = RawCmd(CodeValue(CommandCode::kFastLoopEnd));
    loopEnd.jumps = {1, 1};
    EventCommand jump = RawCmd(CodeValue(CommandCode::kFastJump));
    jump.jumps = {1, 6};
    Start({Cmd(CommandCode::kLabel, {}, 0, {"x"}), RawCmd(777), RawCmd(210003), Add(0, 1), loopEnd, jump, Add(1, 1),
           RawCmd(CodeValue(CommandCode::kFastJump)), Add(2, 1), End()});
    interpreter_.PushLoop(0, 2);
    RunFrames(1);
    EXPECT_EQ(Var(0), 3);
    EXPECT_EQ(Var(1), 0);
    EXPECT_EQ(Var(2), 1);
    EXPECT_TRUE(interpreter_.loopCounters.empty());
    EXPECT_FALSE(interpreter_.HasCommandList());
}

TEST_F(InterpreterTest, DamagedListsEndCleanly) {
    // No end command; case heads at indents the branch table lacks; a loop
    // end without its loop; a break with no loop end after it.
    Start({Add(0, 1), Cmd(CommandCode::kCaseHeadPlain, {0}, 60), Add(1, 1, 61), Cmd(CommandCode::kBranchEnd, {}, -3),
           Cmd(CommandCode::kLoopEnd), Cmd(CommandCode::kLoopStart), Cmd(CommandCode::kBreakLoop, {}, 1), Add(2, 1)});
    RunFrames(1);
    EXPECT_EQ(Var(0), 1);
    EXPECT_EQ(Var(1), 1);  // an indent beyond the table compares with 0
    EXPECT_EQ(Var(2), 1);
    EXPECT_FALSE(interpreter_.HasCommandList());
    // A mismatching head with nothing after it at its indent ends the event.
    SetVar(9, 4);
    Start(
        {Cmd(CommandCode::kStringConditionBranch, {V + 9}, 2), Cmd(CommandCode::kCaseHeadPlain, {1}, 2), Add(3, 1, 3)});
    RunFrames(1);
    EXPECT_EQ(Var(3), 0);
    EXPECT_FALSE(interpreter_.HasCommandList());
}

// A module's handlers as they plug in: a set built on the state it changes.
class SoundCommands final : public CommandHandlerSet {
public:
    explicit SoundCommands(std::vector<size_t>& seen) : seen_(seen) {}
    void RegisterInto(CommandTable& table) override {
        table.Register(CommandCode::kSound, 4, 2, [this](EventInterpreter&, const EventCommand& c) {
            seen_.push_back(c.arguments.size() + c.strings.size());
            return CommandResult::kNext;
        });
    }

private:
    std::vector<size_t>& seen_;
};

TEST_F(InterpreterTest, ShortCommandsArePaddedOrRefused) {
    std::vector<size_t> seen;
    SoundCommands sounds(seen);
    table.Register(sounds);
    Start({Cmd(CommandCode::kSound, {1}), End()});
    RunFrames(1);
    EXPECT_EQ(seen, std::vector<size_t>{6});
    // A list that skipped preparation: the command is passed over.
    interpreter_.Setup(
        std::make_shared<CommandList>(std::vector<EventCommand>{Cmd(CommandCode::kSound, {1}), Add(0, 1), End()}), 7,
        -1);
    RunFrames(1);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(Var(0), 1);
}

TEST_F(InterpreterTest, EraseEndsTheFrameAndErasingItselfEndsTheEvent) {
    map.events[5] = {};
    map.events[7] = {};
    Start(
        {Cmd(CommandCode::kEraseEvent, {5, 30}), Add(0, 1), Cmd(CommandCode::kEraseEvent, {-1, 10}), Add(1, 1), End()});
    RunFrames(1);
    EXPECT_EQ(map.erased, (std::vector<std::pair<int32_t, int32_t>>{{5, 30}}));
    EXPECT_EQ(Var(0), 0);
    RunFrames(1);
    EXPECT_EQ(Var(0), 1);
    EXPECT_EQ(map.erased.back(), (std::pair<int32_t, int32_t>{7, 10}));
    EXPECT_FALSE(interpreter_.HasCommandList());
    EXPECT_EQ(Var(1), 0);
    // On another map nothing is erased, but the event still ends.
    Start({Cmd(CommandCode::kEraseEvent, {-1, 10}), End()});
    owners.map.mapId = 4;
    RunFrames(1);
    EXPECT_EQ(map.erased.size(), 2u);
    EXPECT_FALSE(interpreter_.HasCommandList());
    // An event that is no map event ends rather than trying every frame.
    Start({Cmd(CommandCode::kEraseEvent, {-1, 10}), Add(2, 1), End()}, 0);
    RunFrames(1);
    EXPECT_FALSE(interpreter_.HasCommandList());
    EXPECT_EQ(Var(2), 0);
    // Event 0 is erased like any other, by its number and by itself.
    owners.map.mapId = 3;
    map.events[0] = {};
    Start({Cmd(CommandCode::kEraseEvent, {0, 5}), Cmd(CommandCode::kEraseEvent, {-1, 6}), End()}).eventId = 0;
    RunFrames(2);
    EXPECT_EQ(map.erased, (std::vector<std::pair<int32_t, int32_t>>{{5, 30}, {7, 10}, {0, 5}, {0, 6}}));
}

TEST_F(InterpreterTest, RelativeIdsNameTheRunningEventOnItsMap) {
    Start({End()});
    interpreter_.eventId = 12;
    interpreter_.commonId = 2;
    interpreter_.SetIntVariable(kRelativeMapSelfBase + 3, 5);
    owners.map.mapId = 4;
    EXPECT_EQ(interpreter_.GetValue(kRelativeMapSelfBase + 3), 5);
    EXPECT_EQ(interpreter_.GetValue(kMapSelfBase + 123), 5);
    EXPECT_EQ(store.GetInt(kMapSelfBase + 123), 0);  // map 4 has none
    interpreter_.SetIntVariable(kRelativeCommonSelfBase + 13, 9);
    EXPECT_EQ(store.GetInt(kCommonSelfBase + 213), 9);
    EXPECT_EQ(interpreter_.GetValue(-8), -8);
    interpreter_.eventId = INT_MAX;  // no overflow
    interpreter_.GetValue(kRelativeMapSelfBase);
}

TEST_F(InterpreterTest, TheTextPromptRestoresOnCancelAndDoublesBackslashesOnConfirm) {
    const int32_t target = kStringBase + 1;
    auto open = [&](int32_t state, const std::string& text) {
        store.SetString(target, "old");
        interpreter_.textInput = 9;
        interpreter_.textTarget = target;
        interpreter_.textOld = "old";
        interpreter.block.textPromptState = 1;
        prompt.state = state;
        prompt.text = text;
        store.SetString(target, "typing");
    };
    open(0, "");
    RunFrames(1);
    EXPECT_EQ(interpreter_.textInput, 9);
    EXPECT_EQ(interpreter_.PromptOwner(), &interpreter_);
    open(2, "x");
    RunFrames(1);
    EXPECT_EQ(store.GetString(target), "old");
    EXPECT_EQ(interpreter.block.textPromptState, -1);
    EXPECT_EQ(interpreter_.textInput, 0);
    // "表" is 0x95 0x5C: its second byte is no backslash of its own.
    open(1, "a\\b\x95\x5C\\");
    RunFrames(1);
    // The typed text follows the text the target had kept.
    EXPECT_EQ(store.GetString(target), "olda\\\\b\x95\x5C\\\\");
    EXPECT_EQ(interpreter.block.textPromptState, 0);
    EXPECT_EQ(prompt.deleted, (std::vector<int32_t>{9, 9}));
}

TEST_F(InterpreterTest, WindowWaitersNeverOutliveTheirInterpreters) {
    WindowWaiters& waiters = ActiveWindowWaiters();
    {
        EventInterpreter parallel;
        parallel.ShowMessage("hello");
        EXPECT_EQ(waiters.MessageWaiter(), &parallel);
        EXPECT_EQ(system.messages, std::vector<std::string>{"hello"});
    }
    EXPECT_EQ(waiters.MessageWaiter(), nullptr);
    waiters.EndMessageWait();

    std::vector<EventInterpreter> owners(1);
    owners[0].waitWindow = 1;
    waiters.SetChoiceWaiter(2, &owners[0]);
    owners.reserve(owners.capacity() + 8);  // moves the interpreter
    EXPECT_EQ(waiters.ChoiceWaiter(), &owners[0]);
    waiters.DeliverChoiceResult(3);
    EXPECT_EQ(owners[0].branchResult[2], 3);
    EXPECT_EQ(owners[0].waitWindow, 0);
    // An indent outside the table is never written.
    waiters.SetChoiceWaiter(80, &owners[0]);
    waiters.DeliverChoiceResult(3);
    EXPECT_EQ(owners[0].waitWindow, 0);
}

TEST_F(InterpreterTest, WaitsAreLookedAtBeforeEveryCommand) {
    table.Register(CommandCode::kWaitForMoveRoutes, 1, 0, [](EventInterpreter& in, const EventCommand&) {
        in.waitRoutes = 1;
        return CommandResult::kAdvance;
    });
    Start({Cmd(CommandCode::kWaitForMoveRoutes), Add(0, 1), End()});
    map.forcedRoute = true;
    RunFrames(2);
    EXPECT_EQ(Var(0), 0);
    map.forcedRoute = false;
    system.transitionWaiting = true;
    RunFrames(1);
    EXPECT_EQ(Var(0), 0);
    system.transitionWaiting = false;
    system.sceneState = 0;
    RunFrames(1);
    EXPECT_EQ(Var(0), 0);
    system.sceneState = 1;
    RunFrames(1);
    EXPECT_EQ(Var(0), 1);
    EXPECT_TRUE(map.marked);  // every command asks for a page refresh
}

}  // namespace
}  // namespace velk
