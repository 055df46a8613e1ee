#include "tools/gamedata/event_record_writer.h"

#include <algorithm>

namespace velk::gamedata {

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

}  // namespace velk::gamedata
