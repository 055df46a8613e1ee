// The common-event data file: any bytes read as the scrambled file, then
// every record's list prepared for running and the name map rebuilt.
#include <cstdint>
#include <vector>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/event/command_table.h"
#include "game/event/common_events.h"
#include "tests/game/data/data_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::testing::RecordingReporter quiet;
    std::vector<uint8_t> file(data, data + size);
    velk::CommonEventList list;
    list.LoadFromBytes(file, "CommonEvent.dat");
    velk::DatabaseSet databases;
    velk::VariableStore store(nullptr, &databases);
    store.GrowCommonSelfVariables(list.Size());
    velk::CommandTable table;
    list.Prepare(table, store, databases);
    for (int32_t i = 0; i < list.Size(); ++i) {
        auto common = list.Get(i);
        if (!common || !common->commands || list.FindByName(list.Events()[static_cast<size_t>(i)].name) > i) return 1;
    }
    return 0;
}
