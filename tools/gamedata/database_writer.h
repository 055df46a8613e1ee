#pragma once
// Writes a database's two files: the scrambled ".dat" of values and the plain
// ".project" of names and item settings.

#include <cstdint>
#include <vector>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

std::vector<uint8_t> WriteDatabaseData(const DatabaseDescription& description);
std::vector<uint8_t> WriteDatabaseProject(const DatabaseDescription& description);

}  // namespace velk::gamedata
