#pragma once
// Stream sounds (internal to the sound layer): sources added to a sound, and
// the priming of its ring.

#include <cstdint>
#include <memory>
#include <string>

#include "lib/sound/sound_data.h"

namespace velk {

// Adds a source decoded from `stream` to the stream sound `handle` (whose
// record is `record`). Mode 3 keeps decoding the stream itself and takes it
// over on success; other modes keep their own copy and leave it.
int AddStreamSource(std::unique_ptr<SoundStream>& stream, uint8_t repeat_count, int32_t handle, SoundData* record,
                    int32_t mode, int32_t share_handle);
int AddStreamSoundFile(const std::string& path, uint8_t repeat_count, int32_t handle, int32_t mode,
                       int32_t share_handle);
int AddStreamSoundMem(const void* image, uint32_t size, uint8_t repeat_count, int32_t handle, int32_t mode,
                      int32_t share_handle);
int StartStreamSound(int32_t handle);

}  // namespace velk
