// WAVE files: the RIFF header, the chunk walk, PCM and every compressed
// format the audio compression stand-in takes (ADPCM, G.711, wide PCM, MPEG).
#include "fuzz/sound_convert_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::fuzzing::ConvertSoundImage(data, size);
    return 0;
}
