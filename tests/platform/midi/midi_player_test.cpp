#include "platform/midi/midi_player.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/audio/audio_mixer.h"
#include "platform/audio/wave_format.h"
#include "platform/midi/midi_file.h"
#include "tests/platform/midi/midi_test_data.h"

namespace velk::platform {
namespace {

using testing::TwoNoteMidi;

constexpr uint32_t kRate = 44100;

TEST(MidiFileFacts, ReadsHeaderAndStartTempo) {
    std::vector<uint8_t> file = TwoNoteMidi();
    auto facts = ReadMidiFileFacts(file);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->format, 0);
    EXPECT_EQ(facts->tracks, 1);
    EXPECT_EQ(facts->division, 480);
    EXPECT_EQ(facts->startTempo, 500000u);
    // 1000 ms at 120 per minute and 480 ticks per quarter.
    EXPECT_EQ(MidiTicksForMilliseconds(*facts, 1000), 960);
    EXPECT_EQ(MidiTicksForMilliseconds(*facts, -5), 0);
    // 25 frames a second, 40 ticks a frame: 1000 ticks a second.
    MidiFileFacts timecode{0, 1, static_cast<uint16_t>((256 - 25) << 8 | 40), 500000};
    EXPECT_EQ(MidiTicksForMilliseconds(timecode, 2000), 2000);
}

TEST(MidiFileFacts, RefusesFilesThatDoNotFit) {
    const std::vector<uint8_t> whole = TwoNoteMidi();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"cut inside the track", std::vector<uint8_t>(whole.begin(), whole.end() - 1)});
    cases.push_back({"cut inside the header", std::vector<uint8_t>(whole.begin(), whole.begin() + 12)});
    auto badTag = whole;
    badTag[0] = 'X';
    cases.push_back({"not a MIDI file", badTag});
    auto noTracks = whole;
    noTracks[11] = 0;
    cases.push_back({"no tracks", noTracks});
    auto moreTracks = whole;
    moreTracks[11] = 2;
    cases.push_back({"second track missing", moreTracks});
    auto hugeTrack = whole;
    hugeTrack[18] = 0x7F;
    cases.push_back({"track longer than the file", hugeTrack});
    for (const Case& c : cases)
        EXPECT_FALSE(ReadMidiFileFacts(c.bytes)) << c.what;
}

double Rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

class MidiPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string failure;
        player_ = MidiPlayer::Open(DefaultSoundFontPaths(), &failure);
        ASSERT_NE(player_, nullptr) << failure;
        const std::vector<uint8_t> file = TwoNoteMidi();
        ASSERT_EQ(player_->ReadList(file.data(), static_cast<int32_t>(file.size()), 1, 5), 0);
    }

    // `ms` milliseconds of the left channel.
    std::vector<int16_t> Render(uint32_t ms) {
        const uint32_t frames = kRate * ms / 1000;
        std::vector<uint8_t> bytes(frames * 4);
        mixer_.Render(bytes.data(), frames);
        std::vector<int16_t> left(frames);
        for (uint32_t i = 0; i < frames; ++i)
            left[i] = static_cast<int16_t>(bytes[4 * i] | (bytes[4 * i + 1] << 8));
        return left;
    }

    static size_t At(uint32_t ms) { return kRate * ms / 1000; }

    AudioMixer mixer_{MakePcmFormat(2, kRate, 16)};
    std::unique_ptr<MidiPlayer> player_;
};

TEST_F(MidiPlayerTest, PlaysStopsAndScalesWithMasterVolume) {
    EXPECT_EQ(Rms(Render(100), 0, At(100)), 0.0);
    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    const double full = Rms(Render(200), 0, At(200));
    EXPECT_GT(full, 100.0);

    player_->Stop();
    EXPECT_FALSE(player_->Playing());
    EXPECT_EQ(Rms(Render(100), 0, At(100)), 0.0);

    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    player_->MasterVolume(-1250);
    const double half = Rms(Render(200), 0, At(200));
    EXPECT_NEAR(half / full, 0.5, 0.05);

    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    player_->MasterVolume(-2500);
    EXPECT_EQ(Rms(Render(200), 0, At(200)), 0.0);
    player_->MasterVolume(-99999);
    EXPECT_EQ(player_->Volume(), -2500);
}

TEST_F(MidiPlayerTest, TempoDepthMovesTheSecondNote) {
    // At the file's tempo the second note starts at 1 s; at depth 50 (200 %)
    // at 0.5 s; at depth -100 (50 %) at 2 s.
    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    std::vector<int16_t> normal = Render(1200);
    player_->TempoDepth(50);
    EXPECT_DOUBLE_EQ(player_->TempoFactor(), 2.0);
    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    std::vector<int16_t> fast = Render(1200);
    EXPECT_GT(Rms(fast, At(550), At(750)), 3 * Rms(normal, At(550), At(750)));
    EXPECT_GT(Rms(normal, At(1000), At(1200)), 3 * Rms(normal, At(800), At(980)));

    player_->TempoDepth(-100);
    EXPECT_DOUBLE_EQ(player_->TempoFactor(), 0.5);
    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    std::vector<int16_t> slow = Render(1200);
    EXPECT_LT(Rms(slow, At(1000), At(1200)), Rms(normal, At(1000), At(1200)) / 3);
}

TEST_F(MidiPlayerTest, StartPositionSkipsIntoThePiece) {
    ASSERT_EQ(player_->Play(1, 5, 900), 0);
    std::vector<int16_t> late = Render(400);
    // The second note (at 1 s) sounds within the first 200 ms.
    EXPECT_GT(Rms(late, At(100), At(300)), 100.0);
}

TEST_F(MidiPlayerTest, ListsAreReplacedAndDeleted) {
    EXPECT_EQ(player_->Play(1, 6, 0), -1);
    const std::vector<uint8_t> junk = {1, 2, 3};
    EXPECT_EQ(player_->ReadList(junk.data(), 3, 1, 6), -1);
    EXPECT_EQ(player_->Play(1, 6, 0), -1);
    player_->DeleteList(5);
    EXPECT_EQ(player_->Play(1, 5, 0), -1);
    EXPECT_FALSE(player_->Playing());
}

TEST_F(MidiPlayerTest, TheSynthesiserIsMadeByTheFirstPlayAndNothingBefore) {
    // Open and ReadList (in SetUp), mixing, the settings and a play of an
    // empty list leave the synthesiser unmade.
    EXPECT_EQ(Rms(Render(50), 0, At(50)), 0.0);
    player_->MasterVolume(-100);
    player_->TempoDepth(20);
    player_->Stop();
    EXPECT_EQ(player_->Play(1, 6, 0), -1);
    EXPECT_FALSE(player_->SynthLoaded());
    EXPECT_EQ(player_->Failure(), "");
    ASSERT_EQ(player_->Play(1, 5, 0), 0);
    EXPECT_TRUE(player_->SynthLoaded());
    EXPECT_GT(Rms(Render(200), 0, At(200)), 0.0);
    // The tempo set before the synthesiser existed is the one it plays at.
    EXPECT_DOUBLE_EQ(player_->TempoFactor(), 1.4);
}

// A file named as a soundfont: its first bytes, then whatever follows.
std::string WriteFakeSoundFont(const char* name, const std::string& bytes) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST(MidiPlayerOpen, AFileWithASoundFontsHeadButNoSoundsFailsOnTheFirstPlay) {
    const std::string broken =
        WriteFakeSoundFont("broken.sf2", std::string("RIFF\x10\0\0\0sfbkLIST\x04\0\0\0junk", 24));
    const std::string text = WriteFakeSoundFont("text.sf2", "not a soundfont at all");
    std::string failure;
    EXPECT_EQ(MidiPlayer::Open({text}, &failure), nullptr);
    EXPECT_NE(failure.find(text), std::string::npos);

    failure.clear();
    auto player = MidiPlayer::Open({text, broken}, &failure);
    ASSERT_NE(player, nullptr);
    const std::vector<uint8_t> file = TwoNoteMidi();
    ASSERT_EQ(player->ReadList(file.data(), static_cast<int32_t>(file.size()), 1, 1), 0);
    EXPECT_EQ(player->Play(1, 1, 0), -1);
    EXPECT_FALSE(player->Playing());
    EXPECT_NE(player->Failure().find(broken), std::string::npos);
    // Tried once: the next play fails at once, and the player stays usable.
    EXPECT_EQ(player->Play(1, 1, 0), -1);
    player->Stop();
    player->TempoDepth(0);
    std::filesystem::remove(broken);
    std::filesystem::remove(text);
}

TEST(MidiPlayerOpen, ReportsAMissingSoundFont) {
    std::string failure;
    EXPECT_EQ(MidiPlayer::Open({"/nonexistent/none.sf2"}, &failure), nullptr);
    EXPECT_NE(failure.find("/nonexistent/none.sf2"), std::string::npos);
}

}  // namespace
}  // namespace velk::platform
