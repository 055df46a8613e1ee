// Where the plain and the scaled blit put the source's pixels: clipping,
// offsets, sampling, mirroring and the refusals.

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "drawing_fixture.h"
#include "guarded_image.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {
namespace {

using testing::GuardedImage;

constexpr uint32_t kBackground = 0xFFFFFFFF;

// A 32-bit source whose every pixel holds its own coordinates (x in bits
// 0-11, y in 12-23), so a destination pixel tells which texel it received.
void FillCoordinates(GuardedImage& image) {
    for (int y = 0; y < image.image()->height; ++y) {
        for (int x = 0; x < image.image()->width; ++x) {
            image.Set(x, y, static_cast<uint32_t>(y << 12 | x));
        }
    }
    image.Snapshot();
}

class BlitGeometryTest : public testing::DrawingTest {
protected:
    static std::unique_ptr<GuardedImage> Destination(int width, int height, int format = 1) {
        auto image = std::make_unique<GuardedImage>(width, height, format, 0, 0);
        FillMemImg(image->image(), nullptr, kBackground);
        image->Snapshot();
        return image;
    }

    static std::vector<uint32_t> Pixels(const GuardedImage& image) {
        std::vector<uint32_t> out;
        for (int y = 0; y < image.image()->height; ++y) {
            for (int x = 0; x < image.image()->width; ++x) out.push_back(image.Get(x, y));
        }
        return out;
    }

    // The source columns along row `y` of the destination, -1 where nothing
    // was drawn.
    static std::vector<int> Columns(const GuardedImage& dest, int y) {
        std::vector<int> out;
        for (int x = 0; x < dest.image()->width; ++x) {
            const uint32_t v = dest.Get(x, y);
            out.push_back(v == kBackground ? -1 : static_cast<int>(v & 0xFFF));
        }
        return out;
    }
};

TEST_F(BlitGeometryTest, PlainBlitCutsTheSourceToTheDrawArea) {
    GuardedImage source(20, 4, 1, 0, 0);
    FillCoordinates(source);
    auto dest = Destination(30, 6);
    SetMemImgDrawArea({0, 1, 8, 100});
    BltMemImg(dest->image(), source.image(), -10, -1, 0, nullptr);
    EXPECT_EQ(dest->Get(0, 1), static_cast<uint32_t>(2 << 12 | 10));  // column 10, row 2
    EXPECT_EQ(dest->Get(7, 2), static_cast<uint32_t>(3 << 12 | 17));
    EXPECT_EQ(dest->Get(8, 1), kBackground);
    EXPECT_EQ(dest->Get(0, 0), kBackground);
    EXPECT_EQ(dest->Get(0, 3), kBackground);  // the source has 4 rows, starting at -1
    EXPECT_TRUE(dest->GuardsIntact());

    // Coordinates at the ends of the int range draw nothing and never wrap.
    for (auto [x, y] : {std::pair{INT_MAX, 0}, std::pair{INT_MIN, 0}, std::pair{0, INT_MAX}, std::pair{INT_MIN, INT_MIN},
                        std::pair{INT_MAX - 5, INT_MAX - 2}}) {
        BltMemImg(dest->image(), source.image(), x, y, 0, nullptr);
    }
    EXPECT_TRUE(dest->GuardsIntact());
    EXPECT_EQ(dest->Get(0, 1), static_cast<uint32_t>(2 << 12 | 10));
}

TEST_F(BlitGeometryTest, ImagesThatCannotBeDrawnTogetherAreRefused) {
    GuardedImage source32(4, 4, 1, 0, 0), source16(4, 4, 0, 0, 0), depth(4, 4, 3, 0, 0);
    std::mt19937 rng(3);
    source32.Randomize(rng);
    source16.Randomize(rng);
    const Rect scaled{0, 0, 8, 8};
    for (auto [format, palette, alpha] :
         {std::tuple{0, 0, 0}, std::tuple{1, 1, 0}, std::tuple{1, 0, 1}, std::tuple{2, 0, 0}, std::tuple{3, 0, 0}}) {
        GuardedImage dest(8, 8, format, palette, alpha);
        dest.Randomize(rng);
        const auto before = Pixels(dest);
        // A 32-bit source never lands on these, scaled or not.
        BltMemImg(dest.image(), source32.image(), 0, 0, 0, nullptr);
        BltMemImgScaled(dest.image(), source32.image(), &scaled, 0, nullptr);
        const Rect mirrored{4, 0, 0, 4};
        BltMemImgScaled(dest.image(), source32.image(), &mirrored, 0, nullptr);
        EXPECT_TRUE(dest.GuardsIntact());
        EXPECT_EQ(Pixels(dest), before) << format << palette << alpha;
    }
    auto dest = Destination(8, 8, 1);
    BltMemImg(dest->image(), source16.image(), 0, 0, 0, nullptr);
    BltMemImg(dest->image(), depth.image(), 0, 0, 0, nullptr);
    BltMemImg(dest->image(), source32.image(), 0, 0, 0, source32.image());  // a 4-byte blend image
    MEMIMG released;
    CreateMemImg(&released, 4, 4, -1, 0, 1, 0, 0, nullptr);
    ReleaseMemImg(&released);
    BltMemImg(dest->image(), &released, 0, 0, 0, nullptr);
    BltMemImgScaled(dest->image(), &released, &scaled, 0, nullptr);
    BltMemImg(&released, source32.image(), 0, 0, 0, nullptr);
    BltMemImgScaled(dest->image(), source32.image(), nullptr, 0, nullptr);
    for (int mode : {5, 6, 7, 8, 9, -1, 12}) {
        SetMemImgDrawBlendMode(mode, 128);
        BltMemImg(dest->image(), source32.image(), 0, 0, 0, nullptr);
        BltMemImgScaled(dest->image(), source32.image(), &scaled, 0, nullptr);
    }
    EXPECT_EQ(Pixels(*dest), std::vector<uint32_t>(64, kBackground));
    EXPECT_TRUE(dest->GuardsIntact());
}

TEST_F(BlitGeometryTest, ScaledSamplingFollowsTheSixteenDotSixteenStep) {
    auto sample = [](int source_width, int dest_width, bool mirrored) {
        GuardedImage source(source_width, 1, 1, 0, 0);
        FillCoordinates(source);
        auto dest = Destination(dest_width, 1);
        const Rect rect{mirrored ? dest_width : 0, 0, mirrored ? 0 : dest_width, 1};
        BltMemImgScaled(dest->image(), source.image(), &rect, 0, nullptr);
        EXPECT_TRUE(dest->GuardsIntact());
        return Columns(*dest, 0);
    };
    EXPECT_EQ(sample(8, 4, false), (std::vector<int>{0, 2, 4, 6}));
    EXPECT_EQ(sample(8, 2, false), (std::vector<int>{0, 4}));
    EXPECT_EQ(sample(2, 4, false), (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(sample(3, 7, false), (std::vector<int>{0, 0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(sample(3, 7, true), (std::vector<int>{2, 2, 2, 1, 1, 0, 0}));
    EXPECT_EQ(sample(5, 5, true), (std::vector<int>{4, 3, 2, 1, 0}));
}

TEST_F(BlitGeometryTest, ScaledDegenerateAndExtremeRectangles) {
    GuardedImage source(6, 6, 1, 0, 0);
    FillCoordinates(source);
    auto dest = Destination(16, 16);
    for (const Rect rect : {Rect{3, 0, 3, 10}, Rect{0, 4, 10, 4}, Rect{20, 20, 30, 30}, Rect{-30, -30, -1, -1},
                            Rect{INT_MIN, 0, INT_MIN + 1, 2}}) {
        BltMemImgScaled(dest->image(), source.image(), &rect, 0, nullptr);
    }
    ASSERT_EQ(Pixels(*dest), std::vector<uint32_t>(256, kBackground));
    // Rectangles spanning the whole int range: steps and clip offsets are
    // computed in 64 bits, so the visible part is sampled, never wrapped.
    const Rect huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    BltMemImgScaled(dest->image(), source.image(), &huge, 0, nullptr);
    EXPECT_EQ(dest->Get(0, 0), static_cast<uint32_t>(3 << 12 | 3));  // the middle of the source
    const Rect mirrored_huge{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    BltMemImgScaled(dest->image(), source.image(), &mirrored_huge, 0, nullptr);
    EXPECT_EQ(dest->Get(15, 15), static_cast<uint32_t>(2 << 12 | 2));
    EXPECT_TRUE(dest->GuardsIntact());

    // A source more than 65536 times larger than the rectangle has no step
    // and draws nothing.
    GuardedImage wide(70000, 1, 2, 0, 0);
    GuardedImage dest8(4, 4, 1, 0, 0);
    const Rect tiny{0, 0, 1, 1};
    BltMemImgScaled(dest8.image(), wide.image(), &tiny, 0, nullptr);  // format mismatch anyway
    GuardedImage wide32(70000, 1, 1, 0, 0);
    FillMemImg(dest8.image(), nullptr, kBackground);
    BltMemImgScaled(dest8.image(), wide32.image(), &tiny, 0, nullptr);
    EXPECT_EQ(dest8.Get(0, 0), kBackground);
}

TEST(ExtremeInputsTest, NoCoordinateOrAreaWritesOutsideTheDestination) {
    InitMemImgTables();
    std::mt19937 rng(8191);
    const int values[] = {INT_MIN, INT_MIN + 1, -70000, -65536, -9, -1, 0, 1, 3, 7, 11, 65535, 65536, INT_MAX - 1, INT_MAX};
    auto pick = [&] { return rng() % 3 == 0 ? static_cast<int>(rng() % 40) - 15 : values[rng() % std::size(values)]; };
    GuardedImage source(9, 7, 1, 0, 1), blend(5, 4, 2, 0, 0);
    source.Randomize(rng);
    blend.Randomize(rng);
    BuildBlendGraphTable(100, 30);
    for (int format : {0, 1}) {
        GuardedImage source_of_format(9, 7, format, 0, 0);
        source_of_format.Randomize(rng);
        for (int i = 0; i < 1500; ++i) {
            GuardedImage dest(12, 10, format, 0, 0);
            dest.Randomize(rng);
            SetMemImgDrawArea({pick(), pick(), pick(), pick()});
            SetMemImgDrawBlendMode(static_cast<int>(rng() % 13), static_cast<int>(rng() % 256));
            const MEMIMG* src = (format == 1 && rng() % 2) ? source.image() : source_of_format.image();
            const MEMIMG* graph = rng() % 2 ? blend.image() : nullptr;
            const Rect rect{pick(), pick(), pick(), pick()};
            switch (rng() % 4) {
                case 0: BltMemImg(dest.image(), src, pick(), pick(), static_cast<int>(rng() % 2), graph); break;
                case 1: BltMemImgScaled(dest.image(), src, &rect, static_cast<int>(rng() % 2), graph); break;
                case 2: DrawMemImgFilledBox(dest.image(), &rect, static_cast<uint32_t>(rng())); break;
                default: DrawMemImgLine(dest.image(), pick(), pick(), pick(), pick(), static_cast<uint32_t>(rng())); break;
            }
            ASSERT_TRUE(dest.GuardsIntact()) << "iteration " << i;
        }
    }
    ASSERT_TRUE(source.GuardsIntact() && blend.GuardsIntact());
    SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    SetMemImgDrawBlendMode(0, 255);
}

// Images whose rows follow each other without padding take whole-block
// paths; they must give what the row-by-row paths give.
TEST(UnpaddedImagesTest, WholeImageCopiesAndFillsMatchRowByRowResults) {
    InitMemImgTables();
    SetMemImgDrawBlendMode(0, 255);
    SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    std::mt19937 rng(12);
    for (int format : {0, 1}) {
        const int width = format == 0 ? 16 : 8;  // a row of exactly 32 bytes
        MEMIMG source{}, dest{};
        ASSERT_EQ(CreateMemImg(&source, width, 5, -1, 0, format, 0, 0, nullptr), 0);
        ASSERT_EQ(CreateMemImg(&dest, width, 5, -1, 0, format, 0, 0, nullptr), 0);
        ASSERT_EQ(dest.base->pitch, 32);
        for (int i = 0; i < 32 * 5; ++i) {
            source.pixels[i] = static_cast<uint8_t>(rng());
            dest.pixels[i] = static_cast<uint8_t>(rng());
        }
        BltMemImg(&dest, &source, 0, 0, 0, nullptr);
        EXPECT_EQ(std::memcmp(dest.pixels, source.pixels, 32 * 5), 0);

        const uint32_t color = format == 0 ? 0x1234 : 0x00ABCDEF;
        DrawMemImgFilledBox(&dest, nullptr, color);
        uint32_t last = 0;
        std::memcpy(&last, MemImgPixelAddress(dest, width - 1, 4), format == 0 ? 2 : 4);
        EXPECT_EQ(last, color);

        // The image drawn onto itself one row down copies row by row from
        // the top, as the general loops do.
        for (int i = 0; i < 32 * 5; ++i) {
            dest.pixels[i] = static_cast<uint8_t>(i / 32);
        }
        BltMemImg(&dest, &dest, 0, 1, 0, nullptr);
        EXPECT_EQ(dest.pixels[32 * 4], 0);
        ReleaseMemImg(&source);
        ReleaseMemImg(&dest);
    }
}

// An image enlarged onto itself reads, for each pixel, what the pixels
// before it in the row have already written.
TEST(ScaledOntoItselfTest, EachPixelReadsTheRowAsWrittenSoFar) {
    InitMemImgTables();
    SetMemImgDrawBlendMode(1, 128);
    SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    constexpr int kWidth = 16;
    MEMIMG image{};
    ASSERT_EQ(CreateMemImg(&image, kWidth, 1, -1, 0, 1, 0, 0, nullptr), 0);
    std::vector<uint32_t> expected(kWidth);
    for (int x = 0; x < kWidth; ++x) {
        expected[x] = static_cast<uint32_t>(x * 0x00102030 + 0x00F0E0D0) & 0x00FFFFFF;
    }
    std::memcpy(image.pixels, expected.data(), kWidth * 4);
    // Twice as wide: pixel x shows column x / 2, mixed half and half.
    for (int x = 0; x < kWidth; ++x) {
        const uint32_t d = expected[x], s = expected[x / 2];
        uint32_t mixed = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            mixed |= ((((d >> shift) & 0xFF) + ((s >> shift) & 0xFF)) >> 1) << shift;
        }
        expected[x] = mixed;
    }
    const Rect rect{0, 0, 2 * kWidth, 1};
    BltMemImgScaled(&image, &image, &rect, 0, nullptr);
    std::vector<uint32_t> actual(kWidth);
    std::memcpy(actual.data(), image.pixels, kWidth * 4);
    EXPECT_EQ(actual, expected);
    ReleaseMemImg(&image);
    SetMemImgDrawBlendMode(0, 255);
}

// Plain fills start at every alignment and run over every width from a single
// pixel to several vector rounds: each pixel of the box takes the colour,
// nothing around it changes.
TEST(FilledBoxTest, EveryStartAndWidthFillsExactlyTheBox) {
    InitMemImgTables();
    SetMemImgDrawBlendMode(0, 255);
    SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    std::mt19937 rng(35);
    for (int format : {0, 1}) {
        const int bytes = format == 0 ? 2 : 4;
        const uint32_t color = format == 0 ? 0xA5C3 : 0x7F123456;
        for (int left = 0; left < 17; ++left) {
            for (int width = 1; width <= 150; width += (width < 40 ? 1 : 7)) {
                GuardedImage dest(180, 3, format, 0, 0);
                dest.Randomize(rng);
                std::vector<uint8_t> before(static_cast<size_t>(dest.image()->base->pitch) * 3);
                std::memcpy(before.data(), dest.image()->pixels, before.size());
                const Rect box{left, 1, left + width, 2};
                DrawMemImgFilledBox(dest.image(), &box, color);
                ASSERT_TRUE(dest.GuardsIntact());
                for (int y = 0; y < 3; ++y) {
                    for (int x = 0; x < 180; ++x) {
                        uint32_t got = 0, was = 0;
                        const size_t at = static_cast<size_t>(y) * dest.image()->base->pitch + x * bytes;
                        std::memcpy(&got, dest.image()->pixels + at, bytes);
                        std::memcpy(&was, before.data() + at, bytes);
                        const bool inside = y == 1 && x >= left && x < left + width;
                        ASSERT_EQ(got, inside ? color : was) << "format " << format << " box " << left << "+"
                                                              << width << " pixel " << x << "," << y;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace velk
