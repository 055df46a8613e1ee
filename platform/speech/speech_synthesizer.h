#pragma once
// The stand-in for the outside speech library: a phonetic Japanese text
// (kana, in Shift-JIS) spoken by eSpeak NG with one of its voices and handed
// back as a complete WAVE file image in memory (16-bit mono PCM at the
// engine's rate), at a speed in percent of the voice's normal speed.
//
// The engine keeps one global state per process: it is started by the first
// Open and stays up until the process ends (it cannot be started a second
// time once ended). Synthesizers share it under a lock.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

// Why Open gave nothing.
enum class SpeechOpenFailure {
    kNone,
    // The engine or its data could not be started.
    kEngine,
    // The engine runs, but the voice could not be loaded or says nothing.
    kVoice,
};

// Whether the engine's data (its phoneme tables) is installed where the
// engine looks for it.
bool SpeechEngineInstalled();

class SpeechSynthesizer {
public:
    // The engine with `voice` (an eSpeak NG voice name, "ja" for Japanese).
    // Null when either cannot be had; `failure` says which.
    static std::unique_ptr<SpeechSynthesizer> Open(const std::string& voice, SpeechOpenFailure* failure);
    SpeechSynthesizer(const SpeechSynthesizer&) = delete;
    SpeechSynthesizer& operator=(const SpeechSynthesizer&) = delete;

    // The text spoken at `speedPercent` of the normal speed (clamped to the
    // engine's range) as a RIFF WAVE image; empty when nothing was spoken.
    std::vector<uint8_t> Synthesize(std::string_view shiftJisText, int32_t speedPercent);

    int32_t SampleRate() const { return sampleRate_; }

private:
    SpeechSynthesizer(std::string voice, int32_t sampleRate) : voice_(std::move(voice)), sampleRate_(sampleRate) {}

    std::string voice_;
    int32_t sampleRate_;
};

// A RIFF WAVE image of 16-bit mono samples at `sampleRate`.
std::vector<uint8_t> MonoWaveImage(const std::vector<int16_t>& samples, int32_t sampleRate);

}  // namespace velk::platform
