#include "lib/movie/movie_sound_stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/movie/media_stream.h"

namespace velk {

namespace {

// Where the file does not say how long its sound is, the header claims the
// most a WAVE file holds; the track's end ends the reading all the same.
constexpr int64_t kUnknownDataBytes = 0x7FFF0000;

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

}  // namespace

MovieSoundStream::MovieSoundStream(std::unique_ptr<platform::MediaAudioTrack> track) : track_(std::move(track)) {
    const platform::MediaAudioFormat& format = track_->format();
    block_ = format.channels * 2;
    data_bytes_ = format.total_frames > 0 ? std::min<int64_t>(format.total_frames * block_, kUnknownDataBytes)
                                          : kUnknownDataBytes;
    data_bytes_ -= data_bytes_ % block_;
    uint8_t* h = header_;
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, static_cast<uint32_t>(data_bytes_ + kHeaderBytes - 8));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // PCM
    Put16(h + 22, static_cast<uint32_t>(format.channels));
    Put32(h + 24, static_cast<uint32_t>(format.sample_rate));
    Put32(h + 28, static_cast<uint32_t>(format.sample_rate * block_));
    Put16(h + 32, static_cast<uint32_t>(block_));
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, static_cast<uint32_t>(data_bytes_));
}

MovieSoundStream::~MovieSoundStream() = default;

int MovieSoundStream::Seek(int64_t offset, int origin) {
    const int64_t size = kHeaderBytes + data_bytes_;
    const int64_t target = origin == 0 ? offset : origin == 1 ? position_ + offset : size + offset;
    if (target < 0 || target > size) return -1;
    position_ = target;
    eof_ = false;
    return 0;
}

size_t MovieSoundStream::Read(void* buffer, size_t bytes) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    if (position_ < kHeaderBytes && bytes > 0) {
        const size_t take = std::min<size_t>(bytes, static_cast<size_t>(kHeaderBytes - position_));
        std::memcpy(out, header_ + position_, take);
        done += take;
        position_ += static_cast<int64_t>(take);
    }
    const int64_t end = kHeaderBytes + data_bytes_;
    size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(bytes - done), end - position_));
    if (want > 0) {
        // The track goes where the reader went: to the sample frame holding
        // the byte, then over the bytes before it.
        const int64_t pcm = position_ - kHeaderBytes;
        if (pcm != track_position_) {
            const int64_t frame = pcm / block_;
            if (!track_->Seek(frame)) {
                eof_ = true;
                return done;
            }
            track_position_ = frame * block_;
            std::vector<uint8_t> skipped(static_cast<size_t>(pcm - track_position_));
            track_position_ += static_cast<int64_t>(track_->Read(skipped.data(), skipped.size()));
        }
        const size_t got = track_->Read(out + done, want);
        track_position_ += static_cast<int64_t>(got);
        position_ += static_cast<int64_t>(got);
        done += got;
        if (got < want) eof_ = true;
    }
    if (position_ >= end) eof_ = true;
    return done;
}

}  // namespace velk
