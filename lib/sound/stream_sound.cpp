// Stream sounds: one six-second ring buffer per sound, four seconds primed,
// topped up every frame from up to three chained sources. The refill works only
// from the play cursor: it writes ahead of it, never over the part about to
// play, and notices the end of the data when the cursor passes it.

#include "lib/sound/stream_sound.h"

#include <algorithm>
#include <cstring>

#include "lib/core/base_routines.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_log_texts.h"

namespace velk {
namespace {

constexpr int64_t kRingNotPrimed = -800;
constexpr uint8_t kLoopForever = 255;
constexpr int64_t kRingSeconds = 6;
constexpr int64_t kPrimeSeconds = 4;
// The refill keeps this much ahead of the cursor, in 128ths of a second.
constexpr int64_t kLeadUnits = 384;

int64_t BytesPerSecond(const SoundData& r) { return r.format.bytes_per_second; }
int64_t Block(const SoundData& r) { return std::max<int64_t>(r.format.block_align, 1); }
int64_t WholeBlocks(const SoundData& r, int64_t bytes) { return bytes - bytes % Block(r); }

// A locked span of the ring and how much of each part is written.
struct RingRegion {
    platform::LockedRegion parts;
    uint32_t offset = 0;
    uint32_t written[2] = {0, 0};

    uint32_t Left() const { return parts.first_bytes - written[0] + parts.second_bytes - written[1]; }
    // The ring offset of the next byte to write.
    uint32_t NextOffset() const {
        return written[0] < parts.first_bytes || parts.second == nullptr ? offset + written[0] : written[1];
    }
};

SoundData* HolderRecord(SoundData* record) {
    return record->owner == -1 ? record : FindSound(record->owner);
}

platform::AudioBuffer* RingOf(SoundData* record) {
    SoundData* holder = HolderRecord(record);
    return holder != nullptr && holder->buffers[0].valid ? holder->buffers[0].buffer.get() : nullptr;
}

// True when another sound holds the ring this one plays through.
bool HeldByAnother(int32_t handle, SoundData* record) {
    if (record->kind != kStreamSound) return false;
    SoundData* holder = HolderRecord(record);
    return holder == nullptr || (holder->current_user != -1 && holder->current_user != handle);
}

// Takes the ring for `handle`. Without force it fails while another sound
// holds it; with force that sound is stopped first.
platform::AudioBuffer* AcquireStreamBuffer(int32_t handle, SoundData* record, bool force) {
    if (record->kind != kStreamSound) return record->buffers[0].buffer.get();
    SoundData* holder = HolderRecord(record);
    if (holder == nullptr) return nullptr;
    const int32_t user = holder->current_user;
    if (user != -1 && user != handle) {
        if (!force) return nullptr;
        StopStreamSound(user);
    }
    holder->current_user = handle;
    return RingOf(record);
}

void UpdateStreamPlayCounter(int32_t handle, SoundData* record, int64_t cursor) {
    if (!record->started || HeldByAnother(handle, record)) return;
    platform::AudioBuffer* ring = RingOf(record);
    if (ring == nullptr) return;
    if (cursor < 0) {
        uint32_t play = 0;
        if (!ring->GetCurrentPosition(&play, nullptr)) return;
        cursor = play;
    }
    const int64_t last = record->last_cursor;
    const int64_t size = record->ring_size;
    if (cursor == last) return;
    const bool wrapped = last >= cursor;
    // The counter restarts at the last loop restart the cursor has passed;
    // several can lie in one stretch when the looped part is short.
    const auto passed = [&](int64_t offset) {
        return wrapped ? (offset > last || offset <= cursor) : (offset > last && offset <= cursor);
    };
    bool restarted = false;
    while (!record->pending_wraps.empty() && passed(record->pending_wraps.front().ring_offset)) {
        const SoundData::PendingWrap wrap = record->pending_wraps.front();
        record->pending_wraps.pop_front();
        const int64_t since = wrap.ring_offset <= cursor ? cursor - wrap.ring_offset : size - wrap.ring_offset + cursor;
        record->played_bytes = since + wrap.restart_position;
        restarted = true;
    }
    if (!restarted) record->played_bytes += wrapped ? size - last + cursor : cursor - last;
    record->last_cursor = static_cast<uint32_t>(cursor);
}

uint32_t WriteStreamSilence(const SoundData& record, RingRegion& region, int64_t bytes) {
    const uint8_t silence = record.format.bits_per_sample == 8 ? 127 : 0;
    uint32_t done = 0;
    uint8_t* parts[2] = {region.parts.first, region.parts.second};
    const uint32_t sizes[2] = {region.parts.first_bytes, region.parts.second_bytes};
    for (int p = 0; p < 2 && done < bytes; ++p) {
        const uint32_t take = static_cast<uint32_t>(std::min<int64_t>(sizes[p] - region.written[p], bytes - done));
        if (take == 0) continue;
        std::memset(parts[p] + region.written[p], silence, take);
        region.written[p] += take;
        done += take;
    }
    return done;
}

int64_t ReadStreamSourceData(RingRegion& region, SoundConvertData* convert, int64_t bytes) {
    int64_t done = 0;
    uint8_t* parts[2] = {region.parts.first, region.parts.second};
    const uint32_t sizes[2] = {region.parts.first_bytes, region.parts.second_bytes};
    for (int p = 0; p < 2 && done < bytes; ++p) {
        while (done < bytes && region.written[p] < sizes[p]) {
            const int64_t want = std::min<int64_t>(sizes[p] - region.written[p], bytes - done);
            const int64_t got = ReadSoundConvert(convert, parts[p] + region.written[p], want);
            if (got <= 0) return done;
            region.written[p] += static_cast<uint32_t>(got);
            done += got;
        }
    }
    return done;
}

void SeekCurrentSource(SoundData* record) {
    StreamSource& source = record->sources[static_cast<size_t>(record->current_source)];
    if (source.convert) SeekSoundConvert(source.convert.get(), record->read_position / Block(*record));
}

// The data has run out: the rest of the region is silence and the refill
// stops the ring once the cursor passes the end.
int EndStreamData(SoundData* record, RingRegion& region, uint32_t cursor) {
    record->finished = 1;
    record->end_reached = 1;
    record->end_position = region.NextOffset();
    record->cursor_at_end = cursor;
    WriteStreamSilence(*record, region, WholeBlocks(*record, BytesPerSecond(*record) / 8));
    return -1;
}

// Moves on when the current source yields nothing more: repeats it, wraps to
// its loop position, goes to the next source, wraps to the first (loop play)
// or ends the data. -1 when the data ended.
int AdvanceStreamSource(SoundData* record, RingRegion& region, uint32_t cursor) {
    ++record->repeat_counter;
    const uint8_t count = record->sources[static_cast<size_t>(record->current_source)].repeat_count;
    if (count == kLoopForever) {
        record->read_position =
            Block(*record) * record->sources[static_cast<size_t>(record->current_source)].loop_position;
        record->pending_wraps.push_back({region.NextOffset(), record->read_position});
    } else {
        if (record->repeat_counter > count) {
            record->repeat_counter = 0;
            ++record->current_source;
            if (record->current_source >= record->source_count) {
                if (record->stream_play_type != kPlayTypeLoop) {
                    record->current_source = record->source_count - 1;
                    return EndStreamData(record, region, cursor);
                }
                record->finished = 1;
                record->current_source = 0;
                record->pending_wraps.push_back({region.NextOffset(), 0});
            }
        }
        record->read_position = 0;
    }
    SeekCurrentSource(record);
    return 0;
}

// The cursor must lie in the window from V to W (which may wrap); outside it
// the ring ran dry or the writing ran ahead, and nothing is written.
bool CursorInWindow(const SoundData& record, int64_t cursor) {
    const int64_t v = record.window_start;
    const int64_t w = record.write_position;
    if (v < w) return cursor >= v && cursor <= w;
    if (w < v) return !(cursor > w && cursor < v);
    return true;
}

void ResetPlayback(SoundData* record) {
    record->finished = 0;
    record->read_position = 0;
    record->played_bytes = 0;
    record->pending_wraps.clear();
    record->repeat_counter = 0;
    record->current_source = 0;
    record->started = 0;
}

void AdvanceWritePosition(SoundData* record, int64_t chunk) {
    const int64_t size = record->ring_size;
    if (record->write_position == kRingNotPrimed) {
        record->window_start = 0;
        record->write_position = kPrimeSeconds * BytesPerSecond(*record);
        return;
    }
    record->write_position += chunk;
    if (record->write_position >= size) record->write_position -= size;
    record->window_start = record->write_position - kPrimeSeconds * BytesPerSecond(*record);
    if (record->window_start < 0) record->window_start += size;
}

// Fills a locked region from the sources. A pass in which the sources give
// nothing at all (data that decodes to less than its stated length) ends the
// data rather than spin.
void FillRegion(SoundData* record, RingRegion& region, uint32_t cursor) {
    int empty_advances = 0;
    while (region.Left() > 0 && !record->end_reached) {
        StreamSource& source = record->sources[static_cast<size_t>(record->current_source)];
        const int64_t got = ReadStreamSourceData(region, source.convert.get(), region.Left());
        if (got > 0) {
            record->read_position += got;
            empty_advances = 0;
            continue;
        }
        if (++empty_advances > kMaxStreamSources + 1) {
            EndStreamData(record, region, cursor);
            break;
        }
        if (AdvanceStreamSource(record, region, cursor) != 0) break;
    }
    // Whatever the data did not fill plays as silence, never as old ring data.
    WriteStreamSilence(*record, region, region.Left());
}

int WriteChunk(SoundData* record, platform::AudioBuffer* ring, uint32_t offset, int64_t chunk, uint32_t cursor,
               bool silence_only) {
    RingRegion region;
    region.offset = offset;
    if (!ring->Lock(offset, static_cast<uint32_t>(chunk), &region.parts)) return -1;
    if (silence_only) {
        WriteStreamSilence(*record, region, region.Left());
    } else {
        FillRegion(record, region, cursor);
    }
    ring->Unlock(region.parts);
    AdvanceWritePosition(record, chunk);
    return 0;
}

}  // namespace

int AddStreamSource(std::unique_ptr<SoundStream>& stream, uint8_t repeat_count, int32_t handle, SoundData* record,
                    int32_t mode, int32_t share_handle) {
    if (record->source_count > 0) {
        if (record->kind != kStreamSound) return WriteLog(sound_text::kNotAStreamSound);
        platform::AudioBuffer* ring = HeldByAnother(handle, record) ? nullptr : RingOf(record);
        uint32_t status = 0;
        if (ring != nullptr && ring->GetStatus(&status) && (status & platform::kBufferStatusPlaying)) {
            return WriteLog(sound_text::kAddToPlayingStream);
        }
        if (record->source_count == kMaxStreamSources) return WriteLog(sound_text::kStreamSourcesFull);
    }
    StreamSource source;
    source.mode = mode;
    source.convert = std::make_unique<SoundConvertData>();
    stream->Seek(0, 0);
    if (mode == 0) {
        SoundMemory image;
        uint32_t image_bytes = 0;
        if (ReadWholeStream(stream.get(), &image, &image_bytes) != 0) return WriteLog(sound_text::kSoundDataReadFailed);
        MemorySoundStream whole(image.get(), image_bytes);
        SoundConvertData converter;
        SoundMemory pcm;
        uint32_t pcm_bytes = 0;
        platform::WaveFormat format;
        if (SetupSoundConvert(&converter, &whole) != 0 || ConvertSoundWhole(&converter, &pcm, &pcm_bytes, &format) != 0 ||
            pcm_bytes < format.block_align) {
            return WriteLog(sound_text::kSoundDataConvertFailed);
        }
        CloseSoundConvert(&converter);
        uint8_t format_bytes[platform::kWaveFormatBytes];
        platform::StoreWaveFormat(format, format_bytes);
        if (BuildWaveImage(&source.kept_data, &source.kept_size, format_bytes, platform::kWaveFormatBytes, pcm.get(),
                           pcm_bytes) != 0) {
            return WriteLog(sound_text::kSoundDataConvertFailed);
        }
        source.stream = std::make_unique<MemorySoundStream>(source.kept_data.get(), source.kept_size);
        if (SetupSoundConvert(source.convert.get(), source.stream.get()) != 0) {
            return WriteLog(sound_text::kSoundDataOpenFailed);
        }
    } else if (mode == 3) {
        if (SetupSoundConvert(source.convert.get(), stream.get()) != 0) return WriteLog(sound_text::kSoundDataOpenFailed);
    } else {
        // Mode 2 (and 1, which no source mode of its own exists for).
        if (ReadWholeStream(stream.get(), &source.kept_data, &source.kept_size) != 0) {
            return WriteLog(sound_text::kSoundDataReadFailed);
        }
        source.stream = std::make_unique<MemorySoundStream>(source.kept_data.get(), source.kept_size);
        if (SetupSoundConvert(source.convert.get(), source.stream.get()) != 0) {
            return WriteLog(sound_text::kSoundDataOpenFailed);
        }
    }
    platform::WaveFormat format;
    GetSoundConvertFormat(source.convert.get(), &format);
    if (record->source_count > 0) {
        if (!(format == record->format)) return WriteLog(sound_text::kFormatMismatch);
    } else {
        record->format = format;
        record->ring_size = static_cast<uint32_t>(kRingSeconds * format.bytes_per_second);
        SoundData* shared = share_handle == -1 ? nullptr : FindSound(share_handle);
        if (shared != nullptr && shared->kind == kStreamSound && shared->owner == -1 && shared->format == format) {
            record->kind = kStreamSound;
            record->buffer_count = 1;
            record->owner = share_handle;
            ++shared->sharer_count;
            Sounds().stream_list.insert(Sounds().stream_list.begin(), handle);
        } else {
            CreateSoundPlayBuffers(format, format.bytes_per_second * kRingSeconds, kStreamSound, 1, handle, record);
            record->owner = -1;
        }
        record->sharer_count = 0;
        record->current_user = -1;
        record->delete_pending = 0;
    }
    if (mode == 3) {
        source.stream = std::move(stream);
    }
    source.repeat_count = repeat_count;
    // A stream whose data had run out before this source came primes again
    // from its start at the next play, so the new source is heard.
    if (record->started && (record->end_reached || record->finished)) {
        ResetPlayback(record);
        record->end_reached = 0;
    }
    record->sources[static_cast<size_t>(record->source_count)] = std::move(source);
    ++record->source_count;
    record->total_samples = 0;
    for (int32_t i = 0; i < record->source_count; ++i) {
        record->total_samples += GetSoundConvertPcmSize(record->sources[static_cast<size_t>(i)].convert.get()) / Block(*record);
    }
    return 0;
}

int AddStreamSoundFile(const std::string& path, uint8_t repeat_count, int32_t handle, int32_t mode,
                       int32_t share_handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    std::unique_ptr<SoundStream> stream = OpenFileSoundStream(path);
    if (!stream) {
        WriteLogFormat(sound_text::kWaveFileLoadFailedFormat, path.c_str());
        return -1;
    }
    if (AddStreamSource(stream, repeat_count, handle, record, mode, share_handle) != 0) {
        WriteLogFormat(sound_text::kWaveFileSetupFailedFormat, path.c_str());
        return -1;
    }
    record->sources[static_cast<size_t>(record->source_count - 1)].own_stream = 1;
    return 0;
}

int AddStreamSoundMem(const void* image, uint32_t size, uint8_t repeat_count, int32_t handle, int32_t mode,
                      int32_t share_handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    std::unique_ptr<SoundStream> stream = std::make_unique<MemorySoundStream>(image, size);
    // The caller's image is only read during the call, so it is always copied.
    if (AddStreamSource(stream, repeat_count, handle, record, mode == 3 ? 2 : mode, share_handle) != 0) {
        return WriteLog(sound_text::kWaveImageSetupFailed);
    }
    record->sources[static_cast<size_t>(record->source_count - 1)].own_stream = 1;
    return 0;
}

int StartStreamSound(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr || record->kind != kStreamSound) return 0;
    if (CheckStreamSoundPlaying(handle) == 1 || HeldByAnother(handle, record) || record->started) return 0;
    platform::AudioBuffer* ring = AcquireStreamBuffer(handle, record, false);
    if (ring == nullptr) return 0;
    ring->SetCurrentPosition(0);
    SeekCurrentSource(record);
    record->write_position = kRingNotPrimed;
    record->window_start = -1;
    record->last_cursor = 0;
    record->end_reached = 0;
    record->started = 1;
    RefillStreamSound(handle);
    return 0;
}

int PlayStreamSound(int32_t handle, int32_t type, int32_t from_top) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    platform::AudioBuffer* ring = AcquireStreamBuffer(handle, record, true);
    if (ring == nullptr) return -1;
    if (!from_top && CheckStreamSoundPlaying(handle) == 1) return 0;
    StopStreamSound(handle);
    if (((type ^ record->stream_play_type) & 2) && record->finished) ResetPlayback(record);
    if (from_top) {
        record->finished = 0;
        if (record->played_bytes != 0) ResetPlayback(record);
    }
    record->stream_play_type = type;
    StartStreamSound(handle);
    AcquireStreamBuffer(handle, record, false);
    ring->Play(true);
    record->start_time = static_cast<uint32_t>(GetMillisecondCount());
    if (type != kPlayTypeWait) return 0;
    while (ProcessMessages() == 0 && CheckSoundPlayingBody(handle) == 1) {
    }
    return 0;
}

int StopStreamSound(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    UpdateStreamPlayCounter(handle, record, -1);
    if (HeldByAnother(handle, record)) return 0;
    SoundData* holder = HolderRecord(record);
    if (record->owner != -1 && holder != nullptr) holder->current_user = -1;
    platform::AudioBuffer* ring = RingOf(record);
    if (ring == nullptr) return 0;
    uint32_t status = 0;
    if (!ring->GetStatus(&status)) return -1;
    if (status & platform::kBufferStatusPlaying) ring->Stop();
    return 0;
}

int CheckStreamSoundPlaying(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (HeldByAnother(handle, record)) return 0;
    platform::AudioBuffer* ring = RingOf(record);
    uint32_t status = 0;
    if (ring == nullptr || !ring->GetStatus(&status)) return 0;
    return (status & platform::kBufferStatusPlaying) ? 1 : 0;
}

int GetStreamSoundCurrentTime(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    UpdateStreamPlayCounter(handle, record, -1);
    const int64_t per_second = std::max<int64_t>(BytesPerSecond(*record), 1);
    const int64_t ms = record->played_bytes * 1000 / per_second;
    return static_cast<int>(std::min<int64_t>(ms, GetSoundLengthBody(handle)));
}

int SetStreamSoundCurrentTime(int32_t ms, int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    const int64_t rate = record->format.samples_per_second;
    if (rate == 0 || ms < 0) return -1;
    int64_t left = ms;
    int32_t chosen = -1;
    for (int32_t i = 0; i < record->source_count; ++i) {
        // Lengths come from the PCM each source gives, for compressed sources too.
        const int64_t pcm = GetSoundConvertPcmSize(record->sources[static_cast<size_t>(i)].convert.get());
        const int64_t length = pcm * 1000 / (Block(*record) * rate);
        if (length > left) {
            chosen = i;
            break;
        }
        left -= length;
    }
    if (chosen < 0) return -1;
    record->repeat_counter = 0;
    record->pending_wraps.clear();
    record->current_source = chosen;
    record->played_bytes = static_cast<int64_t>(BytesPerSecond(*record) * (ms * 0.001));
    record->read_position = static_cast<int64_t>(rate * (left * 0.001)) * Block(*record);
    record->started = 0;
    return 0;
}

int SetSoundLoopPositionBody(int32_t ms, int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr) return -1;
    SetLoopSamplePosition(static_cast<int64_t>(record->format.samples_per_second * (ms * 0.001)), handle);
    return 0;
}

int SetLoopSamplePosition(int64_t samples, int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr || samples < 0 || samples >= GetSoundTotalSample(handle)) return -1;
    if (record->kind == kNormalSound) {
        // The stream is built beside the sound first, so a failure leaves the
        // sound as it was.
        uint8_t format_bytes[platform::kWaveFormatBytes];
        platform::StoreWaveFormat(record->format, format_bytes);
        SoundMemory image;
        uint32_t image_bytes = 0;
        if (BuildWaveImage(&image, &image_bytes, format_bytes, platform::kWaveFormatBytes, record->pcm.get(),
                           record->pcm_size) != 0) {
            return WriteLog(sound_text::kStreamHandleCreateFailed);
        }
        std::unique_ptr<SoundStream> stream = std::make_unique<MemorySoundStream>(image.get(), image_bytes);
        auto fresh = std::make_unique<SoundData>();
        if (AddStreamSource(stream, 0, handle, fresh.get(), 0, -1) != 0) {
            std::erase(Sounds().stream_list, handle);
            return WriteLog(sound_text::kStreamHandleCreateFailed);
        }
        StopSoundHandleBody(handle);
        DeleteSoundBody(handle);
        record = fresh.get();
        Sounds().sounds.AddAt(handle & 0xFFFF, (handle >> 16) & 0x7FF, std::move(fresh));
    }
    if (record->source_count >= 2) return WriteLog(sound_text::kLoopPointOnManySources);
    record->sources[0].loop_position = samples;
    record->sources[0].repeat_count = kLoopForever;
    return 0;
}

int RefillStreamSound(int32_t handle) {
    SoundData* record = FindSound(handle);
    if (record == nullptr || record->kind != kStreamSound || HeldByAnother(handle, record) || !record->started) return 0;
    platform::AudioBuffer* ring = AcquireStreamBuffer(handle, record, false);
    if (ring == nullptr) return 0;
    UpdateStreamPlayCounter(handle, record, -1);
    const int64_t per_second = BytesPerSecond(*record);
    const int64_t size = record->ring_size;
    int64_t chunk = WholeBlocks(*record, per_second / 8);
    uint32_t cursor = 0;

    if (record->end_reached) {
        ring->GetCurrentPosition(&cursor, nullptr);
        const int64_t end = record->end_position;
        const int64_t at_end = record->cursor_at_end;
        if (end < cursor && (at_end < end || (at_end > cursor && at_end > end))) {
            ring->Stop();
            record->end_reached = 0;
            return 0;
        }
        ring->GetCurrentPosition(&cursor, nullptr);
        if (!CursorInWindow(*record, cursor)) return -1;
        return WriteChunk(record, ring, static_cast<uint32_t>(record->write_position), chunk, cursor, true);
    }

    uint32_t status = 0;
    if (!ring->GetStatus(&status)) return -1;
    if (!(status & platform::kBufferStatusPlaying)) {
        if (record->write_position != kRingNotPrimed) return 0;
        return WriteChunk(record, ring, 0, WholeBlocks(*record, kPrimeSeconds * per_second), 0, false);
    }
    ring->GetCurrentPosition(&cursor, nullptr);
    if (!CursorInWindow(*record, cursor)) return -1;
    const int64_t ahead = ((record->write_position - cursor) % size + size) % size;
    const int64_t lead = ahead * 128 / per_second;
    if (lead < kLeadUnits) chunk = WholeBlocks(*record, (kLeadUnits - lead) * per_second / 128);
    return WriteChunk(record, ring, static_cast<uint32_t>(record->write_position), chunk, cursor, false);
}

int RefillAllStreamSounds() {
    if (!SoundStarted()) return -1;
    // Walked by position in the list itself: this runs on every pass of
    // message processing, and a refill adds or removes no stream sound.
    const std::vector<int32_t>& handles = Sounds().stream_list;
    for (size_t i = 0; i < handles.size(); ++i)
        RefillStreamSound(handles[i]);
    return 0;
}

int DeleteStreamSound(int32_t handle, SoundData* record) {
    StopStreamSound(handle);
    int32_t owner_to_delete = -1;
    if (record->owner != -1) {
        SoundData* owner = FindSound(record->owner);
        if (owner != nullptr) {
            --owner->sharer_count;
            if (owner->current_user == handle) owner->current_user = -1;
            if (owner->delete_pending && owner->sharer_count <= 0) owner_to_delete = record->owner;
        }
    }
    if (record->sharer_count > 0) {
        record->delete_pending = 1;
        return 1;
    }
    std::erase(Sounds().stream_list, handle);
    for (StreamSource& source : record->sources) {
        if (source.convert && source.convert->open) CloseSoundConvert(source.convert.get());
        source = StreamSource{};
    }
    record->buffers[0].buffer.reset();
    record->buffers[0].valid = 0;
    if (owner_to_delete != -1) DeleteSoundBody(owner_to_delete);
    return 0;
}

}  // namespace velk
