#pragma once
// The game's three databases and the maps from names to numbers that let
// event commands name a type, a data row or an item.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "game/data/database.h"

namespace velk {

// The numbering event commands use for the databases.
enum DatabaseCommandKind : int {
    kCommandChangeableDatabase = 0,
    kCommandSystemDatabase = 1,
    kCommandUserDatabase = 2,
};

struct DatabaseSet {
    Database user;
    Database changeable;
    Database system;

    // Indexed by DatabaseCommandKind; per type for data and item names.
    std::array<std::map<std::string, int32_t>, 3> typeNameMaps;
    std::array<std::vector<std::map<std::string, int32_t>>, 3> dataNameMaps;
    std::array<std::vector<std::map<std::string, int32_t>>, 3> itemNameMaps;

    // The database of a command kind; null for any other kind.
    Database* ByCommandKind(int kind);
};

// The databases of this run.
DatabaseSet& GlobalDatabases();

// File names under the data folder.
inline constexpr char kSystemDatabaseName[] = "BasicData\\SysDataBase";
inline constexpr char kUserDatabaseName[] = "BasicData\\DataBase";
inline constexpr char kChangeableDatabaseName[] = "BasicData\\CDataBase";

// The start-up load: fresh databases, loaded system, user, changeable; then
// the system database's sound types 1-3 get ten spare rows each.
void LoadDatabases(DatabaseSet& databases);

// Rebuilds every name map from the databases' names. Where names repeat the
// lowest number wins.
void BuildNameMaps(DatabaseSet& databases);

}  // namespace velk
