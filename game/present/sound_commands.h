#pragma once
// The handlers of the sound command, which plays, preloads or releases a row
// of the music, background-sound or sound-effect list, named by number or by
// a file that it registers in a spare row first, and of the speech command,
// which speaks a text into a spare sound-effect row and plays it. The
// interpreter's command table calls them with the command's arguments.

#include <cstdint>
#include <string>

#include "game/event/command_table.h"

namespace velk {

class SoundState;

// A command's arguments as the handler reads them.
class SoundCommandArguments {
public:
    virtual ~SoundCommandArguments() = default;
    // Integer arguments, the command code (argument 0) included.
    virtual int32_t Count() const = 0;
    // An integer argument as stored.
    virtual int32_t Raw(int32_t index) const = 0;
    // An integer argument read as a value: a variable ID gives the
    // variable's value, anything below 1000000 itself.
    virtual int32_t Value(int32_t index) = 0;
    // String argument 0 with its value codes expanded and its format codes
    // turned back into text.
    virtual std::string FileName() = 0;
    // String argument 0 with its value codes expanded.
    virtual std::string SpeechText() = 0;
};

class SoundCommands {
public:
    explicit SoundCommands(SoundState& sound) : sound_(sound) {}

    // The command always goes on to the next one.
    bool Sound(SoundCommandArguments& arguments);
    // Integer arguments 1-4: speed, volume, pitch (frequency percent) and
    // the delay handed to the play. Without the speech library an error box
    // says so. The command always goes on to the next one.
    bool Speech(SoundCommandArguments& arguments);

private:
    SoundState& sound_;
};

// The sound and speech commands in the interpreter's command table: their
// integer arguments read through the running interpreter, their texts with
// the value codes expanded for the running event.
class SoundCommandSet final : public CommandHandlerSet {
public:
    explicit SoundCommandSet(SoundState& sound) : commands_(sound) {}
    void RegisterInto(CommandTable& table) override;

private:
    SoundCommands commands_;
};

}  // namespace velk
