#include "tools/gamedata/game_description.h"

#include <algorithm>

namespace velk::gamedata {
namespace {

int32_t ItemsOfClass(const DatabaseTypeDescription& type, int32_t itemClass) {
    return static_cast<int32_t>(std::count_if(type.items.begin(), type.items.end(), [&](const auto& item) {
        return item.kind / 1000 == itemClass;
    }));
}

}  // namespace

DatabaseItemDescription& AddNumberItem(DatabaseTypeDescription& type, const std::string& name, int32_t defaultValue) {
    DatabaseItemDescription item;
    item.name = name;
    item.kind = 1000 + ItemsOfClass(type, 1);
    item.defaultValue = defaultValue;
    return type.items.emplace_back(std::move(item));
}

DatabaseItemDescription& AddStringItem(DatabaseTypeDescription& type, const std::string& name) {
    DatabaseItemDescription item;
    item.name = name;
    item.kind = 2000 + ItemsOfClass(type, 2);
    return type.items.emplace_back(std::move(item));
}

DatabaseRowDescription& AddRow(DatabaseTypeDescription& type, const std::string& name,
                               const std::vector<int32_t>& numbers, const std::vector<std::string>& strings) {
    DatabaseRowDescription row;
    row.name = name;
    size_t nextNumber = 0, nextString = 0;
    for (const DatabaseItemDescription& item : type.items) {
        size_t slot = static_cast<size_t>(item.kind % 1000);
        if (item.kind / 1000 == 1) {
            if (row.numbers.size() <= slot) row.numbers.resize(slot + 1, 0);
            row.numbers[slot] = nextNumber < numbers.size() ? numbers[nextNumber] : item.defaultValue;
            ++nextNumber;
        } else if (item.kind / 1000 == 2) {
            if (row.strings.size() <= slot) row.strings.resize(slot + 1);
            row.strings[slot] = nextString < strings.size() ? strings[nextString] : std::string();
            ++nextString;
        }
    }
    return type.rows.emplace_back(std::move(row));
}

}  // namespace velk::gamedata
