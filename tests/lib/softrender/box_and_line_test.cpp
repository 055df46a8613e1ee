#include <climits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "drawing_fixture.h"
#include "guarded_image.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/blit_wide_loops.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"
#include "reference_model.h"

namespace velk {
namespace {

using testing::GuardedImage;
using PixelSet = std::set<std::pair<int, int>>;

class BoxAndLineTest : public testing::DrawingTest {
protected:
    // The pixels that differ from the background 0 after drawing with
    // colour 1 in mode 0.
    template <class Draw>
    static PixelSet Drawn(int width, int height, Draw draw) {
        GuardedImage image(width, height, 1, 0, 0);
        FillMemImg(image.image(), nullptr, 0);
        image.Snapshot();
        draw(image.image());
        EXPECT_TRUE(image.GuardsIntact());
        PixelSet set;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (image.Get(x, y) != 0) {
                    set.insert({x, y});
                }
            }
        }
        return set;
    }

    static PixelSet Line(int x1, int y1, int x2, int y2, int width = 20, int height = 20) {
        return Drawn(width, height, [&](MEMIMG* image) { DrawMemImgLine(image, x1, y1, x2, y2, 1); });
    }
};

PixelSet Box(int left, int top, int right, int bottom) {
    PixelSet set;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            set.insert({x, y});
        }
    }
    return set;
}

TEST_F(BoxAndLineTest, BoxCoversItsOrderedClippedRectangle) {
    auto box = [](const Rect* rect) {
        return Drawn(20, 15, [&](MEMIMG* image) { DrawMemImgFilledBox(image, rect, 1); });
    };
    const Rect forward{0, 0, 10, 10}, backward{10, 10, 0, 0};
    EXPECT_EQ(box(&forward), Box(0, 0, 10, 10));
    EXPECT_EQ(box(&backward), Box(0, 0, 10, 10));
    const Rect column{4, 2, 5, 9}, empty{5, 5, 5, 9};
    EXPECT_EQ(box(&column), Box(4, 2, 5, 9));
    EXPECT_TRUE(box(&empty).empty());
    // A null rectangle is the whole destination as far as the draw area goes;
    // a draw area beyond the destination is cut to it.
    SetMemImgDrawArea({3, -5, 100, 7});
    EXPECT_EQ(box(nullptr), Box(3, 0, 20, 7));
    const Rect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(box(&huge), Box(3, 0, 20, 7));
}

TEST_F(BoxAndLineTest, FlatDrawsRefuseDestinationsTheyCannotHold) {
    for (auto [format, palette, alpha] : {std::tuple{1, 1, 0}, std::tuple{1, 0, 1}, std::tuple{0, 1, 0},
                                          std::tuple{0, 0, 1}, std::tuple{2, 0, 0}, std::tuple{3, 0, 0}}) {
        GuardedImage image(6, 6, format, palette, alpha);
        std::mt19937 rng(1);
        image.Randomize(rng);
        const uint32_t before = image.Get(2, 2);
        DrawMemImgFilledBox(image.image(), nullptr, 0x12345678);
        DrawMemImgLine(image.image(), 0, 2, 6, 2, 0x12345678);
        const LineRecord records[] = {{0, 2, 6, 2, 0x12345678, 255}};
        DrawMemImgLines(image.image(), records, 1);
        EXPECT_EQ(image.Get(2, 2), before) << format << palette << alpha;
        EXPECT_TRUE(image.GuardsIntact());
    }
    MEMIMG released{};
    DrawMemImgFilledBox(&released, nullptr, 1);
    DrawMemImgLine(&released, 0, 0, 5, 5, 1);
}

TEST_F(BoxAndLineTest, LinesStepFromTheFirstEndpointAndStopBeforeTheSecond) {
    EXPECT_TRUE(Line(3, 3, 3, 3).empty());
    EXPECT_EQ(Line(3, 3, 4, 3), (PixelSet{{3, 3}}));
    EXPECT_EQ(Line(3, 3, 3, 0), (PixelSet{{3, 3}, {3, 2}, {3, 1}}));
    EXPECT_EQ(Line(0, 0, 5, 5), (PixelSet{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    EXPECT_EQ(Line(0, 0, 4, 6), (PixelSet{{0, 0}, {0, 1}, {1, 2}, {2, 3}, {2, 4}, {3, 5}}));
    EXPECT_EQ(Line(0, 0, 10, 5),
              (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}}));
    EXPECT_EQ(Line(10, 5, 0, 0).size(), 10u);
}

TEST_F(BoxAndLineTest, LinesAreClippedToTheDrawAreaAndTheDestination) {
    SetMemImgDrawArea({0, 0, 100, 100});
    EXPECT_EQ(Line(-50, 50, 150, 50, 120, 120), Box(0, 50, 100, 51));
    EXPECT_EQ(Line(50, -10, 50, 200, 120, 120), Box(50, 0, 51, 100));
    // The draw area reaches past the destination: the destination cuts it.
    EXPECT_EQ(Line(-50, 5, 150, 5, 30, 10), Box(0, 5, 30, 6));
    EXPECT_TRUE(Line(-5, -5, -1, -1, 30, 10).empty());
    // Far-away and extreme endpoints never leave the area.
    SetMemImgDrawArea({2, 2, 18, 18});
    for (auto [x1, y1, x2, y2] : {std::tuple{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, std::tuple{INT_MAX, 0, INT_MIN, 9},
                                  std::tuple{-1000000, 7, 1000000, 8}, std::tuple{5, INT_MIN, 6, INT_MAX}}) {
        for (const auto& [x, y] : Line(x1, y1, x2, y2)) {
            EXPECT_TRUE(x >= 2 && x < 18 && y >= 2 && y < 18) << x << "," << y;
        }
    }
}

// A slanted line cut at any side keeps the pixels of its uncut course there:
// each end moved onto the edge takes the other coordinate of its own line.
TEST_F(BoxAndLineTest, SlantedLinesCutAtEachSideKeepTheirCourse) {
    auto diagonal = [](int x, int y, int step_x, int step_y, int count) {
        PixelSet set;
        for (int i = 0; i < count; ++i) {
            set.insert({x + i * step_x, y + i * step_y});
        }
        return set;
    };
    // The first end outside: left, right, top, bottom.
    EXPECT_EQ(Line(-3, 0, 3, 6), diagonal(0, 3, 1, 1, 3));
    EXPECT_EQ(Line(25, 0, 15, 10), diagonal(19, 6, -1, 1, 4));
    EXPECT_EQ(Line(0, -3, 6, 3), diagonal(3, 0, 1, 1, 3));
    EXPECT_EQ(Line(5, 25, 15, 15), diagonal(11, 19, 1, -1, 4));
    // The second end outside: the line runs to the edge.
    EXPECT_EQ(Line(5, 2, -5, 12), diagonal(5, 2, -1, 1, 6));
    EXPECT_EQ(Line(15, 0, 25, 10), diagonal(15, 0, 1, 1, 5));
    EXPECT_EQ(Line(10, 5, 0, -5), diagonal(10, 5, -1, -1, 6));
    EXPECT_EQ(Line(2, 15, 12, 25), diagonal(2, 15, 1, 1, 5));
    // A flatter line entering on the left: y = 2 + x / 2 from the edge on.
    EXPECT_EQ(Line(-4, 0, 8, 6), (PixelSet{{0, 2}, {1, 2}, {2, 3}, {3, 3}, {4, 4}, {5, 4}, {6, 5}, {7, 5}}));
}

TEST_F(BoxAndLineTest, AnOutlineOfFourLinesAddsEveryPixelOnce) {
    SetMemImgDrawBlendMode(2, 255);
    GuardedImage image(12, 12, 1, 0, 0);
    FillMemImg(image.image(), nullptr, 0);
    image.Snapshot();
    const int x1 = 2, y1 = 3, x2 = 9, y2 = 11;
    const LineRecord outline[] = {{x1, y1, x2 - 1, y1, 0x010101, 7},
                                  {x2 - 1, y1, x2 - 1, y2 - 1, 0x010101, 7},
                                  {x2 - 1, y2 - 1, x1, y2 - 1, 0x010101, 7},
                                  {x1, y2 - 1, x1, y1, 0x010101, 7}};
    DrawMemImgLines(image.image(), outline, 4);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool on_outline =
                (x >= x1 && x < x2 && y >= y1 && y < y2) && (x == x1 || x == x2 - 1 || y == y1 || y == y2 - 1);
            EXPECT_EQ(image.Get(x, y), on_outline ? 0x010101u : 0u) << x << "," << y;
        }
    }
    DrawMemImgLines(image.image(), outline, 0);
    DrawMemImgLines(image.image(), outline, -3);
    DrawMemImgLines(image.image(), nullptr, 4);
    EXPECT_TRUE(image.GuardsIntact());
}

TEST_F(BoxAndLineTest, FlatColoursFollowTheReferenceInEveryModeAndFormat) {
    std::mt19937 rng(99);
    const int modes[] = {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, -1};
    const int params[] = {0, 1, 64, 128, 200, 254, 255};
    for (int format : {0, 1}) {
        for (int mode : modes) {
            for (int param : params) {
                reference::Settings settings;
                settings.mode = mode;
                settings.param = param;
                if (rng() % 2 == 0) {
                    settings.bright_red = static_cast<int>(rng() % 256);
                    settings.bright_green = static_cast<int>(rng() % 256);
                    settings.bright_blue = rng() % 2 ? 255 : 254;
                }
                const uint32_t color = format == 0 ? rng() & 0xFFFF : rng();
                SetMemImgDrawBlendMode(mode, param);
                SetMemImgDrawBright(settings.bright_red, settings.bright_green, settings.bright_blue);
                for (int shape = 0; shape < 2; ++shape) {
                    GuardedImage image(9, 7, format, 0, 0);
                    image.Randomize(rng);
                    std::vector<uint32_t> before;
                    for (int i = 0; i < 63; ++i) before.push_back(image.Get(i % 9, i / 9));
                    const Rect rect{1, 1, 8, 6};
                    if (shape == 0) {
                        DrawMemImgFilledBox(image.image(), &rect, color);
                    } else {
                        DrawMemImgLine(image.image(), 0, 3, 9, 3, color);
                    }
                    ASSERT_TRUE(image.GuardsIntact());
                    for (int y = 0; y < 7; ++y) {
                        for (int x = 0; x < 9; ++x) {
                            const bool covered = shape == 0 ? (x >= 1 && x < 8 && y >= 1 && y < 6) : y == 3;
                            const uint32_t old = before[static_cast<size_t>(y * 9 + x)];
                            const uint32_t expected =
                                covered ? reference::FlatPixel(format == 0, old, color, settings) : old;
                            ASSERT_EQ(image.Get(x, y), expected)
                                << "format " << format << " mode " << mode << " P " << param << " shape " << shape
                                << " at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(BoxAndLineTest, WideAlphaBoxesFollowTheReferenceAtEveryWidth) {
    // Mode 1 boxes on 32- and 16-bit images, wide enough for the vector forms
    // and their last partial step, with the SSE2 forms alone, up to AVX2 and
    // up to AVX-512 (each where the machine has it).
    std::vector<int> widths;
    for (int width = 1; width <= 17; ++width) {
        widths.push_back(width);
    }
    for (int width : {31, 32, 33, 63, 64, 65, 200}) {
        widths.push_back(width);
    }
    std::mt19937 rng(3523);
    for (int format : {1, 0}) {
        for (int tier : {2, 1, 0}) {
            UseWideBlitLoops(tier > 0);
            UseAvx512BlitLoops(tier > 1);
            for (int width : widths) {
                for (int param : {1, 64, 128, 200, 254, 255}) {
                    reference::Settings settings;
                    settings.mode = 1;
                    settings.param = param;
                    SetMemImgDrawBlendMode(1, param);
                    const uint32_t color = static_cast<uint32_t>(rng()) & (format == 0 ? 0xFFFF : 0xFFFFFFFF);
                    const int left = static_cast<int>(rng() % 4);
                    GuardedImage image(left + width + 3, 5, format, 0, 0);
                    image.Randomize(rng);
                    std::vector<uint32_t> before;
                    for (int y = 0; y < 5; ++y) {
                        for (int x = 0; x < left + width + 3; ++x) {
                            before.push_back(image.Get(x, y));
                        }
                    }
                    const Rect rect{left, 1, left + width, 4};
                    DrawMemImgFilledBox(image.image(), &rect, color);
                    ASSERT_TRUE(image.GuardsIntact()) << "width " << width << " tier " << tier;
                    for (int y = 0; y < 5; ++y) {
                        for (int x = 0; x < left + width + 3; ++x) {
                            const bool covered = x >= left && x < left + width && y >= 1 && y < 4;
                            const uint32_t old = before[static_cast<size_t>(y * (left + width + 3) + x)];
                            const uint32_t expected =
                                covered ? reference::FlatPixel(format == 0, old, color, settings) : old;
                            ASSERT_EQ(image.Get(x, y), expected)
                                << "format " << format << " width " << width << " P " << param << " tier " << tier
                                << " at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
    UseWideBlitLoops(true);
    UseAvx512BlitLoops(true);
}

TEST_F(BoxAndLineTest, FlatColourSpotValues) {
    struct Case {
        const char* what;
        int mode, param, bright_blue;
        uint32_t dest, color, want;
    };
    const Case cases[] = {
        {"mode 0 stores the colour word whole", 0, 255, 255, 0, 0xAB102030, 0xAB102030},
        {"a bright byte of 255 changes nothing", 0, 255, 254, 0, 0x00FFFFFF, 0x00FFFFFE},
        {"alpha 128 rounds down, keeps X", 1, 128, 255, 0x55000000, 0x00FFFFFF, 0x557F7F7F},
        {"inverted 0 over 0", 10, 255, 255, 0, 0, 0x00FEFEFE},
        {"exact add, X becomes 0", 2, 255, 255, 0x77010164, 0x000101C8, 0x000202FF},
        {"subtracting 0", 3, 255, 255, 0x00050005, 0, 0x00050005},
        {"multiply by white darkens by the shift", 4, 0, 255, 0x00FFFFFF, 0x00FFFFFF, 0x00FEFEFE},
    };
    GuardedImage image(2, 1, 1, 0, 0);
    const Rect one{0, 0, 1, 1};
    for (const Case& c : cases) {
        SetMemImgDrawBlendMode(c.mode, c.param);
        SetMemImgDrawBright(255, 255, c.bright_blue);
        image.Set(0, 0, c.dest);
        DrawMemImgFilledBox(image.image(), &one, c.color);
        EXPECT_EQ(image.Get(0, 0), c.want) << c.what;
    }
}

}  // namespace
}  // namespace velk
