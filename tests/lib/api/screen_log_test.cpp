#include "lib/core/screen_log.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/api/library_api.h"
#include "lib/graphics/font/font_table.h"
#include "lib/softrender/blend_rules.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk::testing {
namespace {

std::vector<const FontData*> LiveFonts() {
    std::vector<const FontData*> fonts;
    for (int slot = 0; slot < 40; ++slot) {
        if (const FontData* font = font_table::AtSlot(slot)) fonts.push_back(font);
    }
    return fonts;
}

class ScreenLogTest : public StartupTest {
protected:
    ~ScreenLogTest() override {
        SetOnScreenLogFlag(0);
        for (int line = 0; line < kScreenLogLines; ++line)
            SetScreenLogLine(line, "");
    }

    // A grey frame with the log over it.
    platform::PresentedFrame Present() {
        SetDrawScreen(kBackScreen);
        EXPECT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(FlipScreen(), 0);
        platform::PresentedFrame frame;
        EXPECT_TRUE(output.output().ReadPresentedPixels(GetMainWindowHWND(), &frame));
        return frame;
    }

    void StartGrey() {
        LibraryStartOptions options;
        options.background_red = options.background_green = options.background_blue = kGrey;
        SetLibraryStartOptions(options);
        SetScreenMode(640, 480, 32, 60);
        ASSERT_EQ(InitLibrary(), 0);
    }

    // Counts the white and the black (edge) pixels of a band of rows; any
    // other colour than those and the grey counts as other.
    static void CountBand(const platform::PresentedFrame& frame, int top, int bottom, int right, int* white, int* black,
                          int* other = nullptr) {
        *white = 0;
        *black = 0;
        if (other != nullptr) *other = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < right; ++x) {
                const uint32_t pixel = frame.at(x, y) & 0xFFFFFF;
                if (pixel == 0xFFFFFF) {
                    ++*white;
                } else if (pixel == 0) {
                    ++*black;
                } else if (pixel != kGrey * 0x010101u && other != nullptr) {
                    ++*other;
                }
            }
        }
    }

    static constexpr int kGrey = 0x40;
};

TEST_F(ScreenLogTest, StartUpMakesItsOwnSixteenPixelFontBesideTheDefaultOneAndTheEndDeletesIt) {
    SetScreenMode(640, 480, 32, 60);
    ASSERT_EQ(InitLibrary(), 0);
    const int font = GetScreenLogFontHandle();
    ASSERT_EQ(CheckFontHandleValid(font), 1);
    const std::vector<const FontData*> fonts = LiveFonts();
    ASSERT_EQ(fonts.size(), 2u) << "the default font and the on-screen log's";
    const FontData* log_font = GetFontData(font);
    EXPECT_EQ(log_font->size, 16);
    EXPECT_EQ(log_font->thickness, 4);
    EXPECT_TRUE(FontIsEdged(*log_font));
    const FontData* default_font = GetFontData(GetDefaultFontHandle());
    ASSERT_NE(default_font, nullptr);
    EXPECT_EQ(log_font->face_name, default_font->face_name);
    // Setting it up again keeps the one font.
    ASSERT_EQ(InitScreenLog(), 0);
    EXPECT_EQ(GetScreenLogFontHandle(), font);
    EXPECT_EQ(LiveFonts().size(), 2u);

    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_EQ(GetScreenLogFontHandle(), -1);
}

TEST_F(ScreenLogTest, WithoutGraphicsThereIsNoOnScreenLog) {
    LibraryStartOptions options;
    options.no_graphics = 1;
    SetLibraryStartOptions(options);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(InitScreenLog(), -1);
    EXPECT_EQ(GetScreenLogFontHandle(), -1);
}

TEST_F(ScreenLogTest, AFrameShowsTheLoggedLinesSixteenPixelsApartOnlyWhileTheFlagIsOn) {
    StartGrey();
    SetScreenLogLine(0, "WWWWWWWW");
    SetScreenLogLine(2, "MMMMMMMM");
    SetScreenLogLine(29, "HHHH");  // the last of 480 / 16 lines
    // Lines of 255 bytes keep 254 and their end: the line after them, and
    // after the last line whatever follows, stays whole.
    const std::string blanks(255, ' ');
    SetScreenLogLine(28, blanks.c_str());
    SetScreenLogLine(kScreenLogLines - 1, blanks.c_str());

    int white = 0, black = 0, other = 0;
    CountBand(Present(), 0, 480, 640, &white, &black, &other);
    EXPECT_EQ(white + black + other, 0) << "the flag is off";

    SetOnScreenLogFlag(1);
    // The game's own settings must neither cut nor tint the log, and come
    // back afterwards.
    SetDrawArea(300, 300, 310, 310);
    SetDrawBlendMode(kBlendModeAlpha, 10);
    SetDrawBrightness(0, 0, 128);
    const platform::PresentedFrame frame = Present();
    Rect area;
    GetDrawArea(&area);
    EXPECT_EQ(area.left, 300);
    EXPECT_EQ(area.bottom, 310);
    int mode = 0, param = 0;
    GetDrawBlendMode(&mode, &param);
    EXPECT_EQ(mode, kBlendModeAlpha);
    EXPECT_EQ(param, 10);
    EXPECT_EQ(GetDrawSettings().bright_blue, 128);
    EXPECT_EQ(GetDrawSettings().bright_red, 0);

    // Line 0 holds white letters with black edges inside the first 16 rows.
    CountBand(frame, 0, 16, 200, &white, &black, &other);
    EXPECT_GT(white, 40);
    EXPECT_GT(black, 40);
    EXPECT_EQ(other, 0) << "white with a black edge, nothing between";
    CountBand(frame, 16, 32, 640, &white, &black);
    EXPECT_EQ(white + black, 0) << "line 1 is empty";
    CountBand(frame, 32, 48, 200, &white, &black);
    EXPECT_GT(white, 40);
    CountBand(frame, 464, 480, 200, &white, &black);
    EXPECT_GT(white, 10);
    // Nothing to the right of the text.
    CountBand(frame, 0, 480, 640, &white, &black);
    int left_white = 0;
    CountBand(frame, 0, 480, 200, &left_white, &black);
    EXPECT_EQ(white, left_white);
}

TEST_F(ScreenLogTest, AFontDeletedBehindItsBackIsMadeAgainForTheNextFrame) {
    StartGrey();
    SetOnScreenLogFlag(1);
    SetScreenLogLine(1, "WWWW");
    ASSERT_EQ(DeleteFontToHandle(GetScreenLogFontHandle()), 0);
    int white = 0, black = 0;
    CountBand(Present(), 16, 32, 200, &white, &black);
    EXPECT_GT(white, 20);
    EXPECT_EQ(CheckFontHandleValid(GetScreenLogFontHandle()), 1);
    EXPECT_EQ(LiveFonts().size(), 2u);
}

}  // namespace
}  // namespace velk::testing
