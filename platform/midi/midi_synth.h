#pragma once
// The General MIDI synthesiser behind the MIDI player: FluidSynth with a
// soundfont, built as a plug-in (velk-fluidsynth-midi.so) that the player
// loads on its first play, so that a game without MIDI music never maps
// FluidSynth and the libraries it stands on.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velk::platform {

// One synthesiser with its soundfont loaded. Not thread-safe: the player
// calls it under its own lock.
class MidiSynth {
public:
    virtual ~MidiSynth() = default;
    // Plays the whole Standard MIDI File from `startTick`, looping, at
    // `tempo` times its own tempo; whatever played stops. False when the
    // synthesiser refuses the file.
    virtual bool Play(std::span<const uint8_t> file, double tempo, int64_t startTick) = 0;
    // Stops the piece and silences every note at once.
    virtual void Stop() = 0;
    virtual void SetTempo(double tempo) = 0;
    // `frames` samples of each channel at `rate`, overwriting both buffers.
    virtual void Render(float* left, float* right, uint32_t frames, uint32_t rate) = 0;
};

// A synthesiser with the first of `soundFonts` that loads, or null with
// `failure` saying why. Loads the plug-in on the first call and keeps it.
std::unique_ptr<MidiSynth> MakeMidiSynth(const std::vector<std::string>& soundFonts, std::string* failure);

// What is said when none of the soundfonts can be used.
inline std::string MissingSoundFontMessage(const std::vector<std::string>& soundFonts) {
    std::string failure = "no General MIDI soundfont:";
    for (const std::string& path : soundFonts)
        failure += " " + path;
    return failure;
}

// The plug-in's one entry point: a synthesiser the caller owns (delete it),
// or null with the reason in `failure`.
using MidiSynthMakeFunction = MidiSynth* (*)(const std::vector<std::string>& soundFonts, std::string* failure);
inline constexpr char kMidiSynthMakeSymbol[] = "VelkFluidSynthMake";

}  // namespace velk::platform
