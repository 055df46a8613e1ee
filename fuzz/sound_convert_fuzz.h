#pragma once
// Shared body of the sound converter fuzz targets: an input is a sound file
// image; it is recognised, converted whole, then read in pieces around seeks.
// Nothing may crash, hang or read out of bounds whatever the bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lib/sound/sound_convert.h"

namespace velk::fuzzing {

inline void ConvertSoundImage(const uint8_t* data, size_t size) {
    MemorySoundStream stream(data, size);
    SoundConvertData convert;
    if (SetupSoundConvert(&convert, &stream) != 0) return;
    // Whole conversions of huge claimed sizes are the allocator's to refuse.
    if (GetSoundConvertSize(&convert) <= (int64_t{64} << 20)) {
        SoundMemory pcm;
        uint32_t bytes = 0;
        platform::WaveFormat format;
        ConvertSoundWhole(&convert, &pcm, &bytes, &format);
    }
    std::vector<uint8_t> piece(4096);
    const int64_t samples = GetSoundConvertPcmSize(&convert) / std::max<int>(convert.output_format.block_align, 1);
    for (int64_t at : {samples / 2, int64_t{0}, samples - 1, samples + 1000}) {
        SeekSoundConvert(&convert, at);
        for (int i = 0; i < 4 && ReadSoundConvert(&convert, piece.data(), static_cast<int64_t>(piece.size())) > 0; ++i) {
        }
    }
    CloseSoundConvert(&convert);
}

}  // namespace velk::fuzzing
