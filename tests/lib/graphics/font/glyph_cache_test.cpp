#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "lib/graphics/font/edge_brush.h"
#include "lib/graphics/font/glyph_cache.h"
#include "lib/graphics/font/glyph_cell.h"
#include "lib/graphics/font/text_draw.h"
#include "tests/lib/graphics/font/font_fixture.h"

namespace velk::testing {
namespace {

// A Shift-JIS string of `count` different double-byte characters.
std::string DistinctKanji(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const int code = 0x889F + (i / 94) * 0x100 + i % 94;  // rows of JIS level 1
        text += static_cast<char>(code >> 8);
        text += static_cast<char>(code & 0xFF);
    }
    return text;
}

int Renders(uint16_t code) {
    const auto& codes = FakeLog().rendered_codes;
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
}

class GlyphCacheTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        UseFakeFonts();
        font_ = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
        ASSERT_NE(font_, -1);
        record_ = GetFontData(font_);
        FakeLog().rendered_codes.clear();
    }
    int font_ = -1;
    FontData* record_ = nullptr;
};

TEST_F(GlyphCacheTest, ACharacterIsRenderedOnceWhileItStaysInTheRing) {
    EXPECT_EQ(GetStringWidthToHandle("aaba", -1, font_), 4 * 8);
    DrawStringToHandle(0, 0, "abab", 0xFFFFFFFF, font_);
    EXPECT_EQ(Renders('a'), 1);
    EXPECT_EQ(Renders('b'), 1);
}

TEST_F(GlyphCacheTest, ABatchIsCappedAtTheCellCountAndTheRestComeOneByOne) {
    const int cells = record_->cell_count;
    const std::string text = DistinctKanji(cells + 5);
    CharacterCodes codes;
    PrepareGlyphs(*record_, text.c_str(), text.size(), &codes);
    ASSERT_EQ(codes.size(), static_cast<size_t>(cells + 5));
    EXPECT_EQ(FakeLog().rendered_codes.size(), static_cast<size_t>(cells));
    EXPECT_EQ(record_->next_cell, 0) << "the batch filled the ring exactly";

    // One pass over a fresh cache: the batch, then the five that did not
    // fit, one at a time over the oldest cells.
    ResetGlyphCache(*record_);
    FakeLog().rendered_codes.clear();
    EXPECT_EQ(GetStringWidthToHandle(text.c_str(), -1, font_), (cells + 5) * 16);
    EXPECT_EQ(FakeLog().rendered_codes.size(), static_cast<size_t>(cells + 5));
    // Drawn correctly all the same: every character leaves its box.
    EXPECT_EQ(DrawStringToHandle(0, 0, text.c_str(), 0xFFFFFFFF, font_), 0);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(CountInk(Rect{i * 16, 0, i * 16 + 16, 16}, 0), 6 * 10) << i;
    }
}

TEST_F(GlyphCacheTest, TheOldestGlyphIsRenderedAgainAfterTheRingWrapped) {
    const int cells = record_->cell_count;
    GetStringWidthToHandle("a", -1, font_);
    const std::string filler = DistinctKanji(cells);
    GetStringWidthToHandle(filler.c_str(), -1, font_);
    EXPECT_EQ(record_->code_index[static_cast<unsigned char>('a')].in_cache, 0) << "evicted by the ring";
    GetStringWidthToHandle("a", -1, font_);
    EXPECT_EQ(Renders('a'), 2);
    // Its eviction cleared only its own index pair.
    const uint16_t second = static_cast<uint16_t>((static_cast<uint8_t>(filler[2]) << 8) | static_cast<uint8_t>(filler[3]));
    EXPECT_EQ(record_->code_index[second].in_cache, 1);
}

TEST_F(GlyphCacheTest, BlanksAdvanceButAreNeitherRenderedNorDrawn) {
    const std::string text = "a" + Sjis("　") + "a";
    EXPECT_EQ(GetStringWidthToHandle(text.c_str(), -1, font_), 8 + 16 + 8);
    DrawStringToHandle(0, 0, text.c_str(), 0xFFFFFFFF, font_);
    EXPECT_EQ(Renders(0x8140), 0);
    EXPECT_EQ(Renders(' '), 0);
    // Nothing between the two letters (a box of 6 starting 1 pixel in).
    EXPECT_EQ(CountInk(Rect{8, 0, 8 + 16, 16}, 0), 0);
    EXPECT_GT(CountInk(Rect{24, 0, 32, 16}, 0), 0);
}

TEST_F(GlyphCacheTest, EdgesWidenTheAdvanceByTwiceTheEdgeSize) {
    const int edged = CreateFontToHandle(nullptr, 16, 6, 1, -1, 2, 0);
    EXPECT_EQ(GetStringWidthToHandle("a", -1, edged), 8 + 4);
    EXPECT_EQ(GetStringWidthToHandle("a", -1, font_), 8);
    SetFontSpaceToHandle(3, font_);
    EXPECT_EQ(GetStringWidthToHandle("aa", -1, font_), 2 * (8 + 3));
    EXPECT_EQ(GetStringWidthToHandle("aaaa", 2, font_), 2 * (8 + 3)) << "only the bytes asked for";
}

TEST_F(GlyphCacheTest, BytesThatAreNoCharacterTakeTheRoomOfABlank) {
    // A stray byte, an invalid pair, and a lead byte cut off at the end.
    EXPECT_EQ(GetStringWidthToHandle("\x80", -1, font_), 8);
    EXPECT_EQ(GetStringWidthToHandle("\x88\x20", -1, font_), 16);
    EXPECT_EQ(GetStringWidthToHandle("a\x88", -1, font_), 8 + 8);
    EXPECT_EQ(DrawStringToHandle(0, 0, "\x80\x88", 0xFFFFFFFF, font_), 0);
}

TEST(CharacterCodes, SplitByTheCharacterSet) {
    CharacterCodes codes;
    SplitCharacterCodes("a\x95\x5C" "b\xE0", 5, kFontCharsetShiftJis, &codes);
    EXPECT_EQ(std::vector<uint16_t>(codes.data(), codes.data() + codes.size()),
              (std::vector<uint16_t>{'a', 0x955C, 'b', 0xE0}));
    SplitCharacterCodes("\xA1\xA1\x41", 3, kFontCharsetHangeul, &codes);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0], 0xA1A1);
    // Long strings spill out of the inline buffer.
    const std::string longer(600, 'x');
    SplitCharacterCodes(longer.c_str(), longer.size(), kFontCharsetShiftJis, &codes);
    EXPECT_EQ(codes.size(), 600u);
    EXPECT_EQ(codes[599], 'x');
    EXPECT_EQ(CheckDoubleByteLead("\x81", kFontCharsetShiftJis), 1);
    EXPECT_EQ(CheckDoubleByteLead("\xA0", kFontCharsetShiftJis), 0);
    EXPECT_EQ(CheckDoubleByteLead("\xA0", kFontCharsetHangeul), 1);
}

TEST(EdgeBrush, TheShapesOfTheFourSizes) {
    auto shape = [](int e) {
        std::string rows;
        for (int dy = -e; dy <= e; ++dy) {
            for (int dx = -e; dx <= e; ++dx) rows += EdgeBrushCovers(e, dx, dy) ? '#' : '.';
            rows += '/';
        }
        return rows;
    };
    EXPECT_EQ(shape(1), ".#./###/.#./");
    EXPECT_EQ(shape(2), ".###./#####/#####/#####/.###./");
    EXPECT_EQ(shape(3), "...#.../.#####./.#####./#######/.#####./.#####./...#.../");
    EXPECT_EQ(shape(4),
              "..#####../.#######./#########/#########/#########/#########/#########/.#######./..#####../");
    std::string full;
    for (int i = 0; i < 11; ++i) full += std::string(11, '#') + "/";
    EXPECT_EQ(shape(5), full);
    EXPECT_EQ(EdgeBrushOffsets(1).size(), 5u);
    EXPECT_EQ(EdgeBrushOffsets(2).size(), 21u);
    EXPECT_EQ(EdgeBrushOffsets(6).size(), 169u);
}

// The stored cell values against a direct reading of the rules.
TEST(GlyphCell, LevelsAndEdgesAsStored) {
    constexpr int kSize = 16;
    std::vector<uint8_t> pixels(kSize * kSize, 0xEE);
    // A 3 x 2 grey glyph with levels 0, 1, 2 / 16, 8, 9 (pitch 4).
    const uint8_t grey[] = {0, 1, 2, 0, 16, 8, 9, 0};
    GlyphCellLayout cell{pixels.data(), kSize, kSize, 3, 1};
    ClearGlyphCell(cell);
    const GlyphBox box = WriteGlyphCell(cell, RenderedGlyph{3, 2, 4, grey});
    EXPECT_EQ(box.width, 5);
    EXPECT_EQ(box.height, 4);
    auto at = [&](int x, int y) { return int{pixels[static_cast<size_t>(y * kSize + x)]}; };
    // Glyph at (1, 1): low nibble level - 1 (0 and 1 give 0); high nibble the
    // largest glyph value under the plus brush ((1, 3) is below the 16, (0, 0)
    // a corner the plus does not reach).
    struct Expect { int x, y, shift, value; };
    for (const Expect& e : {Expect{1, 1, 0, 0}, {2, 1, 0, 0}, {3, 1, 0, 1}, {1, 2, 0, 15}, {2, 2, 0, 7},
                            {3, 2, 0, 8}, {1, 3, 4, 15}, {3, 3, 4, 8}, {4, 2, 4, 8}, {2, 2, 4, 15}}) {
        EXPECT_EQ((at(e.x, e.y) >> e.shift) & 0x0F, e.value) << e.x << "," << e.y;
    }
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(6, 2), 0);

    // 1-bit with edge: 1 glyph, 2 edge around it.
    const uint8_t bits[] = {0x80, 0, 0, 0};
    GlyphCellLayout binary{pixels.data(), kSize, kSize, 1, 1};
    ClearGlyphCell(binary);
    WriteGlyphCell(binary, RenderedGlyph{1, 1, 4, bits});
    EXPECT_EQ(at(1, 1), 1);
    EXPECT_EQ(at(0, 1) + at(1, 0) + at(2, 1) + at(1, 2), 4 * 2);
    EXPECT_EQ(at(0, 0), 0);

    // A glyph larger than its cell is cut to the cell.
    std::vector<uint8_t> wide(4 * 40, 0xFF);
    GlyphCellLayout plain{pixels.data(), 2, kSize, 0, 1};
    ClearGlyphCell(plain);
    const GlyphBox cut = WriteGlyphCell(plain, RenderedGlyph{30, 40, 4, wide.data()});
    EXPECT_EQ(cut.width, kSize);
    EXPECT_EQ(cut.height, kSize);
}

}  // namespace
}  // namespace velk::testing
