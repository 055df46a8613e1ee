// Speed of loading a map, reported as a ratio measured in the same run:
//   MapLoad: `vs_read` is the time to read a 500 x 500 map with 1,000 events
//   (one page each of 12 commands and a route; scrambled with three streams)
//   into its in-memory form, divided by the time to read the same file into
//   memory through the same file access (1 = no cost beyond the reading).
//   MapLoadPlain: the same map stored unscrambled (all seeds 0), which leaves
//   the parsing alone against the reading.
//   `unscramble_ms` is the container's share of a load: unscrambling the
//   file in memory.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "game/data/data_container.h"
#include "game/data/game_file_source.h"
#include "game/map/map_data.h"
#include "tools/gamedata/game_folder_writer.h"
#include "tools/gamedata/map_writer.h"

namespace velk {
namespace {

constexpr int32_t kSize = 500;
constexpr int kEvents = 1000;
constexpr int kCommandsPerPage = 12;

gamedata::MapDescription BenchMap(bool scrambled) {
    gamedata::MapDescription map;
    if (scrambled) map.seeds = {91, 17, 230};
    map.name = "bench";
    map.width = map.height = kSize;
    map.SizeLayers();
    for (int layer = 0; layer < 3; ++layer) {
        for (size_t cell = 0; cell < map.layers[layer].size(); ++cell) {
            map.layers[layer][cell] = layer == 0 ? static_cast<int32_t>(cell % 64) : 100000 + 100000 * (cell % 3);
        }
    }
    for (int i = 0; i < kEvents; ++i) {
        gamedata::MapEventDescription& event = map.events.emplace_back();
        event.id = kEvents - i;
        event.name = "event" + std::to_string(i);
        event.x = i % kSize;
        event.y = i / kSize;
        gamedata::PageDescription& page = event.pages.emplace_back();
        page.graphicFile = "character.png";
        page.route.commands.resize(4);
        for (int c = 0; c < kCommandsPerPage; ++c) {
            EventCommand& command = page.commands.emplace_back();
            command.arguments = {101 + c, c, 2000000 + c};
            if (c % 3 == 0) command.strings = {"A line of text for message number " + std::to_string(c)};
        }
    }
    return map;
}

// A game folder holding the map, made the current directory.
struct Folder {
    std::filesystem::path root;
    Folder() {
        root = velk::bench::ScratchFolder("velk-map-bench");
        if (!gamedata::WriteFileBytes(root / "Data" / "Bench.mps", gamedata::WriteMapFile(BenchMap(true)), nullptr) ||
            !gamedata::WriteFileBytes(root / "Data" / "Plain.mps", gamedata::WriteMapFile(BenchMap(false)), nullptr)) {
            std::abort();
        }
        std::filesystem::current_path(root);
    }
    ~Folder() { std::filesystem::remove_all(root); }
};

void TimeLoad(benchmark::State& state, const std::string& name) {
    static Folder folder;
    size_t bytes = 0;
    MapData map;
    auto load = [&] {
        if (!map.Read(name)) std::abort();
        benchmark::DoNotOptimize(map.events.data());
    };
    auto read = [&] {
        auto data = ReadGameFile("Data\\" + name);
        if (!data) std::abort();
        bytes = data->size();
        benchmark::DoNotOptimize(data->data());
    };
    // The container's share: unscrambling a copy of the file, less the copy.
    const std::vector<uint8_t> stored = *ReadGameFile("Data\\" + name);
    std::vector<uint8_t> copy(stored.size());
    auto unscramble = [&] {
        std::memcpy(copy.data(), stored.data(), stored.size());
        UnscrambleContainer(copy, kMapFileLayout);
        benchmark::DoNotOptimize(copy.data());
    };
    auto copyOnly = [&] {
        std::memcpy(copy.data(), stored.data(), stored.size());
        benchmark::DoNotOptimize(copy.data());
    };
    for (auto _ : state) {
        const std::vector<double> best = bench::BestSecondsPerCall({load, read, unscramble, copyOnly});
        state.counters["vs_read"] = best[0] / best[1];
        state.counters["load_ms"] = best[0] * 1e3;
        state.counters["unscramble_ms"] = (best[2] - best[3]) * 1e3;
    }
    if (map.events.size() != kEvents || map.events.front().id != 1 || map.header.width != kSize) std::abort();
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
void MapLoad(benchmark::State& state) { TimeLoad(state, "Bench.mps"); }
void MapLoadPlain(benchmark::State& state) { TimeLoad(state, "Plain.mps"); }
BENCHMARK(MapLoad)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(MapLoadPlain)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velk
