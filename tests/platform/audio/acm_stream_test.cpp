#include "platform/audio/acm_stream.h"

#include <gtest/gtest.h>

#include "platform/audio/audio_faults.h"
#include "platform/audio/mpeg_frame_header.h"
#include "tests/platform/audio/sound_test_data.h"

namespace velk::platform {
namespace {

using testing::Bytes;

struct Converted {
    Bytes pcm;
    uint32_t estimate = 0;
    WaveFormat format;
    bool ok = false;
};

// Converts like the sound converter does: source pieces of at most 2048
// bytes (or one block), destination `destination_bytes` at a time.
Converted ConvertAll(const Bytes& format_record, const Bytes& data, uint32_t destination_bytes = 176400) {
    Converted result;
    if (!AcmSuggestPcmFormat(format_record.data(), static_cast<uint32_t>(format_record.size()), &result.format)) {
        return result;
    }
    auto stream = AcmStream::Open(format_record.data(), static_cast<uint32_t>(format_record.size()), result.format);
    if (!stream) return result;
    result.estimate = stream->OutputBytesFor(data.data(), static_cast<uint32_t>(data.size()));
    const uint32_t block = LoadWaveFormat(format_record.data(), format_record.size()).block_align;
    Bytes destination(destination_bytes);
    size_t consumed = 0;
    while (consumed < data.size()) {
        AcmStreamHeader header;
        header.source = data.data() + consumed;
        header.source_bytes = static_cast<uint32_t>(std::min<size_t>(std::max<uint32_t>(2048, block), data.size() - consumed));
        header.destination = destination.data();
        header.destination_bytes = destination_bytes;
        EXPECT_TRUE(stream->PrepareHeader(&header));
        EXPECT_TRUE(stream->Convert(&header));
        EXPECT_TRUE(stream->UnprepareHeader(&header));
        result.pcm.insert(result.pcm.end(), destination.begin(), destination.begin() + header.destination_used);
        consumed += header.source_used;
        if (header.source_used == 0 && header.destination_used == 0) break;
    }
    result.ok = true;
    return result;
}

Converted ConvertWaveFile(const Bytes& file) {
    return ConvertAll(testing::RiffChunk(file, "fmt "), testing::RiffChunk(file, "data"));
}

class SndfileCodecTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

// Each codec's output equals libsndfile's decode of the same file, sample for
// sample (ADPCM with the padding of its last block, as both decoders give it).
TEST_P(SndfileCodecTest, MatchesTheReferenceDecoder) {
    const auto [subformat, channels] = GetParam();
    const auto tone = testing::Tone(22050 + 333, channels, 22050);
    const Bytes file = testing::EncodeWithSndfile(subformat, tone, channels, 22050);
    ASSERT_FALSE(file.empty());
    const std::vector<int16_t> reference = testing::DecodeWithSndfile(file);
    ASSERT_GE(reference.size(), tone.size());

    const Converted converted = ConvertWaveFile(file);
    ASSERT_TRUE(converted.ok);
    EXPECT_EQ(converted.format, MakePcmFormat(channels, 22050, 16));
    const std::vector<int16_t> ours = testing::Samples16(converted.pcm);
    ASSERT_EQ(ours.size(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i) ASSERT_EQ(ours[i], reference[i]) << "sample " << i;
    EXPECT_GE(converted.estimate, converted.pcm.size());
}

INSTANTIATE_TEST_SUITE_P(Codecs, SndfileCodecTest,
                         ::testing::Combine(::testing::Values(SF_FORMAT_IMA_ADPCM, SF_FORMAT_MS_ADPCM, SF_FORMAT_ULAW,
                                                              SF_FORMAT_ALAW),
                                            ::testing::Values(1, 2)));

TEST(AcmStreamTest, WidePcmAndFloatBecomeSixteenBit) {
    const auto tone = testing::Tone(1000, 2, 44100);
    for (int subformat : {SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT}) {
        const Bytes file = testing::EncodeWithSndfile(subformat, tone, 2, 44100);
        const Converted converted = ConvertWaveFile(file);
        ASSERT_TRUE(converted.ok) << subformat;
        EXPECT_EQ(converted.format, MakePcmFormat(2, 44100, 16));
        const std::vector<int16_t> ours = testing::Samples16(converted.pcm);
        ASSERT_EQ(ours.size(), tone.size());
        for (size_t i = 0; i < tone.size(); ++i) ASSERT_NEAR(ours[i], tone[i], 1) << subformat << " " << i;
    }
}

Bytes Layer3FormatRecord(uint16_t channels, uint32_t rate) {
    WaveFormat format{kWaveFormatMpegLayer3, channels, rate, 16000, 1, 0, 12};
    Bytes record(kMpegLayer3FormatBytes);
    StoreMpegLayer3Format(format, MpegLayer3Extra{1, 0, 417, 1, 700}, record.data());
    return record;
}

// Our frame-by-frame conversion gives exactly what libmpg123 gives when it
// decodes the whole file, and exactly the frames' sample counts.
TEST(AcmStreamTest, Mp3MatchesTheReferenceDecoderFrameForFrame) {
    struct Case {
        int channels;
        int rate;
        int kbps;
    };
    for (const Case c : {Case{2, 44100, 128}, Case{1, 22050, 32}, Case{2, 48000, 320}, Case{1, 16000, 8}}) {
        const Bytes mp3 = testing::EncodeMp3(testing::Tone(c.rate * 2, c.channels, c.rate), c.channels, c.rate, c.kbps);
        int channels = 0;
        long rate = 0;
        const std::vector<int16_t> reference = testing::DecodeMp3Reference(mp3, &channels, &rate);
        ASSERT_EQ(channels, c.channels);
        ASSERT_EQ(rate, c.rate);

        size_t frames = 0;
        uint64_t samples = 0;
        for (size_t at = 0;;) {
            const MpegFrameScan scan = ScanMpegFrame(mp3.data(), mp3.size(), at);
            if (scan.result != MpegFrameScan::kWhole) break;
            ++frames;
            samples += scan.info.samples_per_frame;
            at = scan.offset + scan.info.frame_length;
        }
        ASSERT_GT(frames, 10u);

        // A small destination makes the codec stop at frame boundaries.
        const Converted converted = ConvertAll(Layer3FormatRecord(c.channels, c.rate), mp3, 8000);
        ASSERT_TRUE(converted.ok);
        const std::vector<int16_t> ours = testing::Samples16(converted.pcm);
        EXPECT_EQ(ours.size(), samples * c.channels) << c.rate;
        EXPECT_EQ(ours, reference) << c.rate;
        EXPECT_EQ(converted.estimate, converted.pcm.size());
    }
}

TEST(AcmStreamTest, LayerOneFramesAndGarbageBetweenFrames) {
    std::mt19937 random(7);
    Bytes data;
    Bytes clean;
    for (int i = 0; i < 40; ++i) {
        const Bytes frame = testing::RandomLayer1Frame(random);
        testing::Append(clean, frame);
        testing::Append(data, frame);
        // Junk that holds no header, including a lone 0xFF.
        if (i % 5 == 0) testing::Append(data, Bytes{0x12, 0xFF, 0x00, 0x34, 0x56});
    }
    const std::vector<int16_t> reference = testing::DecodeMp3Reference(clean);
    ASSERT_EQ(reference.size(), 40u * 384 * 2);
    const Converted converted = ConvertAll(Layer3FormatRecord(2, 44100), data);
    EXPECT_EQ(testing::Samples16(converted.pcm), reference);
    EXPECT_GT(*std::max_element(reference.begin(), reference.end()), 1000);
}

TEST(AcmStreamTest, WholeFramesOnly) {
    Bytes data;
    for (int i = 0; i < 3; ++i) testing::Append(data, testing::SilentLayer3Frame());
    const Bytes record = Layer3FormatRecord(2, 44100);
    // A frame whose output does not fit stays for the next call.
    WaveFormat pcm;
    ASSERT_TRUE(AcmSuggestPcmFormat(record.data(), 30, &pcm));
    auto stream = AcmStream::Open(record.data(), 30, pcm);
    Bytes destination(1152 * 4 + 100);
    AcmStreamHeader header{data.data(), static_cast<uint32_t>(data.size()), 0, destination.data(),
                           static_cast<uint32_t>(destination.size()), 0, false};
    ASSERT_TRUE(stream->PrepareHeader(&header));
    ASSERT_TRUE(stream->Convert(&header));
    EXPECT_EQ(header.source_used, 417u);
    EXPECT_EQ(header.destination_used, 1152u * 4);
    // A cut-off last frame gives nothing and is not counted.
    data.resize(data.size() - 100);
    const Converted converted = ConvertAll(record, data);
    EXPECT_EQ(converted.pcm.size(), 2u * 1152 * 4);
    EXPECT_EQ(converted.estimate, 2u * 1152 * 4);
}

TEST(AcmStreamTest, RefusesWhatNoCodecTakes) {
    WaveFormat pcm;
    Bytes record(18);
    StoreWaveFormat(WaveFormat{0x0031, 1, 8000, 1625, 65, 0, 0}, record.data());  // GSM 6.10
    EXPECT_FALSE(AcmSuggestPcmFormat(record.data(), 18, &pcm));
    StoreWaveFormat(WaveFormat{kWaveFormatImaAdpcm, 0, 8000, 4000, 256, 4, 0}, record.data());
    EXPECT_FALSE(AcmSuggestPcmFormat(record.data(), 18, &pcm));
    StoreWaveFormat(WaveFormat{kWaveFormatMpegLayer3, 2, 11025, 4000, 1, 0, 0}, record.data());
    EXPECT_FALSE(AcmSuggestPcmFormat(record.data(), 18, &pcm));
    EXPECT_FALSE(AcmSuggestPcmFormat(record.data(), 10, &pcm));
    // A stream opens only into the format suggested.
    StoreWaveFormat(WaveFormat{kWaveFormatMuLaw, 1, 8000, 8000, 1, 8, 0}, record.data());
    ASSERT_TRUE(AcmSuggestPcmFormat(record.data(), 18, &pcm));
    EXPECT_TRUE(AcmStream::Open(record.data(), 18, pcm));
    EXPECT_FALSE(AcmStream::Open(record.data(), 18, MakePcmFormat(2, 8000, 16)));
}

TEST(AcmStreamTest, EachStepCanBeMadeToFail) {
    Bytes record(18);
    StoreWaveFormat(WaveFormat{kWaveFormatMuLaw, 1, 8000, 8000, 1, 8, 0}, record.data());
    WaveFormat pcm;
    FailAudioStep(AudioStep::kAcmSuggestFormat);
    EXPECT_FALSE(AcmSuggestPcmFormat(record.data(), 18, &pcm));
    ASSERT_TRUE(AcmSuggestPcmFormat(record.data(), 18, &pcm));
    FailAudioStep(AudioStep::kAcmOpenStream);
    EXPECT_FALSE(AcmStream::Open(record.data(), 18, pcm));
    auto stream = AcmStream::Open(record.data(), 18, pcm);
    AcmStreamHeader header;
    FailAudioStep(AudioStep::kAcmPrepareHeader);
    EXPECT_FALSE(stream->PrepareHeader(&header));
    ClearAudioFaults();
}

TEST(MpegFrameHeaderTest, ParsesTheStandardsTables) {
    const uint8_t layer3[4] = {0xFF, 0xFB, 0x90, 0x00};
    auto info = ParseMpegFrameHeader(layer3);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frame_length, 417u);
    EXPECT_EQ(info->samples_per_frame, 1152u);
    EXPECT_EQ(info->channels, 2);
    const uint8_t mpeg2[4] = {0xFF, 0xF3, 0x16, 0xC0};  // MPEG-2 L3, 8 kbit/s, 24 kHz, padded, mono
    info = ParseMpegFrameHeader(mpeg2);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sampling_rate, 24000u);
    EXPECT_EQ(info->frame_length, 72000u * 8 / 24000 + 1);
    EXPECT_EQ(info->samples_per_frame, 576u);
    EXPECT_EQ(info->channels, 1);
    const uint8_t free_format[4] = {0xFF, 0xFB, 0x00, 0x00};
    EXPECT_FALSE(ParseMpegFrameHeader(free_format));
    const uint8_t bad_rate[4] = {0xFF, 0xFB, 0xF0, 0x00};
    EXPECT_FALSE(ParseMpegFrameHeader(bad_rate));
    const uint8_t reserved_layer[4] = {0xFF, 0xF9, 0x90, 0x00};
    EXPECT_FALSE(ParseMpegFrameHeader(reserved_layer));
    const uint8_t mpeg25[4] = {0xFF, 0xE3, 0x90, 0x00};
    EXPECT_FALSE(ParseMpegFrameHeader(mpeg25));
}

}  // namespace
}  // namespace velk::platform
