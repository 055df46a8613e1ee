#include "game/map/event_page.h"

#include <algorithm>

#include "game/data/data_file_cursor.h"
#include "game/map/map_data.h"

namespace velk {
namespace {

// The smallest command record: argument count, indent, string count, route flag.
constexpr size_t kSmallestCommandBytes = 4;

std::optional<std::string> ReadLimitedName(DataFileCursor& cursor) {
    auto length = cursor.U32();
    if (!length || *length > kMaxMapNameLength) return std::nullopt;
    auto bytes = cursor.Take(*length);
    if (!bytes) return std::nullopt;
    const auto zero = std::find(bytes->begin(), bytes->end(), uint8_t{0});
    return std::string(bytes->begin(), zero);
}

bool ReadGraphic(DataFileCursor& cursor, EventPageGraphic& graphic) {
    auto tile = cursor.I32();
    if (!tile) return false;
    graphic.tileNumber = *tile;
    auto name = ReadLimitedName(cursor);
    auto bytes = cursor.Take(4);
    if (!name || !bytes) return false;
    graphic.fileName = std::move(*name);
    graphic.facing = (*bytes)[0];
    graphic.pattern = (*bytes)[1];
    graphic.opacity = (*bytes)[2];
    graphic.blendMode = (*bytes)[3];
    return true;
}

bool ReadConditions(DataFileCursor& cursor, EventPageConditions& conditions) {
    auto bytes = cursor.Take(1 + conditions.flags.size());
    if (!bytes) return false;
    conditions.trigger = (*bytes)[0];
    std::copy(bytes->begin() + 1, bytes->end(), conditions.flags.begin());
    return cursor.ReadI32s(conditions.left) && cursor.ReadI32s(conditions.right);
}

bool ReadCommands(DataFileCursor& cursor, EventPage& page) {
    auto count = cursor.U32();
    if (!count || !cursor.CanHold(*count, kSmallestCommandBytes)) return false;
    page.commandCount = static_cast<int32_t>(*count);
    page.commands.clear();
    page.commands.reserve(*count);
    for (uint32_t i = 0; i < *count; ++i) {
        auto command = ReadEventCommand(cursor);
        if (!command) return false;
        page.commands.push_back(std::move(*command));
    }
    // The interpreter stops at the last command; a page stored without any
    // still needs one to stop at.
    if (page.commands.empty()) page.commands.emplace_back();
    EventCommand& last = page.commands.back();
    if (last.arguments.empty()) last.arguments.push_back(0);
    last.arguments[0] = kEndOfListCode;
    return true;
}

}  // namespace

std::optional<EventPage> ReadEventPage(DataFileCursor& cursor) {
    EventPage page;
    if (!cursor.Skip(1) || !ReadGraphic(cursor, page.graphic) || !ReadConditions(cursor, page.conditions)) {
        return std::nullopt;
    }
    auto route = ReadMoveRoute(cursor);
    if (!route) return std::nullopt;
    page.route = std::move(*route);
    if (!ReadCommands(cursor, page)) return std::nullopt;
    auto byteCount = cursor.U32();
    if (!byteCount) return std::nullopt;
    auto bytes = cursor.Take(*byteCount);
    if (!bytes) return std::nullopt;
    // The list only grows: a page keeps at least its three default bytes.
    if (page.bytes.size() < bytes->size()) page.bytes.resize(bytes->size());
    std::copy(bytes->begin(), bytes->end(), page.bytes.begin());
    if (!cursor.Skip(1)) return std::nullopt;
    return page;
}

}  // namespace velk
