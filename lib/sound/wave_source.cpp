// WAVE files: the RIFF header, the "fmt " chunk (which must come first), and
// the walk over further chunks to "data". Uncompressed PCM the mixer plays is
// read straight from the data; any other format goes through the audio
// compression stand-in.

#include <array>
#include <cstring>
#include <optional>

#include "lib/sound/sound_convert_kinds.h"

namespace velk {
namespace {

struct WaveLayout {
    std::vector<uint8_t> format_body;
    int64_t format_position = 0;
    int64_t data_start = 0;
    int64_t data_size = 0;
};

bool ReadTag(SoundStream* stream, const char* tag) {
    char bytes[4];
    return stream->Read(bytes, 4) == 4 && std::memcmp(bytes, tag, 4) == 0;
}

std::optional<std::pair<std::array<char, 4>, uint32_t>> ReadChunkHeader(SoundStream* stream) {
    uint8_t bytes[8];
    if (stream->Read(bytes, 8) != 8) return std::nullopt;
    std::array<char, 4> tag;
    std::memcpy(tag.data(), bytes, 4);
    return std::make_pair(tag, LoadU32(bytes + 4));
}

// A 16-byte PCM body states no extra size, and its bits per sample are taken
// from the block align.
void FixShortPcmBody(std::vector<uint8_t>& body) {
    if (body.size() != 16 || LoadU16(body.data()) != platform::kWaveFormatPcm) return;
    const uint16_t channels = LoadU16(body.data() + 2);
    const uint16_t block_align = LoadU16(body.data() + 12);
    const uint16_t bits = channels == 0 ? 0 : static_cast<uint16_t>(block_align / channels * 8);
    body[14] = static_cast<uint8_t>(bits);
    body[15] = static_cast<uint8_t>(bits >> 8);
    body.resize(18, 0);
}

std::optional<WaveLayout> ReadWaveLayout(SoundStream* stream) {
    const int64_t stream_size = stream->Size();
    if (stream_size < 0 || stream->Seek(0, 0) != 0) return std::nullopt;
    if (!ReadTag(stream, "RIFF") || stream->Seek(4, 1) != 0 || !ReadTag(stream, "WAVE")) return std::nullopt;
    const auto format = ReadChunkHeader(stream);
    if (!format || std::memcmp(format->first.data(), "fmt ", 4) != 0) return std::nullopt;
    WaveLayout layout;
    layout.format_position = stream->Tell();
    // A format record longer than the file is damaged, not a huge allocation.
    if (format->second < 16 || format->second > stream_size - layout.format_position) return std::nullopt;
    layout.format_body.resize(format->second);
    if (stream->Read(layout.format_body.data(), format->second) != format->second) return std::nullopt;
    if (format->second & 1) stream->Seek(1, 1);
    FixShortPcmBody(layout.format_body);
    for (;;) {
        const auto chunk = ReadChunkHeader(stream);
        if (!chunk) return std::nullopt;  // the data ended before a "data" chunk
        if (std::memcmp(chunk->first.data(), "data", 4) == 0) {
            layout.data_start = stream->Tell();
            // A size beyond the bytes present (a cut file, or the placeholder
            // that streaming writers leave) is cut to what is there.
            layout.data_size = std::min<int64_t>(chunk->second, stream_size - layout.data_start);
            return layout;
        }
        const int64_t skip = static_cast<int64_t>(chunk->second) + (chunk->second & 1);
        if (stream->Seek(skip, 1) != 0) return std::nullopt;
    }
}

void TakeLayout(SoundConvertData* data, const WaveLayout& layout) {
    data->format_chunk_position = layout.format_position;
    data->format_chunk_size = static_cast<int64_t>(layout.format_body.size());
    data->data_start = layout.data_start;
    data->data_size = layout.data_size;
}

}  // namespace

bool SetupWavePcm(SoundConvertData* data) {
    const std::optional<WaveLayout> layout = ReadWaveLayout(data->stream);
    if (!layout) return false;
    const platform::WaveFormat format = platform::LoadWaveFormat(layout->format_body.data(), layout->format_body.size());
    // Only PCM the mixer plays; other PCM layouts are converted by the
    // compressed kind, and a damaged record (no channels) is refused there.
    if (!platform::IsMixablePcmFormat(format) || layout->data_size < format.block_align) return false;
    TakeLayout(data, *layout);
    data->output_format = platform::MakePcmFormat(format.channels, format.samples_per_second, format.bits_per_sample);
    data->data_size -= data->data_size % format.block_align;
    data->decode_buffer_size = data->output_format.bytes_per_second;
    return data->stream->Seek(data->data_start, 0) == 0;
}

bool SetupAcmWave(SoundConvertData* data) {
    const std::optional<WaveLayout> layout = ReadWaveLayout(data->stream);
    if (!layout || layout->data_size <= 0) return false;
    platform::WaveFormat pcm;
    if (!platform::AcmSuggestPcmFormat(layout->format_body.data(), static_cast<uint32_t>(layout->format_body.size()),
                                       &pcm)) {
        return false;
    }
    TakeLayout(data, *layout);
    data->source_format = layout->format_body;
    data->output_format = pcm;
    if (!OpenAcmStreams(data)) return false;
    data->decode_buffer_size = pcm.bytes_per_second;
    data->total_samples = -1;
    return true;
}

bool OpenAcmStreams(SoundConvertData* data) {
    const auto format_bytes = static_cast<uint32_t>(data->source_format.size());
    data->source_data = AllocateSoundMemory(static_cast<size_t>(data->data_size));
    if (!data->source_data || data->stream->Seek(data->data_start, 0) != 0 ||
        data->stream->Read(data->source_data.get(), static_cast<size_t>(data->data_size)) !=
            static_cast<size_t>(data->data_size) ||
        data->stream->Seek(data->data_start, 0) != 0) {
        CloseAcmStreams(data);
        return false;
    }
    data->source_size = static_cast<uint32_t>(data->data_size);
    data->source_consumed = 0;
    data->main_stream = platform::AcmStream::Open(data->source_format.data(), format_bytes, data->output_format);
    data->spare_stream = platform::AcmStream::Open(data->source_format.data(), format_bytes, data->output_format);
    if (!data->main_stream || !data->spare_stream) {
        CloseAcmStreams(data);
        return false;
    }
    return true;
}

void CloseAcmStreams(SoundConvertData* data) {
    data->main_stream.reset();
    data->spare_stream.reset();
    data->source_data.reset();
    data->source_format.clear();
    data->source_size = 0;
    data->source_consumed = 0;
}

}  // namespace velk
