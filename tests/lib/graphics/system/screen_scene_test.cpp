// One scene drawn in every way the 2D path offers, in each mode and depth:
// the read-back of the draw screen, saved as PNG, must equal the golden
// picture of its depth exactly, and the window must show the same pixels.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/lib/graphics/system/graphics_fixture.h"
#include "tests/support/source_dir.h"

namespace velk::testing {
namespace {

std::filesystem::path GoldenPath(const std::string& name) {
    return SourceDir() / "tests" / "golden" / name;
}

struct SceneCase {
    RenderMode mode;
    int bits;
    int window_mode;
    const char* name;
};

class ScreenSceneTest : public GraphicsTest, public ::testing::WithParamInterface<SceneCase> {};

TEST_P(ScreenSceneTest, ReadBackEqualsTheGoldenPictureAndTheWindowShowsIt) {
    const SceneCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartGraphics(c.mode, c.bits, c.window_mode));
    ASSERT_NO_FATAL_FAILURE(DrawReferenceScene(scratch.path().string()));

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
    size_t first = 0;
    EXPECT_EQ(CountDiffering(pixels, expected, &first), 0u) << c.name << ": first at (" << first % 640 << ", " << first / 640 << ")";

    ASSERT_EQ(FlipScreenBody(), 0);
    const platform::PresentedFrame shown = Shown();
    ASSERT_EQ(shown.width, 640);
    ASSERT_EQ(shown.height, 480);
    EXPECT_EQ(CountDiffering(shown.pixels, pixels), 0u) << c.name;
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
