#pragma once
// Writes Game.dat: the settings, the texts, the numbers and the archive key,
// whose bytes are hidden among filler and found through two offset lists.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

// nullopt (with the reason in `error`) when the key's bytes cannot be placed
// within the first 64 KiB the offset lists can reach.
std::optional<std::vector<uint8_t>> WriteGameDat(const GameDatDescription& description, std::string* error = nullptr);

}  // namespace velk::gamedata
