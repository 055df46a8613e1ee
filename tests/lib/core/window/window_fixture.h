#pragma once
// A headless main window: a manual back-end with a 1920 by 1080 desktop and
// a visible frame, a manual clock that the library's idle sleeps step, the
// instance lock in a scratch folder, and every service at its default.

#include <gtest/gtest.h>

#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

namespace velk {

class WindowTest : public ::testing::Test {
protected:
    WindowTest() : installed_clock_(clock) {
        platform::SetDebugOutputEnabled(false);
        backend.SetDesktop(Rect{0, 0, 1920, 1080});
        backend.SetCaptionFrame({3, 26, 3, 3});
        platform::SetInstanceLockFolder(scratch.path().string());
        ResetServices();
        SetIdleSleepFunction([this](uint32_t milliseconds) {
            ++sleeps;
            clock.AdvanceMilliseconds(milliseconds);
        });
        ResetWindowState();
    }

    ~WindowTest() override {
        // The tests' hooks capture their locals, which are gone by now.
        ResetServices();
        if (MainWindowState().main_window != 0) EndMainWindow();
        ResetWindowState();
        SetIdleSleepFunction(nullptr);
        platform::SetInstanceLockFolder("");
    }

    static void ResetServices() {
        SetWindowGraphicsServices({});
        SetWindowSoundServices({});
        SetWindowInputServices({});
        SetWindowTextInputServices({});
        SetWindowNetworkServices({});
    }

    // A window in window mode at the given rate.
    void CreateWindowed(double rate = 1.0) {
        MainWindowState().window_mode = 1;
        MainWindowState().size_rate = rate;
        ASSERT_EQ(CreateMainWindow(), 0);
    }

    platform::WindowHandle window() const { return MainWindowState().main_window; }

    testing::ScratchDir scratch;
    platform::ManualClock clock;
    platform::ScopedClock installed_clock_;
    platform::ScopedManualWindowBackend scoped_backend;
    platform::ManualWindowBackend& backend = scoped_backend.backend();
    int sleeps = 0;
};

}  // namespace velk
