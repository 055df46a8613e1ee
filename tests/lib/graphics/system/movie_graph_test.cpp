// A movie file loaded as a graph: the graph has the movie's size and shows
// the movie's current frame when drawn, in software rendering and in the
// textures of the Direct3D path; deleting the graph closes the movie.

#include <cstring>
#include <fstream>

#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/graph_data.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "lib/movie/movie_handles.h"
#include "lib/movie/theora_movie.h"
#include "lib/softrender/memimg.h"
#include "tests/lib/graphics/system/graphics_fixture.h"
#include "tests/lib/movie/theora_writer.h"

namespace velk::testing {
namespace {

class MovieGraphTest : public GraphicsTest {
protected:
    // The back screen's top-left w x h pixels as XRGB bytes with X = 255.
    std::vector<uint8_t> BackRegion(int w, int h) {
        const int probe = CreateEmptyGraph(w, h, 1);
        GetDrawScreenGraph(0, 0, w, h, probe, 0);
        const SurfaceData* store = GetSurfaceData(GetSurface2DData(GetGraphData(probe)->parts[0])->store);
        std::vector<uint8_t> out;
        for (int r = 0; r < h; ++r) {
            const uint8_t* row = store->image.pixels + static_cast<size_t>(r) * store->image.base->pitch;
            for (int c = 0; c < w; ++c) {
                out.insert(out.end(), row + c * 4, row + c * 4 + 3);
                out.push_back(255);
            }
        }
        DeleteGraph(probe);
        return out;
    }
};

TEST_F(MovieGraphTest, AMovieGraphShowsTheFrameOfTheClock) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    TheoraMovieShape shape;
    shape.frames = 12;
    const std::vector<uint8_t> file = MakeTheoraMovie(shape);
    const auto reference = ReferenceFrames(file);
    std::ofstream(Path("op.ogv"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const int graph = LoadGraphFromFile(Path("op.ogv").c_str(), 0, 0, 0);
    ASSERT_NE(graph, -1);
    const GraphData* g = GetGraphData(graph);
    EXPECT_EQ(g->width, 64);
    EXPECT_EQ(g->height, 48);
    const int movie = g->movie;
    ASSERT_NE(GetMovieData(movie), nullptr);
    // Opened stopped: frame 0, whatever the clock says.
    clock.AdvanceMilliseconds(200);
    ASSERT_EQ(DrawGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(BackRegion(64, 48), reference[0]);
    // Playing from now: frame 7 at 7 / 25 s.
    MovieData* md = GetMovieData(movie);
    md->playing = 1;
    ResumeAllMovies();
    clock.AdvanceMicroseconds(7 * 40000);
    ASSERT_EQ(DrawGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(BackRegion(64, 48), reference[7]);
    DeleteGraph(graph);
    EXPECT_EQ(GetMovieData(movie), nullptr) << "deleting the graph closes its movie";
}

// The 2D path of a display surface: the frame reaches the graph's part in
// the surface's own format, and a part that does not lock says so in the log.
// The 2D path: the frame reaches a graph's part in the part's own format
// (a software image or a display surface), and a display surface that does
// not lock says so in the log and keeps its pixels.
class MovieSurface2DTest : public MovieGraphTest {
protected:
    void SetUp() override {
        SetLogOutputFlag(1);
        SetLogStartDirectory(scratch.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
    }
    void TearDown() override { SetLogStartDirectory(""); }

    int LoadMovie(int frames, std::vector<std::vector<uint8_t>>* reference) {
        TheoraMovieShape shape;
        shape.frames = frames;
        const std::vector<uint8_t> file = MakeTheoraMovie(shape);
        *reference = ReferenceFrames(file);
        std::ofstream(Path("op.ogv"), std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        return LoadGraphFromFile(Path("op.ogv").c_str(), 0, 0, 0);
    }
    static SurfaceData* Store(int graph) {
        return GetSurfaceData(GetSurface2DData(GetGraphData(graph)->parts[0])->store);
    }
    // 64 x 48 16-bit words from rows `pitch` bytes apart.
    static std::vector<uint16_t> Words(const uint8_t* pixels, int pitch) {
        std::vector<uint16_t> out;
        for (int r = 0; r < 48; ++r) {
            const uint8_t* row = pixels + static_cast<size_t>(r) * pitch;
            for (int c = 0; c < 64; ++c)
                out.push_back(static_cast<uint16_t>(row[c * 2] | (row[c * 2 + 1] << 8)));
        }
        return out;
    }
    static std::vector<uint16_t> Words(platform::DdSurface& surface) {
        platform::DdSurfaceDesc desc;
        if (surface.Lock(nullptr, &desc, platform::kDdLockReadOnly) != platform::kDdOk) return {};
        std::vector<uint16_t> out = Words(static_cast<const uint8_t*>(desc.surface), desc.pitch);
        surface.Unlock(nullptr);
        return out;
    }
    // A reference frame (blue, green, red, 255 bytes) packed 5:6:5 by hand.
    static std::vector<uint16_t> As565(const std::vector<uint8_t>& frame) {
        std::vector<uint16_t> out;
        for (size_t i = 0; i < frame.size(); i += 4)
            out.push_back(
                static_cast<uint16_t>(((frame[i + 2] >> 3) << 11) | ((frame[i + 1] >> 2) << 5) | (frame[i] >> 3)));
        return out;
    }
};

TEST_F(MovieSurface2DTest, OnA16BitScreenTheFrameIsPackedIntoThePartsFormat) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 16, 0));
    std::vector<std::vector<uint8_t>> reference;
    const int graph = LoadMovie(12, &reference);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(GetGraphData(graph)->texture, 0);
    MovieData* md = GetMovieData(GetGraphData(graph)->movie);
    md->playing = 1;
    ResumeAllMovies();
    clock.AdvanceMicroseconds(5 * 40000);
    DrawGraph(0, 0, graph, 0);
    // The movie's own graph lives in a software image.
    const SurfaceData* own = Store(graph);
    ASSERT_FALSE(own->surface);
    EXPECT_EQ(Words(own->image.base->pixels, own->image.base->pitch), As565(reference[5]));
    // A graph on a display surface takes the same frame.
    const int target = CreateEmptyGraph(64, 48, 1);
    ASSERT_NE(target, -1);
    ASSERT_TRUE(Store(target)->surface);
    ASSERT_EQ(BltMovieFrameToSurface2D(*md, *GetGraphData(target)), 0);
    EXPECT_EQ(Words(*Store(target)->surface), As565(reference[5]));
    DeleteGraph(target);
    DeleteGraph(graph);
}

TEST_F(MovieSurface2DTest, ASurfaceThatDoesNotLockKeepsItsPixelsAndLogsTheFailure) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 16, 0));
    std::vector<std::vector<uint8_t>> reference;
    const int graph = LoadMovie(12, &reference);
    ASSERT_NE(graph, -1);
    const MovieData* md = GetMovieData(GetGraphData(graph)->movie);
    const int target = CreateEmptyGraph(64, 48, 1);
    platform::DdSurface& surface = *Store(target)->surface;
    ASSERT_EQ(BltMovieFrameToSurface2D(*md, *GetGraphData(target)), 0);
    ASSERT_EQ(Words(surface), As565(reference[0]));
    // Another frame, while the surface is held by someone else.
    SeekTheoraFrame(md->decoder, 4);
    ConvertTheoraFrame(md->decoder, 1, 0);
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(surface.Lock(nullptr, &desc, 0), platform::kDdOk);
    EXPECT_EQ(BltMovieFrameToSurface2D(*md, *GetGraphData(target)), -1);
    surface.Unlock(nullptr);
    EXPECT_EQ(Words(surface), As565(reference[0]));
    // "ムービーグラフィック転送先サーフェスのロックに失敗しました"
    EXPECT_NE(scratch.ReadFile("Log.txt").find("\x83\x80\x81[\x83r\x81[\x83O\x83\x89\x83t\x83"
                                               "B\x83"
                                               "b\x83N\x93]"
                                               "\x91\x97\x90\xE6\x83T\x81[\x83t\x83"
                                               "F\x83X\x82\xCC\x83\x8D\x83"
                                               "b"
                                               "\x83N\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD"),
              std::string::npos);
    EXPECT_EQ(BltMovieFrameToSurface2D(*md, *GetGraphData(target)), 0);
    EXPECT_EQ(Words(surface), As565(reference[4]));
    DeleteGraph(target);
    DeleteGraph(graph);
}

class MovieTextureTest : public MovieGraphTest, public ::testing::WithParamInterface<RenderMode> {
protected:
    // The graph's one texture, its used area as XRGB bytes with X = 255.
    std::vector<uint8_t> TextureBytes(int graph) {
        const GraphData* g = GetGraphData(graph);
        const Surface3DData* part = GetSurface3DData(g->parts[0]);
        SurfaceData* store = GetSurfaceData(part->surface_data);
        platform::DdSurfaceDesc desc;
        std::vector<uint8_t> out;
        if (store->surface->Lock(nullptr, &desc, platform::kDdLockReadOnly) != platform::kDdOk) return out;
        for (int r = 0; r < part->height; ++r) {
            const uint8_t* row = static_cast<const uint8_t*>(desc.surface) + static_cast<size_t>(r) * desc.pitch;
            for (int c = 0; c < part->width; ++c) {
                out.insert(out.end(), row + c * 4, row + c * 4 + 3);
                out.push_back(row[c * 4 + 3] == 255 ? 255 : 0);  // opaque, as the frame is
            }
        }
        store->surface->Unlock(nullptr);
        return out;
    }
    // The back screen's top-left w x h pixels as XRGB bytes, read from a saved picture.
    std::vector<uint8_t> ShownRegion(int w, int h) {
        const std::string saved = Path("screen.bmp");
        EXPECT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 0, 0, 0, -1), 0);
        int width = 0, height = 0;
        const std::vector<uint32_t> pixels = ReadImagePixels(saved, &width, &height);
        std::vector<uint8_t> out;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const uint32_t p = pixels[static_cast<size_t>(r) * 640 + c];
                out.insert(out.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                       static_cast<uint8_t>(p >> 16), 255});
            }
        return out;
    }
};

TEST_P(MovieTextureTest, WithTheDirect3DPathOnAMovieGraphsFramesReachItsTexture) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(GetParam(), 32));
    if (IsSkipped()) return;
    TheoraMovieShape shape;
    shape.frames = 12;
    const std::vector<uint8_t> file = MakeTheoraMovie(shape);
    const auto reference = ReferenceFrames(file);
    std::ofstream(Path("op.ogv"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    // As pictures load their images.
    const int graph = LoadGraphAsOneTexture(Path("op.ogv").c_str());
    ASSERT_NE(graph, -1);
    ASSERT_EQ(GetGraphData(graph)->texture, 1);
    ASSERT_EQ(GetGraphData(graph)->part_count, 1);
    ASSERT_EQ(DrawGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(TextureBytes(graph), reference[0]);
    MovieData* md = GetMovieData(GetGraphData(graph)->movie);
    // The texture takes the frame from the movie's YUV surface.
    ASSERT_NE(GetTheoraYuvSurface(md->decoder), nullptr);
    EXPECT_EQ(GetTheoraYuvFourCc(md->decoder), platform::kFourCcYv12);
    md->playing = 1;
    ResumeAllMovies();
    clock.AdvanceMicroseconds(7 * 40000);
    ASSERT_EQ(DrawGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(TextureBytes(graph), reference[7]);
    // On OpenGL the texture is what the screen shows.
    if (GetParam() == RenderMode::kDirect3D) {
        EXPECT_EQ(ShownRegion(64, 48), reference[7]);
    }
    DeleteGraph(graph);
}

INSTANTIATE_TEST_SUITE_P(Devices, MovieTextureTest,
                         ::testing::Values(RenderMode::kRecordedDirect3D, RenderMode::kDirect3D));

}  // namespace
}  // namespace velk::testing
