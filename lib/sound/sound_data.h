#pragma once
// The sound table's records and the sound layer's library-wide state. Shared
// by the handle operations, the loaders and the stream sounds.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "lib/core/handle_table.h"
#include "lib/sound/sound_convert.h"
#include "lib/sound/sound_memory.h"
#include "lib/sound/sound_stream.h"
#include "platform/audio/audio_device.h"

namespace velk {

inline constexpr int32_t kSoundHandleType = 0x10000000;
inline constexpr int32_t kMaxSoundHandles = 4096;
inline constexpr int32_t kMaxPlayBuffers = 10;
inline constexpr int32_t kMaxStreamSources = 3;

enum SoundKind : int32_t { kNormalSound = 0, kStreamSound = 1 };

// One play buffer of a sound.
struct SoundBuffer {
    int32_t valid = 0;
    std::unique_ptr<platform::AudioBuffer> buffer;
};

// One source of a stream sound and the converter that decodes it.
struct StreamSource {
    uint8_t repeat_count = 0;  // 255: loop for ever from the loop position
    int32_t mode = 0;          // 0 converted whole, 2 kept encoded, 3 read from the open file
    SoundMemory kept_data;
    uint32_t kept_size = 0;
    std::unique_ptr<SoundStream> stream;
    int64_t loop_position = 0;  // samples
    std::unique_ptr<SoundConvertData> convert;
    uint8_t own_stream = 0;  // the library opened the stream itself
};

struct SoundData {
    std::array<SoundBuffer, kMaxPlayBuffers> buffers;
    platform::WaveFormat format;
    int32_t kind = kNormalSound;
    int32_t stream_play_type = 0;
    uint32_t start_time = 0;

    // Stream sounds (see stream_sound.cpp).
    int32_t owner = -1;         // the stream sound whose ring this one uses
    int32_t sharer_count = 0;   // stream sounds using this one's ring
    int32_t current_user = -1;  // the sound this one's ring serves now
    int32_t delete_pending = 0;
    uint32_t ring_size = 0;
    int64_t write_position = 0;  // kRingNotPrimed before priming
    int64_t window_start = 0;
    std::array<StreamSource, kMaxStreamSources> sources;
    int32_t source_count = 0;
    int32_t current_source = 0;
    int32_t repeat_counter = 0;
    int64_t read_position = 0;
    int64_t total_samples = 0;
    int64_t played_bytes = 0;
    uint32_t last_cursor = 0;
    uint8_t started = 0;
    uint8_t end_reached = 0;
    uint8_t finished = 0;
    uint32_t end_position = 0;
    uint32_t cursor_at_end = 0;
    // Loop restarts written to the ring that the cursor has not passed yet,
    // oldest first: where each lies and the play counter it restarts from.
    struct PendingWrap {
        uint32_t ring_offset = 0;
        int64_t restart_position = 0;
    };
    std::deque<PendingWrap> pending_wraps;

    // Normal sounds.
    SoundMemory pcm;
    uint32_t pcm_size = 0;
    int32_t buffer_count = 0;
    int32_t last_started = 0;
};

// The sound table owns its records.
using SoundTable = HandleTable<SoundData, std::unique_ptr<SoundData>>;

struct SoundSystem {
    std::unique_ptr<platform::AudioDevice> device;
    std::unique_ptr<platform::AudioBuffer> primary;
    std::unique_ptr<platform::AudioBuffer> silent;
    int32_t create_type = 0;
    SoundTable sounds{kMaxSoundHandles, kSoundHandleType};
    // Every stream sound, newest first: the order the per-frame refill takes.
    std::vector<int32_t> stream_list;
};

SoundSystem& Sounds();
inline bool SoundStarted() { return Sounds().device != nullptr; }
// The record of a valid sound handle while sound is started, else null.
SoundData* FindSound(int32_t handle);

// Makes the play buffers; type 0 normal (count buffers of `bytes`), type 1 the
// stream ring (six seconds). A buffer that cannot be made even with fewer
// capabilities ends the program.
int CreateSoundPlayBuffers(const platform::WaveFormat& format, uint32_t bytes, int32_t type, int32_t count,
                           int32_t handle, SoundData* record = nullptr);

// Ends the program after a failure it cannot go on from (logs the message
// first). Tests may install a handler that does not return normally.
[[noreturn]] void ExitOnSoundFatalError(const char* message);
void SetSoundFatalErrorHandler(void (*handler)(const char* message));

// Stream-sound operations the handle operations hand stream sounds to.
int PlayStreamSound(int32_t handle, int32_t type, int32_t from_top);
int StopStreamSound(int32_t handle);
int CheckStreamSoundPlaying(int32_t handle);
int GetStreamSoundCurrentTime(int32_t handle);
int SetStreamSoundCurrentTime(int32_t ms, int32_t handle);
int DeleteStreamSound(int32_t handle, SoundData* record);

}  // namespace velk
