// The window's picture when the output holds the last whole frame instead of
// a copy of its own: every way of looking at the window (what it shows, a
// read-back, a partial draw, a repaint, an output's replacement) against a
// plain model of the picture kept pixel by pixel.

#include <cstring>
#include <random>
#include <vector>

#include "platform/display/window_dib.h"
#include "tests/platform/display/display_fixture.h"

namespace velk::platform::testing {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A 32-bit bitmap in the window's layout, rows wider than the window and
// the unused top bytes set, so that a copy that keeps them shows.
struct Bitmap {
    static constexpr int kPitch = (kWidth + 8) * 4;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(static_cast<size_t>(kPitch) * kHeight);

    DibImage dib() { return DibImage{kWidth + 8, kHeight, kPitch, 32, 0xFF0000, 0xFF00, 0xFF, bytes.data()}; }
    void Fill(std::mt19937& random) {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random());
    }
    uint32_t at(int x, int y) const {
        uint32_t value;
        std::memcpy(&value, bytes.data() + static_cast<size_t>(y) * kPitch + static_cast<size_t>(x) * 4, 4);
        return value & 0xFFFFFF;
    }
};

// What the window should hold: set pixel by pixel from the bitmaps.
struct Model {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(static_cast<size_t>(kWidth) * kHeight, 0);

    // The bitmap's pixels from (left, top) on over the window's rectangle, one to one.
    void Draw(const Bitmap& bitmap, const Rect& area, int left, int top) {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                pixels[static_cast<size_t>(y) * kWidth + x] = bitmap.at(x - area.left + left, y - area.top + top);
    }
};

class WindowPictureTest : public DisplayTest {
protected:
    PresentedFrame Shown() {
        PresentedFrame frame;
        EXPECT_TRUE(ActiveDisplayOutput().ReadPresentedPixels(window, &frame));
        return frame;
    }

    void ExpectShown(const Model& model, const char* when) {
        const PresentedFrame frame = Shown();
        ASSERT_EQ(frame.width, kWidth) << when;
        ASSERT_EQ(frame.height, kHeight) << when;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                ASSERT_EQ(frame.at(x, y), model.pixels[static_cast<size_t>(y) * kWidth + x])
                    << when << " at " << x << "," << y;
    }

    void ExpectReadBack(const Model& model, const char* when) {
        std::vector<uint32_t> back(static_cast<size_t>(kWidth) * kHeight, 0xDEADBEEF);
        auto* bytes = reinterpret_cast<uint8_t*>(back.data());
        DibImage target{kWidth, kHeight, kWidth * 4, 32, 0xFF0000, 0xFF00, 0xFF, bytes};
        ASSERT_TRUE(ReadWindowToDib(window, Rect{0, 0, kWidth, kHeight}, &target, 0, 0)) << when;
        for (size_t i = 0; i < back.size(); ++i)
            ASSERT_EQ(back[i], model.pixels[i]) << when << " at " << i % kWidth << "," << i / kWidth;
    }

    std::mt19937 random{4646};
};

// The screen's frames as the software mode shows them: drawn whole, the
// bitmap drawn over again before the next present, shown in part between.
TEST_F(WindowPictureTest, AfterAWholeFrameTheWindowKeepsItWhileTheBitmapIsDrawnAgain) {
    Bitmap screen;
    Model model;
    screen.Fill(random);
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kWidth, kHeight}, screen.dib(), Rect{3, 0, kWidth + 3, kHeight}));
    model.Draw(screen, Rect{0, 0, kWidth, kHeight}, 3, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectShown(model, "after the present"));

    // The next frame goes into the same bitmap: the window still holds the last.
    screen.Fill(random);
    ASSERT_NO_FATAL_FAILURE(ExpectShown(model, "with the next frame drawn"));
    ASSERT_NO_FATAL_FAILURE(ExpectReadBack(model, "read back with the next frame drawn"));

    // A repaint of a part over the left and top edges: that part of the new
    // frame, the rest of the old.
    const Rect part{-5, -7, 100, 60};
    ASSERT_TRUE(DrawDibToWindow(window, part, screen.dib(), Rect{0, 0, 105, 67}));
    model.Draw(screen, Rect{0, 0, 100, 60}, 5, 7);
    ASSERT_NO_FATAL_FAILURE(ExpectShown(model, "after the repaint"));
    ASSERT_NO_FATAL_FAILURE(ExpectReadBack(model, "read back after the repaint"));

    // A one-pixel bitmap at the last column of the last row.
    uint32_t dot = 0xAB123456;
    const DibImage one{1, 1, 4, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(&dot)};
    ASSERT_TRUE(DrawDibToWindow(window, Rect{kWidth - 1, kHeight - 1, kWidth, kHeight}, one, Rect{0, 0, 1, 1}));
    model.pixels.back() = 0x123456;
    ASSERT_NO_FATAL_FAILURE(ExpectShown(model, "after the dot"));

    // The next whole frame replaces everything, and a part drawn after it
    // keeps the rest of that frame, not of the one before.
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kWidth, kHeight}, screen.dib(), Rect{0, 0, kWidth, kHeight}));
    model.Draw(screen, Rect{0, 0, kWidth, kHeight}, 0, 0);
    screen.Fill(random);
    ASSERT_TRUE(DrawDibToWindow(window, Rect{300, 400, 340, 480}, screen.dib(), Rect{10, 20, 50, 100}));
    model.Draw(screen, Rect{300, 400, 340, 480}, 10, 20);
    ASSERT_NO_FATAL_FAILURE(ExpectShown(model, "a part after the next whole frame"));
    ASSERT_NO_FATAL_FAILURE(ExpectReadBack(model, "read back after the part"));
}

// A read-back of a rectangle partly outside the client area: black there,
// the held frame inside.
TEST_F(WindowPictureTest, APartialReadBackOfAHeldFrameReadsBlackOutsideTheWindow) {
    Bitmap screen;
    screen.Fill(random);
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kWidth, kHeight}, screen.dib(), Rect{0, 0, kWidth, kHeight}));
    screen.Fill(random);
    Bitmap old = screen;
    std::vector<uint32_t> back(4 * 3, 0xDEADBEEF);
    DibImage target{4, 3, 16, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(back.data())};
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kWidth, kHeight}, screen.dib(), Rect{0, 0, kWidth, kHeight}));
    screen.Fill(random);
    ASSERT_TRUE(ReadWindowToDib(window, Rect{kWidth - 2, kHeight - 1, kWidth + 2, kHeight + 2}, &target, 0, 0));
    EXPECT_EQ(back[0], old.at(kWidth - 2, kHeight - 1));
    EXPECT_EQ(back[1], old.at(kWidth - 1, kHeight - 1));
    for (size_t i : {2u, 3u, 4u, 7u, 11u})
        EXPECT_EQ(back[i], 0u) << i;
}

// A new output holds nothing of the old one's: the window takes its picture
// over before the old output goes.
TEST_F(WindowPictureTest, ReplacingTheOutputKeepsTheWindowsPicture) {
    Bitmap screen;
    Model model;
    screen.Fill(random);
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kWidth, kHeight}, screen.dib(), Rect{0, 0, kWidth, kHeight}));
    model.Draw(screen, Rect{0, 0, kWidth, kHeight}, 0, 0);
    screen.Fill(random);
    SetDisplayOutput(std::make_unique<CapturingDisplayOutput>());
    ASSERT_NO_FATAL_FAILURE(ExpectReadBack(model, "read back through the new output"));
    ASSERT_TRUE(DrawDibToWindow(window, Rect{600, 0, 640, 5}, screen.dib(), Rect{0, 0, 40, 5}));
    model.Draw(screen, Rect{600, 0, 640, 5}, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectShown(model, "a part shown by the new output"));
}

// A client area of a new size starts black, whatever the output held.
TEST_F(WindowPictureTest, AResizedWindowStartsBlack) {
    Bitmap screen;
    screen.Fill(random);
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kWidth, kHeight}, screen.dib(), Rect{0, 0, kWidth, kHeight}));
    ASSERT_TRUE(MoveAppWindow(window, Rect{100, 50, 420, 290}));
    std::vector<uint32_t> back(320 * 240, 0xDEADBEEF);
    DibImage target{320, 240, 320 * 4, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(back.data())};
    ASSERT_TRUE(ReadWindowToDib(window, Rect{0, 0, 320, 240}, &target, 0, 0));
    for (size_t i = 0; i < back.size(); ++i)
        ASSERT_EQ(back[i], 0u) << i;
}

// The SDL output holds a frame of the window's size in the window's own
// surface: the picture is read from there until the next present, and a
// frame that goes through the renderer holds nothing.
TEST(SdlWindowPictureTest, TheWindowSurfaceHoldsTheWholeFrameUntilTheNextPresent) {
    SetWindowBackend(nullptr);
    ASSERT_TRUE(RegisterWindowClass("SdlWindowPictureTest", DefaultWindowProcedure, 0));
    constexpr int kW = 70, kH = 6, kPitch = 72 * 4;
    const WindowHandle window =
        CreateAppWindow({"SdlWindowPictureTest", "t", kStylePopup | kStyleVisible, 0, Rect{0, 0, kW, kH}});
    if (window == 0 || NativeWindowOf(window) == nullptr) GTEST_SKIP() << "no SDL video driver";
    SetCapturePresentedFrames(true);
    SetDisplayOutput(CreateSdlDisplayOutput());
    DisplayOutput& output = ActiveDisplayOutput();
    std::mt19937 random(70);
    std::vector<uint8_t> bytes(static_cast<size_t>(kPitch) * kH);
    const auto refill = [&] {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random());
    };
    const auto at = [&](int x, int y) {
        uint32_t value;
        std::memcpy(&value, bytes.data() + static_cast<size_t>(y) * kPitch + static_cast<size_t>(x) * 4, 4);
        return value & 0xFFFFFF;
    };
    const DibImage dib{72, kH, kPitch, 32, 0xFF0000, 0xFF00, 0xFF, bytes.data()};
    std::vector<uint32_t> model(kW * kH);
    const auto expect_window = [&](const char* when) {
        PresentedFrame frame;
        ASSERT_TRUE(output.ReadPresentedPixels(window, &frame)) << when;
        ASSERT_EQ(frame.width, kW) << when;
        std::vector<uint32_t> back(kW * kH, 0xDEADBEEF);
        DibImage target{kW, kH, kW * 4, 32, 0xFF0000, 0xFF00, 0xFF, reinterpret_cast<uint8_t*>(back.data())};
        ASSERT_TRUE(ReadWindowToDib(window, Rect{0, 0, kW, kH}, &target, 0, 0)) << when;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                ASSERT_EQ(frame.at(x, y), model[y * kW + x]) << when << " shown at " << x << "," << y;
                ASSERT_EQ(back[y * kW + x], model[y * kW + x]) << when << " read at " << x << "," << y;
            }
        }
    };

    refill();
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kW, kH}, dib, Rect{2, 0, kW + 2, kH}));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            model[y * kW + x] = at(x + 2, y);
    ShownRowsLayout layout;
    EXPECT_NE(output.ShownRows(window, &layout), nullptr) << "the frame is held in the window surface";
    EXPECT_EQ(layout.width, kW);
    EXPECT_EQ(layout.height, kH);
    refill();
    ASSERT_NO_FATAL_FAILURE(expect_window("with the next frame drawn"));
    ASSERT_TRUE(DrawDibToWindow(window, Rect{60, 2, 80, 4}, dib, Rect{0, 0, 20, 2}));
    for (int y = 2; y < 4; ++y)
        for (int x = 60; x < kW; ++x)
            model[y * kW + x] = at(x - 60, y - 2);
    ASSERT_NO_FATAL_FAILURE(expect_window("after a part"));

    // A frame of another size goes through the renderer: nothing held.
    std::vector<uint32_t> half(35 * 3, 0x123456);
    output.Present(window, XrgbPresentImage(half.data(), 35, 3));
    EXPECT_EQ(output.ShownRows(window, &layout), nullptr);
    // The window's own picture then keeps the whole frame.
    refill();
    ASSERT_TRUE(DrawDibToWindow(window, Rect{0, 0, kW, kH}, dib, Rect{0, 0, kW, kH}));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            model[y * kW + x] = at(x, y);
    refill();
    ASSERT_NO_FATAL_FAILURE(expect_window("with the renderer"));

    ReleaseWindowDib(window);
    output.ReleaseWindow(window);
    SetDisplayOutput(nullptr);
    SetCapturePresentedFrames(false);
    DestroyAppWindow(window);
    SetWindowBackend(nullptr);
}

}  // namespace
}  // namespace velk::platform::testing
