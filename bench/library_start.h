#pragma once
// The library as the game benchmarks start it: software mode, 640 x 480 at
// the depth the run asks for, windowed, in a scratch game folder.

#include <filesystem>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "lib/api/library_api.h"

namespace velk::bench {

// False, with the benchmark skipped, when the library does not start.
inline bool StartLibrary(benchmark::State& state, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "Data");
    std::filesystem::current_path(folder);
    RegisterLibraryParts();
    SetLogOutputFlag(0);
    SetScreenMode(640, 480, BenchScreenBits(), 60);
    ChangeWindowMode(1);
    SetUseHardwareRenderFlag(0);
    if (InitLibrary() == 0) return true;
    state.SkipWithError("the library did not start");
    return false;
}

}  // namespace velk::bench
