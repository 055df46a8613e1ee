// Anti-aliased edged glyphs over a plain 16-bit image by byte permutes,
// against the alpha blit's rule worked out pixel by pixel and against the
// gathered form, over every cell value, every channel value, box widths
// and heights, clips and colours.

#include "lib/graphics/font/edged_glyph_writer16.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "lib/graphics/font/glyph_writer.h"
#include "tests/lib/graphics/font/edged16_rule.h"

namespace velk {
namespace {

using namespace edged16_rule;

// A cell box of `width` x `height` values inside a cache image whose rows
// are longer, the rest of each row holding ink that must not be drawn.
struct Box {
    int width, height, pitch;
    std::vector<uint8_t> cells;
    uint8_t At(int x, int y) const { return cells[static_cast<size_t>(y * pitch + x)]; }
    GlyphCellView View() const { return GlyphCellView{cells.data(), pitch, width, height}; }
};

Box RandomBox(int width, int height, std::mt19937& random) {
    Box box{width, height, width + 5, {}};
    box.cells.assign(static_cast<size_t>(box.pitch * height) + 8, 0x3F);  // cache images end in 8 spare bytes
    for (int y = 0; y < height; ++y) {
        // Now and then a row of nothing: a step of nothing writes nothing.
        const bool empty = random() % 6 == 0;
        for (int x = 0; x < width; ++x) {
            const int kind = static_cast<int>(random() % 4);
            const int value = empty || kind == 0 ? 0 : (kind == 1 ? (15 | (random() % 16) << 4) : random() % 256);
            box.cells[static_cast<size_t>(y * box.pitch + x)] = static_cast<uint8_t>(value);
        }
    }
    return box;
}

class EdgedGlyphWriter16Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateMemImg(&image_, 96, 48, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0); }
    void TearDown() override {
        UseGlyphInkPermutes(true);
        KeepEdgedOver16Steps(true);
        ReleaseMemImg(&image_);
    }

    void Fill(std::mt19937& random) {
        for (int y = 0; y < image_.base->height; ++y) {
            for (int x = 0; x < image_.base->width; ++x)
                Store(image_, x, y, random() & 0xFFFF);
        }
    }
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> all;
        for (int y = 0; y < image_.base->height; ++y) {
            for (int x = 0; x < image_.base->width; ++x)
                all.push_back(Load(image_, x, y));
        }
        return all;
    }
    void Restore(const std::vector<uint32_t>& all) {
        size_t i = 0;
        for (int y = 0; y < image_.base->height; ++y) {
            for (int x = 0; x < image_.base->width; ++x)
                Store(image_, x, y, all[i++]);
        }
    }

    // Writes the box at (x, y) over random pixels and checks every pixel
    // against the rule.
    void WriteAndCheck(GlyphWriter& writer, const Box& box, int x, int y, uint32_t text, uint32_t edge,
                       std::mt19937& random, const char* what) {
        Fill(random);
        const std::vector<uint32_t> before = Pixels();
        writer.Write(image_, Rect{0, 0, 96, 48}, x, y, box.View());
        size_t i = 0;
        for (int py = 0; py < 48; ++py) {
            for (int px = 0; px < 96; ++px, ++i) {
                const int gx = px - x, gy = py - y;
                const bool inside = gx >= 0 && gx < box.width && gy >= 0 && gy < box.height;
                ASSERT_EQ(Load(image_, px, py), inside ? Expected(box.At(gx, gy), text, edge, before[i]) : before[i])
                    << what << " width " << box.width << " at " << px << "," << py;
            }
        }
    }

    void DrawBoxesInTwoColourPairsInTurn();

    MEMIMG image_{};
};

// The tables by hand: no coverage weighs the pixel 255 and its ink 1 of 64,
// a whole ink weighs 255 and its channels one more, a part coverage its
// own weight and channels.
TEST_F(EdgedGlyphWriter16Test, TheTablesHoldEachValuesWeightAndChannels) {
    std::array<GlyphWriter::Ink, 256> inks{};
    inks[1] = {0xF81F, 255};   // 31, 0, 31 whole
    inks[2] = {0x07E0, 112};   // 0, 63, 0 at 112
    inks[3] = {0x1234, 0};     // drawn nowhere, whatever its pixel
    inks[255] = {0x8410, 16};  // 16, 32, 16 at 16
    std::array<uint8_t, kEdgedOver16TableBytes> tables{};
    MakeEdgedOver16Tables(inks.data(), tables.data());
    auto at = [&](int table, int value) { return static_cast<int>(tables[static_cast<size_t>(256 * table + value)]); };
    EXPECT_EQ(at(0, 0), 1);
    EXPECT_EQ(at(1, 0), 64);
    EXPECT_EQ(at(3, 0), 64);
    EXPECT_EQ(at(0, 1), 255);
    EXPECT_EQ(at(1, 1), 32);
    EXPECT_EQ(at(2, 1), 1);
    EXPECT_EQ(at(3, 1), 32);
    EXPECT_EQ(at(0, 2), 112);
    EXPECT_EQ(at(1, 2), 0);
    EXPECT_EQ(at(2, 2), 63);
    EXPECT_EQ(at(3, 2), 0);
    EXPECT_EQ(at(0, 3), 1);
    EXPECT_EQ(at(2, 3), 64);
    EXPECT_EQ(at(0, 255), 16);
    EXPECT_EQ(at(1, 255), 16);
    EXPECT_EQ(at(2, 255), 32);
    EXPECT_EQ(at(3, 255), 16);
}

// Every cell value over pixels of every channel value (row d holds red and
// blue d mod 32 and 31 - d mod 32, green d), in text and edge colours of
// every channel value, whole and part covered: each pixel as the rule says.
TEST_F(EdgedGlyphWriter16Test, EveryValueOverEveryChannelValueInEveryColour) {
    if (!MachineRunsEdgedOver16()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    constexpr int kRows = 64;
    MEMIMG wide{};
    ASSERT_EQ(CreateMemImg(&wide, 256, kRows, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
    Box box{256, kRows, 256, {}};
    box.cells.assign(static_cast<size_t>(256 * kRows) + 8, 0);
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < 256; ++x)
            box.cells[static_cast<size_t>(y * 256 + x)] = static_cast<uint8_t>(x);
    }
    auto old_at = [](int y) { return Join({y % 32, y, 31 - y % 32}); };
    for (int c = 0; c < 64; ++c) {
        const uint32_t text = Join({c % 32, 63 - c, (7 * c) % 32});
        const uint32_t edge = Join({(31 - c) % 32, (5 * c) % 64, c / 2});
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < 256; ++x)
                Store(wide, x, y, old_at(y));
        }
        GlyphWriter writer;
        ASSERT_TRUE(writer.Begin(wide, 3, text, edge, 255, 255, 255, true));
        writer.Write(wide, Rect{0, 0, 256, kRows}, 0, 0, box.View());
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < 256; ++x) {
                ASSERT_EQ(Load(wide, x, y), Expected(x, text, edge, old_at(y)))
                    << "colour " << c << " value " << x << " over " << y;
            }
        }
    }
    ReleaseMemImg(&wide);
}

// Boxes 1 to 40 wide and of many heights (each width takes its own number
// of rows a step, and a last step of fewer rows), at odd and even x, cut
// by clips on each side: inside the clip each pixel as the rule says and
// as the gathered form writes it, outside nothing touched.
TEST_F(EdgedGlyphWriter16Test, EveryWidthAndHeightCutOnEachSideMatchesTheRuleAndTheGatheredForm) {
    if (!MachineRunsEdgedOver16()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    std::mt19937 random(2024);
    for (int width = 1; width <= 40; ++width) {
        for (int height : {1, 2, 3, 4, 5, 7, 9, 13, 16, 17, 33}) {
            const Box box = RandomBox(width, height, random);
            const uint32_t text = random() & 0xFFFF, edge = random() & 0xFFFF;
            const int x = 3 + static_cast<int>(random() % 9), y = 2 + static_cast<int>(random() % 5);
            // Whole, then cut on the left, top, right and bottom.
            const Rect clips[] = {Rect{0, 0, 96, 48}, Rect{x + width / 2, 0, 96, 48}, Rect{0, y + height / 2, 96, 48},
                                  Rect{0, 0, x + (width + 1) / 2, 48}, Rect{0, 0, 96, y + (height + 1) / 2}};
            for (const Rect& clip : clips) {
                Fill(random);
                const std::vector<uint32_t> before = Pixels();
                UseGlyphInkPermutes(false);
                GlyphWriter gathered;
                ASSERT_TRUE(gathered.Begin(image_, 3, text, edge, 255, 255, 255, true));
                gathered.Write(image_, clip, x, y, box.View());
                const std::vector<uint32_t> gathered_pixels = Pixels();
                Restore(before);
                UseGlyphInkPermutes(true);
                GlyphWriter writer;
                ASSERT_TRUE(writer.Begin(image_, 3, text, edge, 255, 255, 255, true));
                writer.Write(image_, clip, x, y, box.View());
                size_t i = 0;
                for (int py = 0; py < 48; ++py) {
                    for (int px = 0; px < 96; ++px, ++i) {
                        const int gx = px - x, gy = py - y;
                        const bool inside = px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom &&
                                            gx >= 0 && gx < width && gy >= 0 && gy < height;
                        const uint32_t want = inside ? Expected(box.At(gx, gy), text, edge, before[i]) : before[i];
                        const uint32_t got = Load(image_, px, py);
                        ASSERT_EQ(got, want)
                            << "width " << width << " height " << height << " clip " << clip.left << "," << clip.top
                            << "," << clip.right << "," << clip.bottom << " at " << px << "," << py;
                        ASSERT_EQ(got, gathered_pixels[i]) << "width " << width << " height " << height;
                    }
                }
            }
        }
    }
}

// One writer kept while the colours (and the bright) change from string to
// string: each string in its own inks, none left from the string before.
TEST_F(EdgedGlyphWriter16Test, ColoursChangedBetweenStringsDrawInTheNewColours) {
    std::mt19937 random(77);
    GlyphWriter writer;
    const Box box = RandomBox(18, 17, random);
    struct Colours {
        uint32_t text, edge;
        int bright;
    };
    const Colours strings[] = {{0xFFFF, 0x0000, 255}, {0x0000, 0xFFFF, 255}, {0xF800, 0x001F, 255},
                               {0xF800, 0x001F, 128}, {0xFFFF, 0x0000, 255}, {0x07E0, 0x07E0, 255}};
    for (const Colours& colours : strings) {
        Fill(random);
        const std::vector<uint32_t> before = Pixels();
        ASSERT_TRUE(
            writer.Begin(image_, 3, colours.text, colours.edge, colours.bright, colours.bright, colours.bright, true));
        writer.Write(image_, Rect{0, 0, 96, 48}, 5, 4, box.View());
        const uint32_t text = BrightenedPixel(image_, colours.text, colours.bright, colours.bright, colours.bright);
        const uint32_t edge = BrightenedPixel(image_, colours.edge, colours.bright, colours.bright, colours.bright);
        for (int py = 0; py < 48; ++py) {
            for (int px = 0; px < 96; ++px) {
                const int gx = px - 5, gy = py - 4;
                const uint32_t old = before[static_cast<size_t>(py * 96 + px)];
                const bool inside = gx >= 0 && gx < box.width && gy >= 0 && gy < box.height;
                ASSERT_EQ(Load(image_, px, py), inside ? Expected(box.At(gx, gy), text, edge, old) : old)
                    << "text " << colours.text << " edge " << colours.edge << " bright " << colours.bright << " at "
                    << px << "," << py;
            }
        }
    }
}

// Boxes on the image's first and last pixels, whose rows begin and end
// where its memory does: nothing outside the image is touched (the
// sanitizer builds see any access there) and the corners are drawn.
TEST_F(EdgedGlyphWriter16Test, BoxesOnTheImagesCornersStayInsideIt) {
    std::mt19937 random(5);
    for (int width : {3, 9, 14, 18, 30, 40}) {
        MEMIMG small{};
        ASSERT_EQ(CreateMemImg(&small, width, 6, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
        for (const int corner : {0, 1}) {
            for (int y = 0; y < 6; ++y) {
                for (int x = 0; x < width; ++x)
                    Store(small, x, y, random() & 0xFFFF);
            }
            std::vector<uint32_t> before;
            for (int y = 0; y < 6; ++y) {
                for (int x = 0; x < width; ++x)
                    before.push_back(Load(small, x, y));
            }
            const Box box = RandomBox(width, 4, random);
            const int top = corner == 0 ? 0 : 2;
            GlyphWriter writer;
            ASSERT_TRUE(writer.Begin(small, 3, 0xFFE0, 0x0811, 255, 255, 255, true));
            writer.Write(small, Rect{0, 0, width, 6}, 0, top, box.View());
            for (int y = 0; y < 6; ++y) {
                for (int x = 0; x < width; ++x) {
                    const uint32_t old = before[static_cast<size_t>(y * width + x)];
                    const bool inside = y >= top && y < top + 4;
                    ASSERT_EQ(Load(small, x, y), inside ? Expected(box.At(x, y - top), 0xFFE0, 0x0811, old) : old)
                        << "width " << width << " corner " << corner << " at " << x << "," << y;
                }
            }
        }
        ReleaseMemImg(&small);
    }
}

// A box drawn again from the same cells pointer after its cells changed (a
// cache cell reused for another glyph): steps that were empty, steps that
// become empty and steps whose values change are each drawn from the cells
// there now.
TEST_F(EdgedGlyphWriter16Test, CellsChangedUnderTheSameBoxAreDrawnAsTheyAreNow) {
    std::mt19937 random(11);
    GlyphWriter writer;
    ASSERT_TRUE(writer.Begin(image_, 3, 0xFFFF, 0x0000, 255, 255, 255, true));
    for (int width : {6, 11, 16, 18, 27, 40}) {
        Box box = RandomBox(width, 17, random);
        // Rows 0 to 3 empty the first time, then drawn.
        for (int y = 0; y < 4; ++y)
            std::fill_n(box.cells.begin() + y * box.pitch, width, uint8_t{0});
        WriteAndCheck(writer, box, 7, 3, 0xFFFF, 0x0000, random, "first");
        WriteAndCheck(writer, box, 7, 3, 0xFFFF, 0x0000, random, "again");
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < width; ++x)
                box.cells[static_cast<size_t>(y * box.pitch + x)] = 0x8F;
        }
        // One value changed in the middle, and the last rows emptied.
        box.cells[static_cast<size_t>(8 * box.pitch + width / 2)] ^= 0x5A;
        for (int y = 13; y < 17; ++y)
            std::fill_n(box.cells.begin() + y * box.pitch, width, uint8_t{0});
        WriteAndCheck(writer, box, 7, 3, 0xFFFF, 0x0000, random, "changed");
        WriteAndCheck(writer, box, 7, 3, 0xFFFF, 0x0000, random, "changed again");
    }
}

// More boxes than the writer keeps, each drawn twice in turn: boxes drawn
// from kept steps and boxes looked up again match the rule alike, and
// writing with nothing kept matches writing from kept steps.
TEST_F(EdgedGlyphWriter16Test, ManyBoxesDrawnInTurnMatchWithAndWithoutKeptSteps) {
    std::mt19937 random(12);
    constexpr int kBoxes = 700;
    // One cache image of many cells, as a glyph cache holds them.
    constexpr int kPitch = 24, kHeight = 17;
    std::vector<uint8_t> cache(static_cast<size_t>(kPitch * kHeight * kBoxes) + 8);
    for (uint8_t& value : cache)
        value = static_cast<uint8_t>(random() % 3 == 0 ? 0 : random());
    GlyphWriter writer;
    ASSERT_TRUE(writer.Begin(image_, 3, 0x07FF, 0xF800, 255, 255, 255, true));
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kBoxes; ++i) {
            const GlyphCellView view{cache.data() + static_cast<size_t>(i * kPitch * kHeight), kPitch, 14 + i % 7,
                                     kHeight};
            const int x = i % 50, y = i % 20;
            Fill(random);
            const std::vector<uint32_t> before = Pixels();
            KeepEdgedOver16Steps(false);
            writer.Write(image_, Rect{0, 0, 96, 48}, x, y, view);
            const std::vector<uint32_t> unkept = Pixels();
            Restore(before);
            KeepEdgedOver16Steps(true);
            writer.Write(image_, Rect{0, 0, 96, 48}, x, y, view);
            ASSERT_EQ(Pixels(), unkept) << "pass " << pass << " box " << i;
            // At once again: from the steps just kept.
            Restore(before);
            writer.Write(image_, Rect{0, 0, 96, 48}, x, y, view);
            ASSERT_EQ(Pixels(), unkept) << "pass " << pass << " box " << i << " again";
            if (i % 50 == 0) {
                size_t at = 0;
                for (int py = 0; py < 48; ++py) {
                    for (int px = 0; px < 96; ++px, ++at) {
                        const int gx = px - x, gy = py - y;
                        const bool inside = gx >= 0 && gx < view.width && gy >= 0 && gy < kHeight;
                        const uint32_t want =
                            inside ? Expected(view.pixels[gy * kPitch + gx], 0x07FF, 0xF800, before[at]) : before[at];
                        ASSERT_EQ(unkept[at], want) << "box " << i << " at " << px << "," << py;
                    }
                }
            }
        }
    }
}

// A line of boxes side by side, each touching the next, of the widths of
// each way of stepping (and clipped on each side), drawn again and again as
// text is every frame: the first draw looks its steps up, the second keeps
// them and the others mix from them, and every draw matches the rule.
TEST_F(EdgedGlyphWriter16Test, ALineDrawnAgainAndAgainMatchesTheRuleEachTime) {
    if (!MachineRunsEdgedOver16()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    std::thread([&] {
        std::mt19937 random(14);
        constexpr int kPitch = 40, kCellHeight = 20;
        static constexpr int kWidths[] = {9, 14, 16, 17, 18, 21, 13, 22, 33, 15, 19, 16};
        constexpr int kCells = static_cast<int>(std::size(kWidths));
        std::vector<uint8_t> cache(static_cast<size_t>(kPitch * kCellHeight * kCells) + 8);
        for (uint8_t& value : cache)
            value = static_cast<uint8_t>(random() % 3 == 0 ? 0 : random());
        std::vector<PlacedGlyph> glyphs;
        for (int c = 0, along = 0; c < kCells; ++c) {
            const auto height = static_cast<int16_t>(13 + c % 5);
            glyphs.push_back(
                PlacedGlyph{along, c, static_cast<int16_t>(c % 3), static_cast<int16_t>(kWidths[c]), height});
            along += kWidths[c];
        }
        const GlyphLine line{cache.data(), kPitch * kCellHeight, kPitch, glyphs.data(), glyphs.size()};
        const Rect clips[] = {Rect{0, 0, 96, 48}, Rect{5, 0, 96, 48}, Rect{0, 8, 96, 48}, Rect{0, 0, 96, 11}};
        MEMIMG wide{};
        ASSERT_EQ(CreateMemImg(&wide, 280, 32, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
        GlyphWriter writer;
        ASSERT_TRUE(writer.Begin(wide, 3, 0x07FF, 0xF800, 255, 255, 255, true));
        for (const Rect& area : clips) {
            const Rect clip{area.left, area.top, 280, area.bottom == 48 ? 32 : area.bottom};
            for (int draw = 0; draw < 4; ++draw) {
                std::vector<uint32_t> before;
                for (int y = 0; y < 32; ++y) {
                    for (int x = 0; x < 280; ++x) {
                        before.push_back(random() & 0xFFFF);
                        Store(wide, x, y, before.back());
                    }
                }
                writer.WriteLine(wide, clip, 2, 3, line);
                for (int y = 0; y < 32; ++y) {
                    for (int x = 0; x < 280; ++x) {
                        const uint32_t old = before[static_cast<size_t>(y * 280 + x)];
                        uint32_t want = old;
                        const bool clipped = x < clip.left || y < clip.top || y >= clip.bottom;
                        for (const PlacedGlyph& glyph : glyphs) {
                            const int gx = x - 2 - glyph.along, gy = y - 3 - glyph.top;
                            if (!clipped && gx >= 0 && gx < glyph.width && gy >= 0 && gy < glyph.height) {
                                const uint8_t value =
                                    cache[static_cast<size_t>(glyph.cell * kPitch * kCellHeight + gy * kPitch + gx)];
                                want = Expected(value, 0x07FF, 0xF800, old);
                            }
                        }
                        ASSERT_EQ(Load(wide, x, y), want) << "clip " << clip.left << "," << clip.top << ","
                                                          << clip.bottom << " draw " << draw << " at " << x << "," << y;
                    }
                }
            }
        }
        ReleaseMemImg(&wide);
    }).join();
}

// Boxes of the same cells drawn by writers of two colour pairs in turn:
// many in one pair, then new boxes in the other each first drawn (twice)
// with nothing in them and then with those cells, then the first boxes in
// the first pair again. A box's steps are never taken from boxes drawn in
// other colours, however many boxes came between.
// (On a thread of its own: each thread keeps its own steps, so the test
// starts from none kept whatever ran before.)
TEST_F(EdgedGlyphWriter16Test, BoxesNeverTakeStepsKeptForOtherColours) {
    std::thread([&] { DrawBoxesInTwoColourPairsInTurn(); }).join();
}

void EdgedGlyphWriter16Test::DrawBoxesInTwoColourPairsInTurn() {
    std::mt19937 random(13);
    constexpr int kBoxes = 300, kSide = 16, kHeight = 4, kArea = kSide * kHeight;
    std::vector<uint8_t> same(static_cast<size_t>(kArea));
    for (uint8_t& value : same)
        value = static_cast<uint8_t>(1 + random() % 255);
    std::vector<uint8_t> first(static_cast<size_t>(kArea * kBoxes) + 8), second(first.size(), 0);
    for (int i = 0; i < kBoxes; ++i)
        std::copy(same.begin(), same.end(), first.begin() + i * kArea);
    GlyphWriter one, two;
    ASSERT_TRUE(one.Begin(image_, 3, 0xFFFF, 0x001F, 255, 255, 255, true));
    ASSERT_TRUE(two.Begin(image_, 3, 0x0000, 0xFFE0, 255, 255, 255, true));
    auto view = [&](std::vector<uint8_t>& cells, int i) {
        return GlyphCellView{cells.data() + i * kArea, kSide, kSide, kHeight};
    };
    auto check = [&](GlyphWriter& writer, const GlyphCellView& box, uint32_t text, uint32_t edge, const char* what,
                     int i) {
        Fill(random);
        const std::vector<uint32_t> before = Pixels();
        writer.Write(image_, Rect{0, 0, 96, 48}, 3, 3, box);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const uint32_t old = before[static_cast<size_t>((y + 3) * 96 + x + 3)];
                ASSERT_EQ(Load(image_, x + 3, y + 3),
                          Expected(same[static_cast<size_t>(y * kSide + x)], text, edge, old))
                    << what << " box " << i << " at " << x << "," << y;
            }
        }
    };
    // (Twice each: a box's steps are kept from its second draw.)
    for (int i = 0; i < kBoxes; ++i) {
        one.Write(image_, Rect{0, 0, 96, 48}, 3, 3, view(first, i));
        one.Write(image_, Rect{0, 0, 96, 48}, 3, 3, view(first, i));
    }
    for (int i = 0; i < kBoxes; ++i) {
        two.Write(image_, Rect{0, 0, 96, 48}, 3, 3, view(second, i));
        two.Write(image_, Rect{0, 0, 96, 48}, 3, 3, view(second, i));
        std::copy(same.begin(), same.end(), second.begin() + i * kArea);
        check(two, view(second, i), 0x0000, 0xFFE0, "second", i);
    }
    for (int i = 0; i < kBoxes; ++i)
        check(one, view(first, i), 0xFFFF, 0x001F, "first again", i);
}

}  // namespace
}  // namespace velk
