#include "lib/sound/sound_public.h"

#include "lib/sound/sound.h"

namespace velk {

int DeleteAllSounds() { return DeleteAllSoundsBody(); }
int LoadSoundFromMemoryWithBuffers(const void* image, uint32_t size, int32_t buffers, int32_t share_handle) {
    return LoadSoundFromMemoryWithBuffersBody(image, size, buffers, share_handle);
}
int LoadSoundFromMemory(const void* image, uint32_t size, int32_t share_handle) {
    return LoadSoundFromMemoryBody(image, size, share_handle);
}
int DeleteSound(int32_t handle) { return DeleteSoundBody(handle); }
int PlaySoundHandle(int32_t handle, int32_t play_type, int32_t from_top) {
    return PlaySoundHandleBody(handle, play_type, from_top);
}
int StopSoundHandle(int32_t handle) { return StopSoundHandleBody(handle); }
int CheckSoundPlaying(int32_t handle) { return CheckSoundPlayingBody(handle); }
int SetSoundVolume(int32_t volume, int32_t handle) { return SetSoundVolumeBody(volume, handle); }
int SetSoundFrequency(int32_t frequency, int32_t handle) { return SetSoundFrequencyBody(frequency, handle); }
int GetSoundFrequency(int32_t handle) { return GetSoundFrequencyBody(handle); }
int SetSoundPlayPosition(int32_t ms, int32_t handle) { return SetSoundPlayPositionBody(ms, handle); }
int GetSoundPlayPosition(int32_t handle) { return GetSoundPlayPositionBody(handle); }
int GetSoundLength(int32_t handle) { return GetSoundLengthBody(handle); }
int SetSoundLoopPosition(int32_t ms, int32_t handle) { return SetSoundLoopPositionBody(ms, handle); }
int SetSoundCreateType(int32_t type) { return SetSoundCreateTypeBody(type); }

}  // namespace velk
