// A database's ".dat" file: any bytes read as its types, then every cell,
// name and row-count operation run over what was read.
#include <cstdint>
#include <vector>

#include "game/data/databases.h"
#include "tests/game/data/data_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::testing::RecordingReporter quiet;
    std::vector<uint8_t> file(data, data + size);
    velk::DatabaseSet databases;
    uint8_t version = 0;
    velk::ParseDatabaseData(file, databases.user, version);
    velk::Database& database = databases.user;
    for (int32_t type = -1; type <= database.GetTypeCount() && type < 8; ++type) {
        for (int32_t item = -1; item <= database.GetItemCount(type) && item < 8; ++item) {
            database.GetInt(type, 0, item);
            database.GetString(type, 1, item);
            database.GetIntPtr(type, 0, item, true);
            database.SetInt(type, 0, item, 5);
            database.SetString(type, 0, item, "x");
            database.GetDataName(type, 0);
        }
        database.ResetData(type, 0);
        database.SetDataCount(type, database.GetDataCount(type) + 2);
    }
    velk::BuildNameMaps(databases);
    return 0;
}
