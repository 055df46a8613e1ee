#include <algorithm>
#include <cstdlib>
#include <new>

#include "game/data/database.h"
#include "game/data/game_system.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/present/game_windows.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/text_renderer.h"

namespace velk {
namespace {

// System variables the choice window reads.
constexpr int32_t kCentreXVariable = 3;
constexpr int32_t kTopVariable = 4;
constexpr int32_t kInitialCursorVariable = 7;
constexpr int32_t kDelayVariable = 10;
constexpr int32_t kFrameVariable = 14;
constexpr int32_t kDecisionSoundVariable = 17;
constexpr int32_t kCursorSoundVariable = 18;
constexpr int32_t kCancelSoundVariable = 19;
constexpr int32_t kTransparencyVariable = 21;
constexpr int32_t kCursorBlendVariable = 22;
constexpr int32_t kMouseVariable = 73;

constexpr int32_t kUpdatesPerCursorFrame = 5;
constexpr int32_t kPulsePeriod = 140;
constexpr int32_t kOpeningDelay = 4;
constexpr int32_t kFadeInStep = 64;
constexpr int32_t kFadeOutStep = 60;
// Space the frame takes around the items, in game pixels.
constexpr int32_t kBorder = 26;
// Special-key flags of a choice.
constexpr int32_t kFirstSpecialFlag = 1;
constexpr int32_t kSecondSpecialFlag = 2;
constexpr int32_t kForcedCloseFlag = 4;
constexpr int32_t kNoCancel = -1;

int32_t At(const std::vector<int32_t>& list, int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < list.size() ? list[static_cast<size_t>(index)] : 0;
}

}  // namespace

ChoiceWindow::ChoiceWindow(WindowContext& context) : c_(context) {
    box.choiceLayout = true;
    LoadGraphics();
}

ChoiceWindow::~ChoiceWindow() {
    for (int graph : frameCells)
        c_.library.DeleteGraph(graph);
    for (int graph : cursorCells)
        c_.library.DeleteGraph(graph);
}

int32_t ChoiceWindow::Var(int32_t number) { return c_.store.GetSystemVariable(number); }

int32_t ChoiceWindow::Margin() const { return c_.settings.chipSize * 4 / 10; }

void ChoiceWindow::LoadGraphics() {
    for (int graph : frameCells)
        c_.library.DeleteGraph(graph);
    for (int graph : cursorCells)
        c_.library.DeleteGraph(graph);
    frameCells.clear();
    cursorCells.clear();
    Database& db = c_.systemDatabase;
    const std::string frameName = db.GetString(kWindowGraphicsType, 1, 0);
    const std::string cursorName = db.GetString(kWindowGraphicsType, 2, 0);
    cursorFrames = std::clamp(db.GetInt(kWindowGraphicsType, 2, 1), 1, kMaxCellsPerImage);

    auto load = [&](const std::string& name, int columns, int rows, std::vector<int>& cells, int32_t& cellWidth,
                    int32_t& cellHeight) {
        const int whole = c_.cache.LoadGraphicSP(name, columns, rows, &cells, false);
        int width = 0, height = 0;
        if (whole == -1 || !c_.library.GetGraphSize(whole, width, height)) width = height = 0;
        cellWidth = width / 3;
        cellHeight = height / 3;
        return whole;
    };
    frameLoaded = load(frameName, 3, 3, frameCells, frameCellWidth, frameCellHeight) != -1;
    cursorGraph = cursorFrames == 1 ? load(cursorName, 3, 3, cursorCells, cursorCellWidth, cursorCellHeight)
                                    : load(cursorName, 1, cursorFrames, cursorCells, cursorCellWidth, cursorCellHeight);
    cursorLoaded = cursorGraph != -1;
}

bool ChoiceWindow::Selectable(int32_t item) const {
    return item >= 0 && item < static_cast<int32_t>(box.lineTops.size()) && At(box.lineHeights, item) != 0;
}

void ChoiceWindow::Start() {
    GameSystem& system = c_.system;
    const int32_t count = system.choiceCount;
    cursor = Var(kInitialCursorVariable);
    c_.store.SetSystemVariable(kInitialCursorVariable, 0);
    if (cursor >= count) cursor = count - 1;
    if (cursor < 0) cursor = 0;
    if (system.choicesWithMessage) delay = Var(kDelayVariable);
    box.Hold(system.choiceRequest);
    // The layout keeps one line height per item of the choice.
    c_.settings.choiceCount = count;
    const bool layout = box.choiceLayout;
    box.choiceLayout = true;
    try {
        box.DrawHeld(c_.renderer, false);
    } catch (const std::bad_alloc&) {
        box.choiceLayout = layout;
        throw;
    }
    box.choiceLayout = layout;
    for (int32_t step = 0; step < count; ++step) {
        const int32_t item = (cursor + step) % count;
        if (Selectable(item)) {
            cursor = item;
            break;
        }
    }
    int32_t widest = 0;
    for (int32_t w : box.lineWidths)
        widest = std::max(widest, w);
    const int32_t last = static_cast<int32_t>(box.lineTops.size()) - 1;
    width = widest + kBorder;
    height = At(box.lineTops, last) + At(box.lineHeights, last) + kBorder;
}

void ChoiceWindow::Position() {
    const int32_t frame = Var(kFrameVariable);
    if (frame == 0) {
        frameShown = 0;
        alpha = 0;
    } else if (frame == 1) {
        frameShown = 1;
    }
    const int32_t centreX = Var(kCentreXVariable);
    const int32_t top = Var(kTopVariable);
    x = (centreX == -1 ? c_.settings.chipSize * 10 : centreX) - width / 2;
    y = top == -1 ? 170 - height / 2 : top;
    const int32_t m = Margin();
    const int32_t scale = c_.settings.displayScale;
    box.x = (x + 2 + m) * scale;
    box.y = (y + 2 + m) * scale;
    active = true;
}

void ChoiceWindow::Move(int32_t step, int32_t count) {
    cursor = ((cursor + step) % count + count) % count;
    for (int32_t tried = 0; tried < count; ++tried) {
        const int32_t item = ((cursor + step * tried) % count + count) % count;
        if (Selectable(item)) {
            cursor = item;
            break;
        }
    }
    if (c_.playSoundEffect) c_.playSoundEffect(Var(kCursorSoundVariable));
}

int32_t ChoiceWindow::ItemUnderMouse(const MenuInput& input, int32_t count) const {
    const int32_t m = Margin();
    const int32_t e = c_.settings.chipSize == 16 ? -9 : 14;
    if (!(x + m - 3 < input.mouseX && input.mouseX < x + width - m + e)) return -1;
    const int32_t measured = std::min<int32_t>(count, static_cast<int32_t>(box.lineTops.size()));
    for (int32_t item = 0; item < measured; ++item) {
        const int32_t top = y + box.lineTops[static_cast<size_t>(item)] + m + 1;
        if (top < input.mouseY && input.mouseY < top + At(box.lineHeights, item)) return item;
    }
    return -1;
}

void ChoiceWindow::Close(int32_t soundVariable) {
    Reset();
    if (c_.playSoundEffect) c_.playSoundEffect(Var(soundVariable));
}

void ChoiceWindow::Update(const MenuInput& input) {
    GameSystem& system = c_.system;
    pulsePhase = (pulsePhase + 3) % kPulsePeriod;
    cursorBrightness = std::abs(pulsePhase - 70) + 185;
    cursorCounter = (cursorCounter + 1) % (cursorFrames * kUpdatesPerCursorFrame);
    fadeOutCounter = std::max(fadeOutCounter - 1, -1);
    // A choice shown with a message waits for the message's text; one alone
    // runs while no message is complete.
    if (system.choicesWithMessage != system.messageWindowSignal) {
        system.choiceItemValue = -1;
        return;
    }
    if (delay >= 1) {
        delay -= alpha == 255 ? 3 : 1;
        return;
    }
    box.AdvanceDisplay(c_.settings.frameStep);
    if (!active || frameShown == 0) {
        if (fadeOutCounter < 1) alpha = std::max(alpha - kFadeOutStep, 0);
    } else {
        alpha = std::min(alpha + kFadeInStep, 255);
    }
    if (!open) {
        if (system.choiceRequest.empty()) {
            system.choiceItemValue = -1;
            if (active) {
                active = false;
                system.windowBusy = 0;
            }
        } else {
            open = true;
            system.windowBusy = 1;
            active = true;
            delay = kOpeningDelay;
            try {
                Start();
            } catch (const std::bad_alloc&) {
                FailForMemory();
                return;
            }
            Position();
        }
        return;
    }
    if (!box.IsDisplayComplete()) return;
    const int32_t count = system.choiceCount;
    const int32_t options = system.choiceOptions;
    const int32_t cancelResult = system.choiceCancelValue;
    // A forced close leaves the current choice as it was.
    if (system.closeChoicesRequest) {
        if (options & kForcedCloseFlag) cursor = kForcedCloseResult;
        Reset();
        return;
    }
    // Nothing to choose from: the choice ends as a cancel would.
    if (count < 1) {
        cursor = cancelResult;
        Reset();
        system.choiceItemValue = cursor;
        return;
    }
    if (input.direction == 8) Move(-1, count);
    if (input.direction == 2) Move(1, count);
    // Every answer of the update acts, in this order: the waiting event has
    // the first one's item, a later one's sound plays too and its item
    // becomes the current choice.
    if (input.confirm) Close(kDecisionSoundVariable);
    if (input.cancel && cancelResult != kNoCancel) {
        cursor = cancelResult;
        Close(kCancelSoundVariable);
    }
    if ((options & kFirstSpecialFlag) && input.firstSpecial) {
        cursor = kFirstSpecialResult;
        Close(kCancelSoundVariable);
    }
    if ((options & kSecondSpecialFlag) && input.secondSpecial) {
        cursor = kSecondSpecialResult;
        Close(kCancelSoundVariable);
    }
    if (Var(kMouseVariable) == 1) {
        if (const int32_t item = ItemUnderMouse(input, count); item != -1) cursor = item;
        if (input.leftClick) Close(kDecisionSoundVariable);
        if (input.rightClick && cancelResult != kNoCancel) {
            cursor = cancelResult;
            Close(kCancelSoundVariable);
        }
    }
    system.choiceItemValue = cursor;
}

void ChoiceWindow::FailForMemory() {
    box.Release();
    delay = 0;
    const ErrorLocation place = WaitingPlace(c_.waiters.ChoiceWaiter());
    // It ends as a choice with nothing to choose from: the cancel value.
    cursor = c_.system.choiceCancelValue;
    Reset();
    c_.system.choiceItemValue = cursor;
    ShowOutOfMemoryBox(place);
}

void ChoiceWindow::Reset() {
    open = false;
    active = false;
    fadeOutCounter = 0;
    box.Release();
    c_.waiters.DeliverChoiceResult(cursor + 2);
    GameSystem& system = c_.system;
    system.choiceRequest.clear();
    system.windowBusy = 0;
    system.closeChoicesRequest = 0;
    system.closeMessageRequest = 0;
    system.choiceEnded = system.choicesWithMessage ? 1 : 0;
}

void ChoiceWindow::DrawNine(const std::vector<int>& cells, int32_t w, int32_t h, int32_t x1, int32_t y1, int32_t x2,
                            int32_t y2, bool transparent) {
    if (cells.size() < 10) return;
    const int32_t s = c_.settings.displayScale;
    struct Place {
        int cell;
        int32_t left, top, right, bottom;
    };
    const Place places[] = {
        {1, x1, y1, x1 + w, y1 + h},     {3, x2 - w, y1, x2, y1 + h},     {2, x1 + w, y1, x2 - w, y1 + h},
        {4, x1, y1 + h, x1 + w, y2 - h}, {6, x2 - w, y1 + h, x2, y2 - h}, {5, x1 + w, y1 + h, x2 - w, y2 - h},
        {7, x1, y2 - h, x1 + w, y2},     {9, x2 - w, y2 - h, x2, y2},     {8, x1 + w, y2 - h, x2 - w, y2},
    };
    for (const Place& place : places) {
        const int graph = cells[static_cast<size_t>(place.cell)];
        if (graph == -1) continue;
        c_.library.DrawGraphScaled(place.left * s, place.top * s, place.right * s, place.bottom * s, graph,
                                   transparent);
    }
}

void ChoiceWindow::Draw() {
    if (!active) return;
    PresentLibrary& library = c_.library;
    const int32_t chip = c_.settings.chipSize;
    const int32_t s = c_.settings.displayScale;
    const int32_t m = Margin();
    const int32_t c = chip == 16 ? 1 : 0;
    const bool transparent = Var(kTransparencyVariable) != 0;
    if (alpha != 0 && frameLoaded && (chip == 16 || chip == 32)) {
        if (alpha == 255) {
            library.SetDrawBlendMode(0, 255);
        } else {
            library.SetDrawBlendMode(1, alpha);
        }
        DrawNine(frameCells, frameCellWidth, frameCellHeight, x - c, y, x + width + 3 - 11 * c, y + height + 2 - 12 * c,
                 transparent);
    }
    // The cursor sits on a measured item only (an empty last item has no line).
    if ((frameShown == 0 || alpha == 255) && cursor >= 0 && cursorLoaded &&
        cursor < static_cast<int32_t>(box.lineTops.size())) {
        const int32_t top = box.lineTops[static_cast<size_t>(cursor)];
        const int32_t lineHeight = At(box.lineHeights, cursor);
        const int32_t blend = Var(kCursorBlendVariable) + 1;
        if (cursorFrames == 1) {
            library.SetDrawBlendMode(blend, cursorBrightness);
            DrawNine(cursorCells, cursorCellWidth, cursorCellHeight, x + chip * 2 / 10 + m - 8 + 5 * c, y + top + m + c,
                     x + width - m + 3 - 12 * c, y + top + lineHeight + m + 3, transparent);
        } else {
            const size_t frame = static_cast<size_t>(1 + cursorCounter / kUpdatesPerCursorFrame);
            if (frame < cursorCells.size() && cursorCells[frame] != -1) {
                library.SetDrawBlendMode(blend, 255);
                const int32_t d = chip == 32 ? 1 : 0;
                const int32_t e = chip == 16 ? -9 : 14;
                library.DrawGraphScaled((x + m - 3) * s, (y + top + m + 1 - 2 * d) * s, (x + width - m + e) * s,
                                        (y + top + lineHeight + m + 2 + c) * s, cursorCells[frame], transparent);
            }
        }
    }
    library.SetDrawBlendMode(0, 255);
    if (delay < 1) {
        try {
            box.DrawHeld(c_.renderer, true);
        } catch (const std::bad_alloc&) {
            FailForMemory();
        }
    }
}

}  // namespace velk
