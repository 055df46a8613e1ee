#pragma once
// The library on a real display (an X server such as Xvfb) for one test:
// SDL's X11 video with the software renderer, the SDL window back-end and
// display output with the presented frames kept for reading, run in
// `folder` (the current folder and the single-instance lock's). Ended, it
// puts back the headless fakes and settings the other tests run on.

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "lib/core/window/window_state.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/base/debug_output.h"
#include "platform/display/display_output.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"

namespace velk::testing {

// Whether DISPLAY names a display to test on.
inline bool HasRealDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

class RealDisplay {
public:
    explicit RealDisplay(const std::filesystem::path& folder) : previous_folder_(std::filesystem::current_path()) {
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_RENDER_DRIVER", "software", 1);
        platform::SetDebugOutputEnabled(false);
        std::filesystem::current_path(folder);
        platform::SetInstanceLockFolder(folder.string());
        platform::SetWindowBackend(platform::CreateSdlWindowBackend());
        platform::SetDisplayOutput(platform::CreateSdlDisplayOutput());
        platform::SetCapturePresentedFrames(true);
        ResetWindowState();
        ResetScreenState();
    }
    ~RealDisplay() {
        platform::SetCapturePresentedFrames(false);
        platform::SetDisplayOutput(nullptr);
        platform::SetWindowBackend(std::make_unique<platform::ManualWindowBackend>());
        ResetWindowState();
        ResetScreenState();
        platform::SetInstanceLockFolder("");
        std::filesystem::current_path(previous_folder_);
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("SDL_RENDER_DRIVER");
    }
    RealDisplay(const RealDisplay&) = delete;
    RealDisplay& operator=(const RealDisplay&) = delete;

private:
    std::filesystem::path previous_folder_;
};

}  // namespace velk::testing
