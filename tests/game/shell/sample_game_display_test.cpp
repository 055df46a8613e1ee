// The sample game on a real display (an X server such as Xvfb): velk-player's
// start-up opens the window at 640 x 480 and shows the game's first frame.
// Without a display the test is skipped.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "game/data/error_reporter.h"
#include "game/shell/game_program.h"
#include "lib/api/library_api.h"
#include "platform/display/display_output.h"
#include "tests/lib/api/real_display.h"
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
    const char* source = std::getenv("VELK_SOURCE_DIR");
    if (!testing::HasRealDisplay()) GTEST_SKIP() << "no display";
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

    testing::RealDisplay real_display(scratch.path());
    RegisterLibraryParts();
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    GameProgram program("");
    ASSERT_EQ(program.StartUp(), std::nullopt);
    while (program.GetScene().DrawnFrames() == 0)
        ASSERT_TRUE(program.Step());
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

}  // namespace
}  // namespace velk
