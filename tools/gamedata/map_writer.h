#pragma once
// Writes map files and the tileset file, scrambled through the same container
// the game reads.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

std::vector<uint8_t> WriteMapFile(const MapDescription& description);
std::vector<uint8_t> WriteTilesetFile(const TilesetFileDescription& description);

// Every map of the description under the data folder (a '\\' in a map's
// name is a folder separator), and BasicData/TileSetData.dat when the
// description has tilesets. False (with the reason) when a file could not be
// written.
bool WriteMapFiles(const GameDescription& description, const std::filesystem::path& dataFolder, std::string* error);

}  // namespace velk::gamedata
