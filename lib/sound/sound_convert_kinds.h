#pragma once
// The kinds behind the converter. Each set-up returns false and holds nothing
// when it does not take the data.

#include "lib/sound/sound_convert.h"

namespace velk {

bool SetupWavePcm(SoundConvertData* data);
bool SetupAcmWave(SoundConvertData* data);
bool SetupOggVorbis(SoundConvertData* data);
bool SetupMpegAudio(SoundConvertData* data);

// Compressed kinds: opens the two codec streams and reads the encoded data
// [data_start, data_start + data_size) into memory.
bool OpenAcmStreams(SoundConvertData* data);
void CloseAcmStreams(SoundConvertData* data);

// One decode step into the decode buffer: false at the end of the data.
bool DecodeOggVorbisStep(SoundConvertData* data);
bool SeekOggVorbis(SoundConvertData* data, int64_t sample);
void CloseOggVorbis(SoundConvertData* data);

// Little-endian fields of a byte block.
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace velk
