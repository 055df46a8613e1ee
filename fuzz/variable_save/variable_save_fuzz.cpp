// The variables' part of a save: any bytes read back into a store (both
// string formats), which must either take all of them or change nothing.
#include <cstdint>
#include <vector>

#include "game/data/databases.h"
#include "game/data/save_stream.h"
#include "game/data/variable_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    velk::DatabaseSet databases;
    velk::VariableStore store(nullptr, &databases);
    velk::SaveStream stream(std::vector<uint8_t>(data + 1, data + size));
    stream.version = (data[0] & 1) ? 111 : 110;
    if (store.ReadSave(stream, false)) {
        velk::SaveStream again;
        store.WriteSave(again);
    }
    return 0;
}
