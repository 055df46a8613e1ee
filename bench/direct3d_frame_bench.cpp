// The frame of screen_frame_bench (clear, 20 full-screen alpha layers, 300
// 32 x 32 alpha sprites, present) drawn once through the software path and
// once through the Direct3D path on OpenGL (Mesa's software rasterizer when
// no GPU is there), both in this run. `x_software` on the Direct3D row is
// its frame time over the software frame's: below 1 the hardware path is
// faster. Without an OpenGL context the Direct3D row is skipped.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/system/graphics_system.h"
#include "lib/image/graph_image.h"
#include "platform/base/debug_output.h"
#include "platform/direct3d/gl_backend.h"
#include "platform/display/display_mode.h"
#include "platform/window/single_instance.h"

namespace velk {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

int MakeAlphaGraph(int width, int height, int seed) {
    GraphImage image;
    CreateARGB32GraphImage(width, height, &image);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.pixels + static_cast<size_t>(y) * image.pitch);
        for (int x = 0; x < width; ++x) {
            const uint32_t alpha = static_cast<uint32_t>((x * 7 + y * 3 + seed) % 256);
            row[x] = (alpha << 24) | (static_cast<uint32_t>(x * 255 / width) << 16) |
                     (static_cast<uint32_t>(y * 255 / height) << 8) | static_cast<uint32_t>(seed * 40 % 256);
        }
    }
    const int graph = CreateGraphFromGraphImage(&image, nullptr, 1, 0, 0);
    ReleaseGraphImage(&image);
    return graph;
}

struct Scene {
    int sprite = -1;
    std::vector<int> layers;
    std::vector<std::pair<int, int>> positions;
};

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
bool SetUp(bool hardware, Scene* scene) {
    TearDown();
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SetLogOutputFlag(0);
    platform::SetDebugOutputEnabled(false);
    platform::SetInstanceLockFolder("/tmp");
    MainWindowState().window_mode = 1;
    CreateMainWindow();
    SetScreenModeBody(kWidth, kHeight, 32, -1);
    if (!hardware) SetSoftRenderRequest(1);
    InitGraphicsSystem();
    g_started = true;
    if (hardware != Host().Direct3DReady()) return false;
    SetDrawScreen(kBackScreen);
    SetFlipVSyncWaitFlag(0);
    *scene = Scene{};
    scene->sprite = MakeAlphaGraph(32, 32, 1);
    for (int i = 0; i < 20; ++i) scene->layers.push_back(MakeAlphaGraph(kWidth, kHeight, i + 2));
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i)
        scene->positions.emplace_back(static_cast<int>(random() % (kWidth - 32)),
                                      static_cast<int>(random() % (kHeight - 32)));
    return true;
}

void DrawFrame(const Scene& scene) {
    ClearDrawScreen();
    for (const int layer : scene.layers) DrawGraph(0, 0, layer, 1);
    for (const auto& [x, y] : scene.positions) DrawGraph(x, y, scene.sprite, 1);
    FlipScreenBody();
}

double BestFrame(benchmark::State& state, const Scene& scene) {
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        DrawFrame(scene);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double g_software_seconds = 0;

void BM_SoftwareFrame(benchmark::State& state) {
    Scene scene;
    if (!SetUp(false, &scene)) {
        state.SkipWithError("software rendering did not start");
        return;
    }
    g_software_seconds = BestFrame(state, scene);
    state.counters["frame_ms"] = g_software_seconds * 1000.0;
}
BENCHMARK(BM_SoftwareFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_Direct3DFrame(benchmark::State& state) {
    Scene scene;
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
