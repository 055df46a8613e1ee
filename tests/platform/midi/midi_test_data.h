#pragma once
// Standard MIDI Files written byte by byte for the MIDI tests: a piano note
// at the start and, when asked, a second note one second (at the starting
// tempo) later, so tempo changes show as a shift of the second note.

#include <cstdint>
#include <vector>

namespace velk::testing {

// The bytes of a variable-length quantity.
inline void PutMidiQuantity(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t parts[4];
    int count = 0;
    do {
        parts[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 4);
    while (count > 1)
        out.push_back(parts[--count] | 0x80);
    out.push_back(parts[0]);
}

// Format 0, 480 ticks per quarter, tempo 500000 us (120 per minute, so 960
// ticks a second). Note 1 sounds for `firstTicks`; with `secondAt` above 0
// note 2 starts at that tick and sounds for 240 ticks; the track ends at
// `endTick`.
inline std::vector<uint8_t> TwoNoteMidi(uint32_t firstTicks = 240, uint32_t secondAt = 960, uint32_t endTick = 1920) {
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000
                                  0x00, 0xC0, 0x00,                          // piano
                                  0x00, 0x90, 60,   100};                    // note on
    PutMidiQuantity(track, firstTicks);
    track.insert(track.end(), {0x80, 60, 0});
    uint32_t tick = firstTicks;
    if (secondAt > tick) {
        PutMidiQuantity(track, secondAt - tick);
        track.insert(track.end(), {0x90, 67, 100});
        PutMidiQuantity(track, 240);
        track.insert(track.end(), {0x80, 67, 0});
        tick = secondAt + 240;
    }
    PutMidiQuantity(track, endTick > tick ? endTick - tick : 0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    const uint32_t length = static_cast<uint32_t>(track.size());
    file.insert(file.end(), {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

}  // namespace velk::testing
