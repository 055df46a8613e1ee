// Where the transformed fills put each texel, shown with sources whose texels
// encode their own position: wrong sampling, lost or doubled columns and
// diagonals blended twice all show directly.
#include <gtest/gtest.h>

#include <cmath>
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

TEST_F(GeometryTest, QuadOnItsOwnRectangleShowsEveryTexelOnce) {
    auto source = MakeCoordinateSource(10, 7);
    auto dest = Blank(24, 20);
    const int32_t corners[8] = {5, 4, 15, 4, 5, 11, 15, 11};
    DrawMemImgQuad(dest->view(), source->view(), corners, 0, nullptr);
    ExpectPicture(*dest, 5, 4, 10, 7, [](int x, int y) { return Shown{x, y}; });
}

TEST_F(GeometryTest, MirroredQuadsShowEveryColumnAndRowExactlyOnce) {
    auto source = MakeCoordinateSource(9, 6);
    {
        // Top-right, top-left, bottom-right, bottom-left: left and right exchanged.
        auto dest = Blank(20, 16);
        const int32_t corners[8] = {12, 3, 3, 3, 12, 9, 3, 9};
        DrawMemImgQuad(dest->view(), source->view(), corners, 0, nullptr);
        ExpectPicture(*dest, 3, 3, 9, 6, [](int x, int y) { return Shown{8 - x, y}; });
    }
    {
        // Bottom-left, bottom-right, top-left, top-right: upside down.
        auto dest = Blank(20, 16);
        const int32_t corners[8] = {3, 9, 12, 9, 3, 3, 12, 3};
        DrawMemImgQuad(dest->view(), source->view(), corners, 0, nullptr);
        ExpectPicture(*dest, 3, 3, 9, 6, [](int x, int y) { return Shown{x, 5 - y}; });
    }
}

TEST_F(GeometryTest, QuadScaledByTwoGivesEachTexelTwoByTwoPixels) {
    auto source = MakeCoordinateSource(5, 4);
    auto dest = Blank(16, 12);
    const int32_t corners[8] = {1, 2, 11, 2, 1, 10, 11, 10};
    DrawMemImgQuad(dest->view(), source->view(), corners, 0, nullptr);
    ExpectPicture(*dest, 1, 2, 10, 8, [](int x, int y) { return Shown{x / 2, y / 2}; });
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

TEST_F(GeometryTest, RotatedWithoutTurnPutsTheCentreTexelOnTheCentrePoint) {
    for (const auto& [w, h] : {std::pair{8, 6}, std::pair{7, 5}}) {
        auto source = MakeCoordinateSource(w, h);
        auto dest = Blank(24, 20);
        DrawMemImgRotated(dest->view(), source->view(), 11, 9, 0.0f, 1.0f, 0, 0, nullptr);
        // Texel (x - cx + w / 2, y - cy + h / 2) on pixel (x, y).
        ExpectPicture(*dest, 11 - w / 2, 9 - h / 2, w, h, [](int x, int y) { return Shown{x, y}; });
    }
}

TEST_F(GeometryTest, RotatedByAQuarterTurnPutsTheTopLeftAtTheTopRight) {
    auto source = MakeCoordinateSource(8, 6);
    auto dest = Blank(24, 20);
    DrawMemImgRotated(dest->view(), source->view(), 11, 9, 1.5707964f, 1.0f, 0, 0, nullptr);
    // Turned clockwise: the image is 6 wide and 8 tall, left at 11 - 3, top
    // at 9 - 4; its top-right pixel shows texel (0, 0).
    ExpectPicture(*dest, 8, 5, 6, 8, [](int x, int y) { return Shown{y, 5 - x}; });
}

TEST_F(GeometryTest, MirroredRotatedDrawIsTheUnmirroredOneFlipped) {
    auto source = MakeCoordinateSource(8, 6);
    auto dest = Blank(24, 20);
    DrawMemImgRotated(dest->view(), source->view(), 11, 9, 0.0f, 1.0f, 0, 1, nullptr);
    ExpectPicture(*dest, 7, 6, 8, 6, [](int x, int y) { return Shown{7 - x, y}; });
    // A half turn mirrored left to right is a vertical flip.
    auto flipped = Blank(24, 20);
    DrawMemImgRotated(flipped->view(), source->view(), 11, 9, 3.14159265f, 1.0f, 0, 1, nullptr);
    ExpectPicture(*flipped, 7, 6, 8, 6, [](int x, int y) { return Shown{x, 5 - y}; });
}

// Turned and mirrored at any angle, every row of the destination shows each
// texel at most once per run, and the mirrored picture uses exactly the
// pixels that the unmirrored one uses (give or take its sub-pixel corners).
TEST_F(GeometryTest, MirroredRotatedDrawCoversWhatTheUnmirroredCovers) {
    auto source = MakeCoordinateSource(16, 12);
    for (const float angle : {0.3f, 1.1f, -2.0f, 4.0f}) {
        auto plain = Blank(40, 40);
        auto mirrored = Blank(40, 40);
        DrawMemImgRotated(plain->view(), source->view(), 20, 20, angle, 1.5f, 0, 0, nullptr);
        DrawMemImgRotated(mirrored->view(), source->view(), 20, 20, angle, 1.5f, 0, 1, nullptr);
        int differ = 0, drawn = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                const Shown a = ShownAt(*plain, x, y), b = ShownAt(*mirrored, x, y);
                drawn += a.x >= 0;
                differ += (a.x >= 0) != (b.x >= 0);
                // Where both draw, the mirrored one shows the mirrored column.
                if (a.x >= 0 && b.x >= 0) {
                    EXPECT_LE(std::abs((15 - a.x) - b.x), 1) << angle << " at " << x << ", " << y;
                    EXPECT_LE(std::abs(a.y - b.y), 1) << angle << " at " << x << ", " << y;
                }
            }
        }
        EXPECT_GT(drawn, 300);
        EXPECT_LT(differ, drawn / 10) << angle;
    }
}

// A clipped draw equals the unclipped one inside the draw area and leaves
// everything else alone, in every frame.
TEST_F(GeometryTest, ClippingChangesNothingInsideTheDrawArea) {
    auto source = MakeCoordinateSource(11, 9);
    const Rect area{6, 4, 17, 13};
    auto draw = [&](GuardedImage& dest, int frame) {
        const int32_t triangle[12] = {-3, 2, 0, 0, 25, -1, 11, 0, 8, 22, 5, 9};
        const int32_t corners[8] = {2, 1, 21, 4, 0, 18, 19, 16};
        switch (frame) {
            case 0: DrawMemImgTriangle(dest.view(), source->view(), triangle, 0, nullptr, 0); break;
            case 1: DrawMemImgQuad(dest.view(), source->view(), corners, 0, nullptr); break;
            case 2: DrawMemImgRotated(dest.view(), source->view(), 11, 9, 0.7f, 1.3f, 0, 0, nullptr); break;
            default: DrawMemImgRotated(dest.view(), source->view(), 11, 9, -0.4f, 1.8f, 0, 1, nullptr); break;
        }
    };
    for (int frame = 0; frame < 4; ++frame) {
        auto whole = Blank(24, 20);
        auto clipped = Blank(24, 20);
        SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
        draw(*whole, frame);
        SetMemImgDrawArea(area);
        draw(*clipped, frame);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 24; ++x) {
                const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
                EXPECT_EQ(clipped->Get(x, y), inside ? whole->Get(x, y) : kUntouched)
                    << "frame " << frame << " pixel " << x << ", " << y;
            }
        }
    }
}

TEST_F(GeometryTest, TextureOutsideTheSourceLeavesPixelsUnchanged) {
    auto source = MakeCoordinateSource(6, 5);
    auto dest = Blank(20, 16);
    // Texture corners from (-2, -1) to (8, 6): a border of pixels maps outside.
    const int32_t first[12] = {0, 0, -2, -1, 10, 0, 8, -1, 0, 7, -2, 6};
    const int32_t second[12] = {10, 0, 8, -1, 0, 7, -2, 6, 10, 7, 8, 6};
    DrawMemImgTriangle(dest->view(), source->view(), first, 0, nullptr, 0);
    DrawMemImgTriangle(dest->view(), source->view(), second, 0, nullptr, 0);
    ExpectPicture(*dest, 2, 1, 6, 5, [](int x, int y) { return Shown{x, y}; });
}

TEST_F(GeometryTest, BlendImageSmallerThanTheSourceLeavesTheRestUnchanged) {
    auto source = MakeCoordinateSource(8, 6);
    GuardedImage blend(5, 4, kMemImgFormat8);
    FillMemImg(blend.view(), nullptr, 255);
    BuildBlendGraphTable(0, 0);  // weight 255 everywhere
    for (int frame = 0; frame < 2; ++frame) {
        auto dest = Blank(20, 16);
        if (frame == 0) {
            const int32_t corners[8] = {2, 3, 10, 3, 2, 9, 10, 9};
            DrawMemImgQuad(dest->view(), source->view(), corners, 0, blend.view());
        } else {
            DrawMemImgRotated(dest->view(), source->view(), 6, 6, 0.0f, 1.0f, 0, 0, blend.view());
        }
        // Weight 255 of 256 moves an untouched channel 255 to just under the
        // texel: only the 5 x 4 texels under the blend image are drawn.
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 20; ++x) {
                const int tx = x - 2, ty = y - 3;
                const bool drawn = tx >= 0 && tx < 5 && ty >= 0 && ty < 4;
                EXPECT_EQ(dest->Get(x, y) != kUntouched, drawn) << "frame " << frame << " pixel " << x << ", " << y;
            }
        }
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

// Flat triangles of a strip of quads: every pixel of the strip once.
TEST_F(GeometryTest, FlatTriangleFanCoversEachPixelOnce) {
    GuardedImage dest(30, 30, kMemImgFormat32);
    FillMemImg(dest.view(), nullptr, 0);
    SetMemImgDrawBlendMode(2, 255);  // add: a pixel drawn twice shows 2
    const int32_t centre[2] = {14, 15};
    const int32_t ring[][2] = {{2, 3}, {16, 1}, {28, 9}, {27, 24}, {12, 28}, {1, 19}};
    for (int i = 0; i < 6; ++i) {
        const auto& a = ring[i];
        const auto& b = ring[(i + 1) % 6];
        const int32_t v[12] = {centre[0], centre[1], 0, 0, a[0], a[1], 0, 0, b[0], b[1], 0, 0};
        DrawMemImgTriangle(dest.view(), nullptr, v, 0, nullptr, 0x00000001);
    }
    int covered = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const uint32_t value = dest.Get(x, y);
            ASSERT_LE(value, 1u) << x << ", " << y;
            covered += static_cast<int>(value);
        }
    }
    EXPECT_GT(covered, 400);
}

}  // namespace
}  // namespace velk::testing
