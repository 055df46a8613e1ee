#pragma once
// Movie handles: a movie file opened so that its frames can be shown as a
// graph's picture. Ogg Theora movies are decoded here (their Vorbis track
// plays as a stream sound and times them); every other movie goes through
// the platform's media streams. A movie opens stopped. Window deactivation
// pauses playing movies and activation resumes them; a display change
// releases the media streams and re-opens them at the same stream time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lib/core/files/file_access.h"
#include "lib/image/graph_image.h"
#include "lib/movie/movie_screen.h"

namespace velk {

namespace platform {
class DdSurface;
class MediaStream;
}
class TheoraMovieData;

inline constexpr uint32_t kMovieHandleType = 0x18000000;
inline constexpr int kMovieSlots = 100;

// Surface modes: the layout media-stream frames are handed over in.
inline constexpr int kMovieSurfaceSystem = 0;   // the screen's (or the software renderer's) format
inline constexpr int kMovieSurfaceOverlay = 1;  // an overlay of the display, shown over the window
inline constexpr int kMovieSurfaceRgb24 = 2;    // 24-bit RGB

struct MovieData;
using MovieFrameCallback = void (*)(MovieData* movie, void* data);

struct MovieData {
    uint32_t check = 0;
    int32_t handle = -1;
    int32_t play_type = 1;  // 1 once, 3 loops (the bit of value 2)
    int32_t theora = 0;
    TheoraMovieData* decoder = nullptr;
    int64_t start_time = 0;  // microseconds at which frame 0 counts as shown
    FileAccessHandle file = 0;
    int32_t sound_track = -1;
    std::unique_ptr<platform::MediaStream> media;  // null for Theora and while released
    // Overlay mode: the overlay the stream decodes into (null while released).
    std::shared_ptr<platform::DdSurface> overlay_surface;
    uint64_t last_present_count = ~uint64_t{0};
    int32_t last_frame_time = -1;
    int32_t width = 0;
    int32_t height = 0;
    int32_t playing = 0;
    int32_t paused = 1;
    int32_t frame_delivered = 0;
    int32_t surface_mode = kMovieSurfaceSystem;
    int64_t saved_stream_time = 0;  // 100 ns units, kept across release and re-open
    int32_t temporary_copy = 0;
    std::string file_name;   // as given, or the native path of the temporary copy
    GraphImage frame_image;  // media-stream frames
    GraphImage* current_frame_image = nullptr;
    int32_t overlay_x = 0, overlay_y = 0, overlay_zoom = 0, overlay_show = 0;
    // The rectangles of the last overlay update (all zero after a hide).
    Rect overlay_source{}, overlay_dest{};
    MovieFrameCallback callback = nullptr;
    void* callback_data = nullptr;

    MovieData();
    ~MovieData();
};

// width and height may be null; surface mode request 0, 1 or 2. Handle, -1.
int OpenMovie(const char* file_name, int* width, int* height, int surface_mode);
int CloseMovie(int movie);
MovieData* GetMovieData(int movie);
int SetMovieFrameCallback(int movie, MovieFrameCallback callback, void* data);
// Moves the movie's frame on by the clock (or by its sound track) and hands
// the frame to the callback. wait 1 takes a media-stream frame at once. 0.
int UpdateMovieFrame(int movie, int wait);
int RestoreMovieSurfaces(int movie);
int CloseAllMovies();
int GetMovieCount();

// Places the overlay of a movie in overlay mode at (x, y) of the client area,
// zoom times its size, clipped to the window's visible region and aligned as
// the display asks; show 0, an empty or covered place hides it. An update
// that changes nothing calls the display not at all. 0; -1 on a bad handle.
int UpdateMovieOverlay(int x, int y, int zoom, int movie, int show);
// Every overlay movie again at its stored place (once per message pass). 0.
int UpdateAllMovieOverlays();

int PauseMovie(int movie, int keep_resume);
int PauseAllMovies();
int ResumeAllMovies();
int ReleaseAllMovieStreams();
int ReopenAllMovieStreams();

// Routes the window's activation and display-change events to the movies.
void InstallMovieWindowServices();

}  // namespace velk
