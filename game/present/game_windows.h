#pragma once
// The message window and the choice window. The interpreter never talks to
// them: the message and choice commands leave requests in the game system
// and wait; each frame the windows pick the requests up, show them, follow
// the player's input and, when they close, release the waiting interpreter
// (the choice window hands it the chosen item). Both draw from their own
// text box and a few images named in the system database; the message
// window draws no frame of its own, the choice window a 3 x 3 framed box.

#include <cstdint>
#include <functional>
#include <vector>

#include "game/present/text_box.h"

namespace velk {

class Database;
class GameSystem;
class GraphicCache;
class InputState;
class PresentLibrary;
class TextRenderer;
class VariableStore;
class WindowWaiters;
struct TextSettings;

// What the windows read of the player's input in one frame.
struct MenuInput {
    bool confirm = false;
    bool cancel = false;
    // The menu direction of this frame with key repeat: 8 up, 2 down, 4
    // left, 6 right, 0 none.
    int32_t direction = 0;
    // The two keys a choice may offer beside its items (left and right).
    bool firstSpecial = false;
    bool secondSpecial = false;
    // Game pixels.
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    bool leftClick = false;
    bool rightClick = false;
};

MenuInput ReadMenuInput(const InputState& input);

// The objects both windows work with. `settings` is the text renderer's: the
// choice window sets its choice count before laying items out.
struct WindowContext {
    PresentLibrary& library;
    GraphicCache& cache;
    TextRenderer& renderer;
    TextSettings& settings;
    VariableStore& store;
    Database& systemDatabase;
    GameSystem& system;
    WindowWaiters& waiters;
    // Plays a sound effect by its system-database row.
    std::function<void(int32_t number)> playSoundEffect;
};

// The system-database type that names the window images: row 0 the message
// cursor, row 1 the choice frame, row 2 the choice cursor (item 0 the file,
// item 1 the frame count of the cursors).
inline constexpr int32_t kWindowGraphicsType = 10;

class MessageWindow {
public:
    explicit MessageWindow(WindowContext& context);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // (Re)loads the wait cursor and returns the window to closed; a request
    // still pending opens again from its start at the next update.
    void LoadGraphics();
    void Update(const MenuInput& input);
    void Draw();
    // Closes the window and lets the waiting interpreter go on.
    void Reset();

    TextBox box;
    bool open = false;
    bool cursorShown = false;
    int32_t cursorGraph = -1;
    // Set from opening until the first update after closing, which lets the
    // window-busy flag fall.
    bool announced = false;
    int32_t delay = 0;
    int32_t cursorCounter = 0;
    int32_t cursorFrames = 1;
    int32_t cursorWidth = 0;
    int32_t cursorHeight = 0;
    int32_t windowY = 0;
    bool cursorLoaded = false;

private:
    void Start();
    // A message the memory cannot lay out fails as its command would: the
    // window closes, the event goes on and the memory box says why.
    void FailForMemory();
    void Position();
    bool Answered(const MenuInput& input);
    int32_t Var(int32_t number);

    WindowContext& c_;
};

class ChoiceWindow {
public:
    explicit ChoiceWindow(WindowContext& context);
    ~ChoiceWindow();
    ChoiceWindow(const ChoiceWindow&) = delete;
    ChoiceWindow& operator=(const ChoiceWindow&) = delete;

    // (Re)loads the frame and cursor images.
    void LoadGraphics();
    void Update(const MenuInput& input);
    void Draw();
    // Closes the window and hands the cursor's item to the waiting
    // interpreter (as its case value, item + 2).
    void Reset();

    // An item can be chosen when its line was measured with a height; empty
    // items, and items past the measured lines, cannot.
    bool Selectable(int32_t item) const;

    // Cursor values a choice ends with besides its items: the two special
    // keys and a forced close.
    static constexpr int32_t kFirstSpecialResult = 98;
    static constexpr int32_t kSecondSpecialResult = 99;
    static constexpr int32_t kForcedCloseResult = 100;

    TextBox box;
    int32_t frameShown = 1;
    bool open = false;
    // Element 0 the whole image, then its cells row by row.
    std::vector<int> frameCells;
    std::vector<int> cursorCells;
    int32_t frameCellWidth = 0, frameCellHeight = 0;
    int32_t cursorCellWidth = 0, cursorCellHeight = 0;
    int32_t cursorFrames = 1;
    int32_t cursorCounter = 0;
    int32_t cursorGraph = -1;
    int32_t alpha = 0;
    int32_t pulsePhase = 0;
    int32_t cursorBrightness = 255;
    int32_t cursor = 0;
    bool active = false;
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t delay = 0;
    int32_t fadeOutCounter = 0;
    bool frameLoaded = false, cursorLoaded = false;

private:
    void Start();
    // A choice the memory cannot lay out fails as its command would: the
    // window closes with the cancel value, the event goes on and the memory
    // box says why.
    void FailForMemory();
    void Position();
    // Steps the cursor once up (-1) or down (+1), then on to the next
    // selectable item that way.
    void Move(int32_t step, int32_t count);
    void Close(int32_t soundVariable);
    int32_t ItemUnderMouse(const MenuInput& input, int32_t count) const;
    void DrawNine(const std::vector<int>& cells, int32_t cellWidth, int32_t cellHeight, int32_t x1, int32_t y1,
                  int32_t x2, int32_t y2, bool transparent);
    int32_t Var(int32_t number);
    int32_t Margin() const;

    WindowContext& c_;
};

}  // namespace velk
