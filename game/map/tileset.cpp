#include "game/map/tileset.h"

#include <algorithm>
#include <optional>

#include "game/data/data_container.h"
#include "game/data/data_file_cursor.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/map/map_texts.h"

namespace velk {
namespace {

constexpr uint8_t kByteFlagsVersion = 0xCF;
constexpr uint8_t kWordFlagsVersion = 0xD0;
constexpr uint8_t kClosingByte = 0xCF;
constexpr uint8_t kRecordMarker = 255;
// Nine texts, the marker, two counts and the skipped byte.
constexpr size_t kSmallestRecordBytes = 9 * 4 + 1 + 4 + 1 + 4;

std::optional<std::string> ReadText(DataFileCursor& cursor) {
    auto length = cursor.U32();
    if (!length || *length > kMaxTilesetTextLength) return std::nullopt;
    auto bytes = cursor.Take(*length);
    if (!bytes) return std::nullopt;
    const auto zero = std::find(bytes->begin(), bytes->end(), uint8_t{0});
    return std::string(bytes->begin(), zero);
}

// false: damaged. `markerOk` tells whether the record's marker was the expected one.
bool ReadTileset(DataFileCursor& cursor, int version, Tileset& tileset, bool& markerOk) {
    auto name = ReadText(cursor);
    if (!name) return false;
    tileset.name = std::move(*name);
    for (std::string& image : tileset.images) {
        auto text = ReadText(cursor);
        if (!text) return false;
        image = std::move(*text);
    }
    auto marker = cursor.U8();
    if (!marker) return false;
    markerOk = *marker >= kRecordMarker;

    auto tagCount = cursor.U32();
    if (!tagCount) return false;
    auto tags = cursor.Take(*tagCount);
    if (!tags) return false;
    tileset.terrainTags.assign(tags->begin(), tags->end());

    auto flagCount = (cursor.Skip(1) ? cursor.U32() : std::nullopt);
    const size_t flagBytes = version == 1 ? 1 : 4;
    if (!flagCount || !cursor.CanHold(*flagCount, flagBytes)) return false;
    tileset.tileFlags.resize(*flagCount);
    if (version == 1) {
        auto bytes = cursor.Take(*flagCount);
        std::copy(bytes->begin(), bytes->end(), tileset.tileFlags.begin());
        return true;
    }
    return cursor.ReadI32s(tileset.tileFlags);
}

}  // namespace

Tileset::Tileset() : terrainTags{0, 1, 2, 3, 4, 5, 6, 7}, tileFlags(kFirstBaseTileIndex, 0) {}

TilesetParse ParseTilesetFile(std::span<uint8_t> file, TilesetList& list) {
    TilesetParse result;
    auto opened = UnscrambleContainer(file, kDataFileLayout);
    DataFileCursor cursor(file, kDataFileLayout.headerLength);
    auto versionByte = opened ? cursor.U8() : std::nullopt;
    if (!versionByte || (*versionByte != kByteFlagsVersion && *versionByte != kWordFlagsVersion)) {
        result.status = TilesetFileStatus::kBadVersion;
        return result;
    }
    const int version = *versionByte == kByteFlagsVersion ? 1 : 2;
    list.formatVersion = version;
    auto count = cursor.U32();
    if (!count || !cursor.CanHold(*count, kSmallestRecordBytes)) {
        result.status = TilesetFileStatus::kDamaged;
        return result;
    }
    list.tilesets.resize(*count);
    for (Tileset& tileset : list.tilesets) {
        bool markerOk = true;
        if (!ReadTileset(cursor, version, tileset, markerOk)) {
            result.status = TilesetFileStatus::kDamaged;
            return result;
        }
        if (!markerOk) ++result.badRecordMarkers;
    }
    auto closing = cursor.U8();
    if (!closing || *closing != kClosingByte) {
        result.status = TilesetFileStatus::kDamaged;
        return result;
    }
    if (!ContainerSumMatches(file, kDataFileLayout, *opened, cursor.position())) {
        result.status = TilesetFileStatus::kSumMismatch;
    }
    return result;
}

bool TilesetList::Load(const std::string& name) {
    const std::string path = "Data\\" + name;
    auto file = ReadGameFile(path);
    if (!file) return false;
    TilesetParse parse = ParseTilesetFile(*file, *this);
    for (int i = 0; i < parse.badRecordMarkers; ++i) {
        ActiveErrorReporter().ShowMessageBox(texts::kTilesetRecordDamaged, "");
    }
    switch (parse.status) {
        case TilesetFileStatus::kLoaded: return true;
        case TilesetFileStatus::kBadVersion: return false;
        case TilesetFileStatus::kSumMismatch: ReportTamperedFile(path); return false;
        case TilesetFileStatus::kDamaged: break;
    }
    ActiveErrorReporter().ShowMessageBox(texts::kTilesetFileFailed, texts::kFileReadErrorCaption,
                                         MessageBoxButtons::kOkCancel);
    return false;
}

}  // namespace velk
