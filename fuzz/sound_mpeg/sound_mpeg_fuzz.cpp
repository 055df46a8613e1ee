// MPEG audio files: ID3 tags, the frame walk and libmpg123's decoding. Inputs
// that do not start like a WAVE or Ogg file reach the MPEG test directly.
#include "fuzz/sound_convert_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::fuzzing::ConvertSoundImage(data, size);
    return 0;
}
