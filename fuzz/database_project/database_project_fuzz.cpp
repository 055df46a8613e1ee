// A database's ".project" file: any bytes read as the type definitions (the
// first byte picks the format version), then the name operations over them.
#include <cstdint>
#include <span>

#include "game/data/databases.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint8_t version = (data[0] & 1) ? 193 : 192;
    velk::DatabaseSet databases;
    velk::Database& database = databases.system;
    velk::ParseDatabaseProject(std::span<const uint8_t>(data + 1, size - 1), version, database);
    database.types.resize(database.typeDefs.size() % 16);
    for (size_t type = 0; type < database.types.size(); ++type) database.types[type].dataNameSource = static_cast<int32_t>(type % 4);
    for (int32_t type = -1; type < static_cast<int32_t>(database.typeDefs.size()) + 1 && type < 16; ++type) {
        database.GetTypeName(type);
        database.GetItemName(type, 0);
        database.GetItemKindClass(type, 0);
        for (int32_t data_row = -1; data_row < 4; ++data_row) database.GetDataName(type, data_row);
    }
    velk::BuildNameMaps(databases);
    return 0;
}
