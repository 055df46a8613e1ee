#include <algorithm>

#include "game/data/data_container.h"
#include "game/data/data_file_cursor.h"
#include "game/data/data_texts.h"
#include "game/data/database.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/text_format.h"

namespace velk {
namespace {

constexpr uint8_t kOldFormatVersion = 192;
constexpr uint8_t kFormatVersion = 193;

bool IsKnownVersion(uint8_t version) { return version == kOldFormatVersion || version == kFormatVersion; }

// A count of the file that sizes entries of at least `minimumBytes` each.
std::optional<uint32_t> ReadCount(DataFileCursor& cursor, size_t minimumBytes) {
    auto count = cursor.U32();
    if (!count || !cursor.CanHold(*count, minimumBytes)) return std::nullopt;
    return count;
}

// The same for counts the format stores as signed values.
std::optional<uint32_t> ReadSignedCount(DataFileCursor& cursor, size_t minimumBytes) {
    auto count = cursor.I32();
    if (!count || *count < 0 || !cursor.CanHold(static_cast<uint32_t>(*count), minimumBytes)) return std::nullopt;
    return static_cast<uint32_t>(*count);
}

bool ReadStrings(DataFileCursor& cursor, uint32_t count, std::vector<std::string>& into) {
    into.resize(std::max<size_t>(into.size(), count));
    for (uint32_t i = 0; i < count; ++i) {
        auto text = cursor.ReadString();
        if (!text) return false;
        into[i] = std::move(*text);
    }
    return true;
}

bool ReadNumbers(DataFileCursor& cursor, uint32_t count, std::vector<int32_t>& into) {
    if (!cursor.CanHold(count, 4)) return false;
    into.resize(std::max<size_t>(into.size(), count));
    return cursor.ReadI32s(std::span(into.data(), count));
}

bool ReadCountedStrings(DataFileCursor& cursor, std::vector<std::string>& into) {
    auto count = ReadCount(cursor, 4);
    return count && ReadStrings(cursor, *count, into);
}

bool ReadItemSettings(DataFileCursor& cursor, DbTypeDef& definition) {
    auto byteCount = cursor.U32();
    if (!byteCount) return false;
    auto bytes = cursor.Take(*byteCount);
    if (!bytes) return false;
    definition.itemBytes.resize(std::max<size_t>(definition.itemBytes.size(), bytes->size()));
    std::copy(bytes->begin(), bytes->end(), definition.itemBytes.begin());

    if (!ReadCountedStrings(cursor, definition.itemStrings)) return false;

    auto stringLists = ReadCount(cursor, 4);
    if (!stringLists) return false;
    definition.itemStringLists.resize(std::max<size_t>(definition.itemStringLists.size(), *stringLists));
    for (uint32_t k = 0; k < *stringLists; ++k) {
        auto count = ReadCount(cursor, 4);
        if (!count) return false;
        definition.itemStringLists[k].clear();
        if (!ReadStrings(cursor, *count, definition.itemStringLists[k])) return false;
    }

    auto numberLists = ReadCount(cursor, 4);
    if (!numberLists) return false;
    definition.itemNumberLists.resize(std::max<size_t>(definition.itemNumberLists.size(), *numberLists));
    for (uint32_t k = 0; k < *numberLists; ++k) {
        auto count = cursor.U32();
        if (!count) return false;
        definition.itemNumberLists[k].clear();
        if (!ReadNumbers(cursor, *count, definition.itemNumberLists[k])) return false;
    }

    auto defaults = cursor.U32();
    return defaults && ReadNumbers(cursor, *defaults, definition.itemDefaults);
}

void ReportDamaged(const std::string& name) {
    ActiveErrorReporter().ShowMessageBox(FormatText(texts::kDatabaseDamaged, name.c_str()),
                                         texts::kDatabaseDamagedCaption);
}

void ReportMissing(const std::string& path) {
    ErrorReporter& reporter = ActiveErrorReporter();
    reporter.ShowMessageBox(FormatText(texts::kDatabaseMissing, path.c_str()), texts::kReadErrorCaption);
    reporter.EndProgram(1);
}

}  // namespace

bool ReadDbRow(DataFileCursor& cursor, size_t numberCount, size_t stringCount, DbRow& row) {
    row.numbers.assign(numberCount, 0);
    row.strings.resize(stringCount);
    if (!cursor.ReadI32s(row.numbers)) return false;
    for (std::string& text : row.strings) {
        if (!cursor.ReadStringInto(text)) return false;
    }
    return true;
}

bool ReadDbTypeData(DataFileCursor& cursor, DbTypeData& type, uint32_t& rowsWithoutItemsLeft) {
    auto first = cursor.I32();
    if (!first) return false;
    type.marker = -2;
    type.dataNameSource = 0;
    if (*first <= -2) {
        auto source = cursor.I32();
        if (!source) return false;
        type.dataNameSource = *source;
    }
    uint32_t itemCount = 0;
    if (*first < 0) {
        type.marker = *first;
        auto count = ReadSignedCount(cursor, 4);
        if (!count) return false;
        itemCount = *count;
    } else {
        if (!cursor.CanHold(static_cast<uint32_t>(*first), 4)) return false;
        itemCount = static_cast<uint32_t>(*first);
    }
    type.itemKinds.assign(itemCount, 0);
    size_t numberCount = 0, stringCount = 0;
    for (int32_t& kind : type.itemKinds) {
        kind = *cursor.I32();
        if (kind / 1000 == kNumberItemClass) ++numberCount;
        if (kind / 1000 == kStringItemClass) ++stringCount;
    }
    size_t rowBytes = (numberCount + stringCount) * 4;
    auto rowCount = ReadSignedCount(cursor, rowBytes);
    if (!rowCount) return false;
    if (rowBytes == 0) {
        if (*rowCount > rowsWithoutItemsLeft) return false;
        rowsWithoutItemsLeft -= *rowCount;
    }
    type.rows.clear();
    type.rows.reserve(*rowCount);
    for (uint32_t i = 0; i < *rowCount; ++i) {
        DbRow& row = type.rows.emplace_back(DbRow{{}, {}});
        if (!ReadDbRow(cursor, numberCount, stringCount, row)) return false;
    }
    return true;
}

bool ReadDbTypeDef(DataFileCursor& cursor, uint8_t version, DbTypeDef& definition) {
    auto typeName = cursor.ReadString();
    if (!typeName) return false;
    definition.typeName = std::move(*typeName);
    auto itemCount = ReadCount(cursor, 4);
    if (!itemCount) return false;
    definition.itemNames.clear();
    if (!ReadStrings(cursor, *itemCount, definition.itemNames)) return false;
    auto dataCount = ReadCount(cursor, 4);
    if (!dataCount) return false;
    definition.dataNames.clear();
    if (!ReadStrings(cursor, *dataCount, definition.dataNames)) return false;
    definition.itemStrings.assign(*itemCount, std::string());
    definition.itemStringLists.assign(*itemCount, {});
    definition.itemNumberLists.assign(*itemCount, {});
    definition.itemDefaults.assign(*itemCount, 0);
    auto memo = cursor.ReadString();
    if (!memo) return false;
    definition.memo = std::move(*memo);
    if (version == kOldFormatVersion) return true;
    return ReadItemSettings(cursor, definition);
}

DatabaseFileStatus ParseDatabaseData(std::span<uint8_t> file, Database& database, uint8_t& version) {
    auto opened = UnscrambleContainer(file, kDataFileLayout);
    if (!opened) return DatabaseFileStatus::kDamaged;
    DataFileCursor cursor(file, kDataFileLayout.headerLength);
    version = kOldFormatVersion;
    auto first = cursor.U8();
    if (!first) return DatabaseFileStatus::kDamaged;
    if (!IsKnownVersion(*first)) return DatabaseFileStatus::kBadVersion;
    version = *first;
    // The smallest type record is a zero item count and a zero row count.
    auto typeCount = ReadCount(cursor, 8);
    if (!typeCount) return DatabaseFileStatus::kDamaged;
    database.types.clear();
    database.types.reserve(*typeCount);
    uint32_t rowsWithoutItemsLeft = kMaxRowsWithoutItems;
    for (uint32_t i = 0; i < *typeCount; ++i) {
        DbTypeData type;
        if (!ReadDbTypeData(cursor, type, rowsWithoutItemsLeft)) return DatabaseFileStatus::kDamaged;
        database.types.push_back(std::move(type));
    }
    auto closing = cursor.U8();
    if (!closing) return DatabaseFileStatus::kDamaged;
    if (!IsKnownVersion(*closing)) return DatabaseFileStatus::kBadClosingByte;
    if (!ContainerSumMatches(file, kDataFileLayout, *opened, cursor.position())) {
        return DatabaseFileStatus::kSumMismatch;
    }
    return DatabaseFileStatus::kLoaded;
}

DatabaseFileStatus ParseDatabaseProject(std::span<const uint8_t> file, uint8_t version, Database& database) {
    DataFileCursor cursor(file);
    // The smallest definition: a type name, two zero counts and a memo.
    auto count = ReadCount(cursor, 16);
    if (!count) return DatabaseFileStatus::kDamaged;
    database.typeDefs.clear();
    database.typeDefs.reserve(*count);
    for (uint32_t i = 0; i < *count; ++i) {
        DbTypeDef definition;
        if (!ReadDbTypeDef(cursor, version, definition)) return DatabaseFileStatus::kDamaged;
        database.typeDefs.push_back(std::move(definition));
    }
    return DatabaseFileStatus::kLoaded;
}

bool Database::Load(const std::string& name) {
    std::string dataPath = "Data\\" + name + ".dat";
    auto data = ReadGameFile(dataPath);
    if (!data) {
        ReportMissing(dataPath);
        return false;
    }
    uint8_t version = kFormatVersion;
    switch (ParseDatabaseData(*data, *this, version)) {
        case DatabaseFileStatus::kLoaded:
            break;
        case DatabaseFileStatus::kSumMismatch:
            ReportTamperedFile(dataPath);
            return false;
        case DatabaseFileStatus::kBadVersion:
        case DatabaseFileStatus::kBadClosingByte:
        case DatabaseFileStatus::kDamaged:
            ReportDamaged(name);
            return false;
    }
    std::string projectPath = "Data\\" + name + ".project";
    auto project = ReadGameFile(projectPath);
    if (!project) {
        ReportMissing(projectPath);
        return false;
    }
    if (ParseDatabaseProject(*project, version, *this) != DatabaseFileStatus::kLoaded) {
        ReportDamaged(name);
        return false;
    }
    return true;
}

}  // namespace velk
