// MakeMidiSynth of the program: loads the FluidSynth plug-in on the first
// call and keeps it for the process. Where it is not found, or FluidSynth's
// libraries are missing, every call fails with the loader's reason.

#include <climits>
#include <mutex>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include "platform/midi/midi_synth.h"

namespace velk::platform {

namespace {

constexpr char kPluginFile[] = "velk-fluidsynth-midi.so";

struct Plugin {
    MidiSynthMakeFunction make = nullptr;
    std::string problem;
};

// The folder of the running program, with a closing slash ("" when unknown).
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    const std::string whole(path, static_cast<size_t>(length));
    const size_t slash = whole.rfind('/');
    return slash == std::string::npos ? "" : whole.substr(0, slash + 1);
}

Plugin LoadPlugin() {
    Plugin plugin;
    // Beside the program first, then where the build put it.
    std::vector<std::string> candidates = {ProgramFolder() + kPluginFile};
#ifdef VELK_PLUGIN_PATH_VELK_FLUIDSYNTH_MIDI
    candidates.emplace_back(VELK_PLUGIN_PATH_VELK_FLUIDSYNTH_MIDI);
#endif
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0) continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            plugin.problem = std::string("the MIDI synthesiser could not be loaded: ") + (why != nullptr ? why : path);
            return plugin;
        }
        plugin.make = reinterpret_cast<MidiSynthMakeFunction>(dlsym(handle, kMidiSynthMakeSymbol));
        if (plugin.make == nullptr) plugin.problem = "the MIDI plug-in " + path + " has no entry point";
        return plugin;
    }
    plugin.problem = std::string("the MIDI plug-in ") + kPluginFile + " was not found";
    return plugin;
}

}  // namespace

std::unique_ptr<MidiSynth> MakeMidiSynth(const std::vector<std::string>& soundFonts, std::string* failure) {
    static std::once_flag once;
    static Plugin plugin;
    std::call_once(once, [] { plugin = LoadPlugin(); });
    if (plugin.make == nullptr) {
        *failure = plugin.problem;
        return nullptr;
    }
    std::unique_ptr<MidiSynth> synth(plugin.make(soundFonts, failure));
    if (!synth && failure->empty()) *failure = "the MIDI synthesiser could not be made";
    return synth;
}

}  // namespace velk::platform
