// Movies in overlay mode (MPEG-1 movies made with ffmpeg): decoded into an
// overlay of the display and shown over the window at their place and zoom,
// cut by the client area and the window's visible region, aligned as the
// display asks, hidden and shown again; the presented pixels are checked
// against a BT.601 conversion of the overlay's own bytes. Also pause and
// resume keeping the stream's position.

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "lib/core/window/main_window.h"
#include "lib/movie/movie_handles.h"
#include "platform/display/display_surface.h"
#include "platform/movie/media_stream.h"
#include "platform/window/window_clip_region.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

struct Rgb {
    int r, g, b;
};
Rgb Bt601(int y, int u, int v) {
    auto clamp = [](double x) { return static_cast<int>(std::lround(std::fmin(255.0, std::fmax(0.0, x)))); };
    const double c = 1.164 * (y - 16);
    return Rgb{clamp(c + 1.596 * (v - 128)), clamp(c - 0.391 * (u - 128) - 0.813 * (v - 128)),
               clamp(c + 2.018 * (u - 128))};
}

bool Near(uint32_t shown, const Rgb& want) {
    return std::abs(static_cast<int>((shown >> 16) & 0xFF) - want.r) <= 1 &&
           std::abs(static_cast<int>((shown >> 8) & 0xFF) - want.g) <= 1 &&
           std::abs(static_cast<int>(shown & 0xFF) - want.b) <= 1;
}

class MovieOverlayTest : public GraphicsTest {
protected:
    void TearDown() override {
        CloseAllMovies();
        platform::SetWindowCoveredArea(window(), Rect{});
    }

    // An MPEG-1 test pattern of the size, made by ffmpeg; empty without it.
    std::string MakeMovie(int width, int height, int frames) {
        const std::string path = Path("clip" + std::to_string(width) + ".mpg");
        const std::string command = "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=" + std::to_string(width) +
                                    "x" + std::to_string(height) + ":rate=25 -frames:v " + std::to_string(frames) +
                                    " -c:v mpeg1video -q:v 4 '" + path + "'";
        if (std::system(command.c_str()) != 0 || !std::filesystem::exists(path)) return {};
        return path;
    }

    // Opens an overlay movie and has its first frame decoded into the overlay.
    int OpenOverlayMovie(const std::string& path) {
        int w = 0, h = 0;
        const int movie = OpenMovie(path.c_str(), &w, &h, kMovieSurfaceOverlay);
        EXPECT_NE(movie, -1);
        if (movie == -1) return -1;
        MovieData* md = GetMovieData(movie);
        EXPECT_EQ(md->surface_mode, kMovieSurfaceOverlay);
        EXPECT_NE(md->overlay_surface, nullptr);
        EXPECT_EQ(md->frame_image.pixels, nullptr) << "the overlay holds the frames";
        md->playing = 1;
        ResumeAllMovies();
        UpdateMovieFrame(movie, 1);
        EXPECT_EQ(md->frame_delivered, 1);
        return movie;
    }

    // The overlay's pixel (x, y) as the BT.601 reference sees it.
    static Rgb OverlayPixel(platform::DdSurface& overlay, int x, int y) {
        platform::DdSurfaceDesc desc;
        EXPECT_EQ(overlay.Lock(nullptr, &desc, platform::kDdLockReadOnly), platform::kDdOk);
        EXPECT_EQ(desc.pixel_format.four_cc, platform::kFourCcUyvy);
        const uint8_t* pair = static_cast<const uint8_t*>(desc.surface) + y * desc.pitch + (x / 2) * 4;
        const Rgb rgb = Bt601(pair[1 + (x % 2) * 2], pair[0], pair[2]);
        overlay.Unlock(nullptr);
        return rgb;
    }

    // Checks the presented frame over the overlay's destination (client
    // coordinates: the screen rectangle less the client's origin): each pixel
    // shows the source pixel under its centre; a ring around it shows `under`.
    void ExpectShown(const MovieData& md, const platform::PresentedFrame& under) {
        const platform::PresentedFrame frame = Shown();
        Rect client;
        GetWindowClientRect(&client);
        const Rect& s = md.overlay_source;
        const Rect& d = md.overlay_dest;
        const int dw = d.right - d.left, dh = d.bottom - d.top, sw = s.right - s.left, sh = s.bottom - s.top;
        ASSERT_GT(dw, 0);
        ASSERT_GT(dh, 0);
        const int xs[] = {d.left, d.left + 1, d.left + dw / 3, d.right - 2, d.right - 1};
        const int ys[] = {d.top, d.top + 1, d.top + dh / 2, d.bottom - 1};
        for (const int x : xs) {
            for (const int y : ys) {
                const int sx = s.left + ((x - d.left) * 2 + 1) * sw / (dw * 2);
                const int sy = s.top + ((y - d.top) * 2 + 1) * sh / (dh * 2);
                EXPECT_TRUE(Near(frame.at(x - client.left, y - client.top), OverlayPixel(*md.overlay_surface, sx, sy)))
                    << "screen " << x << "," << y << " source " << sx << "," << sy;
            }
        }
        auto outside = [&](int x, int y) {
            x -= client.left;
            y -= client.top;
            if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) return;
            EXPECT_EQ(frame.at(x, y), under.at(x, y)) << "client " << x << "," << y;
        };
        outside(d.left - 1, d.top);
        outside(d.right, d.bottom - 1);
        outside(d.left, d.top - 1);
        outside(d.right - 1, d.bottom);
    }
};

TEST_F(MovieOverlayTest, AnOverlayMovieIsShownAtItsPlaceAndZoomAndHiddenAgain) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    const std::string path = MakeMovie(96, 64, 10);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not make a movie here";
    ASSERT_NE(GetOverlayPixelFormat(), nullptr);
    int w = 0, h = 0;
    const int movie = OpenMovie(path.c_str(), &w, &h, kMovieSurfaceOverlay);
    ASSERT_NE(movie, -1);
    MovieData* md = GetMovieData(movie);
    const platform::PresentedFrame under = Shown();
    // No frame yet: neither shown nor hidden.
    EXPECT_EQ(UpdateMovieOverlay(10, 20, 2, movie, 1), 0);
    EXPECT_EQ(md->overlay_show, 0);
    EXPECT_FALSE(md->overlay_surface->overlay_shown());
    CloseMovie(movie);

    const int playing = OpenOverlayMovie(path);
    md = GetMovieData(playing);
    Rect client;
    GetWindowClientRect(&client);
    EXPECT_EQ(UpdateMovieOverlay(10, 20, 2, playing, 1), 0);
    EXPECT_EQ(md->overlay_source, (Rect{0, 0, 96, 64}));
    EXPECT_EQ(md->overlay_dest, (Rect{client.left + 10, client.top + 20, client.left + 202, client.top + 148}));
    EXPECT_TRUE(md->overlay_surface->overlay_shown());
    ExpectShown(*md, under);
    // The same place again calls the display not at all: nothing is presented.
    const uint64_t presents = output.output().present_count();
    UpdateMovieOverlay(10, 20, 2, playing, 1);
    UpdateAllMovieOverlays();
    EXPECT_EQ(output.output().present_count(), presents);
    // Zoom 3 elsewhere.
    UpdateMovieOverlay(300, 100, 3, playing, 1);
    EXPECT_EQ(md->overlay_dest, (Rect{client.left + 300, client.top + 100, client.left + 588, client.top + 292}));
    ExpectShown(*md, under);
    // Hidden: the window shows what lies under it; the rectangles go to zero.
    UpdateMovieOverlay(300, 100, 3, playing, 0);
    EXPECT_EQ(md->overlay_source, Rect{});
    EXPECT_EQ(md->overlay_dest, Rect{});
    EXPECT_EQ(Shown().pixels, under.pixels);
    // Zoom 0 leaves no destination.
    UpdateMovieOverlay(300, 100, 1, playing, 1);
    EXPECT_TRUE(md->overlay_surface->overlay_shown());
    UpdateMovieOverlay(300, 100, 0, playing, 1);
    EXPECT_FALSE(md->overlay_surface->overlay_shown());
    // Lost with the display's surfaces, it is restored by the graphs' refresh.
    md->overlay_surface->MarkLost();
    RestoreMovieSurfaces(playing);
    EXPECT_FALSE(md->overlay_surface->is_lost());
    // Shown again, then closing the movie takes it off the screen.
    UpdateMovieOverlay(0, 0, 1, playing, 1);
    EXPECT_NE(Shown().pixels, under.pixels);
    CloseMovie(playing);
    EXPECT_EQ(Shown().pixels, under.pixels);
}

// Places and zooms whose screen rectangle does not fit in 32 bits: far off
// the screen the overlay is hidden; zoomed to 2^25, the client area shows
// the one source pixel under it, worked out by hand.
TEST_F(MovieOverlayTest, AnOverlayPlacedOrZoomedBeyondThirtyTwoBitsIsCutAsAnyOther) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    const std::string path = MakeMovie(96, 64, 10);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not make a movie here";
    const platform::PresentedFrame under = Shown();
    const int playing = OpenOverlayMovie(path);
    MovieData* md = GetMovieData(playing);
    Rect client;
    GetWindowClientRect(&client);

    // 96 x 2^25 pixels wide, its left edge 48 x 2^25 left of the client's:
    // the 48 source columns before the client are cut, and of the 47 x 2^25
    // pixels past its right edge 47 whole columns.
    constexpr int kZoom = 1 << 25;
    EXPECT_EQ(UpdateMovieOverlay(-48 * kZoom, -32 * kZoom, kZoom, playing, 1), 0);
    EXPECT_EQ(md->overlay_source, (Rect{48, 32, 49, 33}));
    EXPECT_EQ(md->overlay_dest, client);
    EXPECT_TRUE(md->overlay_surface->overlay_shown());
    ExpectShown(*md, under);
    // 10 pixels up and left of the client's corner, its right and bottom
    // edges past 2^31: the client shows the top left source pixel.
    EXPECT_EQ(UpdateMovieOverlay(-10, -10, kZoom, playing, 1), 0);
    EXPECT_EQ(md->overlay_source, (Rect{0, 0, 1, 1}));
    EXPECT_EQ(md->overlay_dest, client);
    EXPECT_TRUE(md->overlay_surface->overlay_shown());

    for (const int far : {INT32_MAX - 5, INT32_MIN + 5}) {
        EXPECT_EQ(UpdateMovieOverlay(far, far, 3, playing, 1), 0);
        EXPECT_EQ(md->overlay_show, 0) << far;
        EXPECT_FALSE(md->overlay_surface->overlay_shown()) << far;
        EXPECT_EQ(md->overlay_dest, Rect{}) << far;
    }
}

// A placement and the display's alignment, with the rectangles worked out by
// hand, on a full screen (the client area at (0, 0), 640 x 480).
struct AlignmentCase {
    const char* name;
    platform::OverlayAlignment alignment;
    int width, height, x, y, zoom;
    Rect source, dest;
};

class MovieOverlayAlignmentTest : public MovieOverlayTest, public ::testing::WithParamInterface<AlignmentCase> {};

TEST_P(MovieOverlayAlignmentTest, TheOverlayIsCutAndAlignedAsWorkedOutByHand) {
    const AlignmentCase& c = GetParam();
    platform::SetOverlayAlignment(c.alignment);
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32, 0));
    const std::string path = MakeMovie(c.width, c.height, 4);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not make a movie here";
    const platform::PresentedFrame under = Shown();
    const int movie = OpenOverlayMovie(path);
    MovieData* md = GetMovieData(movie);
    ASSERT_EQ(UpdateMovieOverlay(c.x, c.y, c.zoom, movie, 1), 0);
    EXPECT_EQ(md->overlay_source, c.source);
    EXPECT_EQ(md->overlay_dest, c.dest);
    ExpectShown(*md, under);
}

INSTANTIATE_TEST_SUITE_P(
    Placements, MovieOverlayAlignmentTest,
    ::testing::Values(
        // Left of the screen at zoom 2: the source starts 100 / 2 = 50 in.
        AlignmentCase{"CutOnTheLeft", {}, 320, 240, -100, 0, 2, Rect{50, 0, 320, 240}, Rect{0, 0, 540, 480}},
        // Source boundary 4: 50 becomes 48 and W 270 drops to 268; source
        // size 8: the right edge loses 268 mod 8 = 4.
        AlignmentCase{"SourceAligned", {4, 8, 0, 0}, 320, 240, -100, 0, 2, Rect{48, 0, 316, 240}, Rect{0, 0, 540, 480}},
        // Destination boundary 4: left 3 becomes 0, width 96 + 3 = 99 then
        // 99 - 3 = 93... of which size 8 keeps 88: right 99 - 5 = 94.
        AlignmentCase{"DestinationAligned", {0, 0, 4, 8}, 96, 64, 3, 5, 1, Rect{0, 0, 96, 64}, Rect{0, 5, 94, 69}},
        // Cut at the bottom right at zoom 3: 3 x 96 = 288 from 400 leaves
        // 240 on screen, 48 / 3 = 16 source columns off; 3 x 64 = 192 from
        // 300 leaves 180, 12 / 3 = 4 rows off.
        AlignmentCase{"CutBottomRight", {}, 96, 64, 400, 300, 3, Rect{0, 0, 80, 60}, Rect{400, 300, 640, 480}}),
    [](const ::testing::TestParamInfo<AlignmentCase>& info) { return std::string(info.param.name); });

TEST_F(MovieOverlayTest, ACoveredWindowHidesTheOverlayUntilADrawShowsItAgain) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    const std::string path = MakeMovie(96, 64, 4);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not make a movie here";
    const platform::PresentedFrame under = Shown();
    const int movie = OpenOverlayMovie(path);
    MovieData* md = GetMovieData(movie);
    Rect client;
    GetWindowClientRect(&client);
    // Another window over the top ten rows: the visible box starts at row 10.
    platform::SetWindowCoveredArea(window(), Rect{client.left, client.top, client.right, client.top + 10});
    UpdateMovieOverlay(0, 4, 1, movie, 1);
    EXPECT_EQ(md->overlay_source, (Rect{0, 6, 96, 64}));
    EXPECT_EQ(md->overlay_dest, (Rect{client.left, client.top + 10, client.left + 96, client.top + 68}));
    ExpectShown(*md, under);
    // Covered in a corner: a complex region hides it.
    platform::SetWindowCoveredArea(window(),
                                   Rect{client.left + 50, client.top + 50, client.left + 60, client.top + 60});
    UpdateMovieOverlay(0, 4, 1, movie, 1);
    EXPECT_EQ(md->overlay_show, 0);
    EXPECT_FALSE(md->overlay_surface->overlay_shown());
    EXPECT_EQ(Shown().pixels, under.pixels);
    // Uncovered, the per-frame update keeps it hidden; the next draw shows it.
    platform::SetWindowCoveredArea(window(), Rect{});
    UpdateAllMovieOverlays();
    EXPECT_FALSE(md->overlay_surface->overlay_shown());
    UpdateMovieOverlay(0, 4, 1, movie, 1);
    EXPECT_TRUE(md->overlay_surface->overlay_shown());
    EXPECT_EQ(md->overlay_source, (Rect{0, 0, 96, 64}));
    // Wholly covered: nothing visible.
    platform::SetWindowCoveredArea(window(), client);
    UpdateMovieOverlay(0, 4, 1, movie, 1);
    EXPECT_FALSE(md->overlay_surface->overlay_shown());
}

TEST_F(MovieOverlayTest, WithoutAnOverlayFormatAnOverlayRequestKeepsFramesOfItsOwn) {
    platform::SetOverlaysOffered(false);
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 16, 0));
    const std::string path = MakeMovie(96, 64, 4);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not make a movie here";
    const int movie = OpenMovie(path.c_str(), nullptr, nullptr, kMovieSurfaceOverlay);
    ASSERT_NE(movie, -1);
    const MovieData* md = GetMovieData(movie);
    EXPECT_EQ(md->surface_mode, kMovieSurfaceRgb24) << "1 without an overlay format is 2 on a 16-bit screen";
    EXPECT_EQ(md->overlay_surface, nullptr);
    EXPECT_NE(md->frame_image.pixels, nullptr);
}

TEST_F(MovieOverlayTest, PauseKeepsTheStreamsPlaceAndResumeGoesOnFromIt) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    const std::string path = MakeMovie(96, 64, 50);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not make a movie here";
    const int movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    MovieData* md = GetMovieData(movie);
    md->playing = 1;
    ResumeAllMovies();
    // 0.5 s of play: the frame of 0.48 s (frames every 40 ms).
    for (int i = 0; i < 25; ++i) {
        clock.AdvanceMilliseconds(20);
        UpdateMovieFrame(movie, 0);
    }
    const int64_t at_pause = md->media->GetTime();
    EXPECT_EQ(at_pause, 4'800'000);
    // Paused for resume: the clock moves, the movie does not.
    EXPECT_EQ(PauseMovie(movie, 1), 0);
    EXPECT_EQ(md->media->GetState(), platform::MediaStreamState::kPause);
    EXPECT_EQ(PauseMovie(movie, 1), 0) << "a second pause changes nothing";
    clock.AdvanceMilliseconds(3000);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(md->media->GetTime(), at_pause);
    ResumeAllMovies();
    EXPECT_EQ(md->paused, 0);
    // 100 ms later the movie shows the last frame due by then: 0.48 s +
    // 0.1 s = 0.58 s, whose frame is that of 0.56 s.
    for (int i = 0; i < 5; ++i) {
        clock.AdvanceMilliseconds(20);
        UpdateMovieFrame(movie, 0);
    }
    EXPECT_EQ(md->media->GetTime(), 5'600'000);
    // Paused without keep-resume: activation does not start it.
    PauseMovie(movie, 0);
    ResumeAllMovies();
    EXPECT_EQ(md->paused, 1);
    EXPECT_EQ(md->playing, 0);
}

}  // namespace
}  // namespace velk::testing
