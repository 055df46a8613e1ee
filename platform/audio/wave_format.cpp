#include "platform/audio/wave_format.h"

namespace velk::platform {
namespace {

void Put16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value));
    Put16(out + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t Get(const uint8_t* bytes, size_t size, size_t offset, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        if (offset + i < size) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

}  // namespace

void StoreWaveFormat(const WaveFormat& format, uint8_t out[kWaveFormatBytes]) {
    Put16(out + 0, format.format_tag);
    Put16(out + 2, format.channels);
    Put32(out + 4, format.samples_per_second);
    Put32(out + 8, format.bytes_per_second);
    Put16(out + 12, format.block_align);
    Put16(out + 14, format.bits_per_sample);
    Put16(out + 16, format.extra_size);
}

WaveFormat LoadWaveFormat(const uint8_t* bytes, size_t size) {
    WaveFormat format;
    format.format_tag = static_cast<uint16_t>(Get(bytes, size, 0, 2));
    format.channels = static_cast<uint16_t>(Get(bytes, size, 2, 2));
    format.samples_per_second = Get(bytes, size, 4, 4);
    format.bytes_per_second = Get(bytes, size, 8, 4);
    format.block_align = static_cast<uint16_t>(Get(bytes, size, 12, 2));
    format.bits_per_sample = static_cast<uint16_t>(Get(bytes, size, 14, 2));
    format.extra_size = static_cast<uint16_t>(Get(bytes, size, 16, 2));
    return format;
}

WaveFormat MakePcmFormat(uint16_t channels, uint32_t samples_per_second, uint16_t bits_per_sample) {
    WaveFormat format;
    format.format_tag = kWaveFormatPcm;
    format.channels = channels;
    format.samples_per_second = samples_per_second;
    format.bits_per_sample = bits_per_sample;
    format.block_align = static_cast<uint16_t>(channels * (bits_per_sample / 8));
    format.bytes_per_second = format.block_align * samples_per_second;
    return format;
}

bool IsMixablePcmFormat(const WaveFormat& format) {
    if (format.format_tag != kWaveFormatPcm) return false;
    if (format.channels != 1 && format.channels != 2) return false;
    if (format.bits_per_sample != 8 && format.bits_per_sample != 16) return false;
    if (format.block_align != format.channels * format.bits_per_sample / 8) return false;
    return format.samples_per_second >= kMinSoundFrequency && format.samples_per_second <= kMaxSoundFrequency;
}

}  // namespace velk::platform
