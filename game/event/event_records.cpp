#include "game/event/event_records.h"

#include <algorithm>

#include "game/data/byte_writer.h"
#include "game/data/data_file_cursor.h"
#include "game/data/save_stream.h"

namespace velk {

namespace {

// The two cursors the records are read through, seen alike.
struct FileSource {
    DataFileCursor& cursor;
    std::optional<uint8_t> U8() { return cursor.U8(); }
    std::optional<int32_t> I32() { return cursor.I32(); }
    std::optional<uint32_t> U32() { return cursor.U32(); }
    bool CanHold(uint64_t count, size_t size) { return cursor.CanHold(count, size); }
    std::optional<std::string> Text(size_t length) {
        auto bytes = cursor.Take(length);
        if (!bytes) return std::nullopt;
        return std::string(bytes->begin(), bytes->end());
    }
};

struct SaveSource {
    SaveStream& save;
    std::optional<uint8_t> U8() { return save.ReadU8(); }
    std::optional<int32_t> I32() { return save.ReadI32(); }
    std::optional<uint32_t> U32() { return save.ReadU32(); }
    bool CanHold(uint64_t count, size_t size) { return save.CanHold(count, size); }
    // Move-command texts are at most 255 bytes, so byte by byte is fine.
    std::optional<std::string> Text(size_t length) {
        std::string text;
        for (size_t i = 0; i < length; ++i) {
            auto byte = save.ReadU8();
            if (!byte) return std::nullopt;
            text.push_back(static_cast<char>(*byte));
        }
        return text;
    }
};

// A stored text holds its terminating zero; the text ends at the first zero.
std::string UpToZero(std::string bytes) {
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

template <typename Source>
bool ReadI32List(Source& source, size_t count, std::vector<int32_t>& values) {
    if (!source.CanHold(count, 4)) return false;
    values.resize(count);
    for (auto& value : values) {
        auto read = source.I32();
        if (!read) return false;
        value = *read;
    }
    return true;
}

template <typename Source>
std::optional<MoveCommand> ReadMoveCommandFrom(Source& source) {
    MoveCommand command;
    auto code = source.U8();
    auto count = source.U8();
    if (!code || !count) return std::nullopt;
    command.code = *code;
    if (!ReadI32List(source, *count, command.arguments)) return std::nullopt;
    auto length = source.U8();
    if (!length) return std::nullopt;
    auto text = source.Text(*length);
    if (!text) return std::nullopt;
    command.text = UpToZero(std::move(*text));
    return command;
}

template <typename Source>
std::optional<MoveRoute> ReadMoveRouteFrom(Source& source) {
    MoveRoute route;
    // Stored in the order 1, 2, 3, 0, 4, 5.
    for (size_t index : {1, 2, 3, 0, 4, 5}) {
        auto byte = source.U8();
        if (!byte) return std::nullopt;
        route.options[index] = *byte;
    }
    auto count = source.U32();
    // The smallest move command is three bytes (code, no arguments, no text).
    if (!count || *count > MoveRoute::kMaxCommands || !source.CanHold(*count, 3)) return std::nullopt;
    route.commands.reserve(*count);
    for (uint32_t i = 0; i < *count; ++i) {
        auto command = ReadMoveCommandFrom(source);
        if (!command) return std::nullopt;
        route.commands.push_back(std::move(*command));
    }
    return route;
}

}  // namespace

std::optional<EventCommand> ReadEventCommand(DataFileCursor& cursor) {
    FileSource source{cursor};
    EventCommand command;
    auto count = cursor.U8();
    if (!count || !ReadI32List(source, *count, command.arguments)) return std::nullopt;
    auto indent = cursor.U8();
    auto strings = cursor.U8();
    if (!indent || !strings) return std::nullopt;
    command.indent = *indent;
    command.strings.reserve(*strings);
    for (int i = 0; i < *strings; ++i) {
        auto text = cursor.ReadString();
        if (!text) return std::nullopt;
        command.strings.push_back(std::move(*text));
    }
    auto routeFlag = cursor.U8();
    if (!routeFlag) return std::nullopt;
    if (*routeFlag != 0) {
        auto route = ReadMoveRouteFrom(source);
        if (!route) return std::nullopt;
        command.routes.push_back(std::move(*route));
    }
    return command;
}

std::optional<MoveRoute> ReadMoveRoute(DataFileCursor& cursor) {
    FileSource source{cursor};
    return ReadMoveRouteFrom(source);
}

std::optional<MoveCommand> ReadMoveCommand(DataFileCursor& cursor) {
    FileSource source{cursor};
    return ReadMoveCommandFrom(source);
}

std::optional<MoveRoute> ReadMoveRoute(SaveStream& save) {
    SaveSource source{save};
    return ReadMoveRouteFrom(source);
}

std::optional<MoveCommand> ReadMoveCommand(SaveStream& save) {
    SaveSource source{save};
    return ReadMoveCommandFrom(source);
}

void WriteMoveRoute(ByteWriter& out, const MoveRoute& route) {
    for (size_t index : {1, 2, 3, 0, 4, 5})
        out.WriteU8(route.options[index]);
    out.WriteU32(static_cast<uint32_t>(route.commands.size()));
    for (const auto& command : route.commands)
        WriteMoveCommand(out, command);
}

void WriteEventCommand(ByteWriter& out, const EventCommand& command) {
    const size_t arguments = std::min<size_t>(command.arguments.size(), 255);
    out.WriteU8(static_cast<uint8_t>(arguments));
    for (size_t i = 0; i < arguments; ++i)
        out.WriteI32(command.arguments[i]);
    out.WriteU8(static_cast<uint8_t>(command.indent));
    const size_t strings = std::min<size_t>(command.strings.size(), 255);
    out.WriteU8(static_cast<uint8_t>(strings));
    for (size_t i = 0; i < strings; ++i)
        out.WriteString(command.strings[i]);
    out.WriteU8(command.routes.empty() ? 0 : 1);
    if (!command.routes.empty()) WriteMoveRoute(out, command.routes.front());
}

void WriteMoveCommand(ByteWriter& out, const MoveCommand& command) {
    out.WriteU8(command.code);
    const size_t count = std::min<size_t>(command.arguments.size(), 255);
    out.WriteU8(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count; ++i)
        out.WriteI32(command.arguments[i]);
    std::string_view text = command.text;
    const std::string_view cut = text.substr(0, text.find('\0')).substr(0, 254);
    out.WriteU8(static_cast<uint8_t>(cut.size() + 1));
    out.WriteBytes({reinterpret_cast<const uint8_t*>(cut.data()), cut.size()});
    out.WriteU8(0);
}

}  // namespace velk
