// The sample game as a player starts it: the time from the process's start
// to the first drawn frame, in phases: the shared libraries' loading, the
// static objects before main, the library's start-up and the runtime's own
// part (folders, fonts, Game.dat, Game.ini, databases, the title/reset block
// and the first frame). Apart from these, the fixed waits wherever they fall
// (the window's timer check, the message pump, the display-mode pause: every
// idle sleep; the frame-time measurement: every wait for the display's
// blank), which no work can shorten, and `work_ms`, all the rest. Each phase
// is also given as a ratio to the waits (`*_to_waits`). Then the resident
// memory after 600 frames, and its peak.
//
// Runs headless on SDL's dummy drivers unless the environment chooses others.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/process_memory.h"
#include "bench/scratch_folder.h"
#include "game/shell/game_program.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"
#include "lib/core/window/window_services.h"
#include "platform/base/clock.h"
#include "platform/display/vertical_blank.h"
#include "platform/window/single_instance.h"

namespace {

using Clock = std::chrono::steady_clock;
using velk::bench::MillisecondsSince;
using velk::bench::PeakResidentMegabytes;
using velk::bench::ResidentMegabytes;

const Clock::time_point g_process_start = Clock::now();

// How long the process ran before its static objects were made: the dynamic
// loader's work of mapping and binding the shared libraries. The kernel
// counts a process's start in ticks of 10 ms, so this is as coarse.
const double g_loading_ms = [] {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command's closing parenthesis; the start is the 22nd field.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 22 && fields >> field; ++i) {
    }
    unsigned long long start_ticks = 0;
    fields >> start_ticks;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double now_ms = static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    return now_ms - static_cast<double>(start_ticks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}();

const bool g_headless = velk::bench::UseHeadlessDrivers();

// A copy of the sample game as the build made it: its data and its art and
// sounds (without the sounds its music would stop the game in an error box).
bool CopySampleGame(const std::filesystem::path& folder) {
    const std::filesystem::path built =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / ".." / "sample-game";
    std::error_code error;
    std::filesystem::copy(built, folder, std::filesystem::copy_options::recursive, error);
    return !error && std::filesystem::exists(folder / "Game.dat");
}

// Must run first in the process: nothing of the library has been started.
void BM_ProcessStartToFirstDrawnFrame(benchmark::State& state) {
    std::filesystem::path folder = velk::bench::ScratchFolder("velk-game-startup-bench");
    std::filesystem::remove_all(folder);
    if (!CopySampleGame(folder)) {
        state.SkipWithError("the sample game could not be written");
        return;
    }
    std::filesystem::current_path(folder);
    // A player of another game on this machine must not stop this one.
    velk::platform::SetInstanceLockFolder(folder.string());
    // Every idle sleep sleeps as before and is counted.
    double waited_ms = 0.0;
    velk::SetIdleSleepFunction([&waited_ms](uint32_t milliseconds) {
        const Clock::time_point from = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        waited_ms += MillisecondsSince(from);
    });
    // So is every wait for the display's blank (the frame-time measurement).
    velk::platform::SetVerticalBlankWaiter([&waited_ms](int64_t until_us) {
        const Clock::time_point from = Clock::now();
        velk::platform::Clock& clock = velk::platform::ActiveClock();
        for (int64_t now = clock.Microseconds(); now < until_us; now = clock.Microseconds())
            std::this_thread::sleep_for(std::chrono::microseconds(until_us - now));
        waited_ms += MillisecondsSince(from);
    });
    for (auto _ : state) {
        velk::RegisterLibraryParts();
        const Clock::time_point start = Clock::now();
        velk::GameProgram program("");
        if (program.StartUp()) {
            state.SkipWithError("the game did not start");
            return;
        }
        while (program.GetScene().DrawnFrames() == 0)
            program.Step();
        const double total = MillisecondsSince(g_process_start) + g_loading_ms;
        const double library = static_cast<double>(program.LibraryStartMicroseconds()) / 1000.0;
        const double before_main = total - g_loading_ms - MillisecondsSince(start);
        const double runtime = total - g_loading_ms - before_main - library;
        const double waits = waited_ms;
        state.counters["process_start_to_first_frame_ms"] = total;
        state.counters["loading_ms"] = g_loading_ms;
        state.counters["before_main_ms"] = before_main;
        state.counters["library_start_ms"] = library;
        state.counters["runtime_own_ms"] = runtime;
        state.counters["waits_ms"] = waits;
        state.counters["work_ms"] = total - waits;
        state.counters["runtime_to_library_ratio"] = runtime / library;
        state.counters["total_to_waits"] = total / waits;
        state.counters["work_to_waits"] = (total - waits) / waits;
        state.counters["loading_to_waits"] = g_loading_ms / waits;
        state.counters["library_start_to_waits"] = library / waits;
        state.counters["runtime_own_to_waits"] = runtime / waits;

        // 600 frames without the pacing's sleeps: memory, not time.
        velk::SetShellWaitFunction([](int) {});
        for (int frame = 0; frame < 600; ++frame)
            program.Step();
        velk::SetShellWaitFunction(nullptr);
        state.counters["resident_mb_after_600_frames"] = ResidentMegabytes();
        state.counters["peak_resident_mb"] = PeakResidentMegabytes();
        program.Home().gameSystem.sceneState = velk::kSceneQuit;
        while (program.Step()) {
        }
    }
    std::filesystem::current_path(folder.parent_path());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ProcessStartToFirstDrawnFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
