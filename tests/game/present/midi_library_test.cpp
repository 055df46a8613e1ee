#include "game/present/midi_library.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "game/present/sound_state.h"
#include "game/present/sound_texts.h"
#include "platform/midi/midi_player.h"
#include "tests/game/present/sound_test_support.h"
#include "tests/platform/midi/midi_test_data.h"

namespace velk::testing {
namespace {

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

class MidiMusicTest : public GameSoundTest {
protected:
    void SetUp() override {
        GameSoundTest::SetUp();
        WriteDataFile("song.mid", TwoNoteMidi(1900, 0, 1920));
        database_ = SoundDatabase({{"song.mid", 0, 0, 0}, {"song.mid", 0, 200, 0}}, {}, {});
        ASSERT_EQ(library_.SetDevice(-1, 0), 0);
        music_ = std::make_unique<SoundState>(database_, library_, settings_);
    }
    void TearDown() override {
        music_.reset();
        library_.Free();
        GameSoundTest::TearDown();
    }

    // One game frame of output: the update, then the frame's samples.
    std::vector<int16_t> MusicFrame() {
        music_->Update();
        return audio_.RenderSamples(kFrameSamples);
    }
    double Frames(int count) {
        std::vector<int16_t> all;
        for (int i = 0; i < count; ++i) {
            std::vector<int16_t> part = MusicFrame();
            all.insert(all.end(), part.begin(), part.end());
        }
        return Rms(all);
    }

    MidiLibrary library_;
    std::unique_ptr<SoundState> music_;
};

TEST_F(MidiMusicTest, MidiMusicIsHeardThroughTheMixerAndStops) {
    music_->Play(SoundState::kMusic, 0, 0, 0);
    EXPECT_TRUE(music_->MusicIsMidi());
    // The first update still holds the fade's start (silent), then it sounds.
    EXPECT_EQ(Rms(MusicFrame()), 0.0);
    const double loud = Frames(10);
    EXPECT_GT(loud, 100.0);
    // Master volume 50 %: a volume write fades to half, about half as loud.
    music_->StartVolumeChange(SoundChannel::kMusic, 50);
    Frames(3);
    const double half = Frames(10);
    EXPECT_LT(half, loud * 0.7);
    EXPECT_GT(half, loud * 0.3);
    music_->Play(SoundState::kMusic, -1, 0, 0);
    Frames(2);
    EXPECT_EQ(Frames(5), 0.0);
}

TEST_F(MidiMusicTest, MidiMusicStartsAgainAtItsEnd) {
    // A quarter-second note in a piece of half a second (480 ticks of 480 a
    // beat at 120 beats a minute): the note sounds again from 0.5 s.
    WriteDataFile("short.mid", TwoNoteMidi(240, 0, 480));
    database_ = SoundDatabase({{"short.mid", 0, 0, 0}}, {}, {});
    music_ = std::make_unique<SoundState>(database_, library_, settings_);
    music_->Play(SoundState::kMusic, 0, 0, 0);
    MusicFrame();  // the fade's silent start
    Frames(2);
    const double first = Frames(12);  // 0.05-0.25 s
    EXPECT_GT(first, 100.0);
    Frames(18);
    const double again = Frames(12);  // 0.55-0.75 s
    EXPECT_GT(again, first * 0.5) << "the piece's second time round";
}

// The synthesiser starts on the first play; a soundfont that fails only then
// brings the same single message as a missing one, and MIDI stays off.
TEST_F(MidiMusicTest, ASoundFontThatFailsOnTheFirstPlayShowsOneMessageThen) {
    const std::filesystem::path broken =
        std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-midi-library-broken.sf2");
    std::ofstream(broken, std::ios::binary) << std::string("RIFF\x04\0\0\0sfbk", 12);
    MidiLibrary library({broken.string()});
    EXPECT_EQ(library.SetDevice(-1, 0), 0);
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_TRUE(library.Present());
    const std::vector<uint8_t> file = TwoNoteMidi(1900, 0, 1920);
    ASSERT_EQ(library.ReadList(file.data(), static_cast<int32_t>(file.size()), 1, 1), 0);
    EXPECT_EQ(library.Play(1, 1, 0), -1);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_NE(reporter_.messages[0].line1.find(broken.string()), std::string::npos);
    EXPECT_EQ(reporter_.messages[0].line2, texts::kMidiLibraryMissingCaption);
    EXPECT_FALSE(library.Present());
    EXPECT_EQ(library.Play(1, 1, 0), -1);
    EXPECT_EQ(reporter_.messages.size(), 1u);
    std::filesystem::remove(broken);
}

TEST_F(MidiMusicTest, MissingPlayerShowsOneMessageAndPlaysNothing) {
    MidiLibrary absent({"/nonexistent/none.sf2"});
    EXPECT_EQ(absent.SetDevice(-1, 0), -1);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_NE(reporter_.messages[0].line1.find("/nonexistent/none.sf2"), std::string::npos);
    EXPECT_EQ(reporter_.messages[0].line2, texts::kMidiLibraryMissingCaption);
    EXPECT_FALSE(absent.Present());
    EXPECT_EQ(absent.ReadList("x", 1, 1, 1), -1);
    EXPECT_EQ(absent.Play(1, 1, 0), -1);
    absent.Stop();
    absent.MasterVolume(0);
    absent.TempoDepth(0);
    absent.DeleteList(1);

    // The sound state treats the MIDI row as a sound file, which does not
    // decode: no music, nothing stuck.
    SoundState silent(database_, absent, settings_);
    silent.Play(SoundState::kMusic, 0, 0, 0);
    EXPECT_FALSE(silent.MusicIsMidi());
    EXPECT_EQ(silent.CurrentNumber(SoundState::kMusic), -1);
    silent.Update();
    EXPECT_EQ(Rms(audio_.RenderSamples(kFrameSamples)), 0.0);
}

}  // namespace
}  // namespace velk::testing
