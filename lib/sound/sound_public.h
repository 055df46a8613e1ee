#pragma once
// The library's public sound operations, as the game calls them: each one a
// plain forward to its body (same arguments, same result).

#include <cstdint>

namespace velk {

int DeleteAllSounds();
// The last argument names a stream sound whose ring a new stream sound may
// share; the game passes -1.
int LoadSoundFromMemoryWithBuffers(const void* image, uint32_t size, int32_t buffers, int32_t share_handle);
int LoadSoundFromMemory(const void* image, uint32_t size, int32_t share_handle);
int DeleteSound(int32_t handle);
int PlaySoundHandle(int32_t handle, int32_t play_type, int32_t from_top);
int StopSoundHandle(int32_t handle);
int CheckSoundPlaying(int32_t handle);
int SetSoundVolume(int32_t volume, int32_t handle);
int SetSoundFrequency(int32_t frequency, int32_t handle);
int GetSoundFrequency(int32_t handle);
int SetSoundPlayPosition(int32_t ms, int32_t handle);
int GetSoundPlayPosition(int32_t handle);
int GetSoundLength(int32_t handle);
int SetSoundLoopPosition(int32_t ms, int32_t handle);
int SetSoundCreateType(int32_t type);

}  // namespace velk
