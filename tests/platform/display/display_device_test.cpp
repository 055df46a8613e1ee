#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/display/display_clipper.h"
#include "platform/display/display_palette.h"
#include "platform/display/vertical_blank.h"
#include "platform/display/window_dib.h"
#include "tests/platform/display/display_fixture.h"

namespace velk::platform::testing {
namespace {

using DeviceTest = DisplayTest;

TEST_F(DeviceTest, FullScreenModesNeedExclusiveModeAndFollowTheTestsFilter) {
    DdSurfaceDesc mode;
    ASSERT_EQ(device->GetDisplayMode(&mode), kDdOk);
    EXPECT_EQ(mode.width, 1024u);
    EXPECT_EQ(mode.pixel_format.rgb_bit_count, 32u);
    EXPECT_EQ(device->SetDisplayMode(640, 480, 16, 0, 0), kDdErrNoExclusiveMode);

    ASSERT_EQ(device->SetCooperativeLevel(window, kDdsclExclusive | kDdsclFullScreen | kDdsclFpuPreserve), kDdOk);
    SetDisplayModeFilter([](const DisplayMode& m) { return m.refresh_rate == 0 && m.bits != 8; });
    EXPECT_EQ(device->SetDisplayMode(640, 480, 16, 60, 0), kDdErrUnsupportedMode);
    EXPECT_EQ(device->SetDisplayMode(640, 480, 8, 0, 0), kDdErrUnsupportedMode);
    auto before = MakeSurface(4, 4, 32);
    ASSERT_EQ(device->SetDisplayMode(640, 480, 16, 0, 0), kDdOk);
    EXPECT_EQ(before->IsLost(), kDdErrSurfaceLost);
    ASSERT_EQ(device->GetDisplayMode(&mode), kDdOk);
    EXPECT_EQ(mode.width, 640u);
    EXPECT_EQ(mode.pixel_format.red_mask, 0xF800u);
    EXPECT_EQ(MakePrimary()->width(), 640u);

    // Leaving exclusive mode gives the desktop back.
    ASSERT_EQ(device->SetCooperativeLevel(window, kDdsclNormal), kDdOk);
    ASSERT_EQ(device->GetDisplayMode(&mode), kDdOk);
    EXPECT_EQ(mode.width, 1024u);
    EXPECT_EQ(mode.pixel_format.rgb_bit_count, 32u);
}

TEST_F(DeviceTest, TheBeamRunsAt60HertzOnTheManualClock) {
    // The clock starts at 1 s: exactly the start of frame 60, line 0.
    uint32_t line = 99;
    ASSERT_EQ(device->GetScanLine(&line), kDdOk);
    EXPECT_EQ(line, 0u);
    int in_blank = 1;
    device->GetVerticalBlankStatus(&in_blank);
    EXPECT_EQ(in_blank, 0);

    ASSERT_EQ(device->WaitForVerticalBlank(kDdWaitVbBlockBegin), kDdOk);
    // Line 480 of the frame starts 480 / 31500 s after it.
    EXPECT_EQ(clock.Microseconds(), 1000000 + (480 * 1000000 + 31499) / 31500);
    EXPECT_EQ(device->GetScanLine(&line), kDdErrVerticalBlankInProgress);
    device->GetVerticalBlankStatus(&in_blank);
    EXPECT_EQ(in_blank, 1);

    // Inside a blank, waiting for its begin waits a whole frame.
    const int64_t first = clock.Microseconds();
    device->WaitForVerticalBlank(kDdWaitVbBlockBegin);
    const int64_t second = clock.Microseconds();
    EXPECT_NEAR(static_cast<double>(second - first), 1e6 / 60, 1.0);
    device->WaitForVerticalBlank(kDdWaitVbBlockEnd);
    EXPECT_EQ(ScanLineAt(clock.Microseconds()), 0);

    int64_t waited_until = 0;
    SetVerticalBlankWaiter([&](int64_t until) { waited_until = until; });
    device->WaitForVerticalBlank(kDdWaitVbBlockBegin);
    SetVerticalBlankWaiter(nullptr);
    EXPECT_GT(waited_until, clock.Microseconds());
}

TEST_F(DeviceTest, ThePrimaryShowsTheDesktopUnderTheWindowAndTheClipperCutsBlits) {
    auto primary = MakePrimary();
    std::shared_ptr<DdClipper> clipper;
    ASSERT_EQ(device->CreateClipper(0, &clipper), kDdOk);
    clipper->SetWindow(window);
    primary->SetClipper(clipper);

    auto back = MakeSurface(320, 240, 32);
    DdBltFx fx;
    fx.fill_color = 0x00FF00;
    back->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    // The window's client area is (100, 50)-(740, 530); a blit reaching
    // beyond it is cut, not refused, and stretched from the whole rectangle.
    Rect dest{100, 50, 740 + 40, 530};
    ASSERT_EQ(primary->Blt(&dest, back.get(), nullptr, kDdBltWait, nullptr), kDdOk);
    EXPECT_EQ(Pixel32(*primary, 99, 60), 0u);
    EXPECT_EQ(Pixel32(*primary, 100, 50), 0x00FF00u);
    EXPECT_EQ(Pixel32(*primary, 745, 60), 0u);

    PresentedFrame frame;
    ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    EXPECT_EQ(frame.at(0, 0), 0x00FF00u);
    EXPECT_EQ(frame.at(639, 479), 0x00FF00u);

    // A window partly beyond the desktop shows black where there is no desktop.
    MoveAppWindow(window, Rect{700, 50, 1340, 530});
    DdSurfaceDesc desc;
    ASSERT_EQ(primary->Lock(nullptr, &desc, kDdLockWait), kDdOk);
    ASSERT_EQ(primary->Unlock(nullptr), kDdOk);
    ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
    EXPECT_EQ(frame.at(639, 0), 0u);
    EXPECT_EQ(frame.at(39, 0), 0x00FF00u);
    EXPECT_EQ(frame.at(40, 0), 0u);
}

TEST_F(DeviceTest, FullScreenFlipShowsTheBackBufferAndKeepsIt) {
    ASSERT_EQ(device->SetCooperativeLevel(window, kDdsclExclusive | kDdsclFullScreen), kDdOk);
    ASSERT_EQ(device->SetDisplayMode(640, 480, 16, 0, 0), kDdOk);
    DdSurfaceDesc desc;
    desc.flags = kDdsdCaps | kDdsdBackBufferCount;
    desc.caps = kDdsCapsPrimarySurface | kDdsCapsFlip | kDdsCapsComplex | kDdsCaps3DDevice;
    desc.back_buffer_count = 1;
    std::shared_ptr<DdSurface> primary;
    ASSERT_EQ(device->CreateSurface(desc, &primary), kDdOk);
    std::shared_ptr<DdSurface> back;
    ASSERT_EQ(primary->GetAttachedSurface(kDdsCapsBackBuffer, &back), kDdOk);
    DdBltFx fx;
    fx.fill_color = 0x001F;
    back->Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx);
    const uint64_t presents = output.output().present_count();
    ASSERT_EQ(primary->Flip(nullptr, kDdFlipWait), kDdOk);
    EXPECT_EQ(output.output().present_count(), presents + 1);
    PresentedFrame frame;
    ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.at(320, 240), 0x0000FFu);
    uint16_t kept;
    std::memcpy(&kept, back->row(10) + 20, 2);
    EXPECT_EQ(kept, 0x001F);
}

TEST_F(DeviceTest, PalettesHoldTheirEntriesAndColourAnEightBitFrame) {
    DdPaletteEntry entries[256] = {};
    entries[7] = DdPaletteEntry{10, 20, 30, 0};
    std::shared_ptr<DdPalette> palette;
    ASSERT_EQ(device->CreatePalette(kDdPCaps8Bit, entries, &palette), kDdOk);
    DdPaletteEntry changed{1, 2, 3, 0};
    ASSERT_EQ(palette->SetEntries(0, 255, 1, &changed), kDdOk);
    EXPECT_EQ(palette->SetEntries(0, 255, 2, entries), kDdErrInvalidParams);
    DdPaletteEntry read[2];
    ASSERT_EQ(palette->GetEntries(0, 254, 2, read), kDdOk);
    EXPECT_EQ(read[1].blue, 3);

    uint8_t pixels[2] = {7, 255};
    PresentImage image;
    image.pixels = pixels;
    image.pitch = 2;
    image.width = 2;
    image.height = 1;
    image.format = DisplayPixelFormatForBits(8);
    image.palette = palette->entries().data();
    PresentedFrame frame;
    ConvertPresentImage(image, &frame);
    EXPECT_EQ(frame.at(0, 0), 0x0A141Eu);
    EXPECT_EQ(frame.at(1, 0), 0x010203u);
}

TEST_F(DeviceTest, WindowBitmapsStretchIntoTheWindowAndReadBack) {
    uint16_t pixels[2] = {0xF800, 0x001F};
    DibImage image{2, 1, 4, 16, 0xF800, 0x07E0, 0x001F, reinterpret_cast<uint8_t*>(pixels)};
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, 640, 480}, image, Rect{0, 0, 2, 1}));
    PresentedFrame frame;
    ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
    EXPECT_EQ(frame.at(319, 479), 0xFF0000u);
    EXPECT_EQ(frame.at(320, 0), 0x0000FFu);

    uint32_t back[3] = {};
    DibImage target{3, 1, 12, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(back)};
    ASSERT_TRUE(ReadWindowToDib(window, Rect{318, 5, 321, 6}, &target, 0, 0));
    EXPECT_EQ(back[0], 0xFF0000u);
    EXPECT_EQ(back[2], 0x0000FFu);
    EXPECT_FALSE(DrawDibToWindow(window, Rect{0, 0, 640, 480}, image, Rect{0, 0, 3, 1}));
}

// A bitmap in the picture's own layout covering the whole window, as the
// software screen is shown every frame: shown and kept without its top
// bytes, from rows that start anywhere in a wider bitmap.
TEST_F(DeviceTest, AWholeWindowBitmapIsShownAndKeptAsItIs) {
    std::mt19937 random(46);
    const int width = 651, height = 490, pitch = width * 4 + 4;
    std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * height);
    for (auto& b : pixels)
        b = static_cast<uint8_t>(random());
    const auto at = [&](int x, int y) {
        uint32_t value;
        std::memcpy(&value, pixels.data() + y * pitch + x * 4, 4);
        return value & 0xFFFFFF;
    };
    DibImage image{width, height, pitch, 32, 0xFF0000, 0xFF00, 0xFF, pixels.data()};
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, 640, 480}, image, Rect{5, 7, 645, 487}));
    PresentedFrame frame;
    ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
    ASSERT_EQ(frame.width, 640);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(frame.at(x, y), at(x + 5, y + 7)) << x << "," << y;
    std::vector<uint32_t> back(640 * 480, 0xDEADBEEF);
    DibImage target{640, 480, 640 * 4, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(back.data())};
    ASSERT_TRUE(ReadWindowToDib(window, Rect{0, 0, 640, 480}, &target, 0, 0));
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(back[static_cast<size_t>(y * 640 + x)], at(x + 5, y + 7)) << x << "," << y;
    // Drawn over in part, the window shows the rest as kept.
    uint32_t dot = 0x123456;
    DibImage one{1, 1, 4, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(&dot)};
    ASSERT_TRUE(DrawDibToWindow(window, Rect{639, 0, 640, 1}, one, Rect{0, 0, 1, 1}));
    ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
    EXPECT_EQ(frame.at(639, 0), 0x123456u);
    EXPECT_EQ(frame.at(638, 0), at(643, 7));
    EXPECT_EQ(frame.at(0, 479), at(5, 486));
    EXPECT_EQ(frame.at(639, 1), at(644, 8));
}

// Every window pixel against the rule read plainly: the bitmap pixel under
// its centre, each channel widened by WidenChannelTo8.
TEST_F(DeviceTest, WindowBitmapsMatchTheNearestPixelRule) {
    std::mt19937 random(8);
    struct Format {
        int bits;
        uint32_t red, green, blue;
    };
    const Format formats[] = {{16, 0xF800, 0x07E0, 0x001F},
                              {16, 0x7C00, 0x03E0, 0x001F},
                              {32, 0xFF0000, 0xFF00, 0xFF},
                              {32, 0x3FF00000, 0xFFC00, 0x3FF}};
    for (int trial = 0; trial < 12; ++trial) {
        const Format& f = formats[trial % 4];
        const int width = 50 + static_cast<int>(random() % 40), height = 30 + static_cast<int>(random() % 30);
        const int pitch = width * (f.bits / 8) + 4;
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * height);
        for (auto& b : pixels)
            b = static_cast<uint8_t>(random());
        DibImage image{width, height, pitch, f.bits, f.red, f.green, f.blue, pixels.data()};
        const Rect source{static_cast<int>(random() % 10), static_cast<int>(random() % 10), width - 3, height - 2};
        // One to one, enlarged and shrunk, partly outside the window.
        const int scale = trial % 3;
        const int left = static_cast<int>(random() % 80) - 20, top = static_cast<int>(random() % 60) - 20;
        const int sw = source.right - source.left, sh = source.bottom - source.top;
        const Rect dest{left, top,
                        left + (scale == 0   ? sw
                                : scale == 1 ? sw * 5 / 2
                                             : sw / 2),
                        top + (scale == 0   ? sh
                               : scale == 1 ? sh * 3
                                            : sh * 2 / 3)};
        ASSERT_TRUE(DrawDibToWindow(window, dest, image, source));
        PresentedFrame frame;
        ASSERT_TRUE(output.output().ReadPresentedPixels(window, &frame));
        const int64_t dw = dest.right - dest.left, dh = dest.bottom - dest.top;
        for (int y = std::max(dest.top, 0); y < std::min<int>(dest.bottom, frame.height); ++y) {
            for (int x = std::max(dest.left, 0); x < std::min<int>(dest.right, frame.width); ++x) {
                const int sx = static_cast<int>(source.left + ((x - dest.left) * 2 + 1) * sw / (dw * 2));
                const int sy = static_cast<int>(source.top + ((y - dest.top) * 2 + 1) * sh / (dh * 2));
                uint32_t value = 0;
                std::memcpy(&value, pixels.data() + sy * pitch + sx * (f.bits / 8), static_cast<size_t>(f.bits / 8));
                const uint32_t want = (WidenChannelTo8(value, f.red) << 16) | (WidenChannelTo8(value, f.green) << 8) |
                                      WidenChannelTo8(value, f.blue);
                ASSERT_EQ(frame.at(x, y), want) << "trial " << trial << " at " << x << "," << y;
            }
        }
    }
}

TEST(SdlDisplayOutputTest, PresentsHeadlessAndReadsTheFrameBack) {
    SetWindowBackend(nullptr);
    ASSERT_TRUE(RegisterWindowClass("SdlOutputTest", DefaultWindowProcedure, 0));
    const WindowHandle window =
        CreateAppWindow({"SdlOutputTest", "t", kStylePopup | kStyleVisible, 0, Rect{0, 0, 64, 48}});
    if (window == 0 || NativeWindowOf(window) == nullptr) GTEST_SKIP() << "no SDL video driver";
    SetCapturePresentedFrames(true);
    auto output = CreateSdlDisplayOutput();
    std::vector<uint16_t> pixels(32 * 24, 0x07E0);
    pixels[0] = 0xF800;
    PresentImage image;
    image.pixels = reinterpret_cast<const uint8_t*>(pixels.data());
    image.pitch = 64;
    image.width = 32;
    image.height = 24;
    image.format = DisplayPixelFormatForBits(16);
    output->Present(window, image);
    PresentedFrame frame;
    ASSERT_TRUE(output->ReadPresentedPixels(window, &frame));
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    // A 16-bit frame goes to the renderer as it is, and the renderer widens
    // 5 and 6 bits to 8 by its own rule (0x3F may come back as 0xFC, 0xFE or
    // 0xFF): each channel is compared within that rounding.
    const auto near = [](uint32_t got, uint32_t want) {
        for (int shift = 0; shift <= 16; shift += 8) {
            const int a = static_cast<int>((got >> shift) & 0xFF);
            const int b = static_cast<int>((want >> shift) & 0xFF);
            if (a < b - 4 || a > b + 4) return false;
        }
        return true;
    };
    EXPECT_PRED2(near, frame.at(0, 0), 0xFF0000u);
    EXPECT_PRED2(near, frame.at(1, 1), 0xFF0000u);  // doubled
    EXPECT_PRED2(near, frame.at(2, 0), 0x00FF00u);
    EXPECT_PRED2(near, frame.at(63, 47), 0x00FF00u);
    output->ReleaseWindow(window);
    SetCapturePresentedFrames(false);
    DestroyAppWindow(window);
    SetWindowBackend(nullptr);
}

// Frames in a layout SDL has no texture format for are widened straight
// into the texture: exactly WidenChannelTo8's values reach the window.
TEST(SdlDisplayOutputTest, ConvertsOtherLayoutsOnTheWayIntoTheTexture) {
    SetWindowBackend(nullptr);
    ASSERT_TRUE(RegisterWindowClass("SdlOutputTest", DefaultWindowProcedure, 0));
    const WindowHandle window =
        CreateAppWindow({"SdlOutputTest", "t", kStylePopup | kStyleVisible, 0, Rect{0, 0, 40, 2}});
    if (window == 0 || NativeWindowOf(window) == nullptr) GTEST_SKIP() << "no SDL video driver";
    SetCapturePresentedFrames(true);
    auto output = CreateSdlDisplayOutput();
    // 10 bits a channel: 0x3FF is 255, 0x200 is 128, 0x0FF is 63.
    std::vector<uint32_t> wide(40 * 2);
    for (int i = 0; i < 80; ++i) wide[i] = i % 2 == 0 ? (0x3FFu << 20) | (0x200u << 10) | 0x0FFu : 0xC0000000u | 0x3FFu;
    PresentImage image;
    image.pixels = reinterpret_cast<const uint8_t*>(wide.data());
    image.pitch = 160;
    image.width = 40;
    image.height = 2;
    image.format.flags = kPixelFormatRgb;
    image.format.rgb_bit_count = 32;
    image.format.red_mask = 0x3FF00000;
    image.format.green_mask = 0xFFC00;
    image.format.blue_mask = 0x3FF;
    output->Present(window, image);
    PresentedFrame frame;
    ASSERT_TRUE(output->ReadPresentedPixels(window, &frame));
    ASSERT_EQ(frame.width, 40);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(frame.at(x, y), x % 2 == 0 ? 0xFF803Fu : 0x0000FFu) << x << "," << y;

    // An 8-bit frame through its palette; the texture of the other layout is
    // replaced by one of the new frame's.
    std::vector<uint8_t> indices(40 * 2);
    for (int i = 0; i < 80; ++i) indices[i] = static_cast<uint8_t>(i % 3);
    std::vector<DdPaletteEntry> palette(256);
    palette[0] = DdPaletteEntry{0x10, 0x20, 0x30, 0};
    palette[1] = DdPaletteEntry{0xFF, 0x00, 0x80, 0};
    palette[2] = DdPaletteEntry{0x01, 0x02, 0x03, 0};
    image.pixels = indices.data();
    image.pitch = 40;
    image.format = DisplayPixelFormatForBits(8);
    image.palette = palette.data();
    output->Present(window, image);
    ASSERT_TRUE(output->ReadPresentedPixels(window, &frame));
    const uint32_t want[3] = {0x102030, 0xFF0080, 0x010203};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(frame.at(x, y), want[(x + y * 40) % 3]) << x << "," << y;
    output->ReleaseWindow(window);
    SetCapturePresentedFrames(false);
    DestroyAppWindow(window);
    SetWindowBackend(nullptr);
}

}  // namespace
// A frame of the window's size goes into the window's own surface; one that
// must be stretched goes through the renderer, and a frame of the window's
// size after it is shown whole again, not left under the stretched one.
TEST(SdlDisplayOutputTest, ShowsFramesOfTheWindowsSizeAndStretchedOnesInTurn) {
    SetWindowBackend(nullptr);
    ASSERT_TRUE(RegisterWindowClass("SdlOutputTest", DefaultWindowProcedure, 0));
    // 70 pixels: whole 64-byte steps of a row and a remainder.
    constexpr int kWidth = 70;
    const WindowHandle window =
        CreateAppWindow({"SdlOutputTest", "t", kStylePopup | kStyleVisible, 0, Rect{0, 0, kWidth, 4}});
    if (window == 0 || NativeWindowOf(window) == nullptr) GTEST_SKIP() << "no SDL video driver";
    SetCapturePresentedFrames(true);
    auto output = CreateSdlDisplayOutput();
    PresentImage image;
    image.format = DisplayPixelFormatForBits(32);
    // Rows 72 pixels apart (a pitch wider than the row), the top byte set.
    const auto value = [](int x, int y) { return static_cast<uint32_t>(y << 16 | x << 8 | ((x * 3 + y) & 0xFF)); };
    std::vector<uint32_t> whole(72 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 72; ++x)
            whole[y * 72 + x] = 0xFF000000u | value(x, y);
    const auto show_whole = [&] {
        image.pixels = reinterpret_cast<const uint8_t*>(whole.data());
        image.pitch = 72 * 4;
        image.width = kWidth;
        image.height = 4;
        output->Present(window, image);
    };
    const auto check_whole = [&] {
        PresentedFrame frame;
        ASSERT_TRUE(output->ReadPresentedPixels(window, &frame));
        ASSERT_EQ(frame.width, kWidth);
        ASSERT_EQ(frame.height, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < kWidth; ++x)
                ASSERT_EQ(frame.at(x, y), value(x, y)) << x << "," << y;
    };
    show_whole();
    check_whole();

    // Half the size: each pixel covers two by two.
    std::vector<uint32_t> half(35 * 2);
    for (int i = 0; i < 70; ++i)
        half[i] = static_cast<uint32_t>(0x010203 * (i + 1));
    image.pixels = reinterpret_cast<const uint8_t*>(half.data());
    image.pitch = 35 * 4;
    image.width = 35;
    image.height = 2;
    output->Present(window, image);
    PresentedFrame frame;
    ASSERT_TRUE(output->ReadPresentedPixels(window, &frame));
    ASSERT_EQ(frame.width, kWidth);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(frame.at(x, y), half[(y / 2) * 35 + x / 2]) << x << "," << y;

    show_whole();
    check_whole();
    EXPECT_EQ(output->present_count(), 3u);
    output->ReleaseWindow(window);
    SetCapturePresentedFrames(false);
    DestroyAppWindow(window);
    SetWindowBackend(nullptr);
}

}  // namespace velk::platform::testing
