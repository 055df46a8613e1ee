#include "lib/graphics/font/text_draw_2d.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/glyph_writer.h"
#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/font/text_engine.h"
#include "lib/graphics/graph_draw.h"
#include "tests/lib/graphics/font/font_fixture.h"

namespace velk::testing {
namespace {

// Fake glyphs: a 6 x 10 box one pixel right of the pen, at the line's top;
// half-width characters advance 8, full-width 16; cells of 16 x 16.
class TextDrawTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        UseFakeFonts();
    }
    int Font(int type, int edge = -1) { return CreateFontToHandle(nullptr, 16, 6, type, -1, edge, 0); }
    static bool CacheMade(int font) { return CheckValidMemImg(&GetFontData(font)->cache_screen) != 0; }

    // One trial of the straight-against-cache comparisons: a font of the
    // trial's kind, and a random background, brightness, draw area, place
    // and colours (set where they are settings).
    struct RandomTrial {
        int font;
        std::vector<uint8_t> background;
        int x, y;
        uint32_t color, edge;
    };
    RandomTrial MakeRandomTrial(std::mt19937& random, int trial) {
        FakeFontSettings fake;
        fake.glyph_width = trial % 3 == 2 ? 12 : 6;
        UseFakeFonts(fake);
        const int type = (trial / 4) % 4;
        RandomTrial t{};
        t.font = Font(type, 1 + trial % 3);
        SetDrawBlendMode(type >= 2 ? 0 : 1, type >= 2 ? 255 : static_cast<int>(random() % 255));
        t.background.resize(static_cast<size_t>(target_.base->pitch) * 480);
        for (auto& byte : t.background)
            byte = static_cast<uint8_t>(random());
        SetDrawBrightness(trial % 4 == 0 ? 255 : static_cast<int>(random() % 256), 255,
                          static_cast<int>(random() % 256));
        SetDrawArea(static_cast<int>(random() % 50), static_cast<int>(random() % 50),
                    590 + static_cast<int>(random() % 60), 430 + static_cast<int>(random() % 60));
        t.x = static_cast<int>(random() % 700) - 40;
        t.y = static_cast<int>(random() % 520) - 20;
        t.color = static_cast<uint32_t>(random());
        t.edge = static_cast<uint32_t>(random());
        return t;
    }
    // The trial's text drawn twice from its background, with straight text
    // and then without: `straight` gets the first screen, the target keeps
    // the second (through the cache). `after_draw(allowed)` follows each draw.
    template <class AfterDraw>
    void DrawWithAndWithoutStraightText(const RandomTrial& t, const std::string& text, bool vertical,
                                        std::vector<uint8_t>* straight, AfterDraw after_draw) {
        for (const bool allowed : {true, false}) {
            std::memcpy(target_.base->pixels, t.background.data(), t.background.size());
            UseStraightText(allowed);
            ASSERT_EQ(DrawStringToHandle(t.x, t.y, text.c_str(), t.color, t.font, t.edge, vertical), 0);
            after_draw(allowed);
            if (allowed) straight->assign(target_.base->pixels, target_.base->pixels + t.background.size());
        }
        UseStraightText(true);
    }
    // The screen's 640 x 480 pixels against `expected`, row by row.
    void ExpectSameScreen(const std::vector<uint8_t>& expected, int trial) const {
        const size_t row_bytes = static_cast<size_t>(640 * MemImgBytesPerPixel(*target_.base));
        for (int py = 0; py < 480; ++py) {
            const size_t at = static_cast<size_t>(py) * target_.base->pitch;
            ASSERT_EQ(std::memcmp(expected.data() + at, target_.base->pixels + at, row_bytes), 0)
                << "trial " << trial << " row " << py;
        }
    }

    // The box that holds every pixel differing from the background.
    Rect InkBox(uint32_t background) const {
        Rect box{640, 480, 0, 0};
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                if (PixelAt(x, y) != background) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
            }
        }
        return box;
    }
};

TEST_F(TextDrawTest, TextGoesStraightToTheTargetWhereItCanAndOtherwiseThroughTheCache) {
    const uint32_t white = GetColorValue(255, 255, 255);
    const int plain = Font(0);
    SetDrawBlendMode(1, 255);
    EXPECT_EQ(DrawStringToHandle(10, 20, "ab", white, plain), 0);
    EXPECT_FALSE(CacheMade(plain));
    EXPECT_EQ(PixelAt(11, 20), white);
    EXPECT_EQ(PixelAt(10, 20), 0u);

    SetDrawBlendMode(1, 254);
    EXPECT_EQ(DrawStringToHandle(10, 40, "ab", white, plain), 0);
    EXPECT_FALSE(CacheMade(plain)) << "mode 1 onto 32 bits mixes straight into the target";
    EXPECT_NEAR(static_cast<int>(PixelAt(11, 40) & 0xFF), 254, 1);
    SetDrawBlendMode(2, 254);
    EXPECT_EQ(DrawStringToHandle(10, 40, "ab", white, plain), 0);
    EXPECT_TRUE(CacheMade(plain));

    SetDrawBlendMode(0, 255);
    const int smooth = Font(2);
    EXPECT_EQ(DrawStringToHandle(10, 60, "a", white, smooth), 0);
    EXPECT_FALSE(CacheMade(smooth)) << "mode 0 onto 32 bits mixes straight into the target";
    // The fake's grey ramp: the first column is 16 * 1 / 6 = level 2, stored
    // 1: alpha 16; the last column is level 16: opaque.
    EXPECT_NEAR(static_cast<int>(PixelAt(11, 60) & 0xFF), 16, 1);
    EXPECT_EQ(PixelAt(16, 60) & 0xFFFFFF, 0xFFFFFFu);
}

// Anti-aliased text in mode 0, and text without anti-aliasing in mode 1,
// written straight into the target against the same text through the cache
// screen, on 32- and 16-bit screens with random backgrounds, colours,
// brights, weights, draw areas and places, some cut by the screen's edges.
TEST_F(TextDrawTest, StraightTextMatchesTheCachePath) {
    std::mt19937 random(77);
    const std::string strings[] = {"abc", Sjis("あaいb"), "a b  c", std::string(90, 'x')};
    for (int trial = 0; trial < 80; ++trial) {
        if (trial % 40 == 0) SetScreenBits(trial == 0 ? 32 : 16);
        // Every third font's glyphs overlap their neighbours.
        // Now and then without the glyph writer's wide forms.
        UseWideGlyphWriter(trial % 8 < 6);
        const RandomTrial t = MakeRandomTrial(random, trial);
        std::vector<uint8_t> straight;
        DrawWithAndWithoutStraightText(t, strings[trial % 4], trial % 5 == 4, &straight, [](bool) {});
        UseWideGlyphWriter(true);
        ExpectSameScreen(straight, trial);
        if (HasFatalFailure()) return;
        DeleteFontToHandle(t.font);
    }
}

TEST_F(TextDrawTest, AntiAliasedGlyphsThatOverlapGoThroughTheCache) {
    FakeFontSettings wide;
    wide.glyph_width = 12;  // wider than the advance of 8
    UseFakeFonts(wide);
    const int font = Font(2);
    EXPECT_EQ(DrawStringToHandle(10, 60, "ab", GetColorValue(255, 255, 255), font), 0);
    EXPECT_TRUE(CacheMade(font));
    const int apart = Font(2);
    EXPECT_EQ(DrawStringToHandle(10, 60, "a", GetColorValue(255, 255, 255), apart), 0);
    EXPECT_FALSE(CacheMade(apart)) << "one glyph overlaps nothing";
}

TEST_F(TextDrawTest, EightBitScreensAlwaysDrawStraight) {
    SetScreenBits(8);
    const int smooth = Font(2);
    EXPECT_EQ(GetFontData(smooth)->font_type, 0) << "no anti-aliasing on 8 bits";
    SetDrawBlendMode(1, 100);
    // The software screen of this test stays a 32-bit image: the index is
    // written as it is.
    EXPECT_EQ(DrawStringToHandle(0, 0, "a", 7, smooth), 0);
    EXPECT_FALSE(CacheMade(smooth));
}

TEST_F(TextDrawTest, TheKeyColourMovesAwayFromTheTextAndStaysThere) {
    const int font = Font(1, 1);
    SetDrawBlendMode(1, 128);
    UseStraightText(false);
    const uint32_t background = GetColorValue(0, 0, 200);
    FillTarget(background);
    // Black text with an edge of colour 1: the key (0) moves up twice.
    ASSERT_EQ(DrawStringToHandle(100, 100, "a", GetColorValue(0, 0, 0), font, GetColorValue(0, 0, 1)), 0);
    const MEMIMG& cache = GetFontData(font)->cache_screen;
    EXPECT_EQ(cache.base->trans_color & 0xFFFFFF, 2u);
    // Both colours were drawn (half over the blue), the rest of the string's
    // rectangle was not.
    EXPECT_EQ(PixelAt(101 + 1, 100 + 1) & 0xFFFFFF, 0x000064u) << "text";
    EXPECT_EQ(PixelAt(101, 101) & 0xFFFFFF, 0x000064u) << "edge";
    EXPECT_EQ(PixelAt(100, 100), background) << "outside the edge's plus";
    // Later draws keep the raised key.
    ASSERT_EQ(DrawStringToHandle(100, 150, "a", GetColorValue(255, 255, 255), font, GetColorValue(9, 9, 9)), 0);
    EXPECT_EQ(cache.base->trans_color & 0xFFFFFF, 2u);
    UseStraightText(true);
}

TEST_F(TextDrawTest, ASixteenBitKeyWrapsWithinItsFormatAndNeverShowsTheBackground) {
    SetScreenBits(16);
    const int font = Font(1, 1);
    SetDrawBlendMode(1, 200);
    const uint32_t background = GetColorValue(128, 128, 128);
    FillTarget(background);
    const uint32_t white = GetColorValue(255, 255, 255), black = GetColorValue(0, 0, 0);
    ASSERT_EQ(white, 0xFFFFu);
    // First draw makes the cache; then put its key at the top of the range,
    // on the text colour.
    ASSERT_EQ(DrawStringToHandle(0, 0, "a", white, font, black), 0);
    MEMIMG& cache = GetFontData(font)->cache_screen;
    cache.base->trans_color = 0xFFFF;
    FillTarget(background);
    ASSERT_EQ(DrawStringToHandle(50, 50, "a", white, font, black), 0);
    EXPECT_EQ(cache.base->trans_color, 1u) << "0xFFFF is the text, 0 the edge";
    EXPECT_GT(PixelAt(52, 51) >> 11, background >> 11) << "the text is drawn";
    EXPECT_LT(PixelAt(51, 51) >> 11, background >> 11) << "the edge is drawn";
    EXPECT_EQ(PixelAt(50, 50), background) << "the cleared cache is not drawn";
    EXPECT_EQ(CountInk(Rect{50, 50, 70, 70}, background), 8 * 12 - 4);
}

TEST_F(TextDrawTest, TheCallersDrawAreaAndBrightStayAsTheyWere) {
    const int font = Font(2);
    SetDrawArea(5, 6, 300, 200);
    SetDrawBrightness(200, 100, 50);
    SetDrawBlendMode(2, 77);
    const DrawSettings before = GetDrawSettings();
    const MemImgDrawSettings software_before = GetMemImgDrawSettings();
    EXPECT_EQ(DrawStringToHandle(0, 0, "abc", 0xFFFFFFFF, font, 0), 0);
    EXPECT_EQ(DrawStringScaledToHandle(0, 0, 2.0, 3.0, "abc", 0xFFFFFFFF, font, 0), 0);
    EXPECT_EQ(DrawStringToHandle(0, 0, "", 0xFFFFFFFF, font, 0), 0);
    const DrawSettings& after = GetDrawSettings();
    EXPECT_EQ(after.draw_area, before.draw_area);
    EXPECT_EQ(after.bright_red, 200);
    EXPECT_EQ(after.bright_green, 100);
    EXPECT_EQ(after.bright_blue, 50);
    EXPECT_EQ(GetMemImgDrawSettings().draw_area, software_before.draw_area);
    EXPECT_EQ(GetMemImgDrawSettings().bright_red, software_before.bright_red);
    EXPECT_EQ(GetMemImgDrawSettings().blend_mode, software_before.blend_mode);
    // Nothing outside the caller's area.
    EXPECT_EQ(CountInk(Rect{0, 0, 640, 6}, 0), 0);
    EXPECT_EQ(CountInk(Rect{0, 0, 5, 480}, 0), 0);
}

TEST_F(TextDrawTest, TheDrawBrightTintsTheText) {
    const int font = Font(0);
    SetDrawBrightness(255, 128, 0);
    DrawStringToHandle(0, 0, "a", GetColorValue(255, 255, 255), font);
    EXPECT_EQ(PixelAt(1, 0) & 0xFFFFFF, 0xFF8000u);
    SetDrawBlendMode(1, 254);
    DrawStringToHandle(0, 20, "a", GetColorValue(255, 255, 255), font);
    const uint32_t tinted = PixelAt(1, 20);
    EXPECT_NEAR(static_cast<int>((tinted >> 16) & 0xFF), 254, 1) << "tinted once, in the cache";
    EXPECT_NEAR(static_cast<int>((tinted >> 8) & 0xFF), 127, 1);
    EXPECT_EQ(tinted & 0xFF, 0u);
}

TEST_F(TextDrawTest, AStringWiderThanTheScreenIsCutToIt) {
    const int font = Font(2);
    const std::string wide(100, 'a');
    EXPECT_EQ(GetStringWidthToHandle(wide.c_str(), -1, font), 800);
    EXPECT_EQ(DrawStringToHandle(0, 0, wide.c_str(), 0xFFFFFFFF, font), 0);
    EXPECT_EQ(DrawStringToHandle(-300, 460, wide.c_str(), 0xFFFFFFFF, font), 0);
    EXPECT_EQ(DrawStringToHandle(600, -5, wide.c_str(), 0xFFFFFFFF, font), 0);
    EXPECT_GT(CountInk(Rect{630, 0, 640, 10}, 0), 0);
}

TEST_F(TextDrawTest, ScaledTextIsStretchedFromTheCache) {
    const int font = Font(0);
    SetDrawBlendMode(0, 255);
    ASSERT_EQ(DrawStringScaledToHandle(100, 100, 2.0, 3.0, "a", GetColorValue(255, 255, 255), font), 0);
    // The 6 x 10 box one pixel in: about 12 x 30 two pixels in, stretched
    // by (2 x 640 + 3) / 640 and (3 x 480 + 3) / 480.
    const Rect box = InkBox(0);
    EXPECT_NEAR(box.left, 102, 1);
    EXPECT_EQ(box.top, 100);
    EXPECT_NEAR(box.right - box.left, 12, 1);
    EXPECT_NEAR(box.bottom - box.top, 30, 1);
    EXPECT_TRUE(CacheMade(font));
    // Rates 1.0 are a stretch too, by 643 / 640: a glyph far right moves by one.
    FillTarget(0);
    std::string line(60, ' ');
    line += "a";
    DrawStringScaledToHandle(0, 200, 1.0, 1.0, line.c_str(), GetColorValue(255, 255, 255), font);
    EXPECT_GT(InkBox(0).left, 60 * 8 + 1 + 1);
}

TEST_F(TextDrawTest, VerticalTextRunsDownWithItsGlyphsTurned) {
    const int font = Font(0);
    TextExtent extent;
    ASSERT_EQ(RenderStringToHandle(0, 0, 0, 0, 1.0, 1.0, "ab", 0, nullptr, nullptr, font, 0, -1, 1, &extent), 16);
    EXPECT_EQ(extent.width, 16);
    EXPECT_EQ(extent.height, 16);
    ASSERT_EQ(DrawStringToHandle(100, 50, "a", GetColorValue(255, 255, 255), font, 0, 1), 0);
    // The glyph's rows become columns from the line's right edge leftwards.
    const Rect box = InkBox(0);
    EXPECT_EQ(box.left, 100 + 16 - 10);
    EXPECT_EQ(box.right, 100 + 16);
    EXPECT_EQ(box.top, 51);
    EXPECT_EQ(box.bottom, 57);
}

TEST_F(TextDrawTest, MasksHearOfTheTextRectangle) {
    const int font = Font(0);
    host_.masks = true;
    SetDrawArea(0, 0, 600, 400);
    DrawStringToHandle(20, 30, "a", 0xFFFFFFFF, font);
    ASSERT_EQ(host_.mask_calls.size(), 2u);
    EXPECT_EQ(host_.mask_calls[0], (Rect{20, 30, 600, 30 + 16 + 3}));
    DrawStringToHandle(20, 30, "a", 0xFFFFFFFF, font, 0, 1);
    EXPECT_EQ(host_.mask_calls[2], (Rect{20, 30, 20 + 16 + 3, 400}));
    DrawStringScaledToHandle(20, 30, 1.5, 2.5, "a", 0xFFFFFFFF, font);
    EXPECT_EQ(host_.mask_calls[4], (Rect{20, 30, 600, 30 + 40 + 3}));
    host_.mask_calls.clear();
    FillTarget(0);
    EXPECT_EQ(DrawStringToHandle(600, 30, "a", 0xFFFFFFFF, font), 0);
    EXPECT_TRUE(host_.mask_calls.empty());
    host_.masks = false;
}

TEST_F(TextDrawTest, BadHandlesAndEmptyStrings) {
    EXPECT_EQ(DrawStringToHandle(0, 0, "a", 0, 0x20001234), -1);
    EXPECT_TRUE(LogHas(font_log::kLogBadFontHandle));
    EXPECT_EQ(DrawStringScaledToHandle(0, 0, 2, 2, "a", 0, -1), -1);
    EXPECT_EQ(DrawStringToHandle(0, 0, "", 0, -1), 0);
    EXPECT_EQ(DrawStringToHandle(0, 0, nullptr, 0, -1), 0);
    EXPECT_EQ(GetStringWidthToHandle("a", -1, -1), -1);
    EXPECT_EQ(GetStringWidthToHandle(nullptr, -1, GetDefaultFontHandle()), 0);
}

TEST_F(TextDrawTest, FormattedTextOfAnyLengthWithTheDefaultFont) {
    const std::string long_text(5000, 'x');
    EXPECT_EQ(DrawFormattedString(0, 0, GetColorValue(255, 255, 255), "%s%d", long_text.c_str(), 42), 0);
    EXPECT_GT(CountInk(Rect{0, 0, 640, 16}, 0), 0);
    EXPECT_EQ(DrawString(0, 40, "a", GetColorValue(255, 255, 255)), 0);
    EXPECT_EQ(GetStringWidth("abc", 2), 16);
}

// The draw screen as display surfaces: every draw goes through a lock whose
// view starts at (10, 20) of the draw screen, and which turns colours into
// its own format (here: swaps red and blue).
class LockedScreen : public TextDrawScreen {
public:
    explicit LockedScreen(MEMIMG* image) : image_(image) {}
    bool CanDraw() const override { return true; }
    bool SoftwareMode() const override { return false; }
    MEMIMG* TargetImage() override { return nullptr; }
    int Lock(const Rect& dest, int overwrite, uint32_t* c1, uint32_t* c2, LockedDrawScreen* out) override {
        locks.push_back({dest, overwrite, c1 != nullptr});
        for (uint32_t* c : {c1, c2}) {
            if (c != nullptr) *c = ((*c & 0xFF) << 16) | (*c & 0xFF00FF00u) | ((*c >> 16) & 0xFF);
        }
        out->image = image_;
        out->origin_x = 10;
        out->origin_y = 20;
        ++open;
        return 0;
    }
    void Unlock() override { --open; }
    struct Call {
        Rect dest;
        int overwrite;
        bool colours;
    };
    std::vector<Call> locks;
    int open = 0;

private:
    MEMIMG* image_;
};

TEST_F(TextDrawTest, OnDisplaySurfacesTheTextGoesThroughTheLock) {
    LockedScreen screen(&target_);
    SetTextDrawScreen(&screen);
    const int plain = Font(0);
    ASSERT_EQ(DrawStringToHandle(40, 50, "ab", GetColorValue(255, 0, 0), plain), 0);
    ASSERT_EQ(screen.locks.size(), 1u);
    EXPECT_EQ(screen.locks[0].dest, (Rect{40, 50, 56, 66}));
    EXPECT_EQ(screen.locks[0].overwrite, 1);
    EXPECT_TRUE(screen.locks[0].colours);
    EXPECT_EQ(screen.open, 0);
    EXPECT_EQ(PixelAt(40 + 1 - 10, 50 - 20) & 0xFFFFFF, 0x0000FFu) << "converted by the lock, placed by its origin";

    FillTarget(0);
    SetDrawBlendMode(1, 128);
    ASSERT_EQ(DrawStringToHandle(40, 50, "a", GetColorValue(255, 0, 0), plain), 0);
    ASSERT_EQ(screen.locks.size(), 2u);
    EXPECT_EQ(screen.locks[1].overwrite, 0);
    EXPECT_FALSE(screen.locks[1].colours);
    EXPECT_EQ(screen.locks[1].dest, (Rect{40, 50, 48, 66}));
    EXPECT_NEAR(static_cast<int>(PixelAt(41 - 10, 50 - 20) >> 16 & 0xFF), 128, 1);
    EXPECT_EQ(PixelAt(41 - 10, 50 - 20) & 0xFFFF, 0u);
    EXPECT_EQ(screen.open, 0);
    SetTextDrawScreen(nullptr);
}

// Display surfaces whose locked view is the surface itself: text is written
// straight into the view, and must come out as through the cache, on 32- and
// 16-bit screens, for every font kind, cut by draw areas and the view.
class InPlaceScreen : public LockedScreen {
public:
    using LockedScreen::LockedScreen;
    bool LocksInPlace() const override { return true; }
};

TEST_F(TextDrawTest, OnSurfacesLockedInPlaceStraightTextMatchesTheCachePath) {
    InPlaceScreen screen(&target_);
    SetTextDrawScreen(&screen);
    std::mt19937 random(91);
    const std::string strings[] = {"abc", Sjis("あaいb"), "a b  c", std::string(90, 'x')};
    int straight_draws = 0;
    for (int trial = 0; trial < 64; ++trial) {
        if (trial % 32 == 0) SetScreenBits(trial == 0 ? 32 : 16);
        const RandomTrial t = MakeRandomTrial(random, trial);
        std::vector<uint8_t> straight;
        DrawWithAndWithoutStraightText(t, strings[trial % 4], trial % 5 == 4, &straight, [&](bool allowed) {
            ASSERT_EQ(screen.open, 0) << "every lock is undone";
            straight_draws += allowed && !CacheMade(t.font) ? 1 : 0;
        });
        ExpectSameScreen(straight, trial);
        if (HasFatalFailure()) return;
        DeleteFontToHandle(t.font);
    }
    EXPECT_GT(straight_draws, 20) << "most draws skip the cache";
    SetTextDrawScreen(nullptr);
}

TEST_F(TextDrawTest, SurfacesLockedAsCopiesTakeTextThroughTheCache) {
    LockedScreen screen(&target_);
    SetTextDrawScreen(&screen);
    const int smooth = Font(2);
    ASSERT_EQ(DrawStringToHandle(40, 50, "a", GetColorValue(255, 255, 255), smooth), 0);
    EXPECT_TRUE(CacheMade(smooth));
    ASSERT_EQ(screen.locks.size(), 1u);
    EXPECT_EQ(screen.locks[0].dest, (Rect{40, 50, 48, 66})) << "the text's own rectangle";

    InPlaceScreen in_place(&target_);
    SetTextDrawScreen(&in_place);
    const int other = Font(2);
    ASSERT_EQ(DrawStringToHandle(40, 50, "a", GetColorValue(255, 255, 255), other), 0);
    EXPECT_FALSE(CacheMade(other));
    ASSERT_EQ(in_place.locks.size(), 1u);
    EXPECT_EQ(in_place.locks[0].overwrite, 0);
    EXPECT_FALSE(in_place.locks[0].colours);
    EXPECT_EQ(PixelAt(40 + 6 - 10, 50 - 20) & 0xFFFFFF, 0xFFFFFFu) << "placed by the view's origin";
    SetTextDrawScreen(nullptr);
}

}  // namespace
}  // namespace velk::testing
