#pragma once
// Conversion of a sound file to PCM. Four kinds of input are recognised, in
// this order: WAVE PCM, WAVE with another format tag (through the audio
// compression stand-in), Ogg Vorbis, and MPEG audio. The converter is read
// piece by piece, sought by sample, asked for its size, or drained whole.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lib/sound/sound_memory.h"
#include "lib/sound/sound_stream.h"
#include "platform/audio/acm_stream.h"
#include "platform/audio/wave_format.h"

namespace velk {

enum class SoundConvertKind : int32_t { kWavePcm = 0, kAcm = 1, kOggVorbis = 2 };

struct OggVorbisDecoder;
struct OggVorbisDecoderFree {
    void operator()(OggVorbisDecoder* decoder) const;
};

// The conversion state of one sound source, owned by its caller.
struct SoundConvertData {
    SoundConvertData();
    ~SoundConvertData();
    SoundConvertData(const SoundConvertData&) = delete;
    SoundConvertData& operator=(const SoundConvertData&) = delete;

    int32_t open = 0;
    int32_t end = 0;
    SoundConvertKind kind = SoundConvertKind::kWavePcm;
    SoundStream* stream = nullptr;  // the caller's; never closed here
    int64_t format_chunk_position = 0;
    int64_t format_chunk_size = 0;
    int64_t data_start = 0;
    int64_t data_size = 0;  // encoded bytes (PCM bytes for WAVE PCM and Ogg Vorbis)
    platform::WaveFormat output_format;

    // Compressed kinds.
    std::vector<uint8_t> source_format;
    std::unique_ptr<platform::AcmStream> main_stream;
    std::unique_ptr<platform::AcmStream> spare_stream;  // stays at the data start
    SoundMemory source_data;
    uint32_t source_size = 0;
    uint32_t source_consumed = 0;
    int64_t total_samples = 0;  // MPEG audio: the walked frames' samples; compressed WAVE: -1

    // Ogg Vorbis.
    std::unique_ptr<OggVorbisDecoder, OggVorbisDecoderFree> vorbis;
    int32_t ogg_bytes_per_sample = 2;

    SoundMemory decode_buffer;
    uint32_t decode_buffer_size = 0;
    uint32_t bytes_left = 0;
    uint32_t read_offset = 0;
    int64_t position = 0;  // PCM bytes
    int32_t decoder_build = 0;
};

// The library-wide settings the Ogg Vorbis kind reads.
void SetOggOutputSampleBytes(int32_t bytes);
void SetSoundDecoderBuildFlag(int32_t flag);
int32_t GetSoundDecoderBuildFlag();

int SetupSoundConvert(SoundConvertData* data, SoundStream* stream);
// The PCM bytes copied (fewer only at the end, which sets `end`); -1 when not open.
int64_t ReadSoundConvert(SoundConvertData* data, void* destination, int64_t bytes);
int SeekSoundConvert(SoundConvertData* data, int64_t sample);
int CloseSoundConvert(SoundConvertData* data);
int GetSoundConvertFormat(const SoundConvertData* data, platform::WaveFormat* format);
// The PCM bytes a whole conversion allocates (never below what it gives).
int64_t GetSoundConvertSize(const SoundConvertData* data);
// The PCM bytes the data really holds, as far as known before decoding: exact
// for WAVE PCM, Ogg Vorbis and MPEG audio, the codec's count for compressed WAVE.
int64_t GetSoundConvertPcmSize(const SoundConvertData* data);
int ConvertSoundWhole(SoundConvertData* data, SoundMemory* pcm, uint32_t* pcm_bytes, platform::WaveFormat* format);

// A WAV file image of the format record and PCM bytes.
int BuildWaveImage(SoundMemory* image, uint32_t* image_bytes, const uint8_t* format, uint32_t format_bytes,
                   const uint8_t* pcm, uint32_t pcm_bytes);
// Reads a whole file through the library's file access.
int LoadFileImage(const std::string& path, SoundMemory* image, uint32_t* image_bytes);
// Reads a whole stream from its start; the stream stays open.
int ReadWholeStream(SoundStream* stream, SoundMemory* image, uint32_t* image_bytes);

}  // namespace velk
