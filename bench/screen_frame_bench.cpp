// One software-mode frame as a game draws it: clear the 640 x 480 screen,
// draw 300 32 x 32 sprites with alpha and 20 full-screen layers with alpha,
// and present it into the window (SDL, dummy video driver unless one is
// set). Reported per frame in milliseconds, in frames per second, and as a
// ratio to one memcpy of a 640 x 480 32-bit frame measured in the same run
// (`x_memcpy`: how many such copies one frame costs). The screen is 32-bit,
// or 16-bit with VELK_BENCH_BITS=16.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/frame_scene.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/system/graphics_system.h"
#include "platform/base/debug_output.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"

namespace velk {
namespace {

using bench::FrameScene;
using bench::kFrameHeight;
using bench::kFrameWidth;

FrameScene& SetUpOnce() {
    static FrameScene scene;
    static bool ready = false;
    if (ready) return scene;
    ready = true;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SetLogOutputFlag(0);
    platform::SetDebugOutputEnabled(false);
    platform::SetInstanceLockFolder("/tmp");
    MainWindowState().window_mode = 1;
    CreateMainWindow();
    SetScreenModeBody(kFrameWidth, kFrameHeight, bench::BenchScreenBits(), -1);
    SetSoftRenderRequest(1);
    InitGraphicsSystem();
    SetDrawScreen(kBackScreen);
    SetFlipVSyncWaitFlag(0);
    scene = bench::MakeFrameScene(0);
    return scene;
}

double SecondsPerMemcpy() {
    std::vector<uint8_t> from(kFrameWidth * kFrameHeight * 4, 1);
    std::vector<uint8_t> to(kFrameWidth * kFrameHeight * 4);
    double best = 1e9;
    for (int round = 0; round < 20; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 50; ++i) {
            std::memcpy(to.data(), from.data(), to.size());
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 50);
    }
    return best;
}

void BM_SoftwareFrame(benchmark::State& state) {
    const FrameScene& scene = SetUpOnce();
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bench::DrawFrame(scene);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const double memcpy_seconds = SecondsPerMemcpy();
    state.counters["frame_ms"] = best * 1000.0;
    state.counters["fps"] = 1.0 / best;
    state.counters["x_memcpy"] = best / memcpy_seconds;
}
BENCHMARK(BM_SoftwareFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace velk
