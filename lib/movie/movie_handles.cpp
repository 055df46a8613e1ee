#include "lib/movie/movie_handles.h"

#include <algorithm>
#include <vector>

#include "lib/core/base_routines.h"
#include "lib/core/files/stream_functions.h"
#include "lib/core/handle_table.h"
#include "lib/core/log.h"
#include "lib/core/window/window_services.h"
#include "lib/image/color_data.h"
#include "lib/movie/movie_log_texts.h"
#include "lib/movie/movie_sound_stream.h"
#include "lib/movie/theora_movie.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_convert.h"
#include "platform/base/clock.h"
#include "platform/display/display_device.h"
#include "platform/display/display_surface.h"
#include "platform/file/native_file.h"
#include "platform/file/path_resolver.h"
#include "platform/file/temp_file.h"
#include "platform/movie/media_stream.h"

namespace velk {

MovieData::MovieData() = default;
MovieData::~MovieData() { ReleaseGraphImage(&frame_image); }

namespace {

constexpr int kTheoraStock = 10;
constexpr size_t kCopyChunk = 1 << 20;

HandleTable<MovieData, std::unique_ptr<MovieData>>& Table() {
    static HandleTable<MovieData, std::unique_ptr<MovieData>> table(kMovieSlots, kMovieHandleType);
    return table;
}

MovieScreen& Screen() {
    static MovieScreen screen;
    return screen;
}

bool Loops(const MovieData& md) { return (md.play_type & 2) != 0; }

// Copies a file that only the file access set can read (one inside an
// archive) into a temporary file; its native path, or empty on failure.
std::string CopyToTemporaryFile(const std::string& name) {
    const FileAccessHandle in = FileAccessOpen(name, 0, 1, 0);
    if (in == 0) return {};
    FileAccessSeek(in, 0, kSeekEnd);
    const int64_t size = FileAccessTell(in);
    FileAccessSeek(in, 0, kSeekSet);
    platform::WritableFile out;
    std::string path;
    if (size < 0 || !platform::CreateTempFile(&out, &path)) {
        FileAccessClose(in);
        return {};
    }
    std::vector<uint8_t> buffer(kCopyChunk);
    int64_t copied = 0;
    bool ok = true;
    while (copied < size) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(size - copied, kCopyChunk));
        const size_t got = FileAccessRead(buffer.data(), 1, want, in);
        // A short read would otherwise repeat for ever; the copy stops there.
        if (got == 0 || !out.Write(std::span<const uint8_t>(buffer.data(), std::min(got, want)))) {
            ok = false;
            break;
        }
        copied += static_cast<int64_t>(std::min(got, want));
    }
    FileAccessClose(in);
    if (!out.Close()) ok = false;
    if (copied < size) ok = false;
    if (!ok) {
        platform::DeleteTempFile(path);
        return {};
    }
    return path;
}

// The stream's layout for an overlay in `format`; false when the stream
// cannot decode into it.
bool OverlayMediaFormat(const platform::DdPixelFormat& format, platform::MediaPixelFormat* out) {
    if ((format.flags & platform::kPixelFormatFourCc) != 0) {
        switch (format.four_cc) {
            case platform::kFourCcYuy2: *out = platform::MediaPixelFormat::kYuy2; return true;
            case platform::kFourCcUyvy: *out = platform::MediaPixelFormat::kUyvy; return true;
            case platform::kFourCcYv12: *out = platform::MediaPixelFormat::kYv12; return true;
            default: return false;
        }
    }
    if (format.rgb_bit_count == 16 && format.red_mask == 0x7C00 && format.green_mask == 0x03E0 &&
        format.blue_mask == 0x001F) {
        *out = platform::MediaPixelFormat::kRgb555;
        return true;
    }
    if (format.rgb_bit_count == 16 && format.red_mask == 0xF800 && format.green_mask == 0x07E0 &&
        format.blue_mask == 0x001F) {
        *out = platform::MediaPixelFormat::kRgb565;
        return true;
    }
    if (format.rgb_bit_count == 32 && format.red_mask == 0xFF0000 && format.green_mask == 0xFF00 &&
        format.blue_mask == 0xFF) {
        *out = platform::MediaPixelFormat::kXrgb32;
        return true;
    }
    return false;
}

// An overlay of the stream's size in the screen's overlay format; null
// (logged) when the display makes none.
std::shared_ptr<platform::DdSurface> CreateOverlaySurface(const platform::DdPixelFormat& format, int width,
                                                          int height) {
    platform::DdDevice* device = Screen().direct_draw();
    std::shared_ptr<platform::DdSurface> surface;
    platform::DdSurfaceDesc desc;
    desc.flags = platform::kDdsdCaps | platform::kDdsdHeight | platform::kDdsdWidth | platform::kDdsdPixelFormat;
    desc.caps = platform::kDdsCapsOverlay | platform::kDdsCapsVideoMemory;
    desc.width = static_cast<uint32_t>(width);
    desc.height = static_cast<uint32_t>(height);
    desc.pixel_format = format;
    if (device == nullptr || device->CreateSurface(desc, &surface) != platform::kDdOk) {
        WriteLog(movie_text::kSurfaceCreateFailed);
        return nullptr;
    }
    return surface;
}

platform::MediaPixelFormat FormatForMode(int mode, ColorData* color) {
    if (mode == kMovieSurfaceRgb24) {
        CreateRGB24ColorData(color);
        return platform::MediaPixelFormat::kRgb24;
    }
    if (Screen().color_bits() == 16) {
        CreateColorDataFromMasks(color, 16, 0xF800, 0x07E0, 0x001F, 0);
        return platform::MediaPixelFormat::kRgb565;
    }
    CreateXRGB32ColorData(color);
    return platform::MediaPixelFormat::kXrgb32;
}

// Opens (or re-opens) the media stream of a movie that is not Theora. 0, -1
// with the reason in the log.
int OpenMediaStreamMovie(MovieData* md, const std::string& name, int* width, int* height, int mode) {
    md->frame_delivered = 0;
    md->overlay_x = md->overlay_y = md->overlay_zoom = md->overlay_show = 0;
    md->overlay_source = md->overlay_dest = Rect{};
    // Without an overlay format an overlay movie keeps 24-bit frames, and
    // those are not kept for a 32-bit screen.
    const platform::DdPixelFormat* overlay_format = Screen().overlay_format();
    if (mode == kMovieSurfaceOverlay && overlay_format == nullptr) mode = kMovieSurfaceRgb24;
    if (mode == kMovieSurfaceRgb24 && Screen().color_bits() == 32) mode = kMovieSurfaceSystem;
    if (mode != kMovieSurfaceRgb24 && mode != kMovieSurfaceOverlay) mode = kMovieSurfaceSystem;
    // An overlay format the stream cannot decode into makes the stream keep
    // frames of its own, as when the overlay cannot take its samples.
    platform::MediaPixelFormat format = platform::MediaPixelFormat::kXrgb32;
    if (mode == kMovieSurfaceOverlay && !OverlayMediaFormat(*overlay_format, &format)) mode = kMovieSurfaceSystem;

    ColorData color;
    if (mode == kMovieSurfaceOverlay) {
        CreateColorDataFromPixelFormat(overlay_format, &color);
    } else {
        format = FormatForMode(mode, &color);
    }
    md->file_name = name;
    std::string error;
    std::unique_ptr<platform::MediaStream> stream;
    const bool made_copy_here = md->temporary_copy == 0;
    if (md->temporary_copy) {
        stream = platform::OpenMediaStream(name, format, &error);
    } else if (auto native = platform::GamePathResolver().Resolve(name)) {
        stream = platform::OpenMediaStream(*native, format, &error);
    }
    if (!stream) {
        const std::string message =
            std::string(movie_text::kFileOpenFailedHead) + name + movie_text::kFileOpenFailedTail;
        if (md->temporary_copy) {
            WriteLog(message.c_str());
            return -1;
        }
        const std::string copy = CopyToTemporaryFile(name);
        if (copy.empty()) {
            WriteLog(message.c_str());
            return -1;
        }
        md->file_name = copy;
        md->temporary_copy = 1;
        stream = platform::OpenMediaStream(copy, format, &error);
        if (!stream) {
            platform::DeleteTempFile(copy);
            md->temporary_copy = 0;
            md->file_name = name;
            WriteLog(message.c_str());
            return -1;
        }
    }
    auto undo_copy = [&] {
        if (made_copy_here && md->temporary_copy) {
            platform::DeleteTempFile(md->file_name);
            md->temporary_copy = 0;
            md->file_name = name;
        }
    };
    ReleaseGraphImage(&md->frame_image);
    md->frame_image.color_data = color;
    if (mode == kMovieSurfaceOverlay) {
        // The overlay holds the frames; the frame image only describes them.
        md->overlay_surface = CreateOverlaySurface(*overlay_format, stream->width(), stream->height());
        if (!md->overlay_surface) {
            undo_copy();
            return -1;
        }
        md->frame_image.width = stream->width();
        md->frame_image.height = stream->height();
    } else if (AllocateGraphImagePixels(&md->frame_image, stream->width(), stream->height()) != 0) {
        WriteLog(movie_text::kNotAMovie);
        undo_copy();
        return -1;
    } else {
        std::fill_n(md->frame_image.pixels, static_cast<size_t>(md->frame_image.pitch) * md->frame_image.height, 0);
    }
    md->width = stream->width();
    md->height = stream->height();
    if (width) *width = md->width;
    if (height) *height = md->height;
    md->surface_mode = mode;
    md->media = std::move(stream);
    md->last_present_count = ~uint64_t{0};
    md->last_frame_time = -1;
    return 0;
}

void DeliverFrame(MovieData* md) {
    if (md->callback) md->callback(md, md->callback_data);
    md->frame_delivered = 1;
}

void UpdateTheoraFrame(MovieData* md) {
    TheoraMovieInfo info;
    GetTheoraMovieInfo(md->decoder, &info);
    const int32_t n = info.frame_count;
    if (!md->paused && n > 0) {
        const int64_t t = md->sound_track != -1 ? int64_t{GetSoundPlayPositionBody(md->sound_track)} * 1000
                                                : GetUsecCount(0) - md->start_time;
        int64_t f = static_cast<int64_t>(static_cast<double>(t) * info.frames_per_second * 0.000001);
        if (f < 0) f = 0;
        if (md->sound_track != -1) {
            f = std::min<int64_t>(f, n - 1);
        } else if (f >= n) {
            f = Loops(*md) ? f % n : n - 1;
        }
        const int32_t c = GetTheoraCurrentFrame(md->decoder);
        if (f == c) {
            if (f == n - 1 && !Loops(*md) && md->sound_track == -1) {
                md->playing = 0;
                md->paused = 1;
            }
        } else if (f < c) {
            AdvanceTheoraFrame(md->decoder, static_cast<int32_t>(n - c + f));
        } else {
            AdvanceTheoraFrame(md->decoder, static_cast<int32_t>(f - c));
        }
    }
    DeliverFrame(md);
}

// Takes the stream's next frame when it is due: into the overlay, which shows
// it, or into the frame image. A failed overlay lock leaves the frame for the
// next update.
platform::MediaUpdate TakeMediaFrame(MovieData* md, bool wait) {
    platform::MediaStream& stream = *md->media;
    if (md->surface_mode != kMovieSurfaceOverlay)
        return stream.Update(md->frame_image.pixels, md->frame_image.pitch, wait);
    const platform::MediaUpdate ready = stream.Poll(wait);
    if (ready != platform::MediaUpdate::kFrame) return ready;
    platform::DdSurfaceDesc desc;
    if (!md->overlay_surface ||
        md->overlay_surface->Lock(nullptr, &desc, platform::kDdLockWait | platform::kDdLockWriteOnly) !=
            platform::kDdOk) {
        return platform::MediaUpdate::kPending;
    }
    const platform::MediaUpdate taken = stream.Update(static_cast<uint8_t*>(desc.surface), desc.pitch, wait);
    md->overlay_surface->Unlock(nullptr);
    return taken;
}

void UpdateMediaFrame(MovieData* md, int wait) {
    if (!md->media) return;
    platform::MediaStream& stream = *md->media;
    if (wait == 0) {
        if (md->playing != 1 || md->paused != 0 || stream.GetState() != platform::MediaStreamState::kRun) return;
        const int32_t now = GetMillisecondCount();
        if (Screen().present_count() == md->last_present_count && md->last_frame_time != -1 &&
            platform::ElapsedMilliseconds31(md->last_frame_time, now) <= 17) {
            return;
        }
    }
    // After a frame the next one is asked for at once, and taken too when it
    // is already due, so a movie that fell behind catches up.
    const int rounds = wait == 0 ? 2 : 1;
    for (int round = 0; round < rounds; ++round) {
        const platform::MediaUpdate r = TakeMediaFrame(md, wait != 0);
        if (r == platform::MediaUpdate::kPending) return;
        if (r != platform::MediaUpdate::kFrame) {
            if (Loops(*md)) {
                // The sound starts again with the pictures.
                if (md->sound_track != -1) PlaySoundHandleBody(md->sound_track, md->play_type, 1);
                stream.Seek(0);
                stream.SetState(platform::MediaStreamState::kRun);
                md->last_present_count = ~uint64_t{0};
                md->last_frame_time = -1;
            } else {
                md->playing = 0;
                md->paused = 1;
            }
            return;
        }
        // An overlay shows its frame itself: no frame copy.
        if (md->surface_mode == kMovieSurfaceOverlay) {
            md->frame_delivered = 1;
        } else {
            DeliverFrame(md);
        }
        md->last_present_count = Screen().present_count();
        md->last_frame_time = GetMillisecondCount();
    }
}

void HideOverlay(MovieData* md) {
    platform::DdSurface* main = Screen().main_draw_surface();
    md->overlay_surface->UpdateOverlay(nullptr, main, nullptr, platform::kDdOverHide);
}

}  // namespace

void SetMovieScreen(const MovieScreen& screen) { Screen() = screen; }

const MovieScreen& CurrentMovieScreen() { return Screen(); }

int OpenMovie(const char* file_name, int* width, int* height, int surface_mode) {
    if (file_name == nullptr) return -1;
    auto& table = Table();
    const int slot = table.LowestFreeSlot();
    if (slot < 0) return -1;
    auto md = std::unique_ptr<MovieData>(new (std::nothrow) MovieData());
    if (!md) {
        WriteLog(movie_text::kOpenMovieNoMemory);
        return -1;
    }
    const std::string name = file_name;
    FileAccessHandle file = FileAccessOpen(name, 0, 1, 0);
    TheoraMovieData* decoder = nullptr;
    if (file != 0) {
        decoder = OpenTheoraMovie(MakeFileStreamData(file), kTheoraStock);
        if (decoder == nullptr) {
            FileAccessClose(file);
            file = 0;
        }
    }
    if (decoder != nullptr) {
        md->decoder = decoder;
        md->file = file;
        md->file_name = name;
        const int32_t create_type = GetSoundCreateType();
        SetSoundDecoderBuildFlag(1);
        SetSoundCreateTypeBody(3);
        md->sound_track = LoadSoundFile(name, 1, -1);
        SetSoundDecoderBuildFlag(0);
        SetSoundCreateTypeBody(create_type);
        TheoraMovieInfo info;
        GetTheoraMovieInfo(decoder, &info);
        md->width = info.width;
        md->height = info.height;
        if (width) *width = info.width;
        if (height) *height = info.height;
        md->theora = 1;
        md->current_frame_image = GetTheoraFrameImage(decoder);
        md->surface_mode = kMovieSurfaceSystem;
    } else {
        md->temporary_copy = 0;
        if (OpenMediaStreamMovie(md.get(), name, width, height, surface_mode) != 0) {
            WriteLog(movie_text::kMovieOpenFailed);
            return -1;
        }
        md->current_frame_image = &md->frame_image;
        // The sound track plays through the library's mixer as a stream
        // sound; a movie without one (or without a sound device) is silent.
        if (std::unique_ptr<platform::MediaAudioTrack> audio = md->media->OpenAudio()) {
            md->sound_track = LoadStreamSoundFromStream(std::make_unique<MovieSoundStream>(std::move(audio)));
        }
    }
    md->paused = 1;
    md->playing = 0;
    md->play_type = 1;
    return table.AddAt(slot, table.TakeNextCheck(), std::move(md));
}

namespace {

void FreeMovie(std::unique_ptr<MovieData> md) {
    if (md->theora) {
        CloseTheoraMovie(md->decoder);
        FileAccessClose(md->file);
        if (md->sound_track != -1) DeleteSoundBody(md->sound_track);
        md->decoder = nullptr;
        md->file = 0;
        md->sound_track = -1;
        md->theora = 0;
    }
    if (md->sound_track != -1) {
        DeleteSoundBody(md->sound_track);
        md->sound_track = -1;
    }
    if (md->surface_mode == kMovieSurfaceOverlay && md->overlay_surface) HideOverlay(md.get());
    md->overlay_surface.reset();
    // The stream lets go of the file before the copy is removed.
    md->media.reset();
    if (md->temporary_copy) {
        platform::DeleteTempFile(md->file_name);
        md->temporary_copy = 0;
    }
}

}  // namespace

int CloseMovie(int movie) {
    std::unique_ptr<MovieData> md = Table().Remove(movie);
    if (!md) return -1;
    FreeMovie(std::move(md));
    return 0;
}

int CloseAllMovies() {
    auto& table = Table();
    for (int slot = 0; slot < table.capacity(); ++slot) {
        if (table.AtSlot(slot)) CloseMovie(table.HandleOf(slot));
    }
    return 0;
}

int GetMovieCount() { return Table().count(); }

MovieData* GetMovieData(int movie) { return Table().Get(movie); }

int SetMovieFrameCallback(int movie, MovieFrameCallback callback, void* data) {
    MovieData* md = GetMovieData(movie);
    if (md == nullptr) return -1;
    md->callback = callback;
    md->callback_data = data;
    return 0;
}

int UpdateMovieFrame(int movie, int wait) {
    MovieData* md = GetMovieData(movie);
    if (md == nullptr) return 0;
    if (md->theora) {
        UpdateTheoraFrame(md);
    } else {
        UpdateMediaFrame(md, wait);
    }
    return 0;
}

// Frames in system memory are never lost; an overlay is, with the display's
// other surfaces, and is brought back (its next frame fills it again).
int RestoreMovieSurfaces(int movie) {
    MovieData* md = GetMovieData(movie);
    if (md != nullptr && md->overlay_surface && md->overlay_surface->IsLost() != platform::kDdOk)
        md->overlay_surface->Restore();
    return 0;
}

int UpdateMovieOverlay(int x, int y, int zoom, int movie, int show) {
    MovieData* md = GetMovieData(movie);
    if (md == nullptr) return -1;
    if (md->surface_mode != kMovieSurfaceOverlay || md->frame_delivered == 0 || !md->overlay_surface) return 0;
    const MovieScreen& screen = Screen();
    Rect source{};
    Rect dest{};
    int32_t dest_width = 0;
    if (zoom >= 1) {
        source = Rect{0, 0, md->width, md->height};
        int32_t source_width = md->width;
        const Rect client = screen.client_rect();
        // The zoomed place on the screen, in 64 bits: a place far off the
        // screen or a large zoom does not fit in 32. What is shown of it lies
        // in the client area and fits.
        const int64_t left = int64_t{client.left} + x;
        const int64_t top = int64_t{client.top} + y;
        const int64_t right = left + int64_t{md->width} * zoom;
        const int64_t bottom = top + int64_t{md->height} * zoom;
        Rect visible = client;
        // Covered windows hide the overlay; a plain visible box cuts it.
        if (screen.window_mode()) {
            Rect box;
            switch (screen.clip_box(&box)) {
                case WindowRegion::kNull:
                case WindowRegion::kComplex: show = 0; break;
                case WindowRegion::kSimple: {
                    const Rect on_screen{box.left + client.left, box.top + client.top, box.right + client.left,
                                         box.bottom + client.top};
                    ClipRect(&visible, &on_screen);
                    break;
                }
                case WindowRegion::kNoContext: break;
            }
        }
        const Rect shown{static_cast<int32_t>(std::clamp<int64_t>(left, visible.left, visible.right)),
                         static_cast<int32_t>(std::clamp<int64_t>(top, visible.top, visible.bottom)),
                         static_cast<int32_t>(std::clamp<int64_t>(right, visible.left, visible.right)),
                         static_cast<int32_t>(std::clamp<int64_t>(bottom, visible.top, visible.bottom))};
        if (shown.top >= shown.bottom || shown.left >= shown.right) show = 0;
        // What was cut off goes off the source too, in source pixels.
        if (shown.left > left) {
            const auto cut = static_cast<int32_t>((shown.left - left) / zoom);
            source.left += cut;
            source_width -= cut;
        }
        if (shown.right < right) {
            const auto cut = static_cast<int32_t>((right - shown.right) / zoom);
            source.right -= cut;
            source_width -= cut;
        }
        if (shown.top > top) source.top += static_cast<int32_t>((shown.top - top) / zoom);
        if (shown.bottom < bottom) source.bottom -= static_cast<int32_t>((bottom - shown.bottom) / zoom);
        dest = shown;
        // The display's alignment rules. The destination width is the one
        // shown: the whole zoomed width would leave a cut overlay unaligned.
        platform::DdDeviceCaps caps;
        screen.device_caps(&caps);
        if ((caps.caps & platform::kDdCapsAlignBoundarySrc) != 0 && caps.align_boundary_src != 0) {
            const int32_t r = static_cast<int32_t>(static_cast<uint32_t>(source.left) % caps.align_boundary_src);
            source.left -= r;
            source_width -= r;
        }
        if ((caps.caps & platform::kDdCapsAlignSizeSrc) != 0 && caps.align_size_src != 0) {
            source.right -= static_cast<int32_t>(static_cast<uint32_t>(source_width) % caps.align_size_src);
        }
        dest_width = dest.right - dest.left;
        if ((caps.caps & platform::kDdCapsAlignBoundaryDest) != 0 && caps.align_boundary_dest != 0) {
            const int32_t r = static_cast<int32_t>(static_cast<uint32_t>(dest.left) % caps.align_boundary_dest);
            dest.left -= r;
            dest_width -= r;
        }
        if ((caps.caps & platform::kDdCapsAlignSizeDest) != 0 && caps.align_size_dest != 0) {
            const int32_t r = static_cast<int32_t>(static_cast<uint32_t>(dest_width) % caps.align_size_dest);
            dest.right -= r;
            dest_width -= r;
        }
    }
    platform::DdSurface* main = screen.main_draw_surface();
    if (dest_width <= 0 || show == 0) {
        md->overlay_surface->UpdateOverlay(nullptr, main, nullptr, platform::kDdOverHide);
        source = dest = Rect{};
        show = 0;
    } else if (md->overlay_show != show || !(md->overlay_source == source) || !(md->overlay_dest == dest)) {
        md->overlay_surface->UpdateOverlay(&source, main, &dest, platform::kDdOverShow);
    }
    md->overlay_x = x;
    md->overlay_y = y;
    md->overlay_zoom = zoom;
    md->overlay_show = show;
    md->overlay_source = source;
    md->overlay_dest = dest;
    return 0;
}

int UpdateAllMovieOverlays() {
    auto& table = Table();
    for (int slot = 0; slot < table.capacity(); ++slot) {
        const MovieData* md = table.AtSlot(slot);
        if (md == nullptr || md->theora || md->surface_mode != kMovieSurfaceOverlay) continue;
        UpdateMovieOverlay(md->overlay_x, md->overlay_y, md->overlay_zoom, table.HandleOf(slot), md->overlay_show);
    }
    return 0;
}

int PauseMovie(int movie, int keep_resume) {
    MovieData* md = GetMovieData(movie);
    if (md == nullptr) return -1;
    if (md->paused == 1) return 0;
    if (md->theora) {
        if (md->sound_track != -1) StopSoundHandleBody(md->sound_track);
        UpdateMovieFrame(movie, 0);
    } else {
        if (!md->media) return 0;
        md->media->SetState(platform::MediaStreamState::kPause);
        if (md->sound_track != -1) StopSoundHandleBody(md->sound_track);
    }
    md->paused = 1;
    if (!keep_resume) md->playing = 0;
    return 0;
}

int PauseAllMovies() {
    auto& table = Table();
    for (int slot = 0; slot < table.capacity(); ++slot) {
        if (table.AtSlot(slot)) PauseMovie(table.HandleOf(slot), 1);
    }
    return 0;
}

int ResumeAllMovies() {
    auto& table = Table();
    for (int slot = 0; slot < table.capacity(); ++slot) {
        MovieData* md = table.AtSlot(slot);
        if (md == nullptr || md->paused != 1 || md->playing != 1) continue;
        if (md->play_type == 0) md->play_type = 1;
        if (md->theora) {
            TheoraMovieInfo info;
            GetTheoraMovieInfo(md->decoder, &info);
            const double shown = GetTheoraCurrentFrame(md->decoder) / info.frames_per_second * 1000000.0;
            md->start_time = GetUsecCount(0) - static_cast<int64_t>(shown);
            if (md->sound_track != -1) PlaySoundHandleBody(md->sound_track, md->play_type, 0);
        } else {
            if (!md->media) continue;
            md->media->SetState(platform::MediaStreamState::kRun);
            if (md->sound_track != -1) PlaySoundHandleBody(md->sound_track, md->play_type, 0);
        }
        md->paused = 0;
        md->playing = 1;
    }
    return 0;
}

int ReleaseAllMovieStreams() {
    auto& table = Table();
    for (int slot = 0; slot < table.capacity(); ++slot) {
        MovieData* md = table.AtSlot(slot);
        if (md == nullptr || md->theora || !md->media) continue;
        md->saved_stream_time = md->media->GetTime();
        md->media.reset();
        md->overlay_surface.reset();
        ReleaseGraphImage(&md->frame_image);
    }
    return 0;
}

int ReopenAllMovieStreams() {
    auto& table = Table();
    for (int slot = 0; slot < table.capacity(); ++slot) {
        MovieData* md = table.AtSlot(slot);
        if (md == nullptr || md->theora || md->media) continue;
        const std::string name = md->file_name;
        if (OpenMediaStreamMovie(md, name, nullptr, nullptr, md->surface_mode) != 0) {
            WriteLog(movie_text::kMovieOpenFailed);
            return -1;
        }
        md->current_frame_image = &md->frame_image;
        md->media->Seek(md->saved_stream_time);
        if (!md->paused) md->media->SetState(platform::MediaStreamState::kRun);
    }
    return 0;
}

void InstallMovieWindowServices() {
    WindowSoundServices services = WindowSound();
    services.update_all_movie_overlays = [] { return UpdateAllMovieOverlays(); };
    services.pause_all_movies = [] { return PauseAllMovies(); };
    services.resume_all_movies = [] { return ResumeAllMovies(); };
    services.release_all_movie_streams = [] { return ReleaseAllMovieStreams(); };
    SetWindowSoundServices(services);
}

}  // namespace velk
