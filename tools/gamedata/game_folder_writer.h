#pragma once
// Writes a whole game folder from a description: Game.dat, Game.ini and the
// three databases and the common events under Data/BasicData.

#include <filesystem>
#include <string>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

// False (with the reason in `error`) when a file could not be written.
bool WriteGameFolder(const GameDescription& description, const std::filesystem::path& folder,
                     std::string* error = nullptr);

// The common-event data file and every ".common" file of the description.
bool WriteCommonEventFiles(const GameDescription& description, const std::filesystem::path& folder,
                           std::string* error);

// Writes one file, creating the folders on the way.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace velk::gamedata
