#include <gtest/gtest.h>

#include "lib/core/library.h"
#include "lib/sound/sound.h"
#include "lib/sound/stream_sound.h"
#include "tests/lib/sound/sound_fixture.h"

namespace velk {
namespace {

using testing::Bytes;
using testing::kFrameSamples;

class StreamSoundTest : public testing::SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        SetSoundCreateTypeBody(2);
    }
    void TearDown() override {
        SetSoundCreateTypeBody(0);
        SoundTest::TearDown();
    }

    // Left channel of the output of `frames` game frames.
    std::vector<int16_t> LeftOfFrames(int frames) {
        const std::vector<int16_t> both = RunFrames(frames);
        std::vector<int16_t> left(both.size() / 2);
        for (size_t i = 0; i < left.size(); ++i) left[i] = both[2 * i];
        return left;
    }
};

TEST_F(StreamSoundTest, TypeOnePlaysToTheEndThenSilenceAndStops) {
    const int handle = Load(testing::RampWave(88200));  // two seconds
    ASSERT_NE(handle, -1);
    EXPECT_EQ(GetSoundLengthBody(handle), 2000);
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 1), 0);
    const std::vector<int16_t> out = LeftOfFrames(180);  // three seconds
    for (int i = 0; i < 88200; ++i) ASSERT_EQ(out[i], i % 30000) << i;
    // After the data: silence, then the ring stops within an eighth of a
    // second and a frame.
    for (size_t i = 88200; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_EQ(CheckSoundPlayingBody(handle), 0);
}

TEST_F(StreamSoundTest, TypeThreeLoopsSeamlesslyAndItsClockRestarts) {
    const int handle = Load(testing::RampWave(30000));
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeLoop, 1), 0);
    const std::vector<int16_t> out = LeftOfFrames(600);  // ten seconds, over the ring many times
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], static_cast<int16_t>(i % 30000)) << i;
    EXPECT_EQ(CheckSoundPlayingBody(handle), 1);
    const int64_t played = 600 * kFrameSamples % 30000;
    EXPECT_NEAR(GetSoundPlayPositionBody(handle), played * 1000 / 44100, 1);
}

TEST_F(StreamSoundTest, LongSourcesStreamWithoutGapsWhateverTheFrameSizes) {
    const int handle = Load(testing::RampWave(44100 * 10, 2));
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 1), 0);
    std::vector<int16_t> left;
    std::mt19937 random(5);
    while (left.size() < 44100 * 10) {
        // Frames between a millisecond and a tenth of a second.
        const std::vector<int16_t> part = audio_.RenderSamples(44 + random() % 4400);
        for (size_t i = 0; i < part.size(); i += 2) left.push_back(part[i]);
        RefillAllStreamSounds();
    }
    for (uint32_t i = 0; i < 44100 * 10; ++i) ASSERT_EQ(left[i], static_cast<int16_t>(i % 30000)) << i;
}

TEST_F(StreamSoundTest, ALoopPointTurnsANormalSoundIntoAStreamUnderTheSameHandle) {
    SetSoundCreateTypeBody(0);
    const int handle = Load(testing::RampWave(20000));
    ASSERT_EQ(SetLoopSamplePosition(1000, handle), 0);
    EXPECT_EQ(CheckSoundPlayingBody(handle), 0);
    EXPECT_EQ(GetSoundTotalSample(handle), 20000);
    ASSERT_EQ(PlaySoundHandleBody(handle, kPlayTypeBackground, 1), 0);
    const std::vector<int16_t> out = LeftOfFrames(300);
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t expected = i < 20000 ? i : 1000 + (i - 20000) % 19000;
        ASSERT_EQ(out[i], static_cast<int16_t>(expected)) << i;
    }
    EXPECT_EQ(SetLoopSamplePosition(20000, handle), -1);
}

TEST_F(StreamSoundTest, PlayingASharerStopsTheOwner) {
    const int owner = Load(testing::RampWave(44100 * 3));
    const Bytes other = testing::WaveFile(testing::PcmFormatBody(2, 44100, 16),
                                          testing::SampleBytes(testing::RampSamples(44100 * 3, 2, 5000)));
    const int sharer = LoadSoundFromMemoryBody(other.data(), static_cast<uint32_t>(other.size()), owner);
    ASSERT_NE(sharer, -1);
    PlaySoundHandleBody(owner, kPlayTypeBackground, 1);
    LeftOfFrames(30);
    EXPECT_EQ(CheckSoundPlayingBody(owner), 1);
    PlaySoundHandleBody(sharer, kPlayTypeBackground, 1);
    EXPECT_EQ(CheckSoundPlayingBody(owner), 0);
    EXPECT_EQ(CheckSoundPlayingBody(sharer), 1);
    EXPECT_EQ(RefillStreamSound(owner), 0);
    const std::vector<int16_t> out = LeftOfFrames(60);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], static_cast<int16_t>((i + 5000) % 30000)) << i;
    // Deleting the owner waits for its sharer.
    ASSERT_EQ(DeleteSoundBody(owner), 0);
    EXPECT_EQ(GetSoundHandleCount(), 2);
    ASSERT_EQ(DeleteSoundBody(sharer), 0);
    EXPECT_EQ(GetSoundHandleCount(), 0);
}

TEST_F(StreamSoundTest, ChainedSourcesPlayInTurnAndRefuseMismatchesAndAFourth) {
    const Bytes a = testing::RampWave(10000);
    const Bytes b = testing::WaveFile(testing::PcmFormatBody(2, 44100, 16),
                                      testing::SampleBytes(testing::RampSamples(10000, 2, 20000)));
    const int handle = Load(a);
    ASSERT_EQ(AddStreamSoundMem(b.data(), static_cast<uint32_t>(b.size()), 0, handle, 2, -1), 0);
    const Bytes mono = testing::RampWave(100, 1);
    EXPECT_EQ(AddStreamSoundMem(mono.data(), static_cast<uint32_t>(mono.size()), 0, handle, 2, -1), -1);
    EXPECT_TRUE(LogHas(sound_text::kFormatMismatch));
    ASSERT_EQ(AddStreamSoundMem(a.data(), static_cast<uint32_t>(a.size()), 0, handle, 2, -1), 0);
    EXPECT_EQ(AddStreamSoundMem(a.data(), static_cast<uint32_t>(a.size()), 0, handle, 2, -1), -1);
    EXPECT_TRUE(LogHas(sound_text::kStreamSourcesFull));
    EXPECT_EQ(GetSoundTotalSample(handle), 30000);
    EXPECT_EQ(SetLoopSamplePosition(10, handle), -1);
    EXPECT_TRUE(LogHas(sound_text::kLoopPointOnManySources));

    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    const std::vector<int16_t> out = LeftOfFrames(60);
    for (size_t i = 0; i < 30000; ++i) ASSERT_EQ(out[i], static_cast<int16_t>(i % 10000 + (i / 10000 == 1 ? 20000 : 0)));
    for (size_t i = 30000; i < out.size(); ++i) ASSERT_EQ(out[i], 0);
}

TEST_F(StreamSoundTest, ASourceWithARepeatCountPlaysThatManyTimesMore) {
    const Bytes a = testing::RampWave(10000);
    const Bytes b = testing::WaveFile(testing::PcmFormatBody(2, 44100, 16),
                                      testing::SampleBytes(testing::RampSamples(10000, 2, 20000)));
    for (uint8_t repeats : {0, 1, 2}) {
        const int handle = Load(a);
        ASSERT_EQ(AddStreamSoundMem(b.data(), static_cast<uint32_t>(b.size()), repeats, handle, 2, -1), 0);
        PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
        const std::vector<int16_t> out = LeftOfFrames(90);
        const size_t end = 10000 + 10000 * (repeats + 1u);
        ASSERT_GT(out.size(), end + 100);
        for (size_t i = 0; i < end; ++i) {
            ASSERT_EQ(out[i], static_cast<int16_t>(i % 10000 + (i >= 10000 ? 20000 : 0))) << int{repeats} << " " << i;
        }
        for (size_t i = end; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << int{repeats} << " " << i;
        DeleteSoundBody(handle);
    }
}

TEST_F(StreamSoundTest, StopKeepsThePlaceAndFromTopRestarts) {
    const int handle = Load(testing::RampWave(44100 * 5));
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    LeftOfFrames(60);
    StopSoundHandleBody(handle);
    EXPECT_EQ(GetSoundPlayPositionBody(handle), 60 * 735 * 1000 / 44100);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 0);
    EXPECT_EQ(LeftOfFrames(1)[0], 60 * 735 % 30000);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    EXPECT_EQ(LeftOfFrames(1)[0], 0);
}

TEST_F(StreamSoundTest, SeekByTimeThenPlayStartsThere) {
    const int handle = Load(testing::RampWave(44100 * 5));
    ASSERT_EQ(SetSoundPlayPositionBody(2500, handle), 0);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 0);
    EXPECT_EQ(LeftOfFrames(1)[0], static_cast<int16_t>(44100 * 25 / 10 % 30000));
    EXPECT_EQ(SetSoundPlayPositionBody(5000, handle), -1);
}

// Compressed sources are measured in the PCM they give: a start position
// far beyond what their encoded size would say is reached exactly.
TEST_F(StreamSoundTest, SeekByTimeReachesTheSampleInAnMp3Source) {
    const auto tone = testing::Tone(44100 * 12, 2, 44100);
    const Bytes mp3 = testing::EncodeMp3(tone, 2, 44100, 128);
    const std::vector<int16_t> reference = testing::DecodeMp3Reference(mp3);
    const int handle = Load(mp3);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(GetSoundLengthBody(handle), static_cast<int>(reference.size() / 2 * 1000 / 44100));
    ASSERT_EQ(SetSoundPlayPositionBody(8000, handle), 0);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 0);
    const std::vector<int16_t> out = RunFrames(30);
    const size_t start = 44100 * 8 * 2;
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], reference[start + i]) << i;
}

// A loop point on a compressed source leaves the decoder where it was: the
// whole file plays once, then from the loop point on, sample for sample.
TEST_F(StreamSoundTest, ALoopPointOnAnMp3SourceKeepsTheDecodeContinuous) {
    const auto tone = testing::Tone(44100 * 3, 2, 44100);
    const Bytes mp3 = testing::EncodeMp3(tone, 2, 44100, 128);
    const std::vector<int16_t> reference = testing::DecodeMp3Reference(mp3);
    const int handle = Load(mp3);
    ASSERT_EQ(SetSoundLoopPositionBody(1000, handle), 0);
    PlaySoundHandleBody(handle, kPlayTypeLoop, 1);
    const std::vector<int16_t> out = RunFrames(60 * 7);
    const size_t frames = reference.size() / 2;
    for (size_t i = 0; i < out.size() / 2; ++i) {
        const size_t from = i < frames ? i : 44100 + (i - frames) % (frames - 44100);
        ASSERT_EQ(out[2 * i], reference[2 * from]) << i;
    }
}

TEST_F(StreamSoundTest, AnOggStreamReportsItsTrueLength) {
    const auto tone = testing::Tone(22050 * 3, 2, 22050);
    const Bytes ogg = testing::EncodeOggVorbis(tone, 2, 22050);
    const int handle = Load(ogg);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(GetSoundTotalSample(handle), 22050 * 3);
    EXPECT_EQ(GetSoundLengthBody(handle), 3000);
    EXPECT_EQ(SetLoopSamplePosition(22050 * 3, handle), -1);
    PlaySoundHandleBody(handle, kPlayTypeBackground, 1);
    const std::vector<int16_t> reference = testing::DecodeOggReference(ogg);
    // The output is at 44.1 kHz: every second output frame is a source frame.
    const std::vector<int16_t> out = RunFrames(200);
    for (size_t i = 0; i < reference.size() / 2; ++i) ASSERT_EQ(out[4 * i], reference[2 * i]) << i;
    EXPECT_EQ(CheckSoundPlayingBody(handle), 0);
}

TEST_F(StreamSoundTest, DataThatDecodesToNothingDoesNotSpin) {
    // Frames that parse but decode to nothing (their header claims more than
    // the codec gets) must end the stream, not loop for ever.
    SetSoundCreateTypeBody(0);
    Bytes frames;
    for (int i = 0; i < 10; ++i) testing::Append(frames, testing::SilentLayer3Frame());
    const int handle = Load(frames);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(SetLoopSamplePosition(5000, handle), 0);
    PlaySoundHandleBody(handle, kPlayTypeLoop, 1);
    RunFrames(120);
    SUCCEED();
}

// Play type 0 waits while message processing keeps the stream refilled.
std::function<int()> pump;
int PumpOnce() { return pump(); }

TEST_F(StreamSoundTest, WaitingPlayRunsMessageProcessingUntilTheEnd) {
    const int handle = Load(testing::RampWave(30000));
    int passes = 0;
    pump = [&] {
        ++passes;
        audio_.RenderSamples(kFrameSamples);
        RefillAllStreamSounds();
        return 0;
    };
    LibraryLifeBodies bodies = GetLibraryLifeBodies();
    LibraryLifeBodies with_pump = bodies;
    with_pump.process_messages = &PumpOnce;
    SetLibraryLifeBodies(with_pump);
    EXPECT_EQ(PlaySoundHandleBody(handle, kPlayTypeWait, 1), 0);
    SetLibraryLifeBodies(bodies);
    EXPECT_EQ(CheckSoundPlayingBody(handle), 0);
    EXPECT_GE(passes, 30000 / static_cast<int>(kFrameSamples));
}

}  // namespace
}  // namespace velk
