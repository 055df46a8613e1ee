#pragma once
// The program's plug-ins: shared objects that bring in large libraries
// (FFmpeg, FluidSynth) only when the game first needs them.

#include <string>

namespace velk::platform {

// What one plug-in's loading gave: its entry, or why there is none.
struct PluginEntry {
    void* entry = nullptr;
    std::string problem;
};

// The names a plug-in's failures are told by: "the <kind> plug-in … was not
// found", "the <libraries> could not be loaded: …".
struct PluginNames {
    const char* file;       // "velk-ffmpeg-movies.so"
    const char* kind;       // "movie"
    const char* libraries;  // "movie libraries"
};

// Opens the plug-in beside the program first, then at `build_path` (where
// the build put it; may be null), and looks up `symbol` in it. The plug-in
// stays loaded for the rest of the process.
PluginEntry LoadPlugin(const PluginNames& names, const char* build_path, const char* symbol);

}  // namespace velk::platform
