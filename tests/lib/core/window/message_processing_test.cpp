#include <gtest/gtest.h>

#include <vector>

#include "lib/core/library.h"
#include "tests/lib/core/window/window_fixture.h"

namespace velk {
namespace {

namespace msg = platform::msg;

class MessageProcessingTest : public WindowTest {
protected:
    void SetUp() override {
        CreateWindowed();
        ProcessMessagesBody();  // whatever creation left queued
        sleeps = 0;
        WindowSoundServices sound;
        sound.refill_all_stream_sounds = [this] {
            ++refills;
            if (on_refill) on_refill();
            return 0;
        };
        // A message the window procedure hands to the sound side: lets the
        // test see when each queued message is dispatched.
        sound.handle_midi_mci_notify = [this] {
            refills_at_dispatch.push_back(refills);
            return 0;
        };
        SetWindowSoundServices(sound);
    }

    void PostNotify(int count) {
        for (int i = 0; i < count; ++i) platform::PostWindowMessage(window(), msg::kMciNotify, 0, 0);
    }

    int refills = 0;
    std::function<void()> on_refill;
    std::vector<int> refills_at_dispatch;
};

TEST_F(MessageProcessingTest, SixMessagesGoInTwoBatches) {
    // Inactive, so the background pumps run between passes and mark where a
    // batch ended; the activation at the end lets the call return.
    MainWindowState().active = 0;
    PostNotify(6);
    platform::PostWindowMessage(window(), msg::kActivateApp, 1, 0);
    EXPECT_EQ(ProcessMessagesBody(), 0);
    EXPECT_EQ(refills_at_dispatch, (std::vector<int>{0, 0, 0, 0, 0, 1}));
    // One background pass, then the per-frame refill.
    EXPECT_EQ(refills, 2);
    EXPECT_EQ(GetWindowActiveFlag(), 1);
}

TEST_F(MessageProcessingTest, AnActiveWindowDispatchesEverythingAndReturns) {
    PostNotify(6);
    EXPECT_EQ(ProcessMessagesBody(), 0);
    EXPECT_EQ(refills_at_dispatch.size(), 6u);
    EXPECT_EQ(refills, 1);
    EXPECT_EQ(sleeps, 0);
    EXPECT_EQ(ProcessMessagesBody(), 0);  // nothing queued: one idle pass
    EXPECT_EQ(refills, 2);
}

TEST_F(MessageProcessingTest, AnInactiveWindowBlocksUntilReactivatedWhileThePumpsRun) {
    MainWindowState().active = 0;
    int http_passes = 0;
    WindowNetworkServices network;
    network.process_http_requests = [&] {
        ++http_passes;
        return 0;
    };
    SetWindowNetworkServices(network);
    on_refill = [&] {
        if (refills == 3) platform::PostWindowMessage(window(), msg::kActivateApp, 1, 0);
    };
    EXPECT_EQ(ProcessMessagesBody(), 0);
    EXPECT_EQ(GetWindowActiveFlag(), 1);
    EXPECT_EQ(refills, 4);  // three background passes and the frame's
    EXPECT_EQ(http_passes, 3);
    EXPECT_GE(sleeps, 6);  // it slept instead of spinning
}

TEST_F(MessageProcessingTest, AlwaysRunReturnsAfterOnePass) {
    MainWindowState().active = 0;
    SetAlwaysRunFlag(1);
    EXPECT_EQ(ProcessMessagesBody(), 0);
    EXPECT_EQ(refills, 1);
    EXPECT_EQ(sleeps, 0);
    EXPECT_EQ(GetWindowActiveFlag(), 0);
}

TEST_F(MessageProcessingTest, AfterTheQuitMessageEveryCallReportsTheEnd) {
    RegisterMessageProcessingBody();
    EXPECT_EQ(ProcessMessages(), 0) << "the registered body, with nothing queued";
    platform::PostQuit(0);
    EXPECT_EQ(ProcessMessages(), -1);
    EXPECT_EQ(ProcessMessagesBody(), -1);
    EXPECT_EQ(ProcessMessagesBody(), -1);
    EXPECT_EQ(GetWindowCloseFlag(), 1);
    SetLibraryLifeBodies({});
}

TEST_F(MessageProcessingTest, TheCloseBoxEndsTheProgram) {
    platform::WindowEvent close;
    close.kind = platform::WindowEvent::Kind::kCloseRequested;
    backend.Inject(close);
    EXPECT_EQ(ProcessMessagesBody(), -1);
    EXPECT_EQ(MainWindowState().ending_state, 4);
    EXPECT_FALSE(platform::IsAppWindow(window()));
    EXPECT_EQ(ProcessMessagesBody(), -1);
    EXPECT_EQ(EndMainWindow(), 0);
}

TEST_F(MessageProcessingTest, TheFramePumpsRunInOrderAndTheEditingStepCannotReenter) {
    std::vector<std::string> order;
    WindowSoundServices sound;
    sound.refill_all_stream_sounds = [&] { order.push_back("refill"); return 0; };
    sound.update_midi_play_state = [&] { order.push_back("midi"); return 0; };
    SetWindowSoundServices(sound);
    WindowInputServices input;
    input.poll_input = [&] { order.push_back("input"); };
    SetWindowInputServices(input);
    WindowNetworkServices network;
    network.process_network_messages = [&](int flag) { order.push_back("network" + std::to_string(flag)); return 0; };
    network.process_used_http_requests = [&] { order.push_back("http"); };
    SetWindowNetworkServices(network);
    int nested = 0;
    WindowTextInputServices text;
    text.process_key_input = [&] {
        order.push_back("keys");
        nested = ProcessMessagesBody();  // a wait inside the editing step
        return 0;
    };
    SetWindowTextInputServices(text);
    ProcessMessagesBody();
    EXPECT_EQ(order, (std::vector<std::string>{"refill", "midi", "input", "network1", "http", "keys"}));
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(MainWindowState().reentry_guard, 0);
}

TEST_F(MessageProcessingTest, WaitWhileInactiveSleepsBetweenPasses) {
    // Full screen with always-run: message processing itself returns at once.
    MainWindowState().window_mode = 0;
    MainWindowState().active = 0;
    SetAlwaysRunFlag(1);
    int refreshed = 0;
    WindowGraphicsServices graphics;
    graphics.refresh_all_graph_surface = [&] { return ++refreshed; };
    SetWindowGraphicsServices(graphics);
    on_refill = [&] {
        if (refills == 50) MainWindowState().active = 1;
    };
    WaitWhileInactive();
    EXPECT_EQ(refills, 50);
    EXPECT_GE(sleeps, 49);
    EXPECT_EQ(refreshed, 1);

    // In window mode always-run does not wait at all.
    MainWindowState().window_mode = 1;
    MainWindowState().active = 0;
    WaitWhileInactive();
    EXPECT_EQ(refills, 50);
}

TEST_F(MessageProcessingTest, ChangeWindowModeSwitchesStylesAndWaitsForTheDisplay) {
    EXPECT_EQ(ChangeWindowMode(1), 0);  // already in window mode
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(GetWindowModeFlag(), 0);
    EXPECT_EQ(platform::GetWindowStyle(window()), kFullScreenStyle | platform::kStyleVisible);
    EXPECT_EQ(platform::GetWindowRectangle(window()), (Rect{0, 0, 640, 480}));
    EXPECT_FALSE(backend.cursor_visible());
    EXPECT_EQ(MainWindowState().display_changed, 1);
    EXPECT_EQ(MainWindowState().mode_changing, 0);
    EXPECT_LT(sleeps, 10);

    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_TRUE(backend.cursor_visible());
    EXPECT_EQ(platform::GetClientArea(window()), (Rect{0, 0, 640, 480}));
}

TEST_F(MessageProcessingTest, TheWaitForTheDisplayIsBounded) {
    WindowGraphicsServices graphics;
    graphics.change_display_mode = [](int, int, int, int, int) { return -7; };  // no message ever comes
    SetWindowGraphicsServices(graphics);
    const int32_t start = platform::Milliseconds31();
    EXPECT_EQ(ChangeWindowMode(0), -7);
    EXPECT_GE(platform::ElapsedMilliseconds31(start, platform::Milliseconds31()), kDisplayChangeWaitMilliseconds);
    EXPECT_EQ(MainWindowState().mode_changing, 0);
}

TEST_F(MessageProcessingTest, ChangingTheModeBeforeTheWindowOnlyStoresIt) {
    EndMainWindow();
    ResetWindowState();
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_EQ(GetWindowModeFlag(), 1);
    EXPECT_EQ(MainWindowState().style_applied, 1);
}

}  // namespace
}  // namespace velk
