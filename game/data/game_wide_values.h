#pragma once
// The program-wide values start-up sets once and every part of the game
// reads: test play, the folders, the chip size and scale, the frame step,
// and the few run flags that are not part of any rebuilt object.

#include <cstdint>
#include <string>
#include <vector>

namespace velk {

struct GameWideValues {
    // 1 when the command line was exactly "Test_Of_Main".
    int32_t testPlayFlag = 0;
    // The game's folder, ending in a separator; the data folder inside it.
    std::string gameFolder;
    std::string dataFolder;
    // Font files registered at start-up, as the paths that remove them again.
    std::vector<std::string> addedFonts;
    // 32 or 16 (from Game.dat); 16-pixel chips are drawn at scale 2.
    int32_t chipSize = 32;
    int32_t chipScale = 1;
    // Frames of game time per frame: timers count down by it. At least 1.
    int32_t frameStep = 1;
    int32_t midiUsableFlag = 0;
    // A game was loaded during this frame: the rest of its event
    // processing does not run.
    uint8_t gameLoadedThisFrame = 0;
    // Frame-skip level 0-2 and the fraction of frames drawn that goes with it.
    int32_t frameSkipLevel = 0;
    float drawRate = 1.0f;
    // Seconds played, and the frames per second last measured.
    int32_t playTimeSeconds = 0;
    int32_t measuredFps = 0;
    int32_t millisecondsIntoSecond = 0;
};

GameWideValues& GlobalGameWideValues();

}  // namespace velk
