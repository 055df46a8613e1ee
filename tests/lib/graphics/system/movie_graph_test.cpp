// A movie file loaded as a graph: the graph has the movie's size and shows
// the movie's current frame when drawn, in software rendering; deleting the
// graph closes the movie.

#include <cstring>
#include <fstream>

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

}  // namespace
}  // namespace velk::testing
