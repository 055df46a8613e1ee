#include "lib/api/library_startup.h"

#include <filesystem>

#include "lib/core/files/archive_reader.h"
#include "lib/core/files/file_access.h"
#include "lib/core/input/device_input.h"
#include "lib/core/input/key_input.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/core/network/network_layer.h"
#include "lib/core/screen_log.h"
#include "lib/api/graphics_start_steps.h"
#include "lib/api/start_options.h"
#include "lib/api/startup_log_texts.h"
#include "lib/api/system_report.h"
#include "lib/api/warm_up_draws.h"
#include "lib/core/system_information.h"
#include "lib/core/window/main_window.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_data.h"
#include "lib/image/graph_image_handles.h"
#include "lib/sound/sound.h"
#include "platform/display/display_mode.h"

namespace velk {

namespace {

constexpr int kRefusedColorBits = 24;

// The parts a start-up has begun, so that a failure takes down exactly
// those. A part counts as begun just before its start is called: each end
// step copes with a part that failed half-way.
struct StartedParts {
    bool com = false;
    bool window = false;
    bool input = false;
    bool sound = false;
    bool graphics = false;
};

struct LifeState {
    StartedParts started;
    bool ending = false;
    bool com_initialized = false;
    std::string start_directory;
};

LifeState& Life() {
    static LifeState state;
    return state;
}

// The log lives in the folder the program was started in.
void CreateStartLog() {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (!error) SetLogStartDirectory(here.string());
    CreateLogFile();
}

// A 24-bit desktop cannot show a window, and a 24-bit screen is not one the
// graphics can make.
bool ColorDepthRefused() {
    const bool desktop_24 = platform::DesktopDisplayMode().bits == kRefusedColorBits;
    return (desktop_24 && GetWindowModeFlag() != 0) || GraphicsSteps().requested_color_bits() == kRefusedColorBits;
}

// In the shut-down's order; the screen saver and the cursor come back with
// the window's end.
void TakeDownStartedParts() {
    StartedParts& started = Life().started;
    if (started.graphics) GraphicsSteps().end();
    if (started.input) TerminateInput();
    if (started.sound) EndDirectSound();
    if (started.window) EndMainWindow();
    if (started.com) EndCom();
    started = StartedParts{};
}

int FailStartUp() {
    TakeDownStartedParts();
    SetLibraryStarting(false);
    return -1;
}

void PrepareFileAccessAndLog() {
    ClearArchiveState();
    InstallFileAccessFunctions(nullptr);
    FileAccessGetDir(&Life().start_directory);
    CreateStartLog();
}

// Starts the window and the devices; false when the start-up cannot go on.
bool StartWindowAndDevices() {
    StartedParts& started = Life().started;
    started.com = true;
    if (InitCom() != 0) return false;
    started.window = true;
    if (CreateMainWindow() != 0) return false;
    ClearHttpRequests();
    started.input = true;
    InitInput();
    // Without a sound device the program runs silent.
    started.sound = true;
    InitDirectSound();
    return true;
}

bool StartGraphics(const LibraryStartOptions& options) {
    const GraphicsStartSteps& graphics = GraphicsSteps();
    graphics.apply_start_options(options);
    if (options.no_graphics != 0) return true;
    Life().started.graphics = true;
    return graphics.start() >= 0;
}

void PrepareFirstFrame(const LibraryStartOptions& options) {
    if (GetWindowModeFlag() == 0) ForceForegroundWindow(GetMainWindowHWND(), 1);
    InitScreenLog();
    if (options.no_graphics != 0) return;
    SetDrawScreen(kBackScreen);
    SetDrawScreen(kFrontScreen);
    RunWarmUpDraws();
}

}  // namespace

int InitLibraryBody() {
    if (IsLibraryInitialized()) return 0;
    SetLibraryStarting(true);
    Life().started = StartedParts{};
    const GraphicsStartSteps& graphics = GraphicsSteps();
    const LibraryStartOptions options = GetLibraryStartOptions();

    if (graphics.soft_render_requested() != 0) graphics.set_use_hardware_render(0);
    PrepareFileAccessAndLog();
    if (ColorDepthRefused()) {
        // Nothing was started, so nothing is taken down; the starting flag
        // stays as the refusal found it, and the caller ends the program.
        WriteLog(startup_log_text::kNo24BitColor);
        return -1;
    }
    LogSystemInfo();
    if (GetSystemInfoBlock().os_code == kOsCodeWindowsVista) graphics.set_temp_primary(1);
    SetGraphRestoreCallback(nullptr);

    if (!StartWindowAndDevices()) return FailStartUp();
    if (!StartGraphics(options)) return FailStartUp();
    InitCharBuffer();

    SetLibraryInitialized(true);
    SetFlipVSyncWaitFlag(1);
    PrepareFirstFrame(options);
    SetLibraryStarting(false);
    return 0;
}

int EndLibraryBody() {
    LifeState& life = Life();
    if (!IsLibraryInitialized()) {
        if (IsLibraryStarting()) FailStartUp();
        return 0;
    }
    // A fatal error met during the shut-down comes back here.
    if (life.ending) return 0;
    life.ending = true;

    EndScreenLog();
    EndHttpRequests();
    EndNetWork();
    StopCurrentMusic();
    if (life.started.graphics) GraphicsSteps().end();
    TerminateInput();
    EndDirectSound();
    EndMainWindow();
    EndCom();
    DeleteAllGraphImageHandles();
    life.started = StartedParts{};

    // The window's end has let its messages through up to the quit message.
    SetLibraryInitialized(false);
    FileAccessChDir(life.start_directory);
    EndArchives();
    DumpMemoryBlocks();
    life.ending = false;
    return 0;
}

int InitCom() {
    LifeState& life = Life();
    if (life.com_initialized) return -1;
    // Nothing here needs COM; its start is kept for the log's sake.
    WriteLog(startup_log_text::kComStart);
    WriteLog(startup_log_text::kComStarted);
    life.com_initialized = true;
    return 0;
}

int EndCom() {
    LifeState& life = Life();
    if (!life.com_initialized) return 0;
    WriteLog(startup_log_text::kComEnded);
    life.com_initialized = false;
    return 0;
}

const std::string& LibraryStartDirectory() { return Life().start_directory; }

}  // namespace velk
