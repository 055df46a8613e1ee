#include "game/data/databases.h"

#include "game/data/game_objects.h"

namespace velk {
namespace {

constexpr int kSpareSoundRows = 10;
constexpr int32_t kFirstSoundType = 1;
constexpr int32_t kLastSoundType = 3;

void BuildNameMapsOf(const Database& database, std::map<std::string, int32_t>& typeNames,
                     std::vector<std::map<std::string, int32_t>>& dataNames,
                     std::vector<std::map<std::string, int32_t>>& itemNames) {
    int32_t typeCount = database.GetTypeCount();
    typeNames.clear();
    dataNames.assign(static_cast<size_t>(typeCount), {});
    itemNames.assign(static_cast<size_t>(typeCount), {});
    // Walking down lets the lowest number overwrite the others.
    for (int32_t type = typeCount - 1; type >= 0; --type) {
        typeNames[database.GetTypeName(type)] = type;
        for (int32_t data = database.GetDataCount(type) - 1; data >= 0; --data) {
            dataNames[type][database.GetDataName(type, data)] = data;
        }
        for (int32_t item = database.GetItemCount(type) - 1; item >= 0; --item) {
            itemNames[type][database.GetItemName(type, item)] = item;
        }
    }
}

}  // namespace

Database* DatabaseSet::ByCommandKind(int kind) {
    switch (kind) {
        case kCommandChangeableDatabase:
            return &changeable;
        case kCommandSystemDatabase:
            return &system;
        case kCommandUserDatabase:
            return &user;
        default:
            return nullptr;
    }
}

DatabaseSet& GlobalDatabases() {
    if (DatabaseSet* installed = InstalledGameObjects().databases) return *installed;
    static DatabaseSet databases;
    return databases;
}

void LoadDatabases(DatabaseSet& databases) {
    databases.system = Database();
    databases.user = Database();
    databases.changeable = Database();
    databases.system.Load(kSystemDatabaseName);
    databases.user.Load(kUserDatabaseName);
    databases.changeable.Load(kChangeableDatabaseName);
    for (int32_t type = kFirstSoundType; type <= kLastSoundType; ++type) {
        databases.system.SetDataCount(type, databases.system.GetDataCount(type) + kSpareSoundRows);
    }
}

void BuildNameMaps(DatabaseSet& databases) {
    for (int kind : {kCommandChangeableDatabase, kCommandSystemDatabase, kCommandUserDatabase}) {
        BuildNameMapsOf(*databases.ByCommandKind(kind), databases.typeNameMaps[kind], databases.dataNameMaps[kind],
                        databases.itemNameMaps[kind]);
    }
}

}  // namespace velk
