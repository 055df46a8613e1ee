// Sound handles and their play buffers: a normal sound holds its whole PCM in
// one to ten buffers of identical content, and each play starts the next
// buffer in turn, so a sound can overlap itself. Stream sounds are handed to
// stream_sound.cpp.

#include <algorithm>
#include <cmath>

#include "lib/core/base_routines.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_data.h"
#include "lib/sound/sound_log_texts.h"
#include "platform/base/sync.h"

namespace velk {
namespace {

constexpr uint32_t kNormalBufferFlags = platform::kBufferGlobalFocus | platform::kBufferCtrlVolume |
                                        platform::kBufferCtrlPan | platform::kBufferCtrlFrequency |
                                        platform::kBufferStatic;
constexpr uint32_t kReducedBufferFlags =
    platform::kBufferCtrlVolume | platform::kBufferCtrlPan | platform::kBufferStatic;
constexpr uint32_t kStreamBufferFlags = kNormalBufferFlags | platform::kBufferGetCurrentPosition2;
constexpr int32_t kSilentVolume = -10000;

bool BufferPlaying(SoundBuffer& buffer, bool* playing) {
    uint32_t status = 0;
    if (!buffer.valid || !buffer.buffer->GetStatus(&status)) return false;
    *playing = (status & platform::kBufferStatusPlaying) != 0;
    return true;
}

// 1000 x log10(v / 255) hundredths of a decibel, truncated, at least -10000.
int32_t VolumeToHundredthsDb(int32_t volume) {
    if (volume >= 256) volume = 255;
    if (volume < 1) return kSilentVolume;
    const int32_t value = DoubleToInt(1000.0 * std::log10(volume / 255.0));
    return value < kSilentVolume ? kSilentVolume : value;
}

}  // namespace

SoundSystem& Sounds() {
    static SoundSystem system;
    return system;
}

SoundData* FindSound(int32_t handle) { return SoundStarted() ? Sounds().sounds.Get(handle) : nullptr; }

int GetSoundHandleCount() { return Sounds().sounds.count(); }

int AddSoundData(int32_t reuse_handle) {
    SoundTable& table = Sounds().sounds;
    int32_t slot;
    int32_t counter;
    if (reuse_handle != -1 && table.NamesEmptySlot(reuse_handle)) {
        slot = reuse_handle & 0xFFFF;
        counter = (reuse_handle >> 16) & 0x7FF;
    } else {
        slot = table.NextSlot();
        if (slot < 0) return WriteLog(sound_text::kTooManySounds);
        counter = table.TakeNextCheck();
    }
    return table.AddAt(slot, counter, std::make_unique<SoundData>());
}

int CreateSoundPlayBuffers(const platform::WaveFormat& format, uint32_t bytes, int32_t type, int32_t count,
                           int32_t handle, SoundData* record) {
    if (!SoundStarted()) return -1;
    if (record == nullptr) record = FindSound(handle);
    if (record == nullptr) return -1;
    platform::AudioDevice& device = *Sounds().device;
    if (type == kNormalSound) {
        auto first = device.CreateBuffer(platform::SoundBufferDesc{kNormalBufferFlags, bytes, format});
        if (!first) first = device.CreateBuffer(platform::SoundBufferDesc{kReducedBufferFlags, bytes, format});
        if (!first) ExitOnSoundFatalError(sound_text::kPlayBufferCreateFailed);
        record->buffers[0] = SoundBuffer{1, std::move(first)};
        int32_t made = 1;
        for (; made < count && made < kMaxPlayBuffers; ++made) {
            auto duplicate = device.DuplicateBuffer(*record->buffers[0].buffer);
            if (!duplicate) break;
            record->buffers[static_cast<size_t>(made)] = SoundBuffer{1, std::move(duplicate)};
        }
        record->buffer_count = made;
    } else {
        auto ring = device.CreateBuffer(platform::SoundBufferDesc{kStreamBufferFlags, format.bytes_per_second * 6, format});
        if (!ring) ExitOnSoundFatalError(sound_text::kStreamBufferCreateFailed);
        record->buffers[0] = SoundBuffer{1, std::move(ring)};
        record->buffer_count = 1;
        Sounds().stream_list.insert(Sounds().stream_list.begin(), handle);
    }
    record->kind = type;
    return 0;
}

int PlaySoundHandleBody(int32_t handle, int32_t play_type, int32_t from_top) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kStreamSound) return PlayStreamSound(handle, play_type, from_top);
    uint32_t cursor = 0;
    SoundBuffer& previous = record->buffers[static_cast<size_t>(record->last_started)];
    if (previous.valid) previous.buffer->GetCurrentPosition(&cursor, nullptr);
    int32_t next = record->last_started + 1;
    if (next >= record->buffer_count) next = 0;
    record->last_started = next;
    SoundBuffer& buffer = record->buffers[static_cast<size_t>(next)];
    bool playing = false;
    if (!BufferPlaying(buffer, &playing)) return -1;
    if (playing) {
        if (!from_top) return 0;
        buffer.buffer->Stop();
    }
    buffer.buffer->SetCurrentPosition(from_top ? 0 : cursor);
    buffer.buffer->Play(play_type == kPlayTypeLoop);
    record->start_time = static_cast<uint32_t>(GetMillisecondCount());
    if (play_type != kPlayTypeWait) return 0;
    if (ProcessMessages() != 0) return 0;
    while (CheckSoundPlayingBody(handle) == 1) {
        platform::SleepMilliseconds(1);
        if (ProcessMessages() != 0) break;
    }
    return 0;
}

int StopSoundHandleBody(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kStreamSound) return StopStreamSound(handle);
    for (int32_t i = 0; i < record->buffer_count; ++i) {
        SoundBuffer& buffer = record->buffers[static_cast<size_t>(i)];
        bool playing = false;
        if (!BufferPlaying(buffer, &playing)) return -1;
        if (playing) buffer.buffer->Stop();
    }
    return 0;
}

int CheckSoundPlayingBody(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kStreamSound) return CheckStreamSoundPlaying(handle);
    for (int32_t i = 0; i < record->buffer_count; ++i) {
        bool playing = false;
        if (BufferPlaying(record->buffers[static_cast<size_t>(i)], &playing) && playing) return 1;
    }
    return 0;
}

int SetSoundVolumeBody(int32_t volume, int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    const int32_t hundredths_db = VolumeToHundredthsDb(volume);
    for (int32_t i = 0; i < record->buffer_count; ++i) {
        SoundBuffer& buffer = record->buffers[static_cast<size_t>(i)];
        if (buffer.valid) buffer.buffer->SetVolume(hundredths_db);
    }
    return 0;
}

int SetSoundFrequencyBody(int32_t frequency, int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    const uint32_t hz = frequency == -1 ? 0 : static_cast<uint32_t>(frequency);
    for (int32_t i = 0; i < record->buffer_count; ++i) {
        SoundBuffer& buffer = record->buffers[static_cast<size_t>(i)];
        if (buffer.valid) buffer.buffer->SetFrequency(hz);
    }
    return 0;
}

int SetSoundPlayPositionBody(int32_t ms, int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kStreamSound) return SetStreamSoundCurrentTime(ms, handle);
    // Out-of-range times from game data land on the nearest end, never on an
    // undefined conversion.
    const double bytes =
        std::clamp(record->format.samples_per_second * (ms * 0.001) * record->format.block_align, 0.0, 4294967295.0);
    for (int32_t i = 0; i < record->buffer_count; ++i) {
        SoundBuffer& buffer = record->buffers[static_cast<size_t>(i)];
        bool playing = false;
        if (!BufferPlaying(buffer, &playing)) return -1;
        if (!playing) {
            buffer.buffer->SetCurrentPosition(static_cast<uint32_t>(bytes));
            return 0;
        }
    }
    return -1;
}

int GetSoundPlayPositionBody(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kStreamSound) return GetStreamSoundCurrentTime(handle);
    uint32_t cursor = 0;
    SoundBuffer& buffer = record->buffers[static_cast<size_t>(record->last_started)];
    if (buffer.valid) buffer.buffer->GetCurrentPosition(&cursor, nullptr);
    const uint64_t per_second = uint64_t{record->format.block_align} * record->format.samples_per_second;
    return per_second == 0 ? 0 : static_cast<int>(uint64_t{cursor} * 1000 / per_second);
}

int GetSoundFrequencyBody(int32_t handle) {
    SoundData* record = FindSound(handle);
    return record == nullptr ? -1 : static_cast<int>(record->format.samples_per_second);
}

int64_t GetSoundTotalSample(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kNormalSound) {
        return record->format.block_align == 0 ? 0 : record->pcm_size / record->format.block_align;
    }
    return record->kind == kStreamSound ? record->total_samples : 0;
}

int GetSoundLengthBody(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    const int64_t samples = GetSoundTotalSample(handle);
    const uint32_t rate = record->format.samples_per_second;
    return rate == 0 ? 0 : static_cast<int>(samples * 1000 / rate);
}

int DeleteSoundBody(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kStreamSound) {
        if (DeleteStreamSound(handle, record) == 1) return 0;  // kept while others share its ring
    } else {
        if (record->buffers[0].valid) StopSoundHandleBody(handle);
        for (SoundBuffer& buffer : record->buffers) {
            buffer.buffer.reset();
            buffer.valid = 0;
        }
        record->pcm.reset();
    }
    Sounds().sounds.Remove(handle);
    return 0;
}

int DeleteAllSoundsBody() {
    if (!SoundStarted()) return -1;
    SoundTable& table = Sounds().sounds;
    for (int32_t slot = 0; slot < table.end(); ++slot) {
        if (table.AtSlot(slot) != nullptr) DeleteSoundBody(table.HandleOf(slot));
    }
    return 0;
}

}  // namespace velk
