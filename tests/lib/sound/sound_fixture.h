#pragma once
// A started sound layer on the manual mixer, with the log in a fresh folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/core/log.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_log_texts.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/audio_faults.h"
#include "platform/audio/manual_audio.h"
#include "platform/base/debug_output.h"
#include "tests/platform/audio/sound_test_data.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

// 44.1 kHz game frames of 735 output frames (1/60 s).
inline constexpr uint32_t kFrameSamples = 735;

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetDebugOutputEnabled(false);
        platform::ClearAudioFaults();
        SetLogOutputFlag(1);
        SetLogStartDirectory(dir_.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
        if (StartSound()) {
            ASSERT_EQ(InitDirectSound(), 0);
        }
    }

    void TearDown() override {
        EndDirectSound();
        platform::ClearAudioFaults();
        SetLogStartDirectory("");
        platform::SetDebugOutputEnabled(true);
    }

    virtual bool StartSound() const { return true; }

    std::string LogBytes() const { return dir_.ReadFile("Log.txt"); }
    // The log ends its lines with CR LF.
    bool LogHas(const char* text) const {
        std::string wanted;
        for (const char* p = text; *p != 0; ++p) wanted += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
        return LogBytes().find(wanted) != std::string::npos;
    }

    int Load(const Bytes& image, int buffers = 1) {
        return LoadSoundFromMemoryWithBuffersBody(image.data(), static_cast<uint32_t>(image.size()), buffers, -1);
    }

    // Mixes `frames` output frames and returns the left channel.
    std::vector<int16_t> Left(uint32_t frames) {
        const std::vector<int16_t> both = audio_.RenderSamples(frames);
        std::vector<int16_t> left(frames);
        for (uint32_t i = 0; i < frames; ++i) left[i] = both[2 * i];
        return left;
    }

    // Runs game frames: mix one frame's output, then the per-frame refill.
    std::vector<int16_t> RunFrames(int frames) {
        std::vector<int16_t> out;
        for (int i = 0; i < frames; ++i) {
            const std::vector<int16_t> part = audio_.RenderSamples(kFrameSamples);
            out.insert(out.end(), part.begin(), part.end());
            RefillAllStreamSounds();
        }
        return out;
    }

    ScratchDir dir_;
    platform::ManualAudio audio_;
};

// A 16-bit WAVE of a left-channel ramp (sample i = i mod 30000) so any
// output frame tells which source frame it came from.
inline std::vector<int16_t> RampSamples(uint32_t frames, uint32_t channels, uint32_t offset = 0) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint32_t c = 0; c < channels; ++c) {
            samples[static_cast<size_t>(i) * channels + c] =
                static_cast<int16_t>(((i + offset) % 30000) * (c == 0 ? 1 : -1));
        }
    }
    return samples;
}

inline Bytes RampWave(uint32_t frames, uint32_t channels = 2, uint32_t rate = 44100) {
    return WaveFile(PcmFormatBody(channels, rate, 16), SampleBytes(RampSamples(frames, channels)));
}

}  // namespace velk::testing
