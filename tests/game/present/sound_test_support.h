#pragma once
// The game-sound tests' ground: a started sound layer on the manual mixer, a
// game folder with sound files written at test time, a system database with
// the three sound lists, settings the test sets, and a MIDI library fake
// that records its calls.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/database.h"
#include "game/data/databases.h"
#include "game/data/game_system.h"
#include "game/present/midi_output.h"
#include "game/present/sound_state.h"
#include "lib/sound/sound.h"
#include "platform/audio/audio_mixer.h"
#include "tests/game/data/data_test_support.h"
#include "tests/lib/sound/sound_fixture.h"

namespace velk::testing {

struct SoundRow {
    std::string name;
    int32_t volume = 0;
    int32_t frequency = 0;
    int32_t third = 0;  // loop ms (BGM, BGS) or release flag (SE)
};

// Types 1-3 with items file name, volume, frequency, loop/release, the given
// rows and ten spare rows after them.
inline Database SoundDatabase(const std::vector<SoundRow>& music, const std::vector<SoundRow>& background,
                              const std::vector<SoundRow>& effects) {
    Database db;
    db.types.resize(4);
    db.typeDefs.resize(4);
    const std::vector<SoundRow>* lists[3] = {&music, &background, &effects};
    for (int32_t type = 1; type <= 3; ++type) {
        db.types[type].itemKinds = {2000, 1000, 1001, 1002};
        db.types[type].rows.clear();
        db.typeDefs[type].itemNames = {"", "", "", ""};
        db.typeDefs[type].itemDefaults = {0, 0, 0, 0};
        for (const SoundRow& row : *lists[type - 1]) {
            DbRow r;
            r.strings = {row.name};
            r.numbers = {row.volume, row.frequency, row.third};
            db.types[type].rows.push_back(r);
        }
        db.SetDataCount(type, static_cast<int32_t>(lists[type - 1]->size()) + SoundState::kSpareRows);
    }
    return db;
}

class FakeMidi final : public MidiOutput {
public:
    bool Present() const override { return present; }
    int32_t ReadList(const void*, int32_t size, int32_t option, int32_t list) override {
        calls.push_back("read " + std::to_string(list) + " " + std::to_string(size > 0) + " " + std::to_string(option));
        return 0;
    }
    void DeleteList(int32_t list) override { calls.push_back("delete " + std::to_string(list)); }
    int32_t Play(int32_t option, int32_t list, int32_t start) override {
        calls.push_back("play " + std::to_string(option) + " " + std::to_string(list) + " " + std::to_string(start));
        return 0;
    }
    void Stop() override { calls.push_back("stop"); }
    void MasterVolume(int32_t volume) override {
        volumes.push_back(volume);
        calls.push_back("volume " + std::to_string(volume));
    }
    void TempoDepth(int32_t depth) override { calls.push_back("tempo " + std::to_string(depth)); }

    bool Called(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }

    bool present = true;
    std::vector<std::string> calls;
    std::vector<int32_t> volumes;
};

class TestSettings final : public SoundSettings {
public:
    int32_t Permission() const override { return permission; }
    int32_t MasterVolume(int32_t kind) const override { return masters[std::clamp(kind, 0, 2)]; }
    int32_t FrameStep() const override { return frameStep; }
    std::optional<int32_t> NextSpareRow(int32_t kind) const override { return system.NextSpareSoundRow(kind); }
    void TakeSpareRow(int32_t kind) override { system.TakeSpareSoundRow(kind); }

    GameSystem system;
    int32_t permission = 3;
    int32_t masters[3] = {100, 100, 100};
    int32_t frameStep = 1;
};

// The level a sample of `value` comes out at with the sound state's volume
// percentage `volume` (library scale 0..255, 1000 log10(v / 255) hundredths
// of a decibel).
inline int32_t LevelAt(int32_t value, int32_t volume) {
    int32_t hundredths = -10000;
    if (volume >= 1) {
        hundredths = std::max(-10000, static_cast<int32_t>(1000.0 * std::log10(std::min(volume, 255) / 255.0)));
    }
    return (value * platform::GainForVolume(hundredths)) >> 16;
}

// A steady stereo WAVE: every left sample `left`, every right sample `right`.
inline Bytes SteadyWave(int16_t left, int16_t right, uint32_t frames = 44100 * 3) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        samples[2 * i] = left;
        samples[2 * i + 1] = right;
    }
    return WaveFile(PcmFormatBody(2, 44100, 16), SampleBytes(samples));
}

inline std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class GameSoundTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        folder_ = std::make_unique<InFolder>(dir_.path());
    }
    void TearDown() override {
        state_.reset();
        folder_.reset();
        SoundTest::TearDown();
    }

    void MakeState(const std::vector<SoundRow>& music, const std::vector<SoundRow>& background = {},
                   const std::vector<SoundRow>& effects = {}) {
        database_ = SoundDatabase(music, background, effects);
        settings_.system.CountSoundSpares(databases_);
        state_ = std::make_unique<SoundState>(database_, midi_, settings_);
    }

    void WriteDataFile(const std::string& name, const Bytes& bytes) { dir_.WriteFile("Data/" + name, AsString(bytes)); }

    // One game frame: the sound state's update, then a frame of output
    // (left and right of its first sample frame), then the stream refill.
    std::pair<int16_t, int16_t> Frame() {
        state_->Update();
        const std::vector<int16_t> out = audio_.RenderSamples(kFrameSamples);
        RefillAllStreamSounds();
        // A frame's level is steady: its first and last samples agree.
        EXPECT_EQ(out[0], out[out.size() - 2]);
        return {out[0], out[1]};
    }

    // Game frames whose output is not looked at.
    void Run(int frames) {
        for (int i = 0; i < frames; ++i) {
            state_->Update();
            audio_.RenderSamples(kFrameSamples);
            RefillAllStreamSounds();
        }
    }

    DatabaseSet databases_;
    Database& database_ = databases_.system;
    FakeMidi midi_;
    TestSettings settings_;
    RecordingReporter reporter_;
    std::unique_ptr<InFolder> folder_;
    std::unique_ptr<SoundState> state_;
};

}  // namespace velk::testing
