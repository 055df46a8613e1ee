#pragma once
// What the player needs to know of a Standard MIDI File before it hands the
// bytes to the synthesiser: that the header and every track chunk fit the
// bytes, the time division, and the tempo in force at the start.

#include <cstdint>
#include <optional>
#include <span>

namespace velk::platform {

struct MidiFileFacts {
    uint16_t format = 0;
    uint16_t tracks = 0;
    // Ticks per quarter note; for time-code files (top bit set) the high byte
    // is minus the frames per second and the low byte the ticks per frame.
    uint16_t division = 0;
    // Microseconds per quarter note at tick 0.
    uint32_t startTempo = 500000;
};

// nullopt when the bytes are not a whole Standard MIDI File.
std::optional<MidiFileFacts> ReadMidiFileFacts(std::span<const uint8_t> bytes);

// The tick that lies `ms` milliseconds into a file with these facts, counted
// at the starting tempo.
int64_t MidiTicksForMilliseconds(const MidiFileFacts& facts, int64_t ms);

}  // namespace velk::platform
