// Layout: font sizes, measured lines, gaps, progress and pauses. The fake
// fonts make a single-byte character half its size wide.

#include <random>
#include <sstream>

#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "platform/base/clock.h"
#include "tests/game/present/text_fixture.h"

namespace velk {
namespace {

using testing::TextTest;

TEST_F(TextTest, RequestedSizesSnapByChipAndRenderingMode) {
    const struct {
        int32_t chip, mode, requested, used;
    } cases[] = {
        {32, 2, 200, 129}, {16, 2, 200, 80}, {32, 2, 0, 7},   {16, 2, 0, 2}, {32, 2, 8, 8},   {32, 1, 8, 7},
        {32, 1, 11, 9},    {32, 1, 26, 25},  {32, 1, 27, 27}, {16, 1, 5, 6}, {16, 1, 13, 12}, {16, 2, 13, 13},
    };
    for (const auto& c : cases) {
        settings_.chipSize = c.chip;
        settings_.renderingMode = c.mode;
        EXPECT_EQ(renderer_.SnapFontSize(c.requested), c.used) << c.chip << " " << c.mode << " " << c.requested;
    }
}

TEST_F(TextTest, MeasuringGivesLineWidthsTopsHeightsAndGaps) {
    settings_.lineSpacing = 6;
    // Long texts, whose characters are measured once per font: a letter and
    // a double-byte one that ends in its byte; a letter in 36 sizes, which
    // start the font cache over (and its handles with it) on the way; 31
    // sizes, after which the fonts of a ruby start it over (first, while
    // the cache holds only the fonts it makes).
    std::string sizes, fewerSizes;
    int32_t sizesWidth = 0, fewerSizesWidth = 0;
    for (int size = 10; size <= 45; ++size) {
        const std::string letter = "\\f[" + std::to_string(size) + "]a";
        sizes += letter;
        sizesWidth += size / 2;
        if (size <= 40) fewerSizes += letter, fewerSizesWidth += size / 2;
    }
    const std::string letters(3000, 'a');
    std::string wideLetters;
    for (int i = 0; i < 3000; ++i)
        wideLetters += "\x82\x61";
    const struct {
        std::string text;
        int32_t width, height;
        std::vector<int32_t> widths, tops, heights;
    } cases[] = {
        {letters + fewerSizes + "\\r[ab,c]",
         36000 + fewerSizesWidth + 40,
         40,
         {36000 + fewerSizesWidth + 40},
         {0},
         {40}},
        {"ab\ncd", 24, 54, {24, 24}, {0, 30}, {24, 24}},
        {"ab\n\\f[40]c", 24, 70, {24, 20}, {0, 30}, {24, 40}},
        {"\\m[50]a", 12, 50, {12}, {0}, {50}},
        {"\\space[20]a\nb", 12, 68, {12, 12}, {0, 44}, {24, 24}},
        {"\\-[2]abc", 30, 24, {30}, {0}, {24}},
        {"ab\\-[-5]", 24, 24, {24}, {0}, {24}},
        {letters + wideLetters, 108000, 24, {108000}, {0}, {24}},
        {letters + "\n" + sizes + "\n" + letters, 66000, 126, {36000, sizesWidth, 66000}, {0, 30, 81}, {24, 45, 45}},
    };
    for (const auto& c : cases) {
        TextBox box = Box(c.text);
        int32_t width = 0, height = 0;
        box.Measure(renderer_, width, height);
        EXPECT_EQ(width, c.width) << c.text;
        EXPECT_EQ(height, c.height) << c.text;
        EXPECT_EQ(box.lineWidths, c.widths) << c.text;
        EXPECT_EQ(box.lineTops, c.tops) << c.text;
        EXPECT_EQ(box.lineHeights, c.heights) << c.text;
    }
}

TEST_F(TextTest, ALongLayoutEndsOnceItsFrameHasSeenAClose) {
    struct Window : EventSystemLink {
        bool closed = false;
        bool WindowCloseRequested() override { return closed; }
    } window;
    EventSystemLink* const system = ActiveEventLinks().system;
    ActiveEventLinks().system = &window;
    platform::ManualClock clock;
    const platform::ScopedClock installed(clock);
    const std::string text(100000, 'a');
    int32_t width = 0, height = 0;
    for (const bool closed : {false, true}) {
        window.closed = closed;
        const EventFrame frame;
        clock.AdvanceMilliseconds(EventFrame::kCloseLookMilliseconds);
        TextBox box = Box(text);
        box.Measure(renderer_, width, height);
        if (closed) {
            EXPECT_GT(width, 0);
            EXPECT_LT(width, 100000 * 12);
        } else {
            EXPECT_EQ(width, 100000 * 12);
        }
    }
    ActiveEventLinks().system = system;
}

TEST_F(TextTest, SixteenPixelChipsDoubleThePenAndTheLetterSpacingNarrowsIt) {
    settings_.chipSize = 16;
    settings_.displayScale = 2;
    settings_.defaultTextSize = 12;
    settings_.letterSpacing = 2;
    TextBox box = Box("ab");
    int32_t width = 0, height = 0;
    box.Measure(renderer_, width, height);
    // Fonts of 24 pixels make 12-pixel letters, less 1 x 2 x 2 / 2 each.
    EXPECT_EQ(box.penX, 2 * (12 - 2));
    EXPECT_EQ(width, 10);
    EXPECT_EQ(box.lineRawWidths[0], 20);
}

TEST_F(TextTest, AnEmptyTextLeavesTheBoxUntouched) {
    TextBox box;
    int32_t width = 1, height = 1;
    box.Measure(renderer_, width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    box.progress = 5;
    box.Draw(renderer_, true);
    EXPECT_EQ(box.progress, 5);
    EXPECT_TRUE(library_.textDraws.empty());
}

TEST_F(TextTest, ANewTextResetsTheProgressAndWidthsNeverShrinkWithinAPass) {
    TextBox box = Box("abc");
    box.progress = 3;
    box.laidOutText = box.shownText;
    box.Draw(renderer_, true);
    EXPECT_EQ(box.progress, 3);
    box.shownText = "xyz";
    box.Draw(renderer_, true);
    EXPECT_EQ(box.progress, 0);
    box.instant = true;
    box.shownText = "other";
    box.Draw(renderer_, true);
    EXPECT_EQ(box.progress, kWholeTextProgress);
    // A line pulled back by negative spacing keeps its widest point.
    TextBox back = Box("abc\\-[30]d");
    int32_t width = 0, height = 0;
    back.Measure(renderer_, width, height);
    EXPECT_EQ(back.lineWidths[0], 36);
}

TEST_F(TextTest, ProgressCountsShownBytesAndNotTextCodes) {
    TextBox box = Box("ab\\c[1]cd");
    box.Draw(renderer_, false);
    box.progress = 3;
    box.Draw(renderer_, true);
    EXPECT_EQ(DrawnText(), "abc");
    EXPECT_EQ(library_.textDraws[2].color, testing::RowColor(1));
    EXPECT_EQ(library_.textDraws[0].color, testing::RowColor(0));
}

TEST_F(TextTest, InstantDisplayShowsEverythingUpToItsEnd) {
    // The first code needs one byte of progress to be reached at all.
    TextBox box = Ready("\\>abc\\<de", 1);
    box.Draw(renderer_, true);
    EXPECT_EQ(DrawnText().substr(0, 3), "abc");
    EXPECT_EQ(DrawnText().find('e'), std::string::npos);
}

TEST_F(TextTest, PausesStopTheWalkBeforeTheNextCharacter) {
    TextBox key = Ready("ab\\!cd", 100);
    key.Draw(renderer_, true);
    EXPECT_EQ(DrawnText(), "ab");
    EXPECT_TRUE(key.waitingForKey);
    key.waitingForKey = false;
    library_.textDraws.clear();
    key.Draw(renderer_, true);
    EXPECT_EQ(DrawnText(), "abcd");

    library_.textDraws.clear();
    TextBox timed = Ready("ab\\.cd", 100);
    timed.Draw(renderer_, true);
    EXPECT_EQ(DrawnText(), "ab");
    EXPECT_EQ(timed.timedPauseFrames, 16);
    timed.timedPauseFrames = 0;
    library_.textDraws.clear();
    timed.Draw(renderer_, true);
    EXPECT_EQ(DrawnText(), "abcd");

    // Measuring raises no pause and no close request; the choice box waits for no key.
    TextBox close = Box("a\\^\\!b");
    close.Draw(renderer_, false);
    EXPECT_FALSE(close.closeRequest);
    EXPECT_FALSE(close.waitingForKey);
    close.progress = 100;
    close.choiceLayout = true;
    close.Draw(renderer_, true);
    EXPECT_TRUE(close.closeRequest);
    EXPECT_FALSE(close.waitingForKey);
}

TEST_F(TextTest, TheSpeedCodeSetsTheSpeedAndAFirstProgress) {
    settings_.frameStep = 4;
    settings_.defaultTextSpeed = 90;
    TextBox box = Ready("\\sp[15]abc", 1);
    box.Draw(renderer_, true);
    EXPECT_EQ(box.speed, 15);
    EXPECT_EQ(box.progress, 2.0);
    TextBox fallback = Ready("\\sp[0]a", 1);
    fallback.Draw(renderer_, true);
    EXPECT_EQ(fallback.speed, 90);
}

TEST_F(TextTest, LineGapsFollowTheMeasuredHeightsOnly) {
    settings_.lineSpacing = 6;
    TextBox box = Ready("a\nb", 100);
    box.Draw(renderer_, true);
    ASSERT_EQ(library_.textDraws.size(), 2u);
    EXPECT_EQ(library_.textDraws[1].y, 24);
    library_.textDraws.clear();
    box.Draw(renderer_, false);
    box.Draw(renderer_, true);
    EXPECT_EQ(library_.textDraws[1].y, 30);
}

TEST_F(TextTest, ChoiceLayoutKeepsItsHeightsAtTheChoiceCount) {
    settings_.choiceCount = 3;
    settings_.choiceLineSpacing = 8;
    TextBox box = Box("a\nb\\f[30]c\n");
    box.choiceLayout = true;
    int32_t width = 0, height = 0;
    box.Measure(renderer_, width, height);
    EXPECT_EQ(box.lineHeights, (std::vector<int32_t>{24, 30, 0}));
    EXPECT_EQ(box.lineTops, (std::vector<int32_t>{0, 32}));
    EXPECT_EQ(height, 62);
}

// Everything a walk leaves in a box that a window or a later walk reads.
std::string StateOf(const TextBox& box) {
    std::ostringstream out;
    out << box.workingText.size() << " " << box.progress << " " << box.previousProgress << " " << box.speed << " "
        << box.waitingForKey << box.closeRequest << " " << box.timedPauseEnd << " " << box.timedPauseFrames << " "
        << box.keyPauseEnd << " " << box.controlBytes << " " << box.maxWidth << " " << box.maxRawWidth << " "
        << box.charIndex << " " << box.penX << " " << box.penY << " " << box.lineIndex << " " << box.colorNumber << " "
        << box.fontSize << " " << box.edgeFlag << " " << box.fontSlot << " " << box.IsDisplayComplete() << " |";
    for (const auto* lines : {&box.lineWidths, &box.lineTops, &box.lineHeights, &box.lineRawWidths}) {
        for (int32_t value : *lines)
            out << " " << value;
        out << " |";
    }
    return out.str();
}

TEST_F(TextTest, AHeldTextIsLaidOutAndDrawnFrameForFrameAsAShownOne) {
    // The windows hold their texts and skip the look for a changed one: the
    // reference shows each text as any owner does, and each frame both are
    // advanced, answered and drawn as a window does.
    const char* const pieces[] = {
        "a",       "Wm",        "\x82\xA0", "\n",        "\n\n",          "\\c[2]", "\\c[40]",   "\\f[10]", "\\f[40]",
        "\\E",     "\\N",       "\\sp[5]",  "\\sp[200]", "\\.",           "\\!",    "\\^",       "\\>",     "\\<",
        "\\-[30]", "\\font[2]", "<C>",      "<R>",       "\\r[ab,cdefg]", "\\i[1]", "\\space[4]"};
    std::mt19937 random(20251208);
    settings_.choiceCount = 3;
    for (int round = 0; round < 60; ++round) {
        TextBox shown, held;
        shown.choiceLayout = held.choiceLayout = round % 3 == 0;
        for (int text = 0; text < 3; ++text) {
            std::string escaped;
            for (int n = static_cast<int>(random() % 30); n > 0; --n)
                escaped += pieces[random() % std::size(pieces)];
            std::string converted = ConvertEscapeCodes(store_, escaped, EscapeCodeOptions{});
            // A window opens on a request that is never empty, and lays it
            // out afresh even when it is the text it showed last.
            if (converted.empty()) converted = " ";
            shown.laidOutText.clear();
            shown.shownText = converted;
            held.Hold(converted);
            shown.speed = held.speed = static_cast<double>(random() % 90);
            shown.Draw(renderer_, false);
            held.DrawHeld(renderer_, false);
            ASSERT_EQ(StateOf(held), StateOf(shown)) << escaped;
            for (int frame = 0; frame < 25; ++frame) {
                for (TextBox* box : {&shown, &held}) {
                    box->AdvanceDisplay(1);
                    if (frame % 4 == 3) box->waitingForKey = false;
                }
                library_.textDraws.clear();
                shown.Draw(renderer_, true);
                const std::vector<testing::TextDraw> expected = library_.textDraws;
                library_.textDraws.clear();
                held.DrawHeld(renderer_, true);
                ASSERT_EQ(library_.textDraws.size(), expected.size()) << escaped << " frame " << frame;
                for (size_t i = 0; i < expected.size(); ++i) {
                    const testing::TextDraw& a = expected[i];
                    const testing::TextDraw& b = library_.textDraws[i];
                    ASSERT_TRUE(a.x == b.x && a.y == b.y && a.text == b.text && a.color == b.color && a.font == b.font)
                        << escaped << " frame " << frame << " draw " << i;
                }
                ASSERT_EQ(StateOf(held), StateOf(shown)) << escaped << " frame " << frame;
            }
            // Closed as a window closes, before its next text.
            shown.shownText.clear();
            held.Release();
            shown.Draw(renderer_, true);
            held.DrawHeld(renderer_, true);
        }
    }
}

}  // namespace
}  // namespace velk
