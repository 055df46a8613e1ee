// Lines drawn and measured again from a warm glyph cache come out as the
// first time, when the cache rendered their characters on the way; what the
// cache held for a line is never drawn once its cells were reused or its
// font replaced; and nothing kept from the strings before outlives a change
// of anything a draw reads.

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/graphics/font/edged_glyph_writer16.h"
#include "lib/graphics/font/glyph_cache.h"
#include "lib/graphics/font/glyph_writer.h"
#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/font/text_draw_2d.h"
#include "lib/graphics/graph_draw.h"
#include "tests/lib/graphics/font/font_fixture.h"

namespace velk::testing {
namespace {

// A Shift-JIS string of `count` different double-byte characters, starting
// `first` characters into the first rows of JIS level 1.
std::string DistinctKanji(int count, int first = 0) {
    std::string text;
    for (int i = first; i < first + count; ++i) {
        const int code = 0x889F + (i / 94) * 0x100 + i % 94;
        text += static_cast<char>(code >> 8);
        text += static_cast<char>(code & 0xFF);
    }
    return text;
}

class TextEngineTest : public FontTest {
protected:
    std::vector<uint8_t> Snapshot() const { return Snapshot(target_); }
    static std::vector<uint8_t> Snapshot(const MEMIMG& image) {
        const int bytes = image.base->format == kMemImgFormat16 ? 2 : 4;
        std::vector<uint8_t> pixels;
        for (int y = 0; y < 480; ++y) {
            const uint8_t* row = MemImgPixelAddress(image, 0, y);
            pixels.insert(pixels.end(), row, row + 640 * bytes);
        }
        return pixels;
    }

    // Runs `draw` on a fresh target twice: first with the font's cache
    // emptied, then again from what that left. Expects the same pixels and
    // results; returns the pixels.
    template <typename Draw>
    std::vector<uint8_t> ColdThenWarm(int font, Draw draw, const std::string& what) {
        ResetGlyphCache(*GetFontData(font));
        FillTarget(0x00203040);
        const int cold_result = draw();
        const std::vector<uint8_t> cold = Snapshot();
        FillTarget(0x00203040);
        const int warm_result = draw();
        EXPECT_EQ(warm_result, cold_result) << what;
        const std::vector<uint8_t> warm = Snapshot();
        EXPECT_TRUE(warm == cold) << what;
        return warm;
    }
};

TEST_F(TextEngineTest, WarmLinesDrawAndMeasureAsColdOnes) {
    // Single- and double-byte characters, half- and full-width blanks,
    // half-width kana, a stray byte, a pair that is no character, and a lead
    // byte left at the end.
    const std::string line = "Ab" + Sjis("あ漢　字ｶﾅ、") + " x\x80y\x88\x20" + Sjis("〃") + "z\x88";
    const uint32_t text = 0x00F0E0A0, edge = 0x00102030;
    for (int bits : {32, 16}) {
        SetScreenBits(bits);
        for (int type = 0; type < 4; ++type) {
            const int font = CreateFontToHandle(Sjis("ＭＳ ゴシック").c_str(), 18, -1, type, -1, type & 1 ? 2 : -1, 0);
            ASSERT_NE(font, -1);
            for (int spacing : {0, 3, -4, 1 << 21}) {
                SetFontSpaceToHandle(spacing, font);
                for (int mode : {0, 1}) {
                    SetDrawBlendMode(mode, mode == 0 ? 255 : 128);
                    const std::string what = "bits " + std::to_string(bits) + " type " + std::to_string(type) +
                                             " spacing " + std::to_string(spacing) + " mode " + std::to_string(mode);
                    ColdThenWarm(
                        font, [&] { return DrawStringToHandle(3, 5, line.c_str(), text, font, edge); },
                        what + " across");
                    ColdThenWarm(
                        font, [&] { return DrawStringToHandle(600, -7, line.c_str(), text, font, edge, 1); },
                        what + " down");
                    SetDrawArea(10, 9, 150, 14);
                    ColdThenWarm(
                        font, [&] { return DrawStringToHandle(-11, 4, line.c_str(), text, font, edge); },
                        what + " cut");
                    SetDrawArea(0, 0, 640, 480);
                }
                SetDrawBlendMode(0, 255);
                for (int length : {-1, 0, 1, 3, 4, 9, 200}) {
                    ResetGlyphCache(*GetFontData(font));
                    const int cold = GetStringWidthToHandle(line.c_str(), length, font);
                    EXPECT_EQ(GetStringWidthToHandle(line.c_str(), length, font), cold) << length;
                    EXPECT_EQ(GetStringWidthToHandle(line.c_str(), length, font, 1), cold) << length;
                }
            }
            DeleteFontToHandle(font);
        }
    }
}

TEST_F(TextEngineTest, WarmWidthsAddUpByHand) {
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    // a 8, kanji 16, full-width blank 16, half-width blank 8, a stray byte
    // takes a half-width blank's 8, and a lead byte cut off at the end 8.
    const std::string line = "a" + Sjis("漢　") + " \x80" + "\x88";
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(GetStringWidthToHandle(line.c_str(), -1, font), 8 + 16 + 16 + 8 + 8 + 8) << pass;
        EXPECT_EQ(GetStringWidthToHandle(line.c_str(), 2, font), 8 + 8) << "a and a lone lead byte, pass " << pass;
    }
    SetFontSpaceToHandle(-3, font);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(GetStringWidthToHandle(line.c_str(), -1, font), 64 - 6 * 3) << pass;
    }
    // Spacing that leaves no room: the pen goes back, and the width is that.
    SetFontSpaceToHandle(-20, font);
    EXPECT_EQ(GetStringWidthToHandle("aaa", -1, font), 3 * (8 - 20));
    EXPECT_EQ(GetStringWidthToHandle("aaa", -1, font), -36);
}

TEST_F(TextEngineTest, LinesLongerThanALayoutDrawEveryCharacter) {
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    std::string line;
    for (int i = 0; i < 150; ++i)
        line += "ab";
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(GetStringWidthToHandle(line.c_str(), -1, font), 300 * 8) << pass;
        FillTarget(0);
        // Vertical, so that all 300 land on the screen (one a row of 8).
        ASSERT_EQ(DrawStringToHandle(0, -2000, line.c_str(), 0xFFFFFFFF, font, 0, 1), 0);
        // The last 50 fall on the screen, each a turned box 10 across, 6 down.
        for (int i = 250; i < 300; ++i) {
            const int top = -2000 + i * 8 + 1;
            EXPECT_EQ(CountInk(Rect{0, top, 16, top + 6}, 0), 60) << i << " pass " << pass;
        }
    }
}

TEST_F(TextEngineTest, AGlyphWhoseCellWasReusedIsRenderedAgainBeforeItIsDrawn) {
    const int font = CreateFontToHandle(Sjis("ＭＳ ゴシック").c_str(), 18, -1, 2, -1, -1, 0);
    const std::string line = Sjis("右左上下");
    // (Drawn twice: the second from the warm cache.)
    ASSERT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0), 0);
    FillTarget(0);
    ASSERT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0), 0);
    const std::vector<uint8_t> first = Snapshot();
    // Other characters fill the whole ring, so that each cell of the line
    // now holds one of them.
    FontData& record = *GetFontData(font);
    const std::string filler = DistinctKanji(record.cell_count, 200);
    GetStringWidthToHandle(filler.c_str(), -1, font);
    const uint16_t right = static_cast<uint16_t>((static_cast<uint8_t>(line[0]) << 8) | static_cast<uint8_t>(line[1]));
    ASSERT_EQ(record.code_index[right].in_cache, 0);
    FillTarget(0);
    ASSERT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0), 0);
    EXPECT_TRUE(Snapshot() == first);
}

TEST_F(TextEngineTest, ACachedCharacterThatTheBatchEvictsIsRenderedAgain) {
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    FontData& record = *GetFontData(font);
    const int cells = record.cell_count;
    // 'a' in the oldest cell, the rest of the ring full.
    GetStringWidthToHandle("a", -1, font);
    const std::string filler = DistinctKanji(cells - 1);
    GetStringWidthToHandle(filler.c_str(), -1, font);
    ASSERT_EQ(record.next_cell, 0);
    ASSERT_EQ(record.code_index['a'].in_cache, 1);
    // Three new characters take the three oldest cells, 'a''s among them;
    // 'a' is then rendered alone over the next oldest.
    FakeLog().rendered_codes.clear();
    const std::string line = "a" + DistinctKanji(3, cells + 10);
    FillTarget(0);
    ASSERT_EQ(DrawStringToHandle(0, 0, line.c_str(), 0xFFFFFFFF, font, 0), 0);
    EXPECT_EQ(FakeLog().rendered_codes.size(), 4u);
    EXPECT_EQ(FakeLog().rendered_codes.back(), 'a');
    EXPECT_EQ(record.next_cell, 4);
    for (int i = 0; i < 4; ++i) {
        const int left = i == 0 ? 1 : 8 + (i - 1) * 16 + 1;
        EXPECT_EQ(CountInk(Rect{left, 0, left + 6, 10}, 0), 60) << i;
    }
    EXPECT_EQ(CountInk(Rect{0, 0, 640, 16}, 0), 4 * 60);
    // Drawn again, all four are found where the first draw left them.
    FakeLog().rendered_codes.clear();
    ASSERT_EQ(DrawStringToHandle(0, 0, line.c_str(), 0xFFFFFFFF, font, 0), 0);
    EXPECT_TRUE(FakeLog().rendered_codes.empty());
}

TEST_F(TextEngineTest, AFontMadeAgainUnderTheSameHandleDrawsItsOwnGlyphs) {
    const std::string face = Sjis("ＭＳ ゴシック");
    const std::string line = Sjis("文字") + "Ag";
    const int small = CreateFontToHandle(face.c_str(), 14, -1, 2, -1, -1, 0);
    ASSERT_NE(small, -1);
    const int slot = small & 0xFFFF;
    const int check = (small >> 16) & 0x7FF;
    FillTarget(0x00203040);
    DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, small, 0);
    DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, small, 0);
    const std::vector<uint8_t> small_pixels = Snapshot();

    DeleteFontToHandle(small);
    const int large = CreateFontToHandle(face.c_str(), 24, -1, 2, -1, -1, 0, slot, check);
    ASSERT_EQ(large, small);
    FillTarget(0x00203040);
    EXPECT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, large, 0), 0);
    const std::vector<uint8_t> large_pixels = Snapshot();
    EXPECT_FALSE(large_pixels == small_pixels);
    EXPECT_TRUE(ColdThenWarm(
                    large, [&] { return DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, large, 0); }, "large") ==
                large_pixels);
}

TEST_F(TextEngineTest, WarmAntiAliasedGlyphsThatOverlapStillGoThroughTheCache) {
    const int font = CreateFontToHandle(Sjis("ＭＳ ゴシック").c_str(), 18, -1, 2, -1, -1, 0);
    const std::string line = Sjis("重なる文字");
    SetFontSpaceToHandle(-9, font);
    std::vector<uint8_t> through_cache;
    for (bool straight : {false, true}) {
        UseStraightText(straight);
        for (int pass = 0; pass < 2; ++pass) {
            FillTarget(0x00405060);
            ASSERT_EQ(DrawStringToHandle(4, 4, line.c_str(), 0x00FFE0C0, font, 0), 0);
            if (!straight && pass == 0) {
                through_cache = Snapshot();
            } else {
                EXPECT_TRUE(Snapshot() == through_cache) << straight << pass;
            }
        }
    }
    UseStraightText(true);
}

TEST_F(TextEngineTest, ALineIsRenderedAgainAfterItsCacheWasEmptied) {
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    for (int pass = 0; pass < 2; ++pass) {
        DrawStringToHandle(0, 0, "ab", 0xFFFFFFFF, font, 0);
    }
    ASSERT_EQ(FakeLog().rendered_codes.size(), 2u);
    ResetGlyphCache(*GetFontData(font));
    FillTarget(0);
    DrawStringToHandle(0, 0, "ab", 0xFFFFFFFF, font, 0);
    EXPECT_EQ(FakeLog().rendered_codes, (std::vector<uint16_t>{'a', 'b', 'a', 'b'}));
    EXPECT_EQ(CountInk(Rect{0, 0, 640, 16}, 0), 2 * 60);
}

TEST_F(TextEngineTest, ManyLinesDrawnInTurnEachKeepTheirOwnPlaces) {
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    // 40 lines of 12 bytes: "a" at one of 12 places among blanks (8 apart),
    // with or without a kanji (16 wide) before it.
    std::vector<std::string> lines;
    std::vector<int> ink_left;
    for (int i = 0; i < 40; ++i) {
        const int place = i % 10;
        std::string line = i < 20 ? "" : Sjis("漢");
        line += std::string(static_cast<size_t>(place), ' ') + "a";
        line += std::string(12 - line.size(), ' ');
        lines.push_back(line);
        ink_left.push_back((i < 20 ? 0 : 16) + place * 8 + 1);
    }
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < lines.size(); ++i) {
            FillTarget(0);
            ASSERT_EQ(DrawStringToHandle(0, 0, lines[i].c_str(), 0xFFFFFFFF, font, 0), 0);
            const int left = ink_left[i];
            EXPECT_EQ(CountInk(Rect{left, 0, left + 6, 10}, 0), 60) << i << " round " << round;
            EXPECT_EQ(CountInk(Rect{0, 0, 640, 16}, 0), i < 20 ? 60 : 120) << i << " round " << round;
            EXPECT_EQ(GetStringWidthToHandle(lines[i].c_str(), -1, font), 96) << i;
        }
    }
}

// Lines of the same glyphs, count, first and last places, different only
// in where the middle glyph stands, drawn in turn at one place in 16-bit
// anti-aliased edged text (which the writer keeps line by line): each draw
// as the same draw with nothing kept.
TEST_F(TextEngineTest, LinesAlikeButForTheMiddleGlyphDrawnInTurnEachDrawTheirOwn) {
    SetScreenBits(16);
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 16, 6, 3, -1, 1, 0);
    const std::string lines[] = {"a  a a", "a a  a"};
    for (int round = 0; round < 3; ++round) {
        for (const std::string& line : lines) {
            for (int draw = 0; draw < 2; ++draw) {
                FillTarget(0x00203040);
                KeepEdgedOver16Steps(false);
                ASSERT_EQ(DrawStringToHandle(10, 20, line.c_str(), 0xFFFFFFFF, font, 0x00FF0000), 0);
                const std::vector<uint8_t> unkept = Snapshot();
                FillTarget(0x00203040);
                KeepEdgedOver16Steps(true);
                ASSERT_EQ(DrawStringToHandle(10, 20, line.c_str(), 0xFFFFFFFF, font, 0x00FF0000), 0);
                ASSERT_TRUE(Snapshot() == unkept) << "\"" << line << "\" round " << round << " draw " << draw;
            }
        }
    }
}

TEST_F(TextEngineTest, AWarmLineWithMoreCharactersThanCellsStillGoesThroughTheCacheScreen) {
    FakeFontSettings tall;
    tall.height = 40;
    tall.ascent = 32;
    UseFakeFonts(tall);
    const int font = CreateFontToHandle(nullptr, 40, 6, 2, -1, -1, 0);
    FontData& record = *GetFontData(font);
    ASSERT_EQ(record.cell_count, 327680 / (40 * 40));
    // Whether a draw went through the cache screen: it clears the line's
    // rectangle there.
    auto through_cache_screen = [&](const std::string& line) {
        DrawStringToHandle(0, 0, line.c_str(), 0x00FFFFFF, font, 0);
        FillMemImg(&record.cache_screen, nullptr, 0x12345678);
        DrawStringToHandle(0, 0, line.c_str(), 0x00FFFFFF, font, 0);
        return *reinterpret_cast<const uint32_t*>(MemImgPixelAddress(record.cache_screen, 0, 0)) != 0x12345678;
    };
    const int cells = record.cell_count;
    EXPECT_TRUE(through_cache_screen(std::string(static_cast<size_t>(cells) + 1, 'a')));
    EXPECT_FALSE(through_cache_screen(std::string(static_cast<size_t>(cells), 'a')));
}

// A software draw screen of its own, which may say that graphics are
// suspended.
class OwnSoftwareScreen : public SoftwareTextDrawScreen {
public:
    bool suspended = false;
    bool GraphicsSuspended() const override { return suspended; }
};

// A line drawn again after one thing it reads changed comes out as the same
// line drawn with nothing kept from the strings before (the font's cache
// emptied, and the writer's inks made for other colours in between), for
// every font type on 32- and 16-bit screens; and where the change alters the
// line, it shows.
TEST_F(TextEngineTest, ADrawAfterAnythingItReadsChangedComesOutAsAFreshOne) {
    const std::string face = Sjis("ＭＳ ゴシック");
    // (Changed in place by one change: its bytes stay where they are.)
    std::string line = Sjis("今日は Ag 天気");
    ASSERT_EQ(line[7], 'A');
    MEMIMG other_target{}, blend{};
    OwnSoftwareScreen own_screen;
    // What a draw is given, and where it lands.
    struct Draw {
        int font;
        int x = 30, y = 40, vertical = 0;
        uint32_t text = 0, edge = 0;
        MEMIMG* into = nullptr;
    };
    struct Change {
        const char* what;
        // A bit for each font type whose line it alters.
        int shows;
        // The state drawn first.
        std::function<void(Draw&)> before;
        std::function<void(Draw&)> change;
    };
    const auto none = [](Draw&) {};
    constexpr int kAll = 0xF, kEdged = 1 << 1 | 1 << 3;
    const std::vector<Change> changes = {
        {"text colour", kAll, none, [](Draw& d) { d.text = GetColorValue(40, 200, 90); }},
        {"edge colour", kEdged, none, [](Draw& d) { d.edge = GetColorValue(250, 20, 160); }},
        {"draw bright", kAll, none, [](Draw&) { SetDrawBrightness(200, 120, 255); }},
        {"blend mode", kAll, none, [](Draw&) { SetDrawBlendMode(1, 128); }},
        {"blend parameter", kAll, [](Draw&) { SetDrawBlendMode(1, 128); }, [](Draw&) { SetDrawBlendMode(1, 200); }},
        {"draw area", kAll, none, [](Draw&) { SetDrawArea(0, 0, 90, 47); }},
        {"place", kAll, none, [](Draw& d) { d.x += 3, d.y += 1; }},
        {"direction", kAll, none, [](Draw& d) { d.vertical = 1; }},
        {"spacing", kAll, none, [](Draw& d) { SetFontSpaceToHandle(3, d.font); }},
        {"font replaced", kAll, none,
         [&](Draw& d) {
             const int type = GetFontData(d.font)->font_type;
             DeleteFontToHandle(d.font);
             d.font = CreateFontToHandle(face.c_str(), 22, -1, type, -1, type & 1 ? 2 : -1, 0);
         }},
        {"font of another type", kAll, none,
         [&](Draw& d) {
             const int type = GetFontData(d.font)->font_type ^ 2;
             d.font = CreateFontToHandle(face.c_str(), 18, -1, type, -1, type & 1 ? 2 : -1, 0);
         }},
        {"string changed in place", kAll, none, [&](Draw&) { line[7] = 'B'; }},
        {"glyph cache emptied", 0, none, [](Draw& d) { ResetGlyphCache(*GetFontData(d.font)); }},
        {"screen depth", kAll, none,
         [&](Draw& d) {
             SetScreenBits(target_.base->format == kMemImgFormat16 ? 32 : 16);
             d.text = GetColorValue(255, 240, 200);
             d.edge = GetColorValue(20, 30, 40);
         }},
        {"target image", kAll, none,
         [&](Draw& d) {
             const int format = target_.base->format == kMemImgFormat16 ? kMemImgFormat32 : kMemImgFormat16;
             ASSERT_EQ(CreateMemImg(&other_target, 640, 480, -1, 0, format, 0, 0, nullptr), 0);
             DefaultSoftwareTextDrawScreen().SetTarget(&other_target);
             d.into = &other_target;
         }},
        {"text draw screen", 0, none,
         [&](Draw& d) {
             ASSERT_EQ(CreateMemImg(&other_target, 640, 480, -1, 0, target_.base->format, 0, 0, nullptr), 0);
             own_screen.SetTarget(&other_target);
             SetTextDrawScreen(&own_screen);
             d.into = &other_target;
         }},
        {"blend graph", 0, none,
         [&](Draw&) {
             ASSERT_EQ(CreateMemImg(&blend, 640, 480, -1, 0, kMemImgFormat8, 0, 0, nullptr), 0);
             for (int y = 0; y < 480; ++y) {
                 std::memset(MemImgPixelAddress(blend, 0, y), y * 5 % 256, 640);
             }
             DefaultSoftwareTextDrawScreen().SetBlendGraphImage(&blend);
         }},
        {"masks in use", 0, none, [&](Draw&) { host_.masks = true; }},
        {"straight text off", 0, none, [](Draw&) { UseStraightText(false); }},
        {"wide writers off", 0, none, [](Draw&) { UseWideGlyphWriter(false); }},
    };
    const auto draw = [&](const Draw& d) {
        FillMemImg(d.into, nullptr, 0x00203040);
        return DrawStringToHandle(d.x, d.y, line.c_str(), d.text, d.font, d.edge, d.vertical);
    };
    for (int bits : {32, 16}) {
        for (int type = 0; type < 4; ++type) {
            for (const Change& change : changes) {
                const std::string what =
                    std::string(change.what) + ", type " + std::to_string(type) + ", bits " + std::to_string(bits);
                SetScreenBits(bits);
                Draw d;
                d.font = CreateFontToHandle(face.c_str(), 18, -1, type, -1, type & 1 ? 2 : -1, 0);
                const int first_font = d.font;
                d.text = GetColorValue(255, 240, 200);
                d.edge = GetColorValue(20, 30, 40);
                d.into = &target_;
                change.before(d);
                ASSERT_EQ(draw(d), 0) << what;
                ASSERT_EQ(draw(d), 0) << what;
                const std::vector<uint8_t> before = Snapshot(*d.into);

                change.change(d);
                ASSERT_NE(d.font, -1) << what;
                FillTarget(0x00203040);
                const int warm_result = draw(d);
                const std::vector<uint8_t> warm = Snapshot(*d.into);
                if (d.into != &target_) {
                    EXPECT_EQ(CountInk(Rect{0, 0, 640, 480}, PixelAt(0, 0)), 0)
                        << what << ": drawn where it no longer goes";
                }

                ResetGlyphCache(*GetFontData(d.font));
                Draw inks = d;
                inks.text ^= 0x5A5A5A & GetColorValue(255, 255, 255);
                inks.edge ^= 0x3C3C3C & GetColorValue(255, 255, 255);
                draw(inks);
                EXPECT_EQ(draw(d), warm_result) << what;
                EXPECT_TRUE(Snapshot(*d.into) == warm) << what;
                if ((change.shows >> type & 1) != 0) {
                    EXPECT_FALSE(warm == before) << what;
                }

                line[7] = 'A';
                host_.masks = false;
                UseStraightText(true);
                UseWideGlyphWriter(true);
                SetTextDrawScreen(nullptr);
                DefaultSoftwareTextDrawScreen().SetTarget(&target_);
                DefaultSoftwareTextDrawScreen().SetBlendGraphImage(nullptr);
                ReleaseMemImg(&other_target);
                ReleaseMemImg(&blend);
                other_target = MEMIMG{};
                blend = MEMIMG{};
                SetDrawBlendMode(0, 255);
                SetDrawBrightness(255, 255, 255);
                SetDrawArea(0, 0, 640, 480);
                DeleteFontToHandle(d.font);
                DeleteFontToHandle(first_font);
                if (HasFatalFailure()) return;
            }
        }
    }
}

// While the display device is missing a draw fails and puts nothing down,
// and while graphics are suspended it draws nothing, though the line and
// its inks are kept from the draw before.
TEST_F(TextEngineTest, NoDrawWhileTheDeviceIsMissingOrGraphicsAreSuspended) {
    struct MissingDevice : SoftwareHost {
        bool DirectDrawExists() const override { return false; }
    } missing;
    OwnSoftwareScreen screen;
    screen.SetTarget(&target_);
    SetTextDrawScreen(&screen);
    const std::string line = Sjis("文字") + "Ag";
    for (int bits : {32, 16}) {
        SetScreenBits(bits);
        screen.SetTarget(&target_);
        for (int type = 0; type < 4; ++type) {
            const int font = CreateFontToHandle(Sjis("ＭＳ ゴシック").c_str(), 18, -1, type, -1, -1, 0);
            for (int mode : {0, 1}) {
                SetDrawBlendMode(mode, mode == 0 ? 255 : 100);
                ASSERT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0), 0);
                FillTarget(0x00203040);
                const std::vector<uint8_t> blank = Snapshot();
                missing.bits = bits;
                SetGraphicsHost(&missing);
                EXPECT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0), -1) << type << mode;
                EXPECT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0, 1), -1) << type << mode;
                EXPECT_EQ(GetStringWidthToHandle(line.c_str(), -1, font), -1);
                EXPECT_TRUE(Snapshot() == blank) << type << mode;
                SetGraphicsHost(&host_);
                screen.suspended = true;
                EXPECT_EQ(DrawStringToHandle(2, 2, line.c_str(), 0x00FFFFFF, font, 0), 0) << type << mode;
                EXPECT_TRUE(Snapshot() == blank) << type << mode;
                screen.suspended = false;
            }
            DeleteFontToHandle(font);
        }
    }
    SetDrawBlendMode(0, 255);
    SetTextDrawScreen(nullptr);
}

}  // namespace
}  // namespace velk::testing
