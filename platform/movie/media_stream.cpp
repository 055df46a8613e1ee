#include "platform/movie/media_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/base/clock.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace velk::platform {

namespace {

AVPixelFormat ToAv(MediaPixelFormat format) {
    switch (format) {
        case MediaPixelFormat::kRgb565: return AV_PIX_FMT_RGB565LE;
        case MediaPixelFormat::kRgb24: return AV_PIX_FMT_BGR24;
        case MediaPixelFormat::kRgb555: return AV_PIX_FMT_RGB555LE;
        case MediaPixelFormat::kYuy2: return AV_PIX_FMT_YUYV422;
        case MediaPixelFormat::kUyvy: return AV_PIX_FMT_UYVY422;
        case MediaPixelFormat::kYv12: return AV_PIX_FMT_YUV420P;
        case MediaPixelFormat::kXrgb32: break;
    }
    return AV_PIX_FMT_BGR0;
}

// Reads 16-bit PCM from the sample layouts decoders give.
int16_t SampleAt(const AVFrame& frame, int channel, int index) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int channels = frame.ch_layout.nb_channels;
    const uint8_t* plane = frame.extended_data[planar ? channel : 0];
    const int at = planar ? index : index * channels + channel;
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8: return static_cast<int16_t>((plane[at] - 128) << 8);
        case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(plane)[at];
        case AV_SAMPLE_FMT_S32: return static_cast<int16_t>(reinterpret_cast<const int32_t*>(plane)[at] >> 16);
        case AV_SAMPLE_FMT_FLT: {
            const float v = reinterpret_cast<const float*>(plane)[at];
            return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
        }
        case AV_SAMPLE_FMT_DBL: {
            const double v = reinterpret_cast<const double*>(plane)[at];
            return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
        }
        default: return 0;
    }
}

// A file opened on its best stream of one kind, with a decoder for it. The
// pictures and the sound track each read the file through one of their own.
class DecodingInput {
public:
    DecodingInput() = default;
    DecodingInput(const DecodingInput&) = delete;
    DecodingInput& operator=(const DecodingInput&) = delete;
    ~DecodingInput() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    // Null, or why the file cannot be decoded.
    const char* Open(const std::string& path, AVMediaType type) {
        if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return "cannot open";
        if (avformat_find_stream_info(format, nullptr) < 0) return "no stream information";
        const AVCodec* decoder = nullptr;
        stream = av_find_best_stream(format, type, -1, -1, &decoder, 0);
        if (stream < 0 || decoder == nullptr) return type == AVMEDIA_TYPE_VIDEO ? "no video stream" : "no sound stream";
        codec = avcodec_alloc_context3(decoder);
        if (codec == nullptr || avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0)
            return "no decoder";
        codec->thread_count = 1;
        if (avcodec_open2(codec, decoder, nullptr) < 0) return "decoder refused the stream";
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (frame == nullptr || packet == nullptr) return "out of memory";
        return nullptr;
    }

    const AVStream& Stream() const { return *format->streams[stream]; }

    // The next decoded frame into `frame`, feeding the decoder the stream's
    // packets as it asks: 0, AVERROR_EOF once the file and the decoder are
    // spent, or the decoder's error.
    int ReceiveFrame() {
        for (;;) {
            const int got = avcodec_receive_frame(codec, frame);
            if (got != AVERROR(EAGAIN)) return got;
            if (draining) return AVERROR_EOF;
            if (av_read_frame(format, packet) < 0) {
                // The end of the file: the decoder gives up what it holds.
                draining = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
        }
    }

    // Moves the file to the key frame at or before `timestamp` (in the
    // stream's time base) and empties the decoder, which drops what it held
    // even when the file cannot move; false then.
    bool SeekBefore(int64_t timestamp) {
        const bool moved = av_seek_frame(format, stream, timestamp, AVSEEK_FLAG_BACKWARD) >= 0;
        avcodec_flush_buffers(codec);
        draining = false;
        return moved;
    }

    // The decoded frame's time from the stream's start, in `unit`s;
    // `unknown` when the frame carries none.
    int64_t FrameTime(AVRational unit, int64_t unknown) const {
        int64_t pts = frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) return unknown;
        const AVStream& s = Stream();
        if (s.start_time != AV_NOPTS_VALUE) pts -= s.start_time;
        return av_rescale_q(pts, s.time_base, unit);
    }

    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int stream = -1;
    bool draining = false;
};

// The sound track of a movie file, read through a second handle on the file
// so that the pictures and the sound each go at their own pace.
class FfmpegAudioTrack final : public MediaAudioTrack {
public:
    const MediaAudioFormat& format() const override { return audio_format_; }

    bool Open(const std::string& path) {
        if (input_.Open(path, AVMEDIA_TYPE_AUDIO) != nullptr) return false;
        rate_ = input_.codec->sample_rate;
        channels_ = std::min(input_.codec->ch_layout.nb_channels, 2);
        if (rate_ <= 0 || channels_ <= 0) return false;
        audio_format_.sample_rate = rate_;
        audio_format_.channels = channels_;
        const AVStream& s = input_.Stream();
        int64_t frames = -1;
        if (s.duration != AV_NOPTS_VALUE && s.duration > 0) {
            frames = av_rescale_q(s.duration, s.time_base, AVRational{1, rate_});
        } else if (input_.format->duration != AV_NOPTS_VALUE && input_.format->duration > 0) {
            frames = av_rescale(input_.format->duration, rate_, AV_TIME_BASE);
        }
        audio_format_.total_frames = frames;
        return true;
    }

    size_t Read(uint8_t* buffer, size_t bytes) override {
        size_t done = 0;
        while (done < bytes) {
            if (pending_at_ == pending_.size()) {
                pending_.clear();
                pending_at_ = 0;
                if (!DecodeMore()) break;
                continue;
            }
            const size_t take = std::min(bytes - done, pending_.size() - pending_at_);
            std::memcpy(buffer + done, pending_.data() + pending_at_, take);
            pending_at_ += take;
            done += take;
        }
        return done;
    }

    bool Seek(int64_t target) override {
        const AVStream& s = input_.Stream();
        const int64_t start = s.start_time != AV_NOPTS_VALUE ? s.start_time : 0;
        if (!input_.SeekBefore(start + av_rescale_q(target, AVRational{1, rate_}, s.time_base))) return false;
        pending_.clear();
        pending_at_ = 0;
        skip_to_ = target;
        return true;
    }

private:
    // Decodes the next block of sound into pending_; false at the end.
    bool DecodeMore() {
        while (input_.ReceiveFrame() == 0) {
            Append();
            av_frame_unref(input_.frame);
            if (!pending_.empty()) return true;
        }
        return false;
    }

    // The frame's samples, less those before a seek's target.
    void Append() {
        const AVFrame& frame = *input_.frame;
        int first = 0;
        if (skip_to_ >= 0) {
            const int64_t at = input_.FrameTime(AVRational{1, rate_}, INT64_MIN);
            if (at != INT64_MIN) {
                if (at + frame.nb_samples <= skip_to_) return;
                first = static_cast<int>(std::max<int64_t>(0, skip_to_ - at));
            }
            skip_to_ = -1;
        }
        const int source_channels = frame.ch_layout.nb_channels;
        if (source_channels <= 0) return;
        for (int i = first; i < frame.nb_samples; ++i) {
            for (int c = 0; c < channels_; ++c) {
                const int16_t v = SampleAt(frame, std::min(c, source_channels - 1), i);
                pending_.push_back(static_cast<uint8_t>(v & 0xFF));
                pending_.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
            }
        }
    }

    DecodingInput input_;
    int rate_ = 0;
    int channels_ = 0;
    std::vector<uint8_t> pending_;
    size_t pending_at_ = 0;
    int64_t skip_to_ = -1;
    MediaAudioFormat audio_format_;
};

class FfmpegMediaStream final : public MediaStream {
public:
    ~FfmpegMediaStream() override { sws_freeContext(scaler_); }

    bool Open(const std::string& path, MediaPixelFormat pixel_format, std::string* error) {
        path_ = path;
        if (const char* reason = input_.Open(path, AVMEDIA_TYPE_VIDEO)) {
            *error = reason;
            return false;
        }
        width_ = input_.codec->width;
        height_ = input_.codec->height;
        if (width_ <= 0 || height_ <= 0) {
            *error = "no frame size";
            return false;
        }
        pixel_format_ = ToAv(pixel_format);
        return true;
    }

    int width() const override { return width_; }
    int height() const override { return height_; }
    void SetState(MediaStreamState state) override {
        if (state == state_) return;
        if (state == MediaStreamState::kRun) {
            run_base_time_ = time_;
            run_start_us_ = static_cast<int64_t>(ActiveClock().Microseconds());
        }
        state_ = state;
    }
    MediaStreamState GetState() const override { return state_; }

    void Seek(int64_t time) override {
        input_.SeekBefore(av_rescale_q(time, kStreamTimeUnit, input_.Stream().time_base));
        if (has_frame_) av_frame_unref(input_.frame);
        has_frame_ = false;
        skip_before_ = time;
        run_base_time_ = time;
        run_start_us_ = static_cast<int64_t>(ActiveClock().Microseconds());
        time_ = time;
    }

    int64_t GetTime() const override { return time_; }

    MediaUpdate Poll(bool due_now) override {
        if (!has_frame_) {
            const MediaUpdate r = Decode();
            if (r != MediaUpdate::kFrame) return r;
            has_frame_ = true;
        }
        if (!due_now && state_ == MediaStreamState::kRun) {
            const int64_t now_us = static_cast<int64_t>(ActiveClock().Microseconds());
            const int64_t stream_time = run_base_time_ + (now_us - run_start_us_) * 10;
            if (frame_time_ > stream_time) return MediaUpdate::kPending;
        }
        return MediaUpdate::kFrame;
    }

    MediaUpdate Update(uint8_t* pixels, int pitch, bool due_now) override {
        if (const MediaUpdate r = Poll(due_now); r != MediaUpdate::kFrame) return r;
        has_frame_ = false;
        time_ = frame_time_;
        const bool ok = Convert(pixels, pitch);
        av_frame_unref(input_.frame);
        return ok ? MediaUpdate::kFrame : MediaUpdate::kFailed;
    }

    std::unique_ptr<MediaAudioTrack> OpenAudio() override {
        auto track = std::make_unique<FfmpegAudioTrack>();
        if (!track->Open(path_)) return nullptr;
        return track;
    }

private:
    // Stream times are in 100 ns units.
    static constexpr AVRational kStreamTimeUnit{1, 10000000};

    // The next frame at or after the seek point into the input's frame.
    MediaUpdate Decode() {
        for (;;) {
            const int got = input_.ReceiveFrame();
            if (got == AVERROR_EOF) return MediaUpdate::kEndOfStream;
            if (got != 0) return MediaUpdate::kFailed;
            const int64_t t = input_.FrameTime(kStreamTimeUnit, time_);
            if (t < skip_before_) {
                av_frame_unref(input_.frame);
                continue;
            }
            skip_before_ = INT64_MIN;
            frame_time_ = t;
            return MediaUpdate::kFrame;
        }
    }

    bool Convert(uint8_t* pixels, int pitch) {
        const AVFrame& frame = *input_.frame;
        scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                                       width_, height_, pixel_format_, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (scaler_ == nullptr) return false;
        uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
        int pitches[4] = {pitch, 0, 0, 0};
        if (pixel_format_ == AV_PIX_FMT_YUV420P) {
            // YV12: V before U.
            const int chroma_rows = (height_ + 1) / 2;
            planes[2] = pixels + static_cast<size_t>(pitch) * height_;
            planes[1] = planes[2] + static_cast<size_t>(pitch / 2) * chroma_rows;
            pitches[1] = pitches[2] = pitch / 2;
        }
        return sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, planes, pitches) > 0;
    }

    DecodingInput input_;
    SwsContext* scaler_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    AVPixelFormat pixel_format_ = AV_PIX_FMT_BGR0;
    MediaStreamState state_ = MediaStreamState::kStop;
    int64_t time_ = 0;
    int64_t skip_before_ = INT64_MIN;
    int64_t frame_time_ = 0;
    bool has_frame_ = false;
    int64_t run_base_time_ = 0;
    int64_t run_start_us_ = 0;
    std::string path_;
};

}  // namespace

std::unique_ptr<MediaStream> OpenMediaStream(const std::string& native_path, MediaPixelFormat format,
                                             std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    auto stream = std::make_unique<FfmpegMediaStream>();
    std::string reason;
    if (!stream->Open(native_path, format, &reason)) {
        if (error != nullptr) *error = reason;
        return nullptr;
    }
    return stream;
}

}  // namespace velk::platform
