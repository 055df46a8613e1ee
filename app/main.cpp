// velk-player: run it in the folder of a game to play the game.
#include <cstdio>

int main(int argc, char** argv) {
    std::fprintf(stderr, "velk-player: the game runtime is not built yet; nothing to play.\n");
    return 0;
}
