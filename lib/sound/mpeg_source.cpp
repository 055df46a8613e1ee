// Raw MPEG audio (MP3): an optional ID3v2 tag in front and a 128-byte "TAG"
// block at the end are stepped over, the frames are walked to count their
// samples, and the data goes to the audio compression stand-in as MPEG
// Layer-3 data described by the first frame.

#include <cstring>

#include "lib/sound/sound_convert_kinds.h"
#include "platform/audio/mpeg_frame_header.h"

namespace velk {
namespace {

constexpr int64_t kTrailingTagBytes = 128;
constexpr uint16_t kCodecDelay = 700;

// Where the audio starts: after an ID3v2 tag (and its footer), or at 0.
int64_t AudioStart(SoundStream* stream) {
    uint8_t head[10];
    if (stream->Seek(0, 0) != 0 || stream->Read(head, 10) != 10 || std::memcmp(head, "ID3", 3) != 0) return 0;
    const int64_t size = ((static_cast<int64_t>(head[6]) * 128 + head[7]) * 128 + head[8]) * 128 + head[9];
    const bool footer = head[3] == 4 && (head[5] & 0x10) != 0;
    return size + 10 + (footer ? 10 : 0);
}

// Where the audio ends: before a trailing "TAG" block, or at the end.
int64_t AudioLimit(SoundStream* stream, int64_t file_size) {
    if (file_size <= kTrailingTagBytes) return file_size;
    char tag[3];
    if (stream->Seek(file_size - kTrailingTagBytes, 0) != 0 || stream->Read(tag, 3) != 3) return file_size;
    return std::memcmp(tag, "TAG", 3) == 0 ? file_size - kTrailingTagBytes : file_size;
}

struct FrameWalk {
    int64_t first_frame = -1;
    int64_t data_end = 0;
    int64_t total_samples = 0;
    platform::MpegFrameInfo first;
};

// Walks the frames of [start, limit). Between frames it scans byte by byte
// for a sync; a header that does not parse refuses the file, and so does a
// frame whose length the header does not give, so the walk always moves on.
std::optional<FrameWalk> WalkFrames(const uint8_t* bytes, int64_t start, int64_t limit) {
    FrameWalk walk;
    int64_t at = start;
    while (at + 4 <= limit) {
        if (!platform::IsMpegSync(bytes[at], bytes[at + 1])) {
            ++at;
            continue;
        }
        const std::optional<platform::MpegFrameInfo> info = platform::ParseMpegFrameHeader(bytes + at);
        if (!info) return std::nullopt;
        if (walk.first_frame < 0) {
            walk.first_frame = at;
            walk.first = *info;
        }
        walk.total_samples += info->samples_per_frame;
        const int64_t frame_end = at + info->frame_length;
        walk.data_end = std::min(frame_end, limit);
        if (frame_end >= limit) break;
        at = frame_end;
    }
    if (walk.first_frame < 0) return std::nullopt;
    return walk;
}

}  // namespace

bool SetupMpegAudio(SoundConvertData* data) {
    SoundStream* stream = data->stream;
    const int64_t file_size = stream->Size();
    if (file_size <= 0) return false;
    const int64_t start = AudioStart(stream);
    const int64_t limit = AudioLimit(stream, file_size);
    if (start >= limit) return false;

    // The walk reads the audio in memory; it is needed there for decoding anyway.
    SoundMemory audio = AllocateSoundMemory(static_cast<size_t>(limit - start));
    if (!audio || stream->Seek(start, 0) != 0 ||
        stream->Read(audio.get(), static_cast<size_t>(limit - start)) != static_cast<size_t>(limit - start)) {
        return false;
    }
    std::optional<FrameWalk> walk = WalkFrames(audio.get(), 0, limit - start);
    if (!walk) return false;
    walk->first_frame += start;
    walk->data_end += start;
    audio.reset();

    platform::WaveFormat format;
    format.format_tag = platform::kWaveFormatMpegLayer3;
    format.channels = walk->first.channels;
    format.samples_per_second = walk->first.sampling_rate;
    format.bytes_per_second = walk->first.bit_rate * 1000 / 8;
    format.block_align = 1;
    format.bits_per_sample = 0;
    format.extra_size = 12;
    platform::MpegLayer3Extra extra;
    extra.id = 1;
    extra.flags = walk->first.padding;
    extra.block_size = static_cast<uint16_t>(walk->first.frame_length);
    extra.frames_per_block = 1;
    extra.codec_delay = kCodecDelay;
    data->source_format.assign(std::max<uint32_t>(platform::AcmMaxFormatSize(), platform::kMpegLayer3FormatBytes), 0);
    platform::StoreMpegLayer3Format(format, extra, data->source_format.data());
    data->source_format.resize(platform::kMpegLayer3FormatBytes);

    platform::WaveFormat pcm;
    if (!platform::AcmSuggestPcmFormat(data->source_format.data(), platform::kMpegLayer3FormatBytes, &pcm)) {
        data->source_format.clear();
        return false;
    }
    data->output_format = pcm;
    data->data_start = walk->first_frame;
    data->data_size = walk->data_end - walk->first_frame;
    data->total_samples = walk->total_samples;
    if (!OpenAcmStreams(data)) return false;
    data->decode_buffer_size = pcm.bytes_per_second * 4 / 3;
    return true;
}

}  // namespace velk
