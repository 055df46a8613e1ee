#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/lib/core/input/input_fixture.h"

namespace velk {
namespace {

// Records what drawing asks of the graphics side. Every byte is 8 pixels
// wide and the font 16 high (line pitch 19).
class KeyInputDrawingTest : public InputTest {
protected:
    struct Call {
        std::string what;  // text drawn, or "box"
        int x;
        int y;
        int x2;
        uint32_t colour;
    };

    void SetUp() override {
        InputTest::SetUp();
        KeyInputDrawServices services;
        services.draw_string = [this](int x, int y, const char* text, uint32_t colour, int, uint32_t) {
            calls.push_back({text, x, y, 0, colour});
            return 0;
        };
        services.draw_box = [this](int x1, int y1, int x2, int, uint32_t colour, int) {
            calls.push_back({"box", x1, y1, x2, colour});
            return 0;
        };
        services.get_draw_area = [this] { return area; };
        services.set_use_3d = [this](int flag) {
            use_3d_log.push_back(flag);
            return 0;
        };
        services.get_use_3d = [] { return 1; };
        SetKeyInputDrawServices(services);
        InitCharBuffer();  // colours from the recording side
        handle = CreateKeyInput(64, 0, 0, 0);
        SetActiveKeyInput(handle);
    }

    // The input method composes `utf8` with its cursor after the first character.
    void Compose(const char* utf8) {
        RegisterTextInputWithWindow();
        SetKeyInputText("ab", handle);
        platform::WindowEvent editing;
        editing.kind = platform::WindowEvent::Kind::kComposition;
        editing.text = utf8;
        editing.x = 1;
        backend.Inject(editing);
        ProcessMessagesBody();
    }

    std::vector<Call> Strings() const {
        std::vector<Call> strings;
        for (const auto& call : calls) {
            if (call.what != "box") strings.push_back(call);
        }
        return strings;
    }

    Rect area{0, 0, 640, 480};
    std::vector<Call> calls;
    std::vector<int> use_3d_log;
    int handle = -1;
};

TEST_F(KeyInputDrawingTest, TextAndCursor) {
    SetKeyInputText("ab", handle);
    EXPECT_EQ(DrawKeyInputString(10, 20, handle), 0);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 2u);
    EXPECT_EQ(strings[0].what, "a");
    EXPECT_EQ(strings[0].x, 10);
    EXPECT_EQ(strings[1].x, 18);
    // The cursor after the text, 2 pixels wide.
    EXPECT_EQ(calls.back().what, "box");
    EXPECT_EQ(calls.back().x, 26);
    EXPECT_EQ(calls.back().x2, 28);
    // 3D drawing is off for the duration and restored after.
    EXPECT_EQ(use_3d_log, (std::vector<int>{0, 1}));
}

TEST_F(KeyInputDrawingTest, AnEmptyDrawAreaEndsTheDrawing) {
    SetKeyInputText("abc", handle);
    area = Rect{100, 100, 100, 200};
    EXPECT_EQ(DrawKeyInputString(500, 20, handle), 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(use_3d_log, (std::vector<int>{0, 1}));
}

TEST_F(KeyInputDrawingTest, ACharacterCrossingTheEdgeContinuesOnTheNextLine) {
    area = Rect{0, 0, 20, 480};
    SetKeyInputText("abc", handle);
    DrawKeyInputString(0, 0, handle);
    const auto strings = Strings();
    // "c" starts at 16, crosses 20: drawn there and at -4 one line lower.
    ASSERT_EQ(strings.size(), 4u);
    EXPECT_EQ(strings[2].what, "c");
    EXPECT_EQ(strings[2].x, 16);
    EXPECT_EQ(strings[3].x, -4);
    EXPECT_EQ(strings[3].y, 19);
}

TEST_F(KeyInputDrawingTest, StartsFarRightWrapDown) {
    area = Rect{0, 0, 100, 480};
    SetKeyInputText("a", handle);
    DrawKeyInputString(250, 0, handle);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(strings[0].x, 50);
    EXPECT_EQ(strings[0].y, 38);
}

TEST_F(KeyInputDrawingTest, LongTextScrollsToKeepTheCursorInView) {
    area = Rect{0, 0, 80, 19};  // one line of 10 bytes
    SetKeyInputText("0123456789abcdefghij", handle);
    DrawKeyInputString(0, 0, handle);
    const auto strings = Strings();
    ASSERT_FALSE(strings.empty());
    EXPECT_EQ(strings.back().what, "j");
    EXPECT_LE(strings.back().x + 8, 80);
    EXPECT_NE(strings.front().what, "0");
}

TEST_F(KeyInputDrawingTest, SelectionUsesItsOwnColours) {
    SetKeyInputText("abc", handle);
    devices.SetKey(platform::key::kLeftShift, true);
    StockInputChar(29);  // left
    ProcessKeyInput();
    devices.SetKey(platform::key::kLeftShift, false);
    calls.clear();
    DrawKeyInputString(0, 0, handle);
    const uint32_t grey = 0x808080;
    bool selection_box = false;
    for (const auto& call : calls) selection_box |= call.what == "box" && call.colour == grey && call.x == 16;
    EXPECT_TRUE(selection_box);
}

TEST_F(KeyInputDrawingTest, TheCompositionIsDrawnAtTheCursor) {
    Compose("\xE3\x81\x8B");  // KA
    calls.clear();
    DrawKeyInputString(0, 0, handle);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 3u);
    EXPECT_EQ(strings[2].what, "\x82\xA9");
    EXPECT_EQ(strings[2].x, 16);
    EXPECT_EQ(strings[2].colour, 0u);  // black
    // Finishing the handle stops its drawing.
    StockInputChar(13);
    ProcessKeyInput();
    EXPECT_EQ(DrawKeyInputString(0, 0, handle), -1);
}

TEST_F(KeyInputDrawingTest, TheCompositionSurvivesTheInputMethodsReopening) {
    Compose("\xE3\x81\x8B\xE3\x81\x8B");  // KA KA
    // The window came back to the front: the input method is closed and
    // opened again, and the composition is set again.
    RequestImeReopen();
    ProcessKeyInput();
    ProcessMessagesBody();
    EXPECT_TRUE(platform::TextInputEnabled());
    EXPECT_EQ(platform::CurrentComposition().text, "\x82\xA9\x82\xA9");
    calls.clear();
    DrawKeyInputString(0, 0, handle);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 3u);
    EXPECT_EQ(strings[2].what, "\x82\xA9\x82\xA9");
}

TEST_F(KeyInputDrawingTest, ColoursGivenAndNotGiven) {
    const int64_t none = -1;
    SetKeyInputColors(0x111111, none, 0x222222, none, none, none, none, none, none, none, none, none, none, none,
                      0x333333);
    SetKeyInputText("a", handle);
    calls.clear();
    DrawKeyInputString(0, 0, handle);
    EXPECT_EQ(Strings()[0].colour, 0x111111u);
    EXPECT_EQ(calls.back().colour, 0xFFFFFFu);  // the cursor kept its colour
}

}  // namespace
}  // namespace velk
