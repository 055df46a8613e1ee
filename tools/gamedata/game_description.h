#pragma once
// A game's data as the writer takes it: what goes into Game.dat, Game.ini and
// the three databases, with the choices the file formats allow (seeds,
// format versions, how a type record starts) spelled out so tests can write
// every variant a stored game may carry. Texts are Shift-JIS bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/data/data_container.h"
#include "game/data/data_texts.h"
#include "game/data/player_settings.h"
#include "tools/gamedata/map_description.h"
#include "tools/gamedata/common_event_writer.h"

namespace velk::gamedata {

struct GameDatDescription {
    ContainerSeeds seeds = {0, 0, 0};
    // Chip size 32, frame-time divisor 60 (one frame step per frame); the
    // rest as the game's defaults.
    std::vector<uint8_t> settings = {32, 8, 8, 1, 60, 1, 0, 3, 0, 0, 0, 6, 6, 0, 0, 4, 4, 0};
    // Text 0 is the title; text 2 is written as given (the game builds it
    // from the archive key below); 3-6 font names; 7 the hero's graphic.
    std::vector<std::string> texts = {texts::kDefaultGameTitle, texts::kDefaultGameSerial, "", "", "", "", "", ""};
    std::string archiveKey;
    std::vector<uint16_t> numbers = {0};
    uint8_t endByte = 194;
    // Seeds the writer's own choices (header filler, key offsets), so the
    // same description always gives the same bytes.
    uint32_t layoutSeed = 1;
};

struct DatabaseItemDescription {
    std::string name;
    // 1000 + slot a number item, 2000 + slot a string item; anything else
    // has no storage in the rows.
    int32_t kind = 1000;
    int32_t defaultValue = 0;
    uint8_t flag = 0;
    std::string text;
    std::vector<std::string> stringList;
    std::vector<int32_t> numberList;
};

struct DatabaseRowDescription {
    std::string name;
    // By item slot.
    std::vector<int32_t> numbers;
    std::vector<std::string> strings;
};

struct DatabaseTypeDescription {
    std::string name;
    std::string memo;
    // How the record starts: nullopt with the item count itself; -1 with the
    // marker then the count; -2 and below with the marker, the data-name
    // source, then the count.
    std::optional<int32_t> marker = -2;
    int32_t dataNameSource = 0;
    std::vector<DatabaseItemDescription> items;
    std::vector<DatabaseRowDescription> rows;
    // The data names of the ".project" file; nullopt: the rows' names.
    std::optional<std::vector<std::string>> dataNames;
};

struct DatabaseDescription {
    // 193, or 192 for a ".project" file without item settings.
    uint8_t version = 193;
    uint8_t closingVersion = 193;
    ContainerSeeds seeds = {0, 0, 0};
    uint32_t layoutSeed = 1;
    std::vector<DatabaseTypeDescription> types;
};

// Any other file of the game folder: its path relative to the folder
// (Shift-JIS, '/' between folders) and its bytes.
struct DescribedFile {
    std::string path;
    std::vector<uint8_t> bytes;
};

struct GameDescription {
    GameDatDescription gameDat;
    PlayerSettings settings;
    DatabaseDescription systemDatabase;
    DatabaseDescription userDatabase;
    DatabaseDescription changeableDatabase;
    std::vector<MapDescription> maps;
    std::optional<TilesetFileDescription> tilesets;
    CommonEventsDescription commonEvents;
    std::vector<CommonFileDescription> commonFiles;
    std::vector<DescribedFile> files;
};

// Adds an item whose slot follows the items of its class so far.
DatabaseItemDescription& AddNumberItem(DatabaseTypeDescription& type, const std::string& name, int32_t defaultValue = 0);
DatabaseItemDescription& AddStringItem(DatabaseTypeDescription& type, const std::string& name);
// Adds a row whose values are given in item order (numbers for number items,
// strings for string items; missing ones take the defaults).
DatabaseRowDescription& AddRow(DatabaseTypeDescription& type, const std::string& name,
                               const std::vector<int32_t>& numbers = {}, const std::vector<std::string>& strings = {});

}  // namespace velk::gamedata
