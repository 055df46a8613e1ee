// The choice window frame by frame: the cursor over empty items, the
// initial cursor, every way a choice ends and the value it hands over, the
// mouse, the fade of the frame and where frame and cursor are drawn.

#include "game/data/data_texts.h"
#include "game/data/text_format.h"
#include "game/event/event_texts.h"
#include "tests/game/present/window_fixture.h"

namespace velk {
namespace {

using testing::WindowTest;

class ChoiceWindowTest : public WindowTest {
protected:
    ChoiceWindowTest() {
        interpreter_.block.sysVar17 = 11;
        interpreter_.block.sysVar18 = 12;
        interpreter_.block.sysVar73 = 1;
    }

    // Opens `items` and runs until the window takes input.
    void Open(const std::vector<std::string>& items, int32_t cancelValue = -1, int32_t options = 0) {
        RequestChoice(items, cancelValue, options);
        WaitForChoice();
        UntilChoiceReady();
        ASSERT_TRUE(choice_->open);
        sounds_.clear();
    }

    static MenuInput Mouse(int32_t x, int32_t y, bool left = false, bool right = false) {
        MenuInput input;
        input.mouseX = x;
        input.mouseY = y;
        input.leftClick = left;
        input.rightClick = right;
        return input;
    }
};

TEST_F(ChoiceWindowTest, TheCursorSkipsEmptyItemsAndWrapsBothWays) {
    Open({"A", "", "C"});
    EXPECT_FALSE(choice_->Selectable(1));
    struct Step {
        int32_t direction, cursor;
    };
    for (const Step& step : {Step{2, 2}, Step{2, 0}, Step{8, 2}, Step{8, 0}}) {
        Frame(Direction(step.direction));
        EXPECT_EQ(choice_->cursor, step.cursor) << step.direction;
        EXPECT_EQ(system_.choiceItemValue, step.cursor);
    }
    // The cursor sound plays on every move.
    EXPECT_EQ(sounds_, (std::vector<int32_t>{12, 12, 12, 12}));
}

TEST_F(ChoiceWindowTest, TheInitialCursorIsClampedTakenOnToASelectableItemAndUsedUp) {
    struct Case {
        int32_t initial, cursor;
    };
    for (const Case& c : {Case{9, 2}, Case{-5, 0}, Case{1, 2}}) {
        interpreter_.block.sysVar7 = c.initial;
        Open({"A", "", "C"});
        EXPECT_EQ(choice_->cursor, c.cursor) << c.initial;
        EXPECT_EQ(interpreter_.block.sysVar7, 0);
        choice_->Reset();
        Frames(2);
    }
}

TEST_F(ChoiceWindowTest, EachAnswerDeliversItsCaseValueOnceWithItsSound) {
    MenuInput first, second;
    first.firstSpecial = true;
    second.secondSpecial = true;
    struct Case {
        const char* name;
        MenuInput input;
        int32_t cancelValue, options;
        int32_t delivered;  // -12345: the window stays open
        std::vector<int32_t> sounds;
    };
    const Case cases[] = {
        {"confirm", Press(true), -1, 0, 2, {11}},
        {"cancel refused", Press(false, true), -1, 0, -12345, {}},
        {"cancel", Press(false, true), 2, 0, 4, {0}},
        {"cancel nibble 0", Press(false, true), -2, 0, 0, {0}},
        {"first special", first, -1, 1, 100, {0}},
        {"first special off", first, -1, 2, -12345, {}},
        {"second special", second, -1, 2, 101, {0}},
        // Both act: the event has the confirmed item, both sounds play.
        {"confirm and cancel together", Press(true, true), 2, 0, 2, {11, 0}},
        {"right button", Mouse(0, 0, false, true), 3, 0, 5, {0}},
        {"right button refused", Mouse(0, 0, false, true), -1, 0, -12345, {}},
    };
    for (const Case& c : cases) {
        Open({"A", "B"}, c.cancelValue, c.options);
        Frame(c.input);
        EXPECT_EQ(waiter_.branchResult[0], c.delivered) << c.name;
        EXPECT_EQ(choice_->open, c.delivered == -12345) << c.name;
        EXPECT_EQ(waiter_.waitWindow, c.delivered == -12345 ? 1 : 0) << c.name;
        EXPECT_EQ(sounds_, c.sounds) << c.name;
        if (choice_->open) choice_->Reset();
        Frames(2);
    }
}

TEST_F(ChoiceWindowTest, AForcedCloseEndsWithItsOwnValueOrTheItemUnderTheCursor) {
    struct Case {
        int32_t options, delivered;
    };
    for (const Case& c : {Case{4, 102}, Case{0, 3}}) {
        Open({"A", "B"}, -1, c.options);
        Frame(Direction(2));
        system_.closeChoicesRequest = 1;
        Frame();
        EXPECT_EQ(waiter_.branchResult[0], c.delivered) << c.options;
        EXPECT_FALSE(choice_->open);
        EXPECT_EQ(system_.closeChoicesRequest, 0);
        Frames(2);
    }
}

TEST_F(ChoiceWindowTest, AChoiceWithoutItemsEndsAsACancelWould) {
    RequestChoice({"A"}, 2);
    system_.choiceCount = 0;
    WaitForChoice();
    Frames(10);
    EXPECT_FALSE(choice_->open);
    EXPECT_EQ(waiter_.branchResult[0], 4);
}

TEST_F(ChoiceWindowTest, TheMouseTakesTheItemUnderItAndATrailingEmptyItemIsNeverHit) {
    Open({"A", "B", ""});
    ASSERT_EQ(choice_->box.lineTops.size(), 2u);
    EXPECT_FALSE(choice_->Selectable(2));
    // The window: x 301, y 133, 38 x 74; items 24 high from y 146 on.
    struct Hover {
        int32_t x, y, cursor;
    };
    for (const Hover& h : {Hover{320, 150, 0}, Hover{320, 180, 1}, Hover{320, 200, 1}, Hover{320, 146, 1},
                           Hover{310, 150, 1}, Hover{340, 150, 0}, Hover{341, 180, 0}}) {
        Frame(Mouse(h.x, h.y));
        EXPECT_EQ(choice_->cursor, h.cursor) << h.x << "," << h.y;
    }
    EXPECT_TRUE(sounds_.empty());
    Frame(Mouse(320, 180, true));
    EXPECT_EQ(waiter_.branchResult[0], 3);
    EXPECT_EQ(sounds_, (std::vector<int32_t>{11}));
}

TEST_F(ChoiceWindowTest, TheMouseIsIgnoredWithMouseOperationOff) {
    interpreter_.block.sysVar73 = 0;
    Open({"A", "B"});
    Frame(Mouse(320, 180, true));
    EXPECT_TRUE(choice_->open);
    EXPECT_EQ(choice_->cursor, 0);
}

TEST_F(ChoiceWindowTest, AChoiceWithAMessageWaitsForItsTextAndFollowsTheCursorMeanwhile) {
    system_.choicesWithMessage = 1;
    RequestChoice({"A", "B"});
    WaitForChoice();
    Frames(5);
    EXPECT_FALSE(choice_->open);
    EXPECT_EQ(system_.choiceItemValue, -1);
    system_.messageWindowSignal = 1;
    choice_->Update({});
    EXPECT_TRUE(choice_->open);
    for (int i = 0; i < 10; ++i)
        choice_->Update({});
    choice_->Update(Direction(2));
    EXPECT_EQ(system_.choiceItemValue, 1);
    choice_->Update(Press(true));
    EXPECT_EQ(waiter_.branchResult[0], 3);
    EXPECT_EQ(system_.choiceEnded, 1);
}

TEST_F(ChoiceWindowTest, TheFrameFadesInBy64AndTheCursorWaitsForFullOpacity) {
    RequestChoice({"A", "B"});
    Frame();
    std::vector<int32_t> alphas;
    std::vector<bool> cursorDrawn;
    for (int i = 0; i < 10; ++i) {
        Frame();
        library_.graphDraws.clear();
        choice_->Draw();
        alphas.push_back(choice_->alpha);
        // Nine frame cells, then nine cursor cells when the cursor shows.
        cursorDrawn.push_back(library_.graphDraws.size() == 18);
    }
    EXPECT_EQ(alphas, (std::vector<int32_t>{0, 0, 0, 0, 64, 128, 192, 255, 255, 255}));
    for (size_t i = 0; i < alphas.size(); ++i)
        EXPECT_EQ(cursorDrawn[i], alphas[i] == 255) << i;

    choice_->Reset();
    Frame();
    EXPECT_EQ(choice_->alpha, 255 - 60);
    EXPECT_EQ(system_.windowBusy, 0);
}

TEST_F(ChoiceWindowTest, FrameAndCursorCellsAreLaidOutOverTheBox) {
    interpreter_.block.sysVar22 = 1;
    Open({"A", "B"});
    Frames(4);
    library_.graphDraws.clear();
    choice_->Draw();
    ASSERT_EQ(library_.graphDraws.size(), 18u);
    // The frame box (301, 133)-(342, 209) with 16 x 16 cells: corner 1, corner 3, edge 2 ...
    const testing::GraphDraw& corner1 = library_.graphDraws[0];
    EXPECT_EQ(std::vector<int>({corner1.x1, corner1.y1, corner1.x2, corner1.y2}),
              std::vector<int>({301, 133, 317, 149}));
    const testing::GraphDraw& corner3 = library_.graphDraws[1];
    EXPECT_EQ(std::vector<int>({corner3.x1, corner3.y1, corner3.x2, corner3.y2}),
              std::vector<int>({326, 133, 342, 149}));
    const testing::GraphDraw& centre = library_.graphDraws[5];
    EXPECT_EQ(std::vector<int>({centre.x1, centre.y1, centre.x2, centre.y2}), std::vector<int>({317, 149, 326, 193}));
    EXPECT_EQ(corner1.blend, 0);
    // The cursor over item 0, from (301 + 6 + 12 - 8, 133 + 12) to (301 + 38 - 12 + 3, 133 + 24 + 12 + 3),
    // 8 x 8 cells, blended by variable 22 + 1 with the pulse.
    const testing::GraphDraw& cursor1 = library_.graphDraws[9];
    EXPECT_EQ(std::vector<int>({cursor1.x1, cursor1.y1, cursor1.x2, cursor1.y2}),
              std::vector<int>({311, 145, 319, 153}));
    const testing::GraphDraw& cursor9 = library_.graphDraws[16];
    EXPECT_EQ(std::vector<int>({cursor9.x1, cursor9.y1, cursor9.x2, cursor9.y2}),
              std::vector<int>({322, 164, 330, 172}));
    EXPECT_EQ(cursor1.blend, 2);
    EXPECT_EQ(cursor1.blendParameter, choice_->cursorBrightness);
    EXPECT_EQ(choice_->box.x, 301 + 2 + 12);
    EXPECT_EQ(choice_->box.y, 133 + 2 + 12);
}

TEST_F(ChoiceWindowTest, AnAnimatedCursorIsStretchedOverTheItemFrameByFrame) {
    databases_.system.types[kWindowGraphicsType].rows[2].numbers = {3};
    library_.files["Data\\choice.png"] = testing::ImageBytes(30, 30);
    Build();
    Open({"A", "B"});
    Frames(4);
    library_.graphDraws.clear();
    choice_->Draw();
    ASSERT_EQ(library_.graphDraws.size(), 10u);
    const testing::GraphDraw& cursor = library_.graphDraws[9];
    EXPECT_EQ(std::vector<int>({cursor.x1, cursor.y1, cursor.x2, cursor.y2}),
              std::vector<int>({301 + 12 - 3, 133 + 12 + 1 - 2, 301 + 38 - 12 + 14, 133 + 24 + 12 + 2}));
    EXPECT_EQ(cursor.graph, choice_->cursorCells[static_cast<size_t>(1 + choice_->cursorCounter / 5)]);
}

TEST_F(ChoiceWindowTest, FrameSwitchedOffShowsNoFrameButTheCursorAtOnce) {
    interpreter_.block.sysVar14 = 0;
    Open({"A", "B"});
    library_.graphDraws.clear();
    choice_->Draw();
    EXPECT_EQ(choice_->alpha, 0);
    EXPECT_EQ(library_.graphDraws.size(), 9u);
}

TEST_F(ChoiceWindowTest, AChoiceTheMemoryCannotLayOutEndsAsACancelWithTheMemoryBox) {
    // Out of memory as the window opens or as it draws; alone or shown with
    // a message, which then closes with it.
    for (const bool drawing : {false, true}) {
        for (const bool paired : {false, true}) {
            reporter_.boxes.clear();
            system_.choicesWithMessage = paired ? 1 : 0;
            system_.messageWindowSignal = system_.choicesWithMessage;
            system_.choiceEnded = 0;
            RequestChoice({"A", "B"}, 2);
            WaitForChoice();
            waiter_.eventId = 6;
            waiter_.commonId = -1;
            waiter_.line = 12;
            if (drawing) {
                // Updated alone: the message window would take back the
                // completion the choice waits for.
                for (int i = 0; i < 100 && !(choice_->open && choice_->delay < 1 && choice_->box.IsDisplayComplete());
                     ++i)
                    choice_->Update({});
                ASSERT_TRUE(choice_->open);
                library_.widthsLeftBeforeNoMemory = 0;
                choice_->Draw();
            } else {
                library_.widthsLeftBeforeNoMemory = 0;
                choice_->Update({});
            }
            ASSERT_EQ(reporter_.boxes.size(), 1u) << drawing << paired;
            EXPECT_EQ(reporter_.boxes[0].line1, texts::kCommandOutOfMemory);
            EXPECT_EQ(reporter_.boxes[0].line2, FormatText(texts::kErrorLocation, 6, -1, 11));
            EXPECT_FALSE(choice_->open);
            EXPECT_FALSE(choice_->active);
            EXPECT_EQ(waiter_.branchResult[0], 4) << "the cancel value";
            EXPECT_EQ(waiter_.waitWindow, 0);
            EXPECT_EQ(system_.choiceItemValue, 2);
            EXPECT_TRUE(system_.choiceRequest.empty());
            EXPECT_EQ(system_.windowBusy, 0);
            EXPECT_EQ(system_.choiceEnded, paired ? 1 : 0);
            EXPECT_TRUE(choice_->box.workingText.empty());
            EXPECT_TRUE(sounds_.empty());
            library_.textDraws.clear();
            choice_->Draw();
            EXPECT_TRUE(library_.textDraws.empty());
            Frames(2);
        }
    }
}

}  // namespace
}  // namespace velk
