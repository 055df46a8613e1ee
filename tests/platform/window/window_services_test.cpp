#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/window/clipboard.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/message_box.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

// SDL events for the window `id`, put on SDL's queue as the window system
// would; each is true when queued.
bool PushKey(Uint32 id, Uint32 type, SDL_Scancode scancode, SDL_Keycode sym) {
    SDL_Event key{};
    key.type = type;
    key.key.windowID = id;
    key.key.keysym.scancode = scancode;
    key.key.keysym.sym = sym;
    return SDL_PushEvent(&key) == 1;
}

bool PushText(Uint32 id, const char* utf8) {
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    text.text.windowID = id;
    SDL_strlcpy(text.text.text, utf8, sizeof(text.text.text));
    return SDL_PushEvent(&text) == 1;
}

bool PushLeftButtonDown(Uint32 id, int x, int y) {
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.windowID = id;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = x;
    click.button.y = y;
    return SDL_PushEvent(&click) == 1;
}

bool PushWindowEvent(Uint32 id, SDL_WindowEventID event) {
    SDL_Event window{};
    window.type = SDL_WINDOWEVENT;
    window.window.windowID = id;
    window.window.event = event;
    return SDL_PushEvent(&window) == 1;
}

// A drop event; SDL hands its text over in a copy of its own.
bool PushDrop(Uint32 id, Uint32 type, const char* text) {
    SDL_Event drop{};
    drop.type = type;
    drop.drop.windowID = id;
    drop.drop.file = text != nullptr ? SDL_strdup(text) : nullptr;
    return SDL_PushEvent(&drop) == 1;
}

TEST(Clipboard, ConvertsBetweenShiftJisAndTheSystemText) {
    ScopedManualWindowBackend scoped;
    ASSERT_TRUE(SetClipboardShiftJis("\x82\xA0-a"));
    EXPECT_EQ(*scoped.backend().ClipboardText(), "\xE3\x81\x82-a");
    EXPECT_EQ(*GetClipboardShiftJis(), "\x82\xA0-a");
    scoped.backend().SetClipboard(std::string());
    EXPECT_FALSE(GetClipboardShiftJis().has_value());
    scoped.backend().SetClipboardAvailable(false);
    EXPECT_FALSE(SetClipboardShiftJis("x"));
    EXPECT_FALSE(GetClipboardShiftJis().has_value());
}

TEST(MessageBox, TheHookAnswersAndSeesUtf8) {
    ScopedManualWindowBackend scoped;
    std::vector<MessageBoxRequest> asked;
    SetMessageBoxHook([&](const MessageBoxRequest& request) {
        asked.push_back(request);
        return kMessageBoxResultCancel;
    });
    EXPECT_EQ(ShowMessageBox(0, "\x83\x47\x83\x89\x81\x5B", "title", kMessageBoxOkCancel), kMessageBoxResultCancel);
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text_utf8, "\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC");
    EXPECT_EQ(asked[0].flags, kMessageBoxOkCancel);
    EXPECT_TRUE(scoped.backend().message_boxes().empty());

    // Without a hook the back-end shows it; a box that cannot be shown counts
    // as its first button, and the back-end is not asked again.
    scoped.backend().SetMessageBoxAnswer(kMessageBoxResultNo);
    EXPECT_EQ(ShowMessageBox(0, "q", "t", kMessageBoxYesNo), kMessageBoxResultNo);
    scoped.backend().SetMessageBoxAnswer(std::nullopt);
    EXPECT_EQ(ShowMessageBox(0, "q", "t", kMessageBoxYesNo), kMessageBoxResultYes);
    scoped.backend().SetMessageBoxAnswer(kMessageBoxResultNo);
    EXPECT_EQ(ShowMessageBox(0, "q", "t", kMessageBoxYesNo), kMessageBoxResultYes);
    EXPECT_EQ(TryShowMessageBox(0, "q", "t", kMessageBoxYesNo), std::nullopt);
    EXPECT_EQ(scoped.backend().message_boxes().size(), 2u);
    SetMessageBoxHook([](const MessageBoxRequest&) { return kMessageBoxResultNo; });
    EXPECT_EQ(TryShowMessageBox(0, "q", "t", kMessageBoxYesNo), kMessageBoxResultNo) << "the hook still answers";
    SetMessageBoxHook(nullptr);

    // A new back-end is asked again.
    ScopedManualWindowBackend next;
    next.backend().SetMessageBoxAnswer(kMessageBoxResultNo);
    EXPECT_EQ(TryShowMessageBox(0, "q", "t", kMessageBoxYesNo), kMessageBoxResultNo);
}

TEST(SingleInstance, ASecondPlayerOfTheSameGameOnTheSameDisplayIsRefused) {
    testing::ScratchDir scratch;
    SetInstanceLockFolder(scratch.path().string());
    {
        auto first = SingleInstanceLock::Acquire("Game\x95\x5C", ":0");
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(first->path().find('\\'), std::string::npos);
        EXPECT_FALSE(SingleInstanceLock::Acquire("Game\x95\x5C", ":0").has_value());
        EXPECT_TRUE(SingleInstanceLock::Acquire("Other", ":0").has_value());
        EXPECT_TRUE(SingleInstanceLock::Acquire("Game\x95\x5C", ":1").has_value()) << "another display";
        // Headless players take no lock and are never refused.
        auto headless = SingleInstanceLock::Acquire("Game\x95\x5C", std::nullopt);
        ASSERT_TRUE(headless.has_value());
        EXPECT_EQ(headless->path(), "");
        EXPECT_TRUE(SingleInstanceLock::Acquire("Game\x95\x5C", std::nullopt).has_value());
        // The same game in another folder is another game.
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path());
        EXPECT_TRUE(SingleInstanceLock::Acquire("Game\x95\x5C", ":0").has_value());
        std::filesystem::current_path(previous);
    }
    EXPECT_TRUE(SingleInstanceLock::Acquire("Game\x95\x5C", ":0").has_value());
    // No usable folder does not stop the program.
    SetInstanceLockFolder(scratch.path().string() + "/missing");
    EXPECT_TRUE(SingleInstanceLock::Acquire("Game", ":0").has_value());
    SetInstanceLockFolder("");
}

TEST(SingleInstance, WithoutARuntimeFolderTheLockLivesInAPrivateFolderOfTheUser) {
    testing::ScratchDir scratch;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime ? runtime : "";
    const char* temp = std::getenv("TMPDIR");
    const std::string savedTemp = temp ? temp : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", scratch.path().c_str(), 1);
    const std::string folder = InstanceLockFolder();
    EXPECT_EQ(folder, scratch.path().string() + "/velk-player-" + std::to_string(::geteuid()));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // A folder that others may enter is not used.
    ::chmod(folder.c_str(), 0777);
    EXPECT_EQ(InstanceLockFolder(), "");
    EXPECT_TRUE(SingleInstanceLock::Acquire("Game", ":0").has_value());
    if (savedRuntime.empty()) {
        ::unsetenv("XDG_RUNTIME_DIR");
    } else {
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    }
    if (savedTemp.empty()) {
        ::unsetenv("TMPDIR");
    } else {
        ::setenv("TMPDIR", savedTemp.c_str(), 1);
    }
}

// The SDL back-end under the dummy driver, for one test: the manual back-end
// the other tests use comes back even when the test stops early.
class SdlBackend : public ::testing::Test {
protected:
    void SetUp() override { SetWindowBackend(CreateSdlWindowBackend()); }
    void TearDown() override { SetWindowBackend(std::make_unique<ManualWindowBackend>()); }

    // A small popup of a class of its own, SDL's queue emptied of what its
    // opening brought.
    void OpenSmallWindow(const char* class_name, WindowHandle* window) {
        ASSERT_TRUE(RegisterWindowClass(class_name, DefaultWindowProcedure, 0));
        *window = CreateAppWindow({class_name, "t", kStylePopup | kStyleCaption, 0, Rect{0, 0, 64, 48}});
        ASSERT_NE(*window, 0);
        Message message;
        while (PeekWindowMessage(&message, 0, true)) {
        }
    }
};

// Windows open without a display and SDL's events become messages.
TEST_F(SdlBackend, OpensAWindowAndTurnsEventsIntoMessages) {
    std::vector<uint32_t> seen;
    ASSERT_TRUE(RegisterWindowClass("SdlTest", [&](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
        seen.push_back(m);
        return DefaultWindowProcedure(w, m, wp, lp);
    }, 0));
    WindowHandle window = CreateAppWindow({"SdlTest", "\x83\x65\x83\x58\x83\x67", kStylePopup | kStyleCaption,
                                           0, Rect{0, 0, 640, 480}});
    ASSERT_NE(window, 0);
    ASSERT_NE(NativeWindowOf(window), nullptr);
    Rect desktop = DesktopRectangle();
    EXPECT_GE(desktop.right, 640);
    EXPECT_GE(desktop.bottom, 480);
    EXPECT_EQ(WorkAreaRectangle(), desktop) << "a display without panels is all work area";
    ShowAppWindow(window, kShowNormal);

    const Uint32 id = SDL_GetWindowID(static_cast<SDL_Window*>(NativeWindowOf(window)));
    ASSERT_TRUE(PushText(id, "\xE3\x81\x82"));
    ASSERT_TRUE(PushKey(id, SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN));
    ASSERT_TRUE(PushWindowEvent(id, SDL_WINDOWEVENT_CLOSE));

    std::string characters;
    Message message;
    for (int i = 0; i < 100 && PeekWindowMessage(&message, 0, true); ++i) {
        if (message.message == msg::kChar) characters += static_cast<char>(message.wparam);
        TranslateWindowMessage(message);
        DispatchWindowMessage(message);
    }
    EXPECT_EQ(characters, "\x82\xA0\r");
    EXPECT_FALSE(IsAppWindow(window));  // closed through the default procedure
    EXPECT_NE(std::find(seen.begin(), seen.end(), msg::kDestroy), seen.end());

    ASSERT_TRUE(SetClipboardShiftJis("\x82\xA0"));
    EXPECT_EQ(GetClipboardShiftJis().value_or(""), "\x82\xA0");
}

// Looks at the queue come many to a pass of message processing, microseconds
// apart; the window system is asked for news only once in a while, but what
// reached SDL's queue in between (here pushed by the program) is taken by the
// very next look, in the order it came.
TEST_F(SdlBackend, EventsQueuedBetweenTwoLooksInARowAreTakenByTheSecond) {
    WindowHandle window = 0;
    OpenSmallWindow("SdlRepeat", &window);
    if (HasFatalFailure()) return;
    const Uint32 id = SDL_GetWindowID(static_cast<SDL_Window*>(NativeWindowOf(window)));
    Message message;

    std::vector<std::pair<uint32_t, WParam>> taken;
    for (int round = 0; round < 3; ++round) {
        ASSERT_FALSE(PeekWindowMessage(&message, 0, false));
        ASSERT_TRUE(PushKey(id, SDL_KEYDOWN, SDL_SCANCODE_Z, SDLK_z));
        ASSERT_TRUE(PeekWindowMessage(&message, 0, true));
        taken.emplace_back(message.message, message.wparam);
        ASSERT_TRUE(PushKey(id, SDL_KEYUP, SDL_SCANCODE_Z, SDLK_z));
        ASSERT_TRUE(PushLeftButtonDown(id, 5 + round, 6));
        ASSERT_TRUE(PushWindowEvent(id, round == 1 ? SDL_WINDOWEVENT_FOCUS_LOST : SDL_WINDOWEVENT_FOCUS_GAINED));
        ASSERT_TRUE(PushKey(id, SDL_KEYDOWN, SDL_SCANCODE_X, SDLK_x));
        while (PeekWindowMessage(&message, 0, true)) {
            taken.emplace_back(message.message,
                               message.message == msg::kLeftButtonDown ? message.lparam : message.wparam);
        }
    }
    const auto click_at = [](int x, int y) { return static_cast<WParam>(MakeLParam(x, y)); };
    const std::vector<std::pair<uint32_t, WParam>> expected = {
        {msg::kKeyDown, 'Z'},
        {msg::kKeyUp, 'Z'},
        {msg::kLeftButtonDown, click_at(5, 6)},
        {msg::kActivateApp, 1},
        {msg::kActivate, kActivateActive},
        {msg::kKeyDown, 'X'},
        {msg::kKeyDown, 'Z'},
        {msg::kKeyUp, 'Z'},
        {msg::kLeftButtonDown, click_at(6, 6)},
        {msg::kActivate, kActivateInactive},
        {msg::kActivateApp, 0},
        {msg::kKeyDown, 'X'},
        {msg::kKeyDown, 'Z'},
        {msg::kKeyUp, 'Z'},
        {msg::kLeftButtonDown, click_at(7, 6)},
        {msg::kActivateApp, 1},
        {msg::kActivate, kActivateActive},
        {msg::kKeyDown, 'X'},
    };
    EXPECT_EQ(taken, expected);
    DestroyAppWindow(window);
    UnregisterWindowClass("SdlRepeat");
}

// A quit request (what SDL makes of SIGINT and SIGTERM), a hang-up or a
// window's close waiting in SDL's queue is seen without taking it or any
// other event out: all come afterwards as messages, in the order they came.
TEST_F(SdlBackend, APendingCloseIsSeenAndLeavesEveryEventQueued) {
    WindowHandle window = 0;
    OpenSmallWindow("SdlPending", &window);
    if (HasFatalFailure()) return;
    const Uint32 id = SDL_GetWindowID(static_cast<SDL_Window*>(NativeWindowOf(window)));
    enum class Close { kQuit, kHangUp, kCloseBox };
    for (const Close close : {Close::kQuit, Close::kHangUp, Close::kCloseBox}) {
        SCOPED_TRACE(static_cast<int>(close));
        struct sigaction hang_up {};
        sigaction(SIGHUP, nullptr, &hang_up);
        // Started to ignore hang-ups (nohup), the tests keep ignoring them.
        if (close == Close::kHangUp && hang_up.sa_handler == SIG_IGN) continue;
        EXPECT_FALSE(WindowClosePending());
        ASSERT_TRUE(PushKey(id, SDL_KEYDOWN, SDL_SCANCODE_Z, SDLK_z));
        ASSERT_TRUE(PushWindowEvent(id, SDL_WINDOWEVENT_FOCUS_LOST));
        EXPECT_FALSE(WindowClosePending()) << "a key and a focus change are no close";
        if (close == Close::kQuit) {
            SDL_Event event{};
            event.type = SDL_QUIT;
            ASSERT_EQ(SDL_PushEvent(&event), 1);
        } else if (close == Close::kHangUp) {
            // Unhandled, it would end the test program. Its quit request
            // joins the queue at the next pump.
            ASSERT_NE(hang_up.sa_handler, SIG_DFL);
            ASSERT_EQ(std::raise(SIGHUP), 0);
            SDL_PumpEvents();
        } else {
            ASSERT_TRUE(PushWindowEvent(id, SDL_WINDOWEVENT_CLOSE));
        }
        ASSERT_TRUE(PushKey(id, SDL_KEYUP, SDL_SCANCODE_Z, SDLK_z));
        EXPECT_TRUE(WindowClosePending());
        EXPECT_TRUE(WindowClosePending()) << "looking took it out";
        std::vector<uint32_t> taken;
        Message message;
        while (PeekWindowMessage(&message, 0, true))
            taken.push_back(message.message);
        EXPECT_EQ(taken,
                  (std::vector<uint32_t>{msg::kKeyDown, msg::kActivate, msg::kActivateApp, msg::kClose, msg::kKeyUp}));
        EXPECT_FALSE(WindowClosePending());
    }
    DestroyAppWindow(window);
    UnregisterWindowClass("SdlPending");
}

// Dropped files become one message; dropped text is not taken. SDL's copies
// of both are freed: the second of two drops leaves SDL holding no more than
// the first did (the first may leave its queue grown).
TEST_F(SdlBackend, ADropOfFilesBecomesOneMessageAndEveryDroppedTextIsFreed) {
    WindowHandle window = 0;
    OpenSmallWindow("SdlDrop", &window);
    if (HasFatalFailure()) return;
    const Uint32 id = SDL_GetWindowID(static_cast<SDL_Window*>(NativeWindowOf(window)));
    int allocations = 0;
    for (int round = 0; round < 2; ++round) {
        allocations = SDL_GetNumAllocations();
        ASSERT_TRUE(PushDrop(id, SDL_DROPBEGIN, nullptr));
        ASSERT_TRUE(PushDrop(id, SDL_DROPTEXT, "dropped text"));
        ASSERT_TRUE(PushDrop(id, SDL_DROPFILE, "/tmp/\xE3\x81\x82.txt"));
        ASSERT_TRUE(PushDrop(id, SDL_DROPCOMPLETE, nullptr));
        std::vector<std::string> files;
        Message message;
        while (PeekWindowMessage(&message, 0, true)) {
            if (message.message == msg::kDropFiles) files = TakeDroppedFiles(message.wparam);
        }
        EXPECT_EQ(files, std::vector<std::string>{"/tmp/\x82\xA0.txt"});
    }
    EXPECT_EQ(SDL_GetNumAllocations(), allocations);
    DestroyAppWindow(window);
    UnregisterWindowClass("SdlDrop");
}

// What only the window system's pump brings (here an interrupt from the
// terminal, which SDL turns into a quit request when it pumps) still arrives
// on the first look after a wait of a millisecond, as message processing
// makes between its passes, and closes the window like its close box.
TEST_F(SdlBackend, AnInterruptArrivesOnTheFirstLookAfterAMillisecondsWait) {
    WindowHandle window = 0;
    OpenSmallWindow("SdlInterrupt", &window);
    if (HasFatalFailure()) return;
    Message message;
    struct sigaction current {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &current), 0);
    if (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN) {
        DestroyAppWindow(window);
        UnregisterWindowClass("SdlInterrupt");
        GTEST_SKIP() << "SDL does not catch interrupts in this process";
    }
    for (int round = 0; round < 3; ++round) {
        // A look right before, so that the one after the wait is not the
        // first in a long while.
        EXPECT_FALSE(PeekWindowMessage(&message, 0, false));
        ASSERT_EQ(raise(SIGINT), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(PeekWindowMessage(&message, 0, true)) << round;
        EXPECT_EQ(message.message, msg::kClose) << round;
        EXPECT_EQ(message.window, window) << round;
    }
    DispatchWindowMessage(message);
    EXPECT_FALSE(IsAppWindow(window));
    UnregisterWindowClass("SdlInterrupt");
}

}  // namespace
}  // namespace velk::platform
