// An 8-bit full screen: colour values are indices into the screen's palette,
// graphs reach their surfaces through device-independent bitmaps, and every
// software draw works on a copy of the screen widened to 32 bits and is
// matched back to the palette.

#include <cstdlib>
#include <cstring>
#include <vector>

#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/screen/dib_graph.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/display/display_surface.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

class EightBitScreenTest : public GraphicsTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 8, 0));
        ASSERT_EQ(Screen().display_bits, 8);
        SetBackgroundColor(0, 0, 0);
        ClearDrawScreen();
    }

    // The back screen's pixel as the palette shows it.
    static uint32_t Shown(int x, int y) {
        const uint8_t index = Screen().back->row(y)[x];
        const platform::DdPaletteEntry& e = Screen().palette_entries[index];
        return (uint32_t{e.red} << 16) | (uint32_t{e.green} << 8) | e.blue;
    }

    // Within the step between neighbouring palette colours.
    static bool Near(uint32_t got, uint32_t want, int step) {
        for (int shift = 0; shift <= 16; shift += 8) {
            const int a = static_cast<int>((got >> shift) & 0xFF);
            const int b = static_cast<int>((want >> shift) & 0xFF);
            if (std::abs(a - b) > step) return false;
        }
        return true;
    }
};

TEST_F(EightBitScreenTest, ColourValuesAreTheNearestPaletteEntries) {
    const uint32_t white = GetColorValue(255, 255, 255);
    const uint32_t black = GetColorValue(0, 0, 0);
    EXPECT_NE(white, black);
    EXPECT_EQ(Screen().palette_entries[white].red, 255);
    EXPECT_EQ(Screen().palette_entries[white].blue, 255);
    EXPECT_EQ(DrawBox(10, 10, 20, 20, white, 1), 0);
    EXPECT_EQ(Shown(10, 10), 0xFFFFFFu);
    EXPECT_EQ(Shown(19, 19), 0xFFFFFFu);
    EXPECT_EQ(Shown(20, 20), 0u);
    // An outline, and a line drawn through the same bridge.
    EXPECT_EQ(DrawBox(30, 30, 40, 40, white, 0), 0);
    EXPECT_EQ(Shown(30, 35), 0xFFFFFFu);
    EXPECT_EQ(Shown(35, 35), 0u);
    // Text takes its colour through the same conversion.
    ASSERT_EQ(DrawString(50, 50, "MW", white), 0);
    int white_pixels = 0, other_pixels = 0;
    for (int y = 50; y < 70; ++y) {
        for (int x = 50; x < 80; ++x) {
            const uint32_t shown = Shown(x, y);
            white_pixels += shown == 0xFFFFFFu ? 1 : 0;
            other_pixels += shown != 0xFFFFFFu && shown != 0u ? 1 : 0;
        }
    }
    EXPECT_GT(white_pixels, 20);
    EXPECT_EQ(other_pixels, 0);
}

TEST_F(EightBitScreenTest, GraphsArriveThroughBitmapsAndBlendOnAWidenedCopy) {
    // 4 x 2: red, green, blue, white / grey, black, yellow, cyan.
    const std::vector<uint8_t> rgba = {255, 0,   0,   255, 0,   255, 0, 255, 0,   0,   255, 255, 255, 255, 255, 255,
                                       128, 128, 128, 255, 0,   0,   0, 255, 255, 255, 0,   255, 0,   255, 255, 255};
    WritePngRgba(Path("colours.png"), 4, 2, rgba, false);
    const int graph = LoadGraphFromFile(Path("colours.png").c_str(), 0, 0, 0);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(DrawGraph(100, 100, graph, 0), 0);
    const uint32_t expected[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080, 0x000000, 0xFFFF00, 0x00FFFF};
    for (int i = 0; i < 8; ++i)
        EXPECT_PRED3(Near, Shown(100 + i % 4, 100 + i / 4), expected[i], 40) << "pixel " << i;

    // Half of white over black lands near the middle grey.
    SetDrawBlendMode(1, 128);
    ASSERT_EQ(DrawGraph(200, 100, graph, 0), 0);
    SetDrawBlendMode(0, 255);
    EXPECT_PRED3(Near, Shown(203, 100), 0x808080u, 40);
    EXPECT_EQ(Shown(199, 100), 0u) << "nothing outside the graph";

    // A scaled draw goes through the same copy.
    ASSERT_EQ(DrawGraphScaled(300, 100, 308, 104, graph, 0), 0);
    EXPECT_PRED3(Near, Shown(301, 101), 0xFF0000u, 40);
    EXPECT_PRED3(Near, Shown(307, 103), 0x00FFFFu, 40);
}

}  // namespace
}  // namespace velk::testing

namespace velk::testing {
namespace {

// Bitmaps made from images: rows in place when they already have the
// bitmap's row size, copies otherwise, and every other format as 24 bits.
TEST(DibGraphTest, ImagesBecomeTopDownBitmapsInPlaceOrCopied) {
    GraphImage paletted;
    CreateGreyPaletteColorData(&paletted.color_data);
    ASSERT_EQ(AllocateGraphImagePixels(&paletted, 4, 2), 0);  // pitch 4: a bitmap row already
    paletted.pixels[1] = 200;
    DibInfo info;
    const uint8_t* pixels = nullptr;
    std::vector<uint8_t> copy;
    ASSERT_EQ(ConvertGraphImageToDib(paletted, &info, &pixels, &copy, 0), 0);
    EXPECT_EQ(info.bit_count, 8);
    EXPECT_EQ(info.height, -2);
    EXPECT_EQ(pixels, paletted.pixels);
    EXPECT_EQ(info.palette[200].green, 200);
    ASSERT_EQ(ConvertGraphImageToDib(paletted, &info, &pixels, &copy, 1), 0);
    EXPECT_EQ(pixels, copy.data()) << "a copy when forced";

    // 3 pixels of R5G6B5: 9 bytes of 24-bit colour in a 12-byte row.
    GraphImage wide;
    CreateColorDataFromMasks(&wide.color_data, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_EQ(AllocateGraphImagePixels(&wide, 3, 1), 0);
    const uint16_t values[3] = {0xF800, 0x07E0, 0xFFFF};
    std::memcpy(wide.pixels, values, sizeof values);
    ASSERT_EQ(ConvertGraphImageToDib(wide, &info, &pixels, &copy, 0), 0);
    EXPECT_EQ(info.bit_count, 24);
    ASSERT_EQ(copy.size(), 12u);
    const std::vector<uint8_t> expected = {0, 0, 255, 0, 255, 0, 255, 255, 255, 0, 0, 0};  // blue, green, red
    EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 12), expected);

    DibGraph dib;
    ASSERT_EQ(CreateDIBGraph(info, pixels, &dib), 0);
    EXPECT_EQ(dib.Section().bit_count, 24);
    EXPECT_EQ(dib.pixels[8], 255);
    DibInfo bad = info;
    bad.bit_count = 4;
    EXPECT_EQ(CreateDIBGraph(bad, pixels, &dib), -1);
    EXPECT_EQ(CreateDIBGraph(info, nullptr, &dib), -1);
    ReleaseGraphImage(&paletted);
    ReleaseGraphImage(&wide);
}

}  // namespace
}  // namespace velk::testing
