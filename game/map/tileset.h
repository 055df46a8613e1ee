#pragma once
// The game's tilesets, all kept in one file: per tileset its images, and per
// tile index a terrain tag and a word of flags (passability and drawing).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velk {

// Tile indexes 0-7 are the empty tile and the seven auto-tile kinds; base
// image cell v has index v + 8.
inline constexpr int32_t kFirstBaseTileIndex = 8;

struct Tileset {
    static constexpr int kImageCount = 8;

    Tileset();

    std::string name;
    // 0 the base image, 1-7 the auto-tile images.
    std::string images[kImageCount];
    std::vector<uint8_t> terrainTags;
    std::vector<int32_t> tileFlags;
};

enum class TilesetFileStatus {
    kLoaded,
    // Unknown format version: nothing was read.
    kBadVersion,
    // The closing byte is wrong, or a count or length does not fit the file;
    // the records read so far are kept.
    kDamaged,
    // Parsed, but the sum of the plain bytes does not match the header.
    kSumMismatch,
};

class TilesetList {
public:
    // One default record until a file is read.
    TilesetList() : tilesets(1) {}

    // Reads "Data\<name>". A missing file or an unknown version fails
    // without a word and leaves the list as it was; a damaged file is
    // reported and keeps the records read before the damage.
    bool Load(const std::string& name);
    int32_t GetCount() const { return static_cast<int32_t>(tilesets.size()); }

    std::vector<Tileset> tilesets;
    // 1: flags stored one byte each; 2: four bytes each.
    int formatVersion = 2;
};

struct TilesetParse {
    TilesetFileStatus status = TilesetFileStatus::kLoaded;
    // Records whose marker was not the expected one (each is reported).
    int badRecordMarkers = 0;
};

// Reads a whole tileset file held in memory (scrambled; unscrambled in place).
TilesetParse ParseTilesetFile(std::span<uint8_t> file, TilesetList& list);

// The longest text of a tileset record, its terminator included.
inline constexpr uint32_t kMaxTilesetTextLength = 1024;

}  // namespace velk
