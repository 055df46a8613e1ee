#pragma once
// The event interpreter: runs one command list a little every frame. The
// main interpreter, map events and parallel common events own one each; an
// interpreter that calls another event runs it in a child of its own. Each
// frame the owner calls Run once: the first child runs first, then every
// wait is looked at, then commands run through the dispatcher until one asks
// to stop for this frame.
//
// The fields are the interpreter's state as command handlers read and
// change it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/data/error_reporter.h"
#include "game/data/variable_id.h"
#include "game/event/command_list.h"
#include "game/event/command_table.h"

namespace velk {

struct EventLinks;

// What one frame allows every interpreter that runs in it, together: the
// main interpreter, the map events and the parallel common events, with all
// their children. The shell opens one for each frame; an interpreter run
// while none is open opens its own for that run.
class EventFrame {
public:
    // How often, in milliseconds of running commands, the window is asked
    // whether the player closed it: dear commands (a long string copied, a
    // big file read, a folder listed) can hold a frame for minutes before
    // its limit of commands, and the window's messages are read only
    // between frames.
    static constexpr uint32_t kCloseLookMilliseconds = 50;
    // The clock is read once a budget of steps is spent: a command without
    // a handler is one step, a handler or a run-loop turn is kHandlerSteps.
    // The budget starts at the least and doubles, up to the most, while the
    // readings find no millisecond gone (a reading costs as much as a few
    // quick handlers); one reading that finds a millisecond gone sets it
    // back. A quick run that turns dear (a string of 16 MiB copied over and
    // over) is thus looked at again after at most 32 of its dear handlers.
    static constexpr int32_t kHandlerSteps = 128;
    static constexpr int32_t kLeastStepsPerClockRead = 8 * kHandlerSteps;
    static constexpr int32_t kMostStepsPerClockRead = 32 * kHandlerSteps;

    // Opens this frame until it ends; one open before it is open again then.
    EventFrame();
    ~EventFrame();
    EventFrame(const EventFrame&) = delete;
    EventFrame& operator=(const EventFrame&) = delete;

    // The frame open now; null when none is.
    static EventFrame* Open();

    // The steps left before the clock is read. The dispatcher keeps them
    // in a register while commands run and hands back what is left.
    int32_t StepsLeft() const { return stepsLeft_; }
    void SetStepsLeft(int32_t steps) { stepsLeft_ = steps; }
    // Before a turn's commands, and after every so many characters of a
    // long text's layout: spends a handler's steps, and looks for a close
    // when none are left. True once one was seen.
    bool TurnRan() { return (stepsLeft_ -= kHandlerSteps) <= 0 && LookForClose(); }
    // The steps are spent: reads the clock, renews the budget, and asks the
    // window whether the player closed it when the time has come. True once
    // a close was seen.
    bool LookForClose();
    // A close was seen: the frame is over for every interpreter.
    bool Closed() const { return closed_; }

private:
    EventFrame* previous_;
    int32_t stepsLeft_ = kLeastStepsPerClockRead;
    int32_t stepsPerRead_ = kLeastStepsPerClockRead;
    uint32_t lastReadMs_;
    uint32_t lastLookMs_;
    bool closed_ = false;
};

// What one frame allows an interpreter and every child it runs in that
// frame, counted together. A child goes on with its caller's count, so
// calls that nest or repeat (an event that calls itself twice makes 2^100
// calls) end the frame at the same limit as one long event, and the window's
// messages are read again at the next frame.
struct FrameShare {
    // Commands and run-loop turns.
    int32_t commands = 0;
    // The looks for a close are the whole frame's.
    EventFrame* frame = nullptr;
};

class EventInterpreter {
public:
    // Commands (and run-loop turns) an interpreter and the children it runs
    // get in one frame before the one that passes the limit shows the limit
    // message and pauses.
    static constexpr int32_t kCommandsPerFrame = 500000;
    static constexpr int32_t kLimitPauseFrames = 5;
    // Branch results are kept for indents 0-49.
    static constexpr int32_t kIndentLevels = 50;
    // Deepest nesting of called events (and of Init).
    static constexpr int32_t kMaxDepth = 100;
    // An endless loop's counter.
    static constexpr int32_t kEndlessLoopCount = 2000000000;
    // A branch result once one case of the branch was taken.
    static constexpr int32_t kCaseTaken = -100;

    EventInterpreter();
    virtual ~EventInterpreter();
    // Moving keeps a window wait with the interpreter; copies would leave a
    // wait no window ends, so there are none.
    EventInterpreter(EventInterpreter&& other) noexcept;
    EventInterpreter& operator=(EventInterpreter&& other) noexcept;
    EventInterpreter(const EventInterpreter&) = delete;
    EventInterpreter& operator=(const EventInterpreter&) = delete;

    // For a main or parallel interpreter. A depth above the nesting limit
    // ends the program (false where the reporter lets it go on).
    bool Init(int32_t depth, bool isMain);
    void Reset();
    // Attaches a list; mapId becomes the current map.
    void Setup(SharedCommandList list, int32_t mapEventId, int32_t commonEventId);
    // One frame for the interpreter and its children, on a fresh share of
    // commands within the open frame.
    void Run();
    // Ends the running event.
    void CmdEndOfList();
    bool HasCommandList() const { return list_ != nullptr; }
    const SharedCommandList& List() const { return list_; }

    // A child running `list`, one level deeper; null when that would pass
    // the nesting limit (the call does not happen).
    EventInterpreter* StartChild(SharedCommandList list, int32_t mapEventId, int32_t commonEventId);

    // Variable access relative to the running event: this event's self
    // variables, this common event's self variables and this event's
    // character data, on the map of set-up.
    void SetIntVariable(VariableId id, int32_t value);
    void SetStringVariable(VariableId id, std::string value);
    // Below 1000000 the code is its own value.
    int32_t GetValue(int32_t code);
    std::string GetStringVariable(VariableId id);
    // A text into a string variable, or its decimal value into an integer one.
    void StoreText(VariableId id, std::string text);

    // The interpreter whose text prompt is drawn for this one: the first
    // child, followed down while there is one; null when it has no prompt
    // open.
    const EventInterpreter* PromptOwner() const;

    // One frame of the key-input command: the command at `line` - 1 while
    // the key wait is set, else the one at `line`.
    void StepKeyInput();

    // Opens a message window and waits for it.
    void ShowMessage(const std::string& text);

    // The branch result slot of an indent; null outside 0-49 (such an indent
    // reads as 0 and is never written).
    int32_t* BranchSlot(int32_t indent) {
        return indent >= 0 && indent < kIndentLevels ? &branchResult[static_cast<size_t>(indent)] : nullptr;
    }

    // Line movement by indent (used by the flow commands and by handlers
    // that branch or jump).
    void SkipToSameIndent();
    void RepeatLoop();
    void BreakLoop();
    void PushLoop(int32_t indent, int32_t count);
    void PopLoop();

    uint8_t isMain = 0;
    int32_t depth = 0;
    int32_t line = 0;
    uint8_t waitWindow = 0;
    uint8_t waitRoutes = 0;
    uint8_t waitKey = 0;
    int32_t mapId = 0;
    int32_t eventId = -1;
    int32_t commonId = -1;
    int32_t keyWaitCount = 0;
    int32_t waitFrames = 0;
    int32_t keyResult = 0;
    std::vector<EventInterpreter> children;
    std::array<int32_t, kIndentLevels> branchResult{};
    std::vector<int32_t> loopIndents;
    std::vector<int32_t> loopCounters;
    uint8_t advance = 1;
    int32_t keyCaptureState = 0;
    int32_t padCaptureState = 0;
    int32_t textInput = 0;
    int32_t textTarget = 0;
    std::string textOld;
    int32_t keyOption = 0;

protected:
    // Chooses and attaches the next event when the main interpreter at
    // depth 0 is idle.
    virtual void StartNextEvent() {}

private:
    friend class FlowCommands;

    // The run of one frame on the share of the frame's first interpreter.
    void RunTurns(FrameShare& share);
    // Runs commands from `line` on; false: stop for this frame.
    bool Dispatch(EventLinks& links, FrameShare& share);
    // The same; a command that runs out of memory fails with a box and the
    // event goes on after it.
    bool DispatchOrSkip(EventLinks& links, FrameShare& share);
    void FinishTextPrompt(EventLinks& links);
    const EventCommand* CommandAt(int32_t index) const;
    int32_t IndentAt(int32_t index) const;
    int32_t RelativeIntId(VariableId id) const;
    int32_t RelativeStringId(VariableId id) const;

    SharedCommandList list_;
};

// The interpreters waiting for the message and the choice window. The
// windows end the wait through here; an interpreter that is destroyed or
// moved while waiting is forgotten or followed, so nothing writes into an
// interpreter that is gone.
class WindowWaiters {
public:
    void SetMessageWaiter(EventInterpreter* interpreter) { message_ = interpreter; }
    void SetChoiceWaiter(int32_t indent, EventInterpreter* interpreter) {
        choice_ = interpreter;
        choiceIndent_ = interpreter ? indent : -1;
    }
    EventInterpreter* MessageWaiter() const { return message_; }
    EventInterpreter* ChoiceWaiter() const { return choice_; }
    // The message window closed: its waiter goes on.
    void EndMessageWait();
    // The choice made: the waiter's branch result at the recorded indent
    // takes the value, and its window wait ends.
    void DeliverChoiceResult(int32_t value);

    void Forget(const EventInterpreter* interpreter);
    void Moved(const EventInterpreter* from, EventInterpreter* to);

private:
    EventInterpreter* message_ = nullptr;
    EventInterpreter* choice_ = nullptr;
    int32_t choiceIndent_ = -1;
};

WindowWaiters& ActiveWindowWaiters();

// The box of a command that ran out of memory, naming `place`. It comes when
// the memory is gone, so showing it asks for none: its lines are made when
// the program starts.
void ShowOutOfMemoryBox(const ErrorLocation& place);
// Where an interpreter waiting for a window stands: the command it ran last
// (its line has moved past it); the place being run when there is none.
ErrorLocation WaitingPlace(const EventInterpreter* waiter);

}  // namespace velk
