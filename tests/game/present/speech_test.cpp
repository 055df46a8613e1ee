#include <map>
#include <set>

#include <gtest/gtest.h>

#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_records.h"
#include "game/present/sound_commands.h"
#include "game/present/sound_state.h"
#include "game/present/speech_output.h"
#include "game/present/speech_texts.h"
#include "lib/sound/sound_public.h"
#include "tests/game/present/sound_test_support.h"

namespace velk::testing {
namespace {

constexpr int16_t kLevel = 8000;
// あいう
constexpr char kKana[] = "\x82\xA0\x82\xA2\x82\xA4";

// A synthesiser that hands out a short steady WAVE for every text and keeps
// the calls and the images not handed back yet.
class FakeSpeech final : public SpeechOutput {
public:
    bool Present() const override { return present; }
    const uint8_t* Synthesize(const std::string& text, int32_t speed, int32_t* size) override {
        texts.push_back(text);
        speeds.push_back(speed);
        if (!speaks) return nullptr;
        auto image = std::make_unique<Bytes>(SteadyWave(kLevel, kLevel, 4410));
        const uint8_t* first = image->data();
        *size = static_cast<int32_t>(image->size());
        lent[first] = std::move(image);
        return first;
    }
    void FreeWave(const uint8_t* wave) override {
        EXPECT_EQ(lent.erase(wave), 1u) << "an image handed back that was not lent";
    }

    bool present = true;
    bool speaks = true;
    std::vector<std::string> texts;
    std::vector<int32_t> speeds;
    std::map<const uint8_t*, std::unique_ptr<Bytes>> lent;
};

class SpeechTest : public GameSoundTest {
protected:
    void SetUp() override {
        GameSoundTest::SetUp();
        WriteDataFile("se.wav", SteadyWave(kLevel, kLevel, 4410));
        MakeState({}, {}, {{"se.wav", 0, 0, 0}, {"se.wav", 0, 0, 0}});
        state_ = std::make_unique<SoundState>(database_, midi_, speech_, settings_);
    }

    int32_t FirstSpare() const { return state_->SpareBase(SoundState::kSoundEffect); }

    FakeSpeech speech_;
};

TEST_F(SpeechTest, SpeechTakesASpareRowWithItsPitchVolumeAndRelease) {
    const int32_t row = state_->AddSpeech(kKana, 100, 80, 150);
    EXPECT_EQ(row, FirstSpare());
    EXPECT_EQ(speech_.texts, std::vector<std::string>{kKana});
    EXPECT_EQ(database_.GetString(3, row, 0), texts::kSpeechRowName);
    EXPECT_EQ(database_.GetInt(3, row, 1), 80);
    EXPECT_EQ(database_.GetInt(3, row, 2), 150);
    EXPECT_EQ(database_.GetInt(3, row, 3), 1);
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, row), 0);
    EXPECT_TRUE(speech_.lent.empty());
    EXPECT_EQ(settings_.system.spareSoundCount[2], 1);
}

// The synthesis speed is the speed scaled by 100 / pitch, the pitch at least
// 20, in integer arithmetic.
TEST_F(SpeechTest, PitchFloorAndSpeedScaling) {
    struct Case {
        int32_t speed, pitch, synthesis, frequencyItem;
    };
    const Case cases[] = {
        {100, 100, 100, 100}, {100, 200, 50, 200}, {150, 50, 300, 50},
        {100, 10, 500, 20},   {100, 20, 500, 20},  {100, -7, 500, 20},
        {99, 40, 247, 40},    {0, 100, 0, 100},    {INT32_MAX, 20, INT32_MAX, 20},
        {-50, 100, -50, 100},
    };
    for (const Case& c : cases) {
        speech_.speeds.clear();
        const int32_t row = state_->AddSpeech(kKana, c.speed, 100, c.pitch);
        ASSERT_GE(row, 0);
        EXPECT_EQ(speech_.speeds, std::vector<int32_t>{c.synthesis}) << c.speed << " " << c.pitch;
        EXPECT_EQ(database_.GetInt(3, row, 2), c.frequencyItem) << c.speed << " " << c.pitch;
    }
}

TEST_F(SpeechTest, EleventhSpeechReusesTheFirstRowAndReleasesItsSound) {
    std::vector<int32_t> handles;
    for (int32_t i = 0; i < SoundState::kSpareRows; ++i) {
        EXPECT_EQ(state_->AddSpeech(kKana, 100, 100, 100), FirstSpare() + i);
        handles.push_back(state_->RowHandle(SoundState::kSoundEffect, FirstSpare() + i));
    }
    EXPECT_EQ(std::set<int32_t>(handles.begin(), handles.end()).size(), handles.size());
    const int32_t before = GetSoundHandleCount();
    // The first speech is still playing when its row is taken again.
    state_->Play(SoundState::kSoundEffect, FirstSpare(), 0, 0);
    state_->Update();
    EXPECT_EQ(CheckSoundPlaying(handles[0]), 1);
    EXPECT_EQ(state_->AddSpeech(kKana, 100, 100, 100), FirstSpare());
    EXPECT_EQ(CheckSoundPlaying(handles[0]), -1);
    EXPECT_EQ(GetSoundHandleCount(), before);
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, FirstSpare()), handles[0]);
    // The other rows keep their speech.
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, FirstSpare() + 1), handles[1]);
    EXPECT_TRUE(speech_.lent.empty());
}

// The speech that takes a row back takes the row's waiting entry out of the
// queue; an effect queued after that still counts as waiting.
TEST_F(SpeechTest, AnEffectQueuedAfterASpeechTookAWaitingRowBackStillWaits) {
    const int32_t first = state_->AddSpeech(kKana, 100, 100, 100);
    state_->Play(SoundState::kSoundEffect, first, 5, 0);
    state_->ReleaseUnusedSounds();
    ASSERT_NE(state_->RowHandle(SoundState::kSoundEffect, first), 0);
    for (int32_t i = 0; i < SoundState::kSpareRows; ++i)
        state_->AddSpeech(kKana, 100, 100, 100);
    state_->Play(SoundState::kSoundEffect, 0, 5, 0);
    state_->ReleaseUnusedSounds();
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, first + 1), 0);
}

TEST_F(SpeechTest, NothingSpokenChangesNothing) {
    speech_.speaks = false;
    EXPECT_EQ(state_->AddSpeech(kKana, 100, 100, 100), SoundState::kNotRegistered);
    EXPECT_EQ(database_.GetString(3, FirstSpare(), 0), "");
    EXPECT_EQ(settings_.system.spareSoundCount[2], 0);
    EXPECT_EQ(state_->CountLoadedSounds(), 0);
    // Without the library at all, the same.
    SoundState silent(database_, midi_, settings_);
    EXPECT_FALSE(silent.SpeechAvailable());
    EXPECT_EQ(silent.AddSpeech(kKana, 100, 100, 100), SoundState::kNotRegistered);
}

TEST_F(SpeechTest, SpeechAndRunTimeFilesShareTheRowTurn) {
    WriteDataFile("extra.wav", SteadyWave(kLevel, kLevel, 441));
    EXPECT_EQ(state_->AddSoundFile("extra.wav", SoundState::kSoundEffect, 0, 0, 100, 0), FirstSpare());
    EXPECT_EQ(state_->AddSpeech(kKana, 100, 100, 100), FirstSpare() + 1);
    EXPECT_EQ(state_->AddSoundFile("extra.wav", SoundState::kSoundEffect, 0, 0, 100, 0), FirstSpare() + 2);
}

// ---------------------------------------------------------------------------
// The speech command

class SpeechArguments final : public SoundCommandArguments {
public:
    SpeechArguments(std::vector<int32_t> values, std::string text)
        : values_(std::move(values)), text_(std::move(text)) {}
    int32_t Count() const override { return static_cast<int32_t>(values_.size()); }
    int32_t Raw(int32_t index) const override { return values_[static_cast<size_t>(index)]; }
    int32_t Value(int32_t index) override {
        reads.push_back(index);
        return Raw(index) >= 1000000 ? variable : Raw(index);
    }
    std::string FileName() override { return "not the speech text"; }
    std::string SpeechText() override { return text_; }

    int32_t variable = 0;
    std::vector<int32_t> reads;

private:
    std::vector<int32_t> values_;
    std::string text_;
};

constexpr int32_t kCode = 141;

TEST_F(SpeechTest, CommandSpeaksAndPlaysTheRow) {
    SoundCommands commands(*state_);
    SpeechArguments arguments({kCode, 1000100, 70, 10, 0}, kKana);
    arguments.variable = 120;
    EXPECT_TRUE(commands.Speech(arguments));
    EXPECT_EQ(speech_.texts, std::vector<std::string>{kKana});
    EXPECT_EQ(speech_.speeds, std::vector<int32_t>{600});
    EXPECT_EQ(arguments.reads, (std::vector<int32_t>{1, 2, 3, 4}));
    const int32_t handle = state_->RowHandle(SoundState::kSoundEffect, FirstSpare());
    state_->Update();
    EXPECT_EQ(CheckSoundPlaying(handle), 1);
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(SpeechTest, CommandWithoutTheLibraryShowsTheErrorBoxOnly) {
    speech_.present = false;
    CurrentErrorLocation() = {3, 0, 12};
    SoundCommands commands(*state_);
    SpeechArguments arguments({kCode, 100, 100, 100, 0}, kKana);
    EXPECT_TRUE(commands.Speech(arguments));
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, texts::kSpeechCommandWithoutLibrary);
    EXPECT_EQ(reporter_.boxes[0].line2, texts::kSpeechCommandWithoutLibrary2);
    EXPECT_EQ(reporter_.boxes[0].line3, FormatErrorLocation());
    EXPECT_TRUE(speech_.texts.empty());
    EXPECT_TRUE(arguments.reads.empty());
    CurrentErrorLocation() = {};
}

TEST_F(SpeechTest, FailedSynthesisPlaysNothing) {
    speech_.speaks = false;
    SoundCommands commands(*state_);
    SpeechArguments arguments({kCode, 100, 100, 100, 0}, kKana);
    EXPECT_TRUE(commands.Speech(arguments));
    EXPECT_EQ(arguments.reads, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_EQ(state_->CountLoadedSounds(), 0);
}

TEST_F(SpeechTest, TheTableRunsTheCommandWithPaddedArguments) {
    SoundCommandSet set(*state_);
    CommandTable table;
    table.Register(set);
    const CommandEntry* entry = table.Find(static_cast<int32_t>(CommandCode::kSpeech));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->minimumArguments, 5);
    EXPECT_EQ(entry->minimumStrings, 1);
    EventInterpreter interpreter;
    EventCommand command;
    command.arguments = {kCode, 100, 90, 50, 0};
    command.strings = {kKana};
    EXPECT_EQ(entry->handler(interpreter, command), CommandResult::kAdvance);
    EXPECT_EQ(speech_.texts, std::vector<std::string>{kKana});
    EXPECT_EQ(speech_.speeds, std::vector<int32_t>{200});
    EXPECT_EQ(database_.GetInt(3, FirstSpare(), 1), 90);
}

}  // namespace
}  // namespace velk::testing
