#pragma once
// The program from start to end: start-up in its fixed order (test play,
// folders, the game's fonts, Game.dat, Game.ini, the library, the crash
// marker and the software-mode decision, archives, databases, the scene),
// the title/reset block that rebuilds the game's objects, the outer loop
// around the scene's main loop, and the shut-down that undoes start-up.
//
// Run() is the whole program. Tests drive the same steps one at a time:
// StartUp(), then Step() per frame until it returns false.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "game/shell/error_box.h"
#include "game/shell/game_home.h"
#include "game/shell/scene.h"

namespace velk {

// The title/reset block's steps that belong to the subsystems above the
// data layer, each run at its place in the block.
struct TitleBlockHooks {
    // Sets up the game's fonts and empties the graphics cache (before the
    // game system is rebuilt).
    std::function<void()> setupFonts;
    // The picture list rebuilt (after the map state).
    std::function<void()> rebuildPictures;
    // The message and choice windows load their images again.
    std::function<void()> reloadWindows;
};

// Start-up's steps that belong to the subsystems above the data layer.
struct StartUpHooks {
    // Opens the MIDI device (-1, or -1000 for the game's other device
    // choice): 0 when it is open. Without it the game runs without MIDI.
    std::function<int32_t(int32_t device)> setMidiDevice;
    // Frees the MIDI library (after a failed open and at shut-down).
    std::function<void()> freeMidi;
    // Loads the speech library when it is installed; frees it at the very
    // end (also after a Game.dat that could not be read).
    std::function<void()> loadSpeech;
    std::function<void()> freeSpeech;
};

class GameProgram {
public:
    // `commandLine` is the whole command line as one string.
    explicit GameProgram(std::string commandLine);
    ~GameProgram();

    // Replaces how the program ends after a fatal data error (std::exit by
    // default); the library is ended first either way.
    void SetExitFunction(std::function<void(int)> exit) { exit_ = std::move(exit); }

    // Start-up up to the scene: nullopt to go on, else the program's result
    // (0 when Game.dat could not be read, -1 when the library did not start).
    std::optional<int> StartUp();
    // One pass of the outer loop or of the main loop inside it (one frame).
    // False once the program has shut down; Result() then holds its result.
    bool Step();
    // The whole program: start-up, the loops, shut-down.
    int Run();
    int Result() const { return result_; }
    // How long the library's start took within start-up, in microseconds.
    int64_t LibraryStartMicroseconds() const { return libraryStartMicroseconds_; }

    void RunTitleBlock();
    // The pre-resolution pass over every command list and the main
    // interpreter's start: the end of the title/reset block, and of a
    // restart after a load.
    void PrepareCommands();
    void ShutDown();

    GameHome& Home() { return *home_; }
    Scene& GetScene() { return *scene_; }
    TitleBlockHooks& TitleHooks() { return titleHooks_; }
    StartUpHooks& StartHooks() { return startHooks_; }
    // What ConnectSubsystems built: it lives until the scene ends.
    void Keep(std::shared_ptr<void> objects) { kept_ = std::move(objects); }

private:
    void RegisterFonts();
    void RemoveFonts();
    void EndAfterFatalError(int exitCode);

    enum class Phase { kNotStarted, kOuterLoop, kMainLoop, kEnded };

    std::string commandLine_;
    std::unique_ptr<GameHome> home_;
    std::unique_ptr<Scene> scene_;
    std::shared_ptr<void> kept_;
    std::unique_ptr<ShellErrorReporter> reporter_;
    TitleBlockHooks titleHooks_;
    StartUpHooks startHooks_;
    std::function<void(int)> exit_;
    Phase phase_ = Phase::kNotStarted;
    bool firstPass_ = true;
    bool libraryStarted_ = false;
    int result_ = 0;
    int64_t libraryStartMicroseconds_ = 0;
};

// velk-player's entry: the command line's words joined by blanks.
int RunGameProgram(int argc, char** argv);
// Whether the program did not start because another player of the same game
// runs on this display.
bool AnotherPlayerOnThisDisplay();

}  // namespace velk
