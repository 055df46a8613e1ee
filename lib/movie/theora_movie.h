#pragma once
// The Ogg Theora decoder behind Theora movies. Open indexes the file's pages
// and key frames, then one decode thread per movie keeps a small stock of
// decoded frames ahead of the frame the movie should show. The main thread
// moves the shown frame (advance or seek) and converts it on demand into a
// 32-bit XRGB image. The thread and the main thread hand over through atomic
// fields only; the thread owns the file from open to close.

#include <cstdint>

#include "lib/core/files/stream_functions.h"
#include "lib/image/graph_image.h"

namespace velk {

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
// Waits for the shown frame and converts it into the frame image when that is
// asked for and not yet done: 1 converted, 0 nothing to do or no frame can
// come. There is no YUV surface on this platform, so to_surface alone does
// nothing.
int ConvertTheoraFrame(TheoraMovieData* movie, int to_image, int to_surface);
GraphImage* GetTheoraFrameImage(TheoraMovieData* movie);
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
