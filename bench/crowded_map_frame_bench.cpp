// The cost of a frame on a crowded map: the sample game's village grown to
// 200 x 150 tiles (its 20 x 15 tiles repeated ten times each way) with its
// villager copied onto free tiles until the map holds 300, 3000 or 6000
// events, all strolling about by random moves. The opening is left out, so
// the villagers walk from the first frame while the hero stands. Frames run
// back to back (every wait moves a clock of the bench's own) and are timed
// as the main thread's processor time per frame, the present included (the
// best of five rounds of 120 frames).
//
// The figures: `ms_per_frame_<n>` for each number of events and
// `x_3000_to_300`, the cost of a frame with 3000 events as a multiple of one
// with 300 (10 for work that grows with the events, 100 with their square).
// Every run uses the same map and the same villagers on it.
//
// Headless on SDL's dummy drivers unless the environment chooses others.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <time.h>

#include "bench/bench_setup.h"
#include "bench/scratch_folder.h"
#include "game/shell/game_program.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"
#include "lib/core/window/window_services.h"
#include "platform/base/clock.h"
#include "platform/display/vertical_blank.h"
#include "platform/window/single_instance.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"
#include "tools/sampleart/sample_art.h"

namespace {

const bool g_headless = velk::bench::UseHeadlessDrivers(/*without_3d=*/true);

constexpr int32_t kRepeat = 10;
constexpr int kWarmFrames = 60;
constexpr int kRounds = 5;
constexpr int kRoundFrames = 120;
constexpr int32_t kEmptyCell = 100000;

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string SampleDescription() {
    std::ifstream in(std::filesystem::path(VELK_BENCH_SOURCE_DIR) / "samples" / "sample-game" / "game.txt",
                     std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The village grown and crowded to `events` events; false when the sample
// game's description does not hold what this needs.
bool CrowdTheVillage(velk::gamedata::GameDescription& game, size_t events) {
    if (game.maps.empty() || game.maps[0].events.empty() || !game.tilesets || game.tilesets->tilesets.empty()) {
        return false;
    }
    velk::gamedata::MapDescription& village = game.maps[0];
    const std::vector<int32_t>& flags = game.tilesets->tilesets[0].tileFlags;
    const int32_t width = village.width, height = village.height;
    velk::gamedata::MapDescription grown = village;
    grown.width = width * kRepeat;
    grown.height = height * kRepeat;
    grown.SizeLayers();
    std::vector<std::pair<int32_t, int32_t>> free;
    for (int32_t x = 0; x < grown.width; ++x) {
        for (int32_t y = 0; y < grown.height; ++y) {
            const size_t from = static_cast<size_t>(x % width) * height + static_cast<size_t>(y % height);
            const size_t to = static_cast<size_t>(x) * grown.height + static_cast<size_t>(y);
            for (int layer = 0; layer < 3; ++layer)
                grown.layers[layer][to] = village.layers[layer][from];
            // Open ground: a plain floor tile with nothing on it.
            const int32_t floor = village.layers[0][from];
            const bool open = floor >= 0 && floor < kEmptyCell && static_cast<size_t>(floor) + 8 < flags.size() &&
                              flags[static_cast<size_t>(floor) + 8] == 0 && village.layers[1][from] == kEmptyCell &&
                              village.layers[2][from] == kEmptyCell;
            const bool taken = std::any_of(village.events.begin(), village.events.end(),
                                           [&](const auto& event) { return event.x == x && event.y == y; });
            if (open && !taken) free.emplace_back(x, y);
        }
    }
    // The same villagers in every run.
    std::mt19937 random(12345);
    std::shuffle(free.begin(), free.end(), random);
    const velk::gamedata::MapEventDescription villager = village.events[0];
    int32_t id = 0;
    for (const auto& event : grown.events)
        id = std::max(id, event.id + 1);
    for (size_t i = 0; grown.events.size() < events && i < free.size(); ++i) {
        velk::gamedata::MapEventDescription& copy = grown.events.emplace_back(villager);
        copy.id = id++;
        copy.x = free[i].first;
        copy.y = free[i].second;
    }
    village = std::move(grown);
    // The opening (the common event that starts by itself) is only called.
    for (auto& common : game.commonEvents.events) {
        if ((common.trigger & 0x0F) == 1) common.trigger &= 0xF0;
    }
    return village.events.size() == events;
}

// Every wait moves a clock of the bench's own, so frames follow each other
// at once while the game sees its usual frame times.
class InstantWaits {
public:
    InstantWaits() {
        velk::SetShellWaitFunction([this](int milliseconds) { Advance(int64_t{milliseconds} * 1000); });
        velk::SetIdleSleepFunction([this](uint32_t milliseconds) { Advance(int64_t{milliseconds} * 1000); });
        velk::platform::SetVerticalBlankWaiter([this](int64_t until) { Advance(until - clock_.Microseconds()); });
    }
    ~InstantWaits() {
        velk::SetShellWaitFunction(nullptr);
        velk::SetIdleSleepFunction(nullptr);
        velk::platform::SetVerticalBlankWaiter(nullptr);
    }
    InstantWaits(const InstantWaits&) = delete;
    InstantWaits& operator=(const InstantWaits&) = delete;

private:
    void Advance(int64_t microseconds) { clock_.AdvanceMicroseconds(std::max<int64_t>(microseconds, 0)); }

    velk::platform::ManualClock clock_{5000000};
    velk::platform::ScopedClock installed_{clock_};
};

// The main thread's seconds per frame with the game of the current folder,
// whose map holds `events` events; 0 after an error.
double PlayedFrameSeconds(benchmark::State& state, size_t events) {
    InstantWaits waits;
    velk::RegisterLibraryParts();
    velk::GameProgram program("");
    if (program.StartUp()) {
        state.SkipWithError("the game did not start");
        return 0.0;
    }
    for (int frame = 0; frame < kWarmFrames; ++frame)
        program.Step();
    velk::GameHome& home = program.Home();
    const std::vector<velk::MapEvent>& shown = home.mapState.events;
    std::vector<std::pair<int32_t, int32_t>> cells;
    for (const velk::MapEvent& event : shown)
        cells.emplace_back(event.gridX, event.gridY);
    const int64_t drawn = program.GetScene().DrawnFrames();
    // The steadiest of a few rounds on a shared machine: the best.
    double seconds = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const double start = ThreadCpuSeconds();
        for (int frame = 0; frame < kRoundFrames; ++frame)
            program.Step();
        seconds = std::min(seconds, (ThreadCpuSeconds() - start) / kRoundFrames);
    }
    size_t walked = 0;
    for (size_t i = 0; i < shown.size() && i < cells.size(); ++i)
        walked += cells[i] != std::pair<int32_t, int32_t>(shown[i].gridX, shown[i].gridY);
    const bool played = shown.size() == events && !home.mainInterpreter.HasCommandList() && walked > events / 4 &&
                        program.GetScene().DrawnFrames() - drawn == kRounds * kRoundFrames;
    home.gameSystem.sceneState = velk::kSceneQuit;
    while (program.Step()) {
    }
    if (!played) {
        state.SkipWithError("the villagers did not walk, or frames were not drawn");
        return 0.0;
    }
    return seconds;
}

// Seconds of the main thread per frame with `events` events on the map.
double FrameSeconds(benchmark::State& state, size_t events) {
    const std::filesystem::path folder = velk::bench::ScratchFolder("velk-crowded-map-bench-" + std::to_string(events));
    std::filesystem::remove_all(folder);
    std::string error;
    std::optional<velk::gamedata::GameDescription> game =
        velk::gamedata::ParseGameDescription(SampleDescription(), &error);
    if (!game || !CrowdTheVillage(*game, events) || !velk::gamedata::WriteGameFolder(*game, folder, &error) ||
        !velk::sampleart::WriteSampleArt(folder.string(), &error)) {
        state.SkipWithError(("the crowded game could not be written: " + error).c_str());
        return 0.0;
    }
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    // A player of another game on this machine must not stop this one.
    velk::platform::SetInstanceLockFolder(folder.string());
    const double seconds = PlayedFrameSeconds(state, events);
    std::filesystem::current_path(before);
    std::filesystem::remove_all(folder);
    return seconds;
}

void BM_CrowdedMapFrame(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> seconds;
        for (size_t events : {300, 3000, 6000}) {
            seconds.push_back(FrameSeconds(state, events));
            state.counters["ms_per_frame_" + std::to_string(events)] = seconds.back() * 1000.0;
        }
        state.counters["x_3000_to_300"] = seconds[1] / seconds[0];
    }
}
BENCHMARK(BM_CrowdedMapFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
