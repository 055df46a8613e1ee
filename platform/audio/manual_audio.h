#pragma once
// The hand-driven output for tests: while a ManualAudio lives, every sound
// device created uses it, and the mixer advances only when Render is called.
//
//   platform::ManualAudio audio;          // before the device is made
//   ... create device, buffers, play ...
//   std::vector<int16_t> out = audio.RenderSamples(735);   // 735 frames

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/audio_mixer.h"
#include "platform/audio/wave_format.h"

namespace velk::platform {

class ManualAudio {
public:
    ManualAudio();
    ~ManualAudio();
    ManualAudio(const ManualAudio&) = delete;
    ManualAudio& operator=(const ManualAudio&) = delete;

    // True while a device's output is attached.
    bool Started() const;
    // The output format the device set (its primary format).
    WaveFormat OutputFormat() const;
    // Mixes `frames` frames and returns them in the output format's bytes.
    std::vector<uint8_t> RenderBytes(uint32_t frames);
    // Mixes `frames` frames of 16-bit output, interleaved by channel.
    std::vector<int16_t> RenderSamples(uint32_t frames);
    // Frames rendered since the output was attached.
    uint64_t FramesRendered() const { return frames_rendered_; }

    // Used by the manual back-end.
    void Attach(std::shared_ptr<AudioMixer> mixer, const WaveFormat& output);
    void Detach();

private:
    std::shared_ptr<AudioMixer> mixer_;
    WaveFormat output_;
    uint64_t frames_rendered_ = 0;
};

}  // namespace velk::platform
