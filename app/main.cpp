// velk-player: run it in the folder of a game to play the game.
//
// Until the game runtime stands on it, the player brings the game library up
// in a 640 x 480 window, shows a cleared screen every frame and ends the
// library when the window is closed. "Test_Of_Main" on the command line
// turns on test play, which here means the library's log (Log.txt).

#include <cstdio>
#include <cstring>

#include "lib/api/library_api.h"

namespace {

constexpr char kTestPlayWord[] = "Test_Of_Main";
constexpr char kWindowTitle[] = "velk-player";

bool TestPlayAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kTestPlayWord) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velk;
    RegisterLibraryParts();
    SetLogOutputFlag(TestPlayAsked(argc, argv) ? 1 : 0);
    SetMainWindowText(kWindowTitle);
    SetScreenMode(640, 480, 32, 60);
    ChangeWindowMode(1);
    if (InitLibrary() != 0) {
        std::fprintf(stderr,
                     "velk-player: the window, screen or input could not be started "
                     "(is a display available?); run with %s to write Log.txt\n",
                     kTestPlayWord);
        return 1;
    }

    SetDrawScreen(kBackScreen);
    while (ProcessMessages() == 0) {
        ClearDrawScreen();
        FlipScreen();
    }
    EndLibrary();
    return 0;
}
