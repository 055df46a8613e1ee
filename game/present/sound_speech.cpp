#include <algorithm>
#include <cstdint>

#include "game/data/database.h"
#include "game/present/sound_state.h"
#include "game/present/speech_texts.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

constexpr int32_t kWholeCreateType = 0;
// Below this the played sound would be slowed (and the speech sped up) past
// what either can do.
constexpr int32_t kLowestPitch = 20;

class AbsentSpeech final : public SpeechOutput {
public:
    bool Present() const override { return false; }
    const uint8_t* Synthesize(const std::string&, int32_t, int32_t*) override { return nullptr; }
    void FreeWave(const uint8_t*) override {}
};

// Hands the image back however the function is left.
class WaveLoan {
public:
    WaveLoan(SpeechOutput& speech, const uint8_t* wave) : speech_(speech), wave_(wave) {}
    ~WaveLoan() {
        if (wave_) speech_.FreeWave(wave_);
    }
    WaveLoan(const WaveLoan&) = delete;
    WaveLoan& operator=(const WaveLoan&) = delete;

private:
    SpeechOutput& speech_;
    const uint8_t* wave_;
};

}  // namespace

SpeechOutput& NoSpeech() {
    static AbsentSpeech absent;
    return absent;
}

// The speech goes into the spare rows that run-time sound files use, in the
// same turn; the row's frequency item is the pitch, so the synthesis speed is
// divided by the same factor.
int32_t SoundState::AddSpeech(std::string text, int32_t speed, int32_t volume, int32_t pitch) {
    const int32_t base = SpareBase(kSoundEffect);
    if (base < 0) return kNotRegistered;
    const std::optional<int32_t> spare = settings_->NextSpareRow(kSoundEffect);
    if (!spare || *spare < base || *spare >= base + kSpareRows) return kNotRegistered;
    const int32_t row = *spare;

    const int32_t p = std::max(kLowestPitch, pitch);
    const auto synthesisSpeed =
        static_cast<int32_t>(std::clamp<int64_t>(int64_t{speed} * 100 / p, INT32_MIN, INT32_MAX));
    int32_t size = 0;
    const uint8_t* wave = speech_->Synthesize(text, synthesisSpeed, &size);
    if (wave == nullptr) return kNotRegistered;
    WaveLoan loan(*speech_, wave);
    if (size <= 0) return kNotRegistered;

    // A sound that does not decode registers nothing: the row keeps what it
    // held rather than naming a speech that is not there.
    SetSoundCreateType(kWholeCreateType);
    const int32_t handle = LoadSoundFromMemoryWithBuffers(wave, static_cast<uint32_t>(size), 1, -1);
    if (handle <= 0) return kNotRegistered;

    database_->SetString(kSoundEffect + 1, row, 0, texts::kSpeechRowName);
    database_->SetInt(kSoundEffect + 1, row, 1, volume);
    database_->SetInt(kSoundEffect + 1, row, 2, p);
    database_->SetInt(kSoundEffect + 1, row, 3, 1);
    const int32_t old = RowHandle(kSoundEffect, row);
    if (old != 0) {
        // The older sound may still wait in the queue under its handle.
        std::erase_if(effectQueue_, [old](const QueuedEffect& entry) { return entry.handle == old; });
        DropHandle(kSoundEffect, old);
    }
    handles_[kSoundEffect][row] = handle;
    settings_->TakeSpareRow(kSoundEffect);
    return row;
}

}  // namespace velk
