// Event records and the main interpreter's save part: any bytes read as a
// run of event commands from a data file, as a move route from a save, or
// as the interpreter's part of a save of any version. Each read gives the
// record or "damaged"; what was read writes back.
#include <cstdint>
#include <vector>

#include "game/data/byte_writer.h"
#include "game/data/data_file_cursor.h"
#include "game/data/save_stream.h"
#include "game/event/event_records.h"
#include "game/event/main_event_interpreter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::vector<uint8_t> bytes(data + 2, data + size);
    switch (data[0] % 3) {
        case 0: {
            velk::DataFileCursor cursor(bytes);
            while (auto command = velk::ReadEventCommand(cursor)) {
                velk::ByteWriter out;
                for (const auto& route : command->routes)
                    velk::WriteMoveRoute(out, route);
            }
            break;
        }
        case 1: {
            velk::SaveStream save(bytes);
            if (auto route = velk::ReadMoveRoute(save)) {
                velk::ByteWriter out;
                velk::WriteMoveRoute(out, *route);
            }
            break;
        }
        default: {
            velk::SaveStream save(bytes);
            save.version = static_cast<uint16_t>(90 + data[1] % 25);
            velk::MainEventInterpreter main(32);
            if (main.ReadSave(save)) {
                velk::SaveStream again;
                main.WriteSave(again, 20, 20);
            }
            break;
        }
    }
    return 0;
}
