#include "platform/speech/speech_synthesizer.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include "platform/base/text_encoding.h"

namespace velk::platform {
namespace {

// eSpeak's rate is in words a minute; 100 % is its normal rate. Below its
// minimum it will not go; above its nominal maximum it speeds the sound up
// afterwards, which holds for a few times more.
constexpr int64_t kNormalRate = espeakRATE_NORMAL;
constexpr int64_t kSlowestRate = espeakRATE_MINIMUM;
constexpr int64_t kFastestRate = espeakRATE_NORMAL * 6;
// A text that would speak for longer than this is cut there: a damaged game
// string of megabytes must not fill the memory with sound.
constexpr int64_t kLongestSeconds = 600;
// What Open has the voice say to see that it speaks at all.
// あ
constexpr char kProbeText[] = "\x82\xA0";

struct Engine {
    std::mutex mutex;
    bool tried = false;
    bool running = false;
    int32_t sampleRate = 0;
    std::string voice;
    // Where the synthesis under way puts its samples.
    std::vector<int16_t>* sink = nullptr;
    size_t sinkLimit = 0;
};

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

int CollectSamples(short* samples, int count, espeak_EVENT* /*events*/) {
    Engine& engine = TheEngine();
    if (engine.sink == nullptr || samples == nullptr || count <= 0) return 0;
    engine.sink->insert(engine.sink->end(), samples, samples + count);
    // Non-zero stops the synthesis.
    return engine.sink->size() >= engine.sinkLimit ? 1 : 0;
}

// The engine is started once and never ended: ending it and starting it
// again leaves it hanging in its next end.
bool StartEngine(Engine& engine) {
    if (engine.tried) return engine.running;
    engine.tried = true;
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    if (espeak_ng_Initialize(&context) != ENS_OK) {
        espeak_ng_ClearErrorContext(&context);
        return false;
    }
    if (espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr) != ENS_OK) return false;
    espeak_SetSynthCallback(CollectSamples);
    engine.sampleRate = espeak_ng_GetSampleRate();
    engine.running = engine.sampleRate > 0;
    return engine.running;
}

bool UseVoice(Engine& engine, const std::string& voice) {
    if (engine.voice == voice) return true;
    engine.voice.clear();
    if (espeak_ng_SetVoiceByName(voice.c_str()) != ENS_OK) return false;
    engine.voice = voice;
    return true;
}

// Samples of UTF-8 text at a rate in words a minute; empty when the engine
// refused the text.
std::vector<int16_t> Speak(Engine& engine, const std::string& utf8, int64_t rate) {
    std::vector<int16_t> samples;
    if (utf8.empty()) return samples;
    espeak_ng_SetParameter(espeakRATE, static_cast<int>(std::clamp(rate, kSlowestRate, kFastestRate)), 0);
    engine.sink = &samples;
    engine.sinkLimit = static_cast<size_t>(engine.sampleRate) * kLongestSeconds;
    const espeak_ng_STATUS status =
        espeak_ng_Synthesize(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    engine.sink = nullptr;
    if (status != ENS_OK && status != ENS_SPEECH_STOPPED) samples.clear();
    return samples;
}

// The writers put their bytes at `at` and return the place after them. The
// image is sized first and written in place: growing a vector from a string
// literal makes GCC warn of an overflow that cannot happen.
uint8_t* PutU16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    return at + 2;
}

uint8_t* PutU32(uint8_t* at, uint32_t value) { return PutU16(PutU16(at, value & 0xFFFF), value >> 16); }

uint8_t* PutTag(uint8_t* at, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(tag[i]);
    return at + 4;
}

constexpr size_t kWaveHeaderBytes = 44;

}  // namespace

bool SpeechEngineInstalled() {
    Engine& engine = TheEngine();
    std::lock_guard lock(engine.mutex);
    if (engine.running) return true;
    if (engine.tried) return false;
    espeak_ng_InitializePath(nullptr);
    const char* folder = nullptr;
    espeak_Info(&folder);
    if (folder == nullptr) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(folder) / "phontab", error);
}

std::unique_ptr<SpeechSynthesizer> SpeechSynthesizer::Open(const std::string& voice, SpeechOpenFailure* failure) {
    Engine& engine = TheEngine();
    std::lock_guard lock(engine.mutex);
    if (!StartEngine(engine)) {
        if (failure) *failure = SpeechOpenFailure::kEngine;
        return nullptr;
    }
    if (!UseVoice(engine, voice) || Speak(engine, ShiftJisToUtf8(kProbeText), kNormalRate).empty()) {
        if (failure) *failure = SpeechOpenFailure::kVoice;
        return nullptr;
    }
    if (failure) *failure = SpeechOpenFailure::kNone;
    return std::unique_ptr<SpeechSynthesizer>(new SpeechSynthesizer(voice, engine.sampleRate));
}

std::vector<uint8_t> SpeechSynthesizer::Synthesize(std::string_view shiftJisText, int32_t speedPercent) {
    Engine& engine = TheEngine();
    std::lock_guard lock(engine.mutex);
    if (!UseVoice(engine, voice_)) return {};
    const std::vector<int16_t> samples =
        Speak(engine, ShiftJisToUtf8(shiftJisText), kNormalRate * std::max<int64_t>(speedPercent, 0) / 100);
    if (samples.empty()) return {};
    return MonoWaveImage(samples, sampleRate_);
}

std::vector<uint8_t> MonoWaveImage(const std::vector<int16_t>& samples, int32_t sampleRate) {
    const auto dataSize = static_cast<uint32_t>(samples.size() * 2);
    const auto rate = static_cast<uint32_t>(sampleRate);
    std::vector<uint8_t> out(kWaveHeaderBytes + dataSize);
    uint8_t* at = PutTag(out.data(), "RIFF");
    at = PutU32(at, 36 + dataSize);
    at = PutTag(at, "WAVE");
    at = PutTag(at, "fmt ");
    at = PutU32(at, 16);
    at = PutU16(at, 1);  // PCM
    at = PutU16(at, 1);  // mono
    at = PutU32(at, rate);
    at = PutU32(at, rate * 2);
    at = PutU16(at, 2);
    at = PutU16(at, 16);
    at = PutTag(at, "data");
    at = PutU32(at, dataSize);
    for (int16_t sample : samples)
        at = PutU16(at, static_cast<uint16_t>(sample));
    return out;
}

}  // namespace velk::platform
