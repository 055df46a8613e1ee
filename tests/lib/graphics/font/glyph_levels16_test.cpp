// Anti-aliased text of one colour over a plain 16-bit image, written as an
// alpha blit of the glyph would be, by the writer's widest form and by its
// others: every cell value over every channel value, boxes of every width
// from 1 to 40 and wider, clipped on each side, at odd and even columns,
// in images and cells of narrow pitches.

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/graphics/font/glyph_writer.h"

namespace velk {
namespace {

// Cell value `value` of anti-aliased text in `ink` over `old`, worked out
// from the alpha blit: 1 to 14 cover 16 x value / 256 of the pixel, each
// channel (old x (256 - a) + ink x a) >> 8; 15 stores the ink whole; 0 and
// values above 15 leave the pixel.
uint16_t Blend(uint16_t ink, int value, uint16_t old) {
    if (value == 0 || value > 15) {
        return old;
    }
    if (value == 15) {
        return ink;
    }
    const int a = 16 * value;
    auto mix = [a](int o, int i) { return (o * (256 - a) + i * a) >> 8; };
    const int r = mix(old >> 11, ink >> 11), g = mix((old >> 5) & 63, (ink >> 5) & 63), b = mix(old & 31, ink & 31);
    return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

uint16_t Pixel(const MEMIMG& image, int x, int y) {
    uint16_t v = 0;
    std::memcpy(&v, MemImgPixelAddress(image, x, y), 2);
    return v;
}

void SetPixel(MEMIMG& image, int x, int y, uint16_t v) { std::memcpy(MemImgPixelAddress(image, x, y), &v, 2); }

uint16_t Rgb(int r, int g, int b) { return static_cast<uint16_t>(((r & 31) << 11) | ((g & 63) << 5) | (b & 31)); }

// The writer's forms for these cells: the widest with its byte-pair mix,
// the widest without it, and the base forms.
enum class Form { kPairs, kWidestChannels, kBase };

void UseForm(Form form) {
    UseWideGlyphWriter(form != Form::kBase);
    UseWidestGlyphWriter(form != Form::kBase);
    UseGlyphLevelPairs(form == Form::kPairs);
}

const char* FormName(Form form) {
    switch (form) {
        case Form::kPairs: return "pairs";
        case Form::kWidestChannels: return "widest channels";
        default: return "base";
    }
}

class GlyphLevels16Test : public ::testing::Test {
protected:
    void TearDown() override { UseForm(Form::kPairs); }
};

// Column x of the cells holds value x; row y of the image the pixel of
// channel values (y, y, 5 y + 1) and each ink those of (c, c, 7 c + 3) for
// c = 0 to 63: every pair of pixel and ink value of each channel meets
// every cell value. The columns are written as boxes 8, 16 and 256 wide,
// four, two and one row a step.
TEST_F(GlyphLevels16Test, EveryCellValueMixesEveryChannelValueOfPixelAndInk) {
    constexpr int kValues = 256, kRows = 64;
    std::vector<uint8_t> cells(static_cast<size_t>(kValues * kRows) + 8);
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kValues; ++x) {
            cells[static_cast<size_t>(y * kValues + x)] = static_cast<uint8_t>(x);
        }
    }
    MEMIMG image{};
    ASSERT_EQ(CreateMemImg(&image, kValues, kRows, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
    auto old_at = [](int y) { return Rgb(y, y, 5 * y + 1); };
    for (const Form form : {Form::kPairs, Form::kWidestChannels, Form::kBase}) {
        UseForm(form);
        for (const int box : {8, 16, kValues}) {
            for (int c = 0; c < 64; ++c) {
                const uint16_t ink = Rgb(c, c, 7 * c + 3);
                for (int y = 0; y < kRows; ++y) {
                    for (int x = 0; x < kValues; ++x) {
                        SetPixel(image, x, y, old_at(y));
                    }
                }
                GlyphWriter writer;
                ASSERT_TRUE(writer.Begin(image, 2, ink, 0, 255, 255, 255, true));
                for (int left = 0; left < kValues; left += box) {
                    writer.Write(image, Rect{0, 0, kValues, kRows}, left, 0,
                                 GlyphCellView{cells.data() + left, kValues, box, kRows});
                }
                int wrong = 0;
                std::string first;
                for (int y = 0; y < kRows; ++y) {
                    for (int x = 0; x < kValues; ++x) {
                        const uint16_t want = Blend(ink, x, old_at(y)), got = Pixel(image, x, y);
                        if (got != want && wrong++ == 0) {
                            first = "value " + std::to_string(x) + " over row " + std::to_string(y) + ": got " +
                                    std::to_string(got) + ", want " + std::to_string(want);
                        }
                    }
                }
                ASSERT_EQ(wrong, 0) << FormName(form) << ", boxes " << box << " wide, ink " << c << ": " << first;
            }
        }
    }
    ReleaseMemImg(&image);
}

struct BoxCase {
    int image_width;
    int image_pitch;  // bytes
    int cell_pitch_extra;
};

// Boxes 1 to 40 pixels wide and of heights around the steps' rows, at odd
// and even columns, cut by the clip on each side in turn and on none, over
// images and cells of pitches down to a row's own: each pixel is the rule's
// mix of its cell, and every pixel outside the clipped box keeps its value.
// The cells beyond each row's box hold values that draw.
TEST_F(GlyphLevels16Test, BoxesOfEveryWidthClippedOnEachSideFollowTheRule) {
    constexpr int kImageHeight = 24;
    const BoxCase cases[] = {{96, 192, 0}, {96, 200, 3}, {96, 192, 64}, {6, 12, 0}, {12, 24, 5}, {20, 40, 1}};
    std::mt19937 random(2024);
    int drawn = 0;
    for (const Form form : {Form::kPairs, Form::kBase}) {
        UseForm(form);
        for (const BoxCase& box_case : cases) {
            MEMIMG image{};
            ASSERT_EQ(CreateMemImg(&image, box_case.image_width, kImageHeight, box_case.image_pitch, 0, kMemImgFormat16,
                                   0, 0, nullptr),
                      0);
            MEMIMG before{};
            ASSERT_EQ(CreateMemImg(&before, box_case.image_width, kImageHeight, box_case.image_pitch, 0,
                                   kMemImgFormat16, 0, 0, nullptr),
                      0);
            for (int width = 1; width <= 40; ++width) {
                for (const int height : {1, 2, 3, 4, 5, 8, 9, 15, 16, 17}) {
                    // 0 none, 1 left, 2 right, 3 top, 4 bottom.
                    const int side = (width + height) % 5;
                    const int cell_pitch = width + box_case.cell_pitch_extra;
                    std::vector<uint8_t> cells(static_cast<size_t>(cell_pitch * height) + 8, 7);
                    for (int y = 0; y < height; ++y) {
                        for (int x = 0; x < width; ++x) {
                            const int k = static_cast<int>(random() % 16);
                            const int value = k < 5 ? 0
                                                    : (k < 8 ? 15
                                                             : (k == 8 ? 16 + static_cast<int>(random() % 240)
                                                                       : static_cast<int>(random() % 15)));
                            cells[static_cast<size_t>(y * cell_pitch + x)] = static_cast<uint8_t>(value);
                        }
                    }
                    for (int y = 0; y < kImageHeight; ++y) {
                        for (int x = 0; x < box_case.image_width; ++x) {
                            SetPixel(image, x, y, static_cast<uint16_t>(random()));
                        }
                    }
                    std::memcpy(before.base->pixels, image.base->pixels,
                                static_cast<size_t>(box_case.image_pitch * kImageHeight));
                    // Odd and even columns; boxes wider than the image start
                    // left of it.
                    const int room = box_case.image_width - width;
                    const int x = room > 1 ? static_cast<int>(random() % static_cast<unsigned>(room)) | (width & 1)
                                           : -static_cast<int>(random() % 4);
                    const int y = static_cast<int>(random() % static_cast<unsigned>(kImageHeight - height + 1));
                    Rect clip{0, 0, box_case.image_width, kImageHeight};
                    const int cut = 1 + static_cast<int>(random() % 5);
                    if (side == 1) clip.left = x + cut;
                    if (side == 2) clip.right = x + width - cut;
                    if (side == 3) clip.top = y + std::min(cut, height - 1);
                    if (side == 4) clip.bottom = y + height - std::min(cut, height - 1);
                    clip.left = std::max(clip.left, 0);
                    clip.right = std::min(clip.right, box_case.image_width);
                    const uint16_t ink = static_cast<uint16_t>(random());
                    GlyphWriter writer;
                    ASSERT_TRUE(writer.Begin(image, 2, ink, 0, 255, 255, 255, true));
                    writer.Write(image, clip, x, y, GlyphCellView{cells.data(), cell_pitch, width, height});
                    ++drawn;
                    for (int py = 0; py < kImageHeight; ++py) {
                        for (int px = 0; px < box_case.image_width; ++px) {
                            const int gx = px - x, gy = py - y;
                            const bool inside = px >= clip.left && px < clip.right && py >= clip.top &&
                                                py < clip.bottom && gx >= 0 && gx < width && gy >= 0 && gy < height;
                            const uint16_t old = Pixel(before, px, py);
                            const uint16_t want =
                                inside ? Blend(ink, cells[static_cast<size_t>(gy * cell_pitch + gx)], old) : old;
                            ASSERT_EQ(Pixel(image, px, py), want)
                                << FormName(form) << ", image " << box_case.image_width << " (pitch "
                                << box_case.image_pitch << "), box " << width << "x" << height << " (cell pitch "
                                << cell_pitch << ") at " << x << "," << y << ", clip side " << side << ", pixel " << px
                                << "," << py;
                        }
                    }
                }
            }
            ReleaseMemImg(&image);
            ReleaseMemImg(&before);
        }
    }
    EXPECT_EQ(drawn, 2 * 6 * 40 * 10);
}

// Lines of glyphs from a stamped cache, whose weight pairs the writer keeps
// from the first draw: each pixel is the rule's mix of its glyphs' cells in
// turn, drawn first and drawn again, from another cache under the same
// stamp, and after that cache's cells change under a new stamp. Glyphs are
// 1 to 20 wide and 1 to 19 high, overlapping, cut by the clip on each side
// (odd first rows among them), over images of pitches down to 8 pixels.
TEST_F(GlyphLevels16Test, KeptPairsOfStampedLinesFollowTheRule) {
    constexpr int kCells = 12, kCellSize = 20, kCellPitch = 23, kImageHeight = 40;
    constexpr ptrdiff_t kCellBytes = static_cast<ptrdiff_t>(kCellSize) * kCellPitch;
    std::mt19937 random(35);
    auto fill_cells = [&random](std::vector<uint8_t>& cache) {
        for (uint8_t& cell : cache) {
            const int k = static_cast<int>(random() % 16);
            cell = static_cast<uint8_t>(k < 4 ? 0 : (k < 7 ? 15 : (k == 7 ? 16 + random() % 240 : random() % 15)));
        }
    };
    std::vector<uint8_t> first(static_cast<size_t>(kCellBytes * kCells) + 8), second(first.size());
    fill_cells(first);
    fill_cells(second);
    int drawn = 0;
    for (const int image_width : {120, 8, 13, 16}) {
        MEMIMG image{}, want{};
        ASSERT_EQ(CreateMemImg(&image, image_width, kImageHeight, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
        ASSERT_EQ(CreateMemImg(&want, image_width, kImageHeight, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
        for (int round = 0; round < 40; ++round) {
            std::vector<PlacedGlyph> glyphs;
            int along = -static_cast<int>(random() % 6);
            for (int i = 0; i < 10; ++i) {
                const int c = static_cast<int>(random() % kCells);
                // A cell's box is the same wherever it is placed.
                const auto width = static_cast<int16_t>(1 + (c * 7 + round / 10) % 20);
                const auto height = static_cast<int16_t>(1 + (c * 5 + round / 10) % 19);
                glyphs.push_back(PlacedGlyph{along, c, static_cast<int16_t>(random() % 9), width, height});
                along += static_cast<int>(random() % 18);
            }
            const int x = static_cast<int>(random() % 8) - 3, y = static_cast<int>(random() % 12) - 2;
            Rect clip{0, 0, image_width, kImageHeight};
            const int cut = static_cast<int>(random() % 9);
            switch (round % 5) {
                case 1: clip.left = std::max(0, x + cut); break;
                case 2: clip.top = y + 1 + 2 * (cut / 2); break;  // odd rows of the glyphs at y
                case 3: clip.right = std::min(image_width, x + 30 + cut); break;
                case 4: clip.bottom = y + 5 + cut; break;
                default: break;
            }
            const uint16_t ink = static_cast<uint16_t>(random());
            // Drawn and drawn again from the first cache under one stamp,
            // then from the second under the same stamp, and from the
            // second with its cells changed under another stamp.
            const struct {
                std::vector<uint8_t>* cache;
                uint64_t stamp;
            } draws[] = {
                {&first, 100u + round}, {&first, 100u + round}, {&second, 100u + round}, {&second, 1000u + round}};
            for (const auto& draw : draws) {
                if (draw.stamp >= 1000) {
                    fill_cells(*draw.cache);
                }
                for (int py = 0; py < kImageHeight; ++py) {
                    for (int px = 0; px < image_width; ++px) {
                        const auto v = static_cast<uint16_t>(random());
                        SetPixel(image, px, py, v);
                        SetPixel(want, px, py, v);
                    }
                }
                for (const PlacedGlyph& glyph : glyphs) {
                    const uint8_t* cells = draw.cache->data() + glyph.cell * kCellBytes;
                    for (int gy = 0; gy < glyph.height; ++gy) {
                        for (int gx = 0; gx < glyph.width; ++gx) {
                            const int px = x + glyph.along + gx, py = y + glyph.top + gy;
                            if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom) {
                                SetPixel(want, px, py, Blend(ink, cells[gy * kCellPitch + gx], Pixel(want, px, py)));
                            }
                        }
                    }
                }
                GlyphWriter writer;
                ASSERT_TRUE(writer.Begin(image, 2, ink, 0, 255, 255, 255, true));
                writer.WriteLine(
                    image, clip, x, y,
                    GlyphLine{draw.cache->data(), kCellBytes, kCellPitch, glyphs.data(), glyphs.size(), draw.stamp});
                ++drawn;
                for (int py = 0; py < kImageHeight; ++py) {
                    for (int px = 0; px < image_width; ++px) {
                        ASSERT_EQ(Pixel(image, px, py), Pixel(want, px, py))
                            << "image " << image_width << " wide, round " << round << ", stamp " << draw.stamp
                            << ", pixel " << px << "," << py;
                    }
                }
            }
        }
        ReleaseMemImg(&image);
        ReleaseMemImg(&want);
    }
    EXPECT_EQ(drawn, 4 * 40 * 4);
}

// A stamped line whose glyphs are all too wide to keep pairs of, drawn by
// a writer that has kept none yet under the stamp, follows the rule.
TEST_F(GlyphLevels16Test, StampedLinesOfOnlyWideGlyphsFollowTheRule) {
    constexpr int kCellPitch = 24, kCellRows = 6, kWidth = 64, kHeight = 8;
    constexpr ptrdiff_t kCellBytes = static_cast<ptrdiff_t>(kCellPitch) * kCellRows;
    std::vector<uint8_t> cache(static_cast<size_t>(kCellBytes * 2) + 8);
    for (size_t i = 0; i < cache.size(); ++i) {
        cache[i] = static_cast<uint8_t>(i * 7 % 17);
    }
    const std::vector<PlacedGlyph> glyphs = {{0, 0, 1, 17, 5}, {20, 1, 0, 24, 6}};
    MEMIMG image{};
    ASSERT_EQ(CreateMemImg(&image, kWidth, kHeight, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
    std::vector<uint16_t> want(static_cast<size_t>(kWidth * kHeight));
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            want[static_cast<size_t>(py * kWidth + px)] = static_cast<uint16_t>(px * 1031 + py * 97);
            SetPixel(image, px, py, want[static_cast<size_t>(py * kWidth + px)]);
        }
    }
    const uint16_t ink = Rgb(30, 5, 17);
    for (const PlacedGlyph& glyph : glyphs) {
        for (int gy = 0; gy < glyph.height; ++gy) {
            for (int gx = 0; gx < glyph.width; ++gx) {
                uint16_t& pixel = want[static_cast<size_t>((1 + glyph.top + gy) * kWidth + 2 + glyph.along + gx)];
                pixel = Blend(ink, cache[static_cast<size_t>(glyph.cell * kCellBytes + gy * kCellPitch + gx)], pixel);
            }
        }
    }
    GlyphWriter writer;
    ASSERT_TRUE(writer.Begin(image, 2, ink, 0, 255, 255, 255, true));
    writer.WriteLine(image, Rect{0, 0, kWidth, kHeight}, 2, 1,
                     GlyphLine{cache.data(), kCellBytes, kCellPitch, glyphs.data(), glyphs.size(), 77777});
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            ASSERT_EQ(Pixel(image, px, py), want[static_cast<size_t>(py * kWidth + px)]) << px << "," << py;
        }
    }
    ReleaseMemImg(&image);
}

}  // namespace
}  // namespace velk
