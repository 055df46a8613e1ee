#pragma once
// The MIDI table, the current music and the sound capture file, for whatever
// comes to create them (the library itself creates none).

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace velk {

struct MidiData {
    int32_t playing = 0;
    int32_t started = 0;
    std::vector<uint8_t> bytes;
};

// kind 1: a sound handle; otherwise a MIDI handle. handle 0: no music.
struct CurrentMusic {
    int32_t handle = 0;
    int32_t kind = 0;
};

struct SoundCaptureFile {
    int32_t open = 0;
    uint32_t frames = 0;  // 4-byte frames written after the header
    std::FILE* file = nullptr;
};

inline constexpr size_t kSoundCaptureHeaderBytes = 46;
// The WAVE header written in front of a capture of `frames` frames of 16-bit
// stereo at 44100 Hz.
std::array<uint8_t, kSoundCaptureHeaderBytes> SoundCaptureHeader(uint32_t frames);

int32_t AddMidiHandle(std::unique_ptr<MidiData> data);
MidiData* FindMidiHandle(int32_t handle);
void SetMidiLoopPlay(int32_t flag);
int32_t MidiMciPlaying();
void SetMidiTemporaryFile(const std::string& path);
void SetCurrentMusic(int32_t handle, int32_t kind);
CurrentMusic GetCurrentMusic();
SoundCaptureFile& GetSoundCaptureFile();

}  // namespace velk
