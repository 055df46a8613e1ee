// The screen side's log lines are the ones players and support have always
// seen in Log.txt, spelling included: they are compared byte for byte.

#include <string>

#include "lib/graphics/screen/screen_state.h"
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

TEST_F(LogTextsTest, StartUpTakesTheFirstOverlayFormatTheDisplayMakesAndSaysWhich) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    // "オーバーレイサーフェスを使用します　　　 UYVY"
    EXPECT_TRUE(
        LogHas("\x83I\x81[\x83o\x81[\x83\x8C\x83"
               "C\x83T\x81[\x83t\x83"
               "F\x83X\x82\xF0\x8Eg\x97p\x82\xB5\x82\xDC"
               "\x82\xB7\x81@\x81@\x81@ UYVY"));
    const platform::DdPixelFormat* format = GetOverlayPixelFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->four_cc, platform::kFourCcUyvy);
    platform::DdDeviceCaps caps;
    EXPECT_NE(GetDirectDrawCaps(&caps)->caps & platform::kDdCapsOverlay, 0u);
    // A screen below 640 x 400 is offered none.
    Screen().height = 399;
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
}

TEST_F(LogTextsTest, ADisplayWithoutOverlaysIsProbedAndRefused) {
    platform::SetOverlaysOffered(false);
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    // "オーバーレイサーフェスは使用しません"
    EXPECT_TRUE(
        LogHas("\x83I\x81[\x83o\x81[\x83\x8C\x83"
               "C\x83T\x81[\x83t\x83"
               "F\x83X\x82\xCD\x8Eg\x97p\x82\xB5\x82\xDC"
               "\x82\xB9\x82\xF1"));
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
}

}  // namespace
}  // namespace velk::testing
