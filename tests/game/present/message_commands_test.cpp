// The message and choice commands run by an interpreter against the real
// windows, frame by frame with scripted input: a message with its choices
// into the case heads, cancel, the close commands, choices that offer
// nothing, and commands that meet a window still open.

#include "game/present/message_commands.h"

#include "game/event/command_preparation.h"
#include "game/event/event_links.h"
#include "tests/game/event/event_test_support.h"
#include "tests/game/present/window_fixture.h"
#include "tests/support/allocation_faults.h"

namespace velk {
namespace {

using testing::Cmd;
using testing::End;

// The message command hands its text to the game system.
class RequestLink final : public EventSystemLink {
public:
    explicit RequestLink(GameSystem& system) : system_(system) {}
    void RequestMessage(const std::string& text) override { system_.messageRequest = text; }

private:
    GameSystem& system_;
};

// Choice arguments: item count, cancel nibble and special-key flags.
int32_t Packed(int32_t count, int32_t cancelNibble, int32_t options = 0) {
    return count | cancelNibble << 4 | options << 8;
}

class MessageCommandsTest : public testing::WindowTest {
protected:
    MessageCommandsTest() {
        table_.Register(commands_);
        // Records the value of the case it runs in.
        table_.Register(CommandCode::kSound, 2, 0, [this](EventInterpreter&, const EventCommand& c) {
            taken_.push_back(c.arguments[1]);
            return CommandResult::kNext;
        });
        ActiveEventLinks() = {&link_,  &map_,       &commons_, &prompt_, &keyInput_, &interpreter_.block,
                              &store_, &databases_, &table_};
    }
    ~MessageCommandsTest() override { ResetEventLinks(); }

    static EventCommand Taken(int32_t value, int32_t indent) { return Cmd(CommandCode::kSound, {value}, indent); }

    void Start(std::vector<EventCommand> commands) {
        auto list = std::make_shared<CommandList>(std::move(commands));
        PadCommands(*list, table_);
        event_.Setup(list, 7, -1);
    }
    // One frame in the game's order: the interpreter, then the windows.
    void Step(const MenuInput& input = {}) {
        event_.Run();
        Frame(input);
    }
    void Steps(int count) {
        for (int i = 0; i < count; ++i)
            Step();
    }
    // The message and choices, and the case heads of "Yes", "No" and cancel.
    std::vector<EventCommand> MessageWithChoices(int32_t packed, std::vector<std::string> items = {"Yes", "No"}) {
        return {Cmd(CommandCode::kMessage, {}, 0, {"Which?"}),
                Cmd(CommandCode::kChoices, {packed}, 0, std::move(items)),
                Cmd(CommandCode::kCaseHead, {2}),
                Taken(2, 1),
                Cmd(CommandCode::kCaseHead, {3}),
                Taken(3, 1),
                Cmd(CommandCode::kCaseHead, {4}),
                Taken(4, 1),
                Cmd(CommandCode::kBranchEnd),
                Taken(99, 0),
                End()};
    }

    MessageCommands commands_{system_, store_, ActiveWindowWaiters()};
    CommandTable table_;
    RequestLink link_{system_};
    EventMapLink map_;
    CommonEventLink commons_;
    TextPromptLink prompt_;
    KeyInputLink keyInput_;
    EventInterpreter event_;
    std::vector<int32_t> taken_;
};

TEST_F(MessageCommandsTest, AMessageWithChoicesOpensBothAndTheChosenCaseRunsAfterBothClose) {
    Start(MessageWithChoices(Packed(2, 1)));
    Step();
    EXPECT_TRUE(message_->open);
    EXPECT_EQ(system_.choicesWithMessage, 1);
    EXPECT_EQ(system_.choiceRequest, "Yes\nNo\n");
    EXPECT_EQ(system_.lastMessageText, "Which?");
    // The choice follows once the message text is complete.
    Steps(10);
    EXPECT_TRUE(choice_->open);
    EXPECT_FALSE(message_->cursorShown);
    Step(Direction(2));
    EXPECT_EQ(system_.choiceItemValue, 1);
    EXPECT_TRUE(taken_.empty());
    Step(Press(true));
    // Both windows closed in the same frame; the event goes on in the next.
    EXPECT_FALSE(choice_->open);
    EXPECT_FALSE(message_->open);
    EXPECT_TRUE(taken_.empty());
    Step();
    EXPECT_EQ(taken_, (std::vector<int32_t>{3, 99}));
    EXPECT_FALSE(event_.HasCommandList());
    Step();
    EXPECT_EQ(system_.windowBusy, 0);
}

TEST_F(MessageCommandsTest, CancelDeliversTheCancelNibbleAndNibbleOneRefusesCancel) {
    struct Case {
        int32_t nibble;
        std::vector<int32_t> taken;
    };
    for (const Case& c : {Case{4, {4, 99}}, Case{1, {}}}) {
        taken_.clear();
        Start(MessageWithChoices(Packed(2, c.nibble)));
        Steps(12);
        Step(Press(false, true));
        Steps(2);
        EXPECT_EQ(taken_, c.taken) << c.nibble;
        message_->Reset();
        choice_->Reset();
        Steps(2);
    }
}

TEST_F(MessageCommandsTest, TheCloseCommandsOfAnotherEventCloseTheChoiceAndTheMessage) {
    EventInterpreter other;
    auto runOther = [&](CommandCode code) {
        other.Setup(std::make_shared<CommandList>(std::vector<EventCommand>{Cmd(code), End()}), 8, -1);
        other.Run();
    };
    // Special-key bit 2: the forced close gives 102, which no case takes.
    Start({Cmd(CommandCode::kChoices, {Packed(2, 1, 4)}, 0, {"A", "B"}), Cmd(CommandCode::kCaseHead, {2}), Taken(2, 1),
           Cmd(CommandCode::kBranchEnd), Taken(99, 0), End()});
    Steps(8);
    ASSERT_TRUE(choice_->open);
    runOther(CommandCode::kSetChoiceCloseFlag);
    Frame();
    EXPECT_FALSE(choice_->open);
    EXPECT_EQ(event_.branchResult[0], 102);
    Step();
    EXPECT_EQ(taken_, (std::vector<int32_t>{99}));

    // A message nobody answers.
    Start({Cmd(CommandCode::kMessage, {}, 0, {"Hello"}), Taken(1, 0), End()});
    Steps(5);
    ASSERT_TRUE(message_->open);
    runOther(CommandCode::kCloseMessage);
    Frame();
    EXPECT_FALSE(message_->open);
    Step();
    EXPECT_EQ(taken_, (std::vector<int32_t>{99, 1}));
}

TEST_F(MessageCommandsTest, ChoicesThatOfferNothingDeliverTheCancelNibbleAtOnceAndTheMessageStillWaits) {
    // Every text empty, up to the ten a command may carry.
    for (const std::vector<std::string>& items : {std::vector<std::string>{"", ""}, std::vector<std::string>(10, "")}) {
        taken_.clear();
        Start(MessageWithChoices(Packed(2, 4), items));
        Step();
        EXPECT_EQ(system_.choicesWithMessage, 0);
        EXPECT_TRUE(system_.choiceRequest.empty());
        EXPECT_EQ(event_.branchResult[0], 4);
        // The message alone holds the event until it is answered.
        Steps(10);
        EXPECT_FALSE(choice_->open);
        EXPECT_TRUE(taken_.empty());
        Step(Press(true));
        Step();
        EXPECT_EQ(taken_, (std::vector<int32_t>{4, 99}));
    }
    // A choice command alone with nothing in it goes straight on.
    taken_.clear();
    Start({Cmd(CommandCode::kChoices, {Packed(0, 5)}, 0, {""}), Taken(7, 0), End()});
    Step();
    EXPECT_EQ(event_.branchResult[0], 5);
    EXPECT_EQ(taken_, (std::vector<int32_t>{7}));
}

// A text beyond the count is not an item, but its words still open the
// window: only texts that are all empty deliver the cancel nibble at once.
TEST_F(MessageCommandsTest, ATextBeyondTheCountStillOpensTheChoice) {
    taken_.clear();
    Start(MessageWithChoices(Packed(2, 4), {"", "", "C"}));
    Steps(10);
    EXPECT_FALSE(system_.choiceRequest.empty());
    EXPECT_TRUE(choice_->open);
    EXPECT_EQ(event_.waitWindow, 1);
}

TEST_F(MessageCommandsTest, AnEmptyMessageOpensAsOneSpaceAndTheWrappersSurroundEveryMessage) {
    Start({Cmd(CommandCode::kMessage, {}, 0, {""}), End()});
    Step();
    EXPECT_EQ(system_.messageRequest, " ");
    EXPECT_EQ(system_.lastMessageText, "");
    message_->Reset();
    interpreter_.block.sysString26 = "<";
    interpreter_.block.sysString27 = ">";
    interpreter_.block.sysVar0 = 0;
    Start({Cmd(CommandCode::kMessage, {}, 0, {"@5\nHi"}), End()});
    Step();
    EXPECT_EQ(system_.messageRequest, "<Hi>");
    EXPECT_EQ(interpreter_.block.sysVar0, 5);
}

TEST_F(MessageCommandsTest, AMessageCommandWaitsWhileAnotherWindowIsOpen) {
    system_.choiceRequest = "X\n";
    Start({Cmd(CommandCode::kMessage, {}, 0, {"Later"}), End()});
    event_.Run();
    EXPECT_TRUE(system_.messageRequest.empty());
    EXPECT_EQ(event_.line, 0);
    system_.choiceRequest.clear();
    event_.Run();
    EXPECT_EQ(system_.messageRequest, "Later");
}

TEST_F(MessageCommandsTest, MemoryThatRunsOutAnywhereInTheCommandsLeavesAWholeWindowOrNoneAndNoEventWaiting) {
    // Each allocation of a message, of choices and of a message with
    // choices is refused in turn (the command fails with the memory box),
    // until one runs through; whatever opened is then answered. The texts
    // are too long to sit inside their strings: every copy asks for memory.
    const std::string message = "A message of some length";
    const std::vector<std::string> items = {"The first of the items", "The second of the items"};
    const std::string request = items[0] + "\n" + items[1] + "\n";
    const EventCommand choices = Cmd(CommandCode::kChoices, {Packed(2, 1)}, 0, items);
    const std::vector<EventCommand> heads = {Cmd(CommandCode::kCaseHead, {2}), Taken(2, 1),
                                             Cmd(CommandCode::kBranchEnd), Taken(99, 0), End()};
    std::vector<EventCommand> both = {Cmd(CommandCode::kMessage, {}, 0, {message}), choices};
    both.insert(both.end(), heads.begin(), heads.end());
    std::vector<EventCommand> alone = {choices};
    alone.insert(alone.end(), heads.begin(), heads.end());
    struct Case {
        std::vector<EventCommand> commands;
        std::string message, choices;
    };
    const Case cases[] = {
        {{Cmd(CommandCode::kMessage, {}, 0, {message}), Taken(1, 0), End()}, message, ""},
        {alone, "", request},
        {both, message, request},
    };
    for (const Case& c : cases) {
        for (size_t refused = 0;; ++refused) {
            reporter_.boxes.clear();
            Start(c.commands);
            testing::FailAllocationAfter(refused);
            event_.Run();
            const bool failed = testing::EndAllocationFault();
            EXPECT_LE(reporter_.boxes.size(), 1u);
            EXPECT_TRUE(system_.messageRequest.empty() || system_.messageRequest == c.message) << refused;
            EXPECT_TRUE(system_.choiceRequest.empty() || system_.choiceRequest == c.choices) << refused;
            for (int frame = 0; frame < 100 && event_.HasCommandList(); ++frame)
                Step(Press(frame % 2 == 1));
            EXPECT_FALSE(event_.HasCommandList()) << c.message << c.choices << " refused " << refused;
            EXPECT_FALSE(message_->open);
            EXPECT_FALSE(choice_->open);
            Steps(2);
            if (!failed) break;
        }
    }
}

}  // namespace
}  // namespace velk
