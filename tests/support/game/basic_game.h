#pragma once
// The parts of a game description that a running game needs before it
// shows anything: a system database whose map list names a map for every
// start position the tests use, the rows the message and choice windows
// read their images from, text colours, and that map's file.

#include <cstdint>
#include <string>

namespace velk::testing {

// The system database section: map rows 0-3 all name "MapData/Map000.mps";
// the start position is (map, x, y). `extraTypes` are written after the
// standard ones (type 24 on).
std::string BasicSystemDatabase(int startMap = 0, int startX = 0, int startY = 0,
                                const std::string& windowRows = "", const std::string& extraTypes = "");
// The map file (20 x 15 chips of tile 8, no events).
std::string BasicMap();
// A 4 x 4 24-bit bitmap of one colour, as "bytes" of a file section.
std::string SolidBitmapBytes(uint8_t red, uint8_t green, uint8_t blue);

}  // namespace velk::testing
