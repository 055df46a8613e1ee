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
