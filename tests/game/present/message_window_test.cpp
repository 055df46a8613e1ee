// The message window frame by frame: the delay and where the text goes, the
// display speed, key waits, the answers that close it, the close request,
// the busy flag and the wait cursor.

#include "game/data/data_texts.h"
#include "game/data/input_state.h"
#include "game/data/text_format.h"
#include "game/event/event_texts.h"
#include "tests/game/present/window_fixture.h"

namespace velk {
namespace {

using testing::WindowTest;

class MessageWindowTest : public WindowTest {
protected:
    // Frames until the whole text is shown (at most 200).
    void UntilComplete() {
        for (int i = 0; i < 200 && !(message_->open && message_->box.IsDisplayComplete() && message_->delay < 1); ++i)
            Frame();
    }
};

TEST_F(MessageWindowTest, TheDelayHoldsTheTextAndItsPlaceIsTakenWhenTheDelayEnds) {
    interpreter_.block.sysVar10 = 30;
    system_.messageRequest = "Hello";
    Frame();
    EXPECT_TRUE(message_->open);
    EXPECT_EQ(system_.windowBusy, 1);
    // Moved during the delay: the window goes where the variables say when it ends.
    interpreter_.block.sysVar1 = 40;
    interpreter_.block.sysVar2 = 100;
    for (int i = 0; i < 29; ++i) {
        Frame();
        message_->Draw();
    }
    EXPECT_TRUE(library_.textDraws.empty());
    EXPECT_NE(message_->box.x, 40);
    Frame();
    EXPECT_EQ(message_->box.x, 40);
    EXPECT_EQ(message_->box.y, 100);
    Frame();
    message_->Draw();
    ASSERT_FALSE(library_.textDraws.empty());
    EXPECT_EQ(library_.textDraws[0].x, 40);
}

TEST_F(MessageWindowTest, ConfirmClosesOnlyOnceTheTextIsCompleteAndTheBusyFlagFallsOneUpdateLater) {
    interpreter_.block.sysVar9 = 30;  // one byte a frame
    system_.messageRequest = "abcdef";
    EventInterpreter waiting;
    waiting.waitWindow = 1;
    ActiveWindowWaiters().SetMessageWaiter(&waiting);
    Frame();
    Frame(Press(true));
    Frame(Press(false, true));
    EXPECT_TRUE(message_->open);
    EXPECT_EQ(system_.messageWindowSignal, 0);
    UntilComplete();
    Frame();
    EXPECT_EQ(system_.messageWindowSignal, 1);
    EXPECT_TRUE(message_->cursorShown);
    EXPECT_EQ(waiting.waitWindow, 1);

    Frame(Press(true));
    EXPECT_FALSE(message_->open);
    EXPECT_EQ(waiting.waitWindow, 0);
    EXPECT_TRUE(system_.messageRequest.empty());
    EXPECT_EQ(system_.windowBusy, 1);
    Frame();
    EXPECT_EQ(system_.windowBusy, 0);
    EXPECT_EQ(system_.messageWindowOpen, 0);
}

TEST_F(MessageWindowTest, TheLeftButtonAnswersOnlyWithMouseOperationOn) {
    MenuInput click;
    click.leftClick = true;
    for (int32_t mouse : {0, 1}) {
        interpreter_.block.sysVar73 = mouse;
        system_.messageRequest = "x";
        UntilComplete();
        Frame(click);
        EXPECT_EQ(message_->open, mouse == 0) << mouse;
        message_->Reset();
        Frame();
    }
}

TEST_F(MessageWindowTest, SpeedZeroNeverCompletesAndANegativeSpeedShowsNothingRatherThanWrapping) {
    for (int32_t speed : {0, -1000000000}) {
        interpreter_.block.sysVar9 = speed;
        system_.messageRequest = "abc";
        Frames(200);
        EXPECT_EQ(system_.messageWindowSignal, 0) << speed;
        EXPECT_EQ(message_->box.progress, 0.0) << speed;
        message_->Reset();
        Frame();
    }
    interpreter_.block.sysVar9 = 1000000000;
    system_.messageRequest = "abc";
    Frames(3);
    EXPECT_EQ(message_->box.progress, kMaxDisplayProgress);
    EXPECT_EQ(system_.messageWindowSignal, 1);
}

TEST_F(MessageWindowTest, AKeyWaitInsideTheTextHoldsItUntilAnAnswer) {
    interpreter_.block.sysVar9 = 1000000;
    system_.messageRequest = ConvertEscapeCodes(store_, "ab\\!cd", EscapeCodeOptions{});
    Frames(3);
    for (int i = 0; i < 3; ++i)
        message_->Draw();
    Frame();
    EXPECT_TRUE(message_->box.waitingForKey);
    EXPECT_TRUE(message_->cursorShown);
    EXPECT_EQ(system_.messageWindowSignal, 0);
    Frame(Press(true));
    EXPECT_FALSE(message_->box.waitingForKey);
    EXPECT_TRUE(message_->open);
    message_->Draw();
    Frame();
    EXPECT_EQ(system_.messageWindowSignal, 1);
}

TEST_F(MessageWindowTest, ACloseRequestEndsAMessageWithoutChoicesOnly) {
    system_.messageRequest = "text";
    Frame();
    system_.closeMessageRequest = 1;
    system_.choicesWithMessage = 1;
    Frame();
    EXPECT_TRUE(message_->open);
    system_.choicesWithMessage = 0;
    Frame();
    EXPECT_FALSE(message_->open);
    EXPECT_EQ(system_.closeMessageRequest, 0);
}

TEST_F(MessageWindowTest, TheCloseCodeEndsTheMessageOnceItIsShown) {
    interpreter_.block.sysVar9 = 1000000;
    system_.messageRequest = ConvertEscapeCodes(store_, "bye\\^", EscapeCodeOptions{});
    Frames(2);
    EXPECT_TRUE(message_->open);
    message_->Draw();
    Frame();
    EXPECT_FALSE(message_->open);
}

TEST_F(MessageWindowTest, TheWaitCursorShowsEachOfItsFourFramesForFiveUpdates) {
    interpreter_.block.sysVar5 = 100;
    system_.messageRequest = "x";
    UntilComplete();
    std::vector<int> sources;
    for (int i = 0; i < 21; ++i) {
        Frame();
        library_.graphDraws.clear();
        message_->Draw();
        ASSERT_FALSE(library_.graphDraws.empty());
        sources.push_back(library_.graphDraws[0].sourceY);
    }
    // Frames of 16 pixels, each kept for five updates, the cycle 20 updates long.
    EXPECT_EQ(sources[0] / 16, (sources[5] / 16 + 3) % 4);
    for (int i = 0; i + 20 < 21; ++i)
        EXPECT_EQ(sources[static_cast<size_t>(i)], sources[static_cast<size_t>(i) + 20]);
    const testing::GraphDraw& draw = library_.graphDraws[0];
    EXPECT_EQ(draw.x1, 100 - 8);
    EXPECT_EQ(draw.y1, static_cast<int>(32 * 14.2));
    EXPECT_EQ(draw.x2 - draw.x1, 16);
    EXPECT_EQ(draw.y2 - draw.y1, 16);
}

TEST_F(MessageWindowTest, AtScaleTwoTheCursorFrameIsDrawnDoubledAndItsGraphDeletedAgain) {
    settings_.chipSize = 16;
    settings_.displayScale = 2;
    interpreter_.block.sysVar5 = 50;
    interpreter_.block.sysVar2 = 100;
    interpreter_.block.sysVar6 = 10;
    system_.messageRequest = "x";
    UntilComplete();
    Frame();
    const size_t live = library_.live.size();
    message_->Draw();
    EXPECT_EQ(library_.live.size(), live);
    ASSERT_FALSE(library_.graphDraws.empty());
    const testing::GraphDraw& draw = library_.graphDraws[0];
    // y = min(chip x 14.5, 100 + 10) = 110; the frame is 16 high.
    EXPECT_EQ(draw.x1, 2 * (50 - 8));
    EXPECT_EQ(draw.x2, 2 * (50 + 8));
    EXPECT_EQ(draw.y1, 220);
    EXPECT_EQ(draw.y2, 220 + 32);
}

TEST_F(MessageWindowTest, ReloadingTheGraphicsOpensAPendingMessageAgainFromItsStart) {
    interpreter_.block.sysVar9 = 30;
    system_.messageRequest = "abcdef";
    Frames(4);
    message_->LoadGraphics();
    EXPECT_FALSE(message_->open);
    Frame();
    EXPECT_TRUE(message_->open);
    EXPECT_LT(message_->box.progress, 2.0);
}

TEST_F(MessageWindowTest, AMissingCursorImageIsReportedAndTheWindowStillWorks) {
    library_.files.erase("Data\\cursor.png");
    Build();
    EXPECT_FALSE(message_->cursorLoaded);
    EXPECT_EQ(reporter_.messages.size(), 1u);
    system_.messageRequest = "x";
    for (int i = 0; i < 5; ++i) {
        Frame();
        message_->Draw();
    }
    EXPECT_TRUE(library_.graphDraws.empty());
    Frame(Press(true));
    EXPECT_FALSE(message_->open);
}

}  // namespace
}  // namespace velk

namespace velk {
namespace {

TEST(MenuInputTest, AFrameOfTheDevicesGivesPressesNotHolds) {
    KeyConfig config;
    InputContext context;
    context.keyConfig = &config;
    InputState input;
    InputDeviceFrame devices;
    devices.keys[game_key::kEnter] = 1;
    devices.padWithKeyboard = kPadBitRight;
    devices.mouseButtons = 2;
    input.Update(devices, context);
    MenuInput menu = ReadMenuInput(input);
    EXPECT_TRUE(menu.confirm);
    EXPECT_FALSE(menu.cancel);
    EXPECT_EQ(menu.direction, 6);
    EXPECT_FALSE(menu.firstSpecial);
    EXPECT_TRUE(menu.secondSpecial);
    EXPECT_FALSE(menu.leftClick);
    EXPECT_TRUE(menu.rightClick);
    // Still held in the next frame: nothing new until the key repeats.
    input.Update(devices, context);
    menu = ReadMenuInput(input);
    EXPECT_FALSE(menu.confirm);
    EXPECT_EQ(menu.direction, 0);
    EXPECT_FALSE(menu.secondSpecial);
    EXPECT_FALSE(menu.rightClick);
}

TEST_F(MessageWindowTest, AMessageTheMemoryCannotLayOutClosesWithTheMemoryBoxAndTheEventGoesOn) {
    interpreter_.block.sysVar9 = 1000000;
    // Out of memory while the window lays the text out as it opens, or
    // while it draws it.
    for (const bool drawing : {false, true}) {
        reporter_.boxes.clear();
        EventInterpreter waiting;
        waiting.eventId = 4;
        waiting.commonId = 7;
        // The line after the message command.
        waiting.line = 9;
        waiting.waitWindow = 1;
        ActiveWindowWaiters().SetMessageWaiter(&waiting);
        system_.messageRequest = std::string(100, 'a');
        library_.widthsLeftBeforeNoMemory = drawing ? -1 : 0;
        Frame();
        if (drawing) {
            // Drawn once some of the text is shown.
            Frame();
            ASSERT_TRUE(message_->open);
            library_.widthsLeftBeforeNoMemory = 0;
            message_->Draw();
        }
        ASSERT_EQ(reporter_.boxes.size(), 1u) << drawing;
        EXPECT_EQ(reporter_.boxes[0].line1, texts::kCommandOutOfMemory);
        EXPECT_EQ(reporter_.boxes[0].line2, FormatText(texts::kErrorLocation, 4, 7, 8));
        EXPECT_EQ(reporter_.boxes[0].line3, "");
        EXPECT_FALSE(message_->open) << drawing;
        EXPECT_EQ(waiting.waitWindow, 0) << drawing;
        EXPECT_TRUE(system_.messageRequest.empty());
        EXPECT_LT(message_->box.workingText.capacity(), 100u) << "the text's memory is given back";
        EXPECT_EQ(system_.windowBusy, 1);
        Frame();
        EXPECT_EQ(system_.windowBusy, 0) << "the busy flag falls as after any close";
        // Nothing is left to draw, and the next message shows.
        library_.textDraws.clear();
        message_->Draw();
        EXPECT_TRUE(library_.textDraws.empty());
        system_.messageRequest = "ok";
        Frames(2);
        message_->Draw();
        EXPECT_EQ(DrawnText(), "ok");
        Frame(Press(true));
        Frame();
        EXPECT_FALSE(message_->open);
    }
}

TEST_F(MessageWindowTest, ChoicesShownWithAMessageTheMemoryCannotLayOutRunAloneAndStillHoldTheEvent) {
    system_.choicesWithMessage = 1;
    RequestChoice({"A", "B"});
    WaitForChoice();
    ActiveWindowWaiters().SetMessageWaiter(&waiter_);
    system_.messageRequest = "question";
    library_.widthsLeftBeforeNoMemory = 0;
    Frame();
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_FALSE(message_->open);
    EXPECT_EQ(system_.choicesWithMessage, 0);
    EXPECT_EQ(waiter_.waitWindow, 1) << "the choices still hold the event";
    UntilChoiceReady();
    ASSERT_TRUE(choice_->open);
    Frame(Direction(2));
    Frame(Press(true));
    EXPECT_EQ(waiter_.branchResult[0], 3);
    EXPECT_EQ(waiter_.waitWindow, 0);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
}

}  // namespace
}  // namespace velk
