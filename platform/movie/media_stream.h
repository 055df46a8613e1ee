#pragma once
// A movie file decoded frame by frame, standing in for the multimedia stream
// the library's movie handles drive: open by native path, report the frame
// size, run, pause or stop, seek and tell by stream time (100 ns units), and
// hand over the next frame, synchronously, into the caller's pixels. The
// sound track is decoded here too, into PCM the library's mixer plays.

#include <cstdint>
#include <memory>
#include <string>

namespace velk::platform {

enum class MediaPixelFormat {
    kXrgb32,  // bytes blue, green, red, unused
    kRgb565,  // 16-bit words
    kRgb24,   // bytes blue, green, red
    kRgb555,  // 16-bit words, the top bit unused
    // The overlay layouts: packed 4:2:2 (Y0 U Y1 V, U Y0 V Y1), and planar
    // 4:2:0 with the V plane, then the U plane, after the rows of Y, each
    // ceil(height / 2) rows of half the pitch.
    kYuy2,
    kUyvy,
    kYv12,
};

// Paused keeps the position as stopped does; only running moves the clock.
enum class MediaStreamState { kStop, kPause, kRun };

// A movie's sound track as the back-end hands it over: 16-bit signed samples,
// channels interleaved (at most two: the first two of a wider track).
struct MediaAudioFormat {
    int sample_rate = 0;
    int channels = 0;
    // Sample frames in the track as the file says; -1 when it does not say.
    int64_t total_frames = -1;
};

// kPending: the next frame is not due yet by the stream's clock.
enum class MediaUpdate { kFrame, kPending, kEndOfStream, kFailed };

class MediaStream {
public:
    virtual ~MediaStream() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void SetState(MediaStreamState state) = 0;
    virtual MediaStreamState GetState() const = 0;
    // Moves to the stream time (100 ns units); the next update gives the
    // first frame at or after it.
    virtual void Seek(int64_t time) = 0;
    // The time of the last frame handed over (0 before the first).
    virtual int64_t GetTime() const = 0;
    // The next frame into pixels (width x height, rows `pitch` bytes apart)
    // in the format chosen at open, once it is due: while the stream runs,
    // its time goes on with the active clock; while it is stopped, any frame
    // is due (a stopped stream shows frames only when asked with due_now).
    virtual MediaUpdate Update(uint8_t* pixels, int pitch, bool due_now) = 0;
    // Whether Update would hand over a frame now, without taking it: kFrame
    // when one is due, else what Update would say.
    virtual MediaUpdate Poll(bool due_now) = 0;

    // The file's sound track, read from its start through a handle of its
    // own (it may outlive the stream); null when the file has none the
    // back-end decodes.
    virtual std::unique_ptr<class MediaAudioTrack> OpenAudio() = 0;
};

class MediaAudioTrack {
public:
    virtual ~MediaAudioTrack() = default;
    virtual const MediaAudioFormat& format() const = 0;
    // The next PCM bytes; fewer than asked only at the end of the track.
    virtual size_t Read(uint8_t* buffer, size_t bytes) = 0;
    // Goes on from sample frame `frame`; false when it cannot go there.
    virtual bool Seek(int64_t frame) = 0;
};

// Null with a reason in `error` when the file cannot be opened or holds no
// video stream.
std::unique_ptr<MediaStream> OpenMediaStream(const std::string& native_path, MediaPixelFormat format,
                                             std::string* error);

}  // namespace velk::platform
