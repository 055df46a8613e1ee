#include "game/present/speech_library.h"

#include <climits>

#include "game/data/error_reporter.h"
#include "game/present/speech_texts.h"
#include "platform/speech/speech_synthesizer.h"

namespace velk {
namespace {

constexpr char kJapaneseVoice[] = "ja";

}  // namespace

SpeechLibrary::SpeechLibrary() : SpeechLibrary(kJapaneseVoice) {}

SpeechLibrary::SpeechLibrary(std::string voice) : voice_(std::move(voice)) {}

SpeechLibrary::~SpeechLibrary() = default;

bool SpeechLibrary::Installed() const { return platform::SpeechEngineInstalled(); }

bool SpeechLibrary::Load() {
    if (synthesizer_) return true;
    platform::SpeechOpenFailure failure = platform::SpeechOpenFailure::kNone;
    synthesizer_ = platform::SpeechSynthesizer::Open(voice_, &failure);
    if (synthesizer_) return true;
    if (failure == platform::SpeechOpenFailure::kVoice) {
        ActiveErrorReporter().ShowMessageBox(texts::kSpeechFunctionsMissing, texts::kSpeechFunctionsMissingCaption);
    }
    return false;
}

void SpeechLibrary::Free() {
    synthesizer_.reset();
    waves_.clear();
}

const uint8_t* SpeechLibrary::Synthesize(const std::string& text, int32_t speed, int32_t* size) {
    if (!synthesizer_) return nullptr;
    std::vector<uint8_t> wave = synthesizer_->Synthesize(text, speed);
    if (wave.empty() || wave.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
    const uint8_t* first = wave.data();
    if (size) *size = static_cast<int32_t>(wave.size());
    waves_[first] = std::move(wave);
    return first;
}

void SpeechLibrary::FreeWave(const uint8_t* wave) { waves_.erase(wave); }

}  // namespace velk
