// Ogg Vorbis through vorbisfile, reading the sound stream through callbacks.
// The output is always 16-bit signed little-endian PCM.

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "lib/sound/sound_convert_kinds.h"

namespace velk {

struct OggVorbisDecoder {
    OggVorbis_File file{};
};

void OggVorbisDecoderFree::operator()(OggVorbisDecoder* decoder) const { delete decoder; }

namespace {

constexpr uint32_t kOggDecodeBufferBytes = 4096;
// A damaged stream can report holes for ever; after this many in a row the
// data counts as ended.
constexpr int kMaxHolesInARow = 64;
// A sound's PCM size, margin included, is counted in 31 bits (over three
// hours of stereo at 44100 Hz). The count comes from the granule position of
// the last page, which a damaged or crafted file may set to anything: a
// stream that claims more is refused rather than cut short.
constexpr int64_t kLargestOggSamples = (int64_t{0x7FFFFFFF} / 4) - 44100;

size_t ReadCallback(void* buffer, size_t size, size_t count, void* source) {
    auto* stream = static_cast<SoundStream*>(source);
    if (stream == nullptr || size == 0) return 0;
    return stream->Read(buffer, size * count) / size;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
    auto* stream = static_cast<SoundStream*>(source);
    return stream == nullptr ? -1 : stream->Seek(offset, whence);
}

// The stream stays the caller's.
int CloseCallback(void*) { return 0; }

long TellCallback(void* source) {
    auto* stream = static_cast<SoundStream*>(source);
    return stream == nullptr ? -1 : static_cast<long>(stream->Tell());
}

}  // namespace

bool SetupOggVorbis(SoundConvertData* data) {
    std::unique_ptr<OggVorbisDecoder, OggVorbisDecoderFree> decoder(new OggVorbisDecoder);
    const ov_callbacks callbacks{&ReadCallback, &SeekCallback, &CloseCallback, &TellCallback};
    if (ov_open_callbacks(data->stream, &decoder->file, nullptr, 0, callbacks) != 0) return false;
    const vorbis_info* info = ov_info(&decoder->file, -1);
    const ogg_int64_t total = ov_pcm_total(&decoder->file, -1);
    // Only what the mixer can play: one or two channels at a usable rate.
    if (info == nullptr || (info->channels != 1 && info->channels != 2) ||
        info->rate < static_cast<long>(platform::kMinSoundFrequency) ||
        info->rate > static_cast<long>(platform::kMaxSoundFrequency) || total <= 0 || total > kLargestOggSamples) {
        ov_clear(&decoder->file);
        return false;
    }
    const auto channels = static_cast<uint16_t>(info->channels);
    data->output_format = platform::MakePcmFormat(channels, static_cast<uint32_t>(info->rate), 16);
    data->decode_buffer_size = kOggDecodeBufferBytes;
    data->data_size = total * channels * 2;
    data->vorbis = std::move(decoder);
    return true;
}

bool DecodeOggVorbisStep(SoundConvertData* data) {
    for (int holes = 0; holes < kMaxHolesInARow; ++holes) {
        int section = 0;
        const long got = ov_read(&data->vorbis->file, reinterpret_cast<char*>(data->decode_buffer.get()),
                                 static_cast<int>(data->decode_buffer_size), 0, 2, 1, &section);
        if (got > 0) {
            data->bytes_left = static_cast<uint32_t>(got);
            return true;
        }
        // A hole (lost pages) is stepped over; any other failure ends the data.
        if (got != OV_HOLE) return false;
    }
    return false;
}

bool SeekOggVorbis(SoundConvertData* data, int64_t sample) {
    return ov_pcm_seek(&data->vorbis->file, sample) == 0;
}

void CloseOggVorbis(SoundConvertData* data) {
    if (data->vorbis) ov_clear(&data->vorbis->file);
    data->vorbis.reset();
}

}  // namespace velk
