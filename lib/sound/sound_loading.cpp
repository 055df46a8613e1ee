// Sounds made from files: create type 0 converts the whole file into the play
// buffers; types 2 and 3 make a stream sound that decodes while it plays.

#include <algorithm>
#include <cstring>

#include "lib/core/log.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_data.h"
#include "lib/sound/sound_log_texts.h"
#include "lib/sound/sound_stream.h"
#include "lib/sound/stream_sound.h"

namespace velk {
namespace {

int FailLoad(int32_t handle) {
    DeleteSoundBody(handle);
    return -1;
}

// Writes the PCM into every play buffer.
bool FillPlayBuffers(SoundData* record) {
    for (int32_t i = 0; i < record->buffer_count; ++i) {
        platform::AudioBuffer& buffer = *record->buffers[static_cast<size_t>(i)].buffer;
        platform::LockedRegion region;
        if (!buffer.Lock(0, record->pcm_size, &region)) {
            WriteLog(sound_text::kTransferFailed1);
            return false;
        }
        std::memcpy(region.first, record->pcm.get(), region.first_bytes);
        if (region.second != nullptr) std::memcpy(region.second, record->pcm.get() + region.first_bytes, region.second_bytes);
        if (!buffer.Unlock(region)) {
            WriteLog(sound_text::kTransferFailed2);
            return false;
        }
    }
    return true;
}

}  // namespace

int SetSoundCreateTypeBody(int32_t type) {
    if (type < 0 || type > 3) return -1;
    Sounds().create_type = type;
    return 0;
}

int GetSoundCreateType() { return Sounds().create_type; }

int LoadSoundFromMemoryWithBuffersBody(const void* image, uint32_t size, int32_t buffers, int32_t share_handle) {
    if (!SoundStarted() || buffers > kMaxPlayBuffers || image == nullptr) return -1;
    const int32_t handle = AddSoundData(-1);
    if (handle == -1) return -1;
    const int32_t type = Sounds().create_type;
    if (type != 0) {
        if (AddStreamSoundMem(image, size, 0, handle, type, share_handle) != 0) return FailLoad(handle);
        StartStreamSound(handle);
        return handle;
    }
    MemorySoundStream stream(image, size);
    SoundConvertData converter;
    if (SetupSoundConvert(&converter, &stream) != 0) {
        WriteLog(sound_text::kPcmConversionFailed);
        return FailLoad(handle);
    }
    SoundMemory pcm;
    uint32_t pcm_bytes = 0;
    platform::WaveFormat format;
    if (ConvertSoundWhole(&converter, &pcm, &pcm_bytes, &format) != 0) {
        WriteLog(sound_text::kPcmMemoryFailed);
        return FailLoad(handle);
    }
    CloseSoundConvert(&converter);
    // Data that decodes to less than one sample is no sound: a play buffer
    // cannot hold it, and no file may end the program.
    pcm_bytes -= pcm_bytes % std::max<uint32_t>(format.block_align, 1);
    if (pcm_bytes < 4 || pcm_bytes < format.block_align) {
        WriteLog(sound_text::kPcmConversionFailed);
        return FailLoad(handle);
    }
    CreateSoundPlayBuffers(format, pcm_bytes, kNormalSound, std::max(buffers, 1), handle);
    SoundData* record = FindSound(handle);
    record->format = format;
    record->pcm = std::move(pcm);
    record->pcm_size = pcm_bytes;
    if (!FillPlayBuffers(record)) return FailLoad(handle);
    return handle;
}

int LoadSoundFromMemoryBody(const void* image, uint32_t size, int32_t share_handle) {
    return LoadSoundFromMemoryWithBuffersBody(image, size, 1, share_handle);
}

int LoadSoundFile(const std::string& path, int32_t buffers, int32_t share_handle) {
    if (!SoundStarted()) return -1;
    const int32_t type = Sounds().create_type;
    if (type != 0) {
        const int32_t handle = AddSoundData(-1);
        if (handle == -1) return -1;
        if (AddStreamSoundFile(path, 0, handle, type, share_handle) != 0) return FailLoad(handle);
        StartStreamSound(handle);
        return handle;
    }
    SoundMemory image;
    uint32_t image_bytes = 0;
    if (LoadFileImage(path, &image, &image_bytes) != 0) {
        WriteLogFormat(sound_text::kSoundFileLoadFailed1Format, path.c_str());
        return -1;
    }
    const int handle = LoadSoundFromMemoryWithBuffersBody(image.get(), image_bytes, std::min(buffers, kMaxPlayBuffers), -1);
    if (handle == -1) WriteLogFormat(sound_text::kSoundFileLoadFailed2Format, path.c_str());
    return handle;
}

int LoadStreamSoundFromStream(std::unique_ptr<SoundStream> stream) {
    if (!SoundStarted() || !stream) return -1;
    const int32_t handle = AddSoundData(-1);
    if (handle == -1) return -1;
    SoundData* record = FindSound(handle);
    if (record == nullptr || AddStreamSource(stream, 0, handle, record, 3, -1) != 0) return FailLoad(handle);
    record->sources[static_cast<size_t>(record->source_count - 1)].own_stream = 1;
    StartStreamSound(handle);
    return handle;
}

}  // namespace velk
