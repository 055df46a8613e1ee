#pragma once
// The whole library started headless: a manual window back-end, a capturing
// display output, the manual sound output, a manual clock that the idle
// sleeps step, and the current folder moved into a fresh scratch folder, so
// that Log.txt and the start directory are the test's own.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/api/graphics_start_steps.h"
#include "lib/api/library_parts.h"
#include "lib/api/start_options.h"
#include "lib/core/system_information.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/audio/audio_faults.h"
#include "platform/audio/manual_audio.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_output.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

class StartupTest : public ::testing::Test {
protected:
    StartupTest() : installed_clock_(clock) {
        platform::SetDebugOutputEnabled(false);
        previous_folder_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path());
        platform::SetInstanceLockFolder(scratch.path().string());
        platform::ResetDisplayForTests();
        platform::ClearAudioFaults();
        backend.SetDesktop(Rect{0, 0, 1920, 1080});
        SetIdleSleepFunction([this](uint32_t milliseconds) { clock.AdvanceMilliseconds(milliseconds); });
        SetLogOutputFlag(1);
        ResetWindowState();
        ResetScreenState();
        ResetSystemInfoBlock();
        SetLibraryStartOptions(LibraryStartOptions{});
        RegisterLibraryParts();
        MainWindowState().window_mode = 1;
    }

    ~StartupTest() override {
        EndLibrary();
        SetLibraryStarting(false);  // a refused start leaves it set
        SetLibraryStartOptions(LibraryStartOptions{});
        ResetWindowState();
        ResetScreenState();
        SetIdleSleepFunction(nullptr);
        platform::ClearAudioFaults();
        platform::ResetDisplayForTests();
        platform::SetInstanceLockFolder("");
        SetLogStartDirectory("");
        std::filesystem::current_path(previous_folder_);
    }

    std::string LogBytes() const { return scratch.ReadFile("Log.txt"); }

    // The log's lines without their time prefixes and tabs; CR LF removed.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        const std::string bytes = LogBytes();
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find("\r\n", start);
            if (end == std::string::npos) end = bytes.size();
            std::string line = bytes.substr(start, end - start);
            const size_t colon = line.find(':');
            if (colon != std::string::npos) line.erase(0, colon + 1);
            line.erase(0, line.find_first_not_of('\t'));
            lines.push_back(line);
            start = end + 2;
        }
        return lines;
    }

    // The first line holding the text (its "\n" dropped), or -1.
    int LineOf(std::string text) const {
        if (!text.empty() && text.back() == '\n') text.pop_back();
        const std::vector<std::string> lines = LogLines();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
        }
        return -1;
    }

    ScratchDir scratch;
    platform::ManualClock clock{5000000};
    platform::ScopedClock installed_clock_;
    platform::ScopedManualWindowBackend scoped_backend;
    platform::ManualWindowBackend& backend = scoped_backend.backend();
    platform::ScopedCapturingDisplayOutput output;
    platform::ManualAudio audio;

private:
    std::filesystem::path previous_folder_;
};

}  // namespace velk::testing
