// Standard MIDI Files: any bytes checked as the MIDI player checks a file
// before the synthesiser sees it; whatever passes gives a start position.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/midi/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto facts = velk::platform::ReadMidiFileFacts(std::span<const uint8_t>(data, size));
    if (!facts) return 0;
    if (facts->tracks == 0 || facts->division == 0 || facts->format > 2) std::abort();
    if (velk::platform::MidiTicksForMilliseconds(*facts, INT32_MAX) < 0) std::abort();
    return 0;
}
