#pragma once
// What the game's sound asks of the speech library: a phonetic text spoken
// into a complete WAVE file image in memory at a speed, and the image handed
// back once the sound is made from it. Nothing comes out while the library
// is absent.

#include <cstdint>
#include <string>

namespace velk {

class SpeechOutput {
public:
    virtual ~SpeechOutput() = default;
    // Whether the synthesis is available at all.
    virtual bool Present() const = 0;
    // The image of the Shift-JIS text spoken at `speed` (percent of the
    // voice's normal speed) and its size in bytes; null when nothing came out.
    // The image stays valid until FreeWave.
    virtual const uint8_t* Synthesize(const std::string& text, int32_t speed, int32_t* size) = 0;
    virtual void FreeWave(const uint8_t* wave) = 0;
};

// The library that is not there.
SpeechOutput& NoSpeech();

}  // namespace velk
