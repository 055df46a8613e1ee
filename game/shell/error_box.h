#pragma once
// The error box: errors found while the game runs are shown in three lines
// over the game screen, and the game waits until the player clicks or
// presses confirm (or has held either for more than ten frames), then goes
// on. Before the window exists the same lines go to a system message box.
// Closing the window while the box waits ends the game.

#include <cstdint>
#include <functional>
#include <string>

#include "game/data/error_reporter.h"

namespace velk {

class GameHome;

void ShowErrorBox(GameHome& home, const std::string& line1, const std::string& line2, const std::string& line3);
// Three numbers the same way ("%d   %d   %d", centred).
void ShowDebugNumbers(GameHome& home, int32_t a, int32_t b, int32_t c);

// The data layer's reporter while the game runs: the error box once the
// window exists (before it, the data layer's own system-box reporter), system
// message boxes, and an end of the program that first ends the library. Once
// the window exists, a message box the desktop cannot show is shown in the
// error box instead, and the window's messages are read after each one, so
// that a close ends a loop of boxes at once.
class ShellErrorReporter final : public ErrorReporter {
public:
    // `endProgram` runs the shut-down and ends the process with the code.
    ShellErrorReporter(GameHome& home, std::function<void(int)> endProgram)
        : home_(home), endProgram_(std::move(endProgram)) {}

    void ShowErrorBox(const std::string& line1, const std::string& line2, const std::string& line3) override;
    void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons) override;
    void EndProgram(int exitCode) override { endProgram_(exitCode); }

private:
    GameHome& home_;
    std::function<void(int)> endProgram_;
};

}  // namespace velk
