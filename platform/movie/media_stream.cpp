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

// The sound track of a movie file, read through a second handle on the file
// so that the pictures and the sound each go at their own pace.
class FfmpegAudioTrack final : public MediaAudioTrack {
public:
    ~FfmpegAudioTrack() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    const MediaAudioFormat& format() const override { return audio_format_; }

    bool Open(const std::string& path) {
        MediaAudioFormat* out = &audio_format_;
        if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
        if (avformat_find_stream_info(format_, nullptr) < 0) return false;
        const AVCodec* decoder = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (stream_ < 0 || decoder == nullptr) return false;
        codec_ = avcodec_alloc_context3(decoder);
        if (codec_ == nullptr || avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0)
            return false;
        codec_->thread_count = 1;
        if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (frame_ == nullptr || packet_ == nullptr) return false;
        rate_ = codec_->sample_rate;
        channels_ = std::min(codec_->ch_layout.nb_channels, 2);
        if (rate_ <= 0 || channels_ <= 0) return false;
        out->sample_rate = rate_;
        out->channels = channels_;
        const AVStream* s = format_->streams[stream_];
        int64_t frames = -1;
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0) {
            frames = av_rescale_q(s->duration, s->time_base, AVRational{1, rate_});
        } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
            frames = av_rescale(format_->duration, rate_, AV_TIME_BASE);
        }
        out->total_frames = frames;
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
        const AVStream* s = format_->streams[stream_];
        int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
        const int64_t ts = start + av_rescale_q(target, AVRational{1, rate_}, s->time_base);
        if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
        avcodec_flush_buffers(codec_);
        pending_.clear();
        pending_at_ = 0;
        draining_ = false;
        skip_to_ = target;
        return true;
    }

private:
    // Decodes the next block of sound into pending_; false at the end.
    bool DecodeMore() {
        for (;;) {
            const int got = avcodec_receive_frame(codec_, frame_);
            if (got == 0) {
                Append();
                av_frame_unref(frame_);
                if (!pending_.empty()) return true;
                continue;
            }
            if (got != AVERROR(EAGAIN) || draining_) return false;
            if (av_read_frame(format_, packet_) < 0) {
                draining_ = true;
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
        }
    }

    // The frame's samples, less those before a seek's target.
    void Append() {
        const AVStream* s = format_->streams[stream_];
        int first = 0;
        if (skip_to_ >= 0) {
            int64_t pts = frame_->best_effort_timestamp;
            if (pts != AV_NOPTS_VALUE) {
                if (s->start_time != AV_NOPTS_VALUE) pts -= s->start_time;
                const int64_t at = av_rescale_q(pts, s->time_base, AVRational{1, rate_});
                if (at + frame_->nb_samples <= skip_to_) return;
                first = static_cast<int>(std::max<int64_t>(0, skip_to_ - at));
            }
            skip_to_ = -1;
        }
        const int source_channels = frame_->ch_layout.nb_channels;
        if (source_channels <= 0) return;
        for (int i = first; i < frame_->nb_samples; ++i) {
            for (int c = 0; c < channels_; ++c) {
                const int16_t v = SampleAt(*frame_, std::min(c, source_channels - 1), i);
                pending_.push_back(static_cast<uint8_t>(v & 0xFF));
                pending_.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
            }
        }
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    std::vector<uint8_t> pending_;
    size_t pending_at_ = 0;
    bool draining_ = false;
    int64_t skip_to_ = -1;
    MediaAudioFormat audio_format_;
};

class FfmpegMediaStream final : public MediaStream {
public:
    ~FfmpegMediaStream() override {
        sws_freeContext(scaler_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool Open(const std::string& path, MediaPixelFormat pixel_format, std::string* error) {
        path_ = path;
        if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) {
            *error = "cannot open";
            return false;
        }
        if (avformat_find_stream_info(format_, nullptr) < 0) {
            *error = "no stream information";
            return false;
        }
        const AVCodec* decoder = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (stream_ < 0 || decoder == nullptr) {
            *error = "no video stream";
            return false;
        }
        codec_ = avcodec_alloc_context3(decoder);
        if (codec_ == nullptr || avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0) {
            *error = "no decoder";
            return false;
        }
        codec_->thread_count = 1;
        if (avcodec_open2(codec_, decoder, nullptr) < 0) {
            *error = "decoder refused the stream";
            return false;
        }
        width_ = codec_->width;
        height_ = codec_->height;
        if (width_ <= 0 || height_ <= 0) {
            *error = "no frame size";
            return false;
        }
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (frame_ == nullptr || packet_ == nullptr) {
            *error = "out of memory";
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
        const AVStream* s = format_->streams[stream_];
        const int64_t target = av_rescale_q(time, AVRational{1, 10000000}, s->time_base);
        av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(codec_);
        if (has_frame_) av_frame_unref(frame_);
        has_frame_ = false;
        skip_before_ = time;
        run_base_time_ = time;
        run_start_us_ = static_cast<int64_t>(ActiveClock().Microseconds());
        draining_ = false;
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
        av_frame_unref(frame_);
        return ok ? MediaUpdate::kFrame : MediaUpdate::kFailed;
    }

    std::unique_ptr<MediaAudioTrack> OpenAudio() override {
        auto track = std::make_unique<FfmpegAudioTrack>();
        if (!track->Open(path_)) return nullptr;
        return track;
    }

private:
    // The next frame at or after the seek point into frame_.
    MediaUpdate Decode() {
        for (;;) {
            const int got = avcodec_receive_frame(codec_, frame_);
            if (got == 0) {
                const int64_t t = FrameTime();
                if (t < skip_before_) {
                    av_frame_unref(frame_);
                    continue;
                }
                skip_before_ = INT64_MIN;
                frame_time_ = t;
                return MediaUpdate::kFrame;
            }
            if (got == AVERROR_EOF) return MediaUpdate::kEndOfStream;
            if (got != AVERROR(EAGAIN)) return MediaUpdate::kFailed;
            if (draining_) return MediaUpdate::kEndOfStream;
            const int read = av_read_frame(format_, packet_);
            if (read < 0) {
                draining_ = true;
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (packet_->stream_index == stream_) {
                avcodec_send_packet(codec_, packet_);
            }
            av_packet_unref(packet_);
        }
    }

    int64_t FrameTime() const {
        int64_t pts = frame_->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) return time_;
        const AVStream* s = format_->streams[stream_];
        if (s->start_time != AV_NOPTS_VALUE) pts -= s->start_time;
        return av_rescale_q(pts, s->time_base, AVRational{1, 10000000});
    }

    bool Convert(uint8_t* pixels, int pitch) {
        scaler_ =
            sws_getCachedContext(scaler_, frame_->width, frame_->height, static_cast<AVPixelFormat>(frame_->format),
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
        return sws_scale(scaler_, frame_->data, frame_->linesize, 0, frame_->height, planes, pitches) > 0;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int stream_ = -1;
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
    bool draining_ = false;
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
