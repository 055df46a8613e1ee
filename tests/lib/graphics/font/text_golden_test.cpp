// One line of mixed Japanese and ASCII text drawn with the installed gothic
// face in every font type and scaled, against golden pictures.

#include <gtest/gtest.h>

#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/graph_draw.h"
#include "tests/lib/graphics/font/font_fixture.h"
#include "tests/lib/graphics/font/golden_png.h"

namespace velk::testing {
namespace {

struct GoldenCase {
    const char* name;
    int font_type;
    int edge_size;
    double rate_x;  // 0: not scaled
    double rate_y;
    int bits;
};

constexpr GoldenCase kCases[] = {
    {"line_plain", 0, -1, 0, 0, 32},        {"line_edge", 1, 2, 0, 0, 32},
    {"line_antialias", 2, -1, 0, 0, 32},    {"line_antialias_edge", 3, 2, 0, 0, 32},
    {"line_scaled", 2, -1, 1.5, 2.0, 32},   {"line_antialias_edge_16", 3, 1, 0, 0, 16},
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

class TextGoldenTest : public FontTest, public ::testing::WithParamInterface<GoldenCase> {
protected:
    // Draws the case's line onto the filled target (drawn `times` over,
    // from the second time on from the warm glyph cache) and compares it with
    // the picture.
    void DrawAndCompare(int times) {
        const GoldenCase c = GetParam();
        SetScreenBits(c.bits);
        const int font = CreateFontToHandle(Sjis("ＭＳ ゴシック").c_str(), 22, -1, c.font_type, -1, c.edge_size, 0);
        ASSERT_NE(font, -1);
        const std::string line = Sjis("Velkの文字表示テスト: ABC xyz 123 「漢字かな」");
        const uint32_t text = GetColorValue(255, 240, 160);
        const uint32_t edge = GetColorValue(20, 20, 20);
        const int height = c.rate_x > 0 ? 60 : 40;
        for (int i = 0; i < times; ++i) {
            FillTarget(GetColorValue(32, 48, 96));
            if (c.rate_x > 0) {
                ASSERT_EQ(DrawStringScaledToHandle(4, 4, c.rate_x, c.rate_y, line.c_str(), text, font, edge), 0);
            } else {
                ASSERT_EQ(DrawStringToHandle(4, 4, line.c_str(), text, font, edge), 0);
            }
        }
        const std::string difference = CompareWithGolden(target_, Rect{0, 0, 640, height}, c.name);
        EXPECT_EQ(difference, "");
    }
};

TEST_P(TextGoldenTest, MatchesItsPicture) { DrawAndCompare(1); }

TEST_P(TextGoldenTest, MatchesItsPictureDrawnAgainFromTheWarmCache) { DrawAndCompare(3); }

INSTANTIATE_TEST_SUITE_P(Lines, TextGoldenTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velk::testing
