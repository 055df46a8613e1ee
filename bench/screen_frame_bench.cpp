// One software-mode frame as a game draws it: clear the 640 x 480 screen,
// draw 300 32 x 32 sprites with alpha and 20 full-screen layers with alpha,
// and present it into the window (SDL, dummy video driver unless one is
// set). Reported per frame in milliseconds, in frames per second, and as a
// ratio to one memcpy of a 640 x 480 32-bit frame measured in the same run
// (`x_memcpy`: how many such copies one frame costs).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/graph_image.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/system/graphics_system.h"
#include "platform/base/debug_output.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"

namespace velk {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// An ARGB image with a colour ramp and an alpha that varies over it.
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
    const int graph = CreateGraphFromGraphImage(&image, nullptr, 0, 0, 0);
    ReleaseGraphImage(&image);
    return graph;
}

struct Scene {
    int sprite = -1;
    std::vector<int> layers;
    std::vector<std::pair<int, int>> positions;
};

Scene& SetUpOnce() {
    static Scene scene;
    static bool ready = false;
    if (ready) return scene;
    ready = true;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SetLogOutputFlag(0);
    platform::SetDebugOutputEnabled(false);
    platform::SetInstanceLockFolder("/tmp");
    MainWindowState().window_mode = 1;
    CreateMainWindow();
    SetScreenModeBody(kWidth, kHeight, 32, -1);
    SetSoftRenderRequest(1);
    InitGraphicsSystem();
    SetDrawScreen(kBackScreen);
    SetFlipVSyncWaitFlag(0);
    scene.sprite = MakeAlphaGraph(32, 32, 1);
    for (int i = 0; i < 20; ++i) scene.layers.push_back(MakeAlphaGraph(kWidth, kHeight, i + 2));
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i)
        scene.positions.emplace_back(static_cast<int>(random() % (kWidth - 32)),
                                     static_cast<int>(random() % (kHeight - 32)));
    return scene;
}

void DrawFrame(const Scene& scene) {
    ClearDrawScreen();
    for (const int layer : scene.layers) DrawGraph(0, 0, layer, 1);
    for (const auto& [x, y] : scene.positions) DrawGraph(x, y, scene.sprite, 1);
    FlipScreenBody();
}

double SecondsPerMemcpy() {
    std::vector<uint8_t> from(kWidth * kHeight * 4, 1);
    std::vector<uint8_t> to(kWidth * kHeight * 4);
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
    const Scene& scene = SetUpOnce();
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        DrawFrame(scene);
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
