#pragma once
// Writes a whole game folder from a description: Game.dat, Game.ini and the
// three databases under Data/BasicData.

#include <filesystem>
#include <string>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

// False (with the reason in `error`) when a file could not be written.
bool WriteGameFolder(const GameDescription& description, const std::filesystem::path& folder,
                     std::string* error = nullptr);

// Writes one file, creating the folders on the way.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace velk::gamedata
