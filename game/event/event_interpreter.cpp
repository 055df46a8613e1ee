#include "game/event/event_interpreter.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "game/data/data_texts.h"
#include "game/data/database.h"
#include "game/data/error_reporter.h"
#include "game/data/game_owners.h"
#include "game/data/random_source.h"
#include "game/data/system_variable_block.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/event/event_links.h"
#include "game/event/event_texts.h"
#include "game/event/value_arithmetic.h"
#include "platform/base/clock.h"

namespace velk {
namespace {

// Relative IDs are rewritten in 32 bits as stored IDs are; ids from data may
// be large, so the products wrap instead of overflowing.
int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

bool InRange(int32_t id, int32_t first, int32_t last) { return id >= first && id <= last; }

// The fast arithmetic forms, by code - 210000: 10 x assignment + operation,
// with assignments 0-3 and operations 0-2. Wrapping 32-bit arithmetic, done
// unsigned.
constexpr uint64_t kFastForms = [] {
    uint64_t forms = 0;
    for (uint32_t assignment = 0; assignment <= 3; ++assignment)
        for (uint32_t operation = 0; operation <= 2; ++operation)
            forms |= uint64_t{1} << (10 * assignment + operation);
    return forms;
}();
bool IsFastForm(uint32_t form) { return form < 64 && (kFastForms >> form & 1) != 0; }

void ApplyFastForm(uint32_t form, int32_t* const* slots) {
    uint32_t& t = *reinterpret_cast<uint32_t*>(slots[0]);
    const uint32_t b = static_cast<uint32_t>(*slots[1]);
    const uint32_t c = static_cast<uint32_t>(*slots[2]);
    switch (form) {
        case 0: t = b + c; break;
        case 1: t = b - c; break;
        case 2: t = b * c; break;
        case 10: t += b + c; break;
        case 11: t += b - c; break;
        case 12: t += b * c; break;
        case 20: t -= b + c; break;
        case 21: t -= b - c; break;
        case 22: t -= b * c; break;
        case 30: t = (b + c) * t; break;
        case 31: t = (b - c) * t; break;
        case 32: t = (b * c) * t; break;
        default: break;
    }
}

void ShowErrorLine(const std::string& line1) { ActiveErrorReporter().ShowErrorBox(line1, "", ""); }

// Backslashes of the confirmed text are doubled so the text reads back as
// typed; a backslash that is the second byte of a two-byte character is
// part of that character and stays.
std::string DoubleBackslashes(const std::string& text) {
    std::string doubled;
    doubled.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        doubled.push_back(text[i]);
        if (text[i] == '\\' && GetSjisByteClass(text, static_cast<int>(i)) != 2) doubled.push_back('\\');
    }
    return doubled;
}

// The typed text as the prompt hands it over: at most 255 bytes, and never
// the lead byte of a pair without its trail.
std::string ConfirmedText(std::string text) {
    constexpr size_t kConfirmedTextLimit = 255;
    if (text.size() <= kConfirmedTextLimit) return text;
    const bool splitsPair = GetSjisByteClass(text, static_cast<int>(kConfirmedTextLimit) - 1) == 1;
    text.resize(splitsPair ? kConfirmedTextLimit - 1 : kConfirmedTextLimit);
    return text;
}

EventFrame* open_frame = nullptr;

}  // namespace

EventFrame::EventFrame()
    : previous_(open_frame), lastReadMs_(platform::ActiveClock().Milliseconds()), lastLookMs_(lastReadMs_) {
    open_frame = this;
}

EventFrame::~EventFrame() { open_frame = previous_; }

EventFrame* EventFrame::Open() { return open_frame; }

bool EventFrame::LookForClose() {
    if (closed_) return true;
    const uint32_t now = platform::ActiveClock().Milliseconds();
    stepsPerRead_ = now == lastReadMs_ ? std::min(2 * stepsPerRead_, kMostStepsPerClockRead) : kLeastStepsPerClockRead;
    stepsLeft_ = stepsPerRead_;
    lastReadMs_ = now;
    if (now - lastLookMs_ < kCloseLookMilliseconds) return false;
    lastLookMs_ = now;
    closed_ = ActiveEventLinks().system->WindowCloseRequested();
    return closed_;
}

EventInterpreter::EventInterpreter() = default;

EventInterpreter::~EventInterpreter() { ActiveWindowWaiters().Forget(this); }

EventInterpreter::EventInterpreter(EventInterpreter&& other) noexcept { *this = std::move(other); }

EventInterpreter& EventInterpreter::operator=(EventInterpreter&& other) noexcept {
    if (this == &other) return *this;
    ActiveWindowWaiters().Forget(this);
    isMain = other.isMain;
    depth = other.depth;
    line = other.line;
    waitWindow = other.waitWindow;
    waitRoutes = other.waitRoutes;
    waitKey = other.waitKey;
    mapId = other.mapId;
    eventId = other.eventId;
    commonId = other.commonId;
    keyWaitCount = other.keyWaitCount;
    waitFrames = other.waitFrames;
    keyResult = other.keyResult;
    children = std::move(other.children);
    branchResult = other.branchResult;
    loopIndents = std::move(other.loopIndents);
    loopCounters = std::move(other.loopCounters);
    advance = other.advance;
    keyCaptureState = other.keyCaptureState;
    padCaptureState = other.padCaptureState;
    textInput = other.textInput;
    textTarget = other.textTarget;
    textOld = std::move(other.textOld);
    keyOption = other.keyOption;
    list_ = std::move(other.list_);
    ActiveWindowWaiters().Moved(&other, this);
    return *this;
}

bool EventInterpreter::Init(int32_t newDepth, bool main) {
    if (newDepth > kMaxDepth) {
        ActiveErrorReporter().EndProgram(1);
        return false;
    }
    depth = newDepth;
    isMain = main ? 1 : 0;
    Reset();
    return true;
}

void EventInterpreter::Reset() {
    ActiveWindowWaiters().Forget(this);
    mapId = 0;
    eventId = -1;
    commonId = -1;
    waitWindow = waitRoutes = waitKey = 0;
    keyWaitCount = 0;
    waitFrames = 0;
    list_.reset();
    // The frame's count is not the event's: the main interpreter starting
    // one event after another within a frame goes on with the same count.
    children.clear();
    branchResult.fill(0);
    loopIndents.clear();
    loopCounters.clear();
    keyCaptureState = padCaptureState = 0;
}

void EventInterpreter::Setup(SharedCommandList list, int32_t mapEventId, int32_t commonEventId) {
    Reset();
    mapId = ActiveGameOwners().map->CurrentMapId();
    eventId = mapEventId;
    commonId = commonEventId;
    list_ = std::move(list);
    line = 0;
    branchResult.fill(0);
}

EventInterpreter* EventInterpreter::StartChild(SharedCommandList list, int32_t mapEventId, int32_t commonEventId) {
    if (depth >= kMaxDepth) return nullptr;
    EventInterpreter& child = children.emplace_back();
    child.Setup(std::move(list), mapEventId, commonEventId);
    child.depth = depth + 1;
    return &child;
}

void EventInterpreter::CmdEndOfList() {
    list_.reset();
    loopIndents.clear();
    loopCounters.clear();
    EventLinks& links = ActiveEventLinks();
    if (isMain && eventId > -1 && !links.system->StateReplaced() && links.map->HasEvent(eventId)) {
        links.map->RestoreFacingAfterEvent(eventId);
    }
}

void EventInterpreter::Run() {
    FrameShare share;
    if (EventFrame* open = EventFrame::Open()) {
        share.frame = open;
        RunTurns(share);
        return;
    }
    EventFrame own;
    share.frame = &own;
    RunTurns(share);
}

void EventInterpreter::RunTurns(FrameShare& share) {
    EventLinks& links = ActiveEventLinks();
    EventSystemLink& system = *links.system;
    if (system.GameLoadedThisFrame()) return;
    for (;;) {
        // A close seen by any interpreter of the frame ends it for all.
        if (share.frame->Closed()) return;
        // Whenever the count passes the limit this interpreter has its list
        // and no child (dispatch stops at the limit, and a call is made below
        // it), so it pauses below and every caller returns while its child
        // still runs: the frame is over for all of them.
        if (++share.commands > kCommandsPerFrame) {
            share.commands = 0;
            ShowErrorLine(FormatText(texts::kFrameCommandLimit, eventId, commonId, line));
            waitFrames = kLimitPauseFrames;
        }
        if (!children.empty()) {
            children.front().RunTurns(share);
            if (system.GameLoadedThisFrame()) return;
            if (!children.front().HasCommandList()) children.erase(children.begin());
            if (!children.empty()) return;
        }
        if (textInput != 0) {
            if (links.textPrompt->State(textInput) == 0) return;
            FinishTextPrompt(links);
        }
        if (waitWindow) return;
        if (!advance) {
            advance = 1;
            ++line;
            return;
        }
        if (system.TransitionWaiting()) return;
        if (waitRoutes) {
            if (links.map->AnyForcedRouteRunning()) return;
            waitRoutes = 0;
        }
        if (links.map->ScrollWaitHolds()) return;
        if (waitKey || keyWaitCount > 0) {
            StepKeyInput();
            return;
        }
        if (waitFrames > 0) {
            waitFrames -= system.FrameStep();
            return;
        }
        // A closed window or a quit ends the frame for every interpreter.
        if (system.SceneState() < 1) return;
        if (!list_) {
            if (isMain && depth == 0) StartNextEvent();
            if (!list_) return;
        }
        // Turns count as well: an event that starts over at once runs only
        // a command or two in each.
        if (share.frame->TurnRan()) return;
        CurrentErrorLocation() = {eventId, commonId, line};
        links.map->MarkPagesForRefresh();
        if (!DispatchOrSkip(links, share) || system.SceneState() < 1) return;
        if (DatabaseReadErrorFlag > 0) {
            ShowErrorLine(FormatText(texts::kDatabaseReadMissing, eventId, commonId, line));
            DatabaseReadErrorFlag = 0;
        }
        if (system.GameLoadedThisFrame()) return;
        ++line;
    }
}

void EventInterpreter::FinishTextPrompt(EventLinks& links) {
    TextPromptLink& prompt = *links.textPrompt;
    const int32_t state = prompt.State(textInput);
    prompt.ClosePrompt();
    // The target keeps the text it had before the prompt, followed by what
    // was typed; a handle the library no longer knows ends it as a cancel.
    std::string text = textOld;
    if (state == 2 || state < 0) {
        links.systemVariables->textPromptState = -1;
    } else {
        links.systemVariables->textPromptState = 0;
        text += DoubleBackslashes(ConfirmedText(prompt.Text(textInput)));
    }
    prompt.Delete(textInput);
    textInput = 0;
    StoreText(textTarget, std::move(text));
}

void EventInterpreter::StoreText(VariableId id, std::string text) {
    // An integer variable takes the text's decimal value.
    if (ActiveEventLinks().variables->IsIntId(RelativeStringId(id))) {
        SetIntVariable(id, DecimalValue(text));
    } else {
        SetStringVariable(id, std::move(text));
    }
}

bool EventInterpreter::DispatchOrSkip(EventLinks& links, FrameShare& share) {
    try {
        return Dispatch(links, share);
    } catch (const std::bad_alloc&) {
        // Whatever the command held is given back as the exception unwinds;
        // `line` is the command's (the dispatcher hands it over before every
        // handler), which is passed over as a failed command is, and the
        // game goes on.
        ShowOutOfMemoryBox(CurrentErrorLocation());
        return true;
    }
}

bool EventInterpreter::Dispatch(EventLinks& links, FrameShare& share) {
    // A handler may end or replace the running list; it stays alive until
    // this turn is over.
    const SharedCommandList hold = list_;
    const CommandList& list = *hold;
    const EventCommand* const commands = list.Commands().data();
    const int32_t size = static_cast<int32_t>(list.Size());
    const CommandTable& table = *links.table;
    VariableStore& store = *links.variables;
    ErrorLocation& location = CurrentErrorLocation();
    EventFrame& frame = *share.frame;
    list.EnsureBound(store);
    const CommandList::QuickLine* lines = list.QuickLines();
    int32_t* const* slots = list.Slots();
    // The line, the count and the count at which the quick path pauses (the
    // frame's limit, or the steps before the next look for a close, whichever
    // comes first) live in registers while commands run here; handlers see
    // (and may move) the members.
    int32_t at = line - 1;
    int32_t count = share.commands;
    int32_t pause = count + std::min(frame.StepsLeft(), kCommandsPerFrame - count);
    auto leave = [&] {
        line = at;
        location.line = at;
        share.commands = count;
        frame.SetStepsLeft(pause - count);
    };
    // Runs the handler of the command at `at`; false when the turn ends with
    // `*result`.
    auto call = [&](const CommandEntry& entry, bool* result) {
        leave();
        const CommandResult outcome = entry.handler(*this, commands[at]);
        at = line;
        count = share.commands;
        pause = count + std::min(frame.StepsLeft() - EventFrame::kHandlerSteps, kCommandsPerFrame - count);
        // A window closed in one of the handler's boxes ends the turn too.
        if (outcome != CommandResult::kNext || list_.get() != &list || links.system->SceneState() < 1) {
            frame.SetStepsLeft(pause - count);
            *result = outcome != CommandResult::kStopFrame;
            return false;
        }
        // Only handlers move slots.
        list.EnsureBound(store);
        lines = list.QuickLines();
        slots = list.Slots();
        return true;
    };
    for (;;) {
        if (count >= pause) [[unlikely]] {
            // The window's close is looked for between two commands, never
            // inside one.
            if (count >= kCommandsPerFrame || frame.LookForClose()) {
                leave();
                return true;
            }
            pause = count + std::min(frame.StepsLeft(), kCommandsPerFrame - count);
        }
        ++at;
        // A list that lacks its end command ends where it runs out.
        if (static_cast<uint32_t>(at) >= static_cast<uint32_t>(size)) {
            leave();
            CmdEndOfList();
            return true;
        }
        const CommandList::QuickLine quick = lines[at];
        const uint32_t form =
            static_cast<uint32_t>(quick.code) - static_cast<uint32_t>(CodeValue(CommandCode::kFastArithmeticFirst));
        bool result = true;
        if (form <= static_cast<uint32_t>(CodeValue(CommandCode::kFastArithmeticLast) -
                                          CodeValue(CommandCode::kFastArithmeticFirst))) {
            // The other codes of the range are unknown codes: skipped.
            if (IsFastForm(form)) [[likely]] {
                if (quick.slotStart >= 0) [[likely]] {
                    ApplyFastForm(form, slots + quick.slotStart);
                } else if (const CommandEntry* entry = table.Find(CodeValue(CommandCode::kVariableOperation))) {
                    // A slot it named is gone: the general form decides.
                    if (!call(*entry, &result)) return result;
                }
            }
        } else if (quick.code == CodeValue(CommandCode::kEndOfList)) {
            leave();
            CmdEndOfList();
            return true;
        } else if (const CommandEntry* entry = table.Find(quick.code)) {
            const EventCommand& command = commands[at];
            if (command.arguments.size() >= entry->minimumArguments &&
                command.strings.size() >= entry->minimumStrings && !call(*entry, &result)) {
                return result;
            }
        } else if (quick.code == CodeValue(CommandCode::kFastJump)) {
            const std::vector<int32_t>& jumps = commands[at].jumps;
            if (jumps.size() > 1) at = jumps[1];
        } else if (quick.code == CodeValue(CommandCode::kFastLoopEnd)) {
            const std::vector<int32_t>& jumps = commands[at].jumps;
            if (!loopCounters.empty() && jumps.size() > 1) {
                if (loopCounters.back() <= 0) {
                    PopLoop();
                } else {
                    --loopCounters.back();
                    at = jumps[1];
                }
            }
        }
        ++count;
    }
}

const EventCommand* EventInterpreter::CommandAt(int32_t index) const {
    if (!list_ || index < 0 || static_cast<size_t>(index) >= list_->Size()) return nullptr;
    return &(*list_)[static_cast<size_t>(index)];
}

int32_t EventInterpreter::IndentAt(int32_t index) const {
    const EventCommand* command = CommandAt(index);
    return command ? command->indent : -1;
}

int32_t EventInterpreter::RelativeIntId(VariableId id) const {
    if (InRange(id, kRelativeMapSelfBase, 1199999)) id = Wrap(kMapSelfBase + int64_t{eventId} * 10 + id % 10);
    if (InRange(id, kRelativeCommonSelfBase, 1699999)) id = Wrap(kCommonSelfBase + int64_t{commonId} * 100 + id % 100);
    if (InRange(id, kRelativeEventDataBase, 9199999)) id = Wrap(kMapEventDataBase + int64_t{eventId} * 10 + id % 10);
    return id;
}

int32_t EventInterpreter::RelativeStringId(VariableId id) const {
    if (InRange(id, kRelativeCommonSelfBase, 1699999)) id = Wrap(kCommonSelfBase + int64_t{commonId} * 100 + id % 100);
    return id;
}

void EventInterpreter::SetIntVariable(VariableId id, int32_t value) {
    VariableStore& store = *ActiveEventLinks().variables;
    const int32_t absolute = RelativeIntId(id);
    store.SetMapOverride(mapId);
    store.SetInt(absolute, value);
}

int32_t EventInterpreter::GetValue(int32_t code) {
    if (code < kMapSelfBase) return code;
    VariableStore& store = *ActiveEventLinks().variables;
    const int32_t absolute = RelativeIntId(code);
    store.SetMapOverride(mapId);
    return store.GetInt(absolute);
}

void EventInterpreter::SetStringVariable(VariableId id, std::string value) {
    VariableStore& store = *ActiveEventLinks().variables;
    const int32_t absolute = RelativeStringId(id);
    store.SetMapOverride(mapId);
    store.SetString(absolute, std::move(value));
}

std::string EventInterpreter::GetStringVariable(VariableId id) {
    VariableStore& store = *ActiveEventLinks().variables;
    const int32_t absolute = RelativeStringId(id);
    store.SetMapOverride(mapId);
    std::string text = store.GetString(absolute);
    // A string read does not use up the override; no later access may inherit it.
    store.SetMapOverride(-1);
    return text;
}

const EventInterpreter* EventInterpreter::PromptOwner() const {
    const EventInterpreter* at = this;
    while (!at->children.empty()) at = &at->children.front();
    return at->textInput != 0 ? at : nullptr;
}

void EventInterpreter::ShowMessage(const std::string& text) {
    // The request first: one that the memory stops leaves nothing waiting.
    ActiveEventLinks().system->RequestMessage(text);
    waitWindow = 1;
    ActiveWindowWaiters().SetMessageWaiter(this);
}

void WindowWaiters::EndMessageWait() {
    if (message_) message_->waitWindow = 0;
    message_ = nullptr;
}

void WindowWaiters::DeliverChoiceResult(int32_t value) {
    if (choice_) {
        if (int32_t* slot = choice_->BranchSlot(choiceIndent_)) *slot = value;
        choice_->waitWindow = 0;
    }
    choice_ = nullptr;
    choiceIndent_ = -1;
}

void WindowWaiters::Forget(const EventInterpreter* interpreter) {
    if (message_ == interpreter) message_ = nullptr;
    if (choice_ == interpreter) {
        choice_ = nullptr;
        choiceIndent_ = -1;
    }
}

void WindowWaiters::Moved(const EventInterpreter* from, EventInterpreter* to) {
    if (message_ == from) message_ = to;
    if (choice_ == from) choice_ = to;
}

WindowWaiters& ActiveWindowWaiters() {
    static WindowWaiters waiters;
    return waiters;
}

namespace {

// Room for the place line with the longest numbers.
constexpr size_t kPlaceLineBytes = 192;

struct OutOfMemoryLines {
    OutOfMemoryLines() { place.reserve(kPlaceLineBytes); }
    const std::string text = texts::kCommandOutOfMemory;
    // Written within the room kept.
    std::string place;
    const std::string none;
};
OutOfMemoryLines outOfMemoryLines;

}  // namespace

void ShowOutOfMemoryBox(const ErrorLocation& at) {
    // The place line as FormatErrorLocation writes it.
    char line[kPlaceLineBytes];
    const int length = std::snprintf(line, sizeof line, texts::kErrorLocation, at.mapEvent, at.commonEvent, at.line);
    OutOfMemoryLines& lines = outOfMemoryLines;
    lines.place.assign(line, static_cast<size_t>(std::clamp(length, 0, static_cast<int>(sizeof line) - 1)));
    ActiveErrorReporter().ShowErrorBox(lines.text, lines.place, lines.none);
}

ErrorLocation WaitingPlace(const EventInterpreter* waiter) {
    if (waiter == nullptr) return CurrentErrorLocation();
    return {waiter->eventId, waiter->commonId, waiter->line - 1};
}

}  // namespace velk
