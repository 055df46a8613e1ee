// The player's own cost of standing still: the sample game started as a
// player starts it, left idle on its map, and timed frame by frame with the
// present included (the display surfaces or the window's bitmap, and the
// output to SDL). Reported as processor time per frame (every thread of the
// process) and as a multiple of one plain copy of a 640 x 480 32-bit frame
// timed in the same run (`x_frame_copy`), and the resident memory after the
// frames with its peak.
//
// The 2D path by default (no hardware drawing); VELK_BENCH_SOFT=1 plays in
// software mode, as the game's SoftModeFlag asks. Headless on SDL's dummy
// drivers unless the environment chooses others.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "game/shell/game_program.h"
#include "lib/api/library_api.h"
#include "platform/window/single_instance.h"

namespace {

const bool g_headless = velk::bench::UseHeadlessDrivers(/*without_3d=*/true);

constexpr int kWarmFrames = 60;
constexpr int kTimedFrames = 300;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A figure of /proc/self/status in megabytes (VmRSS now, VmHWM its peak).
double StatusMegabytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) return std::strtod(line.c_str() + length, nullptr) / 1024.0;
    }
    return 0.0;
}

// A copy of the sample game as the build made it (data, art and sounds),
// three folders above build/<kind>/bench/.
bool CopySampleGame(const std::filesystem::path& folder, bool software) {
    const std::filesystem::path built =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / ".." / "sample-game";
    std::error_code error;
    std::filesystem::copy(built, folder, std::filesystem::copy_options::recursive, error);
    if (error || !std::filesystem::exists(folder / "Game.dat")) return false;
    if (!software) return true;
    // The game's settings ask for software mode.
    std::ifstream ini_in(folder / "Game.ini", std::ios::binary);
    std::string ini((std::istreambuf_iterator<char>(ini_in)), std::istreambuf_iterator<char>());
    ini_in.close();
    const std::string flag = "SoftModeFlag=";
    const size_t at = ini.find(flag);
    if (at == std::string::npos) {
        ini = flag + "1\r\n" + ini;
    } else {
        ini[at + flag.size()] = '1';
    }
    std::ofstream(folder / "Game.ini", std::ios::binary) << ini;
    return true;
}

void BM_IdleMapFrame(benchmark::State& state) {
    const bool software = velk::bench::BenchSoftwareMode();
    std::filesystem::path folder = velk::bench::ScratchFolder("velk-idle-map-frame-bench");
    std::filesystem::remove_all(folder);
    if (!CopySampleGame(folder, software)) {
        state.SkipWithError("the sample game could not be written");
        return;
    }
    std::filesystem::current_path(folder);
    // A player of another game on this machine must not stop this one.
    velk::platform::SetInstanceLockFolder(folder.string());
    constexpr size_t kFrameBytes = 640u * 480u * 4u;
    std::vector<uint8_t> from(kFrameBytes, 1), to(kFrameBytes, 2);
    const double copy_seconds = velk::bench::SecondsPerCall([&] {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::DoNotOptimize(to.data());
    });
    for (auto _ : state) {
        velk::RegisterLibraryParts();
        velk::GameProgram program("");
        if (const auto ended = program.StartUp()) {
            state.SkipWithError(("the game did not start: " + std::to_string(*ended)).c_str());
            return;
        }
        // Paced as the game paces itself: only drawn frames count, and the
        // processor time of every thread (sound mixing too) is shared out
        // over them.
        velk::Scene& scene = program.GetScene();
        while (scene.DrawnFrames() < kWarmFrames)
            program.Step();
        const int64_t first = scene.DrawnFrames();
        const double cpu_start = ProcessCpuSeconds();
        while (scene.DrawnFrames() < first + kTimedFrames)
            program.Step();
        const double frame_seconds =
            (ProcessCpuSeconds() - cpu_start) / static_cast<double>(scene.DrawnFrames() - first);
        state.counters["software_mode"] = software ? 1 : 0;
        state.counters["cpu_ms_per_frame"] = frame_seconds * 1000.0;
        state.counters["frame_copy_ms"] = copy_seconds * 1000.0;
        state.counters["x_frame_copy"] = frame_seconds / copy_seconds;
        state.counters["core_share_at_60fps_pct"] = frame_seconds * 60.0 * 100.0;
        state.counters["resident_mb"] = StatusMegabytes("VmRSS:");
        state.counters["peak_resident_mb"] = StatusMegabytes("VmHWM:");
        program.Home().gameSystem.sceneState = velk::kSceneQuit;
        while (program.Step()) {
        }
    }
    std::filesystem::current_path(folder.parent_path());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IdleMapFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
