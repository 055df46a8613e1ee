#include "game/present/sound_state.h"

#include <random>

#include <gtest/gtest.h>

#include "lib/sound/sound_public.h"
#include "tests/game/present/sound_test_support.h"
#include "tests/platform/midi/midi_test_data.h"

namespace velk::testing {
namespace {

constexpr int16_t kA = 8000;
constexpr int16_t kB = 6000;

class SoundStateTest : public GameSoundTest {
protected:
    void SetUp() override {
        GameSoundTest::SetUp();
        WriteDataFile("a.wav", SteadyWave(kA, 0));
        WriteDataFile("b.wav", SteadyWave(0, kB));
        WriteDataFile("se.wav", SteadyWave(kA, kA, 4410));
        WriteDataFile("song.mid", TwoNoteMidi());
        WriteDataFile("fast.mid", TwoNoteMidi());
        MakeState({{"a.wav", 0, 0, 0}, {"b.wav", 80, 0, 0}, {"song.mid", 0, 50, 0}, {"fast.mid", 0, 150, 0}},
                  {{"a.wav", 0, 0, 0}}, {{"se.wav", 0, 0, 0}, {"se.wav", 60, 150, 1}, {"gone.wav", 0, 0, 0}});
    }
};

// Each update moves the volume a step of the fade: a fade of n frames runs
// n + 1 updates from the start volume to the target, heard frame by frame.
TEST_F(SoundStateTest, FadesInOutAndCrossFadesFrameByFrame) {
    state_->Play(SoundState::kMusic, 0, 3, 0);
    for (int32_t volume : {0, 25, 50, 75, 100, 100})
        EXPECT_EQ(Frame().first, LevelAt(kA, volume)) << volume;
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 0);

    // Row 1 has volume 80: a to b over 5 updates, each side on its channel.
    settings_.masters[0] = 50;
    state_->Play(SoundState::kMusic, 1, 4, 0);
    const int32_t target = 80 * 50 / 100;
    for (int32_t r = 5; r >= 0; --r) {
        auto [left, right] = Frame();
        EXPECT_EQ(left, LevelAt(kA, 100 * r / 5)) << r;
        EXPECT_EQ(right, LevelAt(kB, target * (5 - r) / 5)) << r;
    }
    // The faded-out sound is released.
    EXPECT_EQ(state_->RowHandle(SoundState::kMusic, 0), 0);
    EXPECT_NE(state_->RowHandle(SoundState::kMusic, 1), 0);

    // Stop with a fade of 2: three updates down to silence, then released.
    state_->Play(SoundState::kMusic, -1, 2, 0);
    for (int32_t r = 3; r >= 0; --r)
        EXPECT_EQ(Frame().second, LevelAt(kB, target * r / 3)) << r;
    EXPECT_EQ(state_->RowHandle(SoundState::kMusic, 1), 0);
    EXPECT_EQ(Frame().second, 0);
}

TEST_F(SoundStateTest, SwitchingAgainCutsTheSoundFadingOut) {
    state_->Play(SoundState::kMusic, 0, 0, 0);
    Frame();
    state_->Play(SoundState::kMusic, 1, 30, 0);
    Frame();
    const int32_t a = state_->RowHandle(SoundState::kMusic, 0);
    ASSERT_NE(a, 0);
    state_->Play(SoundState::kMusic, 0, 30, 0);  // a again: b fades out, the old a was cut
    EXPECT_EQ(CheckSoundPlaying(a), -1);
    state_->Play(SoundState::kMusic, 0, 60, 0);  // the same number does nothing
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 0);
}

TEST_F(SoundStateTest, StopWithoutFadeDeletesAtOnceAndPlayingTwiceDoesNothing) {
    state_->Play(SoundState::kMusic, 0, 60, 0);
    const int32_t handle = state_->CurrentHandle(SoundState::kMusic);
    state_->Play(SoundState::kMusic, 0, 60, 0);
    EXPECT_EQ(state_->CurrentHandle(SoundState::kMusic), handle);
    state_->Play(SoundState::kMusic, 65535, 0, 0);
    EXPECT_EQ(CheckSoundPlaying(handle), -1);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);
}

TEST_F(SoundStateTest, PermissionGateRecordsTheNumberOnly) {
    settings_.permission = 1;
    state_->Play(SoundState::kMusic, 1, 0, 0);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 1);
    EXPECT_EQ(state_->CountLoadedSounds(), 0);
    EXPECT_EQ(Frame().second, 0);
    settings_.permission = 2;
    state_->Play(SoundState::kSoundEffect, 0, 0, 0);
    EXPECT_EQ(state_->CountLoadedSounds(), 0);
}

TEST_F(SoundStateTest, EffectsWaitTheirDelayAndMinusOneStopsThemAll) {
    state_->Play(SoundState::kSoundEffect, 0, 3, 0);
    state_->Play(SoundState::kSoundEffect, -1, 5, 0);
    const int32_t handle = state_->RowHandle(SoundState::kSoundEffect, 0);
    // Updates 1-3 count the delay down; the fourth starts the sound.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Frame().first, 0) << i;
    EXPECT_EQ(Frame().first, LevelAt(kA, 100));
    EXPECT_EQ(Frame().first, LevelAt(kA, 100));
    EXPECT_EQ(CheckSoundPlaying(handle), 1);
    Frame();  // the stop entry reaches 0
    EXPECT_EQ(CheckSoundPlaying(handle), 0);
    EXPECT_EQ(Frame().first, 0);
}

TEST_F(SoundStateTest, EffectWithReleaseFlagIsReleasedAfterPlaying) {
    // At its row's volume (60) under the master's 50, and its frequency:
    // 4410 frames at 150 % last 2940.
    settings_.masters[2] = 50;
    state_->Play(SoundState::kSoundEffect, 1, 0, 0);
    state_->Update();
    const std::vector<int16_t> out = audio_.RenderSamples(kFrameSamples * 8);
    EXPECT_EQ(out[0], LevelAt(kA, 30));
    int sounding = 0;
    for (size_t i = 0; i < out.size(); i += 2)
        sounding += out[i] != 0;
    EXPECT_NEAR(sounding, 2940, 2);
    for (int i = 0; i < 8 && state_->RowHandle(SoundState::kSoundEffect, 1) != 0; ++i)
        Frame();
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 1), 0);
    // A master volume of 0 plays no effect at all.
    settings_.masters[2] = 0;
    state_->Play(SoundState::kSoundEffect, 0, 0, 0);
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
}

TEST_F(SoundStateTest, MidiRowsGoToTheMidiLibraryWithTempoAfterTwentyFrames) {
    state_->Play(SoundState::kMusic, 2, 0, 0);
    EXPECT_TRUE(midi_.Called("read 3 1 1"));  // the list is read at the first play
    EXPECT_TRUE(midi_.Called("volume -2500"));
    EXPECT_TRUE(midi_.Called("tempo -100"));
    EXPECT_TRUE(midi_.Called("play 1 3 0"));
    EXPECT_TRUE(state_->MusicIsMidi());
    state_->Play(SoundState::kMusic, 3, 0, 0);
    EXPECT_TRUE(midi_.Called("stop"));
    EXPECT_TRUE(midi_.Called("tempo 25"));
    midi_.calls.clear();
    for (int i = 0; i < 19; ++i)
        state_->Update();
    EXPECT_FALSE(midi_.Called("tempo 25"));
    state_->Update();
    EXPECT_TRUE(midi_.Called("tempo 25"));
    // The fade-in reached full volume: (100 - 100) x 25.
    EXPECT_EQ(midi_.volumes.back(), 0);
    EXPECT_EQ(state_->PlayingFileName(SoundChannel::kMusic), "fast.mid");
}

TEST_F(SoundStateTest, MidiFadesOutWhenASoundFileTakesOver) {
    state_->Play(SoundState::kMusic, 2, 0, 0);
    state_->Update();
    state_->Update();
    midi_.calls.clear();
    midi_.volumes.clear();
    state_->Play(SoundState::kMusic, 0, 3, 0);
    for (int i = 0; i < 5; ++i)
        Frame();
    // (100 - 100) x 25 - (t - r) x 2500 / t for r = 4..0, then stopped.
    EXPECT_EQ(midi_.volumes, (std::vector<int32_t>{0, -625, -1250, -1875, -2500}));
    EXPECT_EQ(midi_.calls.back(), "stop");
}

TEST_F(SoundStateTest, HostileNumbersAndFadesEndCleanly) {
    // A fade of -1 or below runs like a fade of 0 (no division by zero, no
    // fade that never ends).
    for (int32_t fade : {-1, -50, INT32_MIN}) {
        state_->Play(SoundState::kMusic, 0, fade, 0);
        Frame();
        Frame();
        EXPECT_EQ(Frame().first, LevelAt(kA, 100)) << fade;
        state_->Play(SoundState::kMusic, -1, fade, 0);
        Frame();
        Frame();
        EXPECT_EQ(Frame().first, 0) << fade;
    }
    // Rows outside the lists are no rows.
    for (int32_t number : {4, 14, 1000000, -7, INT32_MAX}) {
        state_->Play(SoundState::kMusic, number, 0, 0);
        state_->Play(SoundState::kBackgroundSound, number, 0, 0);
        state_->Play(SoundState::kSoundEffect, number, 0, 0);
        EXPECT_TRUE(state_->LoadSound(SoundState::kSoundEffect, number));
        EXPECT_FALSE(state_->ReleaseSound(SoundState::kMusic, number));
        EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1) << number;
    }
    state_->Play(7, 0, 0, 0);
    EXPECT_EQ(state_->CountLoadedSounds(), 0);
    Frame();
    // A missing file is reported with its row.
    state_->Play(SoundState::kSoundEffect, 2, 0, 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_NE(reporter_.boxes[0].line1.find("Data\\gone.wav"), std::string::npos);
    EXPECT_NE(reporter_.boxes[0].line1.find("3-2"), std::string::npos);
}

TEST_F(SoundStateTest, EffectEvictionEndsAndKeepsBusyEffects) {
    std::vector<SoundRow> effects;
    for (int i = 0; i < 40; ++i)
        effects.push_back({"se.wav", 0, 0, 0});
    MakeState({}, {}, effects);
    for (int32_t row = 0; row < 40; ++row)
        state_->LoadSound(SoundState::kSoundEffect, row);
    EXPECT_EQ(state_->CountLoadedSounds(), SoundState::kLoadedEffectLimit);
    // The oldest went first.
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, 39), 0);

    // With every loaded effect playing nothing can go: the pass still ends.
    for (int32_t row = 10; row < 40; ++row)
        state_->Play(SoundState::kSoundEffect, row, 0, 0);
    state_->Update();
    for (int32_t row = 40; row < 45; ++row)
        state_->LoadSound(SoundState::kSoundEffect, row);
    for (int32_t row = 0; row < 5; ++row)
        state_->Play(SoundState::kSoundEffect, row, 0, 0);
    EXPECT_EQ(state_->CountLoadedSounds(), SoundState::kLoadedEffectLimit + 5);
}

TEST_F(SoundStateTest, BackgroundSoundFadesAndReleases) {
    state_->Play(SoundState::kBackgroundSound, 0, 1, 0);
    for (int32_t volume : {0, 50, 100})
        EXPECT_EQ(Frame().first, LevelAt(kA, volume));
    EXPECT_EQ(state_->GetLoopOffset(SoundState::kBackgroundSound), 0);
    state_->Play(SoundState::kBackgroundSound, -1, 1, 0);
    for (int32_t volume : {100, 50, 0})
        EXPECT_EQ(Frame().first, LevelAt(kA, volume));
    EXPECT_EQ(state_->RowHandle(SoundState::kBackgroundSound, 0), 0);
}

// The music or background sound that plays already, asked for again (a map
// with the same music, say), goes on where it was at its full level: no cut,
// no fade-in, no restart.
TEST_F(SoundStateTest, TheSoundPlayingAlreadyGoesOnUntouched) {
    MakeState({{"a.wav", 0, 0, 0}}, {{"b.wav", 0, 0, 0}});
    state_->Play(SoundState::kMusic, 0, 0, 0);
    state_->Play(SoundState::kBackgroundSound, 0, 0, 0);
    Run(30);
    const int32_t music = state_->CurrentHandle(SoundState::kMusic);
    state_->Play(SoundState::kMusic, 0, 60, 0);
    state_->Play(SoundState::kBackgroundSound, 0, 60, 0);
    for (int frame = 0; frame < 3; ++frame) {
        auto [left, right] = Frame();
        EXPECT_EQ(left, LevelAt(kA, 100)) << frame;
        EXPECT_EQ(right, LevelAt(kB, 100)) << frame;
    }
    Run(27);
    EXPECT_EQ(state_->CurrentHandle(SoundState::kMusic), music);
    EXPECT_EQ(state_->PlayPosition(SoundState::kMusic), 1000) << "half a second, then half a second more";
    EXPECT_EQ(state_->PlayPosition(SoundState::kBackgroundSound), 1000);

    // A load stops both at once and starts what its save plays, the same
    // pieces included: from their start, fading in.
    state_->Play(SoundState::kMusic, -1, 0, 0);
    state_->Play(SoundState::kBackgroundSound, -1, 0, 0);
    state_->RememberForRestart(0, 0);
    state_->RestartMusic(1);
    for (int32_t volume : {0, 50, 100}) {
        auto [left, right] = Frame();
        EXPECT_EQ(left, LevelAt(kA, volume));
        EXPECT_EQ(right, LevelAt(kB, volume));
    }
    Run(27);
    EXPECT_EQ(state_->PlayPosition(SoundState::kMusic), 500);
    EXPECT_EQ(state_->PlayPosition(SoundState::kBackgroundSound), 500);
}

// The game-value command's answers: where the music and background sound
// are, and how long they are (an Ogg Vorbis file counts a second shorter).
TEST_F(SoundStateTest, PlayPositionAndLengthOfWhatPlays) {
    WriteDataFile("long.ogg", EncodeOggVorbis(Tone(44100 * 3 / 2, 2, 44100), 2, 44100));
    WriteDataFile("short.ogg", EncodeOggVorbis(Tone(44100 / 2, 2, 44100), 2, 44100));
    MakeState({{"a.wav", 0, 0, 0}, {"long.ogg", 0, 0, 0}, {"short.ogg", 0, 0, 0}, {"song.mid", 0, 0, 0}},
              {{"b.wav", 0, 0, 0}});
    for (int32_t kind : {SoundState::kMusic, SoundState::kBackgroundSound}) {
        EXPECT_EQ(state_->PlayPosition(kind), 0) << "nothing plays";
        EXPECT_EQ(state_->PlayLength(kind), 0);
    }
    state_->Play(SoundState::kMusic, 0, 0, 0);
    state_->Play(SoundState::kBackgroundSound, 0, 0, 0);
    Run(60);
    EXPECT_EQ(state_->PlayPosition(SoundState::kMusic), 1000);
    EXPECT_EQ(state_->PlayLength(SoundState::kMusic), 3000);
    EXPECT_EQ(state_->PlayPosition(SoundState::kBackgroundSound), 1000);
    EXPECT_EQ(state_->PlayLength(SoundState::kBackgroundSound), 3000);

    // Half a second into each: the short Ogg is back at its start, and a
    // MIDI piece answers nothing.
    const struct {
        int32_t row;
        int32_t position;
        int32_t length;
    } music[] = {{1, 500, 500}, {2, 0, 0}, {3, 0, 0}};
    for (const auto& m : music) {
        state_->Play(SoundState::kMusic, m.row, 0, 0);
        Run(30);
        EXPECT_EQ(state_->PlayPosition(SoundState::kMusic), m.position) << m.row;
        EXPECT_EQ(state_->PlayLength(SoundState::kMusic), m.length) << m.row;
    }
    state_->Play(SoundState::kBackgroundSound, -1, 0, 0);
    EXPECT_EQ(state_->PlayPosition(SoundState::kBackgroundSound), 0);
    EXPECT_EQ(state_->PlayLength(SoundState::kBackgroundSound), 0);
}

// A map change releases every loaded sound that nothing plays any more; the
// music, the background sound, a sounding effect and one still waiting for
// its turn stay.
TEST_F(SoundStateTest, ReleasingUnusedSoundsKeepsWhatPlaysOrWaits) {
    MakeState({{"a.wav", 0, 0, 0}, {"b.wav", 0, 0, 0}}, {{"a.wav", 0, 0, 0}},
              {{"se.wav", 0, 0, 0}, {"se.wav", 0, 0, 0}, {"se.wav", 0, 0, 0}});
    state_->Play(SoundState::kMusic, 0, 0, 0);
    state_->LoadSound(SoundState::kMusic, 1);
    state_->Play(SoundState::kBackgroundSound, 0, 0, 0);
    state_->Play(SoundState::kSoundEffect, 0, 0, 0);
    state_->Play(SoundState::kSoundEffect, 1, 10, 0);
    state_->LoadSound(SoundState::kSoundEffect, 2);
    Run(1);
    const int32_t idleMusic = state_->RowHandle(SoundState::kMusic, 1);
    ASSERT_EQ(state_->CountLoadedSounds(), 6);
    state_->ReleaseUnusedSounds();
    EXPECT_EQ(state_->CountLoadedSounds(), 4);
    EXPECT_EQ(state_->RowHandle(SoundState::kMusic, 1), 0);
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 2), 0);
    EXPECT_EQ(CheckSoundPlaying(idleMusic), -1) << "deleted, not only forgotten";

    // Once the first effect has sounded it goes too; the waiting one stays
    // and plays when its turn comes.
    Run(8);
    state_->ReleaseUnusedSounds();
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    EXPECT_EQ(state_->CountLoadedSounds(), 3);
    Run(2);
    EXPECT_EQ(CheckSoundPlaying(state_->RowHandle(SoundState::kSoundEffect, 1)), 1);
}

TEST_F(SoundStateTest, VolumeWritesFadeOverTwoUpdatesAndKeepTheReference) {
    state_->Play(SoundState::kMusic, 1, 0, 0);
    Frame();
    Frame();
    EXPECT_EQ(state_->VolumeReference(SoundChannel::kMusic), 80);
    EXPECT_EQ(state_->Volume(SoundChannel::kMusic), 80);
    state_->StartVolumeChange(SoundChannel::kMusic, 40);
    EXPECT_EQ(Frame().second, LevelAt(kB, 80));
    EXPECT_EQ(Frame().second, LevelAt(kB, 60));
    EXPECT_EQ(Frame().second, LevelAt(kB, 40));
    EXPECT_EQ(Frame().second, LevelAt(kB, 40));
}

TEST_F(SoundStateTest, FreshStateSilencesEverything) {
    state_->Play(SoundState::kMusic, 0, 0, 0);
    state_->Play(SoundState::kMusic, 2, 0, 0);  // MIDI, after a sound file
    Frame();
    const int32_t count = GetSoundHandleCount();
    EXPECT_GT(count, 0);
    *state_ = SoundState(database_, midi_, settings_);
    EXPECT_EQ(GetSoundHandleCount(), 0);
    EXPECT_EQ(midi_.calls.back(), "stop");
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);
}

// ---------------------------------------------------------------------------
// Run-time files

TEST_F(SoundStateTest, RunTimeFileTakesTheSpareRowAndTheTextsSettings) {
    WriteDataFile("extra.wav", SteadyWave(kA, kA, 4410));
    const int32_t base = 3;
    int32_t row = state_->AddSoundFile("extra.wav\r\n80\r\n120", SoundState::kSoundEffect, 0, 0, 10, 10);
    EXPECT_EQ(row, base);
    EXPECT_EQ(database_.GetString(3, row, 0), "extra.wav");
    EXPECT_EQ(database_.GetInt(3, row, 1), 80);
    EXPECT_EQ(database_.GetInt(3, row, 2), 120);
    EXPECT_EQ(settings_.system.spareSoundCount[2], 1);
    // The next one takes the next row and empties the name of the one before.
    EXPECT_EQ(state_->AddSoundFile("extra.wav", SoundState::kSoundEffect, 0, 0, 10, 10), base + 1);
    EXPECT_EQ(database_.GetString(3, base, 0), "");
    // Empty names and names of one letter give -1.
    EXPECT_EQ(state_->AddSoundFile("", SoundState::kSoundEffect, 0, 0, 0, 0), -1);
    EXPECT_EQ(state_->AddSoundFile("\nx", SoundState::kSoundEffect, 0, 0, 0, 0), -1);
    EXPECT_EQ(state_->AddSoundFile("x\n", SoundState::kSoundEffect, 0, 0, 0, 0), -1);
    // A missing file is reported and registers nothing.
    EXPECT_EQ(state_->AddSoundFile("none.wav", SoundState::kSoundEffect, 0, 0, 0, 0), SoundState::kNotRegistered);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(settings_.system.spareSoundCount[2], 2);
}

TEST_F(SoundStateTest, SpareRowsWrapAfterTen) {
    WriteDataFile("extra.wav", SteadyWave(kA, kA, 441));
    for (int i = 0; i < 10; ++i)
        state_->AddSoundFile("extra.wav", SoundState::kSoundEffect, 0, 0, 0, 0);
    EXPECT_EQ(settings_.system.spareSoundCount[2], 0);
    EXPECT_EQ(state_->AddSoundFile("extra.wav", SoundState::kSoundEffect, 0, 0, 0, 0), 3);
    // One file, one handle, in the row it was last registered in.
    EXPECT_EQ(state_->CountLoadedSounds(), 1);
}

TEST_F(SoundStateTest, ReleasedRunTimeSoundIsLoadedAgain) {
    WriteDataFile("extra.wav", SteadyWave(kA, kA, 441));
    int32_t row = state_->AddSoundFile("extra.wav\n100\n0\n1", SoundState::kSoundEffect, 0, 0, 0, 0);
    database_.SetInt(3, row, 3, 1);  // release after playing
    state_->Play(SoundState::kSoundEffect, row, 0, 0);
    Run(4);
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, row), 0);
    row = state_->AddSoundFile("extra.wav", SoundState::kSoundEffect, 0, 0, 100, 0);
    const int32_t handle = state_->RowHandle(SoundState::kSoundEffect, row);
    ASSERT_NE(handle, 0);
    EXPECT_NE(CheckSoundPlaying(handle), -1);
    state_->Play(SoundState::kSoundEffect, row, 0, 0);
    state_->Update();
    EXPECT_EQ(audio_.RenderSamples(1)[0], LevelAt(kA, 100));
}

TEST_F(SoundStateTest, RunTimeMusicPlayingAlreadyOnlyChangesVolume) {
    WriteDataFile("theme.wav", SteadyWave(kA, 0));
    const int32_t row = state_->AddSoundFile("theme.wav", SoundState::kMusic, 0, 0, 100, 0);
    EXPECT_EQ(row, 4);
    state_->Play(SoundState::kMusic, row, 0, 0);
    Frame();
    EXPECT_EQ(Frame().first, LevelAt(kA, 100));
    EXPECT_EQ(state_->AddSoundFile("theme.wav\n50", SoundState::kMusic, 1, 0, 100, 0), SoundState::kNotRegistered);
    EXPECT_EQ(Frame().first, LevelAt(kA, 100));
    EXPECT_EQ(Frame().first, LevelAt(kA, 75));
    EXPECT_EQ(Frame().first, LevelAt(kA, 50));
    EXPECT_EQ(state_->VolumeReference(SoundChannel::kMusic), 50);
    // The same file named again when nothing plays registers anew.
    state_->Play(SoundState::kMusic, -1, 0, 0);
    EXPECT_EQ(state_->AddSoundFile("theme.wav", SoundState::kMusic, 0, 0, 100, 0), 5);
}

TEST_F(SoundStateTest, ListsWithoutSpareRowsRegisterNothing) {
    database_.SetDataCount(2, 0);
    database_.types[2].rows.clear();
    EXPECT_EQ(state_->AddSoundFile("a.wav", SoundState::kBackgroundSound, 0, 0, 0, 0), SoundState::kNotRegistered);
}

TEST_F(SoundStateTest, RestartPlaysTheRememberedSoundsAgain) {
    state_->Play(SoundState::kMusic, 0, 0, 0);
    state_->Play(SoundState::kBackgroundSound, 0, 0, 0);
    Frame();
    state_->RestartMusic(20);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 0);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kBackgroundSound), 0);
    EXPECT_NE(state_->CurrentHandle(SoundState::kMusic), 0);
}

using QueuedEffect = SoundStateFields::QueuedEffect;

// Sounds that write down every call; whether a sound plays is a fixed
// function of the handle and of how often it has been asked.
class RecordedSounds final : public EffectQueueSounds {
public:
    void Play(int32_t handle) override { calls.push_back("play " + std::to_string(handle)); }
    bool Playing(int32_t handle) override {
        const bool playing = (handle * 7 + asked++) % 3 == 0;
        calls.push_back("playing " + std::to_string(handle) + (playing ? " yes" : " no"));
        return playing;
    }
    void StopAll() override { calls.push_back("stop all"); }
    void Release(int32_t handle) override { calls.push_back("release " + std::to_string(handle)); }

    std::vector<std::string> calls;
    int asked = 0;
};

// The frame's run of the queue as its rule reads, entry by entry, each entry
// that leaves taken out of the queue on the spot.
void RunEffectQueueOneByOne(std::vector<QueuedEffect>& queue, int32_t step, EffectQueueSounds& sounds) {
    for (size_t i = 0; i < queue.size();) {
        QueuedEffect& entry = queue[i];
        if (entry.delay == 0 && entry.handle == -1) {
            sounds.StopAll();
            queue.clear();
            return;
        }
        if (entry.delay == 0) {
            sounds.Play(entry.handle);
            if (entry.release < 1) {
                queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
        } else if (entry.delay < 0 && !sounds.Playing(entry.handle)) {
            const int32_t handle = entry.handle;
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
            sounds.Release(handle);
            continue;
        }
        if (entry.delay > 0) {
            entry.delay = std::max(0, entry.delay - step);
        } else if (entry.delay == 0) {
            entry.delay = -1;
        }
        ++i;
    }
}

std::string Describe(const std::vector<QueuedEffect>& queue) {
    std::string text;
    for (const QueuedEffect& entry : queue)
        text += std::to_string(entry.handle) + "/" + std::to_string(entry.delay) + "/" + std::to_string(entry.release) +
                " ";
    return text;
}

// Queues of due, waiting, sounding and stop entries, run frame after frame:
// the same calls in the same order and the same entries left, in order.
TEST(EffectQueueTest, AFrameOfTheQueueDoesWhatTakingEachEntryOutInTurnDoes) {
    std::mt19937 random(20260514);
    const int32_t delays[] = {-3, -1, -1, 0, 0, 0, 0, 1, 2, 3, 7};
    for (int round = 0; round < 400; ++round) {
        std::vector<QueuedEffect> queue;
        const size_t length = random() % 60;
        // Rounds without a stop entry run until their queue is empty.
        const bool stops = random() % 3 == 0;
        for (size_t i = 0; i < length; ++i) {
            QueuedEffect entry;
            entry.handle = stops && random() % 12 == 0 ? -1 : static_cast<int32_t>(1 + random() % 6);
            entry.delay = delays[random() % std::size(delays)];
            entry.release = static_cast<int32_t>(random() % 3);
            queue.push_back(entry);
        }
        const auto step = static_cast<int32_t>(1 + random() % 3);
        std::vector<QueuedEffect> reference = queue;
        RecordedSounds sounds, referenceSounds;
        for (int frame = 0; frame < 12; ++frame) {
            RunEffectQueue(queue, step, sounds);
            RunEffectQueueOneByOne(reference, step, referenceSounds);
            ASSERT_EQ(sounds.calls, referenceSounds.calls) << "round " << round << " frame " << frame;
            ASSERT_EQ(Describe(queue), Describe(reference)) << "round " << round << " frame " << frame;
        }
    }
}

// Sounds waiting their turn count as used until their entry has left the
// queue, however it changed since the last time the queue was asked.
TEST_F(SoundStateTest, AnEffectCountsAsWaitingExactlyWhileItsEntryIsQueued) {
    MakeState({}, {}, {{"se.wav", 0, 0, 0}, {"se.wav", 0, 0, 0}});
    state_->Play(SoundState::kSoundEffect, 0, 3, 0);
    state_->LoadSound(SoundState::kSoundEffect, 1);
    state_->ReleaseUnusedSounds();
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 1), 0);
    // Queued after the question: waits as well.
    state_->Play(SoundState::kSoundEffect, 1, 3, 0);
    state_->ReleaseUnusedSounds();
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, 1), 0);
    // Both entries play and leave the queue (no release flag); once they
    // have sounded, both go.
    Run(4);
    EXPECT_EQ(CheckSoundPlaying(state_->RowHandle(SoundState::kSoundEffect, 0)), 1);
    Run(8);
    state_->ReleaseUnusedSounds();
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 1), 0);
    // A stop entry empties the queue: what waited behind it is free again.
    state_->Play(SoundState::kSoundEffect, 0, 5, 0);
    state_->Play(SoundState::kSoundEffect, -1, 0, 0);
    state_->ReleaseUnusedSounds();
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    Run(1);
    state_->ReleaseUnusedSounds();
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
}

}  // namespace
}  // namespace velk::testing
