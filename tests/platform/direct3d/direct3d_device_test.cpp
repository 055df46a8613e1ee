// The Direct3D stand-in by itself: what it reports, the calls it records,
// and on OpenGL the pixels of the device's rules (pixel centres, the
// top-left fill rule, flat colour from the first vertex, the viewport as a
// clip, colour keys, blending on a 16-bit target) read back through the
// render target's surface.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "platform/direct3d/d3d_device.h"
#include "platform/direct3d/gl_backend.h"
#include "platform/display/display_device.h"
#include "platform/display/display_surface.h"

namespace velk::platform {
namespace {

DdPixelFormat Format(uint32_t bits, uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    DdPixelFormat f;
    f.flags = kPixelFormatRgb | (a != 0 ? kPixelFormatAlphaPixels : 0);
    f.rgb_bit_count = bits;
    f.alpha_mask = a;
    f.red_mask = r;
    f.green_mask = g;
    f.blue_mask = b;
    return f;
}

struct Rig {
    std::unique_ptr<DdDevice> display;
    std::shared_ptr<DdSurface> target;
    std::unique_ptr<D3dObject> object;
    std::unique_ptr<D3dDevice> device;

    std::shared_ptr<DdSurface> Surface(uint32_t w, uint32_t h, const DdPixelFormat& f, uint32_t caps) {
        DdSurfaceDesc desc;
        desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
        desc.caps = caps;
        desc.width = w;
        desc.height = h;
        desc.pixel_format = f;
        std::shared_ptr<DdSurface> s;
        EXPECT_EQ(display->CreateSurface(desc, &s), kDdOk);
        return s;
    }
    uint32_t Pixel(int x, int y) {
        DdSurfaceDesc desc;
        EXPECT_EQ(target->Lock(nullptr, &desc, kDdLockReadOnly), kDdOk);
        uint32_t v = 0;
        std::memcpy(&v, static_cast<uint8_t*>(desc.surface) + y * desc.pitch + x * target->bytes_per_pixel(),
                    static_cast<size_t>(target->bytes_per_pixel()));
        target->Unlock(nullptr);
        return v;
    }
    void Fill(DdSurface& s, uint32_t value) {
        DdBltFx fx;
        fx.fill_color = value;
        ASSERT_EQ(s.Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
    }
};

// A rig on the given back-end; false (the test skipped) without one.
bool MakeRig(Rig* rig, std::shared_ptr<D3dBackend> backend, uint32_t bits = 32) {
    if (!backend) return false;
    SetDirect3DBackendFactory([backend] { return backend; });
    EXPECT_EQ(DdDevice::Create(&rig->display), kDdOk);
    rig->target = rig->Surface(16, 16, bits == 32 ? Format(32, 0, 0xFF0000, 0xFF00, 0xFF) : Format(16, 0, 0xF800, 0x7E0, 0x1F),
                               kDdsCapsOffscreenPlain | kDdsCaps3DDevice);
    EXPECT_EQ(CreateDirect3D(&rig->object), kDdOk);
    EXPECT_EQ(rig->object->CreateDevice(kD3dDeviceTnLHal, rig->target, &rig->device), kDdOk);
    SetDirect3DBackendFactory(nullptr);
    rig->device->SetRenderState(kRsShadeMode, kShadeFlat);
    rig->device->SetTextureStageState(0, kTssColorOp, kTopSelectArg2);
    rig->device->SetTextureStageState(0, kTssColorArg2, kTaDiffuse);
    rig->device->SetTextureStageState(0, kTssAlphaOp, kTopSelectArg2);
    rig->device->SetTextureStageState(0, kTssAlphaArg2, kTaDiffuse);
    return true;
}

void Box(D3dDevice& d, float l, float t, float r, float b, uint32_t color) {
    const VertexUntextured v[6] = {{l, t, 0, 1, color}, {r, t, 0, 1, 0}, {l, b, 0, 1, 0},
                                   {r, b, 0, 1, color}, {l, b, 0, 1, 0}, {r, t, 0, 1, 0}};
    ASSERT_EQ(d.DrawPrimitive(kPrimitiveTriangleList, kFvfUntextured, v, 6, 0), kDdOk);
}

TEST(Direct3DStandInTest, ReportsOneTnLDeviceAndFiveTextureFormats) {
    Rig rig;
    ASSERT_TRUE(MakeRig(&rig, std::make_shared<RecordingD3dBackend>()));
    std::vector<uint32_t> devices;
    rig.object->EnumDevices([&](const D3dDeviceDesc& d) {
        devices.push_back(d.device);
        EXPECT_EQ(d.render_bit_depths, kDdbd16 | kDdbd32);
        return true;
    });
    EXPECT_EQ(devices, (std::vector<uint32_t>{kD3dDeviceHal, kD3dDeviceTnLHal}));
    std::vector<uint32_t> alpha_masks;
    rig.device->EnumTextureFormats([&](const DdPixelFormat& f) {
        alpha_masks.push_back(f.alpha_mask);
        return true;
    });
    EXPECT_EQ(alpha_masks, (std::vector<uint32_t>{0, 0x8000, 0xF000, 0, 0xFF000000}));
}

TEST(Direct3DStandInTest, RecordsCallsAndTurnsStripsIntoTriangles) {
    auto recording = std::make_shared<RecordingD3dBackend>();
    Rig rig;
    ASSERT_TRUE(MakeRig(&rig, recording));
    recording->calls.clear();
    const VertexUntextured v[4] = {{0, 0, 0, 1, 1}, {1, 0, 0, 1, 2}, {0, 1, 0, 1, 3}, {1, 1, 0, 1, 4}};
    const uint16_t indices[6] = {0, 1, 2, 3, 3, 3};
    ASSERT_EQ(rig.device->DrawIndexedPrimitive(kPrimitiveTriangleStrip, kFvfUntextured, v, 4, indices, 6, 0), kDdOk);
    ASSERT_EQ(recording->calls.size(), 1u);
    EXPECT_EQ(recording->calls[0].kind, D3dCallKind::kDrawIndexed);
    EXPECT_EQ(recording->calls[0].count, 6);
    EXPECT_EQ(rig.device->SetViewport(D3dViewport{0, 0, 32, 32}), kDdErrInvalidParams);  // beyond the target
    EXPECT_EQ(rig.device->DrawPrimitive(kPrimitiveTriangleList, 0x999, v, 3, 0), kDdErrInvalidParams);
}

TEST(Direct3DStandInTest, OpenGLFollowsTheDeviceRulesForBoxesAndTextures) {
    Rig rig;
    if (!MakeRig(&rig, SharedGlBackend())) GTEST_SKIP() << "no OpenGL context: " << GlBackendProblem();
    rig.Fill(*rig.target, 0);
    // Whole-pixel corners (2, 2)-(6, 5): columns 2 to 5, rows 2 to 4; the
    // colour comes from each triangle's first vertex.
    Box(*rig.device, 2, 2, 6, 5, 0xFFFF0000);
    EXPECT_EQ(rig.Pixel(2, 2) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(rig.Pixel(5, 4) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(rig.Pixel(6, 4) & 0xFFFFFF, 0u);
    EXPECT_EQ(rig.Pixel(5, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(rig.Pixel(1, 2) & 0xFFFFFF, 0u);
    EXPECT_EQ(rig.Pixel(2, 1) & 0xFFFFFF, 0u);
    // The viewport clips without moving the vertices.
    ASSERT_EQ(rig.device->SetViewport(D3dViewport{8, 8, 8, 8}), kDdOk);
    Box(*rig.device, 6, 6, 12, 12, 0xFF00FF00);
    EXPECT_EQ(rig.Pixel(7, 7) & 0xFFFFFF, 0u);
    EXPECT_EQ(rig.Pixel(8, 8) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(rig.Pixel(11, 11) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(rig.Pixel(12, 12) & 0xFFFFFF, 0u);
    ASSERT_EQ(rig.device->SetViewport(D3dViewport{0, 0, 16, 16}), kDdOk);

    // A 4 x 4 keyed texture drawn at (8, 0) with texel centres on pixel
    // centres: texel (i, j) lands on pixel (8 + i, j); keyed texels leave
    // the target as it was.
    auto texture = rig.Surface(4, 4, Format(16, 0, 0xF800, 0x7E0, 0x1F), kDdsCapsTexture);
    DdSurfaceDesc desc;
    ASSERT_EQ(texture->Lock(nullptr, &desc, kDdLockWait), kDdOk);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint16_t v = (x == 1 && y == 2) ? 0xF81F : static_cast<uint16_t>((x * 8) << 11 | (y * 16) << 5);
            std::memcpy(static_cast<uint8_t*>(desc.surface) + y * desc.pitch + x * 2, &v, 2);
        }
    texture->Unlock(nullptr);
    const DdColorKey key{0xF81F, 0xF81F};
    texture->SetColorKey(kDdCkeySrcBlt, &key);
    rig.device->SetTexture(0, texture);
    rig.device->SetRenderState(kRsColorKeyEnable, 1);
    rig.device->SetTextureStageState(0, kTssColorOp, kTopSelectArg1);
    rig.device->SetTextureStageState(0, kTssColorArg1, kTaTexture);
    const VertexOneTexture q[6] = {{7.5f, -0.5f, 0, 1, 0xFFFFFFFF, 0, 0}, {11.5f, -0.5f, 0, 1, 0xFFFFFFFF, 1, 0},
                                   {7.5f, 3.5f, 0, 1, 0xFFFFFFFF, 0, 1},  {11.5f, 3.5f, 0, 1, 0xFFFFFFFF, 1, 1},
                                   {7.5f, 3.5f, 0, 1, 0xFFFFFFFF, 0, 1},  {11.5f, -0.5f, 0, 1, 0xFFFFFFFF, 1, 0}};
    rig.Fill(*rig.target, 0x123456);
    ASSERT_EQ(rig.device->DrawPrimitive(kPrimitiveTriangleList, kFvfOneTexture, q, 6, 0), kDdOk);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            // 5- and 6-bit channels widened to 8 bits, rounded.
            const uint32_t red = static_cast<uint32_t>((x * 8 * 255 + 15) / 31);
            const uint32_t green = static_cast<uint32_t>((y * 16 * 255 + 31) / 63);
            const uint32_t expected = (x == 1 && y == 2) ? 0x123456u : (red << 16 | green << 8);
            EXPECT_EQ(rig.Pixel(8 + x, y) & 0xFFFFFF, expected) << x << "," << y;
        }
}

TEST(Direct3DStandInTest, BlendsOnASixteenBitTargetQuantiseLikeTheDisplay) {
    Rig rig;
    if (!MakeRig(&rig, SharedGlBackend(), 16)) GTEST_SKIP() << "no OpenGL context: " << GlBackendProblem();
    rig.Fill(*rig.target, 0x001F);  // blue
    rig.device->SetRenderState(kRsAlphaBlendEnable, 1);
    rig.device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    rig.device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    Box(*rig.device, 0, 0, 4, 4, 0x80FF0000);  // half red
    const uint32_t v = rig.Pixel(1, 1);
    // Half of 31 each way, within a step of the 5-bit channels.
    EXPECT_NEAR(static_cast<int>(v >> 11), 16, 1);
    EXPECT_EQ((v >> 5) & 0x3F, 0u);
    EXPECT_NEAR(static_cast<int>(v & 0x1F), 15, 1);
}

}  // namespace
}  // namespace velk::platform

namespace velk::platform {
namespace {

TEST(Direct3DChoice, MesasSoftwareRasterizersAreNoHardwareDevice) {
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer", "swrast"})
        EXPECT_TRUE(IsSoftwareRasterizerName(name)) << name;
    for (const char* name : {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "AMD Radeon RX 6600 (radeonsi, navi23)",
                             "NVIDIA GeForce GTX 1060/PCIe/SSE2", ""})
        EXPECT_FALSE(IsSoftwareRasterizerName(name)) << name;
}

// Without a chosen back-end the stand-in offers OpenGL only when it draws on
// a GPU, or when the player asks for it anyway.
TEST(Direct3DChoice, ASoftwareRasterizerIsUsedOnlyWhenAskedFor) {
    if (!SharedGlBackend()) GTEST_SKIP() << "no OpenGL context here: " << GlBackendProblem();
    SetDirect3DBackendFactory(nullptr);
    std::unique_ptr<D3dObject> object;
    unsetenv("VELK_3D");
    EXPECT_EQ(CreateDirect3D(&object), SharedGlBackendAccelerated() ? kDdOk : kDdErrNoDirect3D);
    setenv("VELK_3D", "1", 1);
    EXPECT_EQ(CreateDirect3D(&object), kDdOk);
    setenv("VELK_NO_3D", "1", 1);
    EXPECT_EQ(CreateDirect3D(&object), kDdErrNoDirect3D) << "switching the path off wins";
    unsetenv("VELK_NO_3D");
    unsetenv("VELK_3D");
}

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// On a software rasterizer the context that found it out is let go at once,
// with the driver's threads, and is not made again only to be declined.
TEST(Direct3DChoice, ADeclinedProbeIsReleasedWholeAndNotMadeAgain) {
    SetDirect3DBackendFactory(nullptr);
    unsetenv("VELK_3D");
    unsetenv("VELK_NO_3D");
    ReleaseSharedGlBackend();
    const int threads = ThreadCount();
    if (!SharedGlBackend()) GTEST_SKIP() << "no OpenGL context here: " << GlBackendProblem();
    if (SharedGlBackendAccelerated()) {
        EXPECT_FALSE(EglDevicesAllSoftware()) << "a GPU's context, yet EGL called every device software";
        GTEST_SKIP() << "OpenGL runs on a GPU here: nothing is declined";
    }
    std::unique_ptr<D3dObject> object;
    EXPECT_EQ(CreateDirect3D(&object), kDdErrNoDirect3D);
    EXPECT_FALSE(SharedGlBackendLive());
    EXPECT_EQ(ThreadCount(), threads);
    // Where EGL itself says its devices draw in software, a player never
    // made this context; it agrees with what the context found.
    if (!EglDevicesAllSoftware()) std::cout << "EGL does not tell its devices' kind here\n";
    EXPECT_EQ(CreateDirect3D(&object), kDdErrNoDirect3D);
    EXPECT_FALSE(SharedGlBackendAccelerated()) << "the verdict outlives the context";
    EXPECT_FALSE(SharedGlBackendLive());

    // Asked for, the hardware path makes a context again and keeps it while
    // the object holds it.
    setenv("VELK_3D", "1", 1);
    ASSERT_EQ(CreateDirect3D(&object), kDdOk);
    EXPECT_TRUE(SharedGlBackendLive());
    EXPECT_FALSE(ReleaseSharedGlBackend()) << "held by the object";
    object.reset();
    EXPECT_TRUE(ReleaseSharedGlBackend());
    unsetenv("VELK_3D");
}

}  // namespace
}  // namespace velk::platform
