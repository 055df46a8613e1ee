// Ogg Vorbis files through vorbisfile and the converter's read callbacks.
#include "fuzz/sound_convert_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::fuzzing::ConvertSoundImage(data, size);
    return 0;
}
