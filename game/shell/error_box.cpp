#include "game/shell/error_box.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "game/shell/game_home.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"
#include "lib/core/window/system_message_box.h"

namespace velk {
namespace {

constexpr int kHeldFramesToClose = 10;
constexpr int kPollMilliseconds = 16;

// Memory kept for the box itself. When the memory runs out the box says so,
// and drawing and answering it asks for some (its font, its letters, the
// window's events): the kept block goes back while a box is up, and is taken
// again before the game goes on and could take it first.
constexpr size_t kBoxReserveBytes = size_t{4} << 20;
// A box keeps a little of what it was lent (the heap it grew, a converter it
// loaded): what is left is taken, halved until it fits, down to this.
constexpr size_t kLeastBoxReserveBytes = size_t{256} << 10;

class BoxReserve {
public:
    BoxReserve() { Take(); }
    ~BoxReserve() { std::free(block_); }
    BoxReserve(const BoxReserve&) = delete;
    BoxReserve& operator=(const BoxReserve&) = delete;

    void Lend() {
        std::free(block_);
        block_ = nullptr;
    }
    // Without the memory for it, the next box goes without.
    void Take() {
        for (size_t bytes = kBoxReserveBytes; block_ == nullptr && bytes >= kLeastBoxReserveBytes; bytes /= 2)
            block_ = std::malloc(bytes);
    }

private:
    void* block_ = nullptr;
};

// Taken when the program starts.
BoxReserve boxReserve;

// The reserve given to a box for as long as it is up.
class LentReserve {
public:
    LentReserve() { boxReserve.Lend(); }
    ~LentReserve() { boxReserve.Take(); }
    LentReserve(const LentReserve&) = delete;
    LentReserve& operator=(const LentReserve&) = delete;
};

// A step of a box that memory running out may stop: the box then shows
// less, and still waits for the player.
template <typename Step>
void UnlessMemoryRunsOut(Step step) {
    try {
        step();
    } catch (const std::bad_alloc&) {
    }
}

// One look at the player: true once the box is answered (or the window was
// closed, which sets the quit state).
bool Answered(GameHome& home, int& held) {
    if (ProcessMessages() != 0) {
        home.gameSystem.sceneState = kSceneQuit;
        return true;
    }
    home.UpdateInput();
    const InputState& input = home.inputState;
    if (input.Pressed(kButtonConfirm) || input.MouseClicked(0)) return true;
    if (input.Held(kButtonConfirm) || input.MouseHeld(0)) {
        if (++held > kHeldFramesToClose) return true;
    } else {
        held = 0;
    }
    return false;
}

// Waits for a fresh confirm or left click, or either held for more than ten
// frames; a closed window sets the quit state instead. A look that memory
// running out stops saw no answer; the next one looks again.
void WaitForClose(GameHome& home) {
    int held = 0;
    while (true) {
        bool answered = false;
        UnlessMemoryRunsOut([&] { answered = Answered(home, held); });
        if (answered) break;
        UnlessMemoryRunsOut([] { ShellWait(kPollMilliseconds); });
    }
    UnlessMemoryRunsOut([&] { SetDefaultFontSize(home.MessageFontSize()); });
}

// A message box's text in the error box's three lines: its lines without the
// empty ones, those past the third joined to it.
std::array<std::string, 3> BoxLinesOf(const std::string& text) {
    std::array<std::string, 3> lines;
    size_t filled = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            std::string& line = lines[std::min(filled, lines.size() - 1)];
            if (!line.empty()) line += ' ';
            line.append(text, start, end - start);
            filled = std::min(filled + 1, lines.size());
        }
        start = end + 1;
    }
    return lines;
}

bool WindowExists() { return IsLibraryInitialized() && GetMainWindowHWND() != 0; }

// The band's corners follow the chip size and scale; their product is 32 in
// every screen mode.
int Unit(const GameHome& home) { return home.wideValues.chipSize * home.wideValues.chipScale; }

}  // namespace

void ShowErrorBox(GameHome& home, const std::string& line1, const std::string& line2, const std::string& line3) {
    UnlessMemoryRunsOut([&] {
        SetDefaultFontType(0);
        int unit = Unit(home);
        SetDrawBlendMode(1, 240);
        DrawBox(0, unit * 6, unit * 20, unit * 9, GetColorValue(0, 50, 0), 1);
        SetDrawBlendMode(0, 255);
        SetDrawBrightness(255, 255, 255);
    });
    // Lent once the band is drawn: the back buffer it is drawn on may ask
    // for a store of its own, which would take the reserve and keep it, and
    // has a way without memory.
    const LentReserve lent;
    UnlessMemoryRunsOut([&] {
        SetDefaultFontSize(12);
        uint32_t white = GetColorValue(255, 255, 255);
        DrawString(10, 200, line1.c_str(), white);
        DrawString(10, 234, line2.c_str(), white);
        DrawString(10, 260, line3.c_str(), white);
    });
    UnlessMemoryRunsOut([] { FlipScreen(); });
    WaitForClose(home);
}

void ShowDebugNumbers(GameHome& home, int32_t a, int32_t b, int32_t c) {
    char text[64];
    std::snprintf(text, sizeof text, "%d   %d   %d", a, b, c);
    int unit = Unit(home);
    SetDrawBlendMode(4, 255);
    DrawBox(0, unit * 6, unit * 20, unit * 8, GetColorValue(100, 100, 100), 1);
    SetDrawBlendMode(0, 255);
    SetDrawBrightness(255, 255, 255);
    SetDefaultFontSize(unit / 2);
    SetDefaultFontType(0);
    int width = GetStringWidth(text, static_cast<int>(std::char_traits<char>::length(text)));
    DrawString(320 - width / 2, 224, text, GetColorValue(255, 255, 255));
    FlipScreen();
    WaitForClose(home);
}

void ShellErrorReporter::ShowErrorBox(const std::string& line1, const std::string& line2, const std::string& line3) {
    CountErrorBoxAskedFor();
    // Once the player has closed the window nothing may hold the game open:
    // the rest of the frame runs without boxes and the game ends after it.
    if (home_.gameSystem.sceneState == kSceneQuit) return;
    if (!WindowExists()) {
        // Nothing could show or close the game's own box yet.
        SystemMessageBoxReporter().ShowErrorBox(line1, line2, line3);
        return;
    }
    velk::ShowErrorBox(home_, line1, line2, line3);
}

void ShellErrorReporter::ShowMessageBox(const std::string& text, const std::string& caption,
                                        MessageBoxButtons buttons) {
    if (home_.gameSystem.sceneState == kSceneQuit) {
        CountErrorBoxAskedFor();
        return;
    }
    if (!WindowExists()) {
        SystemMessageBoxReporter().ShowMessageBox(text, caption, buttons);
        return;
    }
    CountErrorBoxAskedFor();
    const SystemMessageBoxButtons system =
        buttons == MessageBoxButtons::kOkCancel ? SystemMessageBoxButtons::kOkCancel : SystemMessageBoxButtons::kOk;
    if (!TryShowSystemMessageBox(text, caption, system)) {
        // Where the desktop shows no boxes the game's own box shows the text,
        // and waits for the player as the desktop's box would have.
        std::array<std::string, 3> lines = BoxLinesOf(text);
        velk::ShowErrorBox(home_, lines[0], lines[1], lines[2]);
        return;
    }
    // The desktop's box kept the window's messages waiting; reading them
    // before the next box lets a close end a loop of boxes at once.
    if (ProcessMessages() != 0) home_.gameSystem.sceneState = kSceneQuit;
}

}  // namespace velk
