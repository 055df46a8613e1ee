#include "game/event/call_commands.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "game/data/error_reporter.h"
#include "game/data/game_wide_values.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/event/common_event_texts.h"
#include "game/event/common_events.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"

namespace velk {
namespace {

// Event numbers: below this a map event; from it a common event; from the
// relative base on counted from the running common event (the base itself
// names that event).
constexpr int32_t kCommonEventNumbers = 500000;
constexpr int32_t kRelativeCommonNumbers = 600000;
constexpr int32_t kRelativeSelf = 600100;
// A map-event call with this number calls the caller's own event.
constexpr int32_t kThisEvent = -1;
// Argument bits of the calls: counts of integer and string arguments, and
// (by name) whether the name's escape codes are expanded.
constexpr int32_t kIntCountMask = 0x0F;
constexpr int32_t kStringCountShift = 4;
constexpr int32_t kExpandNameBit = 0x100;
constexpr int32_t kFirstCallArgument = 3;
// Self variables: 100 per common event, strings from slot 5 on. Only
// common events below this have self variables.
constexpr int64_t kSelfSlotsPerCommon = 100;
constexpr int32_t kFirstStringSlot = 5;
constexpr int64_t kCommonsWithSelfVariables = 10000;
constexpr char kCommonFileMarker[] = ".common";

int32_t CallArgument(const EventCommand& command, int32_t k) {
    const size_t at = static_cast<size_t>(kFirstCallArgument + k);
    return at < command.arguments.size() ? command.arguments[at] : 0;
}

bool IsLoopHead(int32_t code) {
    return code == CodeValue(CommandCode::kLoopStart) || code == CodeValue(CommandCode::kLoopCount);
}

// A loop as the label search keeps it: indent x 10, + 1 for an endless loop.
int32_t LoopMark(const EventCommand& command) {
    return command.indent * 10 + (command.Code() == CodeValue(CommandCode::kLoopStart) ? 1 : 0);
}

constexpr int32_t kPopStep = -1;

void ApplyLoopStep(EventInterpreter& in, int32_t step) {
    if (step == kPopStep) {
        in.PopLoop();
    } else {
        in.PushLoop(step / 10, step % 10 == 1 ? EventInterpreter::kEndlessLoopCount : 0);
    }
}

// Jump data the preparation pass left: [1, label line, k, k x (indent,
// counter)], (-1, -1) popping a loop. False when there is none (or it does
// not fit the list).
bool ApplyPreparedJump(EventInterpreter& in, const EventCommand& command, size_t listSize) {
    const std::vector<int32_t>& jumps = command.jumps;
    if (jumps.size() < 3 || jumps[0] != 1 || jumps[1] < 0 || static_cast<size_t>(jumps[1]) >= listSize ||
        jumps[2] < 0 || (jumps.size() - 3) / 2 < static_cast<size_t>(jumps[2])) {
        return false;
    }
    for (int32_t k = 0; k < jumps[2]; ++k) {
        const int32_t indent = jumps[static_cast<size_t>(3 + 2 * k)];
        const int32_t counter = jumps[static_cast<size_t>(4 + 2 * k)];
        if (indent == -1 && counter == -1) {
            in.PopLoop();
        } else {
            in.PushLoop(indent, counter);
        }
    }
    in.line = jumps[1];
    return true;
}

}  // namespace

CallCommands::CallCommands(CommonEventList& commonEvents, VariableStore& variables, EventTextLink& text)
    : commonEvents_(commonEvents), variables_(variables), text_(text) {}

void CallCommands::RegisterInto(CommandTable& table) {
    table.Register(CommandCode::kCallEvent, 3, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return CallEvent(in, command); });
    table.Register(CommandCode::kReserveEvent, 3, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return ReserveEvent(in, command); });
    table.Register(
        CommandCode::kCallCommonEventByName, 3, 1,
        [this](EventInterpreter& in, const EventCommand& command) { return CallCommonEventByName(in, command); });
    table.Register(CommandCode::kJumpToLabel, 1, 1,
                   [this](EventInterpreter& in, const EventCommand& command) { return JumpToLabel(in, command); });
}

int64_t CallCommands::CommonIndexOf(const EventInterpreter& in, int32_t number) const {
    if (number < kRelativeCommonNumbers) return number % kCommonEventNumbers;
    const int64_t index = int64_t{in.commonId} + (int64_t{number} - kRelativeSelf);
    return std::max<int64_t>(std::min<int64_t>(index, commonEvents_.Size() - 1), 0);
}

CommandResult CallCommands::CallEvent(EventInterpreter& in, const EventCommand& command) {
    const int32_t number = in.GetValue(command.arguments[1]);
    if (number >= kCommonEventNumbers) {
        const int64_t common = CommonIndexOf(in, number);
        if (common < commonEvents_.Size()) {
            CallCommon(in, command, command.arguments[2], static_cast<int32_t>(common));
        } else {
            ShowTestPlayError(FormatText(texts::kMissingCommonEvent, number % kCommonEventNumbers));
        }
        return CommandResult::kAdvance;
    }
    const int32_t eventId = number == kThisEvent ? in.eventId : number;
    const int32_t page = in.GetValue(command.arguments[2]);
    EventMapLink& map = *ActiveEventLinks().map;
    const int32_t pages = map.EventPageCount(eventId);
    if (pages < 0 || pages <= page) {
        ShowTestPlayError(FormatText(texts::kMissingMapEvent, number, page + 1));
        return CommandResult::kAdvance;
    }
    SharedCommandList list = map.EventPageCommands(eventId, page);
    if (!list) list = std::make_shared<const CommandList>();
    in.StartChild(std::move(list), eventId, -1);
    return CommandResult::kAdvance;
}

CommandResult CallCommands::ReserveEvent(EventInterpreter& in, const EventCommand& command) {
    const int32_t number = in.GetValue(command.arguments[1]);
    if (number >= kCommonEventNumbers) {
        // The main interpreter starts a reservation when it is next idle; one
        // that names no common event is refused here.
        const int64_t common = CommonIndexOf(in, number);
        if (common < commonEvents_.Size()) {
            ActiveEventLinks().system->SetReservedCommonEvent(static_cast<int32_t>(common));
        }
        return CommandResult::kAdvance;
    }
    const int32_t page = in.GetValue(command.arguments[2]);
    EventMapLink& map = *ActiveEventLinks().map;
    if (number == kThisEvent) return CommandResult::kAdvance;
    const int32_t pages = map.EventPageCount(number);
    // The page only gates the request: the event starts with its current page.
    if (pages >= 0 && pages > page) map.RequestEventStart(number);
    return CommandResult::kAdvance;
}

CommandResult CallCommands::CallCommonEventByName(EventInterpreter& in, const EventCommand& command) {
    const int32_t bits = command.arguments[2];
    std::string name = command.strings[0];
    if (bits & kExpandNameBit) {
        EventTextOptions options;
        options.mapEventId = in.eventId;
        options.commonEventId = in.commonId;
        options.valuesOnly = true;
        options.leadingAtSignLine = true;
        name = text_.ConvertEscapeCodes(name, options);
    }
    const std::optional<int32_t> common =
        name.find(kCommonFileMarker) != std::string::npos ? LoadCommonFile(name) : commonEvents_.FindByName(name);
    // An index that a reload has left behind names nothing.
    if (common && *common >= 0 && *common < commonEvents_.Size()) CallCommon(in, command, bits, *common);
    return CommandResult::kAdvance;
}

std::optional<int32_t> CallCommands::LoadCommonFile(const std::string& name) {
    if (auto loaded = commonEvents_.LoadedFileIndex(name)) return loaded;
    const int32_t first = commonEvents_.Size();
    const int32_t count = commonEvents_.AppendFile(name, first, true);
    if (count < 0) return std::nullopt;
    variables_.GrowCommonSelfVariables(commonEvents_.Size());
    commonEvents_.PadRecords(first, first + count, *ActiveEventLinks().table);
    commonEvents_.RecordLoadedFile(name, first);
    for (int32_t i = first; i < first + count; ++i) {
        commonEvents_.SetName(commonEvents_.Events()[static_cast<size_t>(i)].name, i);
    }
    return first;
}

void CallCommands::CallCommon(EventInterpreter& in, const EventCommand& command, int32_t bits, int32_t common) {
    // Past the nesting limit the call does not happen at all.
    if (in.depth >= EventInterpreter::kMaxDepth) return;
    const int32_t ints = bits & kIntCountMask;
    const int32_t strings = (bits >> kStringCountShift) & kIntCountMask;
    const int64_t base = kCommonSelfBase + int64_t{common} * kSelfSlotsPerCommon;
    const bool hasSelfVariables = common < kCommonsWithSelfVariables;
    for (int32_t j = 0; j < ints; ++j) {
        const int32_t value = in.GetValue(CallArgument(command, j));
        if (hasSelfVariables) variables_.SetInt(static_cast<int32_t>(base + j), value);
    }
    for (int32_t j = 0; j < strings; ++j) {
        const size_t at = static_cast<size_t>(kFirstCallArgument + ints + j);
        std::string text = at < command.arguments.size() ? in.GetStringVariable(command.arguments[at]) : std::string();
        if (hasSelfVariables) variables_.SetString(static_cast<int32_t>(base + kFirstStringSlot + j), std::move(text));
    }
    in.StartChild(commonEvents_.Events()[static_cast<size_t>(common)].commands, in.eventId, common);
}

CommandResult CallCommands::JumpToLabel(EventInterpreter& in, const EventCommand& command) {
    // The list stays alive while it is searched, whatever the texts' escape
    // codes do.
    const SharedCommandList list = in.List();
    if (!list) return CommandResult::kNext;
    if (ApplyPreparedJump(in, command, list->Size())) return CommandResult::kNext;

    EventTextOptions options;
    options.mapEventId = in.eventId;
    options.commonEventId = in.commonId;
    options.mapId = in.mapId;
    options.leadingAtSignLine = true;
    // Every label met is converted as the name sought is; the matcher spares
    // the work of expansions that cannot change what the search finds, shows
    // or leaves behind.
    const std::unique_ptr<EventNameMatcher> matcher =
        text_.NameMatcher(text_.ConvertEscapeCodes(command.strings[0], options), options);
    auto matches = [&](const EventCommand& candidate) {
        if (candidate.Code() != CodeValue(CommandCode::kLabel)) return false;
        static const std::string kNoName;
        return matcher->Matches(candidate.strings.empty() ? kNoName : candidate.strings[0]);
    };

    // Above the current line the first matching label wins, then the loops
    // between it and the jump are left or re-entered; below it the nearest
    // matching label, entering and leaving loops on the way.
    enum class State { kBefore, kBack, kAfter, kDone } state = State::kBefore;
    std::vector<int32_t> open;
    std::deque<int32_t> steps;
    int32_t found = -1;
    const std::vector<EventCommand>& commands = list->Commands();
    const size_t current = static_cast<size_t>(in.line);
    for (size_t at = 0; at < commands.size() && state != State::kDone; ++at) {
        const EventCommand& next = commands[at];
        const bool head = IsLoopHead(next.Code());
        const bool end = IsLoopEndCode(next.Code());
        switch (state) {
            case State::kBefore:
                if (at == current) {
                    state = State::kAfter;
                } else if (matches(next)) {
                    found = static_cast<int32_t>(at);
                    state = State::kBack;
                } else if (head) {
                    open.push_back(LoopMark(next));
                } else if (end && !open.empty()) {
                    open.pop_back();
                }
                break;
            case State::kBack:
                if (at == current) {
                    state = State::kDone;
                } else if (head) {
                    open.push_back(LoopMark(next));
                    steps.push_front(kPopStep);
                } else if (end && !open.empty()) {
                    steps.push_front(open.back());
                    open.pop_back();
                }
                break;
            case State::kAfter:
                if (matches(next)) {
                    found = static_cast<int32_t>(at);
                    state = State::kDone;
                } else if (head) {
                    open.push_back(LoopMark(next));
                    steps.push_back(LoopMark(next));
                } else if (end) {
                    if (!open.empty()) open.pop_back();
                    steps.push_back(kPopStep);
                }
                break;
            case State::kDone: break;
        }
    }
    if (found < 0) return CommandResult::kNext;
    for (int32_t step : steps)
        ApplyLoopStep(in, step);
    in.line = found;
    return CommandResult::kNext;
}

void CallCommands::ShowTestPlayError(const std::string& line) {
    if (GlobalGameWideValues().testPlayFlag) ActiveErrorReporter().ShowErrorBox(texts::kTestPlayOnlyError, line, "");
}

}  // namespace velk
