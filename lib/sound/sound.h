#pragma once
// The library's sound operations. Results follow the library's rule: 0 (or a
// handle, a count) on success, -1 on failure, including any stale or foreign
// handle and any call before sound was started. Setters take the value first
// and the handle last; positions and lengths are in milliseconds.

#include <cstdint>
#include <memory>
#include <string>

namespace velk {

class SoundStream;

// Start-up and end of the sound device.
int InitDirectSound();
int EndDirectSound();

// Sound handles.
int AddSoundData(int32_t reuse_handle);
int PlaySoundHandleBody(int32_t handle, int32_t play_type, int32_t from_top);
int StopSoundHandleBody(int32_t handle);
int CheckSoundPlayingBody(int32_t handle);
int SetSoundVolumeBody(int32_t volume, int32_t handle);
int SetSoundFrequencyBody(int32_t frequency, int32_t handle);
int SetSoundPlayPositionBody(int32_t ms, int32_t handle);
int GetSoundPlayPositionBody(int32_t handle);
int GetSoundFrequencyBody(int32_t handle);
int64_t GetSoundTotalSample(int32_t handle);
int GetSoundLengthBody(int32_t handle);
int DeleteSoundBody(int32_t handle);
int DeleteAllSoundsBody();
// The count of sound handles in use (0 before start-up).
int GetSoundHandleCount();

// Play types.
inline constexpr int32_t kPlayTypeWait = 0;
inline constexpr int32_t kPlayTypeBackground = 1;
inline constexpr int32_t kPlayTypeLoop = 3;

// Loading.
int SetSoundCreateTypeBody(int32_t type);
int GetSoundCreateType();
int LoadSoundFromMemoryWithBuffersBody(const void* image, uint32_t size, int32_t buffers, int32_t share_handle);
int LoadSoundFromMemoryBody(const void* image, uint32_t size, int32_t share_handle);
int LoadSoundFile(const std::string& path, int32_t buffers, int32_t share_handle);
// A stream sound that decodes `stream` (data of any kind the converter
// reads) while it plays, taking the stream over; handle, -1.
int LoadStreamSoundFromStream(std::unique_ptr<SoundStream> stream);

// Stream sounds: loop positions and the per-frame refill.
int SetSoundLoopPositionBody(int32_t ms, int32_t handle);
int SetLoopSamplePosition(int64_t samples, int32_t handle);
int RefillStreamSound(int32_t handle);
int RefillAllStreamSounds();

// MIDI handles, current music and the sound capture file.
int UpdateMidiPlayState();
int HandleMidiMciNotify();
int CheckMidiHandlePlaying(int32_t handle);
int StopMidiHandle(int32_t handle);
int DeleteMidiHandle(int32_t handle);
int DeleteAllMidiHandles();
int StopCurrentMusic();
int CloseSoundCaptureFile();

// Resolves "." and ".." of a Windows-style path against a base directory
// ("C:\\game"); -1 on an empty component.
int MakeFullPath(const char* path, std::string* out, const char* base);

}  // namespace velk
