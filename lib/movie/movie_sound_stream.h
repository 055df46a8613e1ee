#pragma once
// The sound track of a movie that is not Theora, read by the sound layer as a
// WAVE file: a header for 16-bit PCM of the track's rate and channels, then
// the samples the media back-end decodes as they are asked for. So the
// track plays as a stream sound through the library's mixer.

#include <cstdint>
#include <memory>

#include "lib/sound/sound_stream.h"

namespace velk {

namespace platform {
class MediaAudioTrack;
}

class MovieSoundStream final : public SoundStream {
public:
    explicit MovieSoundStream(std::unique_ptr<platform::MediaAudioTrack> track);
    ~MovieSoundStream() override;
    int64_t Tell() override { return position_; }
    int Seek(int64_t offset, int origin) override;
    size_t Read(void* buffer, size_t bytes) override;
    bool Eof() override { return eof_; }

private:
    static constexpr int kHeaderBytes = 44;

    std::unique_ptr<platform::MediaAudioTrack> track_;
    uint8_t header_[kHeaderBytes] = {};
    int64_t data_bytes_ = 0;
    int64_t position_ = 0;        // in the WAVE image
    int64_t track_position_ = 0;  // PCM bytes the track has handed over
    int block_ = 4;
    bool eof_ = false;
};

}  // namespace velk
