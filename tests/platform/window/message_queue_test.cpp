#include <gtest/gtest.h>

#include <vector>

#include "platform/base/clock.h"
#include "platform/base/text_encoding.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/message_box.h"
#include "platform/window/window_system.h"

namespace velk::platform {
namespace {

struct Seen {
    WindowHandle window;
    uint32_t message;
    WParam wparam;
    LParam lparam;
};

class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterWindowClass("TestClass", [this](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
            seen.push_back({w, m, wp, lp});
            if (on_message) return on_message(w, m, wp, lp);
            return DefaultWindowProcedure(w, m, wp, lp);
        }, 0));
        window = CreateAppWindow({"TestClass", "t", kStylePopup | kStyleVisible, 0, Rect{10, 20, 650, 500}});
        ASSERT_NE(window, 0);
    }

    std::vector<uint32_t> Drain() {
        std::vector<uint32_t> taken;
        Message message;
        while (PeekWindowMessage(&message, 0, true)) {
            taken.push_back(message.message);
            TranslateWindowMessage(message);
            DispatchWindowMessage(message);
            if (taken.size() > 100) break;
        }
        return taken;
    }

    ScopedManualWindowBackend scoped;
    ManualWindowBackend& backend = scoped.backend();
    std::vector<Seen> seen;
    std::function<MessageResult(WindowHandle, uint32_t, WParam, LParam)> on_message;
    WindowHandle window = 0;
};

TEST_F(MessageQueueTest, PostedMessagesComeBeforeQuitPaintAndTimers) {
    ManualClock clock;
    ScopedClock installed(clock);
    ASSERT_TRUE(SetWindowTimer(window, 7, 17, nullptr));
    clock.AdvanceMilliseconds(20);
    InvalidateWindow(window);
    PostQuit(3);
    PostWindowMessage(window, 0x400, 1, 2);
    PostWindowMessage(0, 0x401, 0, 0);

    Message message;
    ASSERT_TRUE(PeekWindowMessage(&message, 0, false));
    EXPECT_EQ(message.message, 0x400u);
    // The thread filter sees only the thread's own messages and the quit.
    ASSERT_TRUE(PeekWindowMessage(&message, kThreadMessagesOnly, true));
    EXPECT_EQ(message.message, 0x401u);
    ASSERT_TRUE(PeekWindowMessage(&message, kThreadMessagesOnly, true));
    EXPECT_EQ(message.message, msg::kQuit);
    EXPECT_EQ(message.wparam, 3u);
    EXPECT_FALSE(PeekWindowMessage(&message, kThreadMessagesOnly, true));

    EXPECT_EQ(Drain(), (std::vector<uint32_t>{0x400, msg::kPaint, msg::kTimer}));
    // Painted and the timer re-armed: nothing more until 17 ms have passed.
    EXPECT_FALSE(PeekWindowMessage(&message, 0, false));
    clock.AdvanceMilliseconds(17);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{msg::kTimer}));
}

TEST_F(MessageQueueTest, TimerCallbacksRunInsteadOfTheProcedure) {
    ManualClock clock;
    ScopedClock installed(clock);
    int calls = 0;
    SetWindowTimer(window, 32767, 17, [&](WindowHandle, uint32_t id) {
        EXPECT_EQ(id, 32767u);
        ++calls;
    });
    clock.AdvanceMilliseconds(17);
    seen.clear();
    Drain();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(KillWindowTimer(window, 32767));
    clock.AdvanceMilliseconds(100);
    Drain();
    EXPECT_EQ(calls, 1);
}

TEST_F(MessageQueueTest, DestroySendsDestroyAtOnce) {
    seen.clear();
    EXPECT_TRUE(DestroyAppWindow(window));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, msg::kDestroy);
    EXPECT_FALSE(IsAppWindow(window));
    EXPECT_FALSE(backend.HasWindow(window));
    EXPECT_FALSE(DestroyAppWindow(window));
}

TEST_F(MessageQueueTest, CloseThroughTheDefaultProcedureDestroys) {
    // A close waiting among the back-end's events, then among the posted
    // messages, is seen without taking it or what came before it.
    Drain();
    EXPECT_FALSE(WindowClosePending());
    WindowEvent key;
    key.kind = WindowEvent::Kind::kKeyDown;
    key.key = 'Z';
    backend.Inject(key);
    EXPECT_FALSE(WindowClosePending()) << "a key is no close";
    WindowEvent close;
    close.kind = WindowEvent::Kind::kCloseRequested;
    backend.Inject(close);
    EXPECT_TRUE(WindowClosePending());
    EXPECT_TRUE(WindowClosePending());
    Message message;
    ASSERT_TRUE(PeekWindowMessage(&message, 0, false));
    EXPECT_EQ(message.message, msg::kKeyDown);
    EXPECT_TRUE(WindowClosePending()) << "posted, not yet taken";
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{msg::kKeyDown, msg::kClose}));
    EXPECT_FALSE(IsAppWindow(window));
    EXPECT_FALSE(WindowClosePending());
    // The destroyed window's procedure posted nothing; a quit counts too.
    PostQuit(0);
    EXPECT_TRUE(WindowClosePending());
    Drain();
    EXPECT_FALSE(WindowClosePending());

    const WindowHandle second =
        CreateAppWindow({"TestClass", "u", kStylePopup | kStyleVisible, 0, Rect{0, 0, 320, 240}});
    ASSERT_NE(second, 0);
    PostWindowMessage(second, msg::kClose, 0, 0);
    EXPECT_TRUE(WindowClosePending());
    Drain();
    EXPECT_FALSE(IsAppWindow(second));
}

TEST_F(MessageQueueTest, MoveSendsSizeAndMoveOnlyWhenTheyChange) {
    backend.SetCaptionFrame({3, 26, 3, 3});
    SetWindowStyles(window, kStylePopup | kStyleCaption | kStyleVisible, 0);
    seen.clear();
    Rect rect = GetWindowRectangle(window);
    ASSERT_TRUE(MoveAppWindow(window, rect));
    EXPECT_TRUE(seen.empty());

    // A size message whose handler moves the window to the same place again
    // must not recurse.
    int depth = 0;
    on_message = [&](WindowHandle w, uint32_t m, WParam, LParam) -> MessageResult {
        if (m == msg::kSize && ++depth < 50) MoveAppWindow(w, GetWindowRectangle(w));
        return 0;
    };
    MoveAppWindow(window, Rect{0, 0, 806, 629});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, msg::kSize);
    EXPECT_EQ(LowWord(seen[0].lparam), 800);
    EXPECT_EQ(HighWord(seen[0].lparam), 600);
    EXPECT_EQ(seen[1].message, msg::kMove);
    EXPECT_EQ(SignedLowWord(seen[1].lparam), 3);
    EXPECT_EQ(SignedHighWord(seen[1].lparam), 26);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(GetClientArea(window), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(backend.WindowState(window).client, (Rect{3, 26, 803, 626}));
    EXPECT_EQ(AdjustRectForStyle(Rect{0, 0, 640, 480}, kStyleCaption, 0), (Rect{-3, -26, 643, 483}));
}

TEST_F(MessageQueueTest, KeysTranslateToControlCharacters) {
    auto key = [&](uint32_t vk, bool control) {
        WindowEvent event;
        event.kind = WindowEvent::Kind::kKeyDown;
        event.key = vk;
        event.control = control;
        backend.Inject(event);
    };
    key(vk::kReturn, false);
    key(vk::kReturn, true);
    key(vk::kLetterA + 9, true);   // Ctrl+J
    key(vk::kLetterA + 21, true);  // Ctrl+V
    key(vk::kLetterA, false);      // typed text comes as text, not from the key
    key(vk::kBack, false);
    key(vk::kEscape, false);
    key(vk::kLeft, false);
    seen.clear();
    Drain();
    std::vector<WParam> characters;
    for (const auto& s : seen) {
        if (s.message == msg::kChar) characters.push_back(s.wparam);
    }
    EXPECT_EQ(characters, (std::vector<WParam>{13, 10, 10, 22, 8, 27}));
}

TEST_F(MessageQueueTest, TextArrivesAsShiftJisCharacters) {
    WindowEvent text;
    text.kind = WindowEvent::Kind::kText;
    text.text = "a\xE3\x81\x82";  // "a" and HIRAGANA A
    backend.Inject(text);
    seen.clear();
    Drain();
    std::string bytes;
    for (const auto& s : seen) {
        if (s.message == msg::kChar) bytes += static_cast<char>(s.wparam);
    }
    EXPECT_EQ(bytes, "a\x82\xA0");
}

TEST_F(MessageQueueTest, CompositionIsKeptInShiftJis) {
    WindowEvent editing;
    editing.kind = WindowEvent::Kind::kComposition;
    editing.text = "\xE3\x81\x8B\xE3\x81\xAA";  // "kana"
    editing.x = 1;
    backend.Inject(editing);
    seen.clear();
    Drain();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, msg::kImeStartComposition);
    EXPECT_EQ(seen[1].message, msg::kImeComposition);
    EXPECT_EQ(CurrentComposition().text, "\x82\xA9\x82\xC8");
    EXPECT_EQ(CurrentComposition().cursor, 1);

    WindowEvent result;
    result.kind = WindowEvent::Kind::kText;
    result.text = "\xE4\xBB\xAE";  // a kanji
    backend.Inject(result);
    seen.clear();
    Drain();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, msg::kImeEndComposition);
    EXPECT_EQ(seen[1].message, msg::kChar);
    EXPECT_TRUE(CurrentComposition().text.empty());
}

TEST_F(MessageQueueTest, ALostDisplayClosesEveryWindowAndNoBoxWaits) {
    // A second window, so that the close cannot reach only the first one.
    const WindowHandle second =
        CreateAppWindow({"TestClass", "u", kStylePopup | kStyleVisible, 0, Rect{0, 0, 320, 240}});
    ASSERT_NE(second, 0);
    backend.SetMessageBoxAnswer(kMessageBoxResultCancel);
    backend.LoseDisplay();
    EXPECT_TRUE(WindowClosePending());
    seen.clear();
    Drain();
    std::vector<WindowHandle> closed;
    for (const Seen& each : seen) {
        if (each.message == msg::kClose) closed.push_back(each.window);
    }
    EXPECT_EQ(closed, (std::vector<WindowHandle>{window, second}));
    EXPECT_FALSE(IsAppWindow(window));
    EXPECT_FALSE(IsAppWindow(second));
    EXPECT_EQ(backend.OpenWindowCount(), 0u);
    // Nobody can answer a box on a lost display: it falls back to its first
    // button at once instead of the answer a display would have given.
    EXPECT_EQ(ShowMessageBox(0, "text", "title", kMessageBoxOkCancel), kMessageBoxResultOk);
}

TEST_F(MessageQueueTest, FocusBecomesActivationPairs) {
    WindowEvent lost;
    lost.kind = WindowEvent::Kind::kFocusLost;
    backend.Inject(lost);
    WindowEvent gained;
    gained.kind = WindowEvent::Kind::kFocusGained;
    backend.Inject(gained);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{msg::kActivate, msg::kActivateApp, msg::kActivateApp, msg::kActivate}));
    EXPECT_EQ(seen[0].wparam, 0u);
    EXPECT_EQ(seen[2].wparam, 1u);
    EXPECT_EQ(LowWord(seen[3].wparam), 1);
}

TEST_F(MessageQueueTest, UserMovesAndResizesReachTheWindow) {
    WindowEvent moved;
    moved.kind = WindowEvent::Kind::kMoved;
    moved.x = 100;
    moved.y = 50;
    backend.Inject(moved);
    WindowEvent same = moved;
    backend.Inject(same);
    WindowEvent resized;
    resized.kind = WindowEvent::Kind::kResized;
    resized.x = 800;
    resized.y = 600;
    backend.Inject(resized);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{msg::kMove, msg::kSize, msg::kPaint}));
    EXPECT_EQ(GetClientAreaOnScreen(window), (Rect{100, 50, 900, 650}));
}

TEST_F(MessageQueueTest, WheelDropsAndMouse) {
    WindowEvent wheel;
    wheel.kind = WindowEvent::Kind::kMouseWheel;
    wheel.y = -1;
    backend.Inject(wheel);
    WindowEvent drop;
    drop.kind = WindowEvent::Kind::kDropFile;
    drop.text = "/tmp/a.png";
    backend.Inject(drop);
    backend.Inject(drop);
    WindowEvent complete;
    complete.kind = WindowEvent::Kind::kDropComplete;
    backend.Inject(complete);
    WindowEvent move;
    move.kind = WindowEvent::Kind::kMouseMove;
    move.x = 5;
    move.y = 6;
    backend.Inject(move);
    seen.clear();
    Drain();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(SignedHighWord(seen[0].wparam), -120);
    EXPECT_EQ(seen[1].message, msg::kDropFiles);
    EXPECT_EQ(TakeDroppedFiles(seen[1].wparam).size(), 2u);
    EXPECT_TRUE(TakeDroppedFiles(seen[1].wparam).empty());
    int x = 0, y = 0;
    GetCursorScreenPosition(&x, &y);
    EXPECT_EQ(x, 15);
    EXPECT_EQ(y, 26);
}

TEST_F(MessageQueueTest, CursorFollowsItsDisplayCount) {
    EXPECT_TRUE(backend.cursor_visible());
    EXPECT_EQ(ShowCursorCount(false), -1);
    EXPECT_FALSE(backend.cursor_visible());
    EXPECT_EQ(ShowCursorCount(false), -2);
    EXPECT_EQ(ShowCursorCount(true), -1);
    EXPECT_FALSE(backend.cursor_visible());
    EXPECT_EQ(ShowCursorCount(true), 0);
    EXPECT_TRUE(backend.cursor_visible());
    ClearCursorShape();
    EXPECT_FALSE(backend.cursor_visible());
    SendWindowMessage(window, msg::kSetCursor, static_cast<WParam>(window), MakeLParam(1, msg::kMouseMove));
    EXPECT_TRUE(backend.cursor_visible());
}

TEST_F(MessageQueueTest, ShowingAndTitle) {
    SetWindowTitle(window, "\x83\x51\x81\x5B\x83\x80");  // "game" in katakana
    EXPECT_EQ(backend.WindowState(window).title_utf8, ShiftJisToUtf8("\x83\x51\x81\x5B\x83\x80"));
    ShowAppWindow(window, kShowMinimized);
    EXPECT_TRUE(IsWindowMinimized(window));
    ShowAppWindow(window, kShowNormal);
    EXPECT_FALSE(IsWindowMinimized(window));
    ShowAppWindow(window, kShowHide);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(backend.WindowState(window).visible);
}

TEST(WindowClasses, RegistrationAndFailures) {
    ScopedManualWindowBackend scoped;
    EXPECT_EQ(CreateAppWindow({"Missing", "", 0, 0, Rect{}}), 0);
    ASSERT_TRUE(RegisterWindowClass("C", [](WindowHandle, uint32_t, WParam, LParam) { return MessageResult{0}; }, 0));
    EXPECT_FALSE(RegisterWindowClass("C", nullptr, 0));
    scoped.backend().SetFailOpen(true);
    EXPECT_EQ(CreateAppWindow({"C", "", 0, 0, Rect{}}), 0);
    scoped.backend().SetFailOpen(false);
    WindowHandle window = CreateAppWindow({"C", "", 0, 0, Rect{}});
    ASSERT_NE(window, 0);
    EXPECT_FALSE(UnregisterWindowClass("C"));  // in use
    DestroyAppWindow(window);
    EXPECT_TRUE(UnregisterWindowClass("C"));
}

}  // namespace
}  // namespace velk::platform
