// Text drawn through the Direct3D path on OpenGL (Mesa's software
// rasterizer, headless through EGL) against the same text drawn by the
// software renderer onto the same screen (Direct3D switched off for the
// second picture, so the fonts draw from their memory cells).
//
// Allowed per pixel, per 8-bit channel (8 more at 16 bits, one step of a
// 5-bit channel): 2 for fonts without anti-aliasing, whose texture holds the
// same coverage as the memory cells; 18 for anti-aliased fonts, whose
// coverage the texture keeps in 4 bits of alpha, read as 17 x level where
// the software renderer blends with 16 x level (at most 15 / 255 of the
// step between text and backdrop). Two kinds of line differ by what the
// texture path is: an edged text blended at half strength draws its edge
// and then its glyph each at half strength, so a quarter of the edge shows
// through the glyph where the software renderer blends the finished text
// once (24 with these colours); and the edge texture of an anti-aliased font
// adds up what the brush covers, 1 - (1 - a)(1 - b), where the memory cells
// keep the largest level under it, up to a quarter of the step between edge
// and backdrop more (64 with the 4-bit rounding).

#include <algorithm>
#include <cstdlib>

#include "lib/graphics/font/display/screen_text_draws.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/text_draw.h"
#include "platform/base/text_encoding.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

int ChannelDifference(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst =
            std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

struct Line {
    int font;  // index into the fonts below
    int y;
    int blend_mode, blend_param;
    int vertical;
    int allowed;
};

class TextDirect3DGlTest : public GraphicsTest, public ::testing::WithParamInterface<int> {};

TEST_P(TextDirect3DGlTest, TextMatchesTheSoftwareRendererWithinTheTolerance) {
    const int bits = GetParam();
    StartGraphics(RenderMode::kDirect3D, bits, bits == 16 ? 0 : 1);
    if (IsSkipped()) return;
    ASSERT_EQ(StartFontsOnScreen(), 0);
    SetDrawScreen(kBackScreen);
    SetDrawArea(0, 0, 640, 480);
    struct FontSpec {
        int size, type, edge;
    };
    const FontSpec specs[] = {{16, 0, -1}, {20, 1, 2}, {22, 2, -1}, {24, 3, 1}};
    int fonts[4];
    for (int i = 0; i < 4; ++i) {
        fonts[i] = CreateFontToHandle(nullptr, specs[i].size, 4, specs[i].type, -1, specs[i].edge, 0);
        ASSERT_NE(fonts[i], -1);
        ASSERT_EQ(GetFontData(fonts[i])->texture_mode, 1) << i;
    }
    const int depth_step = bits == 16 ? 8 : 0;
    const int kPlain = 2 + depth_step, kAntiAliased = 18 + depth_step, kBlendedEdge = 24 + depth_step,
              kEdgedAntiAliased = 64 + depth_step;
    const Line lines[] = {
        {0, 10, 0, 255, 0, kPlain},
        {1, 40, 0, 255, 0, kPlain},
        {2, 80, 0, 255, 0, kAntiAliased},
        {3, 120, 0, 255, 0, kEdgedAntiAliased},
        {1, 160, 1, 128, 0, kBlendedEdge},
        {2, 200, 2, 200, 0, kAntiAliased},
        {3, 250, 0, 255, 1, kEdgedAntiAliased},
    };
    const std::string text = platform::Utf8ToShiftJis("文字表示 ABC かな「漢字」xyz");
    const uint32_t ink = GetColorValue(250, 240, 160), edge = GetColorValue(10, 30, 20);
    auto draw_scene = [&](const std::string& name) {
        SetDrawBlendMode(0, 255);
        DrawBox(0, 0, 640, 480, GetColorValue(40, 70, 110), 1);
        DrawBox(0, 300, 640, 480, GetColorValue(200, 190, 170), 1);
        for (const Line& l : lines) {
            SetDrawBlendMode(l.blend_mode, l.blend_param);
            EXPECT_EQ(
                DrawStringToHandle(l.vertical != 0 ? 600 : 10, l.y, text.c_str(), ink, fonts[l.font], edge, l.vertical),
                0);
        }
        SetDrawBlendMode(0, 255);
        // Cut by the draw area.
        SetDrawArea(100, 0, 200, 480);
        EXPECT_EQ(DrawStringToHandle(50, 320, text.c_str(), ink, fonts[1], edge), 0);
        SetDrawArea(0, 0, 640, 480);
        const std::string saved = Path(name);
        EXPECT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 0, 0, 0, -1), 0);
        int width = 0, height = 0;
        return ReadImagePixels(saved, &width, &height);
    };
    const std::vector<uint32_t> hardware = draw_scene("hardware.bmp");
    SetUse3DFlag(0);
    const std::vector<uint32_t> software = draw_scene("software.bmp");
    SetUse3DFlag(1);
    ASSERT_EQ(hardware.size(), 640u * 480u);
    ASSERT_EQ(software.size(), hardware.size());

    // Each line's allowance over its band (vertical text: its column).
    auto allowed_at = [&](int x, int y) {
        for (const Line& l : lines) {
            const int size = specs[l.font].size + 16;  // descenders and edges reach below the size
            if (l.vertical != 0 ? (x >= 600 && x < 600 + size && y >= l.y) : (x < 600 && y >= l.y && y < l.y + size))
                return l.allowed;
        }
        return kPlain;
    };
    int beyond = 0, first = -1, differing = 0;
    for (int i = 0; i < static_cast<int>(hardware.size()); ++i) {
        const int d = ChannelDifference(hardware[i], software[i]);
        differing += d != 0 ? 1 : 0;
        if (d > allowed_at(i % 640, i / 640) && beyond++ == 0) first = i;
    }
    EXPECT_EQ(beyond, 0) << "first at (" << first % 640 << ", " << first / 640 << ")";
    // The text is there in both: pixels that differ from the backdrop.
    const uint32_t backdrop = software[5 * 640 + 630];
    const auto inked =
        std::count_if(software.begin(), software.begin() + 300 * 640, [&](uint32_t p) { return p != backdrop; });
    EXPECT_GT(inked, 5000);
    RecordProperty("differing_pixels", differing);
    EXPECT_EQ(EndFontsOnScreen(), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, TextDirect3DGlTest, ::testing::Values(32, 16));

}  // namespace
}  // namespace velk::testing
