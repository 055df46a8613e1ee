// The screen side's log lines are the ones players and support have always
// seen in Log.txt, spelling included: they are compared byte for byte.

#include <string>

#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

class LogTextsTest : public GraphicsTest {
protected:
    void SetUp() override {
        SetLogOutputFlag(1);
        SetLogStartDirectory(scratch.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
    }
    void TearDown() override { SetLogStartDirectory(""); }
    bool LogHas(const std::string& bytes) const {
        return scratch.ReadFile("Log.txt").find(bytes) != std::string::npos;
    }
};

TEST_F(LogTextsTest, ScreenPlacementAndColourMaskLinesKeepTheirOwnSpelling) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    // The second label stands for red and reads B.
    EXPECT_TRUE(LogHas("A:00000000  B:00ff0000  G:0000ff00  B:000000ff"));
    EXPECT_TRUE(LogHas("BaskBuffer : SYSTEMMEMORY  "));
    SetUseHardwareRenderFlagBody(0);
    EXPECT_TRUE(LogHas("BaskBuffer : SYSTEMMEMORY( MEMIMG ) "));
    EXPECT_FALSE(LogHas("BackBuffer"));
}

TEST_F(LogTextsTest, ASurfaceAskedForBeforeTheDisplayExistsIsRefusedWithItsLine) {
    const SurfaceCreateParams params{};
    EXPECT_EQ(AddSurface2D(4, 4, 0, 0, 0, nullptr, 0, 0, params), -1);
    // "VAreruvが初期化されていません"
    EXPECT_TRUE(LogHas("VAreruv\x82\xAA\x8F\x89\x8A\xFA\x89\xBB\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1"));
}

}  // namespace
}  // namespace velk::testing
