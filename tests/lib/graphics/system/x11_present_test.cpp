// The reference scene presented into a real X window: a screenshot of the
// window taken from the X server must equal the saved draw screen. Runs
// under an X display: the one in DISPLAY, or an Xvfb this test starts when
// the program is installed; skipped when neither is there.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/lib/graphics/system/graphics_fixture.h"

// Last: the X headers define short macros (None, Status) that clash with
// names in the headers above.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace velk::testing {
namespace {

// An Xvfb of our own for the life of the test; DISPLAY names it meanwhile.
class OwnXServer {
public:
    ~OwnXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!started_) return;
        if (previous_display_) {
            setenv("DISPLAY", previous_display_->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
    }

    bool Start() {
        if (!std::filesystem::exists("/usr/bin/Xvfb")) return false;
        // A display number no other server holds.
        int number = 90 + static_cast<int>(getpid() % 100);
        while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number))) ++number;
        const std::string display = ":" + std::to_string(number);
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        pid_ = fork();
        if (pid_ == 0) {
            // The server goes with this test process, however it ends.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            execl("/usr/bin/Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!std::filesystem::exists(socket)) return false;
        if (const char* previous = std::getenv("DISPLAY")) previous_display_ = previous;
        started_ = true;
        setenv("DISPLAY", display.c_str(), 1);
        return true;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
    std::optional<std::string> previous_display_;
};

// The library on the X display for one test, with the settings it needs;
// however the test ends, the graphics and the main window are ended and the
// settings put back for the tests after it.
class X11Session {
public:
    explicit X11Session(const std::filesystem::path& folder) {
        if (const char* driver = std::getenv("SDL_VIDEODRIVER")) previous_driver_ = driver;
        setenv("SDL_VIDEODRIVER", "x11", 1);
        // No signal catching by SDL (a time-out must end the test), and X
        // errors fail the test instead of ending the process.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        XSetErrorHandler([](::Display*, XErrorEvent* error) {
            ADD_FAILURE() << "X error " << static_cast<int>(error->error_code);
            return 0;
        });
        SetLogOutputFlag(0);
        platform::SetInstanceLockFolder(folder.string());
        platform::ResetDisplayForTests();
        ResetScreenState();
        ResetWindowState();
        platform::SetWindowBackend(nullptr);
        platform::SetDisplayOutput(nullptr);
        MainWindowState().window_mode = 1;
    }
    ~X11Session() {
        TermGraphicsSystem();
        EndMainWindow();
        ResetWindowState();
        ResetScreenState();
        platform::SetWindowBackend(nullptr);
        platform::SetDisplayOutput(nullptr);
        SetImageFileWriter(nullptr);
        platform::SetInstanceLockFolder("");
        SetLogOutputFlag(1);
        if (previous_driver_) {
            setenv("SDL_VIDEODRIVER", previous_driver_->c_str(), 1);
        } else {
            unsetenv("SDL_VIDEODRIVER");
        }
        XSetErrorHandler(nullptr);
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "");
    }
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

private:
    std::optional<std::string> previous_driver_;
};

struct X11Window {
    ::Display* display = nullptr;
    ::Window window = 0;
};

X11Window NativeX11Window(platform::WindowHandle handle) {
    auto* sdl_window = static_cast<SDL_Window*>(platform::NativeWindowOf(handle));
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (sdl_window == nullptr || !SDL_GetWindowWMInfo(sdl_window, &info) || info.subsystem != SDL_SYSWM_X11)
        return {};
    return X11Window{info.info.x11.display, info.info.x11.window};
}

TEST(X11PresentTest, AScreenshotOfTheWindowEqualsTheSavedDrawScreen) {
#if defined(__SANITIZE_ADDRESS__)
    // SDL's X11 video loads the GL driver, which keeps allocations for the
    // process's life and is unloaded before the leak check can name it.
    GTEST_SKIP() << "not under the address sanitizer";
#endif
    OwnXServer server;
    const char* display = std::getenv("DISPLAY");
    if ((display == nullptr || *display == '\0') && !server.Start()) GTEST_SKIP() << "no X display";
    ScratchDir scratch;
    X11Session session(scratch.path());
    // The software renderer: exact, and no GL driver state left behind.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SetImageFileWriter(WriteNativeFile);
    if (CreateMainWindow() != 0 || NativeX11Window(MainWindowState().main_window).display == nullptr)
        GTEST_SKIP() << "no X11 window could be made";
    for (const RenderMode mode : {RenderMode::kSoftware, RenderMode::kDirectDraw}) {
        SCOPED_TRACE(mode == RenderMode::kSoftware ? "software" : "directdraw");
        ResetScreenState();
        ASSERT_EQ(SetScreenModeBody(640, 480, 32, -1), 0);
        if (mode == RenderMode::kSoftware) SetSoftRenderRequest(1);
        ASSERT_EQ(InitGraphicsSystem(), 0);
        SetDrawScreen(kBackScreen);
        SetFlipVSyncWaitFlag(0);
        ASSERT_NO_FATAL_FAILURE(DrawReferenceScene(scratch.path().string()));
        const std::string saved = (scratch.path() / "screen.png").string();
        ASSERT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 2, 0, 0, -1), 0);

        // Shown, then shown again once the server has mapped the window.
        // The first present may make the window anew (for the renderer),
        // so the X window is looked up afterwards.
        for (int round = 0; round < 3; ++round) {
            FlipScreenBody();
            SDL_PumpEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        FlipScreenBody();
        const X11Window x11 = NativeX11Window(MainWindowState().main_window);
        ASSERT_NE(x11.display, nullptr);
        XSync(x11.display, False);
        // The screen under the window's client area, as a screenshot takes it.
        int screen_x = 0, screen_y = 0;
        ::Window child = 0;
        const ::Window root = DefaultRootWindow(x11.display);
        XTranslateCoordinates(x11.display, x11.window, root, 0, 0, &screen_x, &screen_y, &child);
        XImage* shot = XGetImage(x11.display, root, screen_x, screen_y, 640, 480, AllPlanes, ZPixmap);
        ASSERT_NE(shot, nullptr);
        int width = 0, height = 0;
        const std::vector<uint32_t> expected = ReadImagePixels(saved, &width, &height);
        size_t differing = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                differing += (XGetPixel(shot, x, y) & 0xFFFFFF) != expected[static_cast<size_t>(y) * 640 + x];
        XDestroyImage(shot);
        EXPECT_EQ(differing, 0u);
        TermGraphicsSystem();
    }
}

// The frames and checks of the test below, in the main window on X.
void ShowAFrameAndDrawTheNext() {
    ASSERT_EQ(SetScreenModeBody(640, 480, 32, -1), 0);
    SetUseDirectDrawFlagBody(0);
    ASSERT_EQ(InitGraphicsSystem(), 0);
    SetDrawScreen(kBackScreen);
    SetFlipVSyncWaitFlag(0);
    const auto inside = [](int x, int y, const Rect& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    const auto first = [&](int x, int y) { return inside(x, y, Rect{10, 10, 200, 100}) ? 0xFF0000u : 0x000040u; };
    const auto second = [&](int x, int y) { return inside(x, y, Rect{100, 50, 300, 200}) ? 0x0000FFu : 0x004000u; };
    const Rect repainted{150, 80, 400, 300};
    const auto after_repaint = [&](int x, int y) { return inside(x, y, repainted) ? second(x, y) : first(x, y); };
    SetBackgroundColor(0, 0, 64);
    ClearDrawScreen();
    DrawBox(10, 10, 200, 100, GetColorValue(255, 0, 0), 1);
    for (int round = 0; round < 3; ++round) {
        FlipScreenBody();
        SDL_PumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FlipScreenBody();
    platform::ShownRowsLayout layout;
    EXPECT_NE(platform::ActiveDisplayOutput().ShownRows(MainWindowState().main_window, &layout), nullptr)
        << "the frame went into the window surface";
    SetBackgroundColor(0, 64, 0);
    ClearDrawScreen();
    DrawBox(100, 50, 300, 200, GetColorValue(0, 0, 255), 1);
    ASSERT_EQ(CopyBackBufferToWindow(&repainted), 0);
    ASSERT_EQ(ReadWindowToFrontMemImg(), 0);
    const MEMIMG& front = Screen().primary_image;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            uint32_t value;
            std::memcpy(&value, MemImgPixelAddress(front, x, y), 4);
            ASSERT_EQ(value & 0xFFFFFF, after_repaint(x, y)) << "read back at " << x << "," << y;
        }
    }
    const X11Window x11 = NativeX11Window(MainWindowState().main_window);
    ASSERT_NE(x11.display, nullptr);
    XSync(x11.display, False);
    int screen_x = 0, screen_y = 0;
    ::Window child = 0;
    XTranslateCoordinates(x11.display, x11.window, DefaultRootWindow(x11.display), 0, 0, &screen_x, &screen_y, &child);
    XImage* shot =
        XGetImage(x11.display, DefaultRootWindow(x11.display), screen_x, screen_y, 640, 480, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    size_t differing = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            differing += (XGetPixel(shot, x, y) & 0xFFFFFF) != after_repaint(x, y);
    XDestroyImage(shot);
    EXPECT_EQ(differing, 0u);
}

// Without DirectDraw the window's picture is read from the X window's own
// surface, which holds the frame as shown: with the next frame drawn but not
// presented, the front screen reads back the frame on the screen, and a
// repaint of a part shows that part of the next frame over it.
TEST(X11PresentTest, WithoutDirectDrawTheWindowSurfaceHoldsTheFrameWhileTheNextIsDrawn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "not under the address sanitizer";
#endif
    // A display that answers (an earlier test's own server may be gone).
    OwnXServer server;
    ::Display* reachable = XOpenDisplay(nullptr);
    if (reachable != nullptr) {
        XCloseDisplay(reachable);
    } else if (!server.Start()) {
        GTEST_SKIP() << "no X display";
    }
    ScratchDir scratch;
    X11Session session(scratch.path());
    if (CreateMainWindow() != 0 || NativeX11Window(MainWindowState().main_window).display == nullptr)
        GTEST_SKIP() << "no X11 window could be made";
    ShowAFrameAndDrawTheNext();
}

}  // namespace
}  // namespace velk::testing
