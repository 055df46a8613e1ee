#include "platform/window/input_method.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/core/input/input_log_texts.h"
#include "lib/core/input/key_input_internal.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/core/string_format.h"
#include "platform/base/debug_output.h"
#include "platform/window/manual_input_method.h"
#include "tests/lib/core/input/input_fixture.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

using platform::InputMethodEvent;
using Kind = platform::InputMethodEvent::Kind;

constexpr uint32_t kYellow = 0xFFFF00;  // composition background, candidate frame
constexpr uint32_t kRed = 0xFF0000;     // selected clause and candidate
constexpr uint32_t kCyan = 0x00FFFF;    // composition cursor
constexpr uint32_t kWhite = 0xFFFFFF;   // underline, text
constexpr uint32_t kBlack = 0x000000;

// "あいうえお": five characters of two bytes.
const char kAiueo[] = "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81\x8A";

// A manual input method drives the composition, its clauses and the
// candidate list; drawing is recorded with every byte 8 pixels wide and the
// font 16 high.
class InputMethodTest : public InputTest {
protected:
    struct Call {
        std::string what;  // text drawn, or "box" / "frame"
        int x1, y1, x2, y2;
        uint32_t colour;
        uint32_t edge;
    };

    void SetUp() override {
        InputTest::SetUp();
        auto method = std::make_unique<platform::ManualInputMethod>();
        ime = method.get();
        previous_ = platform::SetInputMethodBackend(std::move(method));
        KeyInputDrawServices services;
        services.draw_string = [this](int x, int y, const char* text, uint32_t colour, int, uint32_t edge) {
            calls.push_back({text, x, y, 0, 0, colour, edge});
            return 0;
        };
        services.draw_box = [this](int x1, int y1, int x2, int y2, uint32_t colour, int fill) {
            calls.push_back({fill != 0 ? "box" : "frame", x1, y1, x2, y2, colour, 0});
            return 0;
        };
        services.get_draw_area = [this] { return area; };
        SetKeyInputDrawServices(services);
        RegisterTextInputWithWindow();
        InitCharBuffer();
        handle = CreateKeyInput(64, 0, 0, 0);
        SetActiveKeyInput(handle);
        SetKeyInputText("ab", handle);
    }

    void TearDown() override {
        InputTest::TearDown();
        platform::SetInputMethodBackend(std::move(previous_));
    }

    void Report(InputMethodEvent event) {
        ime->Report(std::move(event));
        ProcessMessagesBody();
    }

    void Compose(const char* utf8, std::vector<int> clause_starts, int selected) {
        InputMethodEvent event;
        event.kind = Kind::kComposition;
        event.text = utf8;
        event.clause_starts = std::move(clause_starts);
        event.selected_clause = selected;
        Report(event);
    }

    void ShowCandidates(int count, int selection) {
        InputMethodEvent event;
        event.kind = Kind::kCandidates;
        for (int i = 0; i < count; ++i)
            event.candidates.push_back(std::string(1, static_cast<char>('A' + i)));
        event.selection = selection;
        event.page_size = 9;
        Report(event);
    }

    std::vector<Call> Draw(int x = 0, int y = 0) {
        calls.clear();
        EXPECT_EQ(DrawKeyInputString(x, y, handle), 0);
        return calls;
    }

    static std::vector<Call> Of(const std::vector<Call>& calls, const std::string& what, uint32_t colour) {
        std::vector<Call> found;
        for (const Call& call : calls) {
            if (call.what == what && call.colour == colour) found.push_back(call);
        }
        return found;
    }

    static std::vector<std::string> Texts(const std::vector<Call>& calls) {
        std::vector<std::string> texts;
        for (const Call& call : calls) {
            if (call.what != "box" && call.what != "frame") texts.push_back(call.what);
        }
        return texts;
    }

    Rect area{0, 0, 640, 480};
    std::vector<Call> calls;
    platform::ManualInputMethod* ime = nullptr;
    int handle = -1;

private:
    std::unique_ptr<platform::InputMethodBackend> previous_;
};

TEST_F(InputMethodTest, ClausesAreUnderlinedOneByOneAndTheConvertedOneIsBoxed) {
    // Three clauses: あい|う|えお, the second being converted.
    Compose(kAiueo, {0, 2, 3}, 1);
    const auto& state = key_input_internal::Ime();
    EXPECT_EQ(state.clauses, (std::vector<uint32_t>{0, 4, 6, 10}));
    EXPECT_EQ(state.composition_cursor, 2) << "the cursor stands at the converted clause";

    const auto drawn = Draw();
    // The composition starts at the handle's cursor (x 16), 80 pixels wide.
    const auto background = Of(drawn, "box", kYellow);
    ASSERT_EQ(background.size(), 1u);
    EXPECT_EQ(background[0].x1, 16);
    EXPECT_EQ(background[0].x2, 96);
    const auto selected = Of(drawn, "box", kRed);
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0].x1, 48);
    EXPECT_EQ(selected[0].x2, 64);
    EXPECT_EQ(selected[0].y2, 16);
    // Each clause has its underline, inset by 2 x (16 / 10) at both ends,
    // from 17 to 18 below the top.
    const auto underlines = Of(drawn, "box", kWhite);
    ASSERT_EQ(underlines.size(), 3u + 1u);  // and the handle's own cursor
    const int expected[3][2] = {{18, 46}, {50, 62}, {66, 94}};
    int seen = 0;
    for (const Call& line : underlines) {
        if (line.y1 != 17) continue;
        EXPECT_EQ(line.y2, 18);
        ASSERT_LT(seen, 3);
        EXPECT_EQ(line.x1, expected[seen][0]);
        EXPECT_EQ(line.x2, expected[seen][1]);
        ++seen;
    }
    EXPECT_EQ(seen, 3);
    const auto cursor = Of(drawn, "box", kCyan);
    ASSERT_EQ(cursor.size(), 1u);
    EXPECT_EQ(cursor[0].x1, 48);
    EXPECT_EQ(cursor[0].x2, 50);
}

TEST_F(InputMethodTest, OneClauseIsNeverBoxedEvenWithTheCursorAtItsStart) {
    Compose(kAiueo, {0}, 0);
    EXPECT_EQ(key_input_internal::Ime().clauses, (std::vector<uint32_t>{0, 10}));
    const auto drawn = Draw();
    EXPECT_TRUE(Of(drawn, "box", kRed).empty());
    int underlines = 0;
    for (const Call& line : Of(drawn, "box", kWhite))
        underlines += line.y1 == 17 ? 1 : 0;
    EXPECT_EQ(underlines, 1);
}

TEST_F(InputMethodTest, TheCandidateWindowShowsThePageOfTheSelectionBelowTheComposition) {
    Compose(kAiueo, {0, 2}, 0);
    ShowCandidates(12, 6);  // the seventh of twelve: the second page of five
    const auto drawn = Draw();
    // Lines "1:F" .. "5:J" and "7/12": the widest is 32 pixels. A third of
    // the font is 5, a half 8.
    const auto texts = Texts(drawn);
    const std::vector<std::string> lines(texts.end() - 6, texts.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"1:F", "2:G", "3:H", "4:I", "5:J", "7/12"}));
    const auto background = Of(drawn, "box", kBlack);
    ASSERT_EQ(background.size(), 1u);
    EXPECT_EQ(background[0].x1, 16);
    EXPECT_EQ(background[0].y1, 24);
    EXPECT_EQ(background[0].x2, 16 + 32 + 10);
    EXPECT_EQ(background[0].y2, 24 + 10 + 6 * 16);
    const auto frame = Of(drawn, "frame", kYellow);
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0].y2, background[0].y2);
    for (size_t k = 0; k < 6; ++k) {
        const Call& line = drawn[drawn.size() - 6 + k];
        EXPECT_EQ(line.y1, 29 + static_cast<int>(k) * 16) << line.what;
        const bool selected = k == 1;
        EXPECT_EQ(line.colour, selected ? kRed : kWhite) << line.what;
        EXPECT_EQ(line.edge, kBlack);
    }
    // "7/12" is right-aligned to the widest line: it is the widest.
    EXPECT_EQ(drawn.back().x1, 21);
    EXPECT_TRUE(Of(drawn, "box", kCyan).empty()) << "no composition cursor over a candidate list";
    EXPECT_EQ(ime->page_size(), 5);
    EXPECT_EQ(ime->page_start(), 5);

    // A change to the last of them shows the last page.
    ShowCandidates(12, 11);
    const auto changed = Texts(Draw());
    const std::vector<std::string> last(changed.end() - 3, changed.end());
    EXPECT_EQ(last, (std::vector<std::string>{"1:K", "2:L", "12/12"}));
    EXPECT_EQ(ime->page_start(), 10);
    // "12/12" (40 pixels) is now the widest; "1:K" keeps its left edge.
    const auto page = Draw();
    EXPECT_EQ(page[page.size() - 3].x1, 21);
    EXPECT_EQ(Of(page, "box", kBlack)[0].x2, 16 + 40 + 10);

    // Closing the list brings the composition cursor back.
    InputMethodEvent closed;
    closed.kind = Kind::kCandidatesClosed;
    Report(closed);
    EXPECT_TRUE(key_input_internal::Ime().candidates.empty());
    const auto after = Draw();
    EXPECT_TRUE(Of(after, "box", kBlack).empty());
    EXPECT_EQ(Of(after, "box", kCyan).size(), 1u);
}

TEST_F(InputMethodTest, TheCandidateWindowMovesUpWhenItPassesTheBottomAndLeftAtTheRightEdge) {
    Compose(kAiueo, {0, 2}, 0);
    ShowCandidates(2, 0);  // two entries and "1/2": 10 + 3 x 16 = 58 high
    struct Case {
        const char* what;
        Rect area;
        int y;
        int top, bottom;
    };
    const Case cases[] = {
        {"room below", {0, 0, 640, 480}, 300, 324, 382},
        {"above, half a line clear of the composition", {0, 0, 640, 320}, 300, 234, 292},
        {"no room above either: its bottom meets the area's", {0, 250, 640, 320}, 300, 262, 320},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        area = c.area;
        const auto background = Of(Draw(0, c.y), "box", kBlack);
        ASSERT_EQ(background.size(), 1u);
        EXPECT_EQ(background[0].y1, c.top);
        EXPECT_EQ(background[0].y2, c.bottom);
    }
    // 16 + 24 + 10 = 50 passes a right edge at 40 by 10.
    area = Rect{0, 0, 40, 480};
    const auto background = Of(Draw(), "box", kBlack);
    ASSERT_EQ(background.size(), 1u);
    EXPECT_EQ(background[0].x1, 6);
    EXPECT_EQ(background[0].x2, 40);
}

TEST_F(InputMethodTest, KeysTheInputMethodTakesTypeNothingAndItsCommittedTextIsTyped) {
    ime->TakeKeys({platform::vk::kLetterA, platform::vk::kSpace});
    ASSERT_TRUE(ime->focused()) << "a key-input handle switches text input on";
    auto key = [&](uint32_t virtual_key, const char* text) {
        platform::WindowEvent down;
        down.kind = platform::WindowEvent::Kind::kKeyDown;
        down.key = virtual_key;
        backend.Inject(down);
        platform::WindowEvent typed;
        typed.kind = platform::WindowEvent::Kind::kText;
        typed.text = text;
        backend.Inject(typed);
        ProcessMessagesBody();
    };
    key(platform::vk::kLetterA, "a");
    key(platform::vk::kLetterA + 1, "b");
    InputMethodEvent commit;
    commit.kind = Kind::kCommit;
    commit.text = "\xE6\xBC\xA2";  // 漢
    Report(commit);
    std::string text;
    ASSERT_TRUE(GetKeyInputTextString(handle, &text));
    EXPECT_EQ(text, "abb\x8A\xBF");

    // Without key-input handles the keys are the game's.
    DeleteKeyInput(handle);
    EXPECT_FALSE(ime->focused());
    EXPECT_GE(ime->reset_count(), 1);
    const size_t seen = ime->keys_seen().size();
    key(platform::vk::kSpace, " ");
    EXPECT_EQ(ime->keys_seen().size(), seen);
}

TEST_F(InputMethodTest, ACandidateListArrivingWithoutAnyIsNotKept) {
    velk::testing::ScratchDir folder;
    platform::SetDebugOutputEnabled(false);
    SetLogOutputFlag(1);
    SetLogStartDirectory(folder.path().string());
    ASSERT_EQ(CreateLogFile(), 0);
    // The notification without a list: nothing to copy, and the log says so
    // with the window's number for both the window and its input context.
    platform::PostWindowMessage(GetMainWindowHWND(), platform::msg::kImeNotify, platform::kImeNotifyOpenCandidate, 1);
    ProcessMessagesBody();
    EXPECT_TRUE(key_input_internal::Ime().candidates.empty());
    const std::string log = folder.ReadFile("Log.txt");
    SetLogStartDirectory("");
    platform::SetDebugOutputEnabled(true);
    const std::string expected =
        FormatString(input_log_text::kCandidateSizeZero, static_cast<unsigned>(GetMainWindowHWND()),
                     static_cast<unsigned>(GetMainWindowHWND()));
    EXPECT_NE(log.find(expected.substr(0, expected.size() - 1) + "\r\n"), std::string::npos) << log;
    ShowCandidates(3, 2);
    const auto& list = key_input_internal::Ime().candidates;
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Selection(), 2);
    EXPECT_EQ(list.Entry(2), "C");
    EXPECT_EQ(list.Entry(3), "");
    // A header claiming more entries than the copy holds gives those there are.
    const size_t size = platform::ReadCandidateList(nullptr, 0);
    auto* bytes = static_cast<uint8_t*>(VELK_ALLOC(size));
    const key_input_internal::CandidateListCopy claimed(bytes, size);
    ASSERT_EQ(platform::ReadCandidateList(bytes, size), size);
    bytes[8] = 9;
    EXPECT_EQ(claimed.Count(), 3);
    EXPECT_EQ(claimed.Entry(2), "C");
    EXPECT_EQ(claimed.Entry(3), "");
    // Switching the input method off drops the list.
    SetIMEEnable(0);
    EXPECT_TRUE(key_input_internal::Ime().candidates.empty());
}

}  // namespace
}  // namespace velk
