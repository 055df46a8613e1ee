// The frame of screen_frame_bench (clear, 20 full-screen alpha layers, 300
// 32 x 32 alpha sprites, present) drawn once through the software path and
// once through the Direct3D path on OpenGL (Mesa's software rasterizer when
// no GPU is there), both in this run. `x_software` on the Direct3D row is
// its frame time over the software frame's: below 1 the hardware path is
// faster. Without an OpenGL context the Direct3D row is skipped.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "bench/frame_scene.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/system/graphics_system.h"
#include "platform/base/debug_output.h"
#include "platform/direct3d/d3d_device.h"
#include "platform/direct3d/gl_backend.h"
#include "platform/display/display_mode.h"
#include "platform/window/single_instance.h"

namespace velk {
namespace {

using bench::FrameScene;

bool g_started = false;

void TearDown() {
    if (!g_started) return;
    TermGraphicsSystem();
    EndMainWindow();
    ResetWindowState();
    ResetScreenState();
    platform::ResetDisplayForTests();
    g_started = false;
}

// false when the path asked for cannot be had.
bool SetUp(bool hardware, FrameScene* scene) {
    TearDown();
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SetLogOutputFlag(0);
    platform::SetDebugOutputEnabled(false);
    platform::SetInstanceLockFolder("/tmp");
    MainWindowState().window_mode = 1;
    CreateMainWindow();
    SetScreenModeBody(bench::kFrameWidth, bench::kFrameHeight, 32, -1);
    if (!hardware) SetSoftRenderRequest(1);
    // The OpenGL back-end even where it is a software rasterizer, which the
    // player itself would pass over.
    platform::SetDirect3DBackendFactory(
        hardware ? platform::D3dBackendFactory([] { return platform::SharedGlBackend(); }) : nullptr);
    InitGraphicsSystem();
    g_started = true;
    if (hardware != Host().Direct3DReady()) return false;
    SetDrawScreen(kBackScreen);
    SetFlipVSyncWaitFlag(0);
    *scene = bench::MakeFrameScene(1);
    return true;
}

double BestFrame(benchmark::State& state, const FrameScene& scene) {
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bench::DrawFrame(scene);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double g_software_seconds = 0;

void BM_SoftwareFrame(benchmark::State& state) {
    FrameScene scene;
    if (!SetUp(false, &scene)) {
        state.SkipWithError("software rendering did not start");
        return;
    }
    g_software_seconds = BestFrame(state, scene);
    state.counters["frame_ms"] = g_software_seconds * 1000.0;
}
BENCHMARK(BM_SoftwareFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_Direct3DFrame(benchmark::State& state) {
    FrameScene scene;
    if (!platform::SharedGlBackend() || !SetUp(true, &scene)) {
        state.SkipWithError("no OpenGL context: the Direct3D path is not there");
        TearDown();
        return;
    }
    const double seconds = BestFrame(state, scene);
    state.counters["frame_ms"] = seconds * 1000.0;
    if (g_software_seconds > 0) state.counters["x_software"] = seconds / g_software_seconds;
    TearDown();
}
BENCHMARK(BM_Direct3DFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace velk
