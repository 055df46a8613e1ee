#pragma once
// The records that carry event logic, as every data file stores them: one
// event command, and a movement program (route) of move commands. Map files,
// common-event files and saves share these layouts; each reader takes one
// bounded cursor and gives the record or nullopt ("damaged").

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk {

class ByteWriter;
class DataFileCursor;
class SaveStream;

struct MoveCommand {
    uint8_t code = 0;
    std::vector<int32_t> arguments;
    std::string text;

    bool operator==(const MoveCommand&) const = default;
};

struct MoveRoute {
    // Memory order 0-5: move type, animation speed, move speed, move
    // frequency, the page's option bits, the route's own bits (bit 0 repeat,
    // bit 1 skip a blocked step).
    std::array<uint8_t, 6> options = {0, 3, 3, 3, 3, 2};
    std::vector<MoveCommand> commands;

    static constexpr uint32_t kMaxCommands = 65536;
    // Bit 0-6 of the page option bits (option byte 4).
    bool OptionBit(int bit) const { return (options[4] >> bit) & 1; }
    bool operator==(const MoveRoute&) const = default;
};

struct EventCommand {
    // Argument 0 is the command code.
    std::vector<int32_t> arguments = {0};
    // Nesting depth; one byte on disk.
    int32_t indent = 0;
    std::vector<std::string> strings;
    // Empty or one route.
    std::vector<MoveRoute> routes;
    // Filled by the preparation pass before a list first runs: jump targets
    // and resolved variable references. Empty after reading.
    std::vector<int32_t> jumps;
    std::vector<int32_t> resolved;

    int32_t Code() const { return arguments.empty() ? 0 : arguments[0]; }
    bool operator==(const EventCommand&) const = default;
};

// Readers over a game data file. The position advances past the record on
// success; on nullopt it is left somewhere inside the damaged record.
std::optional<EventCommand> ReadEventCommand(DataFileCursor& cursor);
std::optional<MoveRoute> ReadMoveRoute(DataFileCursor& cursor);
std::optional<MoveCommand> ReadMoveCommand(DataFileCursor& cursor);
// The same layouts inside a save; short data sets the stream's error flag.
std::optional<MoveRoute> ReadMoveRoute(SaveStream& save);
std::optional<MoveCommand> ReadMoveCommand(SaveStream& save);

// Saves store routes in the data-file layout. A text longer than 254 bytes
// is cut there (its stored length is one byte, counting the zero).
void WriteMoveRoute(ByteWriter& out, const MoveRoute& route);
void WriteMoveCommand(ByteWriter& out, const MoveCommand& command);
// A command as map files and common-event files store it: at most 255
// arguments and 255 strings (one-byte counts), the indent in one byte.
void WriteEventCommand(ByteWriter& out, const EventCommand& command);

}  // namespace velk
