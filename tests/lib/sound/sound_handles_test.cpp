#include <gtest/gtest.h>

#include "lib/core/window/window_services.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_services.h"
#include "tests/lib/sound/sound_fixture.h"

namespace velk {
namespace {

using testing::Bytes;
using testing::SoundTest;

class SoundHandlesTest : public SoundTest {};

TEST_F(SoundHandlesTest, TableFillsUpAndFreedSlotsAreReused) {
    std::vector<int> handles;
    for (int i = 0; i < 4096; ++i) {
        handles.push_back(AddSoundData(-1));
        ASSERT_NE(handles.back(), -1) << i;
    }
    EXPECT_EQ(AddSoundData(-1), -1);
    EXPECT_TRUE(LogHas(sound_text::kTooManySounds));
    // Slot 10 freed: the table is past its end mark, so the first free slot.
    ASSERT_EQ(handles[10] & 0xFFFF, 10);
    ASSERT_EQ(DeleteSoundBody(handles[10]), 0);
    const int again = AddSoundData(-1);
    EXPECT_EQ(again & 0xFFFF, 10);
    EXPECT_EQ(DeleteAllSoundsBody(), 0);
    EXPECT_EQ(GetSoundHandleCount(), 0);
}

TEST_F(SoundHandlesTest, StaleAndForeignHandlesAreRefused) {
    const int first = Load(testing::RampWave(100));
    ASSERT_NE(first, -1);
    EXPECT_EQ(first & 0x78000000, 0x10000000);
    ASSERT_EQ(DeleteSoundBody(first), 0);
    const int second = Load(testing::RampWave(100));
    EXPECT_EQ(second & 0xFFFF, first & 0xFFFF);
    EXPECT_NE(second, first);
    EXPECT_EQ(SetSoundVolumeBody(100, first), -1);
    EXPECT_EQ(CheckSoundPlayingBody((second & ~0x78000000) | 0x58000000), -1);
    EXPECT_EQ(CheckSoundPlayingBody(second), 0);
}

TEST_F(SoundHandlesTest, VolumeMapsToHundredthsOfADecibelOfTheMixer) {
    std::vector<int16_t> loud(4000, 20000);
    const int handle = Load(testing::WaveFile(testing::PcmFormatBody(2, 44100, 16), testing::SampleBytes(loud)));
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeLoop, 1), 0);
    const auto level = [&](int volume) {
        SetSoundVolumeBody(volume, handle);
        return audio_.RenderSamples(4)[0];
    };
    EXPECT_EQ(level(255), 20000);
    EXPECT_EQ(level(300), 20000);
    EXPECT_EQ(level(0), 0);
    // 64 gives -600: a gain of 10^(-600/2000) = 0.501.
    EXPECT_NEAR(level(64), 20000 * 0.501, 20000 * 0.00501);
    EXPECT_NEAR(level(128), 20000 * std::pow(10.0, -299 / 2000.0), 3);
    EXPECT_NEAR(level(1), 20000 * std::pow(10.0, -2406 / 2000.0), 3);
}

TEST_F(SoundHandlesTest, NonLoopingPlayEndsAndItsStatusClears) {
    const int handle = Load(testing::RampWave(1000));
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 1), 0);
    EXPECT_EQ(CheckSoundPlayingBody(handle), 1);
    const std::vector<int16_t> out = Left(1200);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[i], i);
    EXPECT_EQ(out[1100], 0);
    EXPECT_EQ(CheckSoundPlayingBody(handle), 0);
}

TEST_F(SoundHandlesTest, ThreeBuffersRotateAndTheFourthPlayRestartsTheFirst) {
    const int handle = Load(testing::RampWave(10000), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 1), 0);
        Left(100);
    }
    // Three voices at 200, 100 and 0 frames in: their sum at the next frame.
    EXPECT_EQ(Left(1)[0], 300 + 200 + 100);
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 1), 0);
    EXPECT_EQ(Left(1)[0], 0 + 201 + 101);
}

TEST_F(SoundHandlesTest, FromTopZeroLeavesAPlayingSoundAlone) {
    const int handle = Load(testing::RampWave(10000));
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    Left(500);
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 0), 0);
    EXPECT_EQ(Left(1)[0], 500);
    // Stopped, a from-top-0 play continues where it stood.
    StopSoundHandleBody(handle);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 0);
    EXPECT_EQ(Left(1)[0], 501);
}

TEST_F(SoundHandlesTest, PositionAndLength) {
    const int handle = Load(testing::RampWave(44100 * 2, 2, 44100));
    EXPECT_EQ(GetSoundLengthBody(handle), 2000);
    EXPECT_EQ(GetSoundTotalSample(handle), 88200);
    EXPECT_EQ(GetSoundFrequencyBody(handle), 44100);
    ASSERT_EQ(SetSoundPlayPositionBody(1000, handle), 0);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 0);
    EXPECT_EQ(Left(1)[0], 44100 % 30000);
    EXPECT_EQ(GetSoundPlayPositionBody(handle), 1000);
    // A one-buffer sound that plays cannot be moved.
    EXPECT_EQ(SetSoundPlayPositionBody(0, handle), -1);
    // The frequency doubles the speed but not the reported rate.
    SetSoundFrequencyBody(88200, handle);
    Left(100);
    EXPECT_EQ(GetSoundFrequencyBody(handle), 44100);
}

TEST_F(SoundHandlesTest, DeletingAPlayingSoundStopsIt) {
    const int handle = Load(testing::RampWave(10000));
    PlaySoundHandleBody(handle, kPlayTypeLoop, 1);
    ASSERT_EQ(DeleteSoundBody(handle), 0);
    EXPECT_EQ(Left(10), std::vector<int16_t>(10, 0));
    EXPECT_EQ(DeleteSoundBody(handle), -1);
}

TEST_F(SoundHandlesTest, LoadsRefuseWhatTheyCannotPlayAndLeaveNoHandle) {
    EXPECT_EQ(Load(testing::RampWave(100), 11), -1);
    const Bytes junk(1000, 0x41);
    EXPECT_EQ(Load(junk), -1);
    EXPECT_TRUE(LogHas(sound_text::kPcmConversionFailed));
    // Nothing but headers: no samples to play.
    EXPECT_EQ(Load(testing::WaveFile(testing::PcmFormatBody(2, 44100, 16), {})), -1);
    Bytes zero_channels = testing::PcmFormatBody(2, 44100, 16);
    zero_channels[2] = 0;
    EXPECT_EQ(Load(testing::WaveFile(zero_channels, Bytes(400, 1))), -1);
    EXPECT_EQ(GetSoundHandleCount(), 0);
}

TEST_F(SoundHandlesTest, CreateTypeSetterKeepsItsRange) {
    EXPECT_EQ(SetSoundCreateTypeBody(4), -1);
    EXPECT_EQ(GetSoundCreateType(), 0);
    EXPECT_EQ(SetSoundCreateTypeBody(2), 0);
    EXPECT_EQ(GetSoundCreateType(), 2);
    // A stream sound has one ring whatever the buffers asked.
    const int handle = Load(testing::RampWave(44100), 5);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(GetSoundTotalSample(handle), 44100);
    SetSoundCreateTypeBody(0);
}

TEST_F(SoundHandlesTest, FailedTransferDeletesTheHandle) {
    platform::FailAudioStep(platform::AudioStep::kLock);
    EXPECT_EQ(Load(testing::RampWave(100)), -1);
    EXPECT_TRUE(LogHas(sound_text::kTransferFailed1));
    platform::FailAudioStep(platform::AudioStep::kUnlock);
    EXPECT_EQ(Load(testing::RampWave(100)), -1);
    EXPECT_TRUE(LogHas(sound_text::kTransferFailed2));
    EXPECT_EQ(GetSoundHandleCount(), 0);
}

TEST_F(SoundHandlesTest, AFailedDuplicateOnlyLowersTheBufferCount) {
    platform::FailAudioStep(platform::AudioStep::kDuplicateBuffer, 1, 1);
    const int handle = Load(testing::RampWave(10000), 4);
    ASSERT_NE(handle, -1);
    // Two buffers were made: a third play restarts the first.
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    Left(100);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    Left(100);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    EXPECT_EQ(Left(1)[0], 0 + 100);
}

TEST_F(SoundHandlesTest, ReducedCapabilitiesAreTriedBeforeGivingUp) {
    platform::FailAudioStep(platform::AudioStep::kCreateBuffer);
    const int handle = Load(testing::RampWave(100));
    ASSERT_NE(handle, -1);
    // The second try lacks frequency control.
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    SetSoundFrequencyBody(88200, handle);
    EXPECT_EQ(Left(3)[2], 2);
}

TEST_F(SoundHandlesTest, NoPlayBufferAtAllEndsTheProgram) {
    const Bytes wave = testing::RampWave(100);
    EXPECT_EXIT(
        {
            platform::FailAudioStep(platform::AudioStep::kCreateBuffer, 2);
            Load(wave);
        },
        ::testing::ExitedWithCode(255), "");
}

class SoundStartTest : public SoundTest {
protected:
    bool StartSound() const override { return false; }
};

TEST_F(SoundStartTest, EveryOperationRefusesBeforeStartUp) {
    EXPECT_EQ(EndDirectSound(), -1);
    EXPECT_EQ(DeleteAllSoundsBody(), -1);
    EXPECT_EQ(RefillAllStreamSounds(), -1);
    const Bytes wave = testing::RampWave(10);
    EXPECT_EQ(Load(wave), -1);
    EXPECT_EQ(PlaySoundHandleBody(0x10010000, 1, 1), -1);
}

TEST_F(SoundStartTest, MessageProcessingReachesTheStreamRefill) {
    InstallSoundWindowServices();
    EXPECT_EQ(WindowSound().refill_all_stream_sounds(), -1);
    EXPECT_EQ(WindowSound().update_midi_play_state(), -1);
    ASSERT_EQ(InitDirectSound(), 0);
    EXPECT_EQ(WindowSound().refill_all_stream_sounds(), 0);
    EXPECT_EQ(WindowSound().update_midi_play_state(), 0);
    SetWindowSoundServices(WindowSoundServices{});
}

TEST_F(SoundStartTest, StartUpLogsTheDeviceAndEndsCleanly) {
    ASSERT_EQ(InitDirectSound(), 0);
    EXPECT_EQ(InitDirectSound(), -1);
    EXPECT_EQ(audio_.OutputFormat(), platform::MakePcmFormat(2, 44100, 16));
    EXPECT_TRUE(LogHas(sound_text::kInitStarting));
    EXPECT_TRUE(LogHas("manual"));
    EXPECT_TRUE(LogHas(" = OK  "));
    EXPECT_TRUE(LogHas(sound_text::kInitFinished));
    ASSERT_EQ(EndDirectSound(), 0);
    EXPECT_TRUE(LogHas(sound_text::kEndFinished));
    EXPECT_FALSE(audio_.Started());
}

TEST_F(SoundStartTest, ALesserDeviceGetsAnEightBitMonoPrimaryAtMost44100) {
    platform::AudioDeviceCaps caps{platform::kCapsPrimaryMono | platform::kCapsPrimary8Bit, 100, 96000, 0, 0};
    platform::SetAudioDeviceCapsOverride(&caps);
    ASSERT_EQ(InitDirectSound(), 0);
    EXPECT_EQ(audio_.OutputFormat(), platform::MakePcmFormat(1, 44100, 8));
    platform::SetAudioDeviceCapsOverride(nullptr);
}

TEST_F(SoundStartTest, StartUpWithoutTheListingFunctionStillSucceeds) {
    platform::FailAudioStep(platform::AudioStep::kFindEnumerateFunction);
    ASSERT_EQ(InitDirectSound(), 0);
    EXPECT_TRUE(LogHas(sound_text::kListFunctionMissing));
    EXPECT_FALSE(LogHas("manual"));
    EXPECT_TRUE(LogHas(sound_text::kInitFinished));
}

TEST_F(SoundStartTest, EachHardStartFailureLeavesSoundOff) {
    const std::pair<platform::AudioStep, const char*> steps[] = {
        {platform::AudioStep::kCreateDevice, sound_text::kInterfaceCreateFailed},
        {platform::AudioStep::kInitializeDevice, sound_text::kInitializeFailed},
        {platform::AudioStep::kSetCooperativeLevel, sound_text::kCooperativeLevelFailed},
        {platform::AudioStep::kCreatePrimaryBuffer, sound_text::kPrimaryBufferFailed},
    };
    for (const auto& [step, text] : steps) {
        platform::FailAudioStep(step);
        EXPECT_EQ(InitDirectSound(), -1);
        EXPECT_TRUE(LogHas(text));
        EXPECT_EQ(EndDirectSound(), -1);
    }
    // Soft failures: a primary format or a silent buffer that cannot be had.
    platform::FailAudioStep(platform::AudioStep::kSetPrimaryFormat);
    platform::FailAudioStep(platform::AudioStep::kCreateBuffer);
    ASSERT_EQ(InitDirectSound(), 0);
    EXPECT_TRUE(LogHas(sound_text::kPrimaryFormatFailed));
    EXPECT_TRUE(LogHas(sound_text::kSilentBufferCreateFailed));
}

}  // namespace
}  // namespace velk
