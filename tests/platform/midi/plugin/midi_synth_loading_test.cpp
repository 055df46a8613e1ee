// FluidSynth's libraries come with the first MIDI play: the program starts
// without them, and opening the player or reading a list does not map them.

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/audio/audio_mixer.h"
#include "platform/audio/wave_format.h"
#include "platform/midi/midi_player.h"
#include "tests/platform/midi/midi_test_data.h"

namespace velk::platform {
namespace {

bool Mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    const std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    return text.find(library) != std::string::npos;
}

// The only test here, so that nothing played MIDI before it.
TEST(MidiSynthLoading, FluidSynthIsMappedByTheFirstPlayAndNotBefore) {
    // Only the process's first pass can see it unloaded (tests may repeat).
    static bool played = false;
    const bool first = !played;
    played = true;
    if (first) {
        EXPECT_FALSE(Mapped("libfluidsynth")) << "FluidSynth was loaded with the program";
        EXPECT_FALSE(Mapped("velk-fluidsynth-midi"));
    }

    AudioMixer mixer(MakePcmFormat(2, 44100, 16));
    std::string failure;
    auto player = MidiPlayer::Open(DefaultSoundFontPaths(), &failure);
    ASSERT_NE(player, nullptr) << failure;
    const std::vector<uint8_t> file = testing::TwoNoteMidi();
    ASSERT_EQ(player->ReadList(file.data(), static_cast<int32_t>(file.size()), 1, 3), 0);
    // A play of a list that holds nothing needs no synthesiser either.
    EXPECT_EQ(player->Play(1, 4, 0), -1);
    std::vector<uint8_t> bytes(4410 * 4);
    mixer.Render(bytes.data(), 4410);
    if (first) {
        EXPECT_FALSE(Mapped("libfluidsynth"));
        EXPECT_FALSE(Mapped("velk-fluidsynth-midi"));
    }

    ASSERT_EQ(player->Play(1, 3, 0), 0) << player->Failure();
    EXPECT_TRUE(Mapped("velk-fluidsynth-midi"));
    EXPECT_TRUE(Mapped("libfluidsynth"));
    // And the plug-in's synthesiser is the one heard.
    mixer.Render(bytes.data(), 4410);
    double sum = 0;
    for (size_t i = 0; i < 4410; ++i) {
        const auto left = static_cast<int16_t>(bytes[4 * i] | (bytes[4 * i + 1] << 8));
        sum += static_cast<double>(left) * left;
    }
    EXPECT_GT(std::sqrt(sum / 4410), 100.0);
}

}  // namespace
}  // namespace velk::platform
