#pragma once
// The binding of the speech library. Start-up loads it when it is installed;
// when it is installed but its voice does not load, a message box says so
// and speech stays unavailable, as it does without a message when the
// library itself does not start. Shut-down frees it. The shell builds one.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/present/speech_output.h"

namespace velk::platform {
class SpeechSynthesizer;
}

namespace velk {

class SpeechLibrary final : public SpeechOutput {
public:
    // The Japanese voice.
    SpeechLibrary();
    explicit SpeechLibrary(std::string voice);
    ~SpeechLibrary() override;
    SpeechLibrary(const SpeechLibrary&) = delete;
    SpeechLibrary& operator=(const SpeechLibrary&) = delete;

    // Whether the library is installed: start-up loads it only then.
    bool Installed() const;
    // True when loaded (or loaded already) with its voice.
    bool Load();
    // Unloads; the images not handed back yet go with it.
    void Free();

    bool Present() const override { return synthesizer_ != nullptr; }
    const uint8_t* Synthesize(const std::string& text, int32_t speed, int32_t* size) override;
    void FreeWave(const uint8_t* wave) override;

private:
    std::string voice_;
    std::unique_ptr<platform::SpeechSynthesizer> synthesizer_;
    // The images handed out, by their first byte.
    std::map<const uint8_t*, std::vector<uint8_t>> waves_;
};

}  // namespace velk
