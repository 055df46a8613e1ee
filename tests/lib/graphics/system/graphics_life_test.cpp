// What lives through a display-mode change and a full rebuild: fonts follow
// graph management (all deleted, the default font made again with the face,
// size and thickness it had), a rebuild keeps every font in its slot, and it
// ends the input devices, which start again when next read.

#include <string>

#include "lib/core/input/device_input.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_table.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

using GraphicsLifeTest = GraphicsTest;

TEST_F(GraphicsLifeTest, ADisplayModeChangeDeletesEveryFontAndKeepsTheDefaultFontsLook) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kDirectDraw, 32));
    ASSERT_EQ(CheckFontHandleValid(GetDefaultFontHandle()), 1) << "graph management made the default font";
    ASSERT_EQ(SetDefaultFontSizeAndThickness(24, 3), 0);
    SetDefaultFontType(1);
    const int game_font = CreateFontToHandle(nullptr, 12, 5, 0, -1, -1, 0);
    ASSERT_NE(game_font, -1);

    ASSERT_EQ(SetScreenModeBody(800, 600, 32, -1), 0);
    EXPECT_EQ(CheckFontHandleValid(game_font), 0);
    const int default_font = GetDefaultFontHandle();
    ASSERT_EQ(CheckFontHandleValid(default_font), 1);
    int size = 0, thickness = 0;
    ASSERT_EQ(GetFontStateToHandle(nullptr, &size, &thickness, default_font), 0);
    EXPECT_EQ(size, 24);
    EXPECT_EQ(thickness, 3);
    // Only face, size and thickness are kept; the type is the default again.
    EXPECT_EQ(GetFontData(default_font)->font_type, 0);

    // The end of the graphics deletes the default font too.
    TermGraphicsSystem();
    EXPECT_EQ(CheckFontHandleValid(default_font), 0);
}

TEST_F(GraphicsLifeTest, ARebuildKeepsFontsInTheirSlotsAndEndsTheInputDevices) {
    ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kSoftware, 32));
    const int game_font = CreateFontToHandle(nullptr, 12, 5, 0, -1, -1, 0);
    ASSERT_NE(game_font, -1);
    SetFontSpaceToHandle(3, game_font);
    ASSERT_EQ(InitInput(), 0);
    ASSERT_TRUE(IsInputStarted());

    ASSERT_EQ(RestoreGraphicsSystem(), 0);
    EXPECT_FALSE(IsInputStarted());
    ASSERT_EQ(CheckFontHandleValid(game_font), 1);
    EXPECT_EQ(GetFontData(game_font)->spacing, 3);
    EXPECT_EQ(GetFontSizeToHandle(game_font), 12);
    TerminateInput();
}

}  // namespace
}  // namespace velk::testing
