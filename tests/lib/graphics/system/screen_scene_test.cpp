// One scene drawn in every way the 2D path offers, in each mode and depth:
// the read-back of the draw screen, saved as PNG, must equal the golden
// picture of its depth exactly, and the window must show the same pixels.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

// A 32 x 32 sprite: a colour ramp under a soft round alpha edge.
std::vector<uint8_t> AlphaSprite() {
    std::vector<uint8_t> rgba(32 * 32 * 4);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = &rgba[(y * 32 + x) * 4];
            const double distance = std::hypot(x - 15.5, y - 15.5);
            p[0] = static_cast<uint8_t>(x * 8);
            p[1] = static_cast<uint8_t>(y * 8);
            p[2] = static_cast<uint8_t>(255 - x * 4);
            p[3] = distance < 10 ? 255 : distance >= 16 ? 0 : static_cast<uint8_t>(255 * (16 - distance) / 6);
        }
    }
    return rgba;
}

// A 24 x 24 opaque picture framed in the transparent colour (254, 0, 254).
std::vector<uint8_t> KeyedPicture() {
    std::vector<uint8_t> rgba(24 * 24 * 4);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            uint8_t* p = &rgba[(y * 24 + x) * 4];
            const bool frame = x < 3 || y < 3 || x >= 21 || y >= 21;
            p[0] = frame ? 254 : static_cast<uint8_t>(((x / 3 + y / 3) % 2) * 200 + 40);
            p[1] = frame ? 0 : static_cast<uint8_t>(y * 10);
            p[2] = frame ? 254 : 60;
            p[3] = 255;
        }
    }
    return rgba;
}

std::filesystem::path GoldenPath(const std::string& name) {
    const char* source = std::getenv("VELK_SOURCE_DIR");
    return std::filesystem::path(source != nullptr ? source : ".") / "tests" / "golden" / name;
}

struct SceneCase {
    RenderMode mode;
    int bits;
    int window_mode;
    const char* name;
};

class ScreenSceneTest : public GraphicsTest, public ::testing::WithParamInterface<SceneCase> {
protected:
    void DrawScene() {
        WritePngRgba(Path("sprite.png"), 32, 32, AlphaSprite());
        WritePngRgba(Path("keyed.png"), 24, 24, KeyedPicture(), false);
        SetTransparentColor(254, 0, 254);
        const int sprite = LoadGraphFromFile(Path("sprite.png").c_str(), 0, 0, 0);
        const int keyed = LoadGraphFromFile(Path("keyed.png").c_str(), 0, 0, 0);
        ASSERT_NE(sprite, -1);
        ASSERT_NE(keyed, -1);

        SetBackgroundColor(24, 40, 72);
        ASSERT_EQ(ClearDrawScreen(), 0);
        // Backdrop stripes so the blends have something to work on.
        for (int i = 0; i < 8; ++i)
            DrawBox(0, 240 + i * 30, 640, 270 + i * 30, GetColorValue(i * 32, 255 - i * 30, 90 + i * 20), 1);
        DrawBox(20, 20, 300, 220, GetColorValue(200, 180, 60), 0);
        DrawBox(30, 30, 120, 90, GetColorValue(90, 200, 120), 1);

        EXPECT_EQ(DrawGraph(40, 40, sprite, 1), 0);
        EXPECT_EQ(DrawGraph(90, 40, keyed, 1), 0);
        EXPECT_EQ(DrawGraph(120, 40, keyed, 0), 0);
        EXPECT_EQ(DrawGraphScaled(160, 30, 224, 94, sprite, 1), 0);
        EXPECT_EQ(DrawGraphScaled(290, 30, 240, 80, keyed, 1), 0);  // mirrored
        EXPECT_EQ(DrawGraphRotated(360, 70, 1.5, 0.6, sprite, 1, 0), 0);
        EXPECT_EQ(DrawGraphRotated(430, 70, 1.0, -0.3, keyed, 1, 1), 0);
        EXPECT_EQ(DrawModiGraphF(480.0f, 30.0f, 600.0f, 50.0f, 470.0f, 120.0f, 620.0f, 140.0f, sprite, 1), 0);

        const int modes[] = {0, 1, 2, 3, 4, 10, 11};
        for (int i = 0; i < 7; ++i) {
            SetDrawBlendMode(modes[i], 160);
            DrawGraph(20 + i * 44, 250, sprite, 1);
            DrawGraph(24 + i * 44, 300, keyed, 1);
            DrawBox(20 + i * 44, 340, 56 + i * 44, 370, GetColorValue(250, 120, 40), 1);
            SetDrawBlendMode(modes[i], 255);
            DrawGraph(20 + i * 44, 380, sprite, 1);
        }
        SetDrawBlendMode(0, 255);
        SetDrawBrightness(255, 140, 60);
        DrawGraph(340, 260, sprite, 1);
        DrawGraphScaled(380, 250, 460, 330, keyed, 1);
        SetDrawBrightness(255, 255, 255);

        // A clipped corner: drawn partly outside a smaller draw area.
        SetDrawArea(500, 300, 600, 400);
        DrawGraphScaled(480, 280, 560, 360, sprite, 1);
        DrawBox(560, 380, 640, 480, GetColorValue(255, 255, 255), 1);
        SetDrawArea(0, 0, 640, 480);
    }
};

TEST_P(ScreenSceneTest, ReadBackEqualsTheGoldenPictureAndTheWindowShowsIt) {
    const SceneCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartGraphics(c.mode, c.bits, c.window_mode));
    ASSERT_NO_FATAL_FAILURE(DrawScene());

    const int capture = CreateEmptyGraph(640, 480, 1);
    ASSERT_NE(capture, -1);
    ASSERT_EQ(GetDrawScreenGraph(0, 0, 640, 480, capture, 0), 0);
    ClearDrawScreen();
    ASSERT_EQ(DrawGraph(0, 0, capture, 0), 0);
    const std::string saved = Path("screen.png");
    ASSERT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 2, 0, 0, -1), 0);

    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = ReadImagePixels(saved, &width, &height);
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);

    const std::string golden_name = std::string("screen_scene_") + std::to_string(c.bits) + ".png";
    const std::filesystem::path golden = GoldenPath(golden_name);
    if (std::getenv("VELK_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(golden.parent_path());
        std::filesystem::copy_file(saved, golden, std::filesystem::copy_options::overwrite_existing);
    }
    int golden_width = 0, golden_height = 0;
    const std::vector<uint32_t> expected = ReadImagePixels(golden.string(), &golden_width, &golden_height);
    ASSERT_EQ(golden_width, 640) << "missing golden " << golden;
    size_t differing = 0;
    size_t first = pixels.size();
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] != expected[i]) {
            ++differing;
            if (first == pixels.size()) first = i;
        }
    }
    EXPECT_EQ(differing, 0u) << c.name << ": first at (" << first % 640 << ", " << first / 640 << ")";

    ASSERT_EQ(FlipScreenBody(), 0);
    const platform::PresentedFrame shown = Shown();
    ASSERT_EQ(shown.width, 640);
    ASSERT_EQ(shown.height, 480);
    size_t shown_differing = 0;
    for (size_t i = 0; i < pixels.size(); ++i) shown_differing += shown.pixels[i] != pixels[i] ? 1 : 0;
    EXPECT_EQ(shown_differing, 0u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ScreenSceneTest,
    ::testing::Values(SceneCase{RenderMode::kSoftware, 32, 1, "software32"},
                      SceneCase{RenderMode::kSoftware, 16, 1, "software16"},
                      SceneCase{RenderMode::kSoftwareGdi, 32, 1, "gdi32"},
                      SceneCase{RenderMode::kSoftwareGdi, 16, 1, "gdi16"},
                      SceneCase{RenderMode::kDirectDraw, 32, 1, "directdraw32"},
                      SceneCase{RenderMode::kDirectDraw, 16, 0, "directdraw16"}),
    [](const ::testing::TestParamInfo<SceneCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velk::testing
