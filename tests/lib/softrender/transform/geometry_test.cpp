// Where the transformed fills put each texel, shown with sources whose texels
// encode their own position: wrong sampling, lost or doubled columns and
// diagonals blended twice all show directly.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <set>

#include "lib/softrender/transform/transformed_fill.h"
#include "tests/lib/softrender/transform/fill_test_support.h"

namespace velk::testing {
namespace {

constexpr uint32_t kUntouched = 0xFFFFFFFF;

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSoftwareDrawState(); }
    void TearDown() override { ResetSoftwareDrawState(); }

    // A 32-bit destination, every pixel kUntouched.
    std::unique_ptr<GuardedImage> Blank(int width, int height) {
        auto image = std::make_unique<GuardedImage>(width, height, kMemImgFormat32);
        FillMemImg(image->view(), nullptr, kUntouched);
        return image;
    }
};

// What each destination pixel shows: the texel (x, y), or (-1, -1) untouched.
struct Shown {
    int x = -1, y = -1;
};

Shown ShownAt(GuardedImage& image, int x, int y) {
    const uint32_t value = image.Get(x, y);
    if (value == kUntouched) return {};
    EXPECT_EQ(value & 0xFFFF0000u, 0x005A0000u) << "pixel " << x << ", " << y << " holds " << std::hex << value;
    return {static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF)};
}

// Every pixel of the rectangle (left, top, width, height) shows
// expect(x, y); every other pixel is untouched.
template <class Expect>
void ExpectPicture(GuardedImage& image, int left, int top, int width, int height, Expect expect) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Shown shown = ShownAt(image, x, y);
            const bool inside = x >= left && x < left + width && y >= top && y < top + height;
            Shown want;
            if (inside) want = expect(x - left, y - top);
            ASSERT_EQ(shown.x, want.x) << "pixel " << x << ", " << y;
            ASSERT_EQ(shown.y, want.y) << "pixel " << x << ", " << y;
        }
    }
}

// Each draw of a coordinate source shows each texel where it belongs, and
// touches nothing else.
TEST_F(GeometryTest, EveryFrameShowsEachTexelWhereItBelongs) {
    using DrawFn = std::function<void(MEMIMG*, const MEMIMG*)>;
    auto quad = [](std::array<int32_t, 8> c) -> DrawFn {
        return [c](MEMIMG* d, const MEMIMG* s) { DrawMemImgQuad(d, s, c.data(), 0, nullptr); };
    };
    // Centred on (11, 9).
    auto turned = [](float angle, int mirror) -> DrawFn {
        return [=](MEMIMG* d, const MEMIMG* s) { DrawMemImgRotated(d, s, 11, 9, angle, 1.0f, 0, mirror, nullptr); };
    };
    // Texture corners from (-2, -1) to (8, 6): a border of pixels maps outside.
    const DrawFn texture_outside = [](MEMIMG* d, const MEMIMG* s) {
        const int32_t first[12] = {0, 0, -2, -1, 10, 0, 8, -1, 0, 7, -2, 6};
        const int32_t second[12] = {10, 0, 8, -1, 0, 7, -2, 6, 10, 7, 8, 6};
        DrawMemImgTriangle(d, s, first, 0, nullptr, 0);
        DrawMemImgTriangle(d, s, second, 0, nullptr, 0);
    };
    struct Case {
        const char* what;
        int source_width, source_height;
        DrawFn draw;
        int left, top, width, height;  // the drawn rectangle
        std::function<Shown(int, int)> expect;
    };
    auto same = [](int x, int y) { return Shown{x, y}; };
    const Case cases[] = {
        {"quad on its own rectangle", 10, 7, quad({5, 4, 15, 4, 5, 11, 15, 11}), 5, 4, 10, 7, same},
        // Top-right, top-left, bottom-right, bottom-left: left and right exchanged.
        {"quad mirrored left to right", 9, 6, quad({12, 3, 3, 3, 12, 9, 3, 9}), 3, 3, 9, 6,
         [](int x, int y) { return Shown{8 - x, y}; }},
        {"quad upside down", 9, 6, quad({3, 9, 12, 9, 3, 3, 12, 3}), 3, 3, 9, 6,
         [](int x, int y) { return Shown{x, 5 - y}; }},
        {"quad scaled by two", 5, 4, quad({1, 2, 11, 2, 1, 10, 11, 10}), 1, 2, 10, 8,
         [](int x, int y) { return Shown{x / 2, y / 2}; }},
        // Without a turn texel (x - cx + w / 2, y - cy + h / 2) lands on pixel (x, y).
        {"rotated without turn, even", 8, 6, turned(0.0f, 0), 7, 6, 8, 6, same},
        {"rotated without turn, odd", 7, 5, turned(0.0f, 0), 8, 7, 7, 5, same},
        // Turned clockwise: 6 wide and 8 tall, its top-right pixel texel (0, 0).
        {"quarter turn", 8, 6, turned(1.5707964f, 0), 8, 5, 6, 8, [](int x, int y) { return Shown{y, 5 - x}; }},
        {"mirrored without turn", 8, 6, turned(0.0f, 1), 7, 6, 8, 6, [](int x, int y) { return Shown{7 - x, y}; }},
        {"mirrored half turn is a vertical flip", 8, 6, turned(3.14159265f, 1), 7, 6, 8, 6,
         [](int x, int y) { return Shown{x, 5 - y}; }},
        {"texture outside the source", 6, 5, texture_outside, 2, 1, 6, 5, same},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto source = MakeCoordinateSource(c.source_width, c.source_height);
        auto dest = Blank(24, 20);
        c.draw(dest->view(), source->view());
        ExpectPicture(*dest, c.left, c.top, c.width, c.height, c.expect);
    }
}

// In alpha mode a uniform source over a uniform background must give one
// uniform colour: a pixel blended twice along the diagonal would differ.
TEST_F(GeometryTest, AlphaQuadBlendsNoPixelTwice) {
    for (const int32_t shear : {0, 3, -5}) {
        GuardedImage source(13, 11, kMemImgFormat32);
        FillMemImg(source.view(), nullptr, 0x00C08040);
        auto dest = Blank(40, 30);
        FillMemImg(dest->view(), nullptr, 0x00204060);
        SetMemImgDrawBlendMode(1, 128);
        const int32_t corners[8] = {4, 3, 30 + shear, 5, 6 - shear, 25, 33, 24};
        DrawMemImgQuad(dest->view(), source.view(), corners, 0, nullptr);
        std::set<uint32_t> colours;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) colours.insert(dest->Get(x, y));
        }
        // The background and the blend of the two, nothing else.
        EXPECT_EQ(colours, (std::set<uint32_t>{0x00204060, 0x00706050})) << "shear " << shear;
    }
}

// A source of any height: turned a quarter, a 5000-row source lies along a
// destination row, each column showing its own source row.
TEST_F(GeometryTest, TallSourcesAreDrawnWhole) {
    constexpr int kRows = 5000;
    GuardedImage source(2, kRows, kMemImgFormat32);
    for (int y = 0; y < kRows; ++y) {
        source.Set(0, y, static_cast<uint32_t>(y));
        source.Set(1, y, static_cast<uint32_t>(y));
    }
    GuardedImage dest(kRows + 4, 4, kMemImgFormat32);
    FillMemImg(dest.view(), nullptr, kUntouched);
    // Clockwise: source row y lands on column left + (rows - 1 - y).
    DrawMemImgRotated(dest.view(), source.view(), kRows / 2 + 2, 2, 1.5707964f, 1.0f, 0, 0, nullptr);
    for (int x = 0; x < kRows + 4; ++x) {
        const int row = kRows + 1 - x;
        const uint32_t want = row >= 0 && row < kRows ? static_cast<uint32_t>(row) : kUntouched;
        ASSERT_EQ(dest.Get(x, 1), want) << "column " << x;
        ASSERT_EQ(dest.Get(x, 2), want) << "column " << x;
        ASSERT_EQ(dest.Get(x, 0), kUntouched) << "column " << x;
    }
}

}  // namespace
}  // namespace velk::testing
