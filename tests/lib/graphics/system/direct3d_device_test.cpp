// The Direct3D side against a device that records its calls: the path chosen
// at start-up, texture splitting, batching, the stage programs and the
// blend-graph border maths, the read-back method memory, loss and restore.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/direct3d_log_texts.h"
#include "lib/graphics/direct3d/graph_draw_3d.h"
#include "lib/graphics/direct3d/read_back_3d.h"
#include "lib/graphics/direct3d/render_state_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/screen/surface_data.h"
#include "platform/display/display_faults.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

using platform::D3dCall;
using platform::D3dCallKind;

class Direct3DDeviceTest : public GraphicsTest {
protected:
    void Start() { ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kRecordedDirect3D, 32)); }
    std::vector<D3dCall>& calls() { return recording->calls; }
    // What the device holds now.
    const platform::D3dDrawState& Device() { return GetDevice3DInterface()->state(); }
    std::vector<const D3dCall*> Of(D3dCallKind kind) {
        std::vector<const D3dCall*> out;
        for (const D3dCall& c : calls())
            if (c.kind == kind) out.push_back(&c);
        return out;
    }
    // The last value sent for a render state since the calls were cleared.
    int64_t LastRenderState(uint32_t state) {
        int64_t value = -1;
        for (const D3dCall& c : calls())
            if (c.kind == D3dCallKind::kSetRenderState && c.a == state) value = c.b;
        return value;
    }
    int64_t LastStageState(uint32_t stage, uint32_t state) {
        int64_t value = -1;
        for (const D3dCall& c : calls())
            if (c.kind == D3dCallKind::kSetStageState && c.a == stage && c.b == state) value = c.c;
        return value;
    }
    int Texture(int width, int height) {
        const int g = CreateEmptyGraph(width, height, 0);
        EXPECT_NE(g, -1);
        return g;
    }
};

TEST_F(Direct3DDeviceTest, StartUpTakesTheDirect3DPathWhenADeviceCanBeMade) {
    Start();
    EXPECT_TRUE(Host().Direct3DReady());
    EXPECT_EQ(GetUse3DFlag(), 1);
    const int g = Texture(32, 32);
    EXPECT_EQ(GetGraphData(g)->texture, 1);
    EXPECT_EQ(D3D().hardware_tnl, 1);  // the T&L device listed after the plain one wins
}

TEST_F(Direct3DDeviceTest, WithoutADeviceOrWithSoftwareRenderingTheGraphsStayTwoD) {
    for (const RenderMode mode : {RenderMode::kDirectDraw, RenderMode::kSoftware}) {
        SCOPED_TRACE(static_cast<int>(mode));
        // Even with a device on offer, software rendering keeps to the 2D path.
        platform::SetDirect3DBackendFactory([this] { return std::shared_ptr<platform::D3dBackend>(recording); });
        if (mode == RenderMode::kSoftware)
            SetSoftRenderRequest(1);
        else
            platform::SetDirect3DBackendFactory([] { return std::shared_ptr<platform::D3dBackend>(); });
        ASSERT_EQ(CreateMainWindow(), 0);
        ASSERT_EQ(SetScreenModeBody(640, 480, 32, -1), 0);
        ASSERT_EQ(InitGraphicsSystem(), 0);
        EXPECT_FALSE(Host().Direct3DReady());
        const int g = CreateEmptyGraph(32, 32, 0);
        EXPECT_EQ(GetGraphData(g)->texture, 0);
        EXPECT_EQ(DrawGraph(0, 0, g, 0), 0);
        TermGraphicsSystem();
        EndMainWindow();
        ResetWindowState();
        ResetScreenState();
        platform::ResetDisplayForTests();
    }
    EXPECT_TRUE(Of(D3dCallKind::kDrawPrimitive).empty());
}

TEST_F(Direct3DDeviceTest, TextureSizesFollowTheScreenAndTheDeviceLimits) {
    struct Case {
        int length, min, max, one_texture;
        std::vector<int> sizes;
    };
    const Case cases[] = {
        {640, 1, 1024, 0, {512, 128}}, {300, 1, 1024, 0, {512}},  {640, 1, 256, 0, {256, 256, 128}},
        {10, 1, 1024, 0, {16}},        {16, 1, 1024, 0, {16}},    {10, 32, 1024, 0, {32}},
        {1000, 1, 4096, 0, {1024}},    {700, 1, 4096, 1, {1024}}, {33, 1, 4096, 0, {64}},
    };
    for (const Case& c : cases) {
        D3D().min_texture_size = c.min;
        D3D().max_texture_size = c.max;
        int sizes[65] = {};
        const int count = ChooseTextureSizes(c.length, sizes, c.one_texture);
        EXPECT_EQ(std::vector<int>(sizes, sizes + count), c.sizes) << c.length << " max " << c.max;
    }
    D3D() = Direct3DContext{};
}

TEST_F(Direct3DDeviceTest, AGraphIsCutIntoTexturesAndEachPartMapsItsUsedArea) {
    Start();
    const int g = Texture(640, 100);
    const GraphData& graph = *GetGraphData(g);
    ASSERT_EQ(graph.part_count, 2);
    const Surface3DData* right = GetSurface3DData(graph.parts[1]);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->x, 512);
    EXPECT_EQ(right->width, 128);
    EXPECT_EQ(right->height, 100);
    // 128 pixels of a 128 x 128 texture across, 100 of 128 down.
    EXPECT_FLOAT_EQ(right->corners[3].u, 1.0f);
    EXPECT_FLOAT_EQ(right->corners[3].v, 100.0f / 128.0f);
    EXPECT_FLOAT_EQ(right->corners[1].x, 640.0f);
    // A derived graph is a view: deleting it keeps the source's textures.
    const int derived = CreateDerivedGraph(500, 10, 40, 20, g);
    ASSERT_NE(derived, -1);
    EXPECT_EQ(GetGraphData(derived)->part_count, 2);
    const int before = GetSurfaceDataCount();
    DeleteGraph(derived);
    EXPECT_EQ(GetSurfaceDataCount(), before);
    DeleteGraph(g);
    EXPECT_EQ(GetSurfaceDataCount(), before - 2);
}

TEST_F(Direct3DDeviceTest, SquareOnlyDevicesCutEveryTextureIntoSquaresOfItsShorterSide) {
    Start();
    D3D().description.texture_caps |= platform::kD3dTextureCapsSquareOnly;
    struct Part {
        int x, y, width, height, texture;
    };
    struct Case {
        int width, height;
        std::vector<Part> parts;
    };
    const Case cases[] = {
        // A 256 x 64 texture becomes a row of four 64 x 64 ones.
        {256, 64, {{0, 0, 64, 64, 64}, {64, 0, 64, 64, 64}, {128, 0, 64, 64, 64}, {192, 0, 64, 64, 64}}},
        // A tall one a column.
        {32, 128, {{0, 0, 32, 32, 32}, {0, 32, 32, 32, 32}, {0, 64, 32, 32, 32}, {0, 96, 32, 32, 32}}},
        // Squares past the graph's edge hold no pixel of it and are left out.
        {130, 40, {{0, 0, 64, 40, 64}, {64, 0, 64, 40, 64}, {128, 0, 2, 40, 64}}},
        {64, 64, {{0, 0, 64, 64, 64}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const int g = Texture(c.width, c.height);
        const GraphData& graph = *GetGraphData(g);
        ASSERT_EQ(graph.part_count, static_cast<int>(c.parts.size()));
        for (int i = 0; i < graph.part_count; ++i) {
            const Surface3DData* part = GetSurface3DData(graph.parts[i]);
            const SurfaceData* store = GetSurfaceData(part->surface_data);
            const Part& want = c.parts[i];
            EXPECT_EQ(part->x, want.x) << i;
            EXPECT_EQ(part->y, want.y) << i;
            EXPECT_EQ(part->width, want.width) << i;
            EXPECT_EQ(part->height, want.height) << i;
            EXPECT_EQ(store->width, want.texture) << i;
            EXPECT_EQ(store->height, want.texture) << i;
            EXPECT_FLOAT_EQ(part->corners[3].u, static_cast<float>(want.width) / want.texture) << i;
        }
        DeleteGraph(g);
    }
}

TEST_F(Direct3DDeviceTest, BlendFourCornerDrawsMapEachPartCornerByItsTriangle) {
    Start();
    // 640 x 640 is cut 512 + 128 both ways: four parts, one corner inside.
    const int g = Texture(640, 640);
    const int blend = Texture(640, 480);
    ASSERT_EQ(GetGraphData(g)->part_count, 4);
    ASSERT_EQ(SetBlendGraph(blend, 128, 64), 0);
    calls().clear();
    const int corners[8] = {100, 100, 500, 80, 120, 300, 560, 340};  // no parallelogram
    ASSERT_EQ(DrawGraphQuadBlendD3D(corners, *GetGraphData(g), 1), 0);
    FlipScreenBody();
    const auto draws = Of(D3dCallKind::kDrawPrimitive);
    ASSERT_EQ(draws.size(), 4u);  // one part per texture
    // The graph's rising diagonal splits the quad: above it the map of the
    // top-left, top-right and bottom-left corners, below it that of the
    // bottom-right, bottom-left and top-right ones.
    auto upper = [&](float s, float t) {
        return std::pair<float, float>{100 + 400 * s + 20 * t, 100 - 20 * s + 200 * t};
    };
    auto lower = [&](float s, float t) {
        return std::pair<float, float>{560 - 440 * (1 - s) - 60 * (1 - t), 340 - 40 * (1 - s) - 260 * (1 - t)};
    };
    const float cuts[3] = {0.0f, 0.8f, 1.0f};
    int part = 0;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column, ++part) {
            ASSERT_EQ(draws[part]->b, platform::kFvfTwoTextures);
            platform::VertexTwoTextures v[6];
            std::memcpy(v, draws[part]->vertices.data(), sizeof v);
            const int order[4] = {0, 1, 2, 3};  // top-left, top-right, bottom-left, bottom-right
            for (const int k : order) {
                const float s = cuts[column + (k & 1)], t = cuts[row + (k >> 1)];
                const bool above = 640 - s * 640 >= t * 640;
                const auto [x, y] = above ? upper(s, t) : lower(s, t);
                SCOPED_TRACE("part " + std::to_string(part) + " corner " + std::to_string(k));
                EXPECT_NEAR(v[k].x, x, 0.01f);
                EXPECT_NEAR(v[k].y, y, 0.01f);
            }
        }
    }
    // The inner corner lies below the diagonal: (460, 280), where the
    // bilinear mapping would put it at (461.6, 282.4).
    platform::VertexTwoTextures last[6];
    std::memcpy(last, draws[3]->vertices.data(), sizeof last);
    EXPECT_NEAR(last[0].x, 460.0f, 0.01f);
    EXPECT_NEAR(last[0].y, 280.0f, 0.01f);
    SetBlendGraph(-1, 0, 0);
}

TEST_F(Direct3DDeviceTest, DrawsWithOneStateShareABatchAndAStateChangeSendsItFirst) {
    Start();
    const int g = Texture(16, 16);
    calls().clear();
    DrawGraph(0, 0, g, 0);
    DrawGraph(20, 0, g, 0);
    EXPECT_TRUE(Of(D3dCallKind::kDrawPrimitive).empty());
    SetDrawBlendMode(1, 128);
    DrawGraph(40, 0, g, 0);
    // The first two quads went out before the blend state of the third.
    const auto draws = Of(D3dCallKind::kDrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->count, 12);
    EXPECT_EQ(draws[0]->b, platform::kFvfOneTexture);
    const auto first_draw = std::find_if(calls().begin(), calls().end(),
                                         [](const D3dCall& c) { return c.kind == D3dCallKind::kDrawPrimitive; });
    const auto blend_on = std::find_if(calls().begin(), calls().end(), [](const D3dCall& c) {
        return c.kind == D3dCallKind::kSetRenderState && c.a == platform::kRsAlphaBlendEnable && c.b == 1;
    });
    EXPECT_LT(first_draw - calls().begin(), blend_on - calls().begin());
    // The quad's vertices: top-left, top-right, bottom-left, bottom-right,
    // bottom-left, top-right, moved half a pixel so texel centres hit pixel centres.
    platform::VertexOneTexture v[12];
    std::memcpy(v, draws[0]->vertices.data(), sizeof v);
    EXPECT_FLOAT_EQ(v[0].x, -0.5f);
    EXPECT_FLOAT_EQ(v[3].x, 15.5f);
    EXPECT_FLOAT_EQ(v[3].y, 15.5f);
    EXPECT_FLOAT_EQ(v[4].x, -0.5f);
    EXPECT_FLOAT_EQ(v[6].x, 19.5f);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
}

TEST_F(Direct3DDeviceTest, RotatedAndMirroredDrawsPlaceTheirCorners) {
    Start();
    const int g = Texture(3, 3);
    calls().clear();
    // A 3 x 3 graph unturned at a whole-pixel centre covers x - 1 to x + 1.
    DrawGraphRotated(10, 20, 1.0, 0.0, g, 0, 0);
    // Mirrored: the graph's left edge lands on the right.
    DrawGraphScaled(40, 0, 34, 3, g, 0);
    FlipScreenBody();
    const auto draws = Of(D3dCallKind::kDrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    platform::VertexOneTexture v[12];
    std::memcpy(v, draws[0]->vertices.data(), sizeof v);
    EXPECT_FLOAT_EQ(v[0].x, 8.5f);
    EXPECT_FLOAT_EQ(v[0].y, 18.5f);
    EXPECT_FLOAT_EQ(v[3].x, 11.5f);
    EXPECT_FLOAT_EQ(v[3].y, 21.5f);
    EXPECT_FLOAT_EQ(v[6].x, 39.5f);
    EXPECT_FLOAT_EQ(v[7].x, 33.5f);
    EXPECT_LT(v[6].u, v[7].u);
    // A right angle keeps the corners on pixel edges.
    calls().clear();
    DrawGraphRotated(10, 20, 1.0, 3.14159265358979 / 2, g, 0, 0);
    FlipScreenBody();
    std::memcpy(v, Of(D3dCallKind::kDrawPrimitive)[0]->vertices.data(), 6 * sizeof v[0]);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(v[i].x - std::floor(v[i].x), 0.5f) << i;
        EXPECT_FLOAT_EQ(v[i].y - std::floor(v[i].y), 0.5f) << i;
    }
}

TEST_F(Direct3DDeviceTest, ThreeHundredEightyNineQuadsFitOneBatch) {
    Start();
    const int g = Texture(4, 4);
    calls().clear();
    for (int i = 0; i < 389; ++i)
        DrawGraph(i % 600, 0, g, 0);
    EXPECT_TRUE(Of(D3dCallKind::kDrawPrimitive).empty());
    DrawGraph(0, 10, g, 0);
    const auto draws = Of(D3dCallKind::kDrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->count, 389 * 6);
}

TEST_F(Direct3DDeviceTest, AFilledBoxIsSixUntexturedVerticesColouredOnTheirFirstCorners) {
    Start();
    calls().clear();
    SetDrawBrightness(255, 128, 255);
    DrawBox(2, 2, 6, 5, GetColorValue(200, 100, 50), 1);
    DrawBox(0, 0, 10, 10, GetColorValue(255, 255, 255), 0);
    FlipScreenBody();
    // A box sends what was collected before it.
    const auto draws = Of(D3dCallKind::kDrawPrimitive);
    ASSERT_EQ(draws.size(), 2u);
    ASSERT_EQ(draws[0]->count, 6);
    ASSERT_EQ(draws[1]->count, 24);
    EXPECT_EQ(draws[0]->b, platform::kFvfUntextured);
    platform::VertexUntextured v[30];
    std::memcpy(v, draws[0]->vertices.data(), 6 * sizeof v[0]);
    std::memcpy(v + 6, draws[1]->vertices.data(), 24 * sizeof v[0]);
    EXPECT_EQ(v[0].diffuse, 0xFFC83232u);  // green halved by the brightness
    EXPECT_EQ(v[3].diffuse, 0xFFC83232u);
    EXPECT_FLOAT_EQ(v[0].x, 2.0f);
    EXPECT_FLOAT_EQ(v[3].y, 5.0f);
    // The outline's four one-pixel sides lie inside the rectangle.
    EXPECT_FLOAT_EQ(v[6 + 6 + 3].y, 10.0f);  // bottom side ends on the bottom edge
    EXPECT_FLOAT_EQ(v[6 + 6].y, 9.0f);
    EXPECT_FLOAT_EQ(v[6 + 18 + 3].x, 10.0f);  // right side
    EXPECT_FLOAT_EQ(v[6 + 18].x, 9.0f);
}

TEST_F(Direct3DDeviceTest, BlendGraphBorderMathsSetsTheFactorAndTheStageOperations) {
    Start();
    const int g = Texture(32, 32);
    const int blend = Texture(32, 32);
    struct Case {
        int range, param;
        uint32_t stage0_alpha_op, stage1_alpha_op, factor_alpha;
    };
    const Case cases[] = {
        {64, 0, platform::kTopAdd, platform::kTopModulate4x, 64},
        {64, 255, platform::kTopSubtract, platform::kTopModulate4x, 255},
        {128, 128, platform::kTopSubtract, platform::kTopModulate2x, 65},
        {255, 0, platform::kTopAdd, platform::kTopModulate, 255},
        {255, 128, platform::kTopSubtract, platform::kTopModulate, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range * 1000 + c.param);
        calls().clear();
        ASSERT_EQ(SetBlendGraph(blend, c.param, c.range), 0);
        DrawGraph(0, 0, g, 0);
        EXPECT_EQ(Device().render[platform::kRsTextureFactor], (c.factor_alpha << 24) | 0xFFFFFF);
        EXPECT_EQ(Device().stage[0][platform::kTssAlphaOp], c.stage0_alpha_op);
        EXPECT_EQ(Device().stage[1][platform::kTssAlphaOp], c.stage1_alpha_op);
        EXPECT_EQ(Device().render[platform::kRsAlphaBlendEnable], 1u);
        EXPECT_EQ(Device().render[platform::kRsAlphaTestEnable], 0u);
    }
    // A range of 1 or less is an alpha test at the border parameter.
    SetBlendGraph(blend, 100, 1);
    DrawGraph(0, 0, g, 0);
    EXPECT_EQ(Device().render[platform::kRsAlphaTestEnable], 1u);
    EXPECT_EQ(Device().render[platform::kRsAlphaRef], 100u);
    EXPECT_EQ(Device().render[platform::kRsAlphaFunc], platform::kCmpGreaterEqual);
    EXPECT_EQ(Device().render[platform::kRsTextureFactor], 0x00FFFFFFu);
    // At 255 nothing shows: the vertices are dropped.
    FlipScreenBody();
    calls().clear();
    SetBlendGraph(blend, 255, 1);
    DrawGraph(0, 0, g, 0);
    SetBlendGraph(-1, 0, 0);
    DrawGraph(0, 0, g, 0);
    FlipScreenBody();
    const auto draws = Of(D3dCallKind::kDrawPrimitive);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->b, platform::kFvfOneTexture);
}

TEST_F(Direct3DDeviceTest, StageProgramsFollowTransparencyDiffuseAndColourKind) {
    struct Case {
        int t, a, d, b, k, count;
        int16_t color_op0, color_arg1_0, alpha_op0;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 1, platform::kTopSelectArg1, platform::kTaTexture, platform::kTopSelectArg2},
        {1, 1, 1, 0, 0, 1, platform::kTopModulate, platform::kTaTexture, platform::kTopModulate},
        {1, 0, 0, 0, 0, 1, platform::kTopSelectArg1, platform::kTaTexture, platform::kTopSelectArg1},
        {0, 0, 0, 0, 1, 2, platform::kTopSelectArg1, platform::kTaTexture, platform::kTopSelectArg2},
        {0, 0, 0, 0, 2, 1, platform::kTopSelectArg1, platform::kTaTexture | platform::kTaComplement,
         platform::kTopSelectArg2},
        {1, 1, 0, 1, 0, 4, platform::kTopSelectArg2, platform::kTaTexture, platform::kTopAdd},
        {2, 0, 0, 1, 0, 2, platform::kTopSelectArg2, platform::kTaTexture, platform::kTopAdd},
    };
    for (const Case& c : cases) {
        const StageProgram& p = GetStageProgram(StageProgramIndex(c.t, c.a, c.d, c.b, c.k));
        SCOPED_TRACE(StageProgramIndex(c.t, c.a, c.d, c.b, c.k));
        EXPECT_EQ(p.stage_count, c.count);
        EXPECT_EQ(p.stages[0].color_op, c.color_op0);
        EXPECT_EQ(p.stages[0].color_arg1, c.color_arg1_0);
        EXPECT_EQ(p.stages[0].alpha_op, c.alpha_op0);
    }
    EXPECT_EQ(GetStageProgram(StageProgramIndex(0, 0, 0, 0, 1)).stages[1].color_op, platform::kTopBlendCurrentAlpha);
}

TEST_F(Direct3DDeviceTest, ReadBackRemembersTheFirstMethodThatWorkedPerTextureKind) {
    Start();
    const int g = Texture(64, 64);
    const SurfaceData* store = GetSurfaceData(GetSurface3DData(GetGraphData(g)->parts[0])->surface_data);
    const int cell = store->params.alpha_channel != 0 || store->params.alpha_test != 0 ? 1 : 0;
    TakeTriedReadBackMethods();  // what earlier tests tried
    SetRefusedReadBackMethods(0x1);
    EXPECT_EQ(GetDrawScreenGraph(0, 0, 64, 64, g, 0), 0);
    EXPECT_EQ(TakeTriedReadBackMethods(), (std::vector<int>{0, 1}));
    EXPECT_EQ(D3D().read_back_memory[cell], 1);
    EXPECT_EQ(D3D().read_back_memory[1 - cell], -1);
    EXPECT_EQ(GetDrawScreenGraph(0, 0, 32, 32, g, 0), 0);
    EXPECT_EQ(TakeTriedReadBackMethods(), (std::vector<int>{1}));
    // An empty rectangle fails with every method and forgets the memory.
    EXPECT_EQ(GetDrawScreenGraph(10, 0, 10, 32, g, 0), -1);
    EXPECT_EQ(TakeTriedReadBackMethods(), (std::vector<int>{1, 0, 1, 2, 3, 4}));
    EXPECT_EQ(D3D().read_back_memory[cell], -1);
    SetRefusedReadBackMethods(0);
}

TEST_F(Direct3DDeviceTest, ReadBackCopiesTheDrawScreenIntoTheTextures) {
    Start();
    SetBackgroundColor(10, 20, 30);
    ClearDrawScreen();
    DrawBox(4, 4, 8, 8, GetColorValue(200, 100, 50), 1);
    const int g = Texture(16, 16);
    ASSERT_EQ(GetDrawScreenGraph(0, 0, 16, 16, g, 0), 0);
    const Surface3DData* part = GetSurface3DData(GetGraphData(g)->parts[0]);
    SurfaceData* store = GetSurfaceData(part->surface_data);
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(store->surface->Lock(nullptr, &desc, platform::kDdLockReadOnly), platform::kDdOk);
    const auto* pixels = static_cast<const uint32_t*>(desc.surface);
    // The recording device draws no pixels: the clear shows everywhere.
    EXPECT_EQ(pixels[5 * (desc.pitch / 4) + 5] & 0xFFFFFF, 0x0A141Eu);
    store->surface->Unlock(nullptr);
}

TEST_F(Direct3DDeviceTest, AfterLossAndRestoreEveryCachedStateIsSentAgain) {
    Start();
    const int g = Texture(16, 16);
    DrawGraph(0, 0, g, 0);
    FlipScreenBody();
    ASSERT_EQ(ReleaseDirect3DObject(), 0);
    EXPECT_FALSE(Host().Direct3DReady());
    EXPECT_EQ(DrawGraph(0, 0, g, 0), -1);  // nothing to draw with
    calls().clear();
    ASSERT_EQ(AcquireDirect3DObject(), 0);
    EXPECT_TRUE(Host().Direct3DReady());
    for (const uint32_t state :
         {platform::kRsAlphaBlendEnable, platform::kRsAlphaTestEnable, platform::kRsTextureFactor,
          platform::kRsShadeMode, platform::kRsColorKeyEnable, platform::kRsZEnable})
        EXPECT_NE(LastRenderState(state), -1) << state;
    EXPECT_NE(LastStageState(0, platform::kTssColorOp), -1);
    EXPECT_NE(LastStageState(0, platform::kTssMagFilter), -1);
    EXPECT_EQ(Of(D3dCallKind::kSetViewport).size(), 1u);
    // The graph's texture is there again (empty until the restore refills it).
    const Surface3DData* part = GetSurface3DData(GetGraphData(g)->parts[0]);
    EXPECT_TRUE(GetSurfaceData(part->surface_data)->surface);
    calls().clear();
    DrawGraph(0, 0, g, 0);
    FlipScreenBody();
    EXPECT_EQ(Of(D3dCallKind::kDrawPrimitive).size(), 1u);
}

TEST_F(Direct3DDeviceTest, TheFrontScreenEndsTheSceneAfterEveryDraw) {
    Start();
    const int g = Texture(8, 8);
    SetDrawScreen(kFrontScreen);
    calls().clear();
    DrawGraph(0, 0, g, 0);
    DrawGraph(8, 0, g, 0);
    EXPECT_EQ(Of(D3dCallKind::kDrawPrimitive).size(), 2u);
    EXPECT_EQ(Of(D3dCallKind::kEndScene).size(), 2u);
}

// The device lists R5G6B5, A1R5G5B5, A4R4G4B4, X8R8G8B8 and A8R8G8B8; the
// nine slots come out the same at either display depth.
TEST_F(Direct3DDeviceTest, TheNineFormatSlotsAndTheirChoiceAtEveryDepth) {
    struct Slot {
        uint32_t bits, alpha, red, green, blue;
    };
    const Slot r5g6b5{16, 0, 0xF800, 0x07E0, 0x001F}, x8r8g8b8{32, 0, 0xFF0000, 0xFF00, 0xFF};
    const Slot a4r4g4b4{16, 0xF000, 0x0F00, 0x00F0, 0x000F}, a1r5g5b5{16, 0x8000, 0x7C00, 0x03E0, 0x001F};
    const Slot a8r8g8b8{32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF};
    const Slot expected[9] = {r5g6b5, x8r8g8b8, a4r4g4b4, a8r8g8b8, a1r5g5b5, a8r8g8b8, r5g6b5, x8r8g8b8, a8r8g8b8};
    for (const int bits : {16, 32}) {
        SCOPED_TRACE(bits);
        platform::SetDirect3DBackendFactory([this] { return std::shared_ptr<platform::D3dBackend>(recording); });
        MainWindowState().window_mode = bits == 16 ? 0 : 1;
        ASSERT_EQ(CreateMainWindow(), 0);
        ASSERT_EQ(SetScreenModeBody(640, 480, bits, -1), 0);
        ASSERT_EQ(InitGraphicsSystem(), 0);
        ASSERT_TRUE(Host().Direct3DReady());
        for (int slot = 0; slot < 9; ++slot) {
            const platform::DdPixelFormat* f = GetTextureFormatPixelFormat(slot);
            const ColorData* color = GetTextureFormatColorData(slot);
            ASSERT_NE(f, nullptr);
            ASSERT_NE(color, nullptr);
            const Slot& e = expected[slot];
            EXPECT_EQ(f->rgb_bit_count, e.bits) << slot;
            EXPECT_EQ(f->alpha_mask, e.alpha) << slot;
            EXPECT_EQ(f->red_mask, e.red) << slot;
            EXPECT_EQ(f->green_mask, e.green) << slot;
            EXPECT_EQ(f->blue_mask, e.blue) << slot;
            EXPECT_EQ(color->alpha_mask, e.alpha) << slot;
            EXPECT_EQ(color->red_mask, e.red) << slot;
            EXPECT_EQ(color->pixel_byte, e.bits / 8) << slot;
        }
        EXPECT_EQ(GetTextureFormatPixelFormat(9), nullptr);
        EXPECT_EQ(GetTextureFormatColorData(-1), nullptr);
        EXPECT_EQ(GetTextureFormatColorData(9), nullptr);
        // alpha channel, alpha test, draw-valid: the slot at 16 bits and at 32.
        struct Choice {
            int alpha_channel, alpha_test, draw_valid, slot16, slot32;
        };
        const Choice choices[] = {{0, 0, 0, 0, 1}, {1, 0, 0, 2, 3}, {0, 1, 0, 4, 5}, {1, 1, 0, 2, 3},
                                  {0, 0, 1, 6, 7}, {1, 0, 1, 8, 8}, {0, 1, 1, 8, 8}, {1, 1, 1, 8, 8}};
        for (const Choice& c : choices) {
            for (const int depth : {16, 32}) {
                TextureCreateParams p;
                p.alpha_channel = c.alpha_channel;
                p.alpha_test = c.alpha_test;
                p.draw_valid = c.draw_valid;
                p.color_depth = depth;
                const int slot = depth == 16 ? c.slot16 : c.slot32;
                EXPECT_EQ(GetTextureColorData(p), GetTextureFormatColorData(slot))
                    << c.alpha_channel << c.alpha_test << c.draw_valid << " at " << depth;
                EXPECT_EQ(GetTextureColorDataByFlags(c.alpha_channel, c.alpha_test, depth == 32 ? 1 : 0, c.draw_valid),
                          GetTextureFormatColorData(slot));
            }
        }
        const platform::DdPixelFormat* z = GetZBufferPixelFormat();
        EXPECT_EQ(z->flags, platform::kPixelFormatZBuffer);
        EXPECT_EQ(z->rgb_bit_count, 16u);
        TermGraphicsSystem();
        EndMainWindow();
        ResetWindowState();
        RegisterMessageProcessingBody();
        ResetScreenState();
        platform::ResetDisplayForTests();
    }
}

TEST_F(Direct3DDeviceTest, AFifthDeviceIsRefused) {
    Start();
    const std::shared_ptr<platform::DdSurface> surface = DeviceRecord(D3D().current_device).creation_surface;
    std::vector<int> made;
    for (int i = 0; i < 3; ++i)
        made.push_back(CreateDevice3D(surface));
    EXPECT_EQ(made, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(CreateDevice3D(surface), -1);
    // A slot given back is taken again.
    DeviceRecord(2) = Device3D{};
    EXPECT_EQ(CreateDevice3D(surface), 2);
    for (const int slot : {1, 2, 3})
        DeviceRecord(slot) = Device3D{};
}

TEST_F(Direct3DDeviceTest, AcquiringBeforeStartUpDoesNothing) {
    EXPECT_EQ(D3D().ready, 0);
    EXPECT_EQ(AcquireDirect3DObject(), 0);
    EXPECT_FALSE(D3D().object);
    EXPECT_EQ(GetDevice3DInterface(), nullptr);
    EXPECT_TRUE(calls().empty());
    // Nor after a shut-down.
    Start();
    ASSERT_EQ(TerminateDirect3D(), 0);
    EXPECT_EQ(AcquireDirect3DObject(), 0);
    EXPECT_FALSE(D3D().object);
}

// An image whose pixel (x, y) is red x, green 10 y, blue 0x40.
GraphImage Gradient(int width, int height) {
    GraphImage image;
    EXPECT_EQ(CreateXRGB32GraphImage(width, height, &image), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            WritePixelValue(image.pixels + static_cast<size_t>(y) * image.pitch, x, 4,
                            static_cast<uint32_t>((x & 0xFF) << 16 | (10 * y) << 8 | 0x40));
    return image;
}

uint32_t TexturePixel(const Surface3DData& part, int x, int y) {
    SurfaceData* store = GetSurfaceData(part.surface_data);
    platform::DdSurfaceDesc desc;
    EXPECT_EQ(store->surface->Lock(nullptr, &desc, platform::kDdLockReadOnly), platform::kDdOk);
    const uint32_t value = static_cast<const uint32_t*>(desc.surface)[y * (desc.pitch / 4) + x];
    store->surface->Unlock(nullptr);
    return value;
}

TEST_F(Direct3DDeviceTest, UploadsLoadOnlyTheOverlapIntoEachPart) {
    Start();
    const int g = Texture(640, 16);
    GraphData& graph = *GetGraphData(g);
    ASSERT_EQ(graph.part_count, 2);
    const Surface3DData& left = *GetSurface3DData(graph.parts[0]);
    const Surface3DData& right = *GetSurface3DData(graph.parts[1]);
    FillGraphTexturesColor(graph, 0, 0, 0, 0);
    GraphImage image = Gradient(640, 16);
    calls().clear();
    // Columns 500 to 529 of rows 2 to 5: 12 columns in the left part, 18 in the right.
    ASSERT_EQ(FillGraphTexturesRect(graph, image, nullptr, Rect{500, 2, 530, 6}, 0, 0, 0), 0);
    const std::vector<const D3dCall*> loads = Of(D3dCallKind::kLoad);
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0]->surface, GetSurfaceData(left.surface_data)->surface.get());
    EXPECT_EQ(loads[0]->a, 500u);
    EXPECT_EQ(loads[0]->b, 2u);
    EXPECT_EQ(loads[1]->surface, GetSurfaceData(right.surface_data)->surface.get());
    EXPECT_EQ(loads[1]->a, 0u);
    EXPECT_EQ(loads[1]->b, 2u);
    // Opaque: the texture is alpha-tested and no pixel has the transparent colour.
    EXPECT_EQ(TexturePixel(left, 505, 3), 0xFFF91E40u);
    EXPECT_EQ(TexturePixel(left, 511, 5), 0xFFFF3240u);
    EXPECT_EQ(TexturePixel(right, 17, 2), 0xFF111440u);  // column 529
    for (const auto& [x, y] : {std::pair{499, 3}, std::pair{505, 1}, std::pair{505, 6}})
        EXPECT_EQ(TexturePixel(left, x, y), 0u) << x << ", " << y;
    EXPECT_EQ(TexturePixel(right, 18, 3), 0u);  // column 530
    // The whole image with its origin moved: the graph's (0, 0) shows image (3, 1).
    ASSERT_EQ(FillGraphTextures(graph, image, nullptr, 0, 0, 3, 1), 0);
    EXPECT_EQ(TexturePixel(left, 0, 0), 0xFF030A40u);
    EXPECT_EQ(TexturePixel(right, 0, 14), 0xFF039640u);  // image (515, 15)
    ReleaseGraphImage(&image);
}

TEST_F(Direct3DDeviceTest, AnUploadRestoresALostTextureAndStopsWhenTheLoadFails) {
    Start();
    const int g = Texture(16, 16);
    GraphData& graph = *GetGraphData(g);
    const Surface3DData& part = *GetSurface3DData(graph.parts[0]);
    platform::DdSurface& texture = *GetSurfaceData(part.surface_data)->surface;
    GraphImage image = Gradient(16, 16);
    texture.MarkLost();
    ASSERT_EQ(FillGraphTextures(graph, image, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(texture.IsLost(), platform::kDdOk);
    EXPECT_EQ(TexturePixel(part, 7, 2), 0xFF071440u);
    // A destination in use cannot take the copy: the library stops.
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(texture.Lock(nullptr, &desc, 0), platform::kDdOk);
    try {
        FillGraphTextures(graph, image, nullptr, 0, 0, 0, 0);
        ADD_FAILURE() << "no stop";
    } catch (const std::runtime_error& stop) {
        EXPECT_STREQ(stop.what(), direct3d_log::kUploadFailed);
    }
    texture.Unlock(nullptr);
    ReleaseGraphImage(&image);
}

TEST_F(Direct3DDeviceTest, AGraphLoadedAsOneTextureKeepsItsRedLevelsAsAlpha) {
    Start();
    SetGraphOption(1);
    const int mask = Texture(16, 16);
    SetGraphOption(0);
    const int plain = Texture(16, 16);
    GraphImage image = Gradient(16, 16);
    for (const int g : {mask, plain}) {
        GraphData& graph = *GetGraphData(g);
        ASSERT_EQ(FillGraphTextures(graph, image, nullptr, 0, 0, 0, 0), 0);
        const uint32_t alpha = g == mask ? 0x0Bu : 0xFFu;
        EXPECT_EQ(TexturePixel(*GetSurface3DData(graph.parts[0]), 11, 4), alpha << 24 | 0x0B2840u);
    }
    ReleaseGraphImage(&image);
}

TEST_F(Direct3DDeviceTest, UnlockingAPartUnlocksItsTexture) {
    Start();
    const int g = Texture(16, 16);
    const int part = GetGraphData(g)->parts[0];
    const int store = GetSurface3DData(part)->surface_data;
    int pitch = 0;
    uint8_t* pixels = nullptr;
    ASSERT_EQ(LockSurfaceData(store, &pitch, &pixels, 0, nullptr, nullptr), 0);
    EXPECT_EQ(UnlockSurface3DData(static_cast<int>(kSurface3DHandleType) | 999, pixels), -1);
    EXPECT_EQ(UnlockSurface3DData(part, pixels + 4), -1);  // not what the lock gave
    EXPECT_TRUE(GetSurfaceData(store)->surface->is_locked());
    EXPECT_EQ(UnlockSurface3DData(part, pixels), 0);
    EXPECT_FALSE(GetSurfaceData(store)->surface->is_locked());
    EXPECT_EQ(UnlockSurface3DData(part, nullptr), -1);  // nothing locked
}

class ReadBackFailureTest : public Direct3DDeviceTest {
protected:
    void SetUp() override {
        SetLogOutputFlag(1);
        SetLogStartDirectory(scratch.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
        Start();
        graph = Texture(64, 64);
    }
    void TearDown() override {
        SetRefusedReadBackMethods(0);
        platform::ClearDisplayFaults();
        SetLogOutputFlag(0);
        SetLogStartDirectory("");
    }
    // Only the method at `index` of the five is tried.
    int ReadBackWith(int index) {
        D3D().read_back_memory[0] = D3D().read_back_memory[1] = -1;
        SetRefusedReadBackMethods(0x1Fu & ~(1u << index));
        return GetDrawScreenGraph(0, 0, 32, 32, graph, 0);
    }
    std::string Log() const { return scratch.ReadFile("Log.txt"); }
    static std::string Line(const char* format, long value) {
        char text[512];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }
    platform::DdSurface& Destination() {
        return *GetSurfaceData(GetSurface3DData(GetGraphData(graph)->parts[0])->surface_data)->surface;
    }
    int graph = -1;
};

// Each getting or giving back of a drawing context can fail on its own and
// names itself in the log.
TEST_F(ReadBackFailureTest, EachDrawingContextFailureOfTheGdiMethodsWritesItsLine) {
    using platform::DisplayStep;
    struct Case {
        int method;
        DisplayStep step;
        int after;
        const char* line;
    };
    const Case cases[] = {
        {2, DisplayStep::kGetDC, 0, direct3d_log::kMethod2SourceDc},
        {2, DisplayStep::kGetDC, 1, direct3d_log::kMethod2WorkDc},
        {2, DisplayStep::kReleaseDC, 0, direct3d_log::kMethod2WorkDcRelease},
        {3, DisplayStep::kGetDC, 0, direct3d_log::kMethod3SourceDc},
        {3, DisplayStep::kGetDC, 1, direct3d_log::kMethod3WorkDc},
        {3, DisplayStep::kReleaseDC, 0, direct3d_log::kMethod3WorkDcRelease},
        {4, DisplayStep::kGetDC, 0, direct3d_log::kMethod4SourceDc},
        {4, DisplayStep::kGetDC, 1, direct3d_log::kMethod4WorkDc},
        {4, DisplayStep::kReleaseDC, 0, direct3d_log::kMethod4WorkDcRelease},
    };
    const std::string value = std::to_string(platform::kDdErrGeneric);
    for (const Case& c : cases) {
        const size_t before = Log().size();
        platform::FailDisplayStep(c.step, 1, c.after);
        EXPECT_EQ(ReadBackWith(c.method), -1) << c.line;
        // One line, after the log's time stamp.
        const std::string written = Log().substr(before);
        const std::string line = Line(c.line, platform::kDdErrGeneric) + "\r\n";
        EXPECT_EQ(written.substr(written.find(':') + 1), line) << c.line;
        // The contexts taken are all given back: the same method works next.
        platform::ClearDisplayFaults();
        EXPECT_EQ(ReadBackWith(c.method), 0) << c.line;
        EXPECT_FALSE(Destination().has_dc());
    }
}

TEST_F(ReadBackFailureTest, TheWorkTextureMethodNamesTheStepThatFailed) {
    platform::FailDisplayStep(platform::DisplayStep::kGdiCopy);
    EXPECT_EQ(ReadBackWith(2), -1);
    EXPECT_NE(Log().find(Line(direct3d_log::kMethod2BitBlt, platform::kDdErrGeneric)), std::string::npos);
    EXPECT_EQ(Log().find("Method3 \x81@\x93]"), std::string::npos);  // no lock line
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(Destination().Lock(nullptr, &desc, 0), platform::kDdOk);
    EXPECT_EQ(ReadBackWith(2), -1);
    Destination().Unlock(nullptr);
    EXPECT_NE(Log().find(Line(direct3d_log::kMethod2DestLock, platform::kDdErrSurfaceBusy)), std::string::npos);
}

TEST_F(ReadBackFailureTest, ABusyDestinationIsTriedTenTimesAMillisecondApartThenDescribed) {
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(Destination().Lock(nullptr, &desc, 0), platform::kDdOk);
    calls().clear();
    const int64_t start = clock.Microseconds();
    EXPECT_EQ(ReadBackWith(4), -1);
    EXPECT_EQ(Of(D3dCallKind::kLoad).size(), 10u);
    EXPECT_EQ(clock.Microseconds() - start, 9000);
    Destination().Unlock(nullptr);
    const std::string log = Log();
    const std::string busy = std::to_string(platform::kDdErrSurfaceBusy);
    EXPECT_NE(log.find("hr:" + busy + "  W:64  H:64  FullMode:0  Point x:0 y:0   Rect top:"), std::string::npos) << log;
    EXPECT_NE(log.find("AlphaCh:0  AlphaTest:1  ColorBitDepth:32\r\n"), std::string::npos);
    EXPECT_NE(log.find("ScreenColor:32  SizeX:640  SizeY:480  DrawPointX:0  DrawPointY:0  WndRect.left:"),
              std::string::npos);
    // Any other failure is described at once.
    Destination().MarkLost();
    calls().clear();
    EXPECT_EQ(ReadBackWith(4), -1);
    EXPECT_EQ(Of(D3dCallKind::kLoad).size(), 1u);
    EXPECT_NE(Log().find("hr:" + std::to_string(platform::kDdErrSurfaceLost) + "  W:64"), std::string::npos);
    // And a free destination takes the copy on the first try.
    Destination().Restore();
    calls().clear();
    EXPECT_EQ(ReadBackWith(4), 0);
    EXPECT_EQ(Of(D3dCallKind::kLoad).size(), 1u);
}

}  // namespace
}  // namespace velk::testing
