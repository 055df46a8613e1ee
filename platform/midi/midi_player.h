#pragma once
// The stand-in for the outside MIDI player library: Standard MIDI Files kept
// under list numbers and played, looping, by a General MIDI synthesiser
// (FluidSynth with a soundfont) whose output is mixed into the sound device
// as one more source. Its calls are the library's: read a list, delete it,
// play, stop, master volume (-2500 silent to 0 full) and tempo depth.
// Every call is safe from the game thread while the device mixes.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio_mixer.h"
#include "platform/midi/midi_file.h"

namespace velk::platform {

class MidiSynth;

// Where a General MIDI soundfont is looked for, in order.
std::vector<std::string> DefaultSoundFontPaths();

class MidiPlayer final : public AudioSource {
public:
    // Attaches a player to the mixers when a file of the list is a
    // soundfont; null with `failure` saying what was missing when none is.
    // The synthesiser itself, and the plug-in with FluidSynth's libraries,
    // is made with the first soundfont that loads on the first Play.
    static std::unique_ptr<MidiPlayer> Open(const std::vector<std::string>& soundFonts, std::string* failure);
    ~MidiPlayer() override;
    MidiPlayer(const MidiPlayer&) = delete;
    MidiPlayer& operator=(const MidiPlayer&) = delete;

    // Keeps a copy of the file under the list number (replacing what was
    // there). 0, or -1 when the bytes are not a whole Standard MIDI File.
    int32_t ReadList(const void* data, int32_t size, int32_t option, int32_t list);
    void DeleteList(int32_t list);
    // Starts the list's piece from `startMs`, looping; whatever played stops.
    // 0, or -1 when the list holds nothing or the synthesiser could not be
    // made (Failure() then says why). The option is accepted as given.
    int32_t Play(int32_t option, int32_t list, int32_t startMs);
    // Stops the piece and silences every note at once.
    void Stop();
    // -2500 (silent) to 0 (full), linear in between; clamped.
    void MasterVolume(int32_t volume);
    // The tempo in the sound state's terms: d below 0 plays at (d + 200) / 2
    // percent, d of 0 or more at 100 + 2d percent of the piece's own tempo.
    void TempoDepth(int32_t depth);

    bool Playing() const;
    // Whether the synthesiser has been made (by a play).
    bool SynthLoaded() const;
    // Why the synthesiser could not be made ("" while nothing failed).
    std::string Failure() const;
    int32_t Volume() const;
    double TempoFactor() const;

    void MixInto(int32_t* accumulator, uint32_t frames, uint32_t rate) override;

private:
    explicit MidiPlayer(std::vector<std::string> soundFonts);
    bool SynthReadyLocked();
    void StopLocked();

    mutable std::mutex mutex_;
    std::vector<std::string> soundFonts_;
    std::unique_ptr<MidiSynth> synth_;
    std::string failure_;
    std::map<int32_t, std::vector<uint8_t>> lists_;
    bool playing_ = false;
    int32_t volume_ = 0;
    double tempo_ = 1.0;
    std::vector<float> left_;
    std::vector<float> right_;
};

}  // namespace velk::platform
