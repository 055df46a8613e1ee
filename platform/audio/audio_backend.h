#pragma once
// Where the mixer's output goes. The real back-end plays through SDL audio
// (SDL's "dummy" driver serves headless runs); the manual back-end lets tests
// pull output by hand, so cursors move only when a test says so.

#include <functional>
#include <memory>
#include <string>

#include "platform/audio/audio_mixer.h"
#include "platform/audio/wave_format.h"

namespace velk::platform {

class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    // Starts pulling output of the given format from the mixer. False when
    // no output could be opened.
    virtual bool Start(std::shared_ptr<AudioMixer> mixer, const WaveFormat& output) = 0;
    // Stops pulling; after it returns the mixer is no longer called.
    virtual void Stop() = 0;
    // What the device listing reports for this output.
    virtual std::string Description() const = 0;
    virtual std::string ModuleName() const = 0;
};

// The SDL audio back-end.
std::unique_ptr<AudioBackend> CreateSdlAudioBackend();

// The back-end that devices created from now on use; an empty function
// restores the SDL back-end.
using AudioBackendFactory = std::function<std::unique_ptr<AudioBackend>()>;
void SetAudioBackendFactory(AudioBackendFactory factory);
std::unique_ptr<AudioBackend> CreateAudioBackend();

}  // namespace velk::platform
