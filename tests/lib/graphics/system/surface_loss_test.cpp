// Display surfaces lost (as a display change or a locked screen loses them):
// the loss is found, the screen surfaces come back, and the graphs are
// restored from their files or through the game's restore routine, so the
// next frame equals the one before the loss.

#include <filesystem>

#include "lib/core/files/file_access.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

int g_callback_runs = 0;

class SurfaceLossTest : public GraphicsTest {
protected:
    void LoadGraphs() {
        std::vector<uint8_t> rgba(16 * 16 * 4);
        for (int i = 0; i < 16 * 16; ++i) {
            rgba[i * 4] = static_cast<uint8_t>(i);
            rgba[i * 4 + 1] = static_cast<uint8_t>(255 - i);
            rgba[i * 4 + 2] = static_cast<uint8_t>(i * 7);
            rgba[i * 4 + 3] = static_cast<uint8_t>(i % 3 == 0 ? 255 : 128);
        }
        WritePngRgba(Path("opaque.png"), 16, 16, rgba, false);
        WritePngRgba(Path("alpha.png"), 16, 16, rgba, true);
        opaque = LoadGraphFromFile(Path("opaque.png").c_str(), 0, 0, 0);
        alpha = LoadGraphFromFile(Path("alpha.png").c_str(), 0, 0, 0);
        ASSERT_NE(opaque, -1);
        ASSERT_NE(alpha, -1);
    }

    platform::PresentedFrame DrawFrame() {
        SetDrawScreen(kBackScreen);
        ClearDrawScreen();
        DrawGraph(10, 10, opaque, 0);
        DrawGraphScaled(40, 10, 104, 74, opaque, 1);
        DrawGraph(120, 10, alpha, 1);
        FlipScreenBody();
        return Shown();
    }

    // The opaque graph's pixels live on a display surface in DirectDraw mode.
    bool OpaqueStoreIsSurface() {
        const GraphData* graph = GetGraphData(opaque);
        const Surface2DData* part = GetSurface2DData(graph->parts[0]);
        return GetSurfaceData(part->store)->surface != nullptr;
    }

    int opaque = -1;
    int alpha = -1;
};

TEST_F(SurfaceLossTest, LostSurfacesAreFoundAndGraphsReloadFromTheirFiles) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    ASSERT_NO_FATAL_FAILURE(LoadGraphs());
    ASSERT_TRUE(OpaqueStoreIsSurface());
    const platform::PresentedFrame before = DrawFrame();

    platform::ForceAllDisplaySurfacesLost();
    EXPECT_NE(CheckSurface2DLost(), 0) << "the loss is reported once";
    // Found again through the window's activation hook: the stores were
    // restored empty above, so lose them once more and let the hook run.
    platform::ForceAllDisplaySurfacesLost();
    ASSERT_EQ(WindowGraphics().check_surface_2d_lost(), 0);
    EXPECT_EQ(CheckSurface2DLost(), 0);
    EXPECT_EQ(GetGraphData(opaque)->needs_restore, 0u);

    const platform::PresentedFrame after = DrawFrame();
    EXPECT_EQ(after.pixels, before.pixels);
}

TEST_F(SurfaceLossTest, GraphsReloadFromTheFolderTheyWereLoadedIn) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    std::string start;
    FileAccessGetDir(&start);
    std::filesystem::create_directories(scratch.path() / "pictures");
    std::vector<uint8_t> rgba(8 * 8 * 4, 255);
    for (int i = 0; i < 64; ++i) rgba[i * 4 + 1] = static_cast<uint8_t>(i * 4);
    WritePngRgba(Path("pictures/ramp.png"), 8, 8, rgba, false);
    ASSERT_EQ(FileAccessChDir(Path("pictures")), 0);
    opaque = LoadGraphFromFile("ramp.png", 0, 0, 0);
    ASSERT_NE(opaque, -1);
    alpha = opaque;
    ASSERT_EQ(FileAccessChDir(scratch.path().string()), 0);
    const platform::PresentedFrame before = DrawFrame();

    platform::ForceAllDisplaySurfacesLost();
    ASSERT_EQ(WindowGraphics().check_surface_2d_lost(), 0);
    EXPECT_EQ(GetGraphData(opaque)->needs_restore, 0u);
    EXPECT_EQ(DrawFrame().pixels, before.pixels);
    // The folder that was current before the restore is current again.
    std::string after;
    FileAccessGetDir(&after);
    EXPECT_EQ(after, std::string(scratch.path().string()));
    FileAccessChDir(start);
}

TEST_F(SurfaceLossTest, TheGamesRestoreRoutineRunsInsteadOfTheBuiltInOne) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    ASSERT_NO_FATAL_FAILURE(LoadGraphs());
    g_callback_runs = 0;
    SetGraphRestoreCallback([] {
        ++g_callback_runs;
        RestoreAllGraphs();
    });
    const platform::PresentedFrame before = DrawFrame();
    platform::ForceAllDisplaySurfacesLost();
    WindowGraphics().check_surface_2d_lost();
    EXPECT_EQ(g_callback_runs, 1);
    EXPECT_EQ(DrawFrame().pixels, before.pixels);

    // Nothing lost: the routine is not run again.
    WindowGraphics().check_surface_2d_lost();
    EXPECT_EQ(g_callback_runs, 1);
}

TEST_F(SurfaceLossTest, AFullRebuildKeepsHandlesAndTheFrame) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    ASSERT_NO_FATAL_FAILURE(LoadGraphs());
    const platform::PresentedFrame before = DrawFrame();
    platform::ForceAllDisplaySurfacesLost();
    ASSERT_EQ(RestoreGraphicsSystem(), 0);
    EXPECT_NE(GetGraphData(opaque), nullptr);
    EXPECT_NE(GetGraphData(alpha), nullptr);
    EXPECT_EQ(DrawFrame().pixels, before.pixels);
}

}  // namespace
}  // namespace velk::testing
