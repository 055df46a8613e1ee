// Text on the real screen side: the same strings drawn in software mode, with
// DirectDraw switched off, and onto display surfaces through the draw-target
// bridge must give the same picture at each depth.

#include <map>

#include "lib/graphics/font/display/screen_text_draws.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/text_draw.h"
#include "platform/base/text_encoding.h"
#include "platform/display/display_device.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

struct TextCase {
    RenderMode mode;
    int bits;
    int window_mode;  // 16-bit display surfaces need the full-screen mode of that depth
    const char* name;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class ScreenTextDrawsTest : public GraphicsTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(ScreenTextDrawsTest, EveryModeDrawsTheSamePicture) {
    const TextCase c = GetParam();
    StartGraphics(c.mode, c.bits, c.window_mode);
    ASSERT_EQ(StartFontsOnScreen(), 0);
    SetDrawScreen(kBackScreen);
    SetDrawArea(0, 0, 640, 480);
    DrawBox(0, 0, 640, 480, GetColorValue(30, 60, 90), 1);
    const std::string line = platform::Utf8ToShiftJis("文字表示 ABC かな");
    const uint32_t text = GetColorValue(250, 250, 200), edge = GetColorValue(0, 0, 0);
    const int plain = CreateFontToHandle(nullptr, 16, 4, 0, -1, -1, 0);
    const int edged = CreateFontToHandle(nullptr, 20, 4, 1, -1, 2, 0);
    const int smooth = CreateFontToHandle(nullptr, 24, 4, 3, -1, 1, 0);
    ASSERT_NE(plain, -1);
    ASSERT_NE(smooth, -1);
    EXPECT_EQ(DrawStringToHandle(10, 10, line.c_str(), text, plain), 0);
    EXPECT_EQ(DrawStringToHandle(10, 40, line.c_str(), text, edged, edge), 0);
    EXPECT_EQ(DrawStringToHandle(10, 80, line.c_str(), text, smooth, edge), 0);
    SetDrawBlendMode(1, 128);
    EXPECT_EQ(DrawStringToHandle(10, 120, line.c_str(), text, edged, edge), 0);
    SetDrawBlendMode(0, 255);
    EXPECT_EQ(DrawStringScaledToHandle(10, 160, 2.0, 2.0, line.c_str(), text, smooth, edge), 0);
    EXPECT_EQ(DrawStringToHandle(620, 300, line.c_str(), text, smooth, edge, 1), 0);
    SetDrawArea(100, 0, 200, 480);
    EXPECT_EQ(DrawStringToHandle(50, 240, line.c_str(), text, smooth, edge), 0);
    SetDrawArea(0, 0, 640, 480);
    DrawString(10, 440, "default font", text);

    const std::string saved = Path("text.png");
    ASSERT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 2, 0, 0, -1), 0);
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = ReadImagePixels(saved, &width, &height);
    ASSERT_EQ(pixels.size(), 640u * 480u);
    const uint32_t background = pixels[0];
    auto ink = [&](int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) count += pixels[static_cast<size_t>(y) * 640 + x] != background ? 1 : 0;
        return count;
    };
    EXPECT_GT(ink(10, 10, 300, 30), 100) << "plain";
    EXPECT_GT(ink(10, 120, 300, 150), 100) << "blended";
    EXPECT_GT(ink(10, 160, 640, 220), 500) << "scaled";
    EXPECT_GT(ink(600, 300, 640, 480), 100) << "vertical";
    EXPECT_GT(ink(100, 240, 200, 270), 50) << "inside the area";
    EXPECT_EQ(ink(0, 240, 100, 270) + ink(200, 240, 640, 270), 0) << "outside the area";

    // The picture of each depth drawn in the first mode, for the others to match.
    static std::map<int, std::vector<uint32_t>> first_pictures;
    const auto [first, added] = first_pictures.emplace(c.bits, pixels);
    size_t at = 0;
    EXPECT_EQ(CountDiffering(pixels, first->second, &at), 0u)
        << c.name << ": first at (" << at % 640 << ", " << at / 640 << ")";
    EXPECT_EQ(EndFontsOnScreen(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenTextDrawsTest,
                         ::testing::Values(TextCase{RenderMode::kSoftware, 32, 1, "software32"},
                                           TextCase{RenderMode::kSoftwareGdi, 32, 1, "gdi32"},
                                           TextCase{RenderMode::kDirectDraw, 32, 1, "directdraw32"},
                                           TextCase{RenderMode::kSoftware, 16, 1, "software16"},
                                           TextCase{RenderMode::kSoftwareGdi, 16, 1, "gdi16"},
                                           TextCase{RenderMode::kDirectDraw, 16, 0, "directdraw16"}),
                         [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// The screen's view is kept from one text draw to the next; after the screen
// changes size and after its surfaces are lost and made again, text must land
// on the new surfaces, as software mode draws it.
class ScreenTextRelockTest : public GraphicsTest, public ::testing::WithParamInterface<RenderMode> {
protected:
    std::vector<uint32_t> Saved(const char* name, int width, int height) {
        const std::string saved = Path(name);
        EXPECT_EQ(SaveDrawScreenToFile(0, 0, width, height, saved.c_str(), 2, 0, 0, -1), 0);
        int w = 0, h = 0;
        return ReadImagePixels(saved, &w, &h);
    }
};

int InkBeyond(const std::vector<uint32_t>& pixels, int width, int x0, int y0) {
    int count = 0;
    const uint32_t background = pixels[0];
    for (size_t at = 0; at < pixels.size(); ++at) {
        const int x = static_cast<int>(at % width), y = static_cast<int>(at / width);
        count += x >= x0 && y >= y0 && pixels[at] != background ? 1 : 0;
    }
    return count;
}

TEST_P(ScreenTextRelockTest, TextFindsTheScreenAfterItIsResizedAndMadeAgain) {
    StartGraphics(GetParam(), 32, 1);
    ASSERT_EQ(StartFontsOnScreen(), 0);
    const std::string line = platform::Utf8ToShiftJis("文字 ABC");
    const uint32_t text = GetColorValue(250, 250, 200), edge = GetColorValue(0, 0, 0);
    DrawBox(0, 0, 640, 480, GetColorValue(30, 60, 90), 1);
    const int before = CreateFontToHandle(nullptr, 20, 4, 3, -1, 1, 0);
    EXPECT_EQ(DrawStringToHandle(10, 10, line.c_str(), text, before, edge), 0);

    ASSERT_EQ(SetScreenModeBody(800, 600, 32, -1), 0);
    SetDrawScreen(kBackScreen);
    SetDrawArea(0, 0, 800, 600);
    DrawBox(0, 0, 800, 600, GetColorValue(30, 60, 90), 1);
    const int smooth = CreateFontToHandle(nullptr, 20, 4, 3, -1, 1, 0);
    const int plain = CreateFontToHandle(nullptr, 16, 4, 0, -1, -1, 0);
    EXPECT_EQ(DrawStringToHandle(690, 560, line.c_str(), text, smooth, edge), 0);
    EXPECT_EQ(DrawStringToHandle(690, 530, line.c_str(), text, plain), 0);
    const std::vector<uint32_t> resized = Saved("resized.png", 800, 600);
    ASSERT_EQ(resized.size(), 800u * 600u);
    EXPECT_GT(InkBeyond(resized, 800, 640, 480), 100) << "drawn beyond the old screen's corner";

    platform::ForceAllDisplaySurfacesLost();
    ASSERT_EQ(RestoreGraphicsSystem(), 0);
    SetDrawScreen(kBackScreen);
    SetDrawArea(0, 0, 800, 600);
    DrawBox(0, 0, 800, 600, GetColorValue(30, 60, 90), 1);
    EXPECT_EQ(DrawStringToHandle(690, 560, line.c_str(), text, smooth, edge), 0);
    EXPECT_EQ(DrawStringToHandle(690, 530, line.c_str(), text, plain), 0);
    const std::vector<uint32_t> remade = Saved("remade.png", 800, 600);
    size_t at = 0;
    EXPECT_EQ(CountDiffering(remade, resized, &at), 0u) << "first at (" << at % 800 << ", " << at / 800 << ")";

    // Software mode's picture, for the other modes to match.
    static std::vector<uint32_t> software;
    if (GetParam() == RenderMode::kSoftware) software = resized;
    ASSERT_FALSE(software.empty());
    EXPECT_EQ(CountDiffering(resized, software, &at), 0u) << "first at (" << at % 800 << ", " << at / 800 << ")";
    EXPECT_EQ(EndFontsOnScreen(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenTextRelockTest,
                         ::testing::Values(RenderMode::kSoftware, RenderMode::kDirectDraw),
                         [](const ::testing::TestParamInfo<RenderMode>& info) {
                             return std::string(info.param == RenderMode::kSoftware ? "software" : "directdraw");
                         });

}  // namespace
}  // namespace velk::testing
