#pragma once
// The binding of the MIDI player library. The library is loaded by the first
// SetDevice while none is loaded; when it cannot be (no soundfont) a message
// box says so and every call does nothing, so the game runs on without MIDI
// music. The synthesiser behind it starts on the first play; should it fail
// then, the same message box appears once and MIDI stays off. The shell builds one, calls SetDevice at
// start-up and Free after a failed SetDevice and at shut-down.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/present/midi_output.h"

namespace velk::platform {
class MidiPlayer;
}

namespace velk {

class MidiLibrary final : public MidiOutput {
public:
    // The soundfonts the player may use, tried in order.
    MidiLibrary();
    explicit MidiLibrary(std::vector<std::string> soundFonts);
    ~MidiLibrary() override;
    MidiLibrary(const MidiLibrary&) = delete;
    MidiLibrary& operator=(const MidiLibrary&) = delete;

    // 0 when the device is open; anything else switches MIDI off for the run.
    int32_t SetDevice(int32_t device, int32_t option);
    void Free();

    bool Present() const override { return player_ != nullptr; }
    int32_t ReadList(const void* data, int32_t size, int32_t option, int32_t list) override;
    void DeleteList(int32_t list) override;
    int32_t Play(int32_t option, int32_t list, int32_t start) override;
    void Stop() override;
    void MasterVolume(int32_t volume) override;
    void TempoDepth(int32_t depth) override;

private:
    std::vector<std::string> soundFonts_;
    std::unique_ptr<platform::MidiPlayer> player_;
};

}  // namespace velk
