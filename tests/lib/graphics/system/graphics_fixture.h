#pragma once
// The graphics brought up headless: a manual window back-end (1920 x 1080
// desktop), the main window in window mode, a capturing display output, a
// manual clock that idle sleeps and vertical-blank waits step, and the log
// off. Each test chooses the depth and the mode before StartGraphics.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/image/graph_image.h"
#include "lib/image/image_loader.h"
#include "lib/image/image_writer.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/graphics/system/graphics_system.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/direct3d/d3d_device.h"
#include "platform/direct3d/gl_backend.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_output.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

enum class RenderMode {
    kSoftware,      // software rendering, screens in software images, shown through the display
    kSoftwareGdi,   // software rendering with DirectDraw switched off, shown through GDI
    kDirectDraw,    // display surfaces drawn through the bridge
    kDirect3D,      // display surfaces drawn through the Direct3D stand-in on OpenGL
    kRecordedDirect3D,  // the Direct3D stand-in with a back-end that records its calls
};

bool WriteNativeFile(const char* file_name, std::span<const uint8_t> bytes);

class GraphicsTest : public ::testing::Test {
protected:
    GraphicsTest() : installed_clock_(clock) {
        platform::SetDebugOutputEnabled(false);
        SetLogOutputFlag(0);
        backend.SetDesktop(Rect{0, 0, 1920, 1080});
        platform::SetInstanceLockFolder(scratch.path().string());
        platform::ResetDisplayForTests();
        ResetScreenState();
        SetIdleSleepFunction([this](uint32_t milliseconds) { clock.AdvanceMilliseconds(milliseconds); });
        ResetWindowState();
        // Waits process messages through the library's entry, as in the program.
        RegisterMessageProcessingBody();
        SetGraphicsFatalHandler([](const char* message) { throw std::runtime_error(message); });
        // The tests save into their scratch folder by native path.
        SetImageFileWriter(WriteNativeFile);
        // Direct3D only where a test asks for it.
        platform::SetDirect3DBackendFactory([] { return std::shared_ptr<platform::D3dBackend>(); });
    }

    ~GraphicsTest() override {
        TermGraphicsSystem();
        if (MainWindowState().main_window != 0) EndMainWindow();
        ResetWindowState();
        ResetScreenState();
        SetIdleSleepFunction(nullptr);
        platform::SetInstanceLockFolder("");
        platform::ResetDisplayForTests();
        SetGraphicsFatalHandler(nullptr);
        SetImageFileWriter(nullptr);
        SetLibraryLifeBodies({});
        SetLogOutputFlag(1);
        platform::SetDirect3DBackendFactory(nullptr);
    }

    // window_mode 0 asks for full screen at the depth.
    void StartGraphics(RenderMode mode, int bits, int window_mode = 1) {
        if (mode == RenderMode::kDirect3D) {
            if (!platform::SharedGlBackend())
                GTEST_SKIP() << "no OpenGL context can be made here: " << platform::GlBackendProblem();
            platform::SetDirect3DBackendFactory([] { return platform::SharedGlBackend(); });
        }
        if (mode == RenderMode::kRecordedDirect3D)
            platform::SetDirect3DBackendFactory([this] { return std::shared_ptr<platform::D3dBackend>(recording); });
        MainWindowState().window_mode = window_mode;
        ASSERT_EQ(CreateMainWindow(), 0);
        ASSERT_EQ(SetScreenModeBody(640, 480, bits, -1), 0);
        if (mode == RenderMode::kSoftware) SetSoftRenderRequest(1);
        if (mode == RenderMode::kSoftwareGdi) SetUseDirectDrawFlagBody(0);
        ASSERT_EQ(InitGraphicsSystem(), 0);
        SetDrawScreen(kBackScreen);
    }

    platform::WindowHandle window() const { return MainWindowState().main_window; }

    // What the window shows now.
    platform::PresentedFrame Shown() {
        platform::PresentedFrame frame;
        EXPECT_TRUE(output.output().ReadPresentedPixels(window(), &frame));
        return frame;
    }

    std::string Path(const std::string& name) const { return (scratch.path() / name).string(); }

    ScratchDir scratch;
    std::shared_ptr<platform::RecordingD3dBackend> recording = std::make_shared<platform::RecordingD3dBackend>();
    platform::ManualClock clock{5000000};
    platform::ScopedClock installed_clock_;
    platform::ScopedManualWindowBackend scoped_backend;
    platform::ManualWindowBackend& backend = scoped_backend.backend();
    platform::ScopedCapturingDisplayOutput output;
};

// 0x00RRGGBB pixels of an image file, read back through the library's loader.
std::vector<uint32_t> ReadImagePixels(const std::string& path, int* width, int* height);
// A PNG written with libpng from RGBA bytes; without alpha the A bytes are dropped.
void WritePngRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba,
                  bool with_alpha = true);

// How many pixels differ; the first one's index in *first.
size_t CountDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, size_t* first = nullptr);
// A graph that can be drawn on.
int MakeDrawTarget(int width, int height);

// The scene of the golden pictures, drawn onto the current draw screen with
// its images written into the folder first.
void DrawReferenceScene(const std::string& folder);

}  // namespace velk::testing
