// The primary showing a frame blitted whole from a back buffer: whatever is
// done afterwards to the back buffer, the primary keeps that frame (reads,
// locks, later partial blits, re-presents, overlays and loss all see it),
// and the back buffer keeps its own pixels. Also fills that repeat the value
// a surface already holds everywhere.

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/display/display_clipper.h"
#include "platform/display/display_faults.h"
#include "tests/platform/display/display_fixture.h"

namespace velk::platform::testing {
namespace {

// The client area of the fixture's window on the 1024 x 768 desktop.
constexpr Rect kClient{100, 50, 740, 530};

// A value of its own for every pixel of a frame, tagged by frame.
uint32_t Pattern(int frame, int x, int y) {
    return static_cast<uint32_t>(frame << 20) + static_cast<uint32_t>(y * 640 + x);
}

class PrimaryFrameTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        primary = MakePrimary();
        std::shared_ptr<DdClipper> clipper;
        ASSERT_EQ(device->CreateClipper(0, &clipper), kDdOk);
        clipper->SetWindow(window);
        primary->SetClipper(clipper);
        back = MakeSurface(640, 480, 32);
    }

    void Fill(DdSurface& surface, uint32_t value, const Rect* area = nullptr) {
        DdBltFx fx;
        fx.fill_color = value;
        ASSERT_EQ(surface.Blt(area, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
    }
    // A frame as the library draws one: the whole back buffer cleared, then
    // drawn over through a lock.
    void DrawFrame(int frame) {
        Fill(*back, 0);
        DdSurfaceDesc desc;
        ASSERT_EQ(back->Lock(nullptr, &desc, kDdLockWait), kDdOk);
        for (int y = 0; y < 480; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.surface) + y * desc.pitch);
            for (int x = 0; x < 640; ++x)
                row[x] = Pattern(frame, x, y);
        }
        ASSERT_EQ(back->Unlock(nullptr), kDdOk);
    }
    void ShowBack() {
        Rect client = kClient;
        ASSERT_EQ(primary->Blt(&client, back.get(), nullptr, kDdBltWait, nullptr), kDdOk);
    }
    PresentedFrame Presented() {
        PresentedFrame frame;
        EXPECT_TRUE(output.output().ReadPresentedPixels(window, &frame));
        return frame;
    }
    // Every pixel of the primary's client area (read through a lock) and of
    // the presented frame shows `frame`, but for the rectangle `except`.
    void ExpectPrimaryShows(int frame, const Rect& except = Rect{}) {
        DdSurfaceDesc desc;
        ASSERT_EQ(primary->Lock(&kClient, &desc, kDdLockWait | kDdLockReadOnly), kDdOk);
        const PresentedFrame presented = Presented();
        ASSERT_EQ(presented.width, 640);
        for (int y = 0; y < 480; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(desc.surface) + y * desc.pitch);
            for (int x = 0; x < 640; ++x) {
                if (x >= except.left && x < except.right && y >= except.top && y < except.bottom) continue;
                ASSERT_EQ(row[x], Pattern(frame, x, y)) << x << "," << y;
                ASSERT_EQ(presented.at(x, y), Pattern(frame, x, y) & 0xFFFFFF) << x << "," << y;
            }
        }
        ASSERT_EQ(primary->Unlock(nullptr), kDdOk);
    }

    std::shared_ptr<DdSurface> primary;
    std::shared_ptr<DdSurface> back;
};

TEST_F(PrimaryFrameTest, TheShownFrameOutlivesTheBackBuffersNextFrames) {
    DrawFrame(1);
    ShowBack();
    // The next frames are cleared and drawn over the back buffer's store
    // while the primary still shows the one before.
    DrawFrame(2);
    ExpectPrimaryShows(1);
    EXPECT_EQ(Pixel32(*back, 639, 479), Pattern(2, 639, 479));
    for (int frame = 3; frame <= 5; ++frame) {
        ShowBack();
        DrawFrame(frame);
        ExpectPrimaryShows(frame - 1);
        EXPECT_EQ(Pixel32(*back, 0, 0), Pattern(frame, 0, 0));
        EXPECT_EQ(Pixel32(*back, 320, 240), Pattern(frame, 320, 240));
    }
    // The desktop around the window was never written.
    EXPECT_EQ(Pixel32(*primary, 99, 50), 0u);
    EXPECT_EQ(Pixel32(*primary, 740, 529), 0u);
    EXPECT_EQ(Pixel32(*primary, 100, 530), 0u);
}

TEST_F(PrimaryFrameTest, TheBackBufferSettlesOnTwoStoresInTurn) {
    // Frame after frame (nothing reading the primary) the back buffer writes
    // into the store the primary let go of: after the first frames it
    // alternates between two stores, never the one the primary shows, and
    // makes no new one.
    const auto store = [&] {
        DdSurfaceDesc desc;
        EXPECT_EQ(back->Lock(nullptr, &desc, kDdLockWait | kDdLockReadOnly), kDdOk);
        EXPECT_EQ(back->Unlock(nullptr), kDdOk);
        return desc.surface;
    };
    std::vector<void*> stores;
    for (int frame = 1; frame <= 8; ++frame) {
        DrawFrame(frame);
        stores.push_back(store());
        ShowBack();
        EXPECT_EQ(Presented().at(639, 479), Pattern(frame, 639, 479) & 0xFFFFFF);
    }
    for (size_t i = 4; i < stores.size(); ++i) {
        EXPECT_EQ(stores[i], stores[i - 2]) << i;
        EXPECT_NE(stores[i], stores[i - 1]) << i;
        // Frame-sized stores taken in turn start on a huge page.
        EXPECT_EQ(reinterpret_cast<uintptr_t>(stores[i]) % (uintptr_t{2} << 20), 0u) << i;
    }
    // A partial write goes on in the other store, with the frame's pixels.
    const Rect corner{0, 0, 8, 8};
    Fill(*back, 0x123456, &corner);
    EXPECT_EQ(store(), stores[6]);
    EXPECT_EQ(Pixel32(*back, 7, 7), 0x123456u);
    EXPECT_EQ(Pixel32(*back, 8, 8), Pattern(8, 8, 8));
    ExpectPrimaryShows(8);
    // The primary took its frame in when read: the store is the back
    // buffer's alone, and the next frame after a blit takes the other.
    DrawFrame(9);
    EXPECT_EQ(store(), stores[6]);
    ShowBack();
    DrawFrame(10);
    EXPECT_EQ(store(), stores[7]);
    ExpectPrimaryShows(9);
    // After a loss of the back buffer the frames go on in the same two.
    ShowBack();
    back->MarkLost();
    ExpectPrimaryShows(10);
    ASSERT_EQ(back->Restore(), kDdOk);
    DrawFrame(11);
    ShowBack();
    DrawFrame(12);
    EXPECT_TRUE(store() == stores[6] || store() == stores[7]);
    ExpectPrimaryShows(11);
}

TEST_F(PrimaryFrameTest, AStoreAnotherPrimaryStillShowsIsNotTakenBack) {
    auto second = MakePrimary();
    // The frames settle on their two stores first.
    for (int frame = 1; frame <= 4; ++frame) {
        DrawFrame(frame);
        ShowBack();
    }
    DrawFrame(5);
    Rect client = kClient;
    ASSERT_EQ(second->Blt(&client, back.get(), nullptr, kDdBltWait, nullptr), kDdOk);
    // Both stores are shown, one by each primary: the next frame needs a third.
    DrawFrame(6);
    EXPECT_EQ(Pixel32(*primary, kClient.left + 3, kClient.top + 4), Pattern(4, 3, 4));
    EXPECT_EQ(Pixel32(*primary, kClient.left + 639, kClient.top + 479), Pattern(4, 639, 479));
    EXPECT_EQ(Pixel32(*second, kClient.left + 3, kClient.top + 4), Pattern(5, 3, 4));
    EXPECT_EQ(Pixel32(*back, 3, 4), Pattern(6, 3, 4));
}

TEST_F(PrimaryFrameTest, WithoutMemoryForAFreshStoreTheBackBufferDrawsOnAndThePrimariesKeepTheirFrames) {
    const auto store = [&] {
        DdSurfaceDesc desc;
        EXPECT_EQ(back->Lock(nullptr, &desc, kDdLockWait | kDdLockReadOnly), kDdOk);
        EXPECT_EQ(back->Unlock(nullptr), kDdOk);
        return desc.surface;
    };
    // None at all: both primaries that show the back buffer's store copy
    // their frame in, and the back buffer goes on in its one store.
    auto second = MakePrimary();
    FailDisplayStep(DisplayStep::kNewPixelStore, 1000);
    DrawFrame(1);
    void* const first = store();
    ShowBack();
    Rect client = kClient;
    ASSERT_EQ(second->Blt(&client, back.get(), nullptr, kDdBltWait, nullptr), kDdOk);
    for (int frame = 2; frame <= 4; ++frame) {
        DrawFrame(frame);
        EXPECT_EQ(store(), first) << frame;
        ExpectPrimaryShows(frame - 1);
        EXPECT_EQ(Pixel32(*second, kClient.left + 3, kClient.top + 4), Pattern(1, 3, 4)) << frame;
        ShowBack();
    }
    // Memory for one more: the store begun on (not on huge pages) serves as
    // the other of the two the frames take in turn.
    ClearDisplayFaults();
    FailDisplayStep(DisplayStep::kNewPixelStore, 1000, 1);
    DrawFrame(5);
    void* const fresh = store();
    EXPECT_NE(fresh, first);
    ShowBack();
    DrawFrame(6);
    EXPECT_EQ(store(), first);
    ShowBack();
    DrawFrame(7);
    EXPECT_EQ(store(), fresh);
    ExpectPrimaryShows(6);
    ClearDisplayFaults();
}

TEST_F(PrimaryFrameTest, ABackBufferWrittenInPartKeepsTheRestAndAPartialBlitLandsOverTheShownFrame) {
    DrawFrame(1);
    ShowBack();
    // A fill of part of the back buffer keeps the rest of it.
    const Rect corner{10, 20, 30, 25};
    Fill(*back, 0xABCDEF, &corner);
    EXPECT_EQ(Pixel32(*back, 10, 20), 0xABCDEFu);
    EXPECT_EQ(Pixel32(*back, 9, 20), Pattern(1, 9, 20));
    EXPECT_EQ(Pixel32(*back, 30, 24), Pattern(1, 30, 24));
    ExpectPrimaryShows(1);
    // Only that part goes to the primary: the rest still shows frame 1.
    ASSERT_EQ(primary->BltFast(kClient.left + 10, kClient.top + 20, back.get(), &corner, kDdBltFastWait), kDdOk);
    ExpectPrimaryShows(1, corner);
    EXPECT_EQ(Presented().at(29, 24), 0xABCDEFu);
    EXPECT_EQ(Pixel32(*primary, kClient.left + 10, kClient.top + 20), 0xABCDEFu);

    // A whole frame blitted to a smaller rectangle is stretched, not shown as it is.
    DrawFrame(2);
    ShowBack();
    const Rect half{kClient.left, kClient.top, kClient.left + 320, kClient.top + 240};
    ASSERT_EQ(primary->Blt(&half, back.get(), nullptr, kDdBltWait, nullptr), kDdOk);
    DrawFrame(3);
    // Pixel 1's centre (1.5) lies on source pixel 3.
    EXPECT_EQ(Pixel32(*primary, kClient.left + 1, kClient.top + 1), Pattern(2, 3, 3));
    EXPECT_EQ(Pixel32(*primary, kClient.left + 320, kClient.top + 240), Pattern(2, 320, 240));
}

TEST_F(PrimaryFrameTest, TheShownFrameIsReadAsThePrimarysOwnPixels) {
    DrawFrame(1);
    ShowBack();
    DrawFrame(2);
    // Through the drawing context's copy: frame 1.
    const Rect from{kClient.left + 100, kClient.top + 200, kClient.left + 108, kClient.top + 208};
    auto gdi = MakeSurface(8, 8, 32);
    ASSERT_EQ(primary->GetDC(), kDdOk);
    ASSERT_EQ(GdiCopySurfaceRect(*gdi, 0, 0, *primary, from), kDdOk);
    ASSERT_EQ(primary->ReleaseDC(), kDdOk);
    EXPECT_EQ(Pixel32(*gdi, 3, 5), Pattern(1, 103, 205));
    // Blitted from the primary, after the next frame was shown.
    ShowBack();
    DrawFrame(3);
    auto copy = MakeSurface(8, 8, 32);
    ASSERT_EQ(copy->BltFast(0, 0, primary.get(), &from, kDdBltFastWait), kDdOk);
    EXPECT_EQ(Pixel32(*copy, 7, 7), Pattern(2, 107, 207));
    // Presented again with the window partly off the desktop.
    ShowBack();
    DrawFrame(4);
    MoveAppWindow(window, Rect{700, 50, 1340, 530});
    primary->PresentIfPrimary();
    // The window's columns 0 to 39 lie over the frame's last 40.
    EXPECT_EQ(Presented().at(0, 0), Pattern(3, 600, 0));
    EXPECT_EQ(Presented().at(39, 479), Pattern(3, 639, 479));
    EXPECT_EQ(Presented().at(40, 0), 0u);
    MoveAppWindow(window, Rect{100, 50, 740, 530});
    // A write-only lock of a part and a re-present keep the rest.
    const Rect part{kClient.left, kClient.top, kClient.left + 4, kClient.top + 1};
    DdSurfaceDesc desc;
    ASSERT_EQ(primary->Lock(&part, &desc, kDdLockWait | kDdLockWriteOnly), kDdOk);
    std::memset(desc.surface, 0, 16);
    ASSERT_EQ(primary->Unlock(nullptr), kDdOk);
    ExpectPrimaryShows(3, Rect{0, 0, 4, 1});
    EXPECT_EQ(Presented().at(3, 0), 0u);
}

TEST_F(PrimaryFrameTest, LossSpoilsTheShownFrameAndTheBackBuffer) {
    DrawFrame(1);
    ShowBack();
    // The back buffer alone lost: the primary keeps the frame.
    back->MarkLost();
    ExpectPrimaryShows(1);
    ASSERT_EQ(back->Restore(), kDdOk);
    device->ForceSurfaceLoss();
    ASSERT_EQ(primary->Restore(), kDdOk);
    ASSERT_EQ(back->Restore(), kDdOk);
    EXPECT_EQ(Pixel32(*primary, kClient.left + 5, kClient.top + 5), 0xA5A5A5A5u);
    EXPECT_EQ(Pixel32(*back, 5, 5), 0xA5A5A5A5u);
    // Shown again after restoring, and again after a loss of the next frame.
    DrawFrame(2);
    ShowBack();
    ExpectPrimaryShows(2);
    DrawFrame(3);
    device->ForceSurfaceLoss();
    ASSERT_EQ(back->Restore(), kDdOk);
    EXPECT_EQ(Pixel32(*back, 0, 0), 0xA5A5A5A5u);
    ASSERT_EQ(primary->Restore(), kDdOk);
    EXPECT_EQ(Pixel32(*primary, kClient.left, kClient.top), 0xA5A5A5A5u);
}

TEST_F(PrimaryFrameTest, AShownOverlayGoesOverTheShownFrameAndHidingItShowsThatFrameAgain) {
    DdSurfaceDesc desc;
    desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
    desc.caps = kDdsCapsOverlay;
    desc.width = 2;
    desc.height = 2;
    desc.pixel_format.size = sizeof(DdPixelFormat);
    desc.pixel_format.flags = kPixelFormatFourCc;
    desc.pixel_format.four_cc = kFourCcYuy2;
    std::shared_ptr<DdSurface> overlay;
    ASSERT_EQ(device->CreateSurface(desc, &overlay), kDdOk);
    // Studio white: Y 235, U and V 128.
    DdSurfaceDesc locked;
    ASSERT_EQ(overlay->Lock(nullptr, &locked, kDdLockWriteOnly), kDdOk);
    for (int y = 0; y < 2; ++y) {
        const uint8_t white[4] = {235, 128, 235, 128};
        std::memcpy(static_cast<uint8_t*>(locked.surface) + y * locked.pitch, white, 4);
    }
    ASSERT_EQ(overlay->Unlock(nullptr), kDdOk);

    DrawFrame(1);
    ShowBack();
    const Rect place{kClient.left + 10, kClient.top + 10, kClient.left + 12, kClient.top + 12};
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), &place, kDdOverShow), kDdOk);
    EXPECT_EQ(Presented().at(10, 10), 0xFFFFFFu);
    EXPECT_EQ(Presented().at(12, 10), Pattern(1, 12, 10));
    // Hidden after the back buffer moved on: frame 1 is presented again.
    DrawFrame(2);
    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary.get(), nullptr, kDdOverHide), kDdOk);
    EXPECT_EQ(Presented().at(10, 10), Pattern(1, 10, 10));
    ExpectPrimaryShows(1);
}

TEST_F(PrimaryFrameTest, AFullScreenPrimaryShowsAWholeBlitFromTheBackBuffer) {
    ASSERT_EQ(device->SetCooperativeLevel(window, kDdsclExclusive | kDdsclFullScreen), kDdOk);
    ASSERT_EQ(device->SetDisplayMode(640, 480, 32, 0, 0), kDdOk);
    primary = MakePrimary();
    back = MakeSurface(640, 480, 32);
    DrawFrame(1);
    ASSERT_EQ(primary->BltFast(0, 0, back.get(), nullptr, kDdBltFastWait), kDdOk);
    DrawFrame(2);
    const PresentedFrame presented = Presented();
    EXPECT_EQ(presented.at(0, 0), Pattern(1, 0, 0));
    EXPECT_EQ(presented.at(639, 479), Pattern(1, 639, 479) & 0xFFFFFF);
    EXPECT_EQ(Pixel32(*primary, 639, 479), Pattern(1, 639, 479));
    EXPECT_EQ(Pixel32(*back, 639, 479), Pattern(2, 639, 479));
}

class RepeatedFillTest : public DisplayTest {
protected:
    void Fill(DdSurface& surface, uint32_t value, uint32_t flags = kDdBltColorFill, const Rect* area = nullptr) {
        DdBltFx fx;
        fx.fill_color = value;
        fx.fill_depth = value;
        ASSERT_EQ(surface.Blt(area, nullptr, nullptr, flags, &fx), kDdOk);
    }
    static void ExpectAll(DdSurface& surface, uint32_t value) {
        const int bytes = surface.bytes_per_pixel();
        for (uint32_t y = 0; y < surface.height(); ++y)
            for (uint32_t x = 0; x < surface.width(); ++x) {
                uint32_t pixel = 0;
                // Read as the present reads, which leaves the surface as it is.
                std::memcpy(&pixel, std::as_const(surface).row(y) + x * bytes, static_cast<size_t>(bytes));
                ASSERT_EQ(pixel, value) << x << "," << y;
            }
    }
};

// Writes every pixel with a value of its own when asked for the pixels.
class ScribblingMirror final : public SurfaceMirror {
public:
    void PullPixels(DdSurface& surface) override {
        for (uint32_t y = 0; y < surface.height(); ++y)
            for (uint32_t x = 0; x < surface.width(); ++x) {
                const uint32_t value = 0x1000 + x + y * 100;
                std::memcpy(surface.row(y) + x * 4, &value, 4);
            }
    }
};

TEST_F(RepeatedFillTest, AFillAfterAnyWriteFillsAgain) {
    DdSurfaceDesc desc;
    desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight;
    desc.caps = kDdsCapsZBuffer;
    desc.width = 24;
    desc.height = 5;
    std::shared_ptr<DdSurface> depth;
    ASSERT_EQ(device->CreateSurface(desc, &depth), kDdOk);
    Fill(*depth, 0xFFFF, kDdBltDepthFill);
    Fill(*depth, 0xFFFF, kDdBltDepthFill);
    ExpectAll(*depth, 0xFFFF);
    // Through a lock.
    DdSurfaceDesc locked;
    ASSERT_EQ(depth->Lock(nullptr, &locked, kDdLockWait), kDdOk);
    std::memset(locked.surface, 0x12, 8);
    ASSERT_EQ(depth->Unlock(nullptr), kDdOk);
    Fill(*depth, 0xFFFF, kDdBltDepthFill);
    ExpectAll(*depth, 0xFFFF);
    // Through a part filled with another value, then the same value again
    // over a part only.
    const Rect part{3, 1, 9, 4};
    Fill(*depth, 0x7777, kDdBltDepthFill, &part);
    Fill(*depth, 0xFFFF, kDdBltDepthFill);
    ExpectAll(*depth, 0xFFFF);
    Fill(*depth, 0xFFFF, kDdBltDepthFill, &part);
    ExpectAll(*depth, 0xFFFF);
    // Through the stand-in's own rows.
    depth->row(4)[0] = 5;
    Fill(*depth, 0xFFFF, kDdBltDepthFill);
    ExpectAll(*depth, 0xFFFF);

    // Through a blit, and through a loss.
    auto surface = MakeSurface(24, 5, 32);
    auto source = MakeSurface(4, 4, 32);
    Fill(*source, 0x55);
    Fill(*surface, 0x99);
    ASSERT_EQ(surface->BltFast(2, 1, source.get(), nullptr, 0), kDdOk);
    Fill(*surface, 0x99);
    ExpectAll(*surface, 0x99);
    device->ForceSurfaceLoss();
    ASSERT_EQ(surface->Restore(), kDdOk);
    Fill(*surface, 0x99);
    ExpectAll(*surface, 0x99);
    // Through a mirror written last.
    surface->SetMirror(std::make_shared<ScribblingMirror>());
    surface->MarkMirrorNewer();
    Fill(*surface, 0x99, kDdBltColorFill, &part);
    EXPECT_EQ(Pixel32(*surface, 3, 1), 0x99u);
    EXPECT_EQ(Pixel32(*surface, 2, 1), 0x1000u + 2 + 100);
    EXPECT_EQ(Pixel32(*surface, 23, 4), 0x1000u + 23 + 400);
}

}  // namespace
}  // namespace velk::platform::testing
