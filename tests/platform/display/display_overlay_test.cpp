// Overlays and YUV surfaces of the display stand-in: the layouts a lock
// hands out, what the device reports, and the present step laying shown
// overlays over the window (YUV turned into RGB by BT.601 studio range).

#include <cmath>
#include <cstring>

#include "platform/display/overlay_composite.h"
#include "tests/platform/display/display_fixture.h"

namespace velk::platform::testing {
namespace {

// BT.601 studio range in floating point, rounded: the reference the
// compositor's integer form must meet within one step.
struct Rgb {
    int r, g, b;
};
Rgb Bt601(int y, int u, int v) {
    auto clamp = [](double x) { return static_cast<int>(std::lround(std::fmin(255.0, std::fmax(0.0, x)))); };
    const double c = 1.164 * (y - 16);
    return Rgb{clamp(c + 1.596 * (v - 128)), clamp(c - 0.391 * (u - 128) - 0.813 * (v - 128)),
               clamp(c + 2.018 * (u - 128))};
}

::testing::AssertionResult Near(uint32_t shown, const Rgb& want) {
    const int r = static_cast<int>((shown >> 16) & 0xFF), g = static_cast<int>((shown >> 8) & 0xFF),
              b = static_cast<int>(shown & 0xFF);
    if (std::abs(r - want.r) <= 1 && std::abs(g - want.g) <= 1 && std::abs(b - want.b) <= 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "shown " << r << "," << g << "," << b << " want " << want.r << "," << want.g
                                         << "," << want.b;
}

class OverlayTest : public DisplayTest {
protected:
    std::shared_ptr<DdSurface> MakeYuvSurface(uint32_t four_cc, uint32_t width, uint32_t height, uint32_t caps) {
        DdSurfaceDesc desc;
        desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
        desc.caps = caps;
        desc.width = width;
        desc.height = height;
        desc.pixel_format.size = sizeof(DdPixelFormat);
        desc.pixel_format.flags = kPixelFormatFourCc;
        desc.pixel_format.four_cc = four_cc;
        std::shared_ptr<DdSurface> surface;
        EXPECT_EQ(device->CreateSurface(desc, &surface), kDdOk);
        return surface;
    }
    platform::PresentedFrame Shown() {
        platform::PresentedFrame frame;
        EXPECT_TRUE(output.output().ReadPresentedPixels(window, &frame));
        return frame;
    }
};

// The Y, U and V of pixel (x, y) of the 4 x 4 test picture: every pixel its
// own luma, each 2 x 2 block its own chroma.
int TestY(int x, int y) { return 40 + 12 * (y * 4 + x); }
int TestU(int x, int y) { return 60 + 50 * (y / 2) + 30 * (x / 2); }
int TestV(int x, int y) { return 200 - 40 * (y / 2) - 25 * (x / 2); }

// Writes the test picture in the surface's layout, by the layout's rules.
void WriteTestPicture(DdSurface& surface) {
    DdSurfaceDesc desc;
    ASSERT_EQ(surface.Lock(nullptr, &desc, kDdLockWriteOnly), kDdOk);
    uint8_t* p = static_cast<uint8_t*>(desc.surface);
    const int pitch = desc.pitch;
    const uint32_t four_cc = desc.pixel_format.four_cc;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            if (four_cc == kFourCcYv12) {
                p[y * pitch + x] = static_cast<uint8_t>(TestY(x, y));
                uint8_t* v_plane = p + pitch * 4;
                uint8_t* u_plane = v_plane + (pitch / 2) * 2;
                v_plane[(y / 2) * (pitch / 2) + x / 2] = static_cast<uint8_t>(TestV(x, y));
                u_plane[(y / 2) * (pitch / 2) + x / 2] = static_cast<uint8_t>(TestU(x, y));
            } else {
                uint8_t* pair = p + y * pitch + (x / 2) * 4;
                const bool yuy2 = four_cc == kFourCcYuy2;
                pair[(yuy2 ? 0 : 1) + (x % 2) * 2] = static_cast<uint8_t>(TestY(x, y));
                pair[yuy2 ? 1 : 0] = static_cast<uint8_t>(TestU(x, y));
                pair[yuy2 ? 3 : 2] = static_cast<uint8_t>(TestV(x, y));
            }
        }
    }
    surface.Unlock(nullptr);
}

TEST_F(OverlayTest, YuvSurfacesAreDisplayMemoryInTheirLayoutAndRefuseBlits) {
    auto yv12 = MakeYuvSurface(kFourCcYv12, 10, 6, kDdsCapsVideoMemory);
    ASSERT_TRUE(yv12);
    uint32_t caps = 0;
    yv12->GetCaps(&caps);
    EXPECT_NE(caps & kDdsCapsVideoMemory, 0u);
    EXPECT_EQ(caps & kDdsCapsSystemMemory, 0u);
    EXPECT_EQ(yv12->pixel_format().four_cc, kFourCcYv12);
    EXPECT_EQ(yv12->pixel_format().rgb_bit_count, 12u);
    EXPECT_GE(yv12->pitch(), 10);
    // The last byte of the U plane lies inside the surface.
    DdSurfaceDesc desc;
    ASSERT_EQ(yv12->Lock(nullptr, &desc, kDdLockWriteOnly), kDdOk);
    uint8_t* last = static_cast<uint8_t*>(desc.surface) + desc.pitch * 6 + (desc.pitch / 2) * 3 * 2 - 1;
    *last = 7;
    yv12->Unlock(nullptr);

    auto yuy2 = MakeYuvSurface(kFourCcYuy2, 10, 6, kDdsCapsOverlay);
    ASSERT_TRUE(yuy2);
    EXPECT_EQ(yuy2->bytes_per_pixel(), 2);
    EXPECT_GE(yuy2->pitch(), 20);
    auto plain = MakeSurface(10, 6, 32);
    EXPECT_EQ(plain->BltFast(0, 0, yuy2.get(), nullptr, 0), kDdErrUnsupported);
    EXPECT_EQ(yuy2->Blt(nullptr, plain.get(), nullptr, 0, nullptr), kDdErrUnsupported);

    DdSurfaceDesc unknown;
    unknown.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
    unknown.caps = kDdsCapsVideoMemory;
    unknown.width = unknown.height = 8;
    unknown.pixel_format.flags = kPixelFormatFourCc;
    unknown.pixel_format.four_cc = MakeFourCc('I', '4', '2', '0');
    std::shared_ptr<DdSurface> refused;
    EXPECT_EQ(device->CreateSurface(unknown, &refused), kDdErrInvalidPixelFormat);
}

TEST_F(OverlayTest, TheDeviceReportsOverlaysAndTheAlignmentItWasGiven) {
    DdDeviceCaps caps;
    device->GetCaps(&caps, nullptr);
    EXPECT_NE(caps.caps & kDdCapsOverlay, 0u);
    EXPECT_NE(caps.caps & kDdCapsOverlayFourCc, 0u);
    EXPECT_EQ(
        caps.caps & (kDdCapsAlignBoundarySrc | kDdCapsAlignSizeSrc | kDdCapsAlignBoundaryDest | kDdCapsAlignSizeDest),
        0u);
    SetOverlayAlignment(OverlayAlignment{4, 0, 0, 8});
    device->GetCaps(&caps, nullptr);
    EXPECT_EQ(
        caps.caps & (kDdCapsAlignBoundarySrc | kDdCapsAlignSizeSrc | kDdCapsAlignBoundaryDest | kDdCapsAlignSizeDest),
        kDdCapsAlignBoundarySrc | kDdCapsAlignSizeDest);
    EXPECT_EQ(caps.align_boundary_src, 4u);
    EXPECT_EQ(caps.align_size_dest, 8u);
    SetOverlaysOffered(false);
    device->GetCaps(&caps, nullptr);
    EXPECT_EQ(caps.caps & kDdCapsOverlay, 0u);
}

TEST_F(OverlayTest, TheStudioRangeFormulaGivesBlackWhiteAndPureRed) {
    EXPECT_EQ(YuvToXrgb(16, 128, 128), 0x000000u);
    EXPECT_EQ(YuvToXrgb(235, 128, 128), 0xFFFFFFu);
    EXPECT_EQ(YuvToXrgb(81, 90, 240), 0xFF0000u);
    for (int y = 0; y < 256; y += 15)
        for (int u = 0; u < 256; u += 17)
            for (int v = 0; v < 256; v += 19)
                EXPECT_TRUE(Near(YuvToXrgb(y, u, v), Bt601(y, u, v)));
}

class OverlayLayoutTest : public OverlayTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(OverlayLayoutTest, AShownOverlayIsLaidOverTheWindowStretchedAndGoesWhenHidden) {
    auto primary = MakePrimary();
    DdBltFx fx;
    fx.fill_color = 0x102030;
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
    auto overlay = MakeYuvSurface(GetParam(), 4, 4, kDdsCapsOverlay | kDdsCapsVideoMemory);
    ASSERT_TRUE(overlay);
    WriteTestPicture(*overlay);
    // The right half of the picture, twice its size, at (20, 10) of the
    // window's client area (the window stands at (100, 50) of the desktop).
    const Rect source{2, 0, 4, 4};
    const Rect dest{120, 60, 124, 68};
    ASSERT_EQ(overlay->UpdateOverlay(&source, primary.get(), &dest, kDdOverShow), kDdOk);
    PresentedFrame frame = Shown();
    ASSERT_EQ(frame.width, 640);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int sx = 2 + x / 2, sy = y / 2;
            EXPECT_TRUE(Near(frame.at(20 + x, 10 + y), Bt601(TestY(sx, sy), TestU(sx, sy), TestV(sx, sy))))
                << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(frame.at(19, 10), 0x102030u);
    EXPECT_EQ(frame.at(24, 10), 0x102030u);
    EXPECT_EQ(frame.at(20, 18), 0x102030u);
    // The primary itself never holds the overlay.
    EXPECT_EQ(Pixel32(*primary, 120, 60), 0x102030u);
    // A new picture shows as soon as the overlay is unlocked.
    DdSurfaceDesc desc;
    ASSERT_EQ(overlay->Lock(nullptr, &desc, kDdLockWriteOnly), kDdOk);
    std::memset(desc.surface, GetParam() == kFourCcYv12 ? 16 : 128, static_cast<size_t>(desc.pitch));
    overlay->Unlock(nullptr);
    frame = Shown();
    EXPECT_NE(frame.at(20, 10), 0x102030u);
    EXPECT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), nullptr, kDdOverHide), kDdOk);
    frame = Shown();
    EXPECT_EQ(frame.at(20, 10), 0x102030u);
    EXPECT_EQ(frame.at(23, 17), 0x102030u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, OverlayLayoutTest, ::testing::Values(kFourCcYv12, kFourCcYuy2, kFourCcUyvy));

TEST_P(OverlayLayoutTest, WideRowsMatchThePixelByPixelFormulaFromAnyColumn) {
    // 37 x 6 pixels of noise: rows long enough for the wide loops, shown
    // from column 3 (odd) unscaled and from column 0 stretched. 5 rows: YV12's
    // last row has chroma rows of its own, after which the U plane starts.
    for (const int height : {6, 5}) {
        SCOPED_TRACE(height);
        auto overlay = MakeYuvSurface(GetParam(), 38, height, kDdsCapsOverlay);
        ASSERT_TRUE(overlay);
        DdSurfaceDesc desc;
        ASSERT_EQ(overlay->Lock(nullptr, &desc, kDdLockWriteOnly), kDdOk);
        uint8_t* p = static_cast<uint8_t*>(desc.surface);
        const int chroma_rows = (height + 1) / 2;
        const size_t bytes = GetParam() == kFourCcYv12
                                 ? static_cast<size_t>(desc.pitch) * height + (desc.pitch / 2) * chroma_rows * 2
                                 : static_cast<size_t>(desc.pitch) * height;
        uint32_t seed = 12345;
        for (size_t i = 0; i < bytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            p[i] = static_cast<uint8_t>(seed >> 16);
        }
        overlay->Unlock(nullptr);
        auto yuv_at = [&](int x, int y) {
            if (GetParam() == kFourCcYv12) {
                const uint8_t* v_plane = p + desc.pitch * height;
                const uint8_t* u_plane = v_plane + (desc.pitch / 2) * chroma_rows;
                return YuvToXrgb(p[y * desc.pitch + x], u_plane[(y / 2) * (desc.pitch / 2) + x / 2],
                                 v_plane[(y / 2) * (desc.pitch / 2) + x / 2]);
            }
            const uint8_t* pair = p + y * desc.pitch + (x / 2) * 4;
            const bool yuy2 = GetParam() == kFourCcYuy2;
            return YuvToXrgb(pair[(yuy2 ? 0 : 1) + (x % 2) * 2], pair[yuy2 ? 1 : 0], pair[yuy2 ? 3 : 2]);
        };
        std::vector<uint32_t> frame(64 * 12, 0xDEADBEEF);
        const CompositeFrame target{frame.data(), 64, Rect{0, 0, 64, 12}};
        CompositeOverlay(*overlay, Rect{3, 0, 38, height}, Rect{1, 2, 36, 2 + height}, target);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 35; ++x)
                ASSERT_EQ(frame[(2 + y) * 64 + 1 + x], yuv_at(3 + x, y)) << x << "," << y;
        EXPECT_EQ(frame[2 * 64], 0xDEADBEEFu);
        EXPECT_EQ(frame[2 * 64 + 36], 0xDEADBEEFu);
        // Twice as wide and high: every source pixel shows in a 2 x 2 block.
        CompositeOverlay(*overlay, Rect{0, 0, 32, height}, Rect{0, 0, 64, 2 * height}, target);
        for (int y = 0; y < 2 * height; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(frame[y * 64 + x], yuv_at(x / 2, y / 2)) << x << "," << y;
    }
}

TEST_F(OverlayTest, AnOverlayIsCutToTheWindowAndALostOneIsNotShown) {
    auto primary = MakePrimary();
    DdBltFx fx;
    fx.fill_color = 0x000040;
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
    auto overlay = MakeYuvSurface(kFourCcUyvy, 4, 4, kDdsCapsOverlay);
    WriteTestPicture(*overlay);
    // Half of it left of the client area.
    const Rect dest{98, 50, 102, 54};
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &dest, kDdOverShow), kDdOk);
    PresentedFrame frame = Shown();
    EXPECT_TRUE(Near(frame.at(0, 0), Bt601(TestY(2, 0), TestU(2, 0), TestV(2, 0))));
    EXPECT_TRUE(Near(frame.at(1, 3), Bt601(TestY(3, 3), TestU(3, 3), TestV(3, 3))));
    EXPECT_EQ(frame.at(2, 0), 0x000040u);
    // Moved without show or hide: it stays shown at the new place.
    const Rect moved{300, 200, 304, 204};
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &moved, 0), kDdOk);
    frame = Shown();
    EXPECT_EQ(frame.at(0, 0), 0x000040u);
    EXPECT_TRUE(Near(frame.at(200, 150), Bt601(TestY(0, 0), TestU(0, 0), TestV(0, 0))));
    // Stretched over every column 32 bits reach: the client's columns, just
    // right of the middle, show source column 2 of 4.
    const Rect huge{INT32_MIN, 50, INT32_MAX, 54};
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &huge, 0), kDdOk);
    frame = Shown();
    EXPECT_TRUE(Near(frame.at(0, 0), Bt601(TestY(2, 0), TestU(2, 0), TestV(2, 0))));
    EXPECT_TRUE(Near(frame.at(frame.width - 1, 3), Bt601(TestY(2, 3), TestU(2, 3), TestV(2, 3))));
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &moved, 0), kDdOk);
    overlay->MarkLost();
    primary->PresentIfPrimary();
    EXPECT_EQ(Shown().at(200, 150), 0x000040u);
    EXPECT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &moved, kDdOverShow), kDdErrSurfaceLost);
    // Only overlays are placed, and only on a primary.
    auto plain = MakeSurface(4, 4, 32);
    EXPECT_EQ(plain->UpdateOverlay(nullptr, primary.get(), nullptr, kDdOverShow), kDdErrInvalidParams);
    auto other = MakeYuvSurface(kFourCcYuy2, 4, 4, kDdsCapsOverlay);
    EXPECT_EQ(other->UpdateOverlay(nullptr, plain.get(), nullptr, kDdOverShow), kDdErrInvalidParams);
}

TEST_F(OverlayTest, OnA16BitFullScreenTheFrameUnderTheOverlayKeepsItsColours) {
    ASSERT_EQ(device->SetCooperativeLevel(window, kDdsclExclusive | kDdsclFullScreen), kDdOk);
    ASSERT_EQ(device->SetDisplayMode(640, 480, 16, 0, 0), kDdOk);
    auto primary = MakePrimary();
    ASSERT_EQ(primary->pixel_format().rgb_bit_count, 16u);
    DdBltFx fx;
    fx.fill_color = 0xF800;  // red, 5:6:5
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
    auto overlay = MakeYuvSurface(kFourCcYuy2, 4, 4, kDdsCapsOverlay);
    WriteTestPicture(*overlay);
    const Rect dest{10, 10, 14, 14};
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &dest, kDdOverShow), kDdOk);
    const PresentedFrame frame = Shown();
    ASSERT_EQ(frame.width, 640);
    EXPECT_EQ(frame.at(9, 10), 0xFF0000u);
    EXPECT_EQ(frame.at(14, 13), 0xFF0000u);
    EXPECT_TRUE(Near(frame.at(13, 12), Bt601(TestY(3, 2), TestU(3, 2), TestV(3, 2))));
}

}  // namespace
}  // namespace velk::platform::testing
