#pragma once
// The 18-byte wave format record that sound data and sound buffers are
// described by: format tag, channels, sampling rate, bytes per second, block
// align, bits per sample and the size of the format-specific bytes after it.

#include <cstddef>
#include <cstdint>

namespace velk::platform {

inline constexpr uint16_t kWaveFormatPcm = 0x0001;
inline constexpr uint16_t kWaveFormatMsAdpcm = 0x0002;
inline constexpr uint16_t kWaveFormatIeeeFloat = 0x0003;
inline constexpr uint16_t kWaveFormatALaw = 0x0006;
inline constexpr uint16_t kWaveFormatMuLaw = 0x0007;
inline constexpr uint16_t kWaveFormatImaAdpcm = 0x0011;
inline constexpr uint16_t kWaveFormatMpeg = 0x0050;
inline constexpr uint16_t kWaveFormatMpegLayer3 = 0x0055;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// Bytes of the stored record (without the format-specific bytes).
inline constexpr size_t kWaveFormatBytes = 18;

struct WaveFormat {
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t samples_per_second = 0;
    uint32_t bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint16_t extra_size = 0;

    bool operator==(const WaveFormat&) const = default;
};

// Little-endian 18-byte form, as it stands in a WAVE file's "fmt " chunk.
void StoreWaveFormat(const WaveFormat& format, uint8_t out[kWaveFormatBytes]);
// Reads the record from the first `size` bytes; fields past the end read 0.
WaveFormat LoadWaveFormat(const uint8_t* bytes, size_t size);

// Integer PCM with the block align and bytes per second that follow from it.
WaveFormat MakePcmFormat(uint16_t channels, uint32_t samples_per_second, uint16_t bits_per_sample);

// The sampling rates a sound buffer can be created with or played at.
inline constexpr uint32_t kMinSoundFrequency = 100;
inline constexpr uint32_t kMaxSoundFrequency = 200000;

// True for the formats the mixer plays: PCM of 8 (unsigned) or 16 (signed)
// bits, one or two channels, a consistent block align and a rate in range.
bool IsMixablePcmFormat(const WaveFormat& format);

}  // namespace velk::platform
