#pragma once
// What interpreters need of the game state above them: the game system's run
// state, the map's events and waits, the common events, and the text
// prompt's key-input handle. Each is a small interface whose defaults do
// nothing (or report "none"); the modules that own the state implement them
// and the shell installs them in ActiveEventLinks().

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "game/event/command_list.h"

namespace velk {

// The game system object's part in running events.
class EventSystemLink {
public:
    virtual ~EventSystemLink() = default;
    // 1 the game runs, 0 back to the title, -1 quit.
    virtual int32_t SceneState() { return 1; }
    // Whether a close of the window waits among its messages, looked at
    // without reading any: the message processing after the frame reads it
    // and ends the program as it does a close between frames.
    virtual bool WindowCloseRequested() { return false; }
    // A saved game was restored in this frame: no interpreter runs on.
    virtual bool GameLoadedThisFrame() { return false; }
    // The game objects were rebuilt (title/reset) or restored from a save
    // since this frame began.
    virtual bool StateReplaced() { return false; }
    // A screen transition runs and events wait for it.
    virtual bool TransitionWaiting() { return false; }
    // The reserved common event, -1 none.
    virtual int32_t ReservedCommonEvent() { return -1; }
    virtual void SetReservedCommonEvent(int32_t index) {}
    // Frames that pass in one frame at the current speed.
    virtual int32_t FrameStep() { return 1; }
    // The text a message command hands to the message window.
    virtual void RequestMessage(const std::string& text) {}
};

// A map event that asked to run, as the main interpreter takes it.
struct StartingMapEvent {
    int32_t eventId = -1;
    SharedCommandList commands;
};

// The current map and its events.
class EventMapLink {
public:
    virtual ~EventMapLink() = default;
    // The map re-selects event pages (and parallel common events) after
    // any command ran; the main interpreter makes it happen before it
    // chooses an event.
    virtual void MarkPagesForRefresh() {}
    virtual void RefreshPagesIfMarked() {}
    // The hero, a party follower or a map event runs a forced move route.
    virtual bool AnyForcedRouteRunning() { return false; }
    // True while events wait for a scroll that still runs; ends that wait
    // (and answers false) once the scroll has stopped.
    virtual bool ScrollWaitHolds() { return false; }
    // The first map event, in list order, whose start is requested. An
    // event whose page does not start by itself has its request cleared and
    // turns to the hero; an auto-start event keeps its request.
    virtual std::optional<StartingMapEvent> TakeStartingEvent() { return std::nullopt; }
    virtual bool HasEvent(int32_t eventId) { return false; }
    virtual void StartErase(int32_t eventId, int32_t frames) {}
    // Back to the facing the event had before it started.
    virtual void RestoreFacingAfterEvent(int32_t eventId) {}
    // Pages of the map event with this id on the current map; -1 when the
    // map has no such event.
    virtual int32_t EventPageCount(int32_t eventId) { return -1; }
    // The commands of page `page` (0-based) of the event, or of its current
    // page when `page` is negative (an empty list when no page is current);
    // null when there is no such event or page. Lists are padded and never
    // change once handed out.
    virtual SharedCommandList EventPageCommands(int32_t eventId, int32_t page) { return nullptr; }
    // The event starts by itself with its current page, when that page has
    // commands and the event is not being erased.
    virtual void RequestEventStart(int32_t eventId) {}
};

// A common event as the main interpreter starts it.
struct CommonEventStart {
    int32_t id = -1;
    // Low nibble: 0 called only, 1 auto start, 2 parallel while the
    // condition holds, 3 parallel always; high nibble the comparison.
    uint8_t trigger = 0x20;
    int32_t conditionVariable = 2000000;
    int32_t conditionValue = 0;
    SharedCommandList commands;
};

class CommonEventLink {
public:
    virtual ~CommonEventLink() = default;
    virtual int32_t Count() { return 0; }
    virtual std::optional<CommonEventStart> Get(int32_t index) { return std::nullopt; }
};

class EventInterpreter;

// The escape codes of texts that commands use as names (events, labels),
// expanded by the text module above; the default leaves a text as it is.
struct EventTextOptions {
    // The running event (-1 none) and the map whose self variables are read
    // (-1 the current map).
    int32_t mapEventId = -1;
    int32_t commonEventId = -1;
    int32_t mapId = -1;
    // Values only: format codes and doubled backslashes stay text.
    bool valuesOnly = false;
    // A first line "@n" sets system variable 0 and is removed.
    bool leadingAtSignLine = false;
};

// The names of one search (the labels of a list), each compared with the
// name sought as it is met.
class EventNameMatcher {
public:
    virtual ~EventNameMatcher() = default;
    // Whether the name, converted as ConvertEscapeCodes converts it, is the
    // name sought; what that conversion shows and changes happens all the
    // same, in the same order.
    virtual bool Matches(const std::string& name) = 0;
};

class EventTextLink {
public:
    virtual ~EventTextLink() = default;
    virtual std::string ConvertEscapeCodes(const std::string& text, const EventTextOptions& options) { return text; }
    // The matcher of one search with these options: by default each name is
    // converted whole and compared.
    virtual std::unique_ptr<EventNameMatcher> NameMatcher(std::string wanted, const EventTextOptions& options) {
        class Converting final : public EventNameMatcher {
        public:
            Converting(EventTextLink& link, std::string wanted, const EventTextOptions& options)
                : link_(link), wanted_(std::move(wanted)), options_(options) {}
            bool Matches(const std::string& name) override {
                return link_.ConvertEscapeCodes(name, options_) == wanted_;
            }

        private:
            EventTextLink& link_;
            std::string wanted_;
            EventTextOptions options_;
        };
        return std::make_unique<Converting>(*this, std::move(wanted), options);
    }
};

// The player's input as the key commands read it: the devices' state of
// this frame and the game buttons and directions the input state derives
// from them. The defaults report nothing held.
class KeyInputLink {
public:
    virtual ~KeyInputLink() = default;
    // The keyboard by key code (non-zero: held), as it is now.
    virtual void ReadKeyboard(std::array<uint8_t, 256>& keys) { keys.fill(0); }
    // The first pad's buttons alone: bit 4 button 1 up to bit 18 button 15.
    virtual uint32_t PadButtons() { return 0; }
    // Game buttons (0 confirm, 1 cancel, 2 sub): held in this frame, newly
    // pressed, and the key-repeat tick.
    virtual bool ButtonHeld(int button) { return false; }
    virtual bool ButtonPressed(int button) { return false; }
    virtual bool ButtonRepeat(int button) { return false; }
    // Directions (0 up, 1 down, 2 left, 3 right): held, newly pressed.
    virtual bool DirectionHeld(int direction) { return false; }
    virtual bool DirectionPressed(int direction) { return false; }
    // Numeric-keypad codes, 0 none: the 4-way and 8-way direction held, and
    // the ones of this frame's repeat tick.
    virtual int32_t Direction4() { return 0; }
    virtual int32_t Direction8() { return 0; }
    virtual int32_t Repeat4() { return 0; }
    virtual int32_t Repeat8() { return 0; }
    // Mouse buttons (0 left, 1 right, 2 middle): 2 pressed in this frame, 1
    // held, 0 up. The wheel's turns and the movement of this frame.
    virtual int32_t MouseButton(int button) { return 0; }
    virtual int32_t WheelTurns() { return 0; }
    virtual int32_t MouseMoveX() { return 0; }
    virtual int32_t MouseMoveY() { return 0; }
};

// Key-input handles of the text prompt.
class TextPromptLink {
public:
    virtual ~TextPromptLink() = default;
    // 0 still typing, 1 confirmed, 2 cancelled, -1 no such handle.
    virtual int32_t State(int32_t handle) { return -1; }
    virtual std::string Text(int32_t handle) { return {}; }
    virtual void Delete(int32_t handle) {}
    // Opens the prompt for at most `maxLength` bytes, starting with
    // `startText`, and sets the one-prompt-at-a-time flag (the library's
    // default font size follows the message size). 0 when no prompt opens.
    virtual int32_t Open(int32_t maxLength, bool cancelAllowed, const std::string& startText) { return 0; }
    // The flag: a prompt is open somewhere.
    virtual bool PromptOpen() { return false; }
    virtual void ClosePrompt() {}
};

class VariableStore;
struct DatabaseSet;
class CommandTable;
struct SystemVariableBlock;

struct EventLinks {
    EventSystemLink* system;
    EventMapLink* map;
    CommonEventLink* commonEvents;
    TextPromptLink* textPrompt;
    KeyInputLink* keyInput;
    // The main interpreter's system variables.
    SystemVariableBlock* systemVariables;
    VariableStore* variables;
    DatabaseSet* databases;
    CommandTable* table;
};

// The links in use; every pointer is set (the do-nothing links, the global
// variable store, databases and command table, until others are installed).
EventLinks& ActiveEventLinks();
void ResetEventLinks();

// The condition of a common event: the variable's value against the
// constant by the trigger's high nibble.
bool CommonEventConditionHolds(uint8_t trigger, int32_t variable, int32_t value, VariableStore& store);

}  // namespace velk
