// The screen side's rules one by one: display modes and their fall-backs,
// the measurements, pixel stores and 2D surfaces, masks, the 2D draws' edge
// cases in both modes, the present's scaling and the save.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

#include "lib/core/window/message_processing.h"
#include "lib/graphics/draw2d/box_line_2d.h"
#include "lib/graphics/draw2d/graph_draw_2d.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_surface.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

using ScreenModeTest = GraphicsTest;

TEST_F(ScreenModeTest, ModeChangesFallBackInOrderAndRefusedCallsKeepGraphs) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 16, 0));
    EXPECT_EQ(GetColorBitDepth(), 16);
    EXPECT_EQ(GetDisplayPixelFormatBody()->red_mask, 0xF800u);
    EXPECT_EQ(Screen().format_code, kPixelFormatCodeR5G6B5);

    // Nothing asked, nothing forced: untouched.
    const int graph = CreateEmptyGraph(8, 8, 1);
    ASSERT_NE(graph, -1);
    EXPECT_EQ(ChangeDisplayMode(-1, -1, -1, 0, -1), 0);
    EXPECT_EQ(CheckValidGraphHandle(graph), 1);
    // A refused request keeps every graph.
    EXPECT_EQ(SetScreenModeBody(0, 480, 16, -1), -1);
    EXPECT_EQ(SetScreenModeBody(640, 480, 24, -1), -1);
    EXPECT_EQ(CheckValidGraphHandle(graph), 1);

    // The display refuses 800 x 600 at 32 bits with a rate: without the rate it works.
    platform::SetDisplayModeFilter([](const platform::DisplayMode& m) { return m.refresh_rate == 0; });
    EXPECT_EQ(SetScreenModeBody(800, 600, 32, 60), -1);
    EXPECT_EQ(ScreenWidth(), 800);
    EXPECT_EQ(platform::CurrentDisplayMode().width, 800);

    // Refused outright: the previous mode comes back.
    platform::SetDisplayModeFilter([](const platform::DisplayMode& m) { return m.width != 1024; });
    EXPECT_EQ(SetScreenModeBody(1024, 768, 32, 0), -1);
    EXPECT_EQ(ScreenWidth(), 800);
    EXPECT_EQ(GetColorBitDepth(), 32);

    // Only the last resort is accepted.
    platform::SetDisplayModeFilter([](const platform::DisplayMode& m) { return m.width == 640 && m.bits == 16; });
    EXPECT_EQ(SetScreenModeBody(1280, 720, 32, 0), -2);
    EXPECT_EQ(ScreenWidth(), 640);
    EXPECT_EQ(GetColorBitDepth(), 16);
}

// Every depth value of the screen's depth store, read as a draw would.
std::vector<uint32_t> ScreenDepths() {
    std::vector<uint32_t> depths;
    ScreenState& s = Screen();
    if (s.z_buffer) {
        platform::DdSurfaceDesc desc;
        EXPECT_EQ(s.z_buffer->Lock(nullptr, &desc, platform::kDdLockWait | platform::kDdLockReadOnly), platform::kDdOk);
        const int bytes = s.z_buffer->bytes_per_pixel();
        for (uint32_t y = 0; y < desc.height; ++y)
            for (uint32_t x = 0; x < desc.width; ++x) {
                uint32_t depth = 0;
                std::memcpy(&depth, static_cast<uint8_t*>(desc.surface) + y * desc.pitch + x * bytes, bytes);
                depths.push_back(depth);
            }
        s.z_buffer->Unlock(nullptr);
        return depths;
    }
    const MEMIMG& z = s.z_image;
    const int bytes = MemImgBytesPerPixel(*z.base);
    for (int y = 0; y < z.height; ++y)
        for (int x = 0; x < z.width; ++x) {
            uint32_t depth = 0;
            std::memcpy(&depth, z.pixels + y * z.base->pitch + x * bytes, bytes);
            depths.push_back(depth);
        }
    return depths;
}

// Two clears in a row, then the same after the screens (and their depth
// store) were made again for another mode.
void ExpectClearsLeaveTheDepthFar() {
    for (int round = 0; round < 2; ++round) {
        SetDrawScreen(kBackScreen);
        ClearDrawScreen();
        ClearDrawScreen();
        const std::vector<uint32_t> depths = ScreenDepths();
        ASSERT_EQ(depths.size(), static_cast<size_t>(ScreenWidth()) * ScreenHeight());
        EXPECT_EQ(std::count(depths.begin(), depths.end(), 65535u), static_cast<ptrdiff_t>(depths.size()));
        ASSERT_EQ(SetScreenModeBody(800, 600, 32, -1), 0);
    }
}

TEST_F(ScreenModeTest, SoftwareClearsLeaveTheDepthFarAlsoAfterTheScreensAreMadeAgain) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    ASSERT_FALSE(Screen().z_buffer);
    ExpectClearsLeaveTheDepthFar();
}

TEST_F(ScreenModeTest, SurfaceClearsLeaveTheDepthFarAlsoAfterTheScreensAreMadeAgain) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    ASSERT_TRUE(Screen().z_buffer);
    ExpectClearsLeaveTheDepthFar();
}

TEST_F(ScreenModeTest, StartUpMeasuresTheFrameAndTheSurfaceCopy) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    // A 60 Hz frame is 16 or 17 whole milliseconds; the pacing threshold is
    // two thirds of it less a little.
    ASSERT_TRUE(Screen().frame_time == 16 || Screen().frame_time == 17) << Screen().frame_time;
    EXPECT_EQ(Screen().pacing_threshold, (Screen().frame_time * 2 - 4) / 3);
    // On a clock that does not move both copies take no time: GDI is chosen.
    EXPECT_EQ(Screen().transfer_method, kTransferGdi);
    EXPECT_EQ(Screen().display_bits, 32);
    EXPECT_EQ(Screen().format_code, kPixelFormatCodeX8R8G8B8);

    // Two vertical-blank waits take two frames of the beam.
    const int64_t start = clock.Microseconds();
    ASSERT_EQ(WaitVSync(2), 0);
    const int64_t waited = clock.Microseconds() - start;
    EXPECT_GT(waited, 16667);
    EXPECT_LE(waited, 2 * 16667 + 1);
}

TEST_F(ScreenModeTest, WithoutDirectDrawTheScreenIsSoftwareAndTheWindowDrawsThroughGdi) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftwareGdi, 16));
    EXPECT_EQ(GetUseDirectDrawFlag(), 0);
    EXPECT_EQ(GetSoftRenderFlag(), 1);
    // The window shows the 32-bit desktop; the screen itself is 16-bit.
    EXPECT_EQ(GetColorBitDepth(), 16);
    EXPECT_EQ(Screen().display_bits, 32);
    EXPECT_EQ(Screen().format_code, kPixelFormatCodeX8R8G8B8);
    EXPECT_EQ(Screen().refresh_rate_measured, 60);
    EXPECT_EQ(Screen().pacing_threshold, -1);
    EXPECT_EQ(GetDrawTargetSurface(), nullptr);
    EXPECT_NE(GetDrawTargetMemImg(), nullptr);
}

// The software back image lies over the screen's own store, rows laid out as
// any software image's, in either mode and at either depth; the store goes
// with the screens.
TEST_F(ScreenModeTest, TheSoftwareBackImageLiesOverTheScreensOwnStore) {
    for (const auto& [mode, bits, pitch] :
         {std::tuple{RenderMode::kSoftwareGdi, 32, 2560}, std::tuple{RenderMode::kSoftwareGdi, 16, 1280},
          std::tuple{RenderMode::kSoftware, 16, 1280}}) {
        SCOPED_TRACE(bits);
        ASSERT_NO_FATAL_FAILURE(StartGraphics(mode, bits));
        const ScreenState& s = Screen();
        ASSERT_EQ(s.back_image_on_surface, 0);
        EXPECT_EQ(s.back_image.pixels, s.back_image_store.data());
        EXPECT_EQ(s.back_image.base->pitch, pitch);
        EXPECT_GE(s.back_image_store.size(), static_cast<size_t>(pitch) * 480);
        TermGraphicsSystem();
        EXPECT_TRUE(Screen().back_image_store.empty());
        EndMainWindow();
        ResetWindowState();
        ResetScreenState();
        platform::ResetDisplayForTests();
    }
}

using PixelStoreTest = GraphicsTest;

TEST_F(PixelStoreTest, LocksNestAndStoresFollowTheirParameters) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    SurfaceCreateParams params;
    params.color_depth = 32;
    const int store = AddSurfaceData(1, 40, 30, 0xFE00FE, params);
    ASSERT_NE(store, -1);
    SurfaceData* data = GetSurfaceData(store);
    EXPECT_NE(data->surface, nullptr);
    EXPECT_EQ(data->params.system_memory, 1) << "the display gave system memory";

    int pitch = 0;
    uint8_t* pixels = nullptr;
    const ColorData* color = nullptr;
    ASSERT_EQ(LockSurfaceData(store, &pitch, &pixels, 0, nullptr, &color), 0);
    uint8_t* again = nullptr;
    EXPECT_EQ(LockSurfaceData(store, &pitch, &again, 0, nullptr, &color), -2);
    EXPECT_EQ(again, pixels);
    EXPECT_EQ(UnlockSurfaceData(store, nullptr), 0);
    EXPECT_TRUE(data->surface->is_locked());
    EXPECT_EQ(UnlockSurfaceData(store, nullptr), 0);
    EXPECT_FALSE(data->surface->is_locked());
    EXPECT_EQ(UnlockSurfaceData(store, nullptr), -1);

    // Alpha and one-texture records live in software images; one-texture
    // ones are one-channel 8-bit whatever the depth says.
    params.alpha_channel = 1;
    const int with_alpha = AddSurfaceData(1, 4, 4, 0, params);
    EXPECT_EQ(GetSurfaceData(with_alpha)->software_image, 1);
    EXPECT_EQ(GetSurfaceData(with_alpha)->image.base->use_alpha, 1);
    params.alpha_channel = 0;
    params.one_texture = 1;
    const int one = AddSurfaceData(1, 4, 4, 0, params);
    EXPECT_EQ(GetSurfaceData(one)->image.base->format, kMemImgFormat8);

    // Refused sizes make nothing.
    EXPECT_EQ(AddSurfaceData(1, 0, 4, 0, params), -1);
    EXPECT_EQ(AddSurfaceData(1, 70000, 4, 0, params), -1);
    DeleteSurfaceData(store);
    DeleteSurfaceData(with_alpha);
    DeleteSurfaceData(one);
    EXPECT_EQ(GetSurfaceData(store), nullptr);
}

TEST_F(PixelStoreTest, DerivedPartsShareTheStoreAndHandlesGoStale) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    const int parent = CreateEmptyGraph(32, 32, 1);
    const int child = CreateDerivedGraph(8, 8, 16, 16, parent);
    ASSERT_NE(child, -1);
    const int parent_part = GetGraphData(parent)->parts[0];
    const int child_part = GetGraphData(child)->parts[0];
    const int store = GetSurface2DData(parent_part)->store;
    EXPECT_EQ(GetSurface2DData(child_part)->store, store);
    EXPECT_EQ(GetSurface2DData(child_part)->source_x, 8);
    EXPECT_EQ(GetSurfaceData(store)->ref_count, 2);

    // The child goes first: the parent's pixels stay.
    DeleteGraph(child);
    EXPECT_EQ(GetSurface2DData(child_part), nullptr);
    EXPECT_NE(GetSurfaceData(store), nullptr);
    EXPECT_EQ(GetSurfaceData(store)->ref_count, 1);
    DeleteGraph(parent);
    EXPECT_EQ(GetSurfaceData(store), nullptr);
    EXPECT_EQ(DeleteSurface2D(parent_part), 0) << "a stale handle is ignored";
    EXPECT_EQ(GetSurface2DCount(), 0);
}

TEST_F(PixelStoreTest, DrawingOntoADerivedGraphDrawsWhereItLies) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    const int parent = MakeDrawTarget(20, 20);
    const int child = CreateDerivedGraph(10, 10, 10, 10, parent);
    ASSERT_EQ(SetDrawScreen(child), 0);
    SetBackgroundColor(0, 0, 0);
    DrawBox(0, 0, 2, 2, GetColorValue(255, 0, 0), 1);
    SetDrawScreen(kBackScreen);
    const SurfaceData* store = GetSurfaceData(GetSurface2DData(GetGraphData(parent)->parts[0])->store);
    const uint32_t* row10 = reinterpret_cast<const uint32_t*>(MemImgPixelAddress(store->image, 0, 10));
    EXPECT_EQ(row10[10] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(row10[0] & 0xFFFFFF, 0u);
}

// The back screen's pixel, read back through a 1 x 1 graph.
uint32_t BackPixel(int x, int y) {
    const int probe = CreateEmptyGraph(1, 1, 1);
    GetDrawScreenGraph(x, y, x + 1, y + 1, probe, 0);
    const SurfaceData* store = GetSurfaceData(GetSurface2DData(GetGraphData(probe)->parts[0])->store);
    uint32_t value = 0;
    if (store->surface) {
        std::memcpy(&value, store->surface->row(0), 4);
    } else {
        std::memcpy(&value, store->image.pixels, 4);
    }
    DeleteGraph(probe);
    return value & 0xFFFFFF;
}

struct ModeCase {
    RenderMode mode;
    const char* name;
};

class TwoDDrawTest : public GraphicsTest, public ::testing::WithParamInterface<ModeCase> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartGraphics(GetParam().mode, 32)); }
    bool Software() const { return GetParam().mode != RenderMode::kDirectDraw; }
};

TEST_P(TwoDDrawTest, EmptyDrawsAndLinesFollowTheirModesRules) {
    const int graph = CreateEmptyGraph(16, 16, 1);
    GraphData& g = *GetGraphData(graph);
    // Wholly outside the draw area: the plain draw is fine, the scaled one
    // is refused only when it must lock.
    EXPECT_EQ(DrawSurface2D(700, 10, g.parts[0], 0), 0);
    EXPECT_EQ(DrawGraphScaled2D(700, 10, 740, 50, &g, 0, -1), Software() ? 0 : -1);
    EXPECT_EQ(DrawLines2D(nullptr, 0), Software() ? 0 : -1);
    // A bad part or graph is a failure in both modes.
    EXPECT_EQ(DrawSurface2D(0x28001234, 0, 0, 0), -1);
    GraphData no_parts;
    EXPECT_EQ(DrawGraph2D(0, 0, no_parts, 0), -1);
    EXPECT_EQ(DrawGraphFourCornerInt2D(0, 0, 10, 0, 0, 10, 10, 10, no_parts, 0), -1);
    EXPECT_EQ(DeleteGraphSurfaces2D(no_parts), 0);
}

TEST_P(TwoDDrawTest, ASingleLineAndAMirroredScaledDrawLandExactly) {
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    const LineRecord line{100, 5, 0, 5, GetColorValue(255, 255, 255), 255};
    ASSERT_EQ(DrawLines2D(&line, 1), 0);
    EXPECT_EQ(BackPixel(100, 5), 0xFFFFFFu);
    EXPECT_EQ(BackPixel(1, 5), 0xFFFFFFu);
    EXPECT_EQ(BackPixel(0, 5), 0u) << "the end point is not drawn";

    std::vector<uint8_t> rgba(2 * 1 * 4, 255);
    rgba[0] = 255, rgba[1] = 0, rgba[2] = 0;  // left red
    rgba[4] = 0, rgba[5] = 0, rgba[6] = 255;  // right blue
    WritePngRgba(Path("pair.png"), 2, 1, rgba, false);
    const int pair = LoadGraphFromFile(Path("pair.png").c_str(), 0, 0, 0);
    ASSERT_EQ(DrawGraphScaled(20, 20, 10, 22, pair, 0), 0);  // x mirrored, 5x wider, 2 rows
    EXPECT_EQ(BackPixel(10, 20), 0x0000FFu);
    EXPECT_EQ(BackPixel(19, 21), 0xFF0000u);
    EXPECT_EQ(BackPixel(20, 20), 0u);
}

TEST_P(TwoDDrawTest, FourCornersAreTopLeftTopRightBottomLeftBottomRight) {
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    // 2 x 2: red, green / blue, white.
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    WritePngRgba(Path("four.png"), 2, 2, rgba, false);
    const int graph = LoadGraphFromFile(Path("four.png").c_str(), 0, 0, 0);
    ASSERT_EQ(DrawModiGraphF(10, 10, 14, 10, 10, 14, 14, 14, graph, 0), 0);
    EXPECT_EQ(BackPixel(10, 10), 0xFF0000u);
    EXPECT_EQ(BackPixel(13, 10), 0x00FF00u);
    EXPECT_EQ(BackPixel(10, 13), 0x0000FFu);
    EXPECT_EQ(BackPixel(13, 13), 0xFFFFFFu);
}

TEST_P(TwoDDrawTest, ClearsCoverTheWholeTargetWhateverTheSettings) {
    SetBackgroundColor(10, 20, 30);
    SetDrawArea(100, 100, 110, 110);
    SetDrawBlendMode(1, 0);
    ASSERT_EQ(ClearDrawScreen(), 0);
    SetDrawBlendMode(0, 255);
    SetDrawArea(0, 0, 640, 480);
    EXPECT_EQ(BackPixel(0, 0), 0x0A141Eu);
    EXPECT_EQ(BackPixel(639, 479), 0x0A141Eu);

    const int target = MakeDrawTarget(8, 8);
    ASSERT_EQ(SetDrawScreen(target), 0);
    SetDrawArea(2, 2, 4, 4);
    SetDrawBlendMode(2, 200);
    SetBackgroundColor(200, 100, 50);
    ASSERT_EQ(ClearDrawScreen(), 0);
    SetDrawBlendMode(0, 255);
    SetDrawScreen(kBackScreen);
    DrawGraph(0, 0, target, 0);
    EXPECT_EQ(BackPixel(0, 0), 0xC86432u);
    EXPECT_EQ(BackPixel(7, 7), 0xC86432u);
}

TEST_P(TwoDDrawTest, ReadBackRefusesRectanglesThatDoNotFit) {
    const int graph = CreateEmptyGraph(640, 480, 1);
    EXPECT_EQ(GetDrawScreenGraph(0, 0, 640, 480, graph, 0), 0);
    EXPECT_EQ(GetDrawScreenGraph(1, 0, 641, 480, graph, 0), -1);
    EXPECT_EQ(GetDrawScreenGraph(0, 0, 320, 480, graph, 0), -1);
    EXPECT_EQ(GetDrawScreenGraph(-1, 0, 639, 480, graph, 0), -1);
}

using DrawLockTest = GraphicsTest;

TEST_F(DrawLockTest, AFailedLockDrawsNothingAndReportsIt) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    const int graph = CreateEmptyGraph(4, 4, 1);
    FillGraph(graph, 255, 255, 255, 255);
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(Screen().back->Lock(nullptr, &desc, platform::kDdLockWait), platform::kDdOk);
    SetDrawBlendMode(2, 255);  // a blend: the draw needs the locked target
    EXPECT_EQ(DrawGraph(10, 10, graph, 0), -1);
    EXPECT_EQ(DrawFilledBox2D(0, 0, 8, 8, 0xFFFFFF), -1);
    Screen().back->Unlock(nullptr);
    EXPECT_EQ(BackPixel(10, 10), 0u);
    EXPECT_EQ(BackPixel(0, 0), 0u);
    EXPECT_EQ(DrawGraph(10, 10, graph, 0), 0);
    SetDrawBlendMode(0, 255);
    EXPECT_EQ(BackPixel(10, 10), 0xFFFFFFu);
}

TEST_F(DrawLockTest, ThePlainCopyIsHandedToTheDisplayOnlyBetweenSurfacesOfOneMemoryKind) {
    platform::SetVideoMemoryReported(true);
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    const int graph = CreateEmptyGraph(4, 4, 1);
    FillGraph(graph, 255, 255, 255, 255);
    const SurfaceData* store = GetSurfaceData(GetSurface2DData(GetGraphData(graph)->parts[0])->store);
    uint32_t caps = 0;
    store->surface->GetCaps(&caps);
    ASSERT_NE(caps & platform::kDdsCapsVideoMemory, 0u);

    // Video memory onto the back screen in system memory: drawn through the
    // lock, which a locked back screen refuses.
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(Screen().back->Lock(nullptr, &desc, platform::kDdLockWait), platform::kDdOk);
    EXPECT_EQ(DrawGraph(10, 10, graph, 0), -1);
    Screen().back->Unlock(nullptr);
    EXPECT_EQ(DrawGraph(10, 10, graph, 0), 0);
    EXPECT_EQ(BackPixel(10, 10), 0xFFFFFFu);

    // Video memory onto video memory: the display copies it.
    const int target = MakeDrawTarget(16, 16);
    ASSERT_EQ(SetDrawScreen(target), 0);
    ClearDrawScreen();
    EXPECT_EQ(DrawGraph(0, 0, graph, 0), 0);
    // A blend onto video memory reads a copy made through the work surface.
    SetDrawBlendMode(1, 128);
    EXPECT_EQ(DrawGraph(8, 8, graph, 0), 0);
    SetDrawBlendMode(0, 255);
    SetDrawScreen(kBackScreen);
    ClearDrawScreen();
    DrawGraph(0, 0, target, 0);
    EXPECT_EQ(BackPixel(0, 0), 0xFFFFFFu);
    const uint32_t half = BackPixel(9, 9);
    EXPECT_TRUE(half == 0x7F7F7Fu || half == 0x808080u) << std::hex << half;
    EXPECT_EQ(BackPixel(12, 12), 0u);
}

// Plain copies go straight to the display without the lock; each draw
// decides it again from the settings, the target and the graph of that draw.
TEST_F(DrawLockTest, EachDrawDecidesItsPlainCopyAfresh) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    constexpr uint32_t kBlue = 0x0000FF, kWhite = 0xFFFFFF;
    SetBackgroundColor(0, 0, 255);
    ClearDrawScreen();
    // A 4 x 4 tile: its left half white, its right half the key (black).
    const int tile = MakeDrawTarget(4, 4);
    ASSERT_EQ(SetDrawScreen(tile), 0);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    DrawBox(0, 0, 2, 4, GetColorValue(255, 255, 255), 1);
    SetBackgroundColor(0, 0, 255);
    ASSERT_EQ(SetDrawScreen(kBackScreen), 0);

    EXPECT_EQ(DrawGraph(0, 0, tile, 1), 0);
    EXPECT_EQ(BackPixel(1, 1), kWhite);
    EXPECT_EQ(BackPixel(3, 1), kBlue);  // keyed out
    // Brightness set between two draws: the second goes through the lock.
    SetDrawBrightness(128, 128, 128);
    EXPECT_EQ(DrawGraph(8, 0, tile, 1), 0);
    SetDrawBrightness(255, 255, 255);
    EXPECT_EQ(BackPixel(8, 0), 0x808080u);
    EXPECT_EQ(BackPixel(11, 0), kBlue);
    SetDrawBlendMode(1, 128);
    EXPECT_EQ(DrawGraph(16, 0, tile, 0), 0);
    const uint32_t half = BackPixel(16, 0);
    EXPECT_TRUE(half == 0x7F7FFFu || half == 0x8080FFu) << std::hex << half;
    SetDrawBlendMode(0, 255);
    EXPECT_EQ(DrawGraph(24, 0, tile, 0), 0);
    EXPECT_EQ(BackPixel(24, 0), kWhite);
    EXPECT_EQ(BackPixel(27, 0), 0u);  // unkeyed: the black half too
    // A scaled draw at the graph's own size is the same copy.
    EXPECT_EQ(DrawGraphScaled(32, 0, 36, 4, tile, 1), 0);
    EXPECT_EQ(BackPixel(32, 0), kWhite);
    EXPECT_EQ(BackPixel(35, 0), kBlue);
    SetDrawBrightness(128, 128, 128);
    EXPECT_EQ(DrawGraphScaled(32, 8, 36, 12, tile, 1), 0);
    SetDrawBrightness(255, 255, 255);
    EXPECT_EQ(BackPixel(33, 9), 0x808080u);
    EXPECT_EQ(BackPixel(34, 9), kBlue);

    // The draw screen switched: the copy lands on the new target only.
    const int target = MakeDrawTarget(8, 8);
    ASSERT_EQ(SetDrawScreen(target), 0);
    ClearDrawScreen();
    EXPECT_EQ(DrawGraph(4, 4, tile, 1), 0);
    ASSERT_EQ(SetDrawScreen(kBackScreen), 0);
    EXPECT_EQ(BackPixel(4, 4), kBlue);
    EXPECT_EQ(DrawGraph(40, 0, target, 0), 0);
    EXPECT_EQ(BackPixel(44, 4), kWhite);
    EXPECT_EQ(BackPixel(43, 3), kBlue);

    // A lock left held is let go before the copy, which a locked back
    // screen would refuse.
    ASSERT_EQ(LockDrawScreenMemImg(nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr), 0);
    ASSERT_TRUE(Screen().back->is_locked());
    EXPECT_EQ(DrawGraph(48, 0, tile, 1), 0);
    EXPECT_FALSE(Screen().back->is_locked());
    EXPECT_EQ(BackPixel(48, 0), kWhite);

    // A deleted graph's handle draws nothing, also once its slot is taken again.
    ASSERT_EQ(DeleteGraph(tile), 0);
    const int red = MakeDrawTarget(4, 4);
    ASSERT_EQ(SetDrawScreen(red), 0);
    SetBackgroundColor(255, 0, 0);
    ClearDrawScreen();
    SetBackgroundColor(0, 0, 255);
    ASSERT_EQ(SetDrawScreen(kBackScreen), 0);
    EXPECT_EQ(DrawGraph(56, 0, tile, 0), -1);
    EXPECT_EQ(BackPixel(56, 0), kBlue);
    EXPECT_EQ(DrawGraph(56, 0, red, 0), 0);
    EXPECT_EQ(BackPixel(56, 0), 0xFF0000u);

    // A lost source surface copies nothing; the draw itself is not refused.
    GetSurfaceData(GetSurface2DData(GetGraphData(red)->parts[0])->store)->surface->MarkLost();
    EXPECT_EQ(DrawGraph(64, 0, red, 0), 0);
    EXPECT_EQ(BackPixel(64, 0), kBlue);
}

INSTANTIATE_TEST_SUITE_P(Modes, TwoDDrawTest,
                         ::testing::Values(ModeCase{RenderMode::kSoftware, "software"},
                                           ModeCase{RenderMode::kDirectDraw, "directdraw"}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

using PresentTest = GraphicsTest;

TEST_F(PresentTest, TheWindowShowsTheScreenScaledByTheWindowRate) {
    MainWindowState().size_rate = 1.5;
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    ASSERT_EQ(SetScreenModeBody(800, 600, 32, -1), 0);
    ASSERT_EQ(FitWindowToDrawScreen(), 0);
    SetDrawScreen(kBackScreen);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    DrawBox(799, 599, 800, 600, GetColorValue(255, 0, 0), 1);
    DrawBox(0, 0, 1, 1, GetColorValue(0, 255, 0), 1);
    ASSERT_EQ(FlipScreenBody(), 0);
    const platform::PresentedFrame frame = Shown();
    ASSERT_EQ(frame.width, 1200);
    ASSERT_EQ(frame.height, 900);
    EXPECT_EQ(frame.at(1199, 899), 0xFF0000u);
    // Each window pixel shows the screen pixel under its centre.
    EXPECT_EQ(frame.at(1198, 898), 0xFF0000u);
    EXPECT_EQ(frame.at(1197, 897), 0u);
    EXPECT_EQ(frame.at(0, 0), 0x00FF00u);
    EXPECT_EQ(frame.at(1, 1), 0u);
}

TEST_F(PresentTest, APartialPresentOverTheRightEdgeShowsItsVisiblePart) {
    for (RenderMode mode : {RenderMode::kSoftware, RenderMode::kSoftwareGdi, RenderMode::kDirectDraw}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ASSERT_NO_FATAL_FAILURE(StartGraphics(mode, 32));
        SetDrawScreen(kBackScreen);
        SetBackgroundColor(0, 0, 0);
        ClearDrawScreen();
        ASSERT_EQ(FlipScreenBody(), 0);
        DrawBox(600, 0, 630, 480, GetColorValue(0, 255, 0), 1);
        DrawBox(630, 0, 640, 480, GetColorValue(255, 0, 0), 1);
        DrawBox(0, 0, 600, 480, GetColorValue(0, 0, 255), 1);
        // From x 600 to 700 over rows 0-9: only 600-639 lie on the screen.
        const Rect across{600, 0, 700, 10};
        ASSERT_EQ(CopyBackBufferToWindow(&across), 0);
        const platform::PresentedFrame frame = Shown();
        ASSERT_EQ(frame.width, 640);
        for (int y : {0, 9}) {
            EXPECT_EQ(frame.at(600, y), 0x00FF00u) << y;
            EXPECT_EQ(frame.at(629, y), 0x00FF00u) << y;
            EXPECT_EQ(frame.at(630, y), 0xFF0000u) << y;
            EXPECT_EQ(frame.at(639, y), 0xFF0000u) << y;
            EXPECT_EQ(frame.at(599, y), 0u) << "left of the rectangle " << y;
        }
        EXPECT_EQ(frame.at(635, 10), 0u) << "below the rectangle";
        // Over the left and bottom edges, the same.
        const Rect below_left{-40, 470, 5, 500};
        ASSERT_EQ(CopyBackBufferToWindow(&below_left), 0);
        const platform::PresentedFrame corner = Shown();
        EXPECT_EQ(corner.at(0, 470), 0x0000FFu);
        EXPECT_EQ(corner.at(4, 479), 0x0000FFu);
        EXPECT_EQ(corner.at(5, 479), 0u);
        EXPECT_EQ(corner.at(0, 469), 0u);
        TermGraphicsSystem();
        EndMainWindow();
        ResetWindowState();
        ResetScreenState();
        platform::ResetDisplayForTests();
    }
}

// Without DirectDraw the window's picture after a present is the frame as
// shown, which the output holds: drawing the next frame into the back screen
// changes nothing in the window, a repaint of a part shows that part of the
// new frame over the old, and the front screen reads back exactly that.
TEST_F(PresentTest, WithoutDirectDrawTheWindowKeepsItsFrameWhileTheNextIsDrawn) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftwareGdi, 32));
    SetDrawScreen(kBackScreen);
    SetBackgroundColor(0, 0, 64);
    ClearDrawScreen();
    DrawBox(10, 10, 200, 100, GetColorValue(255, 0, 0), 1);
    ASSERT_EQ(FlipScreenBody(), 0);
    // The next frame, drawn but not presented.
    SetBackgroundColor(0, 64, 0);
    ClearDrawScreen();
    DrawBox(100, 50, 300, 200, GetColorValue(0, 0, 255), 1);
    const auto inside = [](int x, int y, const Rect& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    const auto first = [&](int x, int y) { return inside(x, y, Rect{10, 10, 200, 100}) ? 0xFF0000u : 0x000040u; };
    const auto second = [&](int x, int y) { return inside(x, y, Rect{100, 50, 300, 200}) ? 0x0000FFu : 0x004000u; };
    const Rect repainted{150, 80, 400, 300};
    const auto after_repaint = [&](int x, int y) { return inside(x, y, repainted) ? second(x, y) : first(x, y); };
    const auto expect_shown = [&](const auto& want, const char* when) {
        const platform::PresentedFrame frame = Shown();
        ASSERT_EQ(frame.width, 640) << when;
        ASSERT_EQ(frame.height, 480) << when;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                ASSERT_EQ(frame.at(x, y), want(x, y)) << when << " at " << x << "," << y;
    };
    ASSERT_NO_FATAL_FAILURE(expect_shown(first, "with the next frame drawn"));

    // What a paint of that rectangle does.
    ASSERT_EQ(CopyBackBufferToWindow(&repainted), 0);
    ASSERT_NO_FATAL_FAILURE(expect_shown(after_repaint, "after the repaint"));
    ASSERT_EQ(ReadWindowToFrontMemImg(), 0);
    const MEMIMG& front = Screen().primary_image;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            uint32_t value;
            std::memcpy(&value, MemImgPixelAddress(front, x, y), 4);
            ASSERT_EQ(value & 0xFFFFFF, after_repaint(x, y)) << "read back at " << x << "," << y;
        }
    }
    ASSERT_EQ(FlipScreenBody(), 0);
    ASSERT_NO_FATAL_FAILURE(expect_shown(second, "after the next present"));
}

TEST_F(PresentTest, HalfSizeModeShowsTheUpperLeftQuarter) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    SetHalfSizeMode(1);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    DrawBox(319, 239, 320, 240, GetColorValue(0, 0, 255), 1);
    DrawBox(320, 240, 640, 480, GetColorValue(255, 255, 255), 1);
    FlipScreenBody();
    SetHalfSizeMode(0);
    const platform::PresentedFrame frame = Shown();
    EXPECT_EQ(frame.at(639, 479), 0x0000FFu);
    EXPECT_EQ(frame.at(637, 477), 0u);
}

TEST_F(PresentTest, FullScreenFrontScreenPresentsOnlyWait) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 16, 0));
    SetDrawScreen(kFrontScreen);
    const uint64_t shown = output.output().present_count();
    const uint64_t counted = GetScreenPresentCount();
    const int64_t start = clock.Microseconds();
    ASSERT_EQ(FlipScreenBody(), 0);
    EXPECT_EQ(GetScreenPresentCount(), counted + 1);
    EXPECT_EQ(output.output().present_count(), shown);
    EXPECT_GT(clock.Microseconds(), start);
    EXPECT_LE(clock.Microseconds() - start, 16667 + 1);
}

TEST_F(PresentTest, FrontScreenDrawsReachTheWindowInEveryMode) {
    for (RenderMode mode : {RenderMode::kSoftware, RenderMode::kSoftwareGdi, RenderMode::kDirectDraw}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ASSERT_NO_FATAL_FAILURE(StartGraphics(mode, 32));
        SetDrawScreen(kFrontScreen);
        DrawBox(10, 10, 20, 20, GetColorValue(255, 255, 0), 1);
        EXPECT_EQ(Shown().at(15, 15), 0xFFFF00u);
        TermGraphicsSystem();
        EndMainWindow();
        ResetWindowState();
        ResetScreenState();
        platform::ResetDisplayForTests();
    }
}

TEST_F(PresentTest, SavingAnEmptyRectangleWritesNothing) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    const std::string path = Path("empty.png");
    EXPECT_EQ(SaveDrawScreenToFile(10, 10, 10, 50, path.c_str(), 2, 0, 0, -1), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(SaveDrawScreenToFile(0, 0, 8, 8, Path("small.bmp").c_str(), 0, 0, 0, -1), 0);
    EXPECT_TRUE(std::filesystem::exists(Path("small.bmp")));
}

}  // namespace
}  // namespace velk::testing
