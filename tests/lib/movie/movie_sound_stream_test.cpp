// A movie's sound track read as a WAVE file: the header worked out by hand,
// the samples in order, reads after seeks (also into the middle of a sample)
// and the end of the track.

#include "lib/movie/movie_sound_stream.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/movie/media_stream.h"

namespace velk::testing {
namespace {

// 1000 stereo frames at 8000 Hz whose bytes count up from 0 (wrapping), the
// track ending after `real_frames` of them.
class RampTrack final : public platform::MediaAudioTrack {
public:
    RampTrack(int64_t said_frames, int64_t real_frames) : real_bytes_(real_frames * 4) {
        format_.sample_rate = 8000;
        format_.channels = 2;
        format_.total_frames = said_frames;
    }
    const platform::MediaAudioFormat& format() const override { return format_; }
    size_t Read(uint8_t* buffer, size_t bytes) override {
        size_t done = 0;
        while (done < bytes && at_ < real_bytes_)
            buffer[done++] = static_cast<uint8_t>(at_++);
        return done;
    }
    bool Seek(int64_t frame) override {
        ++seeks;
        at_ = frame * 4;
        return true;
    }
    int seeks = 0;

private:
    platform::MediaAudioFormat format_;
    int64_t real_bytes_;
    int64_t at_ = 0;
};

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

TEST(MovieSoundStreamTest, TheHeaderDescribesSixteenBitPcmOfTheTrack) {
    MovieSoundStream stream(std::make_unique<RampTrack>(1000, 1000));
    uint8_t h[44];
    ASSERT_EQ(stream.Read(h, 44), 44u);
    EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
    EXPECT_EQ(U32(h + 4), 36u + 4000u);
    EXPECT_EQ(std::memcmp(h + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(U32(h + 16), 16u);
    EXPECT_EQ(U16(h + 20), 1u);      // PCM
    EXPECT_EQ(U16(h + 22), 2u);      // channels
    EXPECT_EQ(U32(h + 24), 8000u);   // rate
    EXPECT_EQ(U32(h + 28), 32000u);  // bytes a second
    EXPECT_EQ(U16(h + 32), 4u);      // block
    EXPECT_EQ(U16(h + 34), 16u);     // bits
    EXPECT_EQ(std::memcmp(h + 36, "data", 4), 0);
    EXPECT_EQ(U32(h + 40), 4000u);
    EXPECT_EQ(stream.Size(), 4044);
}

TEST(MovieSoundStreamTest, SamplesComeInOrderAndFromWhereverTheReaderSeeks) {
    auto owned = std::make_unique<RampTrack>(1000, 1000);
    RampTrack* track = owned.get();
    MovieSoundStream stream(std::move(owned));
    uint8_t buffer[64];
    ASSERT_EQ(stream.Read(buffer, 50), 50u);  // the header and 6 bytes
    EXPECT_EQ(buffer[44], 0);
    EXPECT_EQ(buffer[49], 5);
    EXPECT_EQ(track->seeks, 0) << "reading on needs no seek";
    // Into the middle of frame 100: byte 402 of the samples.
    ASSERT_EQ(stream.Seek(44 + 402, 0), 0);
    ASSERT_EQ(stream.Read(buffer, 3), 3u);
    EXPECT_EQ(buffer[0], static_cast<uint8_t>(402));
    EXPECT_EQ(buffer[2], static_cast<uint8_t>(404));
    EXPECT_EQ(track->seeks, 1);
    // Back to the start of the samples, and from the end.
    ASSERT_EQ(stream.Seek(44, 0), 0);
    ASSERT_EQ(stream.Read(buffer, 4), 4u);
    EXPECT_EQ(buffer[0], 0);
    ASSERT_EQ(stream.Seek(-4, 2), 0);
    ASSERT_EQ(stream.Read(buffer, 64), 4u);
    EXPECT_EQ(buffer[0], static_cast<uint8_t>(3996));
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Seek(1, 2), -1);
}

TEST(MovieSoundStreamTest, ATrackShorterThanTheFileSaysEndsWhereItEnds) {
    MovieSoundStream stream(std::make_unique<RampTrack>(1000, 10));
    uint8_t buffer[128];
    EXPECT_EQ(stream.Read(buffer, 128), 44u + 40u);
    EXPECT_TRUE(stream.Eof());
}

TEST(MovieSoundStreamTest, ATrackOfUnknownLengthClaimsTheMostAndEndsWhereItEnds) {
    MovieSoundStream stream(std::make_unique<RampTrack>(-1, 10));
    uint8_t h[44];
    ASSERT_EQ(stream.Read(h, 44), 44u);
    EXPECT_EQ(U32(h + 40) % 4, 0u);
    EXPECT_GT(U32(h + 40), 1'000'000'000u);
    uint8_t buffer[100];
    EXPECT_EQ(stream.Read(buffer, 100), 40u);
    EXPECT_TRUE(stream.Eof());
}

}  // namespace
}  // namespace velk::testing
