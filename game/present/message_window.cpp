#include <algorithm>
#include <new>

#include "game/data/database.h"
#include "game/data/game_system.h"
#include "game/data/input_state.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/present/game_windows.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/text_renderer.h"

namespace velk {
namespace {

// System variables the message window reads.
constexpr int32_t kTextXVariable = 1;
constexpr int32_t kTextYVariable = 2;
constexpr int32_t kCursorCentreXVariable = 5;
constexpr int32_t kCursorYOffsetVariable = 6;
constexpr int32_t kSpeedVariable = 9;
constexpr int32_t kDelayVariable = 10;
constexpr int32_t kTransparencyVariable = 21;
constexpr int32_t kMouseVariable = 73;
// Each cursor frame shows for this many updates.
constexpr int32_t kUpdatesPerCursorFrame = 5;

}  // namespace

MenuInput ReadMenuInput(const InputState& input) {
    MenuInput window;
    window.confirm = input.Pressed(kButtonConfirm);
    window.cancel = input.Pressed(kButtonCancel);
    window.direction = input.Repeat4();
    window.firstSpecial = window.direction == 4;
    window.secondSpecial = window.direction == 6;
    window.mouseX = input.MouseX();
    window.mouseY = input.MouseY();
    window.leftClick = input.MouseClicked(0);
    window.rightClick = input.MouseClicked(1);
    return window;
}

MessageWindow::MessageWindow(WindowContext& context) : c_(context) { LoadGraphics(); }

MessageWindow::~MessageWindow() {
    if (cursorGraph != -1) c_.library.DeleteGraph(cursorGraph);
}

int32_t MessageWindow::Var(int32_t number) { return c_.store.GetSystemVariable(number); }

void MessageWindow::LoadGraphics() {
    if (cursorGraph != -1) c_.library.DeleteGraph(cursorGraph);
    // `announced` stays: a window closed just before still owes the fall of
    // the busy flag, which would otherwise stay up and hold the hero.
    open = false;
    cursorShown = false;
    delay = 0;
    cursorCounter = 0;
    Database& db = c_.systemDatabase;
    const std::string name = db.GetString(kWindowGraphicsType, 0, 0);
    cursorFrames = std::clamp(db.GetInt(kWindowGraphicsType, 0, 1), 1, kMaxCellsPerImage);
    cursorGraph = c_.cache.LoadGraphicSP(name, 1, 1, nullptr, false);
    cursorLoaded = cursorGraph != -1;
    cursorWidth = cursorHeight = 0;
    if (cursorLoaded && !c_.library.GetGraphSize(cursorGraph, cursorWidth, cursorHeight)) {
        cursorWidth = cursorHeight = 0;
    }
}

void MessageWindow::Start() {
    box.speed = Var(kSpeedVariable);
    delay = Var(kDelayVariable);
    box.Hold(c_.system.messageRequest);
    box.DrawHeld(c_.renderer, false);
}

void MessageWindow::FailForMemory() {
    box.Release();
    delay = 0;
    const ErrorLocation place = WaitingPlace(c_.waiters.MessageWaiter());
    // Choices shown with the message still hold the event: they run alone.
    if (c_.system.choicesWithMessage) c_.waiters.SetMessageWaiter(nullptr);
    Reset();
    // The busy flag falls at the next update, as after any close.
    announced = true;
    ShowOutOfMemoryBox(place);
}

void MessageWindow::Position() {
    const int32_t chip = c_.settings.chipSize;
    const int32_t scale = c_.settings.displayScale;
    const int32_t textX = Var(kTextXVariable);
    const int32_t textY = Var(kTextYVariable);
    box.x = textX == -1 ? chip * scale / 2 : textX * scale;
    box.y = textY == -1 ? static_cast<int32_t>(chip * 9.5) * scale : textY * scale;
    windowY = box.y;
    announced = true;
}

bool MessageWindow::Answered(const MenuInput& input) {
    return input.confirm || input.cancel || (Var(kMouseVariable) == 1 && input.leftClick);
}

void MessageWindow::Update(const MenuInput& input) {
    GameSystem& system = c_.system;
    system.messageWindowOpen = open ? 1 : 0;
    system.messageWindowSignal = 0;
    cursorCounter = (cursorCounter + 1) % (cursorFrames * kUpdatesPerCursorFrame);
    if (delay > 0) {
        if (--delay == 0) Position();
        return;
    }
    box.AdvanceDisplay(c_.settings.frameStep);
    if (!open) {
        if (!system.messageRequest.empty()) {
            open = true;
            system.windowBusy = 1;
            try {
                Start();
            } catch (const std::bad_alloc&) {
                FailForMemory();
                return;
            }
            Position();
        } else if (announced) {
            // One update after the window closed, so an event that shows
            // the next message at once keeps the hero still in between.
            announced = false;
            system.windowBusy = 0;
        }
        return;
    }
    if (!system.choicesWithMessage && system.closeMessageRequest) {
        Reset();
        return;
    }
    if (box.waitingForKey) {
        cursorShown = true;
        if (Answered(input)) box.waitingForKey = false;
        return;
    }
    if (!box.IsDisplayComplete()) return;
    system.messageWindowSignal = 1;
    cursorShown = true;
    if (!system.choicesWithMessage) {
        if (Answered(input) || box.closeRequest) Reset();
    } else {
        cursorShown = false;
        if (system.choiceEnded) Reset();
    }
}

void MessageWindow::Reset() {
    open = false;
    cursorShown = false;
    box.Release();
    c_.waiters.EndMessageWait();
    GameSystem& system = c_.system;
    system.closeMessageRequest = 0;
    system.messageRequest.clear();
    system.choicesWithMessage = 0;
    system.choiceEnded = 0;
}

void MessageWindow::Draw() {
    PresentLibrary& library = c_.library;
    const int32_t chip = c_.settings.chipSize;
    if (cursorLoaded && cursorShown && cursorGraph != -1) {
        library.SetDrawBlendMode(0, 255);
        const int32_t frameHeight = cursorHeight / cursorFrames;
        const int32_t sourceY = cursorCounter / kUpdatesPerCursorFrame * frameHeight;
        const int32_t x = Var(kCursorCentreXVariable) - cursorWidth / 2;
        const int32_t textY = Var(kTextYVariable);
        const bool placed = textY == -1;
        const int32_t y =
            placed ? static_cast<int32_t>(chip * 14.2)
                   : std::max(0, std::min(static_cast<int32_t>(chip * 14.5), Var(kCursorYOffsetVariable) + textY));
        const bool transparent = Var(kTransparencyVariable) != 0;
        if (c_.settings.displayScale == 1) {
            library.DrawRectGraph(x, y, 0, sourceY, cursorWidth, frameHeight, cursorGraph, transparent);
        } else {
            const int frame = library.CreateDerivedGraph(0, sourceY, cursorWidth, frameHeight, cursorGraph);
            if (frame != -1) {
                const int32_t y1 = placed ? static_cast<int32_t>(2 * chip * 14.2) : 2 * y;
                const int32_t y2 = placed ? 2 * (static_cast<int32_t>(chip * 14.2) + frameHeight)
                                          : 2 * y + 2 * cursorHeight / cursorFrames;
                library.DrawGraphScaled(2 * x, y1, 2 * (x + cursorWidth), y2, frame, transparent);
                library.DeleteGraph(frame);
            }
        }
    }
    if (delay < 1) {
        library.SetDrawBlendMode(0, 255);
        try {
            box.DrawHeld(c_.renderer, true);
        } catch (const std::bad_alloc&) {
            FailForMemory();
        }
    }
}

}  // namespace velk
