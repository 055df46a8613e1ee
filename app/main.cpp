// velk-player: run it in the folder of a game to play the game. The word
// "Test_Of_Main" on the command line turns on test play.

#include <cstdio>

#include "game/shell/game_program.h"

int main(int argc, char** argv) {
    int result = velk::RunGameProgram(argc, argv);
    if (result == -1 && velk::AnotherPlayerOnThisDisplay()) {
        std::fprintf(stderr, "velk-player: another velk-player is already running on this display\n");
    } else if (result == -1) {
        std::fprintf(stderr,
                     "velk-player: the window, screen or input could not be started "
                     "(is a display available?); run with Test_Of_Main to write Log.txt\n");
    }
    return result;
}
