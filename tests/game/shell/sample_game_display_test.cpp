// The sample game on a real display (an X server such as Xvfb): velk-player's
// start-up opens the window at 640 x 480 and shows the game's first frame.
// Without a display the test is skipped.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "game/data/error_reporter.h"
#include "game/shell/game_program.h"
#include "lib/api/library_api.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/base/debug_output.h"
#include "platform/display/display_output.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"
#include "tools/sampleart/sample_art.h"

namespace velk {
namespace {

TEST(SampleGame, ShowsItsFirstFrameInA640By480Window) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "not under the address sanitizer (SDL's X11 video)";
#endif
    const char* display = std::getenv("DISPLAY");
    const char* source = std::getenv("VELK_SOURCE_DIR");
    if (display == nullptr || display[0] == '\0') GTEST_SKIP() << "no display";
    if (source == nullptr) GTEST_SKIP() << "VELK_SOURCE_DIR not set";
    std::ifstream in(std::filesystem::path(source) / "samples" / "sample-game" / "game.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto description = gamedata::ParseGameDescription(text, &error);
    ASSERT_TRUE(description) << error;
    testing::ScratchDir scratch;
    ASSERT_TRUE(gamedata::WriteGameFolder(*description, scratch.path(), &error)) << error;
    // Without its art and sounds the game's first map shows an error box for
    // its music, which waits for a click that no one on the display gives.
    ASSERT_TRUE(sampleart::WriteSampleArt(scratch.path().string(), &error)) << error;

    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    platform::SetDebugOutputEnabled(false);
    const std::filesystem::path previous_folder = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    platform::SetInstanceLockFolder(scratch.path().string());
    platform::SetWindowBackend(platform::CreateSdlWindowBackend());
    platform::SetDisplayOutput(platform::CreateSdlDisplayOutput());
    platform::SetCapturePresentedFrames(true);
    ResetWindowState();
    ResetScreenState();
    RegisterLibraryParts();
    {
        const uint64_t boxesBefore = ErrorBoxesAskedFor();
        GameProgram program("");
        ASSERT_EQ(program.StartUp(), std::nullopt);
        while (program.GetScene().DrawnFrames() == 0) ASSERT_TRUE(program.Step());
        platform::PresentedFrame shot;
        ASSERT_TRUE(platform::ActiveDisplayOutput().ReadPresentedPixels(GetMainWindowHWND(), &shot));
        EXPECT_EQ(shot.width, 640);
        EXPECT_EQ(shot.height, 480);
        program.Home().gameSystem.sceneState = kSceneQuit;
        while (program.Step()) {
        }
        EXPECT_EQ(program.Result(), 0);
        EXPECT_EQ(ErrorBoxesAskedFor(), boxesBefore);
    }
    platform::SetCapturePresentedFrames(false);
    platform::SetDisplayOutput(nullptr);
    platform::SetWindowBackend(std::make_unique<platform::ManualWindowBackend>());
    ResetWindowState();
    ResetScreenState();
    platform::SetInstanceLockFolder("");
    std::filesystem::current_path(previous_folder);
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_RENDER_DRIVER");
}

}  // namespace
}  // namespace velk
