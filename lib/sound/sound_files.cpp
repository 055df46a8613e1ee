// Whole files and streams read into memory, and WAV file images built from
// a format record and PCM data.

#include <cstring>

#include "lib/core/log.h"
#include "lib/sound/sound_convert.h"
#include "lib/sound/sound_log_texts.h"

namespace velk {
namespace {

void PutTag(uint8_t*& out, const char* tag) {
    std::memcpy(out, tag, 4);
    out += 4;
}

void Put32(uint8_t*& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) *out++ = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int BuildWaveImage(SoundMemory* image, uint32_t* image_bytes, const uint8_t* format, uint32_t format_bytes,
                   const uint8_t* pcm, uint32_t pcm_bytes) {
    const uint64_t total = uint64_t{format_bytes} + pcm_bytes + 28;
    if (total > UINT32_MAX) return -1;
    SoundMemory block = AllocateSoundMemory(static_cast<size_t>(total));
    if (!block) return -1;
    uint8_t* out = block.get();
    PutTag(out, "RIFF");
    Put32(out, static_cast<uint32_t>(total - 8));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, format_bytes);
    std::memcpy(out, format, format_bytes);
    out += format_bytes;
    PutTag(out, "data");
    Put32(out, pcm_bytes);
    if (pcm_bytes > 0) std::memcpy(out, pcm, pcm_bytes);
    *image = std::move(block);
    *image_bytes = static_cast<uint32_t>(total);
    return 0;
}

int ReadWholeStream(SoundStream* stream, SoundMemory* image, uint32_t* image_bytes) {
    const int64_t size = stream->Size();
    if (size < 0 || size > UINT32_MAX || stream->Seek(0, 0) != 0) return -1;
    SoundMemory block = AllocateSoundMemory(static_cast<size_t>(size));
    if (!block) return WriteLog(sound_text::kStreamMemoryFailed);
    const size_t got = stream->Read(block.get(), static_cast<size_t>(size));
    *image = std::move(block);
    *image_bytes = static_cast<uint32_t>(got);
    return 0;
}

int LoadFileImage(const std::string& path, SoundMemory* image, uint32_t* image_bytes) {
    std::unique_ptr<SoundStream> stream = OpenFileSoundStream(path);
    if (!stream) {
        WriteLogFormat(sound_text::kFileOpenFailedFormat, path.c_str());
        return -1;
    }
    const int64_t size = stream->Size();
    SoundMemory block = size < 0 || size > UINT32_MAX ? nullptr : AllocateSoundMemory(static_cast<size_t>(size));
    if (!block) {
        WriteLogFormat(sound_text::kFileMemoryFailedFormat, path.c_str());
        return -1;
    }
    stream->Seek(0, 0);
    *image_bytes = static_cast<uint32_t>(stream->Read(block.get(), static_cast<size_t>(size)));
    *image = std::move(block);
    return 0;
}

}  // namespace velk
