// MPEG audio through libmpg123, fed one whole frame at a time so every frame's
// samples come out at once and nothing stays buffered inside the decoder.
// Gapless trimming is off and an encoder's info frame decodes as audio, so the
// output is exactly the frames' sample counts.

#include <mpg123.h>

#include <cstring>
#include <mutex>

#include "platform/audio/acm_codecs.h"
#include "platform/audio/mpeg_frame_header.h"

namespace velk::platform {
namespace {

void InitMpg123Once() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

class MpegCodec final : public AcmCodec {
public:
    explicit MpegCodec(const WaveFormat& pcm) : pcm_(pcm) {}
    ~MpegCodec() override {
        if (handle_ != nullptr) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }

    bool Open() {
        InitMpg123Once();
        handle_ = mpg123_new(nullptr, nullptr);
        if (handle_ == nullptr) return false;
        mpg123_param(handle_, MPG123_VERBOSE, 0, 0);
        const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD |
                           (pcm_.channels == 1 ? MPG123_MONO_MIX : MPG123_FORCE_STEREO);
        const int channels = pcm_.channels == 1 ? MPG123_MONO : MPG123_STEREO;
        return mpg123_param(handle_, MPG123_FLAGS, flags, 0) == MPG123_OK &&
               mpg123_format_none(handle_) == MPG123_OK &&
               mpg123_format(handle_, static_cast<long>(pcm_.samples_per_second), channels, MPG123_ENC_SIGNED_16) ==
                   MPG123_OK &&
               mpg123_open_feed(handle_) == MPG123_OK;
    }

    uint32_t OutputBytesFor(const uint8_t* source, uint32_t source_bytes) const override {
        uint64_t bytes = 0;
        size_t at = 0;
        for (;;) {
            const MpegFrameScan scan = ScanMpegFrame(source, source_bytes, at);
            if (scan.result != MpegFrameScan::kWhole) break;
            bytes += static_cast<uint64_t>(scan.info.samples_per_frame) * pcm_.block_align;
            at = scan.offset + scan.info.frame_length;
        }
        return static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
    }

    void Convert(AcmStreamHeader& header) override {
        size_t in = 0;
        uint32_t out = 0;
        for (;;) {
            const MpegFrameScan scan = ScanMpegFrame(header.source, header.source_bytes, in);
            if (scan.result != MpegFrameScan::kWhole) {
                in = scan.offset;  // past bytes that cannot begin a frame
                break;
            }
            const uint32_t frame_bytes = scan.info.samples_per_frame * pcm_.block_align;
            if (header.destination_bytes - out < frame_bytes) {
                in = scan.offset;
                break;
            }
            out += DecodeFrame(header.source + scan.offset, scan.info.frame_length, header.destination + out,
                               header.destination_bytes - out);
            in = scan.offset + scan.info.frame_length;
        }
        header.source_used = static_cast<uint32_t>(in);
        header.destination_used = out;
    }

private:
    uint32_t DecodeFrame(const uint8_t* frame, size_t length, uint8_t* out, uint32_t room) {
        if (mpg123_feed(handle_, frame, length) != MPG123_OK) return 0;
        uint32_t written = 0;
        for (;;) {
            off_t number = 0;
            unsigned char* audio = nullptr;
            size_t bytes = 0;
            const int result = mpg123_decode_frame(handle_, &number, &audio, &bytes);
            if (result == MPG123_NEW_FORMAT) continue;
            if (result != MPG123_OK) break;
            const size_t take = std::min<size_t>(bytes, room - written);
            if (take > 0) std::memcpy(out + written, audio, take);
            written += static_cast<uint32_t>(take);
        }
        return written;
    }

    WaveFormat pcm_;
    mpg123_handle* handle_ = nullptr;
};

}  // namespace

bool SuggestMpegFormat(const WaveFormat& source, WaveFormat* pcm) {
    if (source.channels != 1 && source.channels != 2) return false;
    switch (source.samples_per_second) {
        case 44100: case 48000: case 32000: case 22050: case 24000: case 16000: break;
        default: return false;
    }
    *pcm = MakePcmFormat(source.channels, source.samples_per_second, 16);
    return true;
}

std::unique_ptr<AcmCodec> CreateMpegCodec(const WaveFormat& source) {
    WaveFormat pcm;
    if (!SuggestMpegFormat(source, &pcm)) return nullptr;
    auto codec = std::make_unique<MpegCodec>(pcm);
    if (!codec->Open()) return nullptr;
    return codec;
}

}  // namespace velk::platform
