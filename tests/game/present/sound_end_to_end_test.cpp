// A game folder made by the game-data writer, its sound lists loaded as the
// game loads them, played through the sound device's real output path with
// SDL's disk driver capturing what would reach the speakers.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/present/midi_library.h"
#include "game/present/sound_state.h"
#include "lib/core/log.h"
#include "lib/sound/sound.h"
#include "platform/base/debug_output.h"
#include "tests/game/present/sound_test_support.h"
#include "tests/platform/midi/midi_test_data.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::testing {
namespace {

constexpr char kGame[] = R"(
game
  title "sound"
  settings 32 8 8 1 60 1 0 3 0 0 0 6 6 0 0 4 4 0
settings-file
  SEandBGM 3
database system
  type "Maps"
    item string "File"
  type "BGM"
    item string "File"
    item number "Volume" default 100
    item number "Frequency" default 100
    item number "Loop"
    data "Theme" "BGM/theme.ogg" 100 0 200
    data "Song" "BGM/song.mid" 100 0 0
  type "BGS"
    item string "File"
    item number "Volume" default 100
    item number "Frequency" default 100
    item number "Loop"
  type "SE"
    item string "File"
    item number "Volume" default 100
    item number "Frequency" default 100
    item number "Release"
    data "Beep" "SE/beep.wav" 100 0 0
database user
  type "Heroes"
    item string "Name"
database changeable
  type "State"
    item number "Value"
)";

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrameBytes = 4;

class SoundEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetDebugOutputEnabled(false);
        std::string error;
        auto description = gamedata::ParseGameDescription(kGame, &error);
        ASSERT_TRUE(description) << error;
        ASSERT_TRUE(gamedata::WriteGameFolder(*description, dir_.path(), &error)) << error;
        // Half a second of tone: a second of music can only come from the loop.
        dir_.WriteFile("Data/BGM/theme.ogg", AsString(EncodeOggVorbis(Tone(kRate / 2, 2, kRate), 2, kRate)));
        dir_.WriteFile("Data/BGM/song.mid", AsString(TwoNoteMidi(3800, 0, 3840)));
        dir_.WriteFile("Data/SE/beep.wav", AsString(WaveFile(PcmFormatBody(2, kRate, 16),
                                                             SampleBytes(Tone(kRate * 3 / 10, 2, kRate, 660.0)))));
        folder_ = std::make_unique<InFolder>(dir_.path());
        capture_ = dir_.path() / "capture.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
        SetLogOutputFlag(1);
        SetLogStartDirectory(dir_.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
        ASSERT_EQ(InitDirectSound(), 0);
    }

    void TearDown() override {
        EndDirectSound();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
        SetLogStartDirectory("");
        folder_.reset();
        platform::SetDebugOutputEnabled(true);
    }

    // Game frames at the game's pace, so the device keeps up with them.
    void Frames(SoundState& state, int count) {
        for (int i = 0; i < count; ++i) {
            state.Update();
            RefillAllStreamSounds();
            std::this_thread::sleep_for(std::chrono::microseconds(16667));
        }
    }

    // How much the device has written so far, in output frames.
    uint64_t Written() const {
        std::error_code error;
        const auto size = std::filesystem::file_size(capture_, error);
        return error ? 0 : size / kFrameBytes;
    }

    ScratchDir dir_;
    std::unique_ptr<InFolder> folder_;
    std::filesystem::path capture_;
    RecordingReporter reporter_;
    TestSettings settings_;
};

// The loudest sample among the output frames [from, to).
int32_t Peak(const std::vector<int16_t>& samples, uint64_t from, uint64_t to) {
    int32_t peak = 0;
    for (uint64_t i = 2 * from; i < 2 * to && i < samples.size(); ++i)
        peak = std::max(peak, std::abs(int32_t{samples[i]}));
    return peak;
}

TEST_F(SoundEndToEndTest, OggLoopMidiAndEffectReachTheOutputAndStopLeavesSilence) {
    DatabaseSet databases;
    LoadDatabases(databases);
    ASSERT_TRUE(reporter_.messages.empty());
    MidiLibrary midi;
    ASSERT_EQ(midi.SetDevice(-1, 0), 0);
    {
        SoundState state(databases.system, midi, settings_);
        const uint64_t oggStart = Written();
        state.Play(SoundState::kMusic, 0, 0, 0);
        Frames(state, 60);
        const uint64_t midiStart = Written();
        state.Play(SoundState::kMusic, 1, 0, 0);
        EXPECT_TRUE(state.MusicIsMidi());
        Frames(state, 40);
        const uint64_t stopped = Written();
        state.Play(SoundState::kMusic, -1, 0, 0);
        Frames(state, 10);
        const uint64_t effectStart = Written();
        state.Play(SoundState::kSoundEffect, 0, 0, 0);
        Frames(state, 10);
        const uint64_t effectSeen = Written();
        Frames(state, 45);
        const uint64_t end = Written();
        EndDirectSound();

        std::ifstream in(capture_, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);

        const uint64_t tenth = kRate / 10;
        ASSERT_GT(end, effectSeen + 4 * tenth);
        // The Ogg music past its half second: the loop point brought it back.
        EXPECT_GT(Peak(samples, oggStart + 6 * tenth, midiStart - tenth), 1000);
        EXPECT_GT(Peak(samples, midiStart + 2 * tenth, stopped - tenth), 300);
        EXPECT_EQ(Peak(samples, stopped + 2 * tenth, effectStart), 0);
        EXPECT_GT(Peak(samples, effectStart, effectSeen + tenth), 1000);
        // The effect lasts 0.3 s: after it nothing sounds.
        EXPECT_EQ(Peak(samples, effectSeen + 3 * tenth, end), 0);
    }
    midi.Free();
}

}  // namespace
}  // namespace velk::testing
