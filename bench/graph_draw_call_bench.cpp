// The cost of a graph draw around its pixels: a map's frame of 450 small
// keyed cells (32 x 32 tiles and 16 x 16 auto-tile quarters, cut from one
// image as a game cuts its tilesets) drawn with DrawGraph, the same cells
// through DrawGraphScaled at their own size (as pictures are drawn), and a
// blended 2x stretch of them (a window's frame parts), each against a plain
// copy of the same pixel rows in the same run (`x_rows_copy`) and per call
// in nanoseconds.
//
// The 2D path (no hardware drawing) by default; VELK_BENCH_SOFT=1 switches
// to software mode after start-up as a game does. Headless on SDL's dummy
// drivers unless the environment chooses others.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "lib/api/library_api.h"
#include "lib/graphics/graph_table.h"

namespace {

const bool g_headless = velk::bench::UseHeadlessDrivers(/*without_3d=*/true);

constexpr int kCalls = 450;

struct Cell {
    int x;
    int y;
    int graph;
    int size;
};

void BM_GraphDrawCalls(benchmark::State& state) {
    const bool software = velk::bench::BenchSoftwareMode();
    const std::filesystem::path folder = velk::bench::ScratchFolder("velk_graph_draw_call_bench");
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    velk::RegisterLibraryParts();
    velk::SetLogOutputFlag(0);
    velk::SetScreenMode(640, 480, 32, 60);
    velk::ChangeWindowMode(1);
    if (velk::InitLibrary() != 0) {
        state.SkipWithError("the library did not start");
        return;
    }
    if (software) {
        velk::SetUse3DFlag(0);
        velk::SetUseHardwareRenderFlag(0);
    }
    velk::SetDrawScreen(velk::kBackScreen);
    velk::SetTransparentColor(254, 0, 254);
    // A 256 x 256 tileset: coloured squares on the key colour.
    velk::ClearDrawScreen();
    velk::DrawBox(0, 0, 256, 256, velk::GetColorValue(254, 0, 254), 1);
    for (int i = 0; i < 64; ++i) {
        const int x = (i % 8) * 32, y = (i / 8) * 32;
        velk::DrawBox(x + 2, y + 2, x + 30, y + 30, velk::GetColorValue(i * 4, 255 - i * 3, 90), 1);
    }
    velk::SaveDrawScreenToPNG(0, 0, 256, 256, "tiles.png", -1);
    const int whole = velk::LoadGraphFromFile("tiles.png", 1, 0, 0);
    if (whole == -1) {
        state.SkipWithError("the tileset did not load");
        return;
    }
    std::vector<Cell> cells;
    for (int i = 0; i < kCalls; ++i) {
        const int size = i % 3 == 0 ? 32 : 16;
        const int graph = velk::CreateDerivedGraph((i % 7) * 32, (i % 5) * 32, size, size, whole);
        cells.push_back(Cell{(i * 37) % 600, (i * 53) % 440, graph, size});
    }
    std::vector<uint8_t> from(256 * 256 * 4, 1), to(640 * 480 * 4, 2);

    const auto drawCells = [&] {
        velk::SetDrawBlendMode(0, 255);
        for (const Cell& c : cells)
            velk::DrawGraph(c.x, c.y, c.graph, 1);
    };
    const auto drawScaledSameSize = [&] {
        velk::SetDrawBlendMode(1, 255);
        for (const Cell& c : cells)
            velk::DrawGraphScaled(c.x, c.y, c.x + c.size, c.y + c.size, c.graph, 1);
    };
    const auto drawStretchedBlended = [&] {
        velk::SetDrawBlendMode(1, 200);
        for (const Cell& c : cells)
            velk::DrawGraphScaled(c.x, c.y, c.x + c.size * 2, c.y + c.size, c.graph, 1);
    };
    const auto copyRows = [&] {
        for (const Cell& c : cells) {
            for (int row = 0; row < c.size; ++row)
                std::memcpy(to.data() + (c.y + row) * 640 * 4 + c.x * 4, from.data() + row * 256 * 4,
                            static_cast<size_t>(c.size) * 4);
        }
        benchmark::DoNotOptimize(to.data());
    };
    for (auto _ : state) {
        const std::vector<double> best =
            velk::bench::BestSecondsPerCall({drawCells, drawScaledSameSize, drawStretchedBlended, copyRows});
        state.counters["software_mode"] = software ? 1 : 0;
        state.counters["cells_ns_per_call"] = best[0] * 1e9 / kCalls;
        state.counters["scaled_ns_per_call"] = best[1] * 1e9 / kCalls;
        state.counters["stretched_ns_per_call"] = best[2] * 1e9 / kCalls;
        state.counters["cells_x_rows_copy"] = best[0] / best[3];
        state.counters["scaled_x_rows_copy"] = best[1] / best[3];
        state.counters["stretched_x_rows_copy"] = best[2] / best[3];
    }
    velk::SetDrawBlendMode(0, 255);
    velk::EndLibrary();
    std::filesystem::current_path(folder.parent_path());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_GraphDrawCalls)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
