#include <gtest/gtest.h>

#include <string>

#include "lib/core/library.h"
#include "lib/core/window/window_procedure.h"
#include "platform/display/display_output.h"
#include "tests/lib/core/window/window_fixture.h"

namespace velk {
namespace {

namespace msg = platform::msg;
namespace vk = platform::vk;

class WindowProcedureTest : public WindowTest {
protected:
    void SetUp() override {
        CreateWindowed();
        WindowTextInputServices text;
        text.stock_input_char = [this](unsigned char byte) {
            stocked += static_cast<char>(byte);
            return 0;
        };
        text.char_buffer_full = [this] { return buffer_full; };
        SetWindowTextInputServices(text);
    }

    platform::MessageResult Send(uint32_t message, platform::WParam wparam = 0, platform::LParam lparam = 0) {
        return MainWindowProc(window(), message, wparam, lparam);
    }

    std::string stocked;
    bool buffer_full = false;
};

TEST_F(WindowProcedureTest, TypedCharactersReachTheBuffer) {
    for (int character : {13, 10, 9, 2, int{'a'}, 0x82, 0xA0, 1, 0x7F, 27}) Send(msg::kChar, character);
    EXPECT_EQ(stocked, std::string("\r\r\ta\x82\xA0\x01\x7F\x1B"));
}

TEST_F(WindowProcedureTest, EditingKeysBecomeControlCodesUnlessTheBufferIsFull) {
    for (uint32_t key : {vk::kDelete, vk::kLeft, vk::kRight, vk::kUp, vk::kDown, vk::kHome, vk::kEnd, vk::kPrior,
                         vk::kNext, vk::kLetterA}) {
        Send(msg::kKeyDown, key);
    }
    EXPECT_EQ(stocked, std::string("\x10\x1D\x1C\x1E\x1F\x1A\x19\x17\x15"));
    buffer_full = true;
    Send(msg::kKeyDown, vk::kLeft);
    EXPECT_EQ(stocked.size(), 9u);
}

TEST_F(WindowProcedureTest, WheelNotchesCountAndReadingResets) {
    Send(msg::kMouseWheel, static_cast<platform::WParam>(static_cast<uint16_t>(-120)) << 16);
    Send(msg::kMouseWheel, static_cast<platform::WParam>(120) << 16);
    Send(msg::kMouseWheel, static_cast<platform::WParam>(240) << 16);
    EXPECT_EQ(GetMouseWheelTurns(), 1);
    EXPECT_EQ(GetMouseWheelTurns(), 0);
}

TEST_F(WindowProcedureTest, DroppingManyFilesKeepsTheFirstThousand) {
    for (int i = 0; i < 1005; ++i) {
        platform::WindowEvent drop;
        drop.kind = platform::WindowEvent::Kind::kDropFile;
        drop.text = "/games/file" + std::to_string(i);
        backend.Inject(drop);
    }
    platform::WindowEvent complete;
    complete.kind = platform::WindowEvent::Kind::kDropComplete;
    backend.Inject(complete);
    ProcessMessagesBody();
    ASSERT_EQ(MainWindowState().dropped_files.size(), 1000u);
    EXPECT_EQ(MainWindowState().dropped_files[999], "/games/file999");
    FreeDroppedFileNames();
    EXPECT_TRUE(MainWindowState().dropped_files.empty());
}

TEST_F(WindowProcedureTest, ScreenSaverAndMonitorPowerAreRefused) {
    EXPECT_EQ(Send(msg::kSysCommand, platform::kSysCommandScreenSave), 1);
    EXPECT_EQ(Send(msg::kSysCommand, platform::kSysCommandMonitorPower | 2), 1);
    EXPECT_EQ(Send(msg::kSysCommand, 0xF020), 0);
}

TEST_F(WindowProcedureTest, ActivationPausesAndResumesMoviesAndReacquiresInput) {
    std::vector<std::string> calls;
    WindowSoundServices sound;
    sound.pause_all_movies = [&] { calls.push_back("pause"); return 0; };
    sound.resume_all_movies = [&] { calls.push_back("resume"); return 0; };
    SetWindowSoundServices(sound);
    WindowInputServices input;
    input.reacquire_input_devices = [&] { calls.push_back("reacquire"); };
    input.update_joypad_effects = [&] { calls.push_back("effects"); };
    SetWindowInputServices(input);
    WindowTextInputServices text;
    text.request_ime_reopen = [&] { calls.push_back("ime"); };
    SetWindowTextInputServices(text);

    Send(msg::kActivate, 0);
    EXPECT_EQ(GetWindowActiveFlag(), 0);
    Send(msg::kActivate, 1);
    EXPECT_EQ(GetWindowActiveFlag(), 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"pause", "reacquire", "effects", "ime", "resume", "reacquire",
                                               "effects"}));
    calls.clear();
    SetAlwaysRunFlag(1);
    Send(msg::kActivateApp, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"reacquire", "effects"}));
}

TEST_F(WindowProcedureTest, FullScreenDeactivationWithoutRestoreRoutineCloses) {
    MainWindowState().window_mode = 0;
    WindowGraphicsServices graphics;
    graphics.get_display_mode_changed_flag = [] { return 1; };
    graphics.has_direct_draw_object = [] { return true; };
    graphics.check_restore_graph_callback = [] { return 0; };
    SetWindowGraphicsServices(graphics);
    Send(msg::kActivate, 0);
    EXPECT_EQ(GetCloseRequestFlag(), 1);
    EXPECT_EQ(ProcessMessagesBody(), -1);
}

TEST_F(WindowProcedureTest, DisplayChanges) {
    int restored = 0;
    WindowGraphicsServices graphics;
    graphics.restore_graphics_system = [&] { return ++restored; };
    SetWindowGraphicsServices(graphics);
    // The same mode: nothing to rebuild.
    Send(msg::kDisplayChange, 32, platform::MakeLParam(640, 480));
    EXPECT_EQ(MainWindowState().display_changed, 1);
    EXPECT_EQ(restored, 0);
    // A larger desktop can be survived.
    MainWindowState().display_changed = 0;
    Send(msg::kDisplayChange, 32, platform::MakeLParam(1024, 768));
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(MainWindowState().display_changed, 1);
    // During a mode switch only the flag is set.
    MainWindowState().mode_changing = 1;
    Send(msg::kDisplayChange, 24, platform::MakeLParam(320, 200));
    EXPECT_EQ(GetCloseRequestFlag(), 0);
    MainWindowState().mode_changing = 0;
    // A 24-bit or too small screen closes the program.
    MainWindowState().display_changed = 0;
    Send(msg::kDisplayChange, 24, platform::MakeLParam(1024, 768));
    EXPECT_EQ(GetCloseRequestFlag(), 1);
    EXPECT_EQ(MainWindowState().display_changed, 0);
}

TEST_F(WindowProcedureTest, MovesFollowTheClientAreaAndTellTheFrontScreen) {
    std::vector<Rect> told;
    int draw_area_restored = 0;
    WindowGraphicsServices graphics;
    graphics.get_draw_screen = [] { return -4; };
    graphics.window_rect_moved = [&](const Rect& rect) { told.push_back(rect); };
    graphics.restore_draw_area = [&] { ++draw_area_restored; };
    SetWindowGraphicsServices(graphics);
    platform::MoveAppWindow(window(), Rect{97, 174, 97 + 646, 174 + 509});
    Rect client;
    GetWindowClientRect(&client);
    EXPECT_EQ(client, (Rect{100, 200, 740, 680}));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], client);
    EXPECT_EQ(draw_area_restored, 1);
}

TEST_F(WindowProcedureTest, BeforeStartUpPaintingShowsBlack) {
    platform::ScopedCapturingDisplayOutput output;
    int copies = 0;
    WindowGraphicsServices graphics;
    graphics.copy_back_buffer_to_window = [&](const Rect*) { return ++copies; };
    SetWindowGraphicsServices(graphics);
    platform::InvalidateWindow(window());
    ProcessMessagesBody();
    EXPECT_EQ(copies, 0);
    platform::PresentedFrame frame;
    ASSERT_TRUE(output.output().ReadPresentedPixels(window(), &frame));
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    for (int y : {0, 240, 479}) {
        for (int x : {0, 320, 639}) EXPECT_EQ(frame.at(x, y), 0u) << x << "," << y;
    }
}

TEST_F(WindowProcedureTest, PaintCopiesTheBackBufferWithoutWaitingForTheBlank) {
    std::vector<int> vsync_during_copy;
    int vsync = 1;
    WindowGraphicsServices graphics;
    graphics.get_flip_vsync_wait_flag = [&] { return vsync; };
    graphics.set_flip_vsync_wait_flag = [&](int flag) { vsync = flag; return 0; };
    graphics.copy_back_buffer_to_window = [&](const Rect* area) {
        vsync_during_copy.push_back(vsync);
        EXPECT_EQ(*area, (Rect{0, 0, 640, 480}));
        EXPECT_EQ(MainWindowState().inside_paint, 1);
        return 0;
    };
    SetWindowGraphicsServices(graphics);
    SetLibraryInitialized(true);
    platform::InvalidateWindow(window());
    ProcessMessagesBody();
    SetLibraryInitialized(false);
    EXPECT_EQ(vsync_during_copy, (std::vector<int>{0}));
    EXPECT_EQ(vsync, 1);
    EXPECT_EQ(MainWindowState().inside_paint, 0);
}

TEST_F(WindowProcedureTest, PrivateMessagesReachTheirParts) {
    std::vector<bool> f10;
    WindowInputServices input;
    input.set_f10_held = [&](bool held) { f10.push_back(held); };
    SetWindowInputServices(input);
    WindowNetworkServices network;
    network.handle_network_event = [](uint64_t, int64_t) { return int64_t{5}; };
    SetWindowNetworkServices(network);
    Send(msg::kF10Held, 1);
    Send(msg::kF10Held, 2);
    EXPECT_EQ(f10, (std::vector<bool>{true, false}));
    EXPECT_EQ(Send(msg::kNetworkEvent), 5);
}

}  // namespace
}  // namespace velk
