#include "platform/audio/audio_mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velk::platform {
namespace {

template <int kBits, int kChannels>
inline void ReadFrame(const uint8_t* data, uint32_t index, int32_t& left, int32_t& right) {
    if constexpr (kBits == 8) {
        const uint8_t* p = data + static_cast<size_t>(index) * kChannels;
        left = (static_cast<int32_t>(p[0]) - 128) * 256;
        right = kChannels == 2 ? (static_cast<int32_t>(p[1]) - 128) * 256 : left;
    } else {
        const uint8_t* p = data + static_cast<size_t>(index) * 2 * kChannels;
        left = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
        right = kChannels == 2 ? static_cast<int16_t>(static_cast<uint16_t>(p[2] | (p[3] << 8))) : left;
    }
}

// Moves a voice on by `frames` output frames without reading its samples.
void AdvanceVoice(AudioVoice& voice, uint32_t frames, uint64_t step) {
    const uint64_t end = static_cast<uint64_t>(voice.frames) << 32;
    // 32.32 times a frame count below 2^20 stays far inside 64 bits for any
    // step the frequency range allows.
    const uint64_t target = voice.position + step * frames;
    if (target < end) {
        voice.position = target;
    } else if (voice.looping) {
        voice.position = target % end;
    } else {
        voice.playing = false;
        voice.position = 0;
    }
}

// Adds the voice into the stereo accumulator, with linear interpolation
// between neighbouring frames when the step has a fraction.
template <int kBits, int kChannels>
void MixVoice(AudioVoice& voice, int32_t* accumulator, uint32_t frames, uint64_t step) {
    const uint8_t* data = voice.memory->data();
    const uint32_t count = voice.frames;
    const uint64_t end = static_cast<uint64_t>(count) << 32;
    const int32_t gain = voice.gain;
    uint64_t position = voice.position;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t index = static_cast<uint32_t>(position >> 32);
        int32_t left;
        int32_t right;
        ReadFrame<kBits, kChannels>(data, index, left, right);
        const int32_t fraction = static_cast<int32_t>(static_cast<uint32_t>(position) >> 17);
        if (fraction != 0) {
            uint32_t next = index + 1;
            if (next >= count) next = voice.looping ? 0 : index;
            int32_t next_left;
            int32_t next_right;
            ReadFrame<kBits, kChannels>(data, next, next_left, next_right);
            left += ((next_left - left) * fraction) >> 15;
            right += ((next_right - right) * fraction) >> 15;
        }
        accumulator[2 * i] += (left * gain) >> 16;
        accumulator[2 * i + 1] += (right * gain) >> 16;
        position += step;
        if (position >= end) {
            if (!voice.looping) {
                voice.playing = false;
                voice.position = 0;
                return;
            }
            position %= end;
        }
    }
    voice.position = position;
}

void MixAnyVoice(AudioVoice& voice, int32_t* accumulator, uint32_t frames, uint64_t step) {
    const bool stereo = voice.format.channels == 2;
    if (voice.format.bits_per_sample == 8) {
        stereo ? MixVoice<8, 2>(voice, accumulator, frames, step) : MixVoice<8, 1>(voice, accumulator, frames, step);
    } else {
        stereo ? MixVoice<16, 2>(voice, accumulator, frames, step) : MixVoice<16, 1>(voice, accumulator, frames, step);
    }
}

int32_t Saturate16(int32_t value) { return std::clamp(value, -32768, 32767); }

std::mutex& SourceMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<AudioSource*>& Sources() {
    static std::vector<AudioSource*> sources;
    return sources;
}

}  // namespace

void AttachAudioSource(AudioSource* source) {
    std::lock_guard lock(SourceMutex());
    if (std::find(Sources().begin(), Sources().end(), source) == Sources().end()) Sources().push_back(source);
}

void DetachAudioSource(AudioSource* source) {
    std::lock_guard lock(SourceMutex());
    std::erase(Sources(), source);
}

int32_t GainForVolume(int32_t hundredths_db) {
    if (hundredths_db <= -10000) return 0;
    if (hundredths_db >= 0) return 0x10000;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, hundredths_db / 2000.0)));
}

AudioMixer::AudioMixer(const WaveFormat& output) : output_(output) {}

WaveFormat AudioMixer::OutputFormat() const { return output_; }

void AudioMixer::SetOutputFormat(const WaveFormat& output) {
    std::lock_guard lock(mutex_);
    output_ = output;
}

void AudioMixer::Attach(AudioVoice* voice) { voices_.push_back(voice); }

void AudioMixer::Detach(AudioVoice* voice) { std::erase(voices_, voice); }

void AudioMixer::MixLocked(uint32_t frames) {
    accumulator_.assign(static_cast<size_t>(frames) * 2, 0);
    const uint32_t out_rate = std::max<uint32_t>(output_.samples_per_second, 1);
    for (AudioVoice* voice : voices_) {
        if (!voice->playing || voice->frames == 0) continue;
        const uint32_t rate = voice->frequency != 0 ? voice->frequency : voice->format.samples_per_second;
        const uint64_t step = (static_cast<uint64_t>(rate) << 32) / out_rate;
        if (voice->gain == 0) {
            AdvanceVoice(*voice, frames, step);
        } else {
            MixAnyVoice(*voice, accumulator_.data(), frames, step);
        }
    }
    std::lock_guard lock(SourceMutex());
    for (AudioSource* source : Sources()) source->MixInto(accumulator_.data(), frames, out_rate);
}

void AudioMixer::Render(uint8_t* out, uint32_t frames) {
    std::lock_guard lock(mutex_);
    MixLocked(frames);
    const bool stereo = output_.channels == 2;
    const bool sixteen = output_.bits_per_sample == 16;
    for (uint32_t i = 0; i < frames; ++i) {
        const int32_t left = Saturate16(accumulator_[2 * i]);
        const int32_t right = Saturate16(accumulator_[2 * i + 1]);
        const int32_t values[2] = {stereo ? left : (left + right) >> 1, right};
        for (int c = 0; c < (stereo ? 2 : 1); ++c) {
            if (sixteen) {
                const auto sample = static_cast<uint16_t>(values[c]);
                *out++ = static_cast<uint8_t>(sample);
                *out++ = static_cast<uint8_t>(sample >> 8);
            } else {
                *out++ = static_cast<uint8_t>((values[c] >> 8) + 128);
            }
        }
    }
}

}  // namespace velk::platform
