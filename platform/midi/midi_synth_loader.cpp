// MakeMidiSynth of the program: loads the FluidSynth plug-in on the first
// call and keeps it for the process. Where it is not found, or FluidSynth's
// libraries are missing, every call fails with the loader's reason.

#include <mutex>
#include <string>
#include <vector>

#include "platform/base/plugin_loader.h"
#include "platform/midi/midi_synth.h"

namespace velk::platform {

namespace {

PluginEntry LoadSynthPlugin() {
    constexpr PluginNames kNames{"velk-fluidsynth-midi.so", "MIDI", "MIDI synthesiser"};
#ifdef VELK_PLUGIN_PATH_VELK_FLUIDSYNTH_MIDI
    return LoadPlugin(kNames, VELK_PLUGIN_PATH_VELK_FLUIDSYNTH_MIDI, kMidiSynthMakeSymbol);
#else
    return LoadPlugin(kNames, nullptr, kMidiSynthMakeSymbol);
#endif
}

}  // namespace

std::unique_ptr<MidiSynth> MakeMidiSynth(const std::vector<std::string>& soundFonts, std::string* failure) {
    static std::once_flag once;
    static PluginEntry plugin;
    std::call_once(once, [] { plugin = LoadSynthPlugin(); });
    if (plugin.entry == nullptr) {
        *failure = plugin.problem;
        return nullptr;
    }
    const auto make = reinterpret_cast<MidiSynthMakeFunction>(plugin.entry);
    std::unique_ptr<MidiSynth> synth(make(soundFonts, failure));
    if (!synth && failure->empty()) *failure = "the MIDI synthesiser could not be made";
    return synth;
}

}  // namespace velk::platform
