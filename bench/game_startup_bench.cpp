// The sample game as a player starts it: the time from the process's start
// to the first drawn frame, split into the library's start-up (whose fixed
// waits are the library's own: the window's timer check, the message pump,
// the display-mode pause, the frame-time measurement) and the runtime's own
// part (folders, fonts, Game.dat, Game.ini, databases, the title/reset block
// and the first frame), with their ratio; then the resident memory after 600
// frames.
//
// Runs headless on SDL's dummy drivers unless the environment chooses others.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "game/shell/game_program.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point g_process_start = Clock::now();

const bool g_headless = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// The sample game's folder, written from its description in the source tree
// (VELK_SOURCE_DIR, else three folders above build/<kind>/bench/).
bool WriteSampleGame(const std::filesystem::path& folder) {
    const char* source = std::getenv("VELK_SOURCE_DIR");
    std::filesystem::path root = source != nullptr
                                     ? std::filesystem::path(source)
                                     : std::filesystem::read_symlink("/proc/self/exe").parent_path() / ".." / ".." / "..";
    std::ifstream in(root / "samples" / "sample-game" / "game.txt", std::ios::binary);
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto game = velk::gamedata::ParseGameDescription(text);
    return game && velk::gamedata::WriteGameFolder(*game, folder);
}

// Must run first in the process: nothing of the library has been started.
void BM_ProcessStartToFirstDrawnFrame(benchmark::State& state) {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "velk-game-startup-bench";
    std::filesystem::remove_all(folder);
    if (!WriteSampleGame(folder)) {
        state.SkipWithError("the sample game could not be written");
        return;
    }
    std::filesystem::current_path(folder);
    for (auto _ : state) {
        velk::RegisterLibraryParts();
        const Clock::time_point start = Clock::now();
        velk::GameProgram program("");
        if (program.StartUp()) {
            state.SkipWithError("the game did not start");
            return;
        }
        while (program.GetScene().DrawnFrames() == 0) program.Step();
        const double total = MillisecondsSince(g_process_start);
        const double library = static_cast<double>(program.LibraryStartMicroseconds()) / 1000.0;
        const double before_main = total - MillisecondsSince(start);
        const double runtime = total - before_main - library;
        state.counters["process_start_to_first_frame_ms"] = total;
        state.counters["library_start_ms"] = library;
        state.counters["runtime_own_ms"] = runtime;
        state.counters["runtime_to_library_ratio"] = runtime / library;

        // 600 frames without the pacing's sleeps: memory, not time.
        velk::SetShellWaitFunction([](int) {});
        for (int frame = 0; frame < 600; ++frame) program.Step();
        velk::SetShellWaitFunction(nullptr);
        state.counters["resident_mb_after_600_frames"] = ResidentMegabytes();
        program.Home().gameSystem.sceneState = velk::kSceneQuit;
        while (program.Step()) {
        }
    }
    std::filesystem::current_path(folder.parent_path());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ProcessStartToFirstDrawnFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
