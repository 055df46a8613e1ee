#pragma once
// Maps and the tileset file as the writer takes them, with the choices the
// formats allow (seeds, stored counts, unused words, format version) spelled
// out so tests can write every variant a stored game may carry.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/data/data_container.h"
#include "game/event/event_records.h"

namespace velk::gamedata {

struct PageDescription {
    int32_t graphicTile = -1;
    std::string graphicFile;
    uint8_t facing = 2, pattern = 1, opacity = 255, blendMode = 0;
    uint8_t trigger = 0;
    std::array<uint8_t, 4> conditionFlags = {0x20, 0x20, 0x20, 0x20};
    std::array<int32_t, 4> conditionLeft = {};
    std::array<int32_t, 4> conditionRight = {};
    MoveRoute route;
    std::vector<EventCommand> commands;
    // The editor ends every page's list with one more command, which the
    // game takes as the end; "no-end" leaves it out.
    bool appendEnd = true;
    std::vector<uint8_t> bytes = {0, 0, 0};
};

struct MapEventDescription {
    int32_t id = 0;
    std::string name;
    int32_t x = 0, y = 0;
    uint32_t unusedWord = 12345;
    std::vector<uint8_t> bytes;
    std::vector<PageDescription> pages;
    // The stored page count; nullopt: the number of pages.
    std::optional<int32_t> pageCount;
};

struct MapDescription {
    // The file's name under the data folder ("MapData\\Town.mps").
    std::string fileName;
    ContainerSeeds seeds = {0, 0, 0};
    uint32_t layoutSeed = 1;
    uint32_t leadWord = 100;
    std::string name;
    int32_t tileset = 0;
    int32_t width = 20, height = 15;
    // Per layer, x * height + y; sized by SizeLayers.
    std::vector<int32_t> layers[3];
    std::vector<MapEventDescription> events;
    // The stored event count; nullopt: the number of events.
    std::optional<int32_t> eventCount;

    // Three layers of width x height empty cells (100000).
    void SizeLayers();
};

struct TilesetDescription {
    std::string name;
    std::array<std::string, 8> images;
    uint8_t marker = 255;
    std::vector<uint8_t> terrainTags = {0, 1, 2, 3, 4, 5, 6, 7};
    std::vector<int32_t> tileFlags = std::vector<int32_t>(8, 0);
};

struct TilesetFileDescription {
    // 0xD0 four-byte flags, 0xCF one-byte flags.
    uint8_t version = 0xD0;
    uint8_t closing = 0xCF;
    ContainerSeeds seeds = {0, 0, 0};
    uint32_t layoutSeed = 1;
    std::vector<TilesetDescription> tilesets;
};

}  // namespace velk::gamedata
