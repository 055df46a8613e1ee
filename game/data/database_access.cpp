#include <algorithm>

#include "game/data/data_texts.h"
#include "game/data/database.h"
#include "game/data/error_reporter.h"
#include "game/data/text_format.h"

namespace velk {

int DatabaseReadErrorFlag = 0;

namespace {

void ShowError(const std::string& line1, const std::string& line2, const std::string& line3) {
    ActiveErrorReporter().ShowErrorBox(line1, line2, line3);
}

template <typename T>
bool InRange(int32_t index, const std::vector<T>& list) {
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

struct ItemCounts {
    size_t numbers = 0;
    size_t strings = 0;
};

ItemCounts CountItems(const DbTypeData& type) {
    ItemCounts counts;
    for (int32_t kind : type.itemKinds) {
        if (kind / 1000 == kNumberItemClass) ++counts.numbers;
        if (kind / 1000 == kStringItemClass) ++counts.strings;
    }
    return counts;
}

// The number cell of an item of kind `kind`, or null when the row holds no
// such slot (a kind whose slot lies beyond the row's numbers).
int32_t* NumberCell(DbRow& row, int32_t kind) {
    if (kind / 1000 != kNumberItemClass) return nullptr;
    size_t slot = static_cast<size_t>(kind % 1000);
    return slot < row.numbers.size() ? &row.numbers[slot] : nullptr;
}

template <typename Row>
auto StringCell(Row& row, int32_t kind) -> decltype(&row.strings[0]) {
    if (kind / 1000 != kStringItemClass) return nullptr;
    size_t slot = static_cast<size_t>(kind % 1000);
    return slot < row.strings.size() ? &row.strings[slot] : nullptr;
}

}  // namespace

bool Database::HasRow(int32_t type, int32_t data) const {
    return InRange(type, types) && InRange(data, types[type].rows);
}

int32_t Database::GetDataCount(int32_t type) const {
    if (!InRange(type, types) || types[type].rows.empty()) return -1;
    return static_cast<int32_t>(types[type].rows.size());
}

int32_t Database::GetItemCount(int32_t type) const {
    if (!InRange(type, types)) return 0;
    return static_cast<int32_t>(types[type].itemKinds.size());
}

int32_t Database::GetItemKindClass(int32_t type, int32_t item) const {
    if (!InRange(type, typeDefs) || !InRange(item, typeDefs[type].itemNames)) return -1;
    if (!InRange(type, types) || !InRange(item, types[type].itemKinds)) return -1;
    return types[type].itemKinds[item] / 1000;
}

int32_t Database::GetInt(int32_t type, int32_t data, int32_t item, int32_t* out) {
    if (type < 0 || data < 0 || item < 0) return -1;
    if (type >= GetTypeCount()) {
        ShowError(FormatText(texts::kDbMissingTypeNumbered, type), FormatErrorLocation(), "");
        DatabaseReadErrorFlag = 1;
        return 0;
    }
    if (data >= GetDataCount(type)) {
        ShowError(FormatText(texts::kDbMissingDataNumbered, type, data), "", "");
        DatabaseReadErrorFlag = 1;
        if (InRange(type, typeDefs) && InRange(item, typeDefs[type].itemDefaults)) {
            return typeDefs[type].itemDefaults[item];
        }
        return 0;
    }
    if (item >= GetItemCount(type)) return -1;
    int32_t kind = types[type].itemKinds[item];
    int32_t* cell = NumberCell(types[type].rows[data], kind);
    if (!cell) return 0;
    if (out) *out = *cell;
    return *cell;
}

std::string Database::GetString(int32_t type, int32_t data, int32_t item, std::string* out) {
    if (type < 0 || data < 0 || item < 0) return texts::kErrorValue;
    if (type >= GetTypeCount()) {
        ShowError(texts::kDbMissingType, "", "");
        DatabaseReadErrorFlag = 1;
        return texts::kErrorValue;
    }
    if (data >= GetDataCount(type)) {
        ShowError(texts::kDbMissingData, FormatErrorLocation(), "");
        DatabaseReadErrorFlag = 1;
        return texts::kErrorValue;
    }
    if (item >= GetItemCount(type)) {
        ShowError(texts::kDbMissingItem, FormatText(texts::kDbCellPlace, type, data, item, GetItemCount(type)),
                  FormatErrorLocation());
        DatabaseReadErrorFlag = 1;
        return texts::kErrorValue;
    }
    std::string* cell = StringCell(types[type].rows[data], types[type].itemKinds[item]);
    if (!cell) return texts::kErrorValue;
    if (out) *out = *cell;
    return *cell;
}

int32_t* Database::GetIntPtr(int32_t type, int32_t data, int32_t item, bool numberOnly) {
    if (!HasRow(type, data) || !InRange(item, types[type].itemKinds)) return nullptr;
    int32_t& kind = types[type].itemKinds[item];
    if (!numberOnly) return &kind;
    return NumberCell(types[type].rows[data], kind);
}

bool Database::SetInt(int32_t type, int32_t data, int32_t item, int32_t value) {
    if (!HasRow(type, data) || !InRange(item, types[type].itemKinds)) return false;
    int32_t* cell = NumberCell(types[type].rows[data], types[type].itemKinds[item]);
    if (!cell) return false;
    *cell = value;
    return true;
}

bool Database::SetString(int32_t type, int32_t data, int32_t item, const std::string& value) {
    if (!HasRow(type, data) || !InRange(item, types[type].itemKinds)) return false;
    std::string* cell = StringCell(types[type].rows[data], types[type].itemKinds[item]);
    if (!cell) return false;
    // A fresh copy, so that a short text does not keep a long one's memory.
    std::string(value).swap(*cell);
    return true;
}

const std::string* Database::FindStringCell(int32_t type, int32_t data, int32_t item) const {
    if (!HasRow(type, data) || !InRange(item, types[type].itemKinds)) return nullptr;
    return StringCell(types[type].rows[data], types[type].itemKinds[item]);
}

std::string Database::GetTypeName(int32_t type) const {
    if (!InRange(type, typeDefs)) return texts::kNoDataName;
    return typeDefs[type].typeName;
}

std::string Database::GetItemName(int32_t type, int32_t item) const {
    if (!InRange(type, typeDefs) || !InRange(item, typeDefs[type].itemNames)) return texts::kNoDataName;
    return typeDefs[type].itemNames[item];
}

std::string Database::GetDataName(int32_t type, int32_t data) const {
    if (!InRange(type, typeDefs) || !InRange(data, typeDefs[type].dataNames)) return texts::kNoDataName;
    int32_t source = InRange(type, types) ? types[type].dataNameSource : 0;
    switch (source) {
        case 0:
            return typeDefs[type].dataNames[data];
        case 1:
            if (HasRow(type, data) && !types[type].rows[data].strings.empty()) {
                return types[type].rows[data].strings[0];
            }
            return std::string();
        case 2:
            for (int32_t earlier = type - 1; earlier >= 0; --earlier) {
                if (InRange(earlier, types) && types[earlier].dataNameSource == 2) continue;
                if (InRange(earlier, typeDefs) && InRange(data, typeDefs[earlier].dataNames)) {
                    return GetDataName(earlier, data);
                }
                return texts::kNoDataName;
            }
            return texts::kNoDataName;
        default:
            return std::string();
    }
}

void Database::GiveRowItsDefaults(int32_t type, int32_t data) {
    ItemCounts counts = CountItems(types[type]);
    const std::vector<int32_t>* defaults = InRange(type, typeDefs) ? &typeDefs[type].itemDefaults : nullptr;
    size_t items = std::min(counts.numbers + counts.strings, types[type].itemKinds.size());
    for (size_t i = 0; i < items; ++i) {
        if (types[type].itemKinds[i] / 1000 != kNumberItemClass) continue;
        int32_t value = defaults && i < defaults->size() ? (*defaults)[i] : 0;
        SetInt(type, data, static_cast<int32_t>(i), value);
    }
}

void Database::SetDataCount(int32_t type, int32_t count) {
    if (!InRange(type, types)) {
        ShowError(FormatText(texts::kDbNoSuchType, type), FormatErrorLocation(), "");
        return;
    }
    count = std::max(count, 0);
    AdvanceIntSlotGeneration();
    DbTypeData& data = types[type];
    size_t old = data.rows.size();
    size_t wanted = static_cast<size_t>(count);
    data.rows.resize(wanted);
    if (namesKept && InRange(type, typeDefs)) {
        // Growing adds one name per new row to whatever names there were;
        // cutting leaves exactly one name per row.
        std::vector<std::string>& names = typeDefs[type].dataNames;
        names.resize(wanted > old ? names.size() + (wanted - old) : wanted);
    }
    ItemCounts counts = CountItems(data);
    for (DbRow& row : data.rows) {
        row.numbers.resize(counts.numbers, 0);
        row.strings.resize(counts.strings);
    }
    for (size_t row = old; row < data.rows.size(); ++row) GiveRowItsDefaults(type, static_cast<int32_t>(row));
}

void Database::ResetData(int32_t type, int32_t data) {
    if (!InRange(type, types)) {
        ShowError(FormatText(texts::kDbResetNoSuchType, type), "", "");
        return;
    }
    if (!InRange(data, types[type].rows)) return;
    DbRow& row = types[type].rows[data];
    std::fill(row.numbers.begin(), row.numbers.end(), 0);
    std::fill(row.strings.begin(), row.strings.end(), std::string());
    GiveRowItsDefaults(type, data);
}

}  // namespace velk
