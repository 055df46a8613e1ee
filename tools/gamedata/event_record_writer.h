#pragma once
// Writes event commands in the layout map files and common-event files
// store them (the game only reads these; routes it also writes into saves).

#include "game/data/byte_writer.h"
#include "game/event/event_records.h"

namespace velk::gamedata {

// At most 255 arguments and 255 strings are stored (one-byte counts); the
// indent is stored as one byte.
void WriteEventCommand(ByteWriter& out, const EventCommand& command);

}  // namespace velk::gamedata
