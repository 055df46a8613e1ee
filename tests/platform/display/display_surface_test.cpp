#include <cstring>

#include "platform/display/display_faults.h"
#include "tests/platform/display/display_fixture.h"

namespace velk::platform::testing {
namespace {

using SurfaceTest = DisplayTest;

TEST_F(SurfaceTest, SurfacesLiveInSystemMemoryInTheFormatAsked) {
    DdSurfaceDesc desc;
    desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight;
    desc.caps = kDdsCapsOffscreenPlain | kDdsCapsVideoMemory | kDdsCaps3DDevice;
    desc.width = 33;
    desc.height = 7;
    std::shared_ptr<DdSurface> plain;
    ASSERT_EQ(device->CreateSurface(desc, &plain), kDdOk);
    uint32_t caps = 0;
    plain->GetCaps(&caps);
    EXPECT_EQ(caps & kDdsCapsVideoMemory, 0u);
    EXPECT_NE(caps & kDdsCapsSystemMemory, 0u);
    // Without a format a surface takes the display's: the 32-bit desktop.
    EXPECT_EQ(plain->pixel_format().rgb_bit_count, 32u);
    EXPECT_GE(plain->pitch(), 33 * 4);

    auto sixteen = MakeSurface(5, 5, 16);
    EXPECT_EQ(sixteen->pixel_format().red_mask, 0xF800u);
    EXPECT_EQ(sixteen->bytes_per_pixel(), 2);

    auto primary = MakePrimary();
    EXPECT_EQ(primary->width(), 1024u);
    EXPECT_EQ(primary->height(), 768u);

    // A display without overlays refuses them and their YUV formats.
    SetOverlaysOffered(false);
    desc.caps = kDdsCapsOverlay;
    std::shared_ptr<DdSurface> refused;
    EXPECT_EQ(device->CreateSurface(desc, &refused), kDdErrNoOverlayHardware);
    desc.caps = kDdsCapsOffscreenPlain;
    desc.flags |= kDdsdPixelFormat;
    desc.pixel_format = DdPixelFormat{32, kPixelFormatFourCc, 0x59565955, 0, 0, 0, 0, 0};
    EXPECT_EQ(device->CreateSurface(desc, &refused), kDdErrInvalidPixelFormat);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(device->QueryDirect3D(), kDdErrNoDirect3D);
}

TEST_F(SurfaceTest, LocksAreSingleAndBlockBlits) {
    auto surface = MakeSurface(8, 8, 32);
    DdSurfaceDesc desc;
    Rect rect{2, 3, 6, 8};
    ASSERT_EQ(surface->Lock(&rect, &desc, kDdLockWait), kDdOk);
    EXPECT_EQ(static_cast<uint8_t*>(desc.surface), surface->row(3) + 2 * 4);
    EXPECT_EQ(desc.pitch, surface->pitch());
    DdSurfaceDesc again;
    EXPECT_EQ(surface->Lock(nullptr, &again, kDdLockWait), kDdErrSurfaceBusy);
    DdBltFx fx;
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdErrSurfaceBusy);
    auto other = MakeSurface(8, 8, 32);
    EXPECT_EQ(other->BltFast(0, 0, surface.get(), nullptr, 0), kDdErrSurfaceBusy);
    EXPECT_EQ(surface->Unlock(nullptr), kDdOk);
    EXPECT_EQ(surface->Unlock(nullptr), kDdErrNotLocked);
    Rect outside{4, 4, 9, 5};
    EXPECT_EQ(surface->Lock(&outside, &desc, 0), kDdErrInvalidRect);
}

TEST_F(SurfaceTest, FillsWriteRawValuesAndDepthOnlyIntoZBuffers) {
    auto surface = MakeSurface(4, 3, 16);
    DdBltFx fx;
    fx.fill_color = 0x1234;
    Rect rect{1, 1, 3, 2};
    ASSERT_EQ(surface->Blt(&rect, nullptr, nullptr, kDdBltColorFill | kDdBltWait, &fx), kDdOk);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint16_t value;
            std::memcpy(&value, surface->row(y) + x * 2, 2);
            EXPECT_EQ(value, (y == 1 && (x == 1 || x == 2)) ? 0x1234 : 0) << x << "," << y;
        }
    }
    fx.fill_depth = 0xFFFF;
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, kDdBltDepthFill, &fx), kDdErrInvalidParams);

    DdSurfaceDesc desc;
    desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight;
    desc.caps = kDdsCapsZBuffer;
    desc.width = 4;
    desc.height = 3;
    std::shared_ptr<DdSurface> z;
    ASSERT_EQ(device->CreateSurface(desc, &z), kDdOk);
    ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, kDdBltDepthFill | kDdBltWait, &fx), kDdOk);
    uint16_t depth;
    std::memcpy(&depth, z->row(2) + 3 * 2, 2);
    EXPECT_EQ(depth, 0xFFFF);
    EXPECT_EQ(surface->AddAttachedSurface(z), kDdOk);
    std::shared_ptr<DdSurface> found;
    EXPECT_EQ(surface->GetAttachedSurface(kDdsCapsZBuffer, &found), kDdOk);
    EXPECT_EQ(found, z);
    EXPECT_EQ(surface->DeleteAttachedSurface(z.get()), kDdOk);
    EXPECT_NE(surface->GetAttachedSurface(kDdsCapsZBuffer, &found), kDdOk);
}

TEST_F(SurfaceTest, BltStretchesByNearestPixelsAndHonoursTheSourceKey) {
    auto source = MakeSurface(2, 2, 32);
    Put32(*source, 0, 0, 0x111111);
    Put32(*source, 1, 0, 0xFF00FF);
    Put32(*source, 0, 1, 0x333333);
    Put32(*source, 1, 1, 0x444444);
    auto dest = MakeSurface(6, 4, 32);
    DdBltFx fx;
    fx.fill_color = 0x999999;
    dest->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    Rect wide{1, 0, 5, 4};
    ASSERT_EQ(dest->Blt(&wide, source.get(), nullptr, kDdBltWait, nullptr), kDdOk);
    EXPECT_EQ(Pixel32(*dest, 0, 0), 0x999999u);
    EXPECT_EQ(Pixel32(*dest, 1, 0), 0x111111u);
    EXPECT_EQ(Pixel32(*dest, 2, 1), 0x111111u);
    EXPECT_EQ(Pixel32(*dest, 3, 0), 0xFF00FFu);
    EXPECT_EQ(Pixel32(*dest, 4, 3), 0x444444u);
    EXPECT_EQ(Pixel32(*dest, 5, 3), 0x999999u);

    // The key compares colour bits only: an X byte of 0xFF still matches.
    DdColorKey key{0xFF00FF, 0xFF00FF};
    ASSERT_EQ(source->SetColorKey(kDdCkeySrcBlt, &key), kDdOk);
    Put32(*source, 1, 0, 0xFFFF00FF);
    dest->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    ASSERT_EQ(dest->Blt(&wide, source.get(), nullptr, kDdBltKeySrc, nullptr), kDdOk);
    EXPECT_EQ(Pixel32(*dest, 3, 0), 0x999999u);
    EXPECT_EQ(Pixel32(*dest, 1, 0), 0x111111u);

    Rect off{4, 0, 8, 2};
    EXPECT_EQ(dest->Blt(&off, source.get(), nullptr, 0, nullptr), kDdErrInvalidRect);
    auto sixteen = MakeSurface(2, 2, 16);
    EXPECT_EQ(dest->Blt(nullptr, sixteen.get(), nullptr, 0, nullptr), kDdErrInvalidPixelFormat);
}

TEST_F(SurfaceTest, BltFastCopiesUnscaledAndOverlappingCopiesStayIntact) {
    auto surface = MakeSurface(5, 1, 32);
    for (int x = 0; x < 5; ++x) Put32(*surface, x, 0, 0x10 * (x + 1));
    Rect first_four{0, 0, 4, 1};
    ASSERT_EQ(surface->BltFast(1, 0, surface.get(), &first_four, kDdBltFastWait), kDdOk);
    EXPECT_EQ(Pixel32(*surface, 0, 0), 0x10u);
    EXPECT_EQ(Pixel32(*surface, 1, 0), 0x10u);
    EXPECT_EQ(Pixel32(*surface, 4, 0), 0x40u);
    EXPECT_EQ(surface->BltFast(2, 0, surface.get(), &first_four, 0), kDdErrInvalidRect);

    auto keyed = MakeSurface(2, 1, 32);
    Put32(*keyed, 0, 0, 0);
    Put32(*keyed, 1, 0, 0x777777);
    EXPECT_EQ(surface->BltFast(0, 0, keyed.get(), nullptr, kDdBltFastSrcColorKey), kDdErrNoColorKey);
    DdColorKey black{0, 0};
    keyed->SetColorKey(kDdCkeySrcBlt, &black);
    ASSERT_EQ(surface->BltFast(0, 0, keyed.get(), nullptr, kDdBltFastSrcColorKey), kDdOk);
    EXPECT_EQ(Pixel32(*surface, 0, 0), 0x10u);
    EXPECT_EQ(Pixel32(*surface, 1, 0), 0x777777u);
}

TEST_F(SurfaceTest, BothCopiesRefuseSourceRectanglesPastAnyEdgeOfTheSource) {
    auto source = MakeSurface(4, 3, 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            Put32(*source, x, y, 0x010101u * static_cast<uint32_t>(1 + x + 4 * y));
    auto dest = MakeSurface(8, 8, 32);
    DdBltFx fx;
    fx.fill_color = 0x999999;
    dest->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    const Rect past_edges[] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {2, 0, 5, 2}, {0, 1, 2, 4}};
    for (const Rect& from : past_edges) {
        const Rect to{0, 0, from.right - from.left, from.bottom - from.top};
        EXPECT_EQ(dest->Blt(&to, source.get(), &from, 0, nullptr), kDdErrInvalidRect);
        EXPECT_EQ(dest->BltFast(0, 0, source.get(), &from, 0), kDdErrInvalidRect);
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(Pixel32(*dest, x, y), 0x999999u) << x << "," << y;
    // The whole source, edge to edge, is taken by both.
    const Rect whole{0, 0, 4, 3};
    const Rect to{4, 5, 8, 8};
    ASSERT_EQ(dest->Blt(&to, source.get(), &whole, 0, nullptr), kDdOk);
    ASSERT_EQ(dest->BltFast(0, 0, source.get(), &whole, 0), kDdOk);
    EXPECT_EQ(Pixel32(*dest, 7, 7), 0x0C0C0Cu);
    EXPECT_EQ(Pixel32(*dest, 3, 2), 0x0C0C0Cu);
    EXPECT_EQ(Pixel32(*dest, 4, 0), 0x999999u);
}

TEST_F(SurfaceTest, ForcedLossSpoilsPixelsUntilRestored) {
    auto surface = MakeSurface(3, 3, 32);
    DdBltFx fx;
    fx.fill_color = 0x123456;
    surface->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    device->ForceSurfaceLoss();
    EXPECT_EQ(surface->IsLost(), kDdErrSurfaceLost);
    DdSurfaceDesc desc;
    EXPECT_EQ(surface->Lock(nullptr, &desc, 0), kDdErrSurfaceLost);
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdErrSurfaceLost);
    ASSERT_EQ(surface->Restore(), kDdOk);
    EXPECT_EQ(surface->IsLost(), kDdOk);
    EXPECT_NE(Pixel32(*surface, 1, 1), 0x123456u);
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
}

TEST_F(SurfaceTest, GdiCopyIgnoresKeysAndClipsToTheDestination) {
    auto source = MakeSurface(4, 4, 16);
    DdBltFx fx;
    fx.fill_color = 0xF800;
    source->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    DdColorKey key{0xF800, 0xF800};
    source->SetColorKey(kDdCkeySrcBlt, &key);
    auto dest = MakeSurface(4, 4, 16);
    ASSERT_EQ(GdiCopySurfaceRect(*dest, 2, 2, *source, Rect{0, 0, 4, 4}), kDdOk);
    uint16_t value;
    std::memcpy(&value, dest->row(3) + 3 * 2, 2);
    EXPECT_EQ(value, 0xF800);
    std::memcpy(&value, dest->row(1) + 1 * 2, 2);
    EXPECT_EQ(value, 0);
    auto wide = MakeSurface(4, 4, 32);
    EXPECT_EQ(GdiCopySurfaceRect(*wide, 0, 0, *source, Rect{0, 0, 4, 4}), kDdErrInvalidPixelFormat);
}

TEST_F(SurfaceTest, ADrawingContextIsHandedOutOnceAndEachStepCanBeMadeToFail) {
    auto surface = MakeSurface(4, 4, 32);
    EXPECT_EQ(surface->ReleaseDC(), kDdErrNoDc);
    ASSERT_EQ(surface->GetDC(), kDdOk);
    EXPECT_TRUE(surface->has_dc());
    EXPECT_EQ(surface->GetDC(), kDdErrDcAlreadyCreated);
    EXPECT_EQ(surface->ReleaseDC(), kDdOk);
    EXPECT_FALSE(surface->has_dc());
    DdSurfaceDesc desc;
    ASSERT_EQ(surface->Lock(nullptr, &desc, 0), kDdOk);
    EXPECT_EQ(surface->GetDC(), kDdErrSurfaceBusy);
    surface->Unlock(nullptr);
    surface->MarkLost();
    EXPECT_EQ(surface->GetDC(), kDdErrSurfaceLost);
    surface->Restore();
    // The second GetDC, the first ReleaseDC and the next copy fail; a failed
    // release still gives the context back.
    FailDisplayStep(DisplayStep::kGetDC, 1, 1);
    FailDisplayStep(DisplayStep::kReleaseDC);
    FailDisplayStep(DisplayStep::kGdiCopy);
    auto other = MakeSurface(4, 4, 32);
    EXPECT_EQ(surface->GetDC(), kDdOk);
    EXPECT_EQ(other->GetDC(), kDdErrGeneric);
    EXPECT_EQ(surface->ReleaseDC(), kDdErrGeneric);
    EXPECT_FALSE(surface->has_dc());
    EXPECT_EQ(GdiCopySurfaceRect(*other, 0, 0, *surface, Rect{0, 0, 4, 4}), kDdErrGeneric);
    EXPECT_EQ(GdiCopySurfaceRect(*other, 0, 0, *surface, Rect{0, 0, 4, 4}), kDdOk);
    EXPECT_EQ(other->GetDC(), kDdOk);
    ClearDisplayFaults();
}

}  // namespace
}  // namespace velk::platform::testing
