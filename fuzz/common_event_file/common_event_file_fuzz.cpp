// A ".common" file: any bytes (after two bytes choosing where it lands and
// whether its records are read) appended to a fresh list of common events,
// whose new records are then padded for running.
#include <cstdint>
#include <vector>

#include "game/event/command_table.h"
#include "game/event/common_events.h"
#include "tests/game/data/data_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    velk::testing::RecordingReporter quiet;
    const std::vector<uint8_t> file(data + 2, data + size);
    velk::CommonEventList list;
    const int32_t first = data[0] % 40;
    const int32_t count = list.AppendBytes(file, first, (data[1] & 1) != 0);
    if (count > 0) {
        velk::CommandTable table;
        list.PadRecords(first, first + count, table);
    }
    return 0;
}
