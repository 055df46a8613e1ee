#include "game/present/sound_commands.h"

#include "game/data/error_reporter.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/event_records.h"
#include "game/present/escape_codes.h"
#include "game/present/sound_state.h"
#include "game/present/speech_texts.h"

namespace velk {
namespace {

constexpr int32_t kPlay = 0;
constexpr int32_t kPreload = 1;
constexpr int32_t kRelease = 2;
constexpr int32_t kNumberInWord = 0;
constexpr int32_t kNumberInArgument = 1;
constexpr int32_t kFileName = 2;
// Play and preload of this number do nothing.
constexpr int32_t kNoSound = -2;

class InterpreterArguments final : public SoundCommandArguments {
public:
    InterpreterArguments(EventInterpreter& interpreter, const EventCommand& command)
        : interpreter_(interpreter), command_(command) {}
    int32_t Count() const override { return static_cast<int32_t>(command_.arguments.size()); }
    int32_t Raw(int32_t index) const override { return command_.arguments[static_cast<size_t>(index)]; }
    int32_t Value(int32_t index) override { return interpreter_.GetValue(Raw(index)); }
    std::string FileName() override { return RevertEscapeCodes(SpeechText()); }
    std::string SpeechText() override {
        if (command_.strings.empty()) return {};
        EscapeCodeOptions options;
        options.mapEventId = interpreter_.eventId;
        options.commonEventId = interpreter_.commonId;
        // Self variables of map events are read on the map shown now, even
        // for an event set up on the map before a transfer.
        options.mapId = -1;
        options.valuesOnly = true;
        options.leadingAtSignLine = true;
        return ConvertEscapeCodes(*ActiveEventLinks().variables, command_.strings[0], options);
    }

private:
    EventInterpreter& interpreter_;
    const EventCommand& command_;
};

int32_t ValueOf(SoundCommandArguments& arguments, int32_t index) {
    return index < arguments.Count() ? arguments.Value(index) : 0;
}

}  // namespace

bool SoundCommands::Sound(SoundCommandArguments& arguments) {
    const int32_t option = arguments.Count() > 1 ? arguments.Raw(1) : 0;
    const int32_t operation = option & 0xF;
    const int32_t kind = (option >> 4) & 0xF;
    const int32_t source = (option >> 24) & 0xF;
    int32_t number = -1;
    if (source == kNumberInWord) {
        number = (option >> 8) & 0xFFFF;
    } else if (source == kNumberInArgument) {
        number = ValueOf(arguments, 3);
        if (operation == kRelease && number == -1) return true;
    } else if (source == kFileName) {
        const std::string name = arguments.FileName();
        const int32_t fade = ValueOf(arguments, 2);
        const int32_t loop = kind < SoundState::kSoundEffect ? ValueOf(arguments, 7) : 0;
        const int32_t volume = ValueOf(arguments, 5);
        const int32_t frequency = ValueOf(arguments, 6);
        number = sound_.AddSoundFile(name, kind, fade, loop, volume, frequency);
        if (number == SoundState::kNotRegistered) return true;
    }
    const int32_t start = arguments.Count() >= 5 ? ValueOf(arguments, 4) : 0;
    if (operation == kPlay && number != kNoSound) {
        sound_.Play(kind, number, ValueOf(arguments, 2), start);
    } else if (operation == kPreload && number != kNoSound) {
        sound_.LoadSound(kind, number);
    } else if (operation == kRelease) {
        sound_.ReleaseSound(kind, number);
    }
    return true;
}

bool SoundCommands::Speech(SoundCommandArguments& arguments) {
    if (!sound_.SpeechAvailable()) {
        ActiveErrorReporter().ShowErrorBox(texts::kSpeechCommandWithoutLibrary, texts::kSpeechCommandWithoutLibrary2,
                                           FormatErrorLocation());
        return true;
    }
    const std::string text = arguments.SpeechText();
    const int32_t speed = ValueOf(arguments, 1);
    const int32_t volume = ValueOf(arguments, 2);
    const int32_t pitch = ValueOf(arguments, 3);
    const int32_t number = sound_.AddSpeech(text, speed, volume, pitch);
    if (number == SoundState::kNotRegistered) return true;
    sound_.Play(SoundState::kSoundEffect, number, ValueOf(arguments, 4), 0);
    return true;
}

void SoundCommandSet::RegisterInto(CommandTable& table) {
    // The option word is the one argument every form reads; the others are
    // read only when the command has them.
    table.Register(CommandCode::kSound, 2, 0, [this](EventInterpreter& interpreter, const EventCommand& command) {
        InterpreterArguments arguments(interpreter, command);
        commands_.Sound(arguments);
        return CommandResult::kAdvance;
    });
    table.Register(CommandCode::kSpeech, 5, 1, [this](EventInterpreter& interpreter, const EventCommand& command) {
        InterpreterArguments arguments(interpreter, command);
        commands_.Speech(arguments);
        return CommandResult::kAdvance;
    });
}

}  // namespace velk
