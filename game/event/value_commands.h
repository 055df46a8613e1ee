#pragma once
// The commands that compute values into variables: variable operation,
// string operation, the condition branches, database operation, key input
// and game values. They work on game data; what they read of the game above
// comes through the links they are built with.

#include <array>
#include <cstdint>
#include <string>

#include "game/event/command_table.h"

namespace velk {

class EventTextLink;
class GameValueLink;
class KeyInputLink;
class TextPromptLink;
class VariableStore;
struct DatabaseSet;
struct SystemVariableBlock;

struct ValueCommandLinks {
    EventTextLink* text;
    TextPromptLink* prompt;
    KeyInputLink* keys;
    GameValueLink* gameValues;
};

class ValueCommands final : public CommandHandlerSet {
public:
    // `testPlay` shows the messages meant for the game's maker only.
    ValueCommands(VariableStore& variables, DatabaseSet& databases, SystemVariableBlock& systemVariables,
                  ValueCommandLinks links, bool testPlay);

    void RegisterInto(CommandTable& table) override;

    CommandResult VariableOperation(EventInterpreter& in, const EventCommand& command);
    CommandResult ConditionBranch(EventInterpreter& in, const EventCommand& command);
    CommandResult StringConditionBranch(EventInterpreter& in, const EventCommand& command);
    CommandResult StringOperation(EventInterpreter& in, const EventCommand& command);
    CommandResult DatabaseOperation(EventInterpreter& in, const EventCommand& command);
    CommandResult KeyInput(EventInterpreter& in, const EventCommand& command);
    CommandResult AssignGameValue(EventInterpreter& in, const EventCommand& command);

private:
    bool RunPreparedVariableOperation(EventInterpreter& in, const EventCommand& command);
    void AssignToStringTarget(EventInterpreter& in, const EventCommand& command, int32_t target);
    bool RunPreparedBranch(EventInterpreter& in, const EventCommand& command);
    static bool PreparedBranch(const EventCommand& command);
    // Goes to the case of condition `result` (0: the case for none holding)
    // through the prepared lines.
    static void EnterCase(EventInterpreter& in, const EventCommand& command, int32_t result);
    bool RunPreparedDatabaseOperation(EventInterpreter& in, const EventCommand& command);
    // Opens the text prompt, which takes over `head` (the target's text
    // that the typed text will follow).
    enum class PromptStart { kBusy, kOpened, kFailed };
    PromptStart OpenTextPrompt(EventInterpreter& in, const EventCommand& command, int32_t target, std::string& head);
    std::string ListFolder(const std::string& name);
    void WriteTextFile(const std::string& name, const std::string& text);
    // Checks a database cell's numbers; false (after its box) when the cell
    // does not exist in the address space.
    bool CellNumbersValid(int32_t type, int32_t data, int32_t item, bool testPlayOnlyRange);
    int32_t GameValue(EventInterpreter& in, int32_t kind, int32_t flags, int32_t first, int32_t second);
    int32_t CharacterValue(EventInterpreter& in, int32_t code, int32_t field);
    int32_t MapValue(int32_t subKind, int32_t x, int32_t y, bool precise);
    int32_t OtherValue(EventInterpreter& in, int32_t number);
    int32_t EventUnderMouse();
    std::string Expand(EventInterpreter& in, const std::string& text, bool leadingAtSignLine);
    void ShowTestPlayBox(const std::string& line1, const std::string& line2, const std::string& line3);

    VariableStore& variables_;
    DatabaseSet& databases_;
    SystemVariableBlock& systemVariables_;
    ValueCommandLinks links_;
    bool testPlay_;
};

// Key capture: one number per key. Keyboard keys give their code + 100, pad
// buttons 301-315; 0 none. `state` holds the key that must be released
// before it counts again. `option` asks for one key (100-355) or one
// button (300-320).
int32_t CaptureKeyboardKey(bool init, bool wait, int32_t& state, int32_t option,
                           const std::array<uint8_t, 256>& keys);
int32_t CapturePadButton(bool init, bool wait, int32_t& state, int32_t option, uint32_t padButtons);
// The display name of a keyboard key code (empty for codes without one).
std::string GetKeyCodeName(int32_t code);

}  // namespace velk
