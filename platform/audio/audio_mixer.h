#pragma once
// The mixer behind every sound buffer: sums the playing buffers, each resampled
// from its own rate to the output rate and scaled by its gain, into the output
// format. One mutex guards all voices; the output side (an audio thread or a
// test) calls Render.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/wave_format.h"

namespace velk::platform {

// Sample memory shared by a buffer and its duplicates.
using SampleMemory = std::vector<uint8_t>;

// The play state of one sound buffer.
struct AudioVoice {
    std::shared_ptr<SampleMemory> memory;
    WaveFormat format;
    uint32_t frames = 0;           // whole blocks in the memory
    bool playing = false;
    bool looping = false;
    uint64_t position = 0;         // frames, 32.32 fixed point
    uint32_t frequency = 0;        // 0 plays at the format's own rate
    int32_t volume = 0;            // hundredths of a decibel, -10000..0
    int32_t gain = 0x10000;        // 16.16 amplitude factor from `volume`
};

// Amplitude factor (16.16) of a volume in hundredths of a decibel:
// 10^(volume / 2000); -10000 and below are silence.
int32_t GainForVolume(int32_t hundredths_db);

// Sound that a program makes as it plays (a synthesiser), mixed into every
// mixer's output after the buffers. MixInto adds `frames` stereo frames at
// `rate` Hz, on the 16-bit scale, into the left/right accumulator.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual void MixInto(int32_t* accumulator, uint32_t frames, uint32_t rate) = 0;
};

// Process-wide list of sources. Detach returns only after a mix that may be
// using the source has ended, so the source may then be destroyed.
void AttachAudioSource(AudioSource* source);
void DetachAudioSource(AudioSource* source);

class AudioMixer {
public:
    explicit AudioMixer(const WaveFormat& output);

    // Fills `frames` frames of the output format. Takes the mixer lock.
    void Render(uint8_t* out, uint32_t frames);

    WaveFormat OutputFormat() const;
    void SetOutputFormat(const WaveFormat& output);

    // The lock every voice change is made under.
    std::mutex& Mutex() { return mutex_; }
    // Called with the lock held.
    void Attach(AudioVoice* voice);
    void Detach(AudioVoice* voice);

private:
    void MixLocked(uint32_t frames);

    std::mutex mutex_;
    WaveFormat output_;
    std::vector<AudioVoice*> voices_;
    std::vector<int32_t> accumulator_;
};

}  // namespace velk::platform
