// Library start-up as a player meets it: the time from the process's start to
// the first frame on the screen and the memory the started library holds,
// then repeated start-up and shut-down cycles in both render modes beside the
// main window's creation alone.
//
// A start-up holds fixed waits that the library keeps on purpose: the
// window's timer check (about 60 ms) and its 200 ms message pump, the pause
// before a display-mode change (60 ms, or until 2 s have passed since the
// last change, which is what paces the repeated cycles) and the four-frame
// measurement of the display's frame time. The first font also costs the
// font catalogue's first look-up.
//
// Runs headless on SDL's dummy drivers unless the environment chooses others.

#include <chrono>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/process_memory.h"
#include "lib/api/library_api.h"

namespace {

using Clock = std::chrono::steady_clock;
using velk::bench::MillisecondsSince;
using velk::bench::ResidentMegabytes;

// Taken while the program's globals are made: the process start, give or
// take the dynamic loader's work.
const Clock::time_point g_process_start = Clock::now();

const bool g_headless = velk::bench::UseHeadlessDrivers();

void PrepareLibrary(bool software) {
    velk::RegisterLibraryParts();
    velk::SetLogOutputFlag(0);
    velk::SetScreenMode(640, 480, 32, 60);
    velk::ChangeWindowMode(1);
    if (software) velk::SetUseHardwareRenderFlag(0);
}

// Start-up and the first flip of a cleared back screen; false when the
// library would not start.
bool StartAndShowFirstFrame() {
    if (velk::InitLibrary() != 0) return false;
    velk::SetDrawScreen(velk::kBackScreen);
    velk::ClearDrawScreen();
    velk::FlipScreen();
    return true;
}

// Must run first in the process: the library has never been started.
void BM_ProcessStartToFirstFlipSoftware(benchmark::State& state) {
    for (auto _ : state) {
        PrepareLibrary(true);
        const Clock::time_point start = Clock::now();
        if (!StartAndShowFirstFrame()) {
            state.SkipWithError("the library did not start");
            return;
        }
        state.counters["process_start_to_first_flip_ms"] = MillisecondsSince(g_process_start);
        state.counters["init_library_ms"] = MillisecondsSince(start);
        state.counters["resident_mb_after_start"] = ResidentMegabytes();
        velk::EndLibrary();
    }
}
BENCHMARK(BM_ProcessStartToFirstFlipSoftware)->Iterations(1)->Unit(benchmark::kMillisecond);

void StartUpAndEndCycles(benchmark::State& state, bool software) {
    for (auto _ : state) {
        PrepareLibrary(software);
        if (!StartAndShowFirstFrame()) {
            state.SkipWithError("the library did not start");
            return;
        }
        velk::EndLibrary();
    }
    state.counters["resident_mb"] = ResidentMegabytes();
}

void BM_StartUpFirstFlipAndEndSoftware(benchmark::State& state) { StartUpAndEndCycles(state, true); }
BENCHMARK(BM_StartUpFirstFlipAndEndSoftware)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_StartUpFirstFlipAndEndDirectDraw(benchmark::State& state) { StartUpAndEndCycles(state, false); }
BENCHMARK(BM_StartUpFirstFlipAndEndDirectDraw)->Iterations(5)->Unit(benchmark::kMillisecond);

// The window alone, for the share of a start-up it takes.
void BM_MainWindowCreateAndEnd(benchmark::State& state) {
    velk::SetLogOutputFlag(0);
    for (auto _ : state) {
        velk::ChangeWindowMode(1);
        if (velk::CreateMainWindow() != 0) {
            state.SkipWithError("no window");
            return;
        }
        velk::EndMainWindow();
    }
}
BENCHMARK(BM_MainWindowCreateAndEnd)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
