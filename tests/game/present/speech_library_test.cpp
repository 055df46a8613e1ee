#include "game/present/speech_library.h"

#include <cmath>

#include <gtest/gtest.h>

#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_records.h"
#include "game/present/sound_commands.h"
#include "game/present/sound_state.h"
#include "game/present/speech_texts.h"
#include "lib/sound/sound_public.h"
#include "tests/game/present/sound_test_support.h"

namespace velk::testing {
namespace {

// こんにちは
constexpr char kGreeting[] = "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD";

// The speech command with its text, through the command table.
void RunSpeechCommand(SoundState& sound, const std::string& text) {
    SoundCommandSet set(sound);
    CommandTable table;
    table.Register(set);
    EventInterpreter interpreter;
    EventCommand command;
    command.arguments = {141, 100, 100, 100, 0};
    command.strings = {text};
    table.Find(static_cast<int32_t>(CommandCode::kSpeech))->handler(interpreter, command);
}

class SpeechLibraryTest : public GameSoundTest {
protected:
    void SetUp() override {
        GameSoundTest::SetUp();
        if (!library_.Installed()) GTEST_SKIP() << "the speech engine's data is not installed";
        if (!library_.Load()) GTEST_SKIP() << "the Japanese voice of the speech engine is not installed";
        MakeState({}, {}, {{"", 0, 0, 0}});
        state_ = std::make_unique<SoundState>(database_, midi_, library_, settings_);
    }
    void TearDown() override {
        state_.reset();
        library_.Free();
        GameSoundTest::TearDown();
    }

    // Plays the row and counts the frames until the sound is over and
    // released, with the loudness heard meanwhile.
    std::pair<int, double> Hear(int32_t row) {
        state_->Play(SoundState::kSoundEffect, row, 0, 0);
        double sum = 0;
        size_t count = 0;
        int frames = 0;
        while (state_->RowHandle(SoundState::kSoundEffect, row) != 0 && frames < 60 * 20) {
            state_->Update();
            for (int16_t sample : audio_.RenderSamples(kFrameSamples)) {
                sum += static_cast<double>(sample) * sample;
                ++count;
            }
            ++frames;
        }
        return {frames, count == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(count))};
    }

    SpeechLibrary library_;
};

TEST_F(SpeechLibraryTest, SpokenTextIsHeardAndKeepsItsTempoWhateverThePitch) {
    const int32_t row = state_->AddSpeech(kGreeting, 100, 100, 100);
    ASSERT_GE(row, 0);
    const auto [frames, loudness] = Hear(row);
    EXPECT_GT(loudness, 200.0);
    EXPECT_GT(frames, 15);
    EXPECT_LT(frames, 60 * 3);
    // Half the pitch: synthesised twice as fast, played at half the
    // frequency, it lasts about as long.
    const int32_t low = state_->AddSpeech(kGreeting, 100, 100, 50);
    const auto [lowFrames, lowLoudness] = Hear(low);
    EXPECT_GT(lowLoudness, 200.0);
    EXPECT_NEAR(lowFrames, frames, frames / 4);
    // Half the speed: about twice as long.
    const auto [slowFrames, slowLoudness] = Hear(state_->AddSpeech(kGreeting, 50, 100, 100));
    EXPECT_GT(slowFrames, frames * 3 / 2);
}

TEST_F(SpeechLibraryTest, TheCommandSpeaksThroughTheLibrary) {
    RunSpeechCommand(*state_, kGreeting);
    const int32_t row = state_->SpareBase(SoundState::kSoundEffect);
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, row), 0);
    state_->Update();
    EXPECT_EQ(CheckSoundPlaying(state_->RowHandle(SoundState::kSoundEffect, row)), 1);
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(SpeechLibraryTest, FreedLibraryGivesNothingUntilLoadedAgain) {
    library_.Free();
    EXPECT_FALSE(library_.Present());
    int32_t size = 0;
    EXPECT_EQ(library_.Synthesize(kGreeting, 100, &size), nullptr);
    ASSERT_TRUE(library_.Load());
    const uint8_t* wave = library_.Synthesize(kGreeting, 100, &size);
    ASSERT_NE(wave, nullptr);
    EXPECT_GT(size, 44);
    library_.FreeWave(wave);
    EXPECT_EQ(library_.Synthesize("", 100, &size), nullptr);
}

TEST_F(SpeechLibraryTest, VoiceThatDoesNotLoadShowsTheMessageOnce) {
    SpeechLibrary voiceless("no-such-voice");
    EXPECT_FALSE(voiceless.Load());
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line1, texts::kSpeechFunctionsMissing);
    EXPECT_EQ(reporter_.messages[0].line2, texts::kSpeechFunctionsMissingCaption);
    EXPECT_FALSE(voiceless.Present());
    int32_t size = 0;
    EXPECT_EQ(voiceless.Synthesize(kGreeting, 100, &size), nullptr);

    // The speech command then shows its error box and nothing else.
    SoundState withoutVoice(database_, midi_, voiceless, settings_);
    RunSpeechCommand(withoutVoice, kGreeting);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(withoutVoice.CountLoadedSounds(), 0);
    // The library that does load is not disturbed.
    EXPECT_TRUE(library_.Present());
    EXPECT_GE(state_->AddSpeech(kGreeting, 100, 100, 100), 0);
}

}  // namespace
}  // namespace velk::testing
