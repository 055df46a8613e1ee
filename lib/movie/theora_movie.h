#pragma once
// The Ogg Theora decoder behind Theora movies. Open indexes the file's pages
// and key frames, then one decode thread per movie keeps a small stock of
// decoded frames ahead of the frame the movie should show. The main thread
// moves the shown frame (advance or seek) and converts it on demand into a
// 32-bit XRGB image or into a YUV surface of the display. The thread and the
// main thread hand over through atomic fields only; the thread owns the file
// from open to close.

#include <cstdint>

#include "lib/core/files/stream_functions.h"
#include "lib/image/graph_image.h"

namespace velk {

namespace platform {
class DdSurface;
}
class TheoraMovieData;

struct TheoraMovieInfo {
    double frames_per_second = 0;
    int32_t frame_count = 0;
    int32_t width = 0;  // encoded frame size
    int32_t height = 0;
};

// The stream is positioned at 0 and stays the caller's (not closed here, and
// not read by the caller until CloseTheoraMovie returned). Null when the
// stream is not an Ogg Theora movie or anything fails (with a log line for
// resource failures only). On success frame 0 is in the frame image.
TheoraMovieData* OpenTheoraMovie(const StreamData& stream, int stock_size);
// Ends the decode thread (waiting for it) and frees everything; 0.
int CloseTheoraMovie(TheoraMovieData* movie);
// Makes frame (clamped into the movie) the shown frame; 0.
int SeekTheoraFrame(TheoraMovieData* movie, int32_t frame);
// Moves the shown frame on by n (wrapping at the end); nothing for n < 1. 0.
int AdvanceTheoraFrame(TheoraMovieData* movie, int32_t frames);
// Waits for the shown frame and converts it into the frame image and into the
// YUV surface, each when asked for and not yet done: 1 converted, 0 nothing
// to do or no frame can come. A YUV surface that does not lock is made again,
// three tries in all; a frame that is not 4:2:0 leaves the surface unwritten.
int ConvertTheoraFrame(TheoraMovieData* movie, int to_image, int to_surface);
GraphImage* GetTheoraFrameImage(TheoraMovieData* movie);
// (Re)makes the YUV surface on the movie screen's display device in the first
// of YV12, YUY2 and UYVY it makes; none without a device. 0.
int CreateTheoraYuvSurface(TheoraMovieData* movie);
// Null when there is none.
platform::DdSurface* GetTheoraYuvSurface(TheoraMovieData* movie);
// Turns what the YUV surface holds into the frame image (a texture's source
// when the movie is drawn from its surface). 0; -1 without a surface or when
// it does not lock.
int ReadTheoraYuvSurface(TheoraMovieData* movie);
// The surface's FourCC, 0 when there is none.
uint32_t GetTheoraYuvFourCc(const TheoraMovieData* movie);
int GetTheoraMovieInfo(const TheoraMovieData* movie, TheoraMovieInfo* info);
int32_t GetTheoraCurrentFrame(const TheoraMovieData* movie);

// What the index built at open says (for checks): page entries and key
// frames.
struct TheoraIndexSummary {
    int32_t page_entries = 0;
    int32_t key_frames = 0;
    int32_t first_key_frames[8] = {};  // the first few key-frame numbers
};
TheoraIndexSummary GetTheoraIndexSummary(const TheoraMovieData* movie);

}  // namespace velk
