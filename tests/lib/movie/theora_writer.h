#pragma once
// Ogg Theora movies made in the test with libtheora's own encoder: every
// frame a different picture, key frames every `key_interval` frames, and
// optionally a Vorbis track of a sine tone in the same file. The reference
// decoder below reads such a file front to back with libtheora alone.

#include <cstdint>
#include <string>
#include <vector>

namespace velk::testing {

struct TheoraMovieShape {
    int width = 64;  // multiples of 16
    int height = 48;
    int fps_numerator = 25;
    int fps_denominator = 1;
    int frames = 30;
    int key_interval = 8;
    bool vorbis_track = false;
    int chroma = 420;  // 420, 422 or 444
    // Pictures of noise: large packets that span Ogg pages.
    bool noise = false;
};

std::vector<uint8_t> MakeTheoraMovie(const TheoraMovieShape& shape);

// Every frame of the file as 32-bit XRGB pixels (width x height x 4 bytes),
// decoded in order by libtheora and converted by the library's converter.
std::vector<std::vector<uint8_t>> ReferenceFrames(const std::vector<uint8_t>& file);

// Every frame's planes as decoded, rows without padding.
struct ReferenceYuvFrame {
    int width = 0, height = 0;
    int chroma_width = 0, chroma_height = 0;
    std::vector<uint8_t> y, u, v;
};
std::vector<ReferenceYuvFrame> ReferenceYuvFrames(const std::vector<uint8_t>& file);

}  // namespace velk::testing
