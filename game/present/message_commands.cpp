#include "game/present/message_commands.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <utility>

#include "game/data/game_system.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/present/escape_codes.h"

namespace velk {
namespace {

// The system strings put before and after every message.
constexpr int32_t kMessagePrefixString = 26;
constexpr int32_t kMessageSuffixString = 27;
constexpr size_t kMaxChoices = 10;

EscapeCodeOptions RunningEvent(const EventInterpreter& interpreter) {
    EscapeCodeOptions options;
    options.mapEventId = interpreter.eventId;
    options.commonEventId = interpreter.commonId;
    options.mapId = interpreter.mapId;
    // A first line "@n" sets system variable 0 in messages and choice items
    // alike; in an item it would otherwise split the item over two lines.
    options.leadingAtSignLine = true;
    return options;
}

}  // namespace

void MessageCommands::RegisterInto(CommandTable& table) {
    table.Register(CommandCode::kMessage, 1, 1,
                   [this](EventInterpreter& in, const EventCommand& command) { return Message(in, command); });
    table.Register(CommandCode::kChoices, 2, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return Choices(in, command); });
    table.Register(CommandCode::kSetChoiceCloseFlag, 1, 0, [this](EventInterpreter&, const EventCommand&) {
        system_.closeChoicesRequest = 1;
        return CommandResult::kAdvance;
    });
    table.Register(CommandCode::kCloseMessage, 1, 0, [this](EventInterpreter&, const EventCommand&) {
        system_.closeMessageRequest = 1;
        return CommandResult::kAdvance;
    });
}

bool MessageCommands::WindowsBusy() const { return !system_.messageRequest.empty() || !system_.choiceRequest.empty(); }

CommandResult MessageCommands::Message(EventInterpreter& in, const EventCommand& command) {
    // An earlier window is still up: try again next frame.
    if (WindowsBusy()) return CommandResult::kStopFrame;
    EscapeCodeOptions options = RunningEvent(in);
    options.wrap = true;
    options.prefix = store_.GetSystemString(kMessagePrefixString);
    options.suffix = store_.GetSystemString(kMessageSuffixString);
    std::string text = ConvertEscapeCodes(store_, command.strings[0], options);
    // An empty message still opens a window the player closes.
    if (text.empty()) {
        in.ShowMessage(" ");
    } else {
        in.ShowMessage(text);
    }
    system_.lastMessageText = std::move(text);
    system_.closeMessageRequest = 0;

    // Choices on the next line open with the message.
    const SharedCommandList list = in.List();
    const size_t next = static_cast<size_t>(in.line) + 1;
    if (!list || in.line < 0 || next >= list->Size()) return CommandResult::kAdvance;
    const EventCommand& following = (*list)[next];
    if (following.Code() != CodeValue(CommandCode::kChoices) || following.arguments.size() < 2) {
        return CommandResult::kAdvance;
    }
    in.line = static_cast<int32_t>(next);
    system_.choicesWithMessage = 1;
    system_.choiceEnded = 0;
    try {
        if (!OpenChoices(in, following)) {
            system_.choicesWithMessage = 0;
            // The choice was answered at once, which ended the interpreter's
            // wait; the message it shows still holds it.
            in.waitWindow = 1;
        }
    } catch (const std::bad_alloc&) {
        // Choices the memory stops are not offered: the message is shown
        // alone, and closes on its own answer.
        system_.choicesWithMessage = 0;
        throw;
    }
    return CommandResult::kAdvance;
}

CommandResult MessageCommands::Choices(EventInterpreter& in, const EventCommand& command) {
    if (WindowsBusy()) return CommandResult::kStopFrame;
    system_.choicesWithMessage = 0;
    system_.choiceEnded = 0;
    OpenChoices(in, command);
    return CommandResult::kAdvance;
}

bool MessageCommands::OpenChoices(EventInterpreter& in, const EventCommand& command) {
    const int32_t packed = command.arguments[1];
    const int32_t count = packed & 15;
    system_.choiceCount = count;
    system_.closeChoicesRequest = 0;
    system_.choiceRequest.clear();
    std::fill(system_.choiceTexts.begin(), system_.choiceTexts.end(), std::string());
    const EscapeCodeOptions options = RunningEvent(in);
    bool anyItem = false;
    // Made aside and handed over whole: memory that runs out halfway leaves
    // no part of a choice for the window to open.
    std::string request;
    std::array<std::string, kMaxChoices> items;
    const size_t texts = std::min(command.strings.size(), kMaxChoices);
    for (size_t i = 0; i < texts; ++i) {
        std::string text = ConvertEscapeCodes(store_, command.strings[i], options);
        request += text;
        request += '\n';
        if (!text.empty()) anyItem = true;
        items[i] = std::move(text);
    }
    system_.choiceRequest = std::move(request);
    std::move(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(texts), system_.choiceTexts.begin());
    in.waitWindow = 1;
    system_.choiceCancelValue = ((packed >> 4) & 15) - 2;
    system_.choiceOptions = (packed >> 8) & 15;
    waiters_.SetChoiceWaiter(command.indent, &in);
    if (anyItem) return true;
    system_.choiceRequest.clear();
    system_.closeMessageRequest = 0;
    waiters_.DeliverChoiceResult(system_.choiceCancelValue + 2);
    return false;
}

}  // namespace velk
