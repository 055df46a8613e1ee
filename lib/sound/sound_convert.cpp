#include "lib/sound/sound_convert.h"

#include <algorithm>
#include <cstring>

#include "lib/sound/sound_convert_kinds.h"

namespace velk {
namespace {

// The codec takes at most this much encoded data per call (or one block).
constexpr uint32_t kAcmSourceChunk = 2048;
// Seeks closer than this to the current position change nothing.
constexpr int64_t kSeekTolerance = 16;
// The whole-load margin of Ogg Vorbis, in samples, whatever the rate.
constexpr int64_t kOggSizeMarginSamples = 44100;

int32_t ogg_output_sample_bytes = 2;
int32_t decoder_build_flag = 0;

bool IsCompressed(const SoundConvertData* data) { return data->kind == SoundConvertKind::kAcm; }

bool DecodeWavePcmStep(SoundConvertData* data) {
    const int64_t in_data = data->stream->Tell() - data->data_start;
    if (in_data < 0 || in_data >= data->data_size) return false;
    const auto want = static_cast<size_t>(std::min<int64_t>(data->decode_buffer_size, data->data_size - in_data));
    const size_t got = data->stream->Read(data->decode_buffer.get(), want);
    data->bytes_left = static_cast<uint32_t>(got);
    return got > 0;
}

// One codec call on the next piece of encoded data. A call that only skips
// bytes that begin no block is followed by another, so such bytes never end
// the data early; the end is a call that takes nothing.
bool DecodeAcmStep(SoundConvertData* data) {
    const uint32_t block = platform::LoadWaveFormat(data->source_format.data(), data->source_format.size()).block_align;
    while (data->main_stream && data->source_consumed < data->source_size) {
        platform::AcmStreamHeader header;
        header.source = data->source_data.get() + data->source_consumed;
        header.source_bytes =
            std::min(std::max<uint32_t>(kAcmSourceChunk, block), data->source_size - data->source_consumed);
        header.destination = data->decode_buffer.get();
        header.destination_bytes = data->decode_buffer_size;
        if (!data->main_stream->PrepareHeader(&header)) return false;
        data->main_stream->Convert(&header);
        data->main_stream->UnprepareHeader(&header);
        data->bytes_left = header.destination_used;
        data->source_consumed += header.source_used;
        if (header.destination_used > 0) return true;
        if (header.source_used == 0) break;
    }
    data->bytes_left = 0;
    data->source_consumed = data->source_size;
    return false;
}

bool DecodeStep(SoundConvertData* data) {
    data->read_offset = 0;
    switch (data->kind) {
        case SoundConvertKind::kWavePcm: return DecodeWavePcmStep(data);
        case SoundConvertKind::kAcm: return DecodeAcmStep(data);
        case SoundConvertKind::kOggVorbis: return DecodeOggVorbisStep(data);
    }
    return false;
}

void SeekAcm(SoundConvertData* data, int64_t target) {
    if (target >= data->position && target <= data->position + data->bytes_left) {
        const auto skip = static_cast<uint32_t>(target - data->position);
        data->read_offset += skip;
        data->bytes_left -= skip;
        data->position = target;
        return;
    }
    if (target < data->position) {
        // The spare stream still stands at the data's start: it takes over, and
        // a fresh spare replaces it.
        const auto open_stream = [data] {
            return platform::AcmStream::Open(data->source_format.data(),
                                             static_cast<uint32_t>(data->source_format.size()), data->output_format);
        };
        data->main_stream = data->spare_stream ? std::move(data->spare_stream) : open_stream();
        data->spare_stream = open_stream();
        data->source_consumed = 0;
        data->position = 0;
        data->bytes_left = 0;
        data->read_offset = 0;
        if (!data->main_stream) {
            data->end = 1;
            return;
        }
    }
    while (data->position + data->bytes_left < target) {
        data->position += data->bytes_left;
        data->bytes_left = 0;
        if (!DecodeStep(data)) {
            data->bytes_left = 0;
            data->end = 1;
            return;
        }
    }
    const auto skip = static_cast<uint32_t>(target - data->position);
    data->read_offset += skip;
    data->bytes_left -= skip;
    data->position = target;
}

void CloseKind(SoundConvertData* data) {
    CloseAcmStreams(data);
    CloseOggVorbis(data);
}

}  // namespace

SoundConvertData::SoundConvertData() = default;
SoundConvertData::~SoundConvertData() {
    if (open) CloseSoundConvert(this);
    CloseKind(this);
}

void SetOggOutputSampleBytes(int32_t bytes) { ogg_output_sample_bytes = bytes; }
void SetSoundDecoderBuildFlag(int32_t flag) { decoder_build_flag = flag; }
int32_t GetSoundDecoderBuildFlag() { return decoder_build_flag; }

int SetupSoundConvert(SoundConvertData* data, SoundStream* stream) {
    if (data == nullptr || stream == nullptr || data->open) return -1;
    data->decoder_build = decoder_build_flag;
    data->ogg_bytes_per_sample = ogg_output_sample_bytes;
    data->stream = stream;
    struct Candidate {
        SoundConvertKind kind;
        bool (*setup)(SoundConvertData*);
    };
    static constexpr Candidate kCandidates[] = {
        {SoundConvertKind::kWavePcm, &SetupWavePcm},
        {SoundConvertKind::kAcm, &SetupAcmWave},
        {SoundConvertKind::kOggVorbis, &SetupOggVorbis},
        {SoundConvertKind::kAcm, &SetupMpegAudio},
    };
    bool taken = false;
    for (const Candidate& candidate : kCandidates) {
        if (stream->Seek(0, 0) != 0) break;
        if (candidate.setup(data)) {
            data->kind = candidate.kind;
            taken = true;
            break;
        }
    }
    if (!taken) return -1;
    data->open = 0;
    data->end = 0;
    data->decode_buffer = AllocateSoundMemory(data->decode_buffer_size);
    if (!data->decode_buffer) {
        CloseKind(data);
        return -1;
    }
    data->bytes_left = 0;
    data->read_offset = 0;
    data->position = 0;
    data->open = 1;
    return 0;
}

int64_t ReadSoundConvert(SoundConvertData* data, void* destination, int64_t bytes) {
    if (data == nullptr || !data->open) return -1;
    if (data->end || bytes <= 0) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    int64_t copied = 0;
    while (copied < bytes) {
        if (data->bytes_left == 0 && !DecodeStep(data)) {
            data->bytes_left = 0;
            data->end = 1;
            break;
        }
        const auto take = static_cast<uint32_t>(std::min<int64_t>(bytes - copied, data->bytes_left));
        std::memcpy(out + copied, data->decode_buffer.get() + data->read_offset, take);
        data->read_offset += take;
        data->bytes_left -= take;
        data->position += take;
        copied += take;
    }
    return copied;
}

int SeekSoundConvert(SoundConvertData* data, int64_t sample) {
    if (data == nullptr || !data->open) return -1;
    const int64_t target = std::max<int64_t>(0, sample) * data->output_format.block_align;
    if (std::abs(target - data->position) < kSeekTolerance) return 0;
    data->end = 0;
    switch (data->kind) {
        case SoundConvertKind::kWavePcm: {
            const int64_t inside = std::min(target, data->data_size);
            data->stream->Seek(data->data_start + inside, 0);
            data->bytes_left = 0;
            data->read_offset = 0;
            data->position = inside;
            break;
        }
        case SoundConvertKind::kAcm: SeekAcm(data, target); break;
        case SoundConvertKind::kOggVorbis:
            data->bytes_left = 0;
            data->read_offset = 0;
            data->position = target;
            if (!SeekOggVorbis(data, sample)) data->end = 1;
            break;
    }
    return 0;
}

int CloseSoundConvert(SoundConvertData* data) {
    if (data == nullptr || !data->open) return -1;
    data->decode_buffer.reset();
    CloseKind(data);
    data->open = 0;
    return 0;
}

int GetSoundConvertFormat(const SoundConvertData* data, platform::WaveFormat* format) {
    if (data == nullptr || format == nullptr) return -1;
    *format = data->output_format;
    return 0;
}

int64_t GetSoundConvertSize(const SoundConvertData* data) {
    switch (data->kind) {
        case SoundConvertKind::kWavePcm: return data->data_size;
        case SoundConvertKind::kOggVorbis:
            return data->data_size + kOggSizeMarginSamples * data->output_format.block_align;
        case SoundConvertKind::kAcm: return GetSoundConvertPcmSize(data);
    }
    return 0;
}

int64_t GetSoundConvertPcmSize(const SoundConvertData* data) {
    if (IsCompressed(data)) {
        if (data->total_samples >= 0) return data->total_samples * data->output_format.block_align;
        const platform::AcmStream* stream = data->main_stream ? data->main_stream.get() : data->spare_stream.get();
        return stream == nullptr ? 0 : stream->OutputBytesFor(data->source_data.get(), data->source_size);
    }
    return data->data_size;
}

int ConvertSoundWhole(SoundConvertData* data, SoundMemory* pcm, uint32_t* pcm_bytes, platform::WaveFormat* format) {
    if (data == nullptr || !data->open) return -1;
    const int64_t size = GetSoundConvertSize(data);
    SoundMemory block = AllocateSoundMemory(static_cast<size_t>(std::max<int64_t>(size, 0)));
    if (!block) return -1;
    SeekSoundConvert(data, 0);
    int64_t produced;
    if (data->kind == SoundConvertKind::kWavePcm) {
        data->stream->Seek(data->data_start, 0);
        produced = static_cast<int64_t>(data->stream->Read(block.get(), static_cast<size_t>(size)));
        data->position = produced;
    } else {
        produced = ReadSoundConvert(data, block.get(), size);
    }
    *pcm = std::move(block);
    *pcm_bytes = static_cast<uint32_t>(std::max<int64_t>(produced, 0));
    *format = data->output_format;
    return 0;
}

}  // namespace velk
