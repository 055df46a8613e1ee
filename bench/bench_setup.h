#pragma once
// How the benchmarks that start the library set up: headless on SDL's dummy
// drivers unless the environment chooses others, and in the render mode the
// environment asks for.

#include <cstdlib>
#include <cstring>

namespace velk::bench {

// Called while the program's globals are made, before anything starts SDL.
// `without_3d` also keeps the hardware 3D device off unless the environment
// says otherwise. Returns true, to initialise a global with.
inline bool UseHeadlessDrivers(bool without_3d = false) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (without_3d) {
        setenv("VELK_NO_3D", "1", 0);
    }
    return true;
}

// Whether the run asks for software mode (VELK_BENCH_SOFT=1) in place of the
// 2D path.
inline bool BenchSoftwareMode() {
    const char* soft = std::getenv("VELK_BENCH_SOFT");
    return soft != nullptr && std::strcmp(soft, "1") == 0;
}

}  // namespace velk::bench
