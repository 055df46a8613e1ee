// The DirectDraw path locks a box around each draw and lets the software
// renderer draw inside it; software mode lets the renderer draw at once. Both
// must put the same pixels on the screen, above all where the box meets the
// edges of the draw area.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_present.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

// The back screen as 0x00RRGGBB pixels, saved as BMP and read back.
std::vector<uint32_t> BackScreen(const std::string& path) {
    std::vector<uint32_t> pixels;
    if (SaveDrawScreenToFile(0, 0, 640, 480, path.c_str(), 0, 0, 0, -1) != 0) return pixels;
    int width = 0, height = 0;
    return ReadImagePixels(path, &width, &height);
}

struct Draw {
    int width, height;  // of the graph
    const char* kind;   // "rotated", "turned" or "scaled"
    int x, y;           // centre, or the scaled draw's first corner
    double scale, angle;
    int x2, y2;         // the scaled draw's second corner
};

// Odd sizes reach one half texel further right and down than left and up.
const Draw kDraws[] = {
    {3, 3, "rotated", 100, 100, 4.0, 0.0, 0, 0},      {5, 3, "rotated", 200, 150, 2.5, 0.0, 0, 0},
    {3, 5, "rotated", 50, 60, 3.0, 3.14159265, 0, 0}, {3, 5, "rotated", 50, 60, 3.0, 1.57079633, 0, 0},
    {7, 5, "rotated", 300, 200, 1.5, 0.4, 0, 0},      {7, 5, "rotated", 300, 200, 1.5, -0.7, 0, 0},
    {1, 1, "rotated", 10, 10, 7.0, 0.0, 0, 0},        {3, 3, "turned", 100, 100, 4.0, 0.0, 0, 0},
    {5, 3, "turned", 200, 150, 2.0, 0.9, 0, 0},       {3, 3, "rotated", 1, 1, 4.0, 0.0, 0, 0},
    {3, 3, "rotated", 638, 478, 4.0, 0.0, 0, 0},      {3, 3, "scaled", 100, 100, 0, 0, 109, 112},
    {5, 3, "scaled", 100, 100, 0, 0, 113, 109},       {5, 3, "scaled", 113, 109, 0, 0, 100, 100},
    {3, 5, "scaled", 40, 40, 0, 0, 47, 51},
};

// Colours that tell every texel apart.
void WriteGraph(const std::string& path, int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4, 255);
    for (int i = 0; i < width * height; ++i) {
        rgba[i * 4] = static_cast<uint8_t>(40 + i * 23);
        rgba[i * 4 + 1] = static_cast<uint8_t>(250 - i * 17);
        rgba[i * 4 + 2] = static_cast<uint8_t>(i * 41);
    }
    WritePngRgba(path, width, height, rgba, false);
}

// The box of the pixels that differ from the blank screen.
Rect DrawnBox(const std::vector<uint32_t>& screen, const std::vector<uint32_t>& blank) {
    Rect box{640, 480, -1, -1};
    for (size_t k = 0; k < screen.size() && k < blank.size(); ++k) {
        if (screen[k] == blank[k]) continue;
        const int pixel = static_cast<int>(k);
        box = Rect{std::min(box.left, pixel % 640), std::min(box.top, pixel / 640), std::max(box.right, pixel % 640),
                   std::max(box.bottom, pixel / 640)};
    }
    return box;
}

class ModeAgreementTest : public GraphicsTest, public ::testing::WithParamInterface<int> {
protected:
    int Run(const Draw& d, const Rect& area, std::vector<uint32_t>* screen) {
        const std::string path = Path(std::to_string(d.width) + "x" + std::to_string(d.height) + ".png");
        WriteGraph(path, d.width, d.height);
        const int graph = LoadGraphFromFile(path.c_str(), 0, 0, 0);
        EXPECT_NE(graph, -1);
        SetDrawScreen(kBackScreen);
        SetBackgroundColor(0, 0, 0);
        ClearDrawScreen();
        SetDrawArea(area.left, area.top, area.right, area.bottom);
        const std::string kind = d.kind;
        const int result = kind == "scaled"
                               ? DrawGraphScaled(d.x, d.y, d.x2, d.y2, graph, 0)
                               : DrawGraphRotated(d.x, d.y, d.scale, d.angle, graph, 0, kind == "turned" ? 1 : 0);
        SetDrawArea(0, 0, 640, 480);
        *screen = BackScreen(Path("screen.bmp"));
        DeleteGraph(graph);
        return result;
    }
};

TEST_P(ModeAgreementTest, OddSizedRotatedAndScaledDrawsAtTheClipEdgesMatchSoftwareMode) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, GetParam()));
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    const std::vector<uint32_t> blank = BackScreen(Path("screen.bmp"));

    // Each draw whole, then with the draw area leaving only its outermost
    // column or row on each of the four sides.
    struct Case {
        const Draw* draw;
        Rect area;
        int result;
        std::vector<uint32_t> screen;
    };
    std::vector<Case> cases;
    for (const Draw& d : kDraws) {
        Case whole{&d, Rect{0, 0, 640, 480}, 0, {}};
        whole.result = Run(d, whole.area, &whole.screen);
        const Rect box = DrawnBox(whole.screen, blank);
        ASSERT_LE(box.left, box.right) << "draw " << (&d - kDraws) << " shows nothing, result " << whole.result;
        cases.push_back(std::move(whole));
        for (const Rect& area : {Rect{box.right, 0, 640, 480}, Rect{0, box.bottom, 640, 480},
                                 Rect{0, 0, box.left + 1, 480}, Rect{0, 0, 640, box.top + 1}}) {
            Case edge{&d, area, 0, {}};
            edge.result = Run(d, area, &edge.screen);
            cases.push_back(std::move(edge));
        }
    }

    SetUseHardwareRenderFlagBody(0);
    ASSERT_EQ(GetSoftRenderFlag(), 1);
    for (const Case& c : cases) {
        std::vector<uint32_t> software;
        const int result = Run(*c.draw, c.area, &software);
        const std::string name = std::to_string(c.draw - kDraws) + " in (" + std::to_string(c.area.left) + ", " +
                                 std::to_string(c.area.top) + ", " + std::to_string(c.area.right) + ", " +
                                 std::to_string(c.area.bottom) + ")";
        EXPECT_EQ(result, 0) << name;
        EXPECT_EQ(c.result, 0) << "directdraw, draw " << name;
        size_t pixel = 0;
        const size_t differing = CountDiffering(software, c.screen, &pixel);
        EXPECT_EQ(differing, 0u) << "draw " << name << ": first at (" << pixel % 640 << ", " << pixel / 640 << ")";
        EXPECT_NE(DrawnBox(software, blank).right, -1) << "draw " << name << " shows nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ModeAgreementTest, ::testing::Values(16, 32));

}  // namespace
}  // namespace velk::testing
