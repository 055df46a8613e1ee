#include "lib/sound/sound_convert.h"

#include <cstring>

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include "platform/audio/mpeg_frame_header.h"
#include "tests/lib/sound/sound_fixture.h"

namespace velk {
namespace {

using testing::Bytes;

struct Whole {
    bool ok = false;
    SoundConvertKind kind = SoundConvertKind::kWavePcm;
    Bytes pcm;
    platform::WaveFormat format;
    int64_t size = 0;      // GetSoundConvertSize
    int64_t pcm_size = 0;  // GetSoundConvertPcmSize
};

Whole Convert(const Bytes& image) {
    Whole result;
    MemorySoundStream stream(image.data(), image.size());
    SoundConvertData data;
    if (SetupSoundConvert(&data, &stream) != 0) return result;
    result.kind = data.kind;
    result.size = GetSoundConvertSize(&data);
    result.pcm_size = GetSoundConvertPcmSize(&data);
    SoundMemory pcm;
    uint32_t bytes = 0;
    if (ConvertSoundWhole(&data, &pcm, &bytes, &result.format) != 0) return result;
    result.pcm.assign(pcm.get(), pcm.get() + bytes);
    result.ok = CloseSoundConvert(&data) == 0;
    return result;
}

// Reads the whole conversion in small pieces, as stream sounds do.
Bytes ReadInPieces(SoundConvertData* data, int64_t piece) {
    Bytes out;
    std::vector<uint8_t> buffer(static_cast<size_t>(piece));
    for (;;) {
        const int64_t got = ReadSoundConvert(data, buffer.data(), piece);
        if (got <= 0) break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

TEST(SoundConvertTest, WavePcmComesOutExactlyInEveryLayout) {
    for (uint32_t channels : {1u, 2u}) {
        for (uint32_t bits : {8u, 16u}) {
            Bytes data(4000 * channels * bits / 8);
            for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
            const Whole whole = Convert(testing::WaveFile(testing::PcmFormatBody(channels, 22050, bits), data));
            ASSERT_TRUE(whole.ok);
            EXPECT_EQ(whole.kind, SoundConvertKind::kWavePcm);
            EXPECT_EQ(whole.format, platform::MakePcmFormat(channels, 22050, bits));
            EXPECT_EQ(whole.pcm, data);
        }
    }
}

TEST(SoundConvertTest, ChunksBeforeDataAreSkippedWithTheirPadByte) {
    const Bytes data(400, 9);
    const Bytes image = testing::WaveFile(testing::PcmFormatBody(2, 44100, 16), data,
                                          {{"LIST", Bytes(7, 1)}, {"fact", Bytes(4, 2)}, {"junk", Bytes(1, 3)}});
    const Whole whole = Convert(image);
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.pcm, data);
}

TEST(SoundConvertTest, AShortPcmBodyTakesItsBitsFromTheBlockAlign) {
    Bytes body = testing::PcmFormatBody(2, 44100, 16);
    body[14] = 99;  // bits per sample: nonsense; block align 4 says 16
    const Whole whole = Convert(testing::WaveFile(body, Bytes(400, 1)));
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.format.bits_per_sample, 16);
    EXPECT_EQ(whole.format.extra_size, 0);
}

TEST(SoundConvertTest, RefusesWaveFilesWithoutTheirPartsInOrder) {
    Bytes no_data = testing::WaveFile(testing::PcmFormatBody(1, 8000, 8), Bytes(100, 1));
    std::memcpy(no_data.data() + 36, "dat_", 4);
    EXPECT_FALSE(Convert(no_data).ok);
    // "fmt " must come first.
    Bytes reordered;
    testing::PutTag(reordered, "RIFF");
    testing::Put32(reordered, 0);
    testing::PutTag(reordered, "WAVE");
    testing::PutTag(reordered, "LIST");
    testing::Put32(reordered, 0);
    testing::PutTag(reordered, "fmt ");
    testing::Put32(reordered, 16);
    testing::Append(reordered, testing::PcmFormatBody(1, 8000, 8));
    testing::PutTag(reordered, "data");
    testing::Put32(reordered, 100);
    reordered.resize(reordered.size() + 100, 1);
    EXPECT_FALSE(Convert(reordered).ok);
    EXPECT_FALSE(Convert(Bytes()).ok);
    EXPECT_FALSE(Convert(Bytes{'R', 'I', 'F', 'F'}).ok);
}

// A "data" size beyond the bytes present (a cut file, or 0xFFFFFFFF left by a
// streaming writer) is cut to what is there, read whole or piece by piece.
TEST(SoundConvertTest, DataSizeBeyondTheFileIsCutToTheBytesPresent) {
    const Bytes data = testing::SampleBytes(testing::RampSamples(1000, 2));
    for (int64_t claimed : {int64_t{8000}, int64_t{0xFFFFFFFF}, int64_t{0x80000000}}) {
        const Bytes image = testing::WaveFile(testing::PcmFormatBody(2, 44100, 16), data, {}, claimed);
        const Whole whole = Convert(image);
        ASSERT_TRUE(whole.ok) << claimed;
        EXPECT_EQ(whole.pcm, data);
        MemorySoundStream stream(image.data(), image.size());
        SoundConvertData convert;
        ASSERT_EQ(SetupSoundConvert(&convert, &stream), 0);
        EXPECT_EQ(ReadInPieces(&convert, 333), data);
        EXPECT_EQ(convert.end, 1);
    }
}

TEST(SoundConvertTest, DamagedFormatRecordsAreRefused) {
    for (int field : {2, 12}) {  // channels, block align
        Bytes body = testing::PcmFormatBody(2, 44100, 16);
        body[field] = 0;
        body[field + 1] = 0;
        EXPECT_FALSE(Convert(testing::WaveFile(body, Bytes(400, 1))).ok) << field;
    }
    Bytes huge = testing::WaveFile(testing::PcmFormatBody(2, 44100, 16), Bytes(400, 1));
    huge[16] = 0xFF;  // "fmt " size beyond the file
    huge[17] = 0xFF;
    huge[18] = 0xFF;
    EXPECT_FALSE(Convert(huge).ok);
}

TEST(SoundConvertTest, CompressedWaveMatchesTheReferenceDecoder) {
    const auto tone = testing::Tone(30000, 2, 32000);
    for (int subformat : {SF_FORMAT_IMA_ADPCM, SF_FORMAT_MS_ADPCM, SF_FORMAT_ULAW, SF_FORMAT_PCM_24}) {
        const Bytes file = testing::EncodeWithSndfile(subformat, tone, 2, 32000);
        const Whole whole = Convert(file);
        ASSERT_TRUE(whole.ok) << subformat;
        EXPECT_EQ(whole.kind, SoundConvertKind::kAcm);
        EXPECT_EQ(whole.format, platform::MakePcmFormat(2, 32000, 16));
        const std::vector<int16_t> ours = testing::Samples16(whole.pcm);
        if (subformat == SF_FORMAT_PCM_24) {
            ASSERT_EQ(ours.size(), tone.size());
            for (size_t i = 0; i < ours.size(); ++i) ASSERT_NEAR(ours[i], tone[i], 1);
        } else {
            EXPECT_EQ(ours, testing::DecodeWithSndfile(file)) << subformat;
        }
        EXPECT_EQ(whole.size, static_cast<int64_t>(whole.pcm.size()));
    }
}

TEST(SoundConvertTest, OggVorbisMatchesVorbisfileAndIsAlwaysSixteenBit) {
    const auto tone = testing::Tone(50000, 1, 22050);
    const Bytes ogg = testing::EncodeOggVorbis(tone, 1, 22050);
    const std::vector<int16_t> reference = testing::DecodeOggReference(ogg);
    ASSERT_EQ(reference.size(), tone.size());
    const Whole whole = Convert(ogg);
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.kind, SoundConvertKind::kOggVorbis);
    EXPECT_EQ(whole.format, platform::MakePcmFormat(1, 22050, 16));
    EXPECT_EQ(testing::Samples16(whole.pcm), reference);
    // The whole-load block keeps a margin of 44100 samples; the real size is exact.
    EXPECT_EQ(whole.size, static_cast<int64_t>(reference.size() * 2 + 44100 * 2));
    EXPECT_EQ(whole.pcm_size, static_cast<int64_t>(reference.size() * 2));
}

// The Ogg file with its last page claiming `granule` as its end position
// (its check sum made anew, so only the claim is wrong).
Bytes WithLastGranule(Bytes ogg, uint64_t granule) {
    size_t last = 0;
    for (size_t at = 0; at + 4 <= ogg.size(); ++at) {
        if (std::memcmp(ogg.data() + at, "OggS", 4) == 0) last = at;
    }
    uint8_t* page = ogg.data() + last;
    for (int i = 0; i < 8; ++i)
        page[6 + i] = static_cast<uint8_t>(granule >> (8 * i));
    const long header_size = 27 + page[26];
    long body_size = 0;
    for (int i = 0; i < page[26]; ++i)
        body_size += page[27 + i];
    ogg_page whole{page, header_size, page + header_size, body_size};
    ogg_page_checksum_set(&whole);
    return ogg;
}

TEST(SoundConvertTest, AnOggEndPositionPastWhatSizesHoldIsRefused) {
    const Bytes ogg = testing::EncodeOggVorbis(testing::Tone(20000, 2, 22050), 2, 22050);
    struct Case {
        uint64_t granule;
        bool accepted;
    };
    const Case cases[] = {
        {0, true},  // unchanged
        {uint64_t{1} << 62, false},
        {uint64_t{1} << 31, false},
        {(uint64_t{1} << 28), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.granule);
        const Bytes claimed = c.granule == 0 ? ogg : WithLastGranule(ogg, c.granule);
        MemorySoundStream stream(claimed.data(), claimed.size());
        SoundConvertData data;
        const bool set_up = SetupSoundConvert(&data, &stream) == 0;
        const bool ogg_kind = set_up && data.kind == SoundConvertKind::kOggVorbis;
        EXPECT_EQ(ogg_kind, c.accepted);
        if (ogg_kind) {
            EXPECT_GT(data.data_size, 0);
            EXPECT_LE(GetSoundConvertSize(&data), int64_t{0x7FFFFFFF});
        }
        if (set_up) CloseSoundConvert(&data);
    }
}

Bytes Mp3Body(int channels, int rate, int kbps, uint32_t frames, uint32_t seed = 1) {
    return testing::EncodeMp3(testing::Tone(frames, channels, rate, 440.0, 12000.0, seed), channels, rate, kbps);
}

int64_t WalkedSamples(const Bytes& mp3) {
    int64_t samples = 0;
    for (size_t at = 0;;) {
        const platform::MpegFrameScan scan = platform::ScanMpegFrame(mp3.data(), mp3.size(), at);
        if (scan.result != platform::MpegFrameScan::kWhole) break;
        samples += scan.info.samples_per_frame;
        at = scan.offset + scan.info.frame_length;
    }
    return samples;
}

TEST(SoundConvertTest, Mp3WithTagsMatchesTheReferenceDecoderSampleForSample) {
    const Bytes body = Mp3Body(2, 44100, 128, 44100 * 3);
    const std::vector<int16_t> reference = testing::DecodeMp3Reference(body);
    const int64_t samples = WalkedSamples(body);
    ASSERT_EQ(static_cast<int64_t>(reference.size()), samples * 2);

    struct Variant {
        Bytes front;
        bool trailing_tag;
    };
    const Variant variants[] = {{{}, false},
                                {testing::Id3v2Tag(3, 0, 300), false},
                                {testing::Id3v2Tag(4, 0x10, 123), true},
                                {{}, true}};
    for (const Variant& v : variants) {
        Bytes file = v.front;
        testing::Append(file, body);
        if (v.trailing_tag) testing::Append(file, testing::Id3v1Tag());
        const Whole whole = Convert(file);
        ASSERT_TRUE(whole.ok);
        EXPECT_EQ(whole.kind, SoundConvertKind::kAcm);
        EXPECT_EQ(whole.format, platform::MakePcmFormat(2, 44100, 16));
        EXPECT_EQ(whole.size, samples * 4);
        EXPECT_EQ(testing::Samples16(whole.pcm), reference);
    }
}

TEST(SoundConvertTest, MpegTwoMonoAndLayerOne) {
    const Bytes mpeg2 = Mp3Body(1, 22050, 32, 30000);
    const Whole whole = Convert(mpeg2);
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.format, platform::MakePcmFormat(1, 22050, 16));
    EXPECT_EQ(testing::Samples16(whole.pcm), testing::DecodeMp3Reference(mpeg2));

    std::mt19937 random(3);
    Bytes layer1;
    for (int i = 0; i < 50; ++i) testing::Append(layer1, testing::RandomLayer1Frame(random));
    const Whole one = Convert(layer1);
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(testing::Samples16(one.pcm), testing::DecodeMp3Reference(layer1));
}

// Free-format and garbage headers must never stall the frame walk.
TEST(SoundConvertTest, MpegWalkStopsOnHeadersWithoutALength) {
    Bytes free_format(4000, 0);
    for (size_t i = 0; i + 4 <= free_format.size(); i += 4) {
        free_format[i] = 0xFF;
        free_format[i + 1] = 0xFB;
    }
    EXPECT_FALSE(Convert(free_format).ok);
    Bytes silent;
    for (int i = 0; i < 5; ++i) testing::Append(silent, testing::SilentLayer3Frame());
    testing::Append(silent, Bytes{0xFF, 0xFB, 0x00, 0x00});
    EXPECT_FALSE(Convert(silent).ok);
}

// Any seek lands where a fresh decode from the start would be, backward
// ones through the spare stream.
TEST(SoundConvertTest, SeeksByteExactInEveryKind) {
    const auto tone = testing::Tone(60000, 2, 44100);
    const Bytes files[] = {
        testing::WaveFile(testing::PcmFormatBody(2, 44100, 16), testing::SampleBytes(tone)),
        testing::EncodeWithSndfile(SF_FORMAT_IMA_ADPCM, tone, 2, 44100),
        testing::EncodeOggVorbis(tone, 2, 44100),
        Mp3Body(2, 44100, 128, 60000),
    };
    for (const Bytes& file : files) {
        const Bytes whole = Convert(file).pcm;
        MemorySoundStream stream(file.data(), file.size());
        SoundConvertData data;
        ASSERT_EQ(SetupSoundConvert(&data, &stream), 0);
        Bytes piece(4000);
        for (int64_t sample : {int64_t{30000}, int64_t{5}, int64_t{50000}, int64_t{1000}}) {
            ASSERT_EQ(SeekSoundConvert(&data, sample), 0);
            ASSERT_EQ(ReadSoundConvert(&data, piece.data(), 4000), 4000);
            if (data.kind == SoundConvertKind::kOggVorbis) {
                // vorbisfile's own seek lands on the sample; its decode there
                // may differ from a straight decode by rounding only.
                for (size_t i = 0; i < 4000; i += 2) {
                    const int a = static_cast<int16_t>(piece[i] | piece[i + 1] << 8);
                    const int b = static_cast<int16_t>(whole[sample * 4 + i] | whole[sample * 4 + i + 1] << 8);
                    ASSERT_NEAR(a, b, 64) << sample;
                }
            } else {
                ASSERT_TRUE(std::equal(piece.begin(), piece.end(), whole.begin() + sample * 4)) << sample;
            }
        }
    }
}

TEST(SoundConvertTest, SeeksWithinFifteenBytesChangeNothing) {
    const Bytes file = testing::RampWave(1000);
    MemorySoundStream stream(file.data(), file.size());
    SoundConvertData data;
    ASSERT_EQ(SetupSoundConvert(&data, &stream), 0);
    Bytes all(4000);
    EXPECT_EQ(ReadSoundConvert(&data, all.data(), 5000), 4000);
    EXPECT_EQ(data.end, 1);
    EXPECT_EQ(ReadSoundConvert(&data, all.data(), 10), 0);
    // 3 samples (12 bytes) back: too close to move, so still at the end.
    SeekSoundConvert(&data, 997);
    EXPECT_EQ(data.end, 1);
    EXPECT_EQ(ReadSoundConvert(&data, all.data(), 10), 0);
    // 4 samples (16 bytes) back moves and clears the end.
    SeekSoundConvert(&data, 996);
    EXPECT_EQ(data.end, 0);
    EXPECT_EQ(ReadSoundConvert(&data, all.data(), 100), 16);
}

TEST(SoundConvertTest, WaveImageLayout) {
    const Bytes format(18, 0xAB);
    const Bytes pcm(100, 0xCD);
    SoundMemory image;
    uint32_t bytes = 0;
    ASSERT_EQ(BuildWaveImage(&image, &bytes, format.data(), 18, pcm.data(), 100), 0);
    ASSERT_EQ(bytes, 146u);
    const Bytes got(image.get(), image.get() + bytes);
    EXPECT_EQ(std::memcmp(got.data(), "RIFF", 4), 0);
    EXPECT_EQ(testing::RiffChunk(got, "fmt "), format);
    EXPECT_EQ(testing::RiffChunk(got, "data"), pcm);
    EXPECT_EQ(got[4] | got[5] << 8, 138);
}

}  // namespace
}  // namespace velk
