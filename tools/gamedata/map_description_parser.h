#pragma once
// The map and tileset sections of a game description:
//
//   map "MapData\\Town.mps"            one map file, named under the data folder
//     name "Town"   tileset 0   size 20 15   (size clears the layers)
//     seeds 1 2 3   layout-seed 7   lead-word 100   event-count 2
//     fill <layer> <x> <y> <w> <h> <value>     tile <layer> <x> <y> <value>
//     event <id> "name" <x> <y>       starts an event
//       bytes 1 2 3   unused-word 12345   page-count 1
//       page                          starts a page of the event
//         graphic <tile> "file" <facing> <pattern> <opacity> <blend>
//         trigger 1   condition <index 0-3> <flags> <left> <right>
//         route <six option bytes in memory order>    the page's route
//         command <code> <arguments...> [indent <n>] [text "s"]...
//         command-route <six option bytes>    a route for the last command
//         move <code> "text" <arguments...>   a step of the last route named
//         page-bytes 0 1 2
//         no-end                      the list without the editor's closing
//                                     command (the game ends it at its last)
//   tilesets                           BasicData\TileSetData.dat
//     version 208 (four-byte flags) | 207 (one byte)   closing 207
//     seeds 1 2 3   layout-seed 7
//     tileset "name"                   starts a tileset
//       images "base.png" "auto1.png" ...   marker 255
//       terrain 0 1 2 ...   flags 0 15 ...
//
// Numbers may also be written in hexadecimal (0x110).

#include <string>
#include <vector>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

struct DescriptionWord {
    std::string text;  // Shift-JIS
    bool quoted = false;
};

struct MapDescriptionError {
    std::string message;
};

// One event command as map pages and common events describe it (words[0]
// is the statement's own word): command <code> <arguments...> [indent <n>]
// [text "s"]...
EventCommand ParseDescribedCommand(const std::vector<DescriptionWord>& words);

class MapSectionReader {
public:
    explicit MapSectionReader(GameDescription& game) : game_(game) {}
    // The word starts a map or the tileset file.
    static bool OpensSection(const std::string& word) { return word == "map" || word == "tilesets"; }
    // One statement; throws MapDescriptionError when it is not valid.
    void Statement(const std::vector<DescriptionWord>& words);

private:
    void MapStatement(const std::vector<DescriptionWord>& words);
    void PageStatement(const std::vector<DescriptionWord>& words);
    void TilesetStatement(const std::vector<DescriptionWord>& words);
    MapDescription& CurrentMap();
    MapEventDescription& CurrentEvent();
    PageDescription& CurrentPage();
    MoveRoute& CurrentRoute();

    GameDescription& game_;
    bool inTilesets_ = false;
    // Where `move` adds its step: the page's route or the last command's.
    bool commandRoute_ = false;
};

}  // namespace velk::gamedata
